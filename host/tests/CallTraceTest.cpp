#include "host/trace/CallTrace.h"

#include <gtest/gtest.h>

#include <sstream>

namespace host {
namespace {

TEST(CallTrace, WritesOneJsonObjectPerCall) {
    std::ostringstream out;
    CallTrace trace(out);
    trace.Record({"sink", "SetProgress", TraceValue(100.0f / 3.0f), {}, {}});
    trace.Record({"files", "HasCurrent", {}, TraceValue(true), {}});
    trace.Record({"angle#3", "Convert", TraceText(L"123.45.30"), TraceValue(true), 2.1547970});
    trace.Record(
        {"factory#1", "CreateAngleConverter", TraceValue(std::int32_t{4}), TraceValue(NullResult{}), {}});
    trace.Record({"sink", "AddPoint", TraceText(L"\u0422\"1\\"), {}, {}});
    trace.Flush();
    EXPECT_EQ(out.str(),
              "{\"call\":\"SetProgress\",\"on\":\"sink\",\"args\":[33.333332]}\n"
              "{\"call\":\"HasCurrent\",\"on\":\"files\",\"args\":[],\"result\":true}\n"
              "{\"call\":\"Convert\",\"on\":\"angle#3\",\"args\":[\"123.45.30\"],\"result\":true,"
              "\"value\":2.154797}\n"
              "{\"call\":\"CreateAngleConverter\",\"on\":\"factory#1\",\"args\":[4],\"result\":null}\n"
              "{\"call\":\"AddPoint\",\"on\":\"sink\",\"args\":[\"\xD0\xA2\\\"1\\\\\"]}\n");
}

TEST(CallTrace, NamesObjectsAndWritesDoublesExactly) {
    EXPECT_EQ(TraceJson(TraceValue(ObjectName{"distance#2"})), "\"distance#2\"");
    EXPECT_EQ(TraceJson(TraceValue(0.1 + 0.2)), "0.30000000000000004");
    EXPECT_EQ(TraceJson(TraceValue(std::int32_t{-1})), "-1");
    EXPECT_EQ(TraceJson(TraceValue(false)), "false");
}

} // namespace
} // namespace host
