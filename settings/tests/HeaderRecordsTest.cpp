// Job settings from "CO" comments, and the module's own DDD.MMSS angle converter.
#include "interfaces/RefPtr.h"
#include "settings/AngleDMSConverter.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

namespace testing_host {
namespace {

using AngleRef = Plugin::RefPtr<Plugin::IAngleConverter>;

struct DmsCase {
    std::wstring text;
    std::string handedOn; // empty: the degrees converter is not called
};

void PrintTo(const DmsCase& c, std::ostream* out) {
    *out << Utf8(c.text);
}

class DmsRewriting : public ::testing::TestWithParam<DmsCase> {};

TEST_P(DmsRewriting, SetsMinutesAndSecondsOffByPoints) {
    RecordingHost host;
    auto* factory = host.sink.GetConverterFactory();
    {
        const AngleRef degrees = AngleRef::Adopt(factory->CreateAngleConverter(1));
        const AngleRef dms = AngleRef::Share(new CAngleDMSConverter(degrees.Get()));
        host.Take();
        double value = -7.0;
        const bool converted = dms->Convert(GetParam().text.c_str(), &value);
        const Log log = host.Take();
        if (GetParam().handedOn.empty()) {
            EXPECT_FALSE(converted);
            EXPECT_EQ(value, -7.0);
            EXPECT_LOG(Log{}, log);
        } else {
            ASSERT_EQ(log.size(), 1u);
            EXPECT_EQ(log[0].substr(0, log[0].rfind('=')), "angle#1.Convert(" + GetParam().handedOn + ")");
        }
    }
    factory->Release();
    EXPECT_NO_REFERENCE_FAULTS(host);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DmsRewriting,
    ::testing::Values(DmsCase{L"123.4530", "123.45.30"}, DmsCase{L"359.59595", "359.59.59.5"},
                      DmsCase{L"-0.0130", "-0.01.30"}, DmsCase{L"12.5", "12.5"}, DmsCase{L"12.45", "12.45"},
                      DmsCase{L"12.", "12."}, DmsCase{L"0.0000", "0.00.00"}, DmsCase{L"123.453", "123.45.3"},
                      DmsCase{L"10.20.30", "10.20..3.0"}, DmsCase{L"-12.3045", "-12.30.45"},
                      DmsCase{L".1234567", ".12.34.567"}, DmsCase{L"abc.defgh", "abc.de.fg.h"},
                      DmsCase{L"90", ""}, DmsCase{L"", ""}, DmsCase{L"-", ""},
                      // Texts too long for the converter's own buffer, before and after the point.
                      DmsCase{std::wstring(70, L'1') + L".4530", std::string(70, '1') + ".45.30"},
                      DmsCase{L"1.2345" + std::wstring(70, L'6'), "1.23.45." + std::string(70, '6')},
                      DmsCase{std::wstring(80, L'7'), ""}));

TEST(AngleDmsConverter, PassesTheDegreesResultBackUnchanged) {
    RecordingHost host;
    host.Script(Kind::Angle, 1, [](const std::wstring& text) -> std::optional<double> {
        if (text == L"123.45.30")
            return 2.25;
        return std::nullopt;
    });
    auto* factory = host.sink.GetConverterFactory();
    {
        const AngleRef degrees = AngleRef::Adopt(factory->CreateAngleConverter(1));
        const AngleRef dms = AngleRef::Share(new CAngleDMSConverter(degrees.Get()));
        double value = 0.0;
        EXPECT_TRUE(dms->Convert(L"123.4530", &value));
        EXPECT_EQ(value, 2.25);
        value = 9.0;
        EXPECT_FALSE(dms->Convert(L"1.2345", &value));
        EXPECT_EQ(value, 9.0);
    }
    factory->Release();
    EXPECT_NO_REFERENCE_FAULTS(host);
}

TEST(AngleDmsConverter, LastReleaseReleasesTheDegreesConverterOnce) {
    RecordingHost host;
    auto* factory = host.sink.GetConverterFactory();
    Plugin::IAngleConverter* degrees = factory->CreateAngleConverter(1);
    Plugin::IAngleConverter* dms = new CAngleDMSConverter(degrees);
    dms->AddRef();
    degrees->Release();
    host.Take();
    dms->AddRef();
    EXPECT_FALSE(dms->Release());
    EXPECT_LOG(Log{}, host.Take());
    EXPECT_TRUE(dms->Release());
    EXPECT_LOG(Log{"angle#1.Release"}, host.Take());
    factory->Release();
    EXPECT_NO_REFERENCE_FAULTS(host);
}

TEST(AngleDmsConverter, WithoutDegreesConverterNothingConverts) {
    Plugin::IAngleConverter* dms = new CAngleDMSConverter(nullptr);
    dms->AddRef();
    double value = 1.0;
    EXPECT_FALSE(dms->Convert(L"123.4530", &value));
    EXPECT_EQ(value, 1.0);
    EXPECT_TRUE(dms->Release());
}

// Comment lines and every host call they cause, up to the parser's end.
struct HeaderCase {
    const char* what;
    std::wstring comments;
    Log calls;
};

void PrintTo(const HeaderCase& c, std::ostream* out) {
    *out << c.what;
}

class Header : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(Header, ChoosesConvertersBySettingWords) {
    RecordingHost host;
    EXPECT_LOG(AfterFactory(GetParam().calls), RunImportPass(host, GetParam().comments));
    EXPECT_NO_REFERENCE_FAULTS(host);
}

INSTANTIATE_TEST_SUITE_P(
    Comments, Header,
    ::testing::Values(
        HeaderCase{"metres",
                   L"CO,Dist Units: Metres",
                   {"factory#1.CreateDistanceConverter(0)=distance#1", "result=true", "distance#1.Release",
                    "factory#1.Release"}},
        HeaderCase{"meters after key",
                   L"CO,Meters are the Dist Units:",
                   {"factory#1.CreateDistanceConverter(0)=distance#1", "result=true", "distance#1.Release",
                    "factory#1.Release"}},
        HeaderCase{"us feet",
                   L"CO,Dist Units: US Feet",
                   {"factory#1.CreateDistanceConverter(1)=distance#1", "result=true", "distance#1.Release",
                    "factory#1.Release"}},
        HeaderCase{"lower case unit", L"CO,Dist Units: metres", {"result=true", "factory#1.Release"}},
        HeaderCase{"unit without key", L"CO,Feet", {"result=true", "factory#1.Release"}},
        HeaderCase{"no text", L"CO", {"result=true", "factory#1.Release"}},
        HeaderCase{"second unit releases first after storing",
                   L"CO,Dist Units: Metres\nCO,Dist Units: Feet",
                   {"factory#1.CreateDistanceConverter(0)=distance#1",
                    "factory#1.CreateDistanceConverter(1)=distance#2", "distance#1.Release", "result=true",
                    "distance#2.Release", "factory#1.Release"}},
        HeaderCase{"dddmmss wraps degrees",
                   L"CO,Angle Units: DDDMMSS",
                   {"factory#1.CreateAngleConverter(1)=angle#1", "angle#1.AddRef", "angle#1.Release",
                    "result=true", "angle#1.Release", "factory#1.Release"}},
        HeaderCase{"replaced wrapper releases its degrees converter",
                   L"CO,Angle Units: Degrees\nCO,Angle Units: Gon",
                   {"factory#1.CreateAngleConverter(1)=angle#1", "angle#1.AddRef", "angle#1.Release",
                    "factory#1.CreateAngleConverter(4)=angle#2", "angle#1.Release", "result=true",
                    "angle#2.Release", "factory#1.Release"}},
        HeaderCase{"gons and mils",
                   L"CO,Angle Units: Gons\nCO,Angle Units: MIL6000\nCO,Angle Units: MIL6400",
                   {"factory#1.CreateAngleConverter(4)=angle#1", "factory#1.CreateAngleConverter(5)=angle#2",
                    "angle#1.Release", "factory#1.CreateAngleConverter(5)=angle#3", "angle#2.Release",
                    "result=true", "angle#3.Release", "factory#1.Release"}},
        HeaderCase{"unknown angle unit", L"CO,Angle Units: Radians", {"result=true", "factory#1.Release"}},
        HeaderCase{"resection alone wins",
                   L"CO,Start of Resection Dist Units: Feet Temp: 20",
                   {"result=true", "factory#1.Release"}},
        HeaderCase{"order of calls in one comment",
                   L"CO,Temp: 20C Press: 998hPa Angle Units: Gons Dist Units: Metres",
                   {"factory#1.CreateDistanceConverter(0)=distance#1",
                    "factory#1.CreateAngleConverter(4)=angle#1",
                    "factory#1.CreateTemperatureConverter(0)=temperature#1", "temperature#1.Convert(20)=20",
                    "temperature#1.Release", "factory#1.CreatePressureConverter(0)=pressure#1",
                    "factory#1.CreatePressureConverter(1)=pressure#2", "pressure#1.Release",
                    "pressure#2.Convert(998)=998", "pressure#2.Release", "result=true", "distance#1.Release",
                    "angle#1.Release", "factory#1.Release"}},
        HeaderCase{"temperature off then inches of mercury",
                   L"CO,Temp:OFF Press: 29.92 inHg",
                   {"factory#1.CreatePressureConverter(0)=pressure#1",
                    "factory#1.CreatePressureConverter(2)=pressure#2", "pressure#1.Release",
                    "pressure#2.Convert(29.92)=29.92", "pressure#2.Release", "result=true",
                    "factory#1.Release"}},
        HeaderCase{"fahrenheit",
                   L"CO,Temp: -5 F",
                   {"factory#1.CreateTemperatureConverter(0)=temperature#1",
                    "factory#1.CreateTemperatureConverter(1)=temperature#2", "temperature#1.Release",
                    "temperature#2.Convert(-5)=-5", "temperature#2.Release", "result=true",
                    "factory#1.Release"}},
        HeaderCase{"degree sign keeps code zero",
                   L"CO,Temp: -5\u00B0F",
                   {"factory#1.CreateTemperatureConverter(0)=temperature#1", "temperature#1.Convert(-5)=-5",
                    "temperature#1.Release", "result=true", "factory#1.Release"}},
        HeaderCase{"long key first",
                   L"CO,Temp: 3 Temperature: 15.5",
                   {"factory#1.CreateTemperatureConverter(0)=temperature#1",
                    "temperature#1.Convert(15.5)=15.5", "temperature#1.Release", "result=true",
                    "factory#1.Release"}},
        HeaderCase{"temperature without number", L"CO,Temp: none", {"result=true", "factory#1.Release"}},
        HeaderCase{"off after blank is not off",
                   L"CO,Temp: OFF12",
                   {"factory#1.CreateTemperatureConverter(0)=temperature#1", "temperature#1.Convert(12)=12",
                    "temperature#1.Release", "result=true", "factory#1.Release"}},
        HeaderCase{"number run handed on as found",
                   L"CO,Press: 1.013.25-",
                   {"factory#1.CreatePressureConverter(0)=pressure#1", "pressure#1.Convert(1.013.25-)=false",
                    "pressure#1.Release", "result=true", "factory#1.Release"}},
        HeaderCase{"millimetres of mercury",
                   L"CO,Pressure: 760mmHg",
                   {"factory#1.CreatePressureConverter(0)=pressure#1", "pressure#1.Convert(760)=760",
                    "pressure#1.Release", "result=true", "factory#1.Release"}},
        HeaderCase{"comma separated settings use the first only",
                   L"CO,Temp: 20C,Press: 998hPa",
                   {"factory#1.CreateTemperatureConverter(0)=temperature#1", "temperature#1.Convert(20)=20",
                    "temperature#1.Release", "result=true", "factory#1.Release"}}),
    [](const auto& info) {
        std::string name;
        for (char c : std::string(info.param.what))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

// The rewrite must give exactly what plain string edits give, for any text.
// Keeps the text it was handed, as a degrees converter would read it.
class TextCatcher : public Plugin::IAngleConverter {
public:
    void AddRef() override { ++count; }
    bool Release() override { return --count == 0; }
    bool Convert(const wchar_t* text, double* value) override {
        handed = text;
        *value = 1.0;
        return true;
    }

    std::wstring handed;
    int count = 1;
};

// The rewrite as plain string edits: a point before the third and the fifth character after the
// first point, where the text goes on that far; empty when the text holds no point.
std::wstring StringRewrite(std::wstring text) {
    const std::size_t point = text.find(L'.');
    if (point == std::wstring::npos)
        return {};
    const std::size_t after = text.size() - point - 1;
    if (after > 2)
        text.insert(point + 3, 1, L'.');
    if (after > 4)
        text.insert(point + 6, 1, L'.');
    return text;
}

TEST(LeanPaths, AngleRewriteMatchesTheStringRewrite) {
    std::mt19937 random(9);
    TextCatcher degrees;
    {
        CAngleDMSConverter converter(&degrees);
        for (int round = 0; round < 20000; ++round) {
            // Up to 70 characters: both the stack frame and the heap path are taken.
            const std::wstring text = RandomText(random, L"0123456789..-", 70);
            const std::wstring expected = StringRewrite(text);
            degrees.handed = L"<not called>";
            double value = 0.0;
            const bool converted = converter.Convert(text.c_str(), &value);
            ASSERT_EQ(converted, !expected.empty()) << round;
            if (converted)
                ASSERT_EQ(degrees.handed, expected) << round;
            else
                ASSERT_EQ(degrees.handed, L"<not called>") << round;
        }
    }
    EXPECT_EQ(degrees.count, 1); // the wrapper gave back the reference it took
}

} // namespace
} // namespace testing_host
