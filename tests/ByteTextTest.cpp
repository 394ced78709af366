#include <sonarchive/ByteText.h>

#include <gtest/gtest.h>

using namespace sonarchive;

TEST(ByteText, EveryByteValueSurvivesTheTextForm)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::u16string text = bytesToText(all);
    ASSERT_EQ(text.size(), 256u);
    EXPECT_EQ(text[0xE9], u'\u00e9');
    EXPECT_EQ(textToBytes(text), all);
}

TEST(ByteText, Utf8RoundTripKeepsSurrogatePairsAndReplacesBrokenSequences)
{
    const std::u16string text = u"Bj\u00f6rk \u041c\u0443\u0437\u044b\u043a\u0430 \U0001F3B5";
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_EQ(fromUtf8("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(fromUtf8("\xE2\x82x"), u"\uFFFDx");
    EXPECT_EQ(fromUtf8("\xED\xA0\x80"), u"\uFFFD");  // an encoded surrogate is not text
    EXPECT_EQ(toUtf8(u"\xD800x"), "\xEF\xBF\xBDx");    // a lone surrogate neither
}
