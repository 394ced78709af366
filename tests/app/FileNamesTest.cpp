#include <CleanFileName.h>
#include <FileNameFit.h>

#include <QTest>

using namespace tracklift;

class FileNamesTest : public QObject {
    Q_OBJECT
private slots:
    void cleaning_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("cleaned");
        QTest::newRow("separators and marks") << "AC/DC: Live?" << "ACDC Live";
        QTest::newRow("all nine") << "a\\b/c*d:e\"f<g>h|i?j" << "abcdefghij";
        QTest::newRow("only removed characters") << "/:*?" << "iPodFile";
        QTest::newRow("only blanks") << "   " << "iPodFile";
        QTest::newRow("empty") << "" << "iPodFile";
        QTest::newRow("removed and blanks") << " ? " << "iPodFile";
        QTest::newRow("leading and trailing blanks kept") << " Song " << " Song ";
        QTest::newRow("other punctuation kept") << "Rock & Roll (Remix) [2001].." << "Rock & Roll (Remix) [2001]..";
    }
    void cleaning()
    {
        QFETCH(QString, title);
        QFETCH(QString, cleaned);
        QCOMPARE(QString::fromStdU16String(CleanFileName(title.toStdU16String())), cleaned);
    }

    void shortNamesAreUnchanged()
    {
        QCOMPARE(trackFileName(u"ACDC Live", u"mp3"), std::string("ACDC Live.mp3"));
        QCOMPARE(trackFileName(u"No Extension", u""), std::string("No Extension."));
    }

    void longCyrillicTitleIsShortenedToFit()
    {
        // 250 Cyrillic letters are 500 bytes of UTF-8.
        std::u16string title(250, u'\u0416');
        const std::string name = trackFileName(title, u"mp3");
        QVERIFY(name.size() <= kMaxFileNameBytes);
        QVERIFY(name.size() >= kMaxFileNameBytes - 1);
        QVERIFY(name.ends_with(".mp3"));
        const std::string stem = name.substr(0, name.size() - 4);
        QCOMPARE(stem.size() % 2, std::size_t(0));  // whole two-byte letters only
        QCOMPARE(QString::fromUtf8(stem), QString(static_cast<qsizetype>(stem.size() / 2), QChar(u'\u0416')));
    }

    void fourByteCharactersAreNotSplit()
    {
        std::u16string title;
        for (int i = 0; i < 100; ++i)
            title += u"\U0001F3B5";  // a musical note, 4 bytes of UTF-8, 2 units of UTF-16
        const std::string name = trackFileName(title, u"m4a");
        QCOMPARE(name.size(), std::size_t(62 * 4 + 4));  // 251 bytes for the stem hold 62 notes
        QVERIFY(QString::fromUtf8(name).toUtf8() == QByteArray::fromStdString(name));
    }

    void exactFitIsKept()
    {
        const std::u16string title(251, u'a');
        QCOMPARE(trackFileName(title, u"mp3"), std::string(251, 'a') + ".mp3");
        QCOMPARE(trackFileName(std::u16string(252, u'a'), u"mp3").size(), kMaxFileNameBytes);
        // Without an extension the dropped "." takes no room.
        QCOMPARE(trackFileName(std::u16string(300, u'a'), u""), std::string(255, 'a') + ".");
    }

    void nulCannotReachTheFileSystem()
    {
        QCOMPARE(fitStem(std::string("a\0b", 3), ".mp3"), std::string("ab"));
    }

    void loneSurrogateBecomesReplacementCharacter()
    {
        QCOMPARE(utf8(std::u16string(1, u'\xD800') + u"x"), std::string("\xEF\xBF\xBDx"));
    }
};

QTEST_GUILESS_MAIN(FileNamesTest)
#include "FileNamesTest.moc"
