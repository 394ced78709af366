#include "FixtureDevice.h"
#include "ScriptedDialogs.h"
#include "WindowFixtures.h"

#include <frmMain.h>
#include <frmMenus.h>

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

using namespace tracklift;
using namespace testsupport;

class LayoutTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_config = std::make_unique<TempDir>();
        qputenv("TRACKLIFT_CONFIG_DIR", QByteArray::fromStdString(m_config->path().string()));
        m_dialogs = ScriptedDialogs();
    }

    void startUpLayout()
    {
        frmMain w(m_dialogs);
        // The look comes from the style sheet among the program's resources.
        QVERIFY(w.styleSheet().contains(QStringLiteral("#frTopHeader { background: #1e293b; }")));
        QCOMPARE(w.frMainFrame->pos(), QPoint(0, 0));
        QCOMPARE(w.frContents->pos(), QPoint(w.frMainFrame->width(), 0));
        QCOMPARE(w.size(), w.frMainFrame->size());
        QVERIFY(!w.cmdViewContents->isVisibleTo(&w));
        QCOMPARE(w.cmdViewContents->width(), 0);
        QCOMPARE(w.frameMovie->pos(), QPoint(w.pixelsFromTwips(6210), w.pixelsFromTwips(2130)));
        for (QWidget* panel : {w.frEditFrame, w.frAboutFrame}) {
            QCOMPARE(w.panelTopTwips(panel), w.windowHeightTwips());
            QCOMPARE(panel->y(), w.height());
            QCOMPARE(panel->x(), w.width() / 2 - panel->width() / 2);
        }
        QVERIFY(!w.tmrAnimate->isActive());
        QVERIFY(!w.tmrShowViewButton->isActive());
    }

    void viewButtonGrowsToItsFullWidthAndOpensTheContents()
    {
        FixtureDevice device({makeTrack(1, u"One"), makeTrack(2, u"Two")});
        frmMain w(m_dialogs);
        w.useDeviceForThisRun(device.root());
        w.cmdLoadiPod->click();
        QVERIFY(w.tmrShowViewButton->isActive());
        QCOMPARE(w.cmdViewContents->text(), QString());
        QVERIFY(!w.cmdAbout->isEnabled());
        w.cmdViewContents->click();  // ignored while it grows
        QVERIFY(!w.tmrAnimate->isActive());

        QList<int> widths;
        while (w.tmrShowViewButton->isActive()) {
            w.tmrShowViewButton_Timer();
            widths << w.viewButtonWidthTwips();
        }
        QCOMPARE(widths.mid(12, 3), (QList<int>{2600, 2800, 2850}));  // slower past 2,600
        QCOMPARE(widths.last(), 3075);
        QCOMPARE(w.cmdViewContents->width(), w.pixelsFromTwips(3075));
        QCOMPARE(w.cmdViewContents->text(), QStringLiteral("View && Copy iPod Contents>> "));
        QVERIFY(w.cmdAbout->isEnabled());

        // Opening the contents resets its tools and slides the pages left.
        w.optFilterTracks->setChecked(true);
        w.chkSelectAll->setChecked(true);
        w.cmdViewContents->click();
        QVERIFY(w.optShowAllTracks->isChecked());
        QCOMPARE(w.txtSearch->text(), QStringLiteral("Type Search Text..."));
        QVERIFY(!w.chkSelectAll->isChecked());
        QCOMPARE(w.sMoveObject, QStringLiteral("Main 2 Left"));
        QCOMPARE(w.MoveStep, 800);
        QCOMPARE(w.MoveInterval, 5);
        w.tmrAnimate_Timer();
        QCOMPARE(w.startPageLeftTwips(), -800);
        QCOMPARE(w.frContents->x(), w.frMainFrame->x() + w.frMainFrame->width());
        finishAnimations(w);
        QCOMPARE(w.MoveStep, 100);
        QCOMPARE(w.tmrAnimate->interval(), 10);
        const int pageTwips = w.twipsFromPixels(w.frMainFrame->width());
        QCOMPARE(w.startPageLeftTwips(), -pageTwips);
        QCOMPARE(w.frContents->x(), 0);
        QVERIFY(w.isContentsPageShown());

        // "<< Back" slides them right again.
        w.cmdCancel->click();
        QCOMPARE(w.sMoveObject, QStringLiteral("Main 2 Right"));
        finishAnimations(w);
        QCOMPARE(w.startPageLeftTwips(), 0);
        QCOMPARE(w.frMainFrame->x(), 0);
        QCOMPARE(w.frContents->x(), w.frMainFrame->width());
        QCOMPARE(w.viewButtonWidthTwips(), 0);
    }

    void aboutPanelRisesAndFallsAndRestoresTheControls()
    {
        frmMain w(m_dialogs);
        QVERIFY(w.optAutomatic->isChecked());
        w.cmdAbout->click();
        QVERIFY(!w.frContents->isEnabled());
        QVERIFY(!w.frMainFrame->isEnabled());
        QCOMPARE(w.MovingPanel, w.frAboutFrame);
        w.tmrAnimate_Timer();
        const int afterOneTick = w.panelTopTwips(w.frAboutFrame);
        QCOMPARE(afterOneTick, w.windowHeightTwips() - 300);
        w.cmdAbout->click();  // ignored while the panel moves
        QCOMPARE(w.MoveStep, 300);
        QList<int> intervals;
        while (w.tmrAnimate->isActive()) {
            w.tmrAnimate_Timer();
            intervals << w.MoveInterval;
        }
        QCOMPARE(intervals.last(), 40);  // the step halves twice near the top
        QCOMPARE(w.panelTopTwips(w.frAboutFrame), 1515);
        QCOMPARE(w.panelTopTwips(w.frEditFrame), w.windowHeightTwips());

        const auto labels = w.frAboutFrame->findChildren<QLabel*>();
        QStringList texts;
        for (QLabel* l : labels)
            texts << l->text();
        QVERIFY(texts.contains(QStringLiteral("About")));
        QVERIFY(w.lblAboutProduct->text().startsWith(QStringLiteral("Tracklift ")));
        QCOMPARE(w.lblAboutText->text(),
                 QStringLiteral("Tracklift is very easy to use tool to Copy your iPod Device(Any Type), you can copy tracks from iPod to your local hard drive."));

        w.cmdDrive->setEnabled(true);  // as if something had enabled it meanwhile
        w.cmdFilter->setEnabled(true);
        w.cmdAboutOK->click();
        QCOMPARE(w.sMoveObject, QStringLiteral("Edit Frame 2 Down"));
        finishAnimations(w);
        QCOMPARE(w.panelTopTwips(w.frAboutFrame), w.windowHeightTwips());
        QCOMPARE(w.frAboutFrame->y(), w.height());
        QVERIFY(w.frContents->isEnabled());
        QVERIFY(w.frMainFrame->isEnabled());
        QVERIFY(!w.cmdDrive->isEnabled());  // automatic mode keeps it disabled
        QVERIFY(!w.cmdFilter->isEnabled());
        QVERIFY(!w.cmdSearch->isEnabled());
        QVERIFY(w.cmdAbout->isEnabled());

        w.optiPodDrive->setChecked(true);
        w.cmdAbout->click();
        finishAnimations(w);
        w.cmdAboutOK->click();
        finishAnimations(w);
        QVERIFY(w.cmdDrive->isEnabled());
    }

    void driveMenuListsTheMountedVolumes()
    {
        {
            frmMain w(m_dialogs);
            QStringList drives = {"/media/me/IPOD [IPOD]", "/mnt/usb []", "/media/me/A&B [Rock & Roll]"};
            w.setDriveSource([&] { return drives; });
            w.optiPodDrive->setChecked(true);
            w.cmdDrive->click();
            QCOMPARE(w.Menus().lastShown(), w.Menus().mnuDrive);
            const auto& items = w.Menus().mnuDriveItem;
            QCOMPARE(items.size(), std::size_t(4));
            QVERIFY(!items[0]->isVisible());
            QCOMPARE(items[0]->text(), QString(31, QLatin1Char(' ')));
            QCOMPARE(items[1]->text(), QStringLiteral("/media/me/IPOD [IPOD]"));
            QCOMPARE(w.Drives, drives);
            w.Menus().mnuDrive->close();

            // The menu is built anew each time.
            drives.removeFirst();
            w.cmdDrive->click();
            QCOMPARE(w.Menus().mnuDriveItem.size(), std::size_t(3));
            w.Menus().mnuDriveItem[2]->trigger();
            w.Menus().mnuDrive->close();
            QCOMPARE(w.cmdDrive->text(), QStringLiteral("/media/me/A&&B [Rock && Roll]"));
            w.close();
        }
        frmMain w(m_dialogs);
        QVERIFY(w.optiPodDrive->isChecked());
        QCOMPARE(w.cmdDrive->text(), QStringLiteral("/media/me/A&&B [Rock && Roll]"));
        QCOMPARE(frmMain::driveRootFromCaption(QStringLiteral("/media/me/A&B [Rock & Roll]")), QStringLiteral("/media/me/A&B/"));

        w.setDriveSource([] { return QStringList(); });
        w.cmdDrive->click();
        QCOMPARE(w.Menus().mnuDriveItem.size(), std::size_t(1));
        w.Menus().mnuDrive->close();

        for (const QString& drive : frmMain::mountedDrives()) {
            QVERIFY2(drive.endsWith(QLatin1Char(']')) && drive.contains(QStringLiteral(" [")), qPrintable(drive));
            QVERIFY(!drive.startsWith(QStringLiteral("/proc")));
        }
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
        w.cmdHelp->click();
        QVERIFY(opened.isEmpty());  // no guide, nothing happens
        QFile guide(QString::fromStdString((folder.path() / "Help.html").string()));
        QVERIFY(guide.open(QIODevice::WriteOnly));
        guide.write("<html></html>");
        guide.close();
        w.cmdHelp->click();
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(guide.fileName())});
        QVERIFY(m_dialogs.prompts.empty());
    }

private:
    std::unique_ptr<TempDir> m_config;
    ScriptedDialogs m_dialogs;
};

QTEST_MAIN(LayoutTest)
#include "LayoutTest.moc"
