// What the program finds of its own files, in the build tree and once installed.
#include "TempDir.h"

#include <ProgramFiles.h>

#include <QDir>
#include <QFile>
#include <QTest>

using namespace tracklift;
using testsupport::TempDir;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class ProgramFilesTest : public QObject {
    Q_OBJECT
private slots:
    void theGuideIsFoundBesideTheProgramOrInstalled()
    {
        TempDir dir;
        const QString prefix = QString::fromStdString(dir.path().string());
        const QString bin = prefix + QStringLiteral("/" TRACKLIFT_INSTALL_BINDIR);
        const QString installed = prefix + QStringLiteral("/" TRACKLIFT_INSTALL_DATADIR "/tracklift/Help.html");
        QDir().mkpath(bin);
        QCOMPARE(findProgramFile(bin, QStringLiteral("Help.html")), QString());

        writeFile(installed, "<html></html>");
        QCOMPARE(findProgramFile(bin, QStringLiteral("Help.html")), installed);
        writeFile(bin + QStringLiteral("/Help.html"), "<html></html>");  // as in the build tree
        QCOMPARE(findProgramFile(bin, QStringLiteral("Help.html")), bin + QStringLiteral("/Help.html"));

        // Folders of that name are no guide.
        TempDir other;
        const QString otherBin = QString::fromStdString(other.path().string()) + QStringLiteral("/" TRACKLIFT_INSTALL_BINDIR);
        QDir().mkpath(otherBin + QStringLiteral("/Help.html"));
        QDir().mkpath(QString::fromStdString(other.path().string()) + QStringLiteral("/" TRACKLIFT_INSTALL_DATADIR "/tracklift/Help.html"));
        QCOMPARE(findProgramFile(otherBin, QStringLiteral("Help.html")), QString());
    }

    void theBuildTreeHoldsTheGuide()
    {
        QVERIFY(!findProgramFile(QStringLiteral(TRACKLIFT_PROGRAM_FOLDER), QStringLiteral("Help.html")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(ProgramFilesTest)
#include "ProgramFilesTest.moc"
