#include "host/ConverterFactory.h"

#include "host/trace/TracingHost.h"

#include <gtest/gtest.h>

#include <sstream>

namespace host {
namespace {

class ConverterFactoryTest : public ::testing::Test {
protected:
    // What the trace wrote so far.
    std::string Logged() {
        trace.Flush();
        return log.str();
    }

    std::ostringstream log;
    CallTrace trace{log};
    HostObjects objects;
};

TEST_F(ConverterFactoryTest, HandsOutConvertersForTheKnownCodesOnly) {
    IUnitConverterFactory* factory = CreateConverterFactory(objects);
    struct Row {
        const char* kind;
        std::int32_t code;
        bool known;
    };
    const Row rows[] = {{"angle", 1, true},       {"angle", 4, true},        {"angle", 5, true},
                        {"angle", 0, false},      {"angle", 2, false},       {"distance", 0, true},
                        {"distance", 1, true},    {"distance", 2, false},    {"temperature", 0, true},
                        {"temperature", 1, true}, {"temperature", 2, false}, {"pressure", 0, true},
                        {"pressure", 1, true},    {"pressure", 2, true},     {"pressure", 3, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.kind) + " " + std::to_string(row.code));
        const std::string kind = row.kind;
        Plugin::IRefCounted* converter = nullptr;
        if (kind == "angle")
            converter = factory->CreateAngleConverter(row.code);
        else if (kind == "distance")
            converter = factory->CreateDistanceConverter(row.code);
        else if (kind == "temperature")
            converter = factory->CreateTemperatureConverter(row.code);
        else
            converter = factory->CreatePressureConverter(row.code);
        EXPECT_EQ(converter != nullptr, row.known);
        if (converter != nullptr) {
            EXPECT_TRUE(converter->Release());
        }
    }
    EXPECT_TRUE(factory->Release());
    EXPECT_EQ(objects.Live(), 0);
}

// The trace wraps the factory and what it creates; the host's objects still count themselves.
TEST_F(ConverterFactoryTest, CountsReferencesAndTracesEveryCall) {
    IUnitConverterFactory* factory = TraceFactory(trace, CreateConverterFactory(objects));
    Plugin::IAngleConverter* degrees = factory->CreateAngleConverter(1);
    IDistanceConverter* feet = factory->CreateDistanceConverter(1);
    EXPECT_EQ(objects.Live(), 3);

    double value = -1.0;
    EXPECT_FALSE(degrees->Convert(L"12.61", &value));
    EXPECT_EQ(value, -1.0);
    EXPECT_TRUE(feet->Convert(L"10", &value));
    EXPECT_DOUBLE_EQ(value, 3.048);

    degrees->AddRef();
    EXPECT_FALSE(degrees->Release());
    EXPECT_TRUE(degrees->Release());
    EXPECT_TRUE(feet->Release());
    EXPECT_TRUE(factory->Release());
    EXPECT_EQ(objects.Live(), 0);

    EXPECT_EQ(
        Logged(),
        "{\"call\":\"CreateAngleConverter\",\"on\":\"factory#1\",\"args\":[1],\"result\":\"angle#1\"}\n"
        "{\"call\":\"CreateDistanceConverter\",\"on\":\"factory#1\",\"args\":[1],\"result\":\"distance#1\"}\n"
        "{\"call\":\"Convert\",\"on\":\"angle#1\",\"args\":[\"12.61\"],\"result\":false}\n"
        "{\"call\":\"Convert\",\"on\":\"distance#1\",\"args\":[\"10\"],\"result\":true,\"value\":3.048}\n"
        "{\"call\":\"AddRef\",\"on\":\"angle#1\",\"args\":[]}\n"
        "{\"call\":\"Release\",\"on\":\"angle#1\",\"args\":[],\"result\":false}\n"
        "{\"call\":\"Release\",\"on\":\"angle#1\",\"args\":[],\"result\":true}\n"
        "{\"call\":\"Release\",\"on\":\"distance#1\",\"args\":[],\"result\":true}\n"
        "{\"call\":\"Release\",\"on\":\"factory#1\",\"args\":[],\"result\":true}\n");
}

TEST_F(ConverterFactoryTest, SerialNumbersCountPerKind) {
    IUnitConverterFactory* factory = TraceFactory(trace, CreateConverterFactory(objects));
    Plugin::IAngleConverter* first = factory->CreateAngleConverter(4);
    ITemperatureConverter* temperature = factory->CreateTemperatureConverter(0);
    Plugin::IAngleConverter* second = factory->CreateAngleConverter(5);
    Logged();
    log.str("");
    second->Release();
    temperature->Release();
    first->Release();
    factory->Release();
    EXPECT_EQ(objects.Live(), 0);
    EXPECT_EQ(Logged(), "{\"call\":\"Release\",\"on\":\"angle#2\",\"args\":[],\"result\":true}\n"
                        "{\"call\":\"Release\",\"on\":\"temperature#1\",\"args\":[],\"result\":true}\n"
                        "{\"call\":\"Release\",\"on\":\"angle#1\",\"args\":[],\"result\":true}\n"
                        "{\"call\":\"Release\",\"on\":\"factory#1\",\"args\":[],\"result\":true}\n");
}

} // namespace
} // namespace host
