#include "host/Text.h"

#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// The exact conversion's text, unsigned when it is all zeros.
std::string ExactFixed(double value, int decimals) {
    char text[400];
    std::string result(
        text, std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr);
    if (result[0] == '-' && result.find_first_not_of("-0.") == std::string::npos)
        result.erase(0, 1);
    return result;
}

// Values near the halfway points of their last place, large and tiny, are where a rounding
// shortcut would go wrong; each must give the exact conversion's text at every precision.
TEST(Decimals, FixedFormAgreesWithTheExactConversion) {
    std::vector<double> values = {0.0,   -0.0,    0.0005,      0.0015, 1.0005,      2.675,
                                  1.005, -1.0045, 123456.7895, 9.9995, -9.9996,     4398046.5111045,
                                  1e12,  4.3e12,  1e15,        1e-9,   -0.49999999, 0.5,
                                  1.5,   2.5,     1234.5678,   5e-10,  299792.458,  -6378137.0001};
    for (double step = 1e-4; step < 1e7; step *= 7.3)
        for (double scale : {1.0, -1.0, 1.000000001, 0.999999999})
            values.push_back(step * scale + step / 3);
    for (int halves = 0; halves < 2000; ++halves)
        values.push_back(halves * 0.0005 + 1000.0);
    // Coordinates of every length of figures, either side of each power of ten.
    for (double power = 1e-3; power < 1e12; power *= 10)
        for (double near : {0.99999, 1.0, 1.00001, 3.1415926535, 9.87654321})
            values.push_back(power * near);
    char room[kFixedDecimalRoom];
    for (double value : values)
        for (int decimals = 0; decimals <= 23; ++decimals) {
            const std::string exact = ExactFixed(value, decimals);
            EXPECT_EQ(FixedDecimal(value, decimals), exact) << value << " " << decimals;
            EXPECT_EQ(std::string_view(
                          room, static_cast<std::size_t>(PutFixedDecimal(value, decimals, room) - room)),
                      exact);
        }
}

// Fields of every length to twelve from characters either side of those that need quotes, each
// put in a room of just CsvFieldRoom: plain ones come out as they are, others quoted.
TEST(CsvField, QuotesExactlyTheFieldsThatHoldASeparatorQuoteOrLineEnd) {
    const std::string alphabet = std::string("Aa0+,-\"\r\n \t\x01\x7F\xC3\xA9", 15) + '\0';
    std::uint32_t state = 12345;
    for (std::size_t size = 0; size <= 12; ++size) {
        for (int sample = 0; sample < 300; ++sample) {
            std::string field;
            // Mostly plain characters, as names are, with a one in four chance of any other.
            for (std::size_t i = 0; i < size; ++i) {
                state = state * 1664525U + 1013904223U;
                const std::size_t pick = state >> 24;
                field += pick % 4 != 0 ? alphabet[pick % 3] : alphabet[pick % alphabet.size()];
            }
            std::string expected = field;
            if (field.find_first_of(std::string(",\"\r\n")) != std::string::npos) {
                expected.clear();
                for (const char c : field)
                    expected += c == '"' ? std::string(2, c) : std::string(1, c);
                expected = '"' + expected + '"';
            }
            std::vector<char> room(CsvFieldRoom(field));
            char* end = PutCsvField(room.data(), field);
            EXPECT_EQ(std::string(room.data(), end), expected);
            std::string line = "x";
            AppendCsvField(line, field);
            EXPECT_EQ(line, "x" + expected);
        }
    }
}

} // namespace
} // namespace host
