#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "WindowFixtures.h"

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

class TrackPanelTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_config = std::make_unique<TempDir>();
        qputenv("TRACKLIFT_CONFIG_DIR", QByteArray::fromStdString(m_config->path().string()));
        m_dialogs = ScriptedDialogs();
    }

    void startStopTimesRoundToTheNearestSecond()
    {
        QCOMPARE(frmMain::FormatStartStopTime(0), QStringLiteral("00:00"));
        QCOMPARE(frmMain::FormatStartStopTime(90000), QStringLiteral("01:30"));
        QCOMPARE(frmMain::FormatStartStopTime(59600), QStringLiteral("01:00"));
        QCOMPARE(frmMain::FormatStartStopTime(500), QStringLiteral("00:00"));   // halves go to the even second
        QCOMPARE(frmMain::FormatStartStopTime(1500), QStringLiteral("00:02"));
        QCOMPARE(frmMain::FormatStartStopTime(2500), QStringLiteral("00:02"));
        QCOMPARE(frmMain::FormatStartStopTime(2501), QStringLiteral("00:03"));
        QCOMPARE(frmMain::FormatStartStopTime(6000000), QStringLiteral("100:00"));
    }

    void withoutAHighlightedTrackTheUserIsTold()
    {
        frmMain w(m_dialogs);
        showTracks(w, {timedTrack(1, 0, 0, 0)});
        w.Grid().setActiveCell({});
        w.cmdEditTrack->click();
        QCOMPARE(m_dialogs.prompts.size(), std::size_t(1));
        QCOMPARE(m_dialogs.prompts[0].text, QStringLiteral("Please, Click a track first to be highlighted then click View Track Information"));
        QCOMPARE(m_dialogs.prompts[0].title, QStringLiteral("Tracklift"));
        QCOMPARE(m_dialogs.prompts[0].icon, MessageIcon::Exclamation);
        QVERIFY(!w.tmrAnimate->isActive());
        QCOMPARE(w.panelTopTwips(w.frEditFrame), w.windowHeightTwips());
        QVERIFY(w.frContents->isEnabled());
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
        showTracks(w, {a, b});

        // Start 0 and stop equal to the length: neither box ticked, both times shown.
        w.Grid().setActiveCell({0, C::Title});
        w.cmdEditTrack->click();
        QVERIFY(m_dialogs.prompts.empty());
        QCOMPARE(w.InfoTrackID, 5);
        QCOMPARE(w.txtTitle->text(), QStringLiteral("Track 5"));
        QCOMPARE(w.txtAlbum->text(), QString());  // the device's own text, not "Unknown"
        QCOMPARE(w.txtArtist->text(), QStringLiteral("Artist 5"));
        QCOMPARE(w.txtComposer->text(), QStringLiteral("Writer"));
        QCOMPARE(w.txtGenre->text(), QStringLiteral("Jazz"));
        QCOMPARE(w.txtComment->text(), QStringLiteral("Live take"));
        QCOMPARE(w.txtYear->text(), QStringLiteral("1999"));
        QVERIFY(w.chkRemeberPP->isChecked());
        QVERIFY(!w.chkSkipWhenShuffle->isChecked());
        QVERIFY(!w.chkStartPT->isChecked());
        QVERIFY(!w.chkStopPT->isChecked());
        QVERIFY(!w.txtStartTime->isEnabled());
        QVERIFY(!w.txtStopTime->isEnabled());
        QCOMPARE(w.txtStartTime->text(), QStringLiteral("00:00"));
        QCOMPARE(w.txtStopTime->text(), QStringLiteral("04:00"));

        // The panel slides up over the disabled contents and stops at 1,515 twips.
        QVERIFY(!w.frContents->isEnabled());
        QVERIFY(!w.cmdAbout->isEnabled());
        QCOMPARE(w.sMoveObject, QStringLiteral("Edit Frame 2 Up"));
        finishAnimations(w);
        QCOMPARE(w.panelTopTwips(w.frEditFrame), 1515);
        QCOMPARE(w.frEditFrame->y(), w.pixelsFromTwips(1515));
        QCOMPARE(w.frEditFrame->x(), w.width() / 2 - w.frEditFrame->width() / 2);
        w.cmdCancelEdit->click();
        finishAnimations(w);
        QCOMPARE(w.panelTopTwips(w.frEditFrame), w.windowHeightTwips());
        QVERIFY(w.frContents->isEnabled());
        QVERIFY(w.cmdAbout->isEnabled());

        // A stop time inside the track: ticked, shown and open for typing.
        w.Grid().setActiveCell({1, C::Album});
        QVERIFY(w.ShowTrackInformation());
        QCOMPARE(w.InfoTrackID, 6);
        QVERIFY(w.chkStopPT->isChecked());
        QVERIFY(w.txtStopTime->isEnabled());
        QCOMPARE(w.txtStopTime->text(), QStringLiteral("02:00"));
        QVERIFY(w.chkStartPT->isChecked());
        QCOMPARE(w.txtStartTime->text(), QStringLiteral("00:02"));
        QVERIFY(w.chkSkipWhenShuffle->isChecked());
        QCOMPARE(w.txtYear->text(), QStringLiteral("20"));

        // Filling never unticks: the first track now shows the ticks of the second.
        w.FillTrackPanel(5);
        QVERIFY(w.chkStopPT->isChecked());
        QVERIFY(w.chkStartPT->isChecked());
        QCOMPARE(w.txtStopTime->text(), QStringLiteral("04:00"));

        // An identifier the list no longer holds leaves the panel as it was.
        w.FillTrackPanel(99);
        QCOMPARE(w.InfoTrackID, 99);
        QCOMPARE(w.txtTitle->text(), QStringLiteral("Track 5"));

        // Unticking a box closes its time for typing.
        QTest::mouseClick(w.chkStopPT, Qt::LeftButton, {}, QPoint(4, w.chkStopPT->height() / 2));
        QVERIFY(!w.chkStopPT->isChecked());
        QVERIFY(!w.txtStopTime->isEnabled());
    }

    void timeAndYearBoxesLetOnlyTheirKeysThrough()
    {
        frmMain w(m_dialogs);
        w.txtYear->clear();
        QTest::keyClicks(w.txtYear, QStringLiteral("a7:"));
        QCOMPARE(w.txtYear->text(), QStringLiteral("7"));
        QTest::keyClick(w.txtYear, Qt::Key_Backspace);
        QCOMPARE(w.txtYear->text(), QString());

        w.txtStartTime->setEnabled(true);
        w.txtStartTime->clear();
        QTest::keyClicks(w.txtStartTime, QStringLiteral("12:3x4567"));
        QCOMPARE(w.txtStartTime->text(), QStringLiteral("12:34567"));

        w.txtStopTime->setEnabled(true);
        w.txtStopTime->clear();
        QTest::keyClicks(w.txtStopTime, QStringLiteral("123:456"));
        QCOMPARE(w.txtStopTime->text(), QStringLiteral("123:45"));  // a seventh character is refused
        QTest::keyClick(w.txtStopTime, Qt::Key_Backspace);
        QCOMPARE(w.txtStopTime->text(), QStringLiteral("123:4"));
        QTest::keyClicks(w.txtStopTime, QStringLiteral("9"));
        QCOMPARE(w.txtStopTime->text(), QStringLiteral("123:49"));
    }

    void rightClickShowsTheProgramsOwnMenu()
    {
        frmMain w(m_dialogs);
        emit w.txtYear->customContextMenuRequested(QPoint(2, 2));
        QCOMPARE(w.Menus().lastShown(), w.Menus().mnuTextBox);
        QVERIFY(w.txtYear->isEnabled());
        QCOMPARE(w.Menus().mnuTextBox->actions().size(), qsizetype(1));
        QCOMPARE(w.Menus().mnuTextBox->actions()[0]->text(), QStringLiteral("Right Click is not allowed here"));
        w.Menus().mnuTextBox->close();
    }

private:
    std::unique_ptr<TempDir> m_config;
    ScriptedDialogs m_dialogs;
};

QTEST_MAIN(TrackPanelTest)
#include "TrackPanelTest.moc"
