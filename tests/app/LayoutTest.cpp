#include "FixtureDevice.h"
#include "TrackliftTestCase.h"

#include <CopyDialogs.h>
#include <DeviceConnection.h>
#include <FilterSearch.h>
#include <PanelSlides.h>
#include <frmMain.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <algorithm>

using namespace tracklift;
using namespace testsupport;

class LayoutTest : public TrackliftTestCase {
    Q_OBJECT
private slots:
    void startUpLayout()
    {
        frmMain w(m_dialogs);
        // The look comes from the style sheet among the program's resources.
        QVERIFY(w.styleSheet().contains(QStringLiteral("#frTopHeader { background: #1e293b; }")));
        QCOMPARE(child<QWidget>(w, "frMainFrame")->pos(), QPoint(0, 0));
        QCOMPARE(child<QWidget>(w, "frContents")->pos(), QPoint(child<QWidget>(w, "frMainFrame")->width(), 0));
        QCOMPARE(w.size(), child<QWidget>(w, "frMainFrame")->size());
        QVERIFY(!child<QWidget>(w, "frContents")->isVisibleTo(&w));  // out of view, out of the Tab chain
        QVERIFY(!child<QPushButton>(w, "cmdViewContents")->isVisibleTo(&w));
        QCOMPARE(child<QPushButton>(w, "cmdViewContents")->width(), 0);
        QCOMPARE(child<QWidget>(w, "frameMovie")->pos(), QPoint(w.panels().pixelsFromTwips(6210), w.panels().pixelsFromTwips(2130)));
        for (QWidget* panel : {child<QWidget>(w, "frEditFrame"), child<QWidget>(w, "frAboutFrame")}) {
            QCOMPARE(w.panels().panelTopTwips(panel), w.panels().windowHeightTwips());
            QCOMPARE(panel->y(), w.height());
            QCOMPARE(panel->x(), w.width() / 2 - panel->width() / 2);
        }
        QVERIFY(!w.panels().isSliding());
        QVERIFY(!w.panels().isViewButtonGrowing());
    }

    void viewButtonGrowsToItsFullWidthAndOpensTheContents()
    {
        FixtureDevice device({makeTrack(1, u"One"), makeTrack(2, u"Two")});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod_Click();
        QVERIFY(w.panels().isViewButtonGrowing());
        QCOMPARE(child<QPushButton>(w, "cmdViewContents")->text(), QString());
        QVERIFY(!child<QPushButton>(w, "cmdAbout")->isEnabled());
        w.cmdViewContents_Click();  // ignored while it grows
        QVERIFY(!w.panels().isSliding());

        QList<int> widths;
        QSignalSpy revealed(&w, &frmMain::viewButtonRevealed);
        while (w.panels().isViewButtonGrowing()) {
            QCOMPARE(revealed.count(), 0);
            w.tmrShowViewButton_Timer();
            widths << w.panels().viewButtonWidthTwips();
        }
        QCOMPARE(widths.mid(12, 3), (QList<int>{2600, 2800, 2850}));  // slower past 2,600
        QCOMPARE(widths.last(), 3075);
        QCOMPARE(revealed.count(), 1);
        QCOMPARE(child<QPushButton>(w, "cmdViewContents")->width(), w.panels().pixelsFromTwips(3075));
        QCOMPARE(child<QPushButton>(w, "cmdViewContents")->text(), QStringLiteral("View && Copy iPod Contents>> "));
        QVERIFY(child<QPushButton>(w, "cmdAbout")->isEnabled());

        // Opening the contents resets its tools and slides the pages left.
        child<QRadioButton>(w, "optFilterTracks")->setChecked(true);
        child<QCheckBox>(w, "chkSelectAll")->setChecked(true);
        w.cmdViewContents_Click();
        QVERIFY(child<QRadioButton>(w, "optShowAllTracks")->isChecked());
        QCOMPARE(child<QLineEdit>(w, "txtSearch")->text(), QStringLiteral("Type Search Text..."));
        QVERIFY(!child<QCheckBox>(w, "chkSelectAll")->isChecked());
        QCOMPARE(w.panels().sMoveObject(), QStringLiteral("Main 2 Left"));
        QCOMPARE(w.panels().MoveStep(), 800);
        QCOMPARE(w.panels().MoveInterval(), 5);
        w.tmrAnimate_Timer();
        QCOMPARE(w.panels().startPageLeftTwips(), -800);
        QCOMPARE(child<QWidget>(w, "frContents")->x(), child<QWidget>(w, "frMainFrame")->x() + child<QWidget>(w, "frMainFrame")->width());
        finishAnimations(w.panels());
        QCOMPARE(w.panels().MoveStep(), 100);
        QCOMPARE(w.panels().tmrAnimate().interval(), 10);
        const int pageTwips = w.panels().twipsFromPixels(child<QWidget>(w, "frMainFrame")->width());
        QCOMPARE(w.panels().startPageLeftTwips(), -pageTwips);
        QCOMPARE(child<QWidget>(w, "frContents")->x(), 0);
        QVERIFY(w.isContentsPageShown());
        // The start page out of view takes no Tab stops.
        const auto onStartPage = [&w](QWidget* stop) { return child<QWidget>(w, "frMainFrame")->isAncestorOf(stop); };
        const QList<QWidget*> stops = tabStops(&w);
        QVERIFY(std::none_of(stops.begin(), stops.end(), onStartPage));
        QVERIFY(stops.contains(child<QWidget>(w, "Grid")));

        // "<< Back" slides them right again.
        w.cmdCancel_Click();
        QCOMPARE(w.panels().sMoveObject(), QStringLiteral("Main 2 Right"));
        w.tmrAnimate_Timer();
        QVERIFY(child<QWidget>(w, "frMainFrame")->isVisibleTo(&w));  // in view while it slides
        finishAnimations(w.panels());
        // and the contents page, out of view again, takes none.
        const QList<QWidget*> startStops = tabStops(&w);
        QVERIFY(startStops.contains(child<QWidget>(w, "cmdLoadiPod")));
        QVERIFY(std::none_of(startStops.begin(), startStops.end(),
                             [&w](QWidget* stop) { return child<QWidget>(w, "frContents")->isAncestorOf(stop); }));
        QCOMPARE(w.panels().startPageLeftTwips(), 0);
        QCOMPARE(child<QWidget>(w, "frMainFrame")->x(), 0);
        QCOMPARE(child<QWidget>(w, "frContents")->x(), child<QWidget>(w, "frMainFrame")->width());
        QCOMPARE(w.panels().viewButtonWidthTwips(), 0);
    }

    void aboutPanelRisesAndFallsAndRestoresTheControls()
    {
        frmMain w(m_dialogs);
        QVERIFY(child<QRadioButton>(w, "optAutomatic")->isChecked());
        w.cmdAbout_Click();
        QVERIFY(!child<QWidget>(w, "frContents")->isEnabled());
        QVERIFY(!child<QWidget>(w, "frMainFrame")->isEnabled());
        QCOMPARE(w.panels().MovingPanel(), child<QWidget>(w, "frAboutFrame"));
        w.tmrAnimate_Timer();
        const int afterOneTick = w.panels().panelTopTwips(child<QWidget>(w, "frAboutFrame"));
        QCOMPARE(afterOneTick, w.panels().windowHeightTwips() - 300);
        w.cmdAbout_Click();  // ignored while the panel moves
        QCOMPARE(w.panels().MoveStep(), 300);
        QList<int> intervals;
        while (w.panels().isSliding()) {
            w.tmrAnimate_Timer();
            intervals << w.panels().MoveInterval();
        }
        QCOMPARE(intervals.last(), 40);  // the step halves twice near the top
        QCOMPARE(w.panels().panelTopTwips(child<QWidget>(w, "frAboutFrame")), 1515);
        QCOMPARE(w.panels().panelTopTwips(child<QWidget>(w, "frEditFrame")), w.panels().windowHeightTwips());

        const auto labels = child<QWidget>(w, "frAboutFrame")->findChildren<QLabel*>();
        QStringList texts;
        for (QLabel* l : labels)
            texts << l->text();
        QVERIFY(texts.contains(QStringLiteral("About")));
        QVERIFY(child<QLabel>(w, "lblAboutProduct")->text().startsWith(QStringLiteral("Tracklift ")));
        QCOMPARE(child<QLabel>(w, "lblAboutText")->text(),
                 QStringLiteral("Tracklift is very easy to use tool to Copy your iPod Device(Any Type), you can copy tracks from iPod to your local hard drive."));

        child<QPushButton>(w, "cmdDrive")->setEnabled(true);  // as if something had enabled it meanwhile
        child<QPushButton>(w, "cmdFilter")->setEnabled(true);
        QSignalSpy lowered(&w.panels(), &PanelSlides::panelLowered);
        w.cmdAboutOK_Click();
        QCOMPARE(w.panels().sMoveObject(), QStringLiteral("Edit Frame 2 Down"));
        finishAnimations(w.panels());
        QCOMPARE(lowered.count(), 1);
        QCOMPARE(w.panels().panelTopTwips(child<QWidget>(w, "frAboutFrame")), w.panels().windowHeightTwips());
        QCOMPARE(child<QWidget>(w, "frAboutFrame")->y(), w.height());
        QVERIFY(child<QWidget>(w, "frContents")->isEnabled());
        QVERIFY(child<QWidget>(w, "frMainFrame")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "cmdDrive")->isEnabled());  // automatic mode keeps it disabled
        QVERIFY(!child<QPushButton>(w, "cmdFilter")->isEnabled());
        QVERIFY(!child<QPushButton>(w, "cmdSearch")->isEnabled());
        QVERIFY(child<QPushButton>(w, "cmdAbout")->isEnabled());

        w.connection().chooseManualMode(true);
        w.cmdAbout_Click();
        finishAnimations(w.panels());
        w.cmdAboutOK_Click();
        finishAnimations(w.panels());
        QVERIFY(child<QPushButton>(w, "cmdDrive")->isEnabled());
    }

    void tabGoesThroughTheControlsInTheOrderTheyAreRead()
    {
        frmMain w(m_dialogs);
        const QStringList contents = objectNames(focusOrder(child<QWidget>(w, "frContents")));
        // Top to bottom, left to right: "Show:", the tools above the grid, the grid, the row under it, the copy row.
        QCOMPARE(contents.mid(0, 9), (QStringList{"cboPlaylist", "optShowAllTracks", "optFilterTracks", "cmdFilters", "txtFilter",
                                                  "cmdFilter", "txtSearch", "cmdSearch", "Grid"}));
        QCOMPARE(contents.at(9), QStringLiteral("chkSelectAll"));
        QVERIFY(contents.indexOf("cmdEditTrack") > 9);
        QCOMPARE(contents.mid(contents.size() - 3), (QStringList{"cmdCancel", "cmdCopyOptions", "cmdCopy2Computer"}));
        const QStringList panel = objectNames(focusOrder(child<QWidget>(w, "frEditFrame")));
        QCOMPARE(panel, (QStringList{"txtTitle", "txtAlbum", "txtArtist", "txtGenre", "txtComment", "txtComposer", "txtYear",
                                     "txtStartTime", "txtStopTime", "chkRemeberPP", "chkSkipWhenShuffle", "chkStartPT", "chkStopPT",
                                     "cmdCancelEdit"}));

        // The copy options open on the names; OK and Cancel come last.
        CopyOptionsDialog dialog(CopyOptions(), [](const CopyOptions&) { return QString(); }, true);
        const QList<QWidget*> order = focusOrder(&dialog);
        const auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QCOMPARE(objectNames(order.mid(0, 6)),
                 (QStringList{"cboNamePreset", "txtNamePattern", "chkSkipSameSize", "chkPlaylistFile", "chkSaveCovers", "chkEmbedCovers"}));
        QCOMPARE(order.mid(order.size() - 2), (QList<QWidget*>{buttons->button(QDialogButtonBox::Ok), buttons->button(QDialogButtonBox::Cancel)}));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(dialog, "cboNamePreset"));
    }

    void helpOpensTheGuideBesideTheProgram()
    {
        frmMain w(m_dialogs);
        TempDir folder;
        QList<QUrl> opened;
        w.setProgramFolder(QString::fromStdString(folder.path().string()));
        w.setUrlOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        w.cmdHelp_Click();
        QVERIFY(opened.isEmpty());  // no guide, nothing happens
        QFile guide(QString::fromStdString((folder.path() / "Help.html").string()));
        QVERIFY(guide.open(QIODevice::WriteOnly));
        guide.write("<html></html>");
        guide.close();
        w.cmdHelp_Click();
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(guide.fileName())});
        QVERIFY(m_dialogs.prompts.empty());
    }

};

QTEST_MAIN(LayoutTest)
#include "LayoutTest.moc"
