#include "host/UnitRules.h"
#include "survey/Geometry.h"
#include "survey/Text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace host {
namespace {

using survey::kPi;
constexpr double kDegree = kPi / 180.0;

// Each rule as a converter uses it, of NUL-terminated text; the readers of views must agree.
using Rule = std::optional<double> (*)(const wchar_t*);

// A rule's reading, checked to leave the value it is handed as it was when it refuses the text.
template <UnitRule& rule> std::optional<double> Read(const wchar_t* text) {
    constexpr double kUntouched = -1234.5;
    double value = kUntouched;
    if (rule(text, value))
        return value;
    EXPECT_EQ(value, kUntouched);
    return std::nullopt;
}

struct Case {
    std::wstring text;
    std::optional<double> expected;
    double tolerance = 1e-12; // relative
};

void ExpectRule(Rule rule, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        const std::optional<double> result = rule(c.text.c_str());
        ASSERT_EQ(result.has_value(), c.expected.has_value());
        if (c.expected) {
            EXPECT_NEAR(*result, *c.expected, c.tolerance * std::max(1.0, std::fabs(*c.expected)));
        }
    }
}

// The readers of views, called as the rules are: every case must read alike in both forms.
std::optional<double> NumberOfView(const wchar_t* text) {
    return ParseNumber(std::wstring_view(text));
}
std::optional<double> DegreesOfView(const wchar_t* text) {
    return ParseDegrees(std::wstring_view(text));
}
const Rule kNumberReaders[] = {Read<Metres>, NumberOfView};
const Rule kDegreeReaders[] = {Read<DegreesToRadians>, DegreesOfView};

bool SameDouble(std::optional<double> a, std::optional<double> b) {
    return a.has_value() == b.has_value() && (!a || std::memcmp(&*a, &*b, sizeof(double)) == 0);
}

// Texts the rule must refuse.
void ExpectRefused(Rule rule, const std::vector<std::wstring>& texts) {
    std::vector<Case> cases;
    for (const std::wstring& text : texts)
        cases.push_back({text, std::nullopt});
    ExpectRule(rule, cases);
}

TEST(NumberRule, AcceptsSignDigitsAndOnePoint) {
    for (const Rule reader : kNumberReaders)
        ExpectRule(reader, {
                               {L"0", 0.0},
                               {L"12", 12.0},
                               {L"-12.5", -12.5},
                               {L"+7.25", 7.25},
                               {L"5.", 5.0},
                               {L".5", 0.5},
                               {L"-.5", -0.5},
                               {L"1013.25", 1013.25},
                               {L"007", 7.0},
                               {L"1e5", 1e5},
                               {L"+2.5E-3", 0.0025},
                               // Texts on either side of the room a short number is read in.
                               {L"1." + std::wstring(62, L'0'), 1.0},
                               {L"1." + std::wstring(63, L'0'), 1.0},
                               {L"-2." + std::wstring(200, L'5'), -2.0 - 5.0 / 9},
                           });
}

// Readings of every length around the 15 digits a double holds exactly, with the point at every
// place: each must read to the very double the narrow reader gives.
TEST(NumberRule, ReadsTheSameDoubleAsTheNarrowReader) {
    std::mt19937 random(25);
    std::uniform_int_distribution<int> digit(0, 9);
    for (int length = 1; length <= 18; ++length) {
        for (int point = 0; point <= length; ++point) {
            for (int sample = 0; sample < 20; ++sample) {
                std::string text = sample % 3 == 0 ? "-" : sample % 3 == 1 ? "+" : "";
                for (int i = 0; i < length; ++i) {
                    if (i == point)
                        text += '.';
                    text += static_cast<char>('0' + digit(random));
                }
                const auto narrow = survey::ReadNumber(text);
                ASSERT_TRUE(narrow) << text;
                for (const Rule reader : kNumberReaders)
                    EXPECT_TRUE(SameDouble(reader(std::wstring(text.begin(), text.end()).c_str()), narrow))
                        << text;
            }
        }
    }
}

TEST(NumberRule, RefusesEverythingElse) {
    for (const Rule reader : kNumberReaders)
        ExpectRefused(reader, {L"", L".", L"-", L"+", L"1.2.3", L"1e", L" 5", L"5 ", L"1,5", L"--5", L"5-",
                               L"0x10", L"inf", L"nan",
                               L"\x0661", // an Arabic-Indic digit
                               std::wstring(100, L'1') + L"\x0661", std::wstring(400, L'9')});
}

TEST(DegreesRule, ReadsPointSeparatedFields) {
    for (const Rule reader : kDegreeReaders)
        ExpectRule(reader, {
                               {L"90", 90 * kDegree},
                               {L"90.", 90 * kDegree},
                               {L"12.5", (12 + 50.0 / 60) * kDegree},
                               {L"12.45", (12 + 45.0 / 60) * kDegree},
                               {L"123.45.3", (123 + 45.0 / 60 + 30.0 / 3600) * kDegree},
                               {L"123.45.30", (123 + 45.0 / 60 + 30.0 / 3600) * kDegree},
                               {L"359.59.59.5", (359 + 59.0 / 60 + 59.5 / 3600) * kDegree},
                               {L"0.00.00", 0.0},
                               {L"0.00.00.25", 0.25 / 3600 * kDegree},
                               {L"-0.01.30", -(1.0 / 60 + 30.0 / 3600) * kDegree},
                               {L"-12.30.45", -(12 + 30.0 / 60 + 45.0 / 3600) * kDegree},
                               {L"+1.02.03", (1 + 2.0 / 60 + 3.0 / 3600) * kDegree},
                               {L"400.00.00", 400 * kDegree},
                               {L"1.00.00." + std::wstring(70, L'5'), (1 + 5.0 / 9 / 3600) * kDegree},
                               {L"1.00.00.5" + std::wstring(62, L'0'), (1 + 0.5 / 3600) * kDegree},
                               {L"0" + std::wstring(70, L'0') + L"12.30", (12 + 30.0 / 60) * kDegree},
                               {L"00000000000000012.30.45", (12.5 + 45.0 / 3600) * kDegree},
                           });
}

TEST(DegreesRule, RefusesMalformedOrOutOfRangeFields) {
    for (const Rule reader : kDegreeReaders)
        ExpectRefused(reader, {L"", L"-", L".30", L"12.60", L"12.6", L"12.30.60", L"12.30.6", L"12.304",
                               L"12.30.456", L"10.20..3.0", L"12.30.", L"12.30.15.", L"12.30.15.5.6", L"12..",
                               L"12.3a", L"12a", L"1 2.30", L"--1.00"});
}

// Angles of every field count, their fraction of a second up to 18 digits long, with a sign or
// none: each reads as its fields summed, to the bit, whichever form it comes in.
TEST(DegreesRule, ReadsGeneratedAnglesAsTheirFieldsSum) {
    std::mt19937 random(3600);
    std::uniform_int_distribution<int> degrees(0, 399), sixty(0, 59), digit(0, 9), fieldCount(0, 3),
        fractionLength(1, 18);
    for (int sample = 0; sample < 4000; ++sample) {
        const int d = degrees(random), m = sixty(random), s = sixty(random), fields = fieldCount(random);
        std::string text = std::to_string(d);
        double expected = d;
        if (fields >= 1) {
            text += (m < 10 ? ".0" : ".") + std::to_string(m);
            expected += m * (1.0 / 60.0);
        }
        if (fields >= 2) {
            text += (s < 10 ? ".0" : ".") + std::to_string(s);
            expected += s * (1.0 / 3600.0);
        }
        if (fields == 3) {
            std::string fraction = "0.";
            for (int length = fractionLength(random); length > 0; --length)
                fraction += static_cast<char>('0' + digit(random));
            text += fraction.substr(1);
            expected += *survey::ReadNumber(fraction) / 3600.0;
        }
        expected = expected * kPi / 180.0;
        static const char* const kSigns[] = {"", "+", "-"};
        const int sign = sample % 3;
        text = kSigns[sign] + text;
        expected = sign == 2 ? -expected : expected;
        for (const Rule reader : kDegreeReaders)
            EXPECT_TRUE(SameDouble(reader(std::wstring(text.begin(), text.end()).c_str()), expected)) << text;
    }
}

// Random texts of digits, points, signs, exponents and spaces: a view and a NUL-terminated text
// read alike, accepted or refused, and a number as the survey library's one reader reads it.
TEST(NumberAndDegreesRules, ViewAndTerminatedTextsReadAlike) {
    const std::wstring alphabet = L"0123456789012345..........-+e ";
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1), length(0, 20);
    int degreesRead = 0;
    for (int sample = 0; sample < 20000; ++sample) {
        std::wstring text;
        for (std::size_t n = length(random); n > 0; --n)
            text += alphabet[pick(random)];
        EXPECT_TRUE(SameDouble(ParseNumber(text), Read<Metres>(text.c_str())));
        EXPECT_TRUE(
            SameDouble(survey::ReadNumber(std::string(text.begin(), text.end())), Read<Metres>(text.c_str())))
            << std::string(text.begin(), text.end());
        const auto degrees = Read<DegreesToRadians>(text.c_str());
        EXPECT_TRUE(SameDouble(ParseDegrees(text), degrees));
        degreesRead += degrees ? 1 : 0;
    }
    EXPECT_GT(degreesRead, 1000); // the texts reach the angles' every field, not only refusals
}

TEST(AngleUnitRules, GonsAndMilsScaleToTheCircle) {
    ExpectRule(Read<GonsToRadians>,
               {{L"400", 2 * kPi}, {L"100.0000", kPi / 2}, {L"-50", -kPi / 4}, {L"1g", std::nullopt}});
    ExpectRule(Read<MilsToRadians>, {{L"6400", 2 * kPi}, {L"1600", kPi / 2}, {L"", std::nullopt}});
}

TEST(DistanceRules, MetresAsWrittenFeetTimesTheInternationalFoot) {
    ExpectRule(Read<Metres>, {{L"1.550", 1.55}, {L"-3", -3.0}, {L"1.5m", std::nullopt}});
    ExpectRule(Read<FeetToMetres>,
               {{L"1", 0.3048}, {L"100", 30.48}, {L"-10.5", -3.2004}, {L"ft", std::nullopt}});
    ExpectRule(Read<UsSurveyFeetToMetres>,
               {{L"3937", 1200.0}, {L"2000000", 2000000 * 1200.0 / 3937}, {L"ft", std::nullopt}});
}

TEST(TemperatureRules, CelsiusAsWrittenFahrenheitConverted) {
    ExpectRule(Read<Celsius>, {{L"20", 20.0}, {L"-5.5", -5.5}, {L"20C", std::nullopt}});
    ExpectRule(Read<FahrenheitToCelsius>, {{L"32", 0.0}, {L"212", 100.0}, {L"-40", -40.0}, {L"68", 20.0}});
}

TEST(PressureRules, HectopascalsFromMercuryColumns) {
    ExpectRule(Read<Hectopascals>, {{L"1013.25", 1013.25}, {L"", std::nullopt}});
    // The standard atmosphere: 760 mmHg, 29.921 inHg, 1013.25 hPa.
    ExpectRule(Read<MillimetresOfMercuryToHectopascals>,
               {{L"760", 1013.25, 1e-6}, {L"0", 0.0}, {L"x", std::nullopt}});
    ExpectRule(Read<InchesOfMercuryToHectopascals>, {{L"29.921", 1013.25, 2e-5}, {L"1", 33.8638864, 1e-8}});
}

} // namespace
} // namespace host
