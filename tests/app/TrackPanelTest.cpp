#include "TrackliftTestCase.h"

#include <PanelSlides.h>
#include <TrackInformation.h>
#include <TrackList.h>
#include <frmMain.h>
#include <frmMenus.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace tracklift;
using namespace testsupport;
using C = TrackTableModel::Column;

namespace {

sonarchive::TrackInfo timedTrack(std::int32_t id, std::int32_t start, std::int32_t stop, std::int32_t length)
{
    sonarchive::TrackInfo info = trackInfo(id, QStringLiteral("Track %1").arg(id), {}, QStringLiteral("Artist %1").arg(id));
    info.iStartTime = start;
    info.iStopTime = stop;
    info.iTrackTimLength = length;
    return info;
}

}  // namespace

class TrackPanelTest : public TrackliftTestCase {
    Q_OBJECT
private slots:
    void startStopTimesRoundToTheNearestSecond()
    {
        QCOMPARE(TrackInformation::FormatStartStopTime(0), QStringLiteral("00:00"));
        QCOMPARE(TrackInformation::FormatStartStopTime(90000), QStringLiteral("01:30"));
        QCOMPARE(TrackInformation::FormatStartStopTime(59600), QStringLiteral("01:00"));
        QCOMPARE(TrackInformation::FormatStartStopTime(500), QStringLiteral("00:00"));   // halves go to the even second
        QCOMPARE(TrackInformation::FormatStartStopTime(1500), QStringLiteral("00:02"));
        QCOMPARE(TrackInformation::FormatStartStopTime(2500), QStringLiteral("00:02"));
        QCOMPARE(TrackInformation::FormatStartStopTime(2501), QStringLiteral("00:03"));
        QCOMPARE(TrackInformation::FormatStartStopTime(6000000), QStringLiteral("100:00"));
    }

    void withoutAHighlightedTrackTheUserIsTold()
    {
        frmMain w(m_dialogs);
        w.trackList().showTracks({timedTrack(1, 0, 0, 0)});
        w.trackList().grid().setActiveCell({});
        w.cmdEditTrack_Click();
        QCOMPARE(m_dialogs.prompts.size(), std::size_t(1));
        QCOMPARE(m_dialogs.prompts[0].text, QStringLiteral("Please, Click a track first to be highlighted then click View Track Information"));
        QCOMPARE(m_dialogs.prompts[0].title, QStringLiteral("Tracklift"));
        QCOMPARE(m_dialogs.prompts[0].icon, MessageIcon::Exclamation);
        QVERIFY(!w.panels().isSliding());
        QCOMPARE(w.panels().panelTopTwips(child<QWidget>(w, "frEditFrame")), w.panels().windowHeightTwips());
        QVERIFY(child<QWidget>(w, "frContents")->isEnabled());
    }

    void panelShowsTheRecordOfTheHighlightedTrack()
    {
        frmMain w(m_dialogs);
        sonarchive::TrackInfo a = timedTrack(5, 0, 240000, 240000);
        a.sComposer = u"Writer";
        a.sGenre = u"Jazz";
        a.sComment = u"Live take";
        a.sYear = std::u16string(u"1999");
        a.iRememberPlayBackPos = 1;
        a.iSkipWhenShuffle = 0;
        sonarchive::TrackInfo b = timedTrack(6, 1500, 120000, 240000);
        b.iSkipWhenShuffle = 1;
        b.sYear = std::u16string(u"20\0\0", 4);
        w.trackList().showTracks({a, b});

        // Start 0 and stop equal to the length: neither box ticked, both times shown.
        w.trackList().grid().setActiveCell({0, C::Title});
        w.cmdEditTrack_Click();
        QVERIFY(m_dialogs.prompts.empty());
        QCOMPARE(w.trackInformation().InfoTrackID(), 5);
        QCOMPARE(child<QLineEdit>(w, "txtTitle")->text(), QStringLiteral("Track 5"));
        QCOMPARE(child<QLineEdit>(w, "txtAlbum")->text(), QString());  // the device's own text, not "Unknown"
        QCOMPARE(child<QLineEdit>(w, "txtArtist")->text(), QStringLiteral("Artist 5"));
        QCOMPARE(child<QLineEdit>(w, "txtComposer")->text(), QStringLiteral("Writer"));
        QCOMPARE(child<QLineEdit>(w, "txtGenre")->text(), QStringLiteral("Jazz"));
        QCOMPARE(child<QLineEdit>(w, "txtComment")->text(), QStringLiteral("Live take"));
        QCOMPARE(child<QLineEdit>(w, "txtYear")->text(), QStringLiteral("1999"));
        QVERIFY(child<QCheckBox>(w, "chkRemeberPP")->isChecked());
        QVERIFY(!child<QCheckBox>(w, "chkSkipWhenShuffle")->isChecked());
        QVERIFY(!child<QCheckBox>(w, "chkStartPT")->isChecked());
        QVERIFY(!child<QCheckBox>(w, "chkStopPT")->isChecked());
        QVERIFY(!child<QLineEdit>(w, "txtStartTime")->isEnabled());
        QVERIFY(!child<QLineEdit>(w, "txtStopTime")->isEnabled());
        QCOMPARE(child<QLineEdit>(w, "txtStartTime")->text(), QStringLiteral("00:00"));
        QCOMPARE(child<QLineEdit>(w, "txtStopTime")->text(), QStringLiteral("04:00"));

        // The panel slides up over the disabled contents and stops at 1,515 twips.
        QVERIFY(!child<QWidget>(w, "frContents")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "cmdAbout")->isEnabled());
        QCOMPARE(w.panels().sMoveObject(), QStringLiteral("Edit Frame 2 Up"));
        finishAnimations(w.panels());
        QCOMPARE(w.panels().panelTopTwips(child<QWidget>(w, "frEditFrame")), 1515);
        QCOMPARE(child<QWidget>(w, "frEditFrame")->y(), w.panels().pixelsFromTwips(1515));
        QCOMPARE(child<QWidget>(w, "frEditFrame")->x(), w.width() / 2 - child<QWidget>(w, "frEditFrame")->width() / 2);
        w.cmdCancelEdit_Click();
        finishAnimations(w.panels());
        QCOMPARE(w.panels().panelTopTwips(child<QWidget>(w, "frEditFrame")), w.panels().windowHeightTwips());
        QVERIFY(child<QWidget>(w, "frContents")->isEnabled());
        QVERIFY(child<QPushButton>(w, "cmdAbout")->isEnabled());

        // A stop time inside the track: ticked, shown and open for typing.
        w.trackList().grid().setActiveCell({1, C::Album});
        QVERIFY(w.ShowTrackInformation());
        QCOMPARE(w.trackInformation().InfoTrackID(), 6);
        QVERIFY(child<QCheckBox>(w, "chkStopPT")->isChecked());
        QVERIFY(child<QLineEdit>(w, "txtStopTime")->isEnabled());
        QCOMPARE(child<QLineEdit>(w, "txtStopTime")->text(), QStringLiteral("02:00"));
        QVERIFY(child<QCheckBox>(w, "chkStartPT")->isChecked());
        QCOMPARE(child<QLineEdit>(w, "txtStartTime")->text(), QStringLiteral("00:02"));
        QVERIFY(child<QCheckBox>(w, "chkSkipWhenShuffle")->isChecked());
        QCOMPARE(child<QLineEdit>(w, "txtYear")->text(), QStringLiteral("20"));

        // Filling never unticks: the first track now shows the ticks of the second.
        w.trackInformation().FillTrackPanel(5);
        QVERIFY(child<QCheckBox>(w, "chkStopPT")->isChecked());
        QVERIFY(child<QCheckBox>(w, "chkStartPT")->isChecked());
        QCOMPARE(child<QLineEdit>(w, "txtStopTime")->text(), QStringLiteral("04:00"));

        // An identifier the list no longer holds leaves the panel as it was.
        w.trackInformation().FillTrackPanel(99);
        QCOMPARE(w.trackInformation().InfoTrackID(), 99);
        QCOMPARE(child<QLineEdit>(w, "txtTitle")->text(), QStringLiteral("Track 5"));

        // Unticking a box closes its time for typing.
        QTest::mouseClick(child<QCheckBox>(w, "chkStopPT"), Qt::LeftButton, {}, QPoint(4, child<QCheckBox>(w, "chkStopPT")->height() / 2));
        QVERIFY(!child<QCheckBox>(w, "chkStopPT")->isChecked());
        QVERIFY(!child<QLineEdit>(w, "txtStopTime")->isEnabled());
    }

    void timeAndYearBoxesLetOnlyTheirKeysThrough()
    {
        frmMain w(m_dialogs);
        child<QLineEdit>(w, "txtYear")->clear();
        QTest::keyClicks(child<QLineEdit>(w, "txtYear"), QStringLiteral("a7:"));
        QCOMPARE(child<QLineEdit>(w, "txtYear")->text(), QStringLiteral("7"));
        QTest::keyClick(child<QLineEdit>(w, "txtYear"), Qt::Key_Backspace);
        QCOMPARE(child<QLineEdit>(w, "txtYear")->text(), QString());

        child<QLineEdit>(w, "txtStartTime")->setEnabled(true);
        child<QLineEdit>(w, "txtStartTime")->clear();
        QTest::keyClicks(child<QLineEdit>(w, "txtStartTime"), QStringLiteral("12:3x4567"));
        QCOMPARE(child<QLineEdit>(w, "txtStartTime")->text(), QStringLiteral("12:34567"));

        child<QLineEdit>(w, "txtStopTime")->setEnabled(true);
        child<QLineEdit>(w, "txtStopTime")->clear();
        QTest::keyClicks(child<QLineEdit>(w, "txtStopTime"), QStringLiteral("123:456"));
        QCOMPARE(child<QLineEdit>(w, "txtStopTime")->text(), QStringLiteral("123:45"));  // a seventh character is refused
        QTest::keyClick(child<QLineEdit>(w, "txtStopTime"), Qt::Key_Backspace);
        QCOMPARE(child<QLineEdit>(w, "txtStopTime")->text(), QStringLiteral("123:4"));
        QTest::keyClicks(child<QLineEdit>(w, "txtStopTime"), QStringLiteral("9"));
        QCOMPARE(child<QLineEdit>(w, "txtStopTime")->text(), QStringLiteral("123:49"));
    }

    void rightClickShowsTheProgramsOwnMenu()
    {
        frmMain w(m_dialogs);
        emit child<QLineEdit>(w, "txtYear")->customContextMenuRequested(QPoint(2, 2));
        QCOMPARE(w.Menus().lastShown(), w.Menus().mnuTextBox);
        QVERIFY(child<QLineEdit>(w, "txtYear")->isEnabled());
        QCOMPARE(w.Menus().mnuTextBox->actions().size(), qsizetype(1));
        QCOMPARE(w.Menus().mnuTextBox->actions()[0]->text(), QStringLiteral("Right Click is not allowed here"));
        w.Menus().mnuTextBox->close();
    }

};

QTEST_MAIN(TrackPanelTest)
#include "TrackPanelTest.moc"
