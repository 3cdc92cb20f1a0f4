#include "host/Text.h"

#include "platform/Utf8.h"

#include <gtest/gtest.h>

namespace host {
namespace {

TEST(Utf8, EncodesEveryPlaneAndReplacesInvalidCodePoints) {
    EXPECT_EQ(ToUtf8(L"ST1"), "ST1");
    EXPECT_EQ(ToUtf8(L"\u0422\u043e\u0447\u043a\u0430"), "\xD0\xA2\xD0\xBE\xD1\x87\xD0\xBA\xD0\xB0");
    EXPECT_EQ(ToUtf8(L"\u00b0"), "\xC2\xB0");
    EXPECT_EQ(ToUtf8(L"\u20ac"), "\xE2\x82\xAC");
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0x1F600))), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

TEST(Utf8, DecodesAndReplacesEachBadByte) {
    EXPECT_EQ(FromUtf8("\xD0\xA2x"), L"\u0422x");
    EXPECT_EQ(FromUtf8("a\xFF"
                       "b"),
              L"a\uFFFDb");
    EXPECT_EQ(FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD"); // overlong '/'
    EXPECT_EQ(FromUtf8("\xE2\x82"), L"\uFFFD\uFFFD"); // cut short
    EXPECT_EQ(FromUtf8(ToUtf8(L"Пункт-7 °")), L"Пункт-7 °");
}

// A file name's bytes survive the host's widening and the module's narrowing, whatever they
// are, and are shown as valid UTF-8.
TEST(FileNames, AnyBytesTravelThroughWideTextAndBack) {
    const struct {
        const char* bytes;
        std::wstring wide;
        const char* shown;
    } rows[] = {
        {"job.rdf", L"job.rdf", "job.rdf"},
        {"\xFF\xFE.rdf", L"\xDCFF\xDCFE.rdf", "\xEF\xBF\xBD\xEF\xBF\xBD.rdf"},
        {"\xD0\xA2\xE2\x82", L"\u0422\xDCE2\xDC82", "\xD0\xA2\xEF\xBF\xBD\xEF\xBF\xBD"}, // cut short
        {"\xED\xB2\x80", L"\xDCED\xDCB2\xDC80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // an encoded escape
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shown);
        EXPECT_EQ(FileNameFromBytes(row.bytes), row.wide);
        EXPECT_EQ(platform::EncodeFileName(row.wide), row.bytes);
        EXPECT_EQ(ToUtf8(row.wide), row.shown);
    }
}

TEST(Decimals, ShortestFormReadsBackExactly) {
    EXPECT_EQ(ShortestDecimal(100.0f), "100");
    EXPECT_EQ(ShortestDecimal(100.0f / 3.0f), "33.333332");
    EXPECT_EQ(ShortestDecimal(200.0f / 3.0f), "66.666664");
    EXPECT_EQ(ShortestDecimal(0.1), "0.1");
    EXPECT_EQ(ShortestDecimal(0.1f), "0.1");
    EXPECT_EQ(ShortestDecimal(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(ShortestDecimal(-2.5), "-2.5");
}

TEST(Decimals, FixedFormRoundsAndDropsTheSignOfZero) {
    EXPECT_EQ(FixedDecimal(1.5504, 3), "1.550");
    EXPECT_EQ(FixedDecimal(1.5, 0), "2");
    EXPECT_EQ(FixedDecimal(-0.0001, 3), "0.000");
    EXPECT_EQ(FixedDecimal(-0.5, 1), "-0.5");
}

} // namespace
} // namespace host
