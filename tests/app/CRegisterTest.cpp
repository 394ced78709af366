#include "TempDir.h"

#include <CRegister.h>

#include <QDir>
#include <QFile>
#include <QSettings>
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
        // Written again: one value, replaced, spelt as it was first written.
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "Software\\Corvane Tracklift\\Settings", "AUTODETECT", "True"));
        QSettings file(CRegister::hiveFile(CRegister::HKEY_LOCAL_MACHINE), QSettings::IniFormat);
        QCOMPARE(file.allKeys(), QStringList{"Software/Corvane Tracklift/Settings/AutoDetect"});
        QCOMPARE(file.value("Software/Corvane Tracklift/Settings/AutoDetect").toString(), QStringLiteral("True"));
    }

    void slashesAndBackslashesInNamesStayApart()
    {
        CRegister reg;
        // A key below K and a value of K with the same name are different things.
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "K\\x", "*", "default of K\\x"));
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "x", "x of K"));
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "a\\b", "backslash"));
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "a/b", "slash"));
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, "K/L", "100%", "percent"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K\\x", "*", ""), QStringLiteral("default of K\\x"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "x", ""), QStringLiteral("x of K"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "a\\b", ""), QStringLiteral("backslash"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "a/b", ""), QStringLiteral("slash"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "a", "none"), QStringLiteral("none"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K/L", "100%", ""), QStringLiteral("percent"));
        QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "*", "none"), QStringLiteral("none"));
    }

    void filesOfTheEarlierWriterAreReadAndUpgraded()
    {
        // What the program's settings files looked like before they were kept through QSettings.
        QDir().mkpath(CRegister::folder());
        QFile file(CRegister::hiveFile(CRegister::HKEY_LOCAL_MACHINE));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[Software\\Corvane Tracklift\\Settings]\n"
                                  "\"AutoDetect\"=\"False\"\n"
                                  "\"manualDetect\"=\"True\"\n"
                                  "\"manualDetectDrive\"=\"/media/me/My \\\"iPod\\\", 2 [IPOD] \\\\ \u00e9\u4e2d\"\n"
                                  "\n"
                                  "[K]\n"
                                  "@=\"default value\"\n"
                                  "\"@\"=\"named at\"\n"
                                  "\"empty\"=\"\"\n\n")
                       .toUtf8());
        file.close();
        const QString key = QStringLiteral("Software\\Corvane Tracklift\\Settings");
        const QString drive = QStringLiteral("/media/me/My \"iPod\", 2 [IPOD] \\ \u00e9\u4e2d");
        CRegister reg;
        const auto check = [&] {
            QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "autodetect", ""), QStringLiteral("False"));
            QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetect", ""), QStringLiteral("True"));
            QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, key, "manualDetectDrive", ""), drive);
            QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "*", ""), QStringLiteral("default value"));
            QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "@", ""), QStringLiteral("named at"));
            QCOMPARE(reg.REGGetSetting(CRegister::HKEY_LOCAL_MACHINE, "K", "empty", "dflt"), QString(""));
        };
        check();
        // The first change rewrites the file in the present form; nothing is lost.
        QVERIFY(reg.REGSaveSetting(CRegister::HKEY_LOCAL_MACHINE, key, "AutoDetect", "False"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        file.close();
        QVERIFY2(!text.contains("\"AutoDetect\"") && !text.contains("\n@="), text.constData());
        check();
        QCOMPARE(QSettings(file.fileName(), QSettings::IniFormat).allKeys().size(), 6);
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
