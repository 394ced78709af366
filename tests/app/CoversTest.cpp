// The covers the device keeps in its artwork database: shown in the information
// panel and saved as cover.jpg beside an album's copies.

#include "ArtworkBuilder.h"
#include "FixtureDevice.h"
#include "TagReadBack.h"
#include "TrackliftTestCase.h"

#include <CopyDialogs.h>
#include <TrackCopier.h>
#include <TrackList.h>
#include <frmMain.h>

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace tracklift;
using namespace testsupport;
using C = TrackTableModel::Column;
namespace fs = std::filesystem;

namespace {

std::u16string locationOf(int id)
{
    const std::string text = ":iPod_Control:Music:F00:T" + std::to_string(id) + ".mp3";
    return std::u16string(text.begin(), text.end());
}

// Tracks 1 and 2 of "Blue" share a blue-and-white cover (album layout, linked
// by image id), track 3 of "Red" has a red one of its own, track 4 none.
struct CoverDevice {
    FixtureDevice device{database()};
    frmMain window;

    static DatabaseFixture database()
    {
        std::vector<TrackFixture> tracks;
        for (int id = 1; id <= 4; ++id)
            tracks.push_back(makeTrack(id, u"Song " + fromNumber(id), u"Band", id <= 2 ? u"Blue" : id == 3 ? u"Red" : u"Grey",
                                       locationOf(id)));
        linkArtwork(tracks[0], 1001, 1, 500);
        linkArtwork(tracks[1], 1002, 1, 500);
        linkArtwork(tracks[2], 1003, 1);
        linkArtwork(tracks[3], 1004, 2);
        return typicalDatabase(tracks);
    }

    explicit CoverDevice(ScriptedDialogs& dialogs) : window(dialogs)
    {
        installArtwork(device.dir.path(),
                       buildArtwork({.images = {{.imageId = 500, .songId = 1001, .colours = {0x001F, 0x001F, 0xFFFF, 0xFFFF},
                                                 .pictures = albumFormats()},
                                                {.imageId = 501, .songId = 1003, .colours = {0xF800, 0xF800, 0xF800, 0xF800},
                                                 .pictures = nanoFormats()}}}));
        for (int id = 1; id <= 4; ++id)
            writeFile(device.file(":iPod_Control:Music:F00:T" + std::to_string(id) + ".mp3"), std::string(50, 'a'));
        window.useDeviceForThisRun(device.root());
        window.cmdLoadiPod_Click();
    }

    QLabel* cover() { return child<QLabel>(window, "lblCover"); }
    void showInformation(int row)
    {
        window.trackList().grid().setActiveCell({row, C::Title});
        window.cmdEditTrack_Click();
    }
};

}  // namespace

class CoversTest : public TrackliftTestCase {
    Q_OBJECT
private slots:
    void thePanelShowsTheCoverOfTheHighlightedTrack()
    {
        CoverDevice d(m_dialogs);
        d.showInformation(1);
        QVERIFY(m_dialogs.prompts.empty());
        const QImage shown = d.cover()->pixmap().toImage();
        QVERIFY(!shown.isNull());
        QCOMPARE(shown.width(), d.cover()->contentsRect().width());
        // Blue above, white below, as the album's largest picture (320x320) has it.
        QCOMPARE(shown.pixelColor(shown.width() / 2, shown.height() / 4), QColor(0, 0, 255));
        QCOMPARE(shown.pixelColor(shown.width() / 2, shown.height() * 3 / 4), QColor(255, 255, 255));
        QCOMPARE(d.cover()->toolTip(), QStringLiteral("The cover on the iPod, 320 x 320"));

        d.window.cmdCancelEdit_Click();
        d.showInformation(2);
        QCOMPARE(d.cover()->pixmap().toImage().pixelColor(10, 10), QColor(255, 0, 0));
        QCOMPARE(d.cover()->toolTip(), QStringLiteral("The cover on the iPod, 200 x 200"));

        // A track without a cover leaves nothing of the one before.
        d.window.cmdCancelEdit_Click();
        d.showInformation(3);
        QVERIFY(d.cover()->pixmap().isNull());
        QCOMPARE(d.cover()->text(), QStringLiteral("No cover"));
    }

    void albumCoversAreSavedBesideTheCopiesWhenTheOptionIsOn()
    {
        {
            CoverDevice d(m_dialogs);
            QVERIFY(!d.window.copier().options().saveCovers);
            m_dialogs.dialogSteps.push_back([](QDialog& dialog) {
                QCheckBox* save = child<QCheckBox>(dialog, "chkSaveCovers");
                if (save->text() != QStringLiteral("Save album covers as cover.jpg") || save->isChecked())
                    return int(QDialog::Rejected);
                save->setChecked(true);
                return int(QDialog::Accepted);
            });
            d.window.cmdCopyOptions_Click();
            QVERIFY(d.window.copier().options().saveCovers);
        }
        // Kept with the settings for the next run.
        CoverDevice d(m_dialogs);
        QVERIFY(d.window.copier().options().saveCovers);
        CopyOptions options = d.window.copier().options();
        options.pattern = QStringLiteral("{album}/{title}");
        options.tags = trackcopy::TagMode::None;  // the device's files here are no media to tag
        d.window.copier().setOptions(options);
        child<QCheckBox>(d.window, "chkSelectAll")->setChecked(true);

        TempDir destination;
        writeFile(destination.path() / "Red/cover.jpg", "the user's own");
        m_dialogs.folders.push_back(QString::fromStdString(destination.path().string()));
        QString failures;
        m_dialogs.dialogSteps.push_back([&](QDialog& dialog) {
            failures = static_cast<CopySummaryDialog&>(dialog).failureText();
            return int(QDialog::Accepted);
        });
        d.window.CopyCheckedTracks();
        QCOMPARE(failures, QString());

        const QImage blue(QString::fromStdString((destination.path() / "Blue/cover.jpg").string()));
        QCOMPARE(blue.size(), QSize(320, 320));
        const QColor top = blue.pixelColor(160, 80), bottom = blue.pixelColor(160, 240);
        QVERIFY2(top.red() < 16 && top.green() < 16 && top.blue() > 240, qPrintable(top.name()));
        QVERIFY2(bottom.red() > 240 && bottom.green() > 240 && bottom.blue() > 240, qPrintable(bottom.name()));
        QCOMPARE(readFile(destination.path() / "Red/cover.jpg"), std::string("the user's own"));
        QVERIFY(fs::exists(destination.path() / "Grey/Song 4.mp3"));
        QVERIFY(!fs::exists(destination.path() / "Grey/cover.jpg"));
    }

    void copiesWithTagsCarryTheirCoverUnlessTheOptionIsOff()
    {
        CoverDevice d(m_dialogs);
        if (makeMp3(d.device.file(":iPod_Control:Music:F00:T1.mp3")).empty())
            QSKIP("ffmpeg is needed to make an MP3");
        QVERIFY(d.window.copier().options().embedCovers);  // on unless the user turns it off
        bool offered = false, offWithoutTags = false;
        m_dialogs.dialogSteps.push_back([&](QDialog& dialog) {
            QCheckBox* embed = child<QCheckBox>(dialog, "chkEmbedCovers");
            offered = embed->text() == QStringLiteral("Embed covers in the copies") && embed->isChecked() && embed->isEnabled();
            child<QRadioButton>(dialog, "optTagsNone")->setChecked(true);
            offWithoutTags = !embed->isEnabled();  // no tags, nothing to embed in
            return int(QDialog::Rejected);
        });
        d.window.cmdCopyOptions_Click();
        QVERIFY(offered);
        QVERIFY(offWithoutTags);

        const auto copyFirst = [&](const TempDir& destination) {
            d.window.trackList().grid().setCellValue(0, C::CheckBox, 1);
            m_dialogs.folders.push_back(QString::fromStdString(destination.path().string()));
            m_dialogs.dialogSteps.push_back([](QDialog&) { return int(QDialog::Accepted); });
            d.window.CopyCheckedTracks();
            return ReadBack(destination.path() / "Song 1.mp3").pictures;
        };
        const TempDir with;
        const std::vector<std::string> pictures = copyFirst(with);
        QCOMPARE(pictures.size(), std::size_t(1));
        QCOMPARE(QImage::fromData(QByteArray::fromStdString(pictures[0]), "JPG").size(), QSize(320, 320));

        CopyOptions options = d.window.copier().options();
        options.embedCovers = false;
        d.window.copier().setOptions(options);
        const TempDir without;
        QVERIFY(copyFirst(without).empty());
    }

    void withoutTheOptionNoCoverIsSaved()
    {
        CoverDevice d(m_dialogs);
        CopyOptions options;
        options.pattern = QStringLiteral("{album}/{title}");
        d.window.copier().setOptions(options);
        child<QCheckBox>(d.window, "chkSelectAll")->setChecked(true);
        TempDir destination;
        m_dialogs.folders.push_back(QString::fromStdString(destination.path().string()));
        m_dialogs.dialogSteps.push_back([](QDialog&) { return int(QDialog::Accepted); });
        d.window.CopyCheckedTracks();
        QVERIFY(fs::exists(destination.path() / "Blue/Song 1.mp3"));
        QVERIFY(!fs::exists(destination.path() / "Blue/cover.jpg"));
    }
};

QTEST_MAIN(CoversTest)
#include "CoversTest.moc"
