#include <Error.h>
#include <sonarchive/ByteText.h>
#include <sonarchive/TrackValues.h>

#include <gtest/gtest.h>

using namespace sonarchive;

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

}  // namespace

TEST(TrackYear, ReadsTheIntegerDevicesKeepAndTheDigitsOnceWrittenHere)
{
    EXPECT_EQ(trackYear(bytes({0xCF, 0x07, 0, 0})), 1999);
    EXPECT_EQ(trackYear(bytes({0x0F, 0x27, 0, 0})), 9999);
    EXPECT_EQ(trackYear(bytes({1, 0, 0, 0})), 1);
    EXPECT_EQ(trackYear(std::string("1999")), 1999);           // the digits this library wrote until now
    EXPECT_EQ(trackYear(std::string("98\0\0", 4)), 98);
    EXPECT_EQ(trackYear(bytes({0x10, 0x27, 0, 0})), 0);        // 10,000 is no year
    EXPECT_EQ(trackYear(bytes({0, 0, 0, 0})), 0);
    EXPECT_EQ(trackYear(std::string("19a9")), 0);
    EXPECT_EQ(trackYear(std::string("1\0" "9\0", 4)), 0);      // digits with other bytes after the zeros
    EXPECT_EQ(trackYear(bytes({0xFF, 0xFF, 0xFF, 0xFF})), 0);  // -1
}

TEST(TrackYear, StoresDigitTextAsTheIntegerAndATracksOwnBytesUnchanged)
{
    EXPECT_EQ(yearField(u"1999"), bytes({0xCF, 0x07, 0, 0}));
    EXPECT_EQ(yearField(u"1999-05-01"), bytes({0xCF, 0x07, 0, 0}));  // the year of a date
    EXPECT_EQ(yearField(u" 2004 "), bytes({0xD4, 0x07, 0, 0}));
    EXPECT_EQ(yearField(u"7"), bytes({7, 0, 0, 0}));
    EXPECT_EQ(yearField(u""), bytes({0, 0, 0, 0}));
    EXPECT_EQ(yearField(u"unknown"), bytes({0, 0, 0, 0}));
    EXPECT_EQ(yearField(u"12345"), bytes({0, 0, 0, 0}));
    // Passed back from GetTrackInfo: the four bytes as they are, whatever they hold.
    for (const std::string& own : {bytes({0xCF, 0x07, 0, 0}), bytes({0x35, 0, 0, 0}), bytes({0x81, 0x02, 0x03, 0x04})})
        EXPECT_EQ(yearField(bytesToText(own)), own);
    // Digits written as text once become the integer they mean.
    EXPECT_EQ(yearField(bytesToText(std::string("98\0\0", 4))), bytes({98, 0, 0, 0}));
    TrackInfo info;
    info.sYear = u"2010";
    EXPECT_EQ(trackYear(info), 2010);
    info.sYear = bytesToText(bytes({0xDA, 0x07, 0, 0}));
    EXPECT_EQ(trackYear(info), 2010);
}

TEST(Failures, NumbersAreGroupedAndDevicesNamedInPlainWords)
{
    EXPECT_EQ(groupedNumber(0), "0");
    EXPECT_EQ(groupedNumber(999), "999");
    EXPECT_EQ(groupedNumber(2944), "2,944");
    EXPECT_EQ(groupedNumber(78123456), "78,123,456");
    EXPECT_EQ(groupedNumber(-1234), "-1,234");
    EXPECT_EQ(FormatError("track header size 0", 2944).what(), std::string("at byte 2,944: track header size 0"));
    EXPECT_EQ(systemError(EROFS, "x").code(), FailureCode::ReadOnly);
    EXPECT_EQ(systemError(ENOSPC, "x").code(), FailureCode::NoSpace);
    EXPECT_EQ(systemError(EACCES, "cannot open f").what(), std::string("cannot open f: Permission denied"));
}
