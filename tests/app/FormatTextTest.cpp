#include <FormatText.h>

#include <QLocale>
#include <QTest>

using namespace tracklift;

class FormatTextTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void fileSizesAtTheBoundaries_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0 Bytes";
        QTest::newRow("512") << qint64(512) << "512 Bytes";
        QTest::newRow("1023") << qint64(1023) << "1023 Bytes";
        QTest::newRow("1024") << qint64(1024) << "1 KB";
        QTest::newRow("1536") << qint64(1536) << "1.5 KB";
        QTest::newRow("just below 1 MB") << qint64(1048575) << "1024 KB";
        QTest::newRow("3 MB") << qint64(3145728) << "3 MB";
        QTest::newRow("1 GB") << qint64(1073741824) << "1 GB";
        QTest::newRow("two decimals") << qint64(1073741824LL * 7 / 3) << "2.33 GB";
        QTest::newRow("trailing zeros dropped") << qint64(1029) << "1 KB";  // 1.0048828125
        QTest::newRow("huge") << qint64(8089934592LL) << "7.53 GB";
    }
    void fileSizesAtTheBoundaries()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(FormatFileSize(bytes), text);
    }

    void exactHalvesRoundToEven()
    {
        // 1.125 MB and 1.375 MB are exact halves of a hundredth.
        QCOMPARE(FormatFileSize(1048576LL * 9 / 8), QStringLiteral("1.12 MB"));
        QCOMPARE(FormatFileSize(1048576LL * 11 / 8), QStringLiteral("1.38 MB"));
        QCOMPARE(formatRatio(25, 10, 0), QStringLiteral("2"));
        QCOMPARE(formatRatio(35, 10, 0), QStringLiteral("4"));
        QCOMPARE(formatRatio(1, 8, 2), QStringLiteral("0.12"));
        QCOMPARE(formatRatio(999999, 1000000, 1), QStringLiteral("1"));
    }

    void fileSizeUsesTheUsersDecimalSeparator()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(FormatFileSize(1536), QStringLiteral("1,5 KB"));
    }

    void trackLengths_data()
    {
        QTest::addColumn<int>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0 << "0:00";
        QTest::newRow("59,999") << 59999 << "0:59";
        QTest::newRow("60,000") << 60000 << "1:00";
        QTest::newRow("185,999") << 185999 << "3:05";
        QTest::newRow("4,000,000") << 4000000 << "66:40";
        QTest::newRow("largest") << 2147483647 << "35791:23";
    }
    void trackLengths()
    {
        QFETCH(int, ms);
        QFETCH(QString, text);
        QCOMPARE(FormatTrackLength(ms), text);
    }
};

QTEST_GUILESS_MAIN(FormatTextTest)
#include "FormatTextTest.moc"
