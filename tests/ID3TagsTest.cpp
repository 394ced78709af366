#include "MediaFixtures.h"

#include <ID3Tags.h>

#include <gtest/gtest.h>

#include <tuple>

using namespace sonarchive;
using namespace mediafixtures;
using namespace std::string_literals;

namespace {

TagFields readV2(const std::string& bytes)
{
    TagFields fields;
    EXPECT_TRUE(ReadID3v2(MemorySource(bytes), fields));
    return fields;
}

TagFields readV1(const std::string& bytes)
{
    TagFields fields;
    EXPECT_TRUE(ReadID3v1(MemorySource(bytes), fields));
    return fields;
}

const std::string kAudio(300, '\x55');

// The texts of a tag but its numbers, to compare them at once.
auto texts(const TagFields& f)
{
    return std::tie(f.title, f.artist, f.album, f.year, f.genre, f.composer, f.comment);
}

}  // namespace

TEST(ID3v1, ReadsFieldsStrippedAndCutAtZero)
{
    const TagFields f = readV1(kAudio + id3v1("  Title  ", "Artist", "Album", "1999", "A comment", 17));
    EXPECT_EQ(texts(f), std::tuple(u"Title"s, u"Artist"s, u"Album"s, u"1999"s, u"Rock"s, u""s, u"A comment"s));
}

TEST(ID3v1, Version11CommentIs28BytesAndGenre255IsEmpty)
{
    std::string comment(30, 'c');
    comment[28] = '\0';
    comment[29] = '\x05';  // track number
    EXPECT_EQ(readV1(id3v1("t", "a", "b", "2000", comment, 255)).comment, std::u16string(28, u'c'));
    EXPECT_EQ(readV1(id3v1("t", "a", "b", "2000", comment, 255)).genre, u"");

    comment[29] = 'c';
    comment[28] = 'c';
    EXPECT_EQ(readV1(id3v1("t", "a", "b", "2000", comment, 0)).comment, std::u16string(30, u'c'));
    EXPECT_EQ(readV1(id3v1("t", "a", "b", "2000", comment, 0)).genre, u"Blues");
}

TEST(ID3v1, Latin1BytesAndLineBreaks)
{
    EXPECT_EQ(readV1(id3v1("Caf\xE9\r\nB\nC", "", "", "", "", 1)).title, u"Caf\u00E9\r\nB\r\nC");
}

TEST(ID3v1, MissingOrShortTagLeavesFieldsUntouched)
{
    TagFields fields;
    fields.title = u"kept";
    EXPECT_FALSE(ReadID3v1(MemorySource(kAudio), fields));
    EXPECT_FALSE(ReadID3v1(MemorySource(std::string("TAG") + std::string(100, 'x')), fields));
    EXPECT_FALSE(ReadID3v1(std::filesystem::path("/nonexistent/file.mp3"), fields));
    EXPECT_EQ(fields.title, u"kept");
}

TEST(ID3v2, Version22ThreeLetterFrames)
{
    const std::string body = frame22("TT2", text("Title")) + frame22("TP1", text("Artist")) + frame22("TAL", text("Album")) +
                             frame22("TYE", text("2001")) + frame22("TCO", text("(17)")) + frame22("TCM", text("Comp")) +
                             frame22("COM", text(std::string("eng") + "desc" + '\0' + "Words")) + std::string(20, '\0');
    const TagFields f = readV2(id3Tag(2, body) + kAudio);
    EXPECT_EQ(texts(f), std::tuple(u"Title"s, u"Artist"s, u"Album"s, u"2001"s, u"Rock"s, u"Comp"s, u"Words"s));
}

TEST(ID3v2, Version23UnsynchronisationAndExtendedHeader)
{
    // Extended header: size 6 (plain), flags and padding size.
    const std::string extended = be32(6) + std::string(6, '\0');
    const std::string title = "A\xFF\xE0Z";  // 0xFF followed by a byte that looks like a sync
    std::string body = extended + frame23("TIT2", text(title)) + frame23("TPE1", text("B\xFF")) + frame23("TALB", text("C"));
    // Unsynchronise: a zero after every 0xFF.
    std::string unsynced;
    for (char c : body) {
        unsynced += c;
        if (static_cast<unsigned char>(c) == 0xFF)
            unsynced += '\0';
    }
    const TagFields f = readV2(id3Tag(3, unsynced, 0x80 | 0x40) + kAudio);
    EXPECT_EQ(f.title, u"A\u00FF\u00E0Z");
    EXPECT_EQ(f.artist, u"B\u00FF");
    EXPECT_EQ(f.album, u"C");
}

TEST(ID3v2, Version23SkipsCompressedFramesAndStepsOverGroupIds)
{
    const std::string body = frame23("TIT2", text("Squeezed"), 0x80) + frame23("TPE1", std::string("\x07") + text("Grouped"), 0x20);
    const TagFields f = readV2(id3Tag(3, body));
    EXPECT_EQ(f.title, u"");
    EXPECT_EQ(f.artist, u"Grouped");
}

TEST(ID3v2, Version24SyncsafeAndPlainFrameLengths)
{
    // 255 letters + the encoding byte: 256 bytes, which a syncsafe reading of a plain
    // length would take as 128.
    const std::string longTitle(255, 'x');
    const std::string plain = frame24("TIT2", text(longTitle), 0, true) + frame24("TPE1", text("Artist"), 0, true);
    TagFields f = readV2(id3Tag(4, plain));
    EXPECT_EQ(f.title, std::u16string(255, u'x'));
    EXPECT_EQ(f.artist, u"Artist");

    const std::string syncsafeBody = frame24("TIT2", text(longTitle)) + frame24("TPE1", text("Artist"));
    f = readV2(id3Tag(4, syncsafeBody));
    EXPECT_EQ(f.title, std::u16string(255, u'x'));
    EXPECT_EQ(f.artist, u"Artist");
}

TEST(ID3v2, Version24FrameUnsyncAndDataLengthIndicator)
{
    const std::string content = std::string("\x00\x00\x00\x05", 4) + text(std::string("Q\xFF\x00R", 4));
    const TagFields f = readV2(id3Tag(4, frame24("TIT2", content, 0x02 | 0x01) + frame24("TALB", text("Al"), 0x04)));
    EXPECT_EQ(f.title, u"Q\u00FFR");
    EXPECT_EQ(f.album, u"");  // encrypted: skipped
}

TEST(ID3v2, SeekChainsToAnUpdateTagThatAddsToTheFirst)
{
    const std::string second = id3Tag(4, be32(6) + std::string("\x01\x40", 2) + frame24("TPE1", text("Later")), 0x40);
    const std::string first = id3Tag(4, frame24("TIT2", text("First")) + frame24("SEEK", be32(7)));
    const TagFields f = readV2(first + std::string(7, '\0') + second + kAudio);
    EXPECT_EQ(f.title, u"First");
    EXPECT_EQ(f.artist, u"Later");

    // Without the update flag the second tag replaces what the first gave.
    const std::string replacing = id3Tag(4, frame24("TPE1", text("Later")));
    const TagFields g = readV2(first + std::string(7, '\0') + replacing);
    EXPECT_EQ(g.title, u"");
    EXPECT_EQ(g.artist, u"Later");
}

TEST(ID3v2, FooterOnlyTagBeforeAnId3v1Tag)
{
    const std::string body = frame24("TIT2", text("Appended")) + frame24("TDRC", text("2019-05-04T10:00"));
    std::string footer = id3Header(4, 0x10, body.size());
    footer.replace(0, 3, "3DI");
    const std::string file = kAudio + id3Header(4, 0x10, body.size()) + body + footer + id3v1("Old", "", "", "", "", 2);
    const TagFields f = readV2(file);
    EXPECT_EQ(f.title, u"Appended");
    EXPECT_EQ(f.year, u"2019");

    TagFields none;
    EXPECT_FALSE(ReadID3v2(MemorySource(kAudio + id3v1("Old", "", "", "", "", 2)), none));
}

TEST(ID3v2, TextEncodingsDecodeBeyondLatin1)
{
    // "Ω😀é" in each encoding; the emoji stays a surrogate pair.
    const std::u16string expected = u"\u03A9\U0001F600\u00E9";
    const std::string utf16le("\xFF\xFE\xA9\x03\x3D\xD8\x00\xDE\xE9\x00\x00\x00", 12);
    const std::string utf16beBom("\xFE\xFF\x03\xA9\xD8\x3D\xDE\x00\x00\xE9\x00\x00", 12);
    const std::string utf16be("\x03\xA9\xD8\x3D\xDE\x00\x00\xE9", 8);
    const std::string utf8("\xCE\xA9\xF0\x9F\x98\x80\xC3\xA9", 8);
    EXPECT_EQ(readV2(id3Tag(3, frame23("TIT2", text(utf16le, 1)))).title, expected);
    EXPECT_EQ(readV2(id3Tag(3, frame23("TIT2", text(utf16beBom, 1)))).title, expected);
    EXPECT_EQ(readV2(id3Tag(4, frame24("TIT2", text(utf16be, 2)))).title, expected);
    EXPECT_EQ(readV2(id3Tag(4, frame24("TIT2", text(utf8, 3)))).title, expected);
    EXPECT_EQ(readV2(id3Tag(4, frame24("TIT2", text("Caf\xE9", 0)))).title, u"Caf\u00E9");
    // Broken UTF-8 becomes U+FFFD; text stops at the first zero.
    EXPECT_EQ(readV2(id3Tag(4, frame24("TIT2", text(std::string("a\xC3(b\0c", 6), 3)))).title, u"a\uFFFD(b");
    EXPECT_EQ(BytesToText("abc", 7, true), u"");
}

TEST(ID3v2, CommentFollowsItsDescriptionInEachEncoding)
{
    const std::string latin = text(std::string("eng") + "d" + '\0' + "line1\nline2\r", 0);
    EXPECT_EQ(readV2(id3Tag(3, frame23("COMM", latin))).comment, u"line1\r\nline2");
    // A non-Latin description in UTF-16 with marks on both strings.
    const std::string wide = text(std::string("eng") + std::string("\xFF\xFE\xA9\x03\x00\x00", 6) + std::string("\xFF\xFEo\x00k\x00", 6), 1);
    EXPECT_EQ(readV2(id3Tag(3, frame23("COMM", wide))).comment, u"ok");
    const std::string utf8 = text(std::string("eng") + "\xCE\xA9\xCE\xA9" + '\0' + "\xE2\x82\xAC", 3);
    EXPECT_EQ(readV2(id3Tag(4, frame24("COMM", utf8))).comment, u"\u20AC");
}

TEST(ID3v2, GenreRefinement)
{
    EXPECT_EQ(readV2(id3Tag(3, frame23("TCON", text("(17)Rock")))).genre, u"Rock");
    EXPECT_EQ(RefineGenre(u"(RX)"), u"Remix");
    EXPECT_EQ(RefineGenre(u"(CR)"), u"Cover");
    EXPECT_EQ(RefineGenre(u"(255)"), u"");
    EXPECT_EQ(RefineGenre(u"Jazz"), u"Jazz");
    EXPECT_EQ(RefineGenre(u"(Live"), u"(Live");
    EXPECT_EQ(RefineGenre(u"(abc)x"), u"(abc)x");
    EXPECT_EQ(GenreName(67), u"Psychadelic");
    EXPECT_EQ(GenreName(79), u"Hard Rock");
    EXPECT_EQ(GenreName(85), u"Bebob");
    EXPECT_EQ(GenreName(90), u"Avantgarde");
    EXPECT_EQ(GenreName(100), u"Humour");
    EXPECT_EQ(GenreName(123), u"A capella");
    EXPECT_EQ(GenreName(136), u"Christian Gangsta");
    EXPECT_EQ(GenreName(140), u"Contemporary C");
    EXPECT_EQ(GenreName(147), u"SynthPop");
    EXPECT_EQ(GenreName(148), u"");
    EXPECT_EQ(GenreName(-1), u"");
}

TEST(ID3v2, BrokenTagsKeepWhatWasRead)
{
    // A frame that claims more than the tag holds ends the loop.
    const std::string body = frame23("TIT2", text("Kept")) + "TPE1" + be32(1000) + std::string(2, '\0') + "short";
    TagFields f = readV2(id3Tag(3, body));
    EXPECT_EQ(f.title, u"Kept");
    EXPECT_EQ(f.artist, u"");

    // An unknown major version is skipped; a tag claiming more than the file holds is read as far as it goes.
    f = TagFields{};
    f.title = u"before";
    EXPECT_TRUE(ReadID3v2(MemorySource(id3Tag(5, frame23("TIT2", text("X")))), f));
    EXPECT_EQ(f.title, u"before");
    const std::string truncated = id3Header(3, 0, 100000) + frame23("TIT2", text("Cut"));
    EXPECT_EQ(readV2(truncated).title, u"Cut");
}

TEST(ID3v2, HelperRules)
{
    EXPECT_EQ(ReadTagInteger(std::string("\x00\x00\x02\x01", 4), true), 257u);
    EXPECT_EQ(ReadTagInteger(std::string("\x00\x00\x02\x01", 4), false), 513u);
    EXPECT_EQ(ReadTagInteger(std::string("\x00\x00\x01\x80", 4), true), 384u);  // top bit: plain
    std::string buffer("\xFF\x00\xFF\x00\x00\x01", 6);
    EXPECT_EQ(RemoveUnsync(buffer), 2u);
    EXPECT_EQ(buffer.substr(0, 4), std::string("\xFF\xFF\x00\x01", 4));
    EXPECT_TRUE(IsFrameId(std::string("TIT2")));
    EXPECT_TRUE(IsFrameId(std::string(4, '\0')));
    EXPECT_FALSE(IsFrameId(std::string("tit2")));
    EXPECT_FALSE(IsFrameId(std::string("COM ")));
}
