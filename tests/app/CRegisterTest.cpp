#include "TempDir.h"

#include <CRegister.h>

#include <QFile>
#include <QTest>

using namespace tracklift;

class CRegisterTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<testsupport::TempDir>();
        qputenv("TRACKLIFT_CONFIG_DIR", QByteArray::fromStdString(m_dir->path().string() + "/config"));
    }

    void missingValuesGiveTheDefault()
    {
        CRegister reg;
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "Software\\A", "X", "dflt"), QStringLiteral("dflt"));
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "Software\\A", "X", "1"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "Software\\A", "Y", "dflt"), QStringLiteral("dflt"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_CURRENT_USER, "Software\\A", "X", "dflt"), QStringLiteral("dflt"));
    }

    void keyPathsAreNormalisedAndCaseBlind()
    {
        CRegister reg;
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "\\Software\\Corvane Tracklift\\Settings\\", "AutoDetect", "False"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "software\\corvane tracklift\\settings", "autodetect", ""),
                 QStringLiteral("False"));
        // Written again: one value, replaced.
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "Software\\Corvane Tracklift\\Settings", "AUTODETECT", "True"));
        QFile file(CRegister::hiveFile(CRegister::HKEY_LOCAL_MACHINE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QCOMPARE(text, QStringLiteral("[Software\\Corvane Tracklift\\Settings]\n\"AutoDetect\"=\"True\"\n\n"));
    }

    void awkwardTextsRoundTrip()
    {
        CRegister reg;
        const QString value = QStringLiteral("/media/user/My \"iPod\" = 1 [IPOD] \\ \u00e9\u4e2d");
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "manualDetectDrive", value));
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "empty", ""));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "manualDetectDrive", ""), value);
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "empty", "dflt"), QString(""));
    }

    void starNamesTheUnnamedValue()
    {
        CRegister reg;
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "*", "default value"));
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "@", "named at"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "*", ""), QStringLiteral("default value"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "@", ""), QStringLiteral("named at"));
    }

    void deletingValuesAndKeys()
    {
        CRegister reg;
        reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "A", "x", "1");
        reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "A", "y", "2");
        reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "A\\B", "z", "3");
        QVERIFY(reg.REGDeleteSetting(CRegister::HKEY_LOCAL_MACHINE, "A", "x"));
        QVERIFY(!reg.REGDeleteSetting(CRegister::HKEY_LOCAL_MACHINE, "A", "x"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "A", "x", "gone"), QStringLiteral("gone"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "A", "y", ""), QStringLiteral("2"));
        QVERIFY(!reg.REGDeleteSetting(CRegister::HKEY_LOCAL_MACHINE, "A", ""));  // a key below it remains
        QVERIFY(reg.REGDeleteSetting(CRegister::HKEY_LOCAL_MACHINE, "A\\B", ""));
        QVERIFY(reg.REGDeleteSetting(CRegister::HKEY_LOCAL_MACHINE, "A", ""));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "A", "y", "gone"), QStringLiteral("gone"));
    }

    void unwritableStoreFailsQuietly()
    {
        qputenv("TRACKLIFT_CONFIG_DIR", "/proc/tracklift-cannot-be-here");
        CRegister reg;
        QVERIFY(!reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "x", "1"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "x", "dflt"), QStringLiteral("dflt"));
    }

    void configFolderFollowsTheEnvironment()
    {
        qunsetenv("TRACKLIFT_CONFIG_DIR");
        qputenv("XDG_CONFIG_HOME", "/some/where");
        QCOMPARE(CRegister::folder(), QStringLiteral("/some/where/tracklift"));
        qunsetenv("XDG_CONFIG_HOME");
        QVERIFY(CRegister::folder().endsWith(QStringLiteral("/.config/tracklift")));
    }

private:
    std::unique_ptr<testsupport::TempDir> m_dir;
};

QTEST_GUILESS_MAIN(CRegisterTest)
#include "CRegisterTest.moc"
