#include "host/JsonOut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>

namespace host {
namespace {

std::string Written(const std::function<void(JsonOut&)>& write) {
    std::ostringstream stream;
    {
        BufferedOutput out(stream);
        JsonOut json(out);
        write(json);
    }
    return stream.str();
}

TEST(JsonOut, LaysOutNestingSeparatorsAndEscapes) {
    const struct {
        const char* name;
        std::function<void(JsonOut&)> write;
        const char* expected;
    } cases[] = {
        {"empty containers stay on their line",
         [](JsonOut& j) {
             j.StartObject();
             j.Key("a");
             j.StartArray();
             j.EndArray();
             j.Key("o");
             j.StartObject();
             j.EndObject();
             j.EndObject();
         },
         "{\n  \"a\": [],\n  \"o\": {}\n}"},
        {"members and elements indented by depth",
         [](JsonOut& j) {
             j.StartArray();
             j.Int(-12);
             j.StartObject();
             j.Member("b", true);
             j.Member("n", std::optional<double>{});
             j.Member("x", 2.5);
             j.Key("z");
             j.Null();
             j.EndObject();
             j.Number(std::nan(""));
             j.EndArray();
         },
         "[\n  -12,\n  {\n    \"b\": true,\n    \"x\": 2.5,\n    \"z\": null\n  },\n  null\n]"},
        {"texts escaped only where they must be",
         [](JsonOut& j) {
             j.StartArray();
             j.String("plain/text");
             j.String("q\"b\\n\nt\t\x01");
             j.String("after");
             j.EndArray();
         },
         "[\n  \"plain/text\",\n  \"q\\\"b\\\\n\\nt\\t\\u0001\",\n  \"after\"\n]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Written(c.write), c.expected) << c.name;
}

TEST(JsonOut, IndentsBeyondTheUsualDepth) {
    constexpr int kDepth = 40;
    const std::string text = Written([](JsonOut& j) {
        for (int i = 0; i < kDepth; ++i)
            j.StartArray();
        j.Int(1);
        for (int i = 0; i < kDepth; ++i)
            j.EndArray();
    });
    EXPECT_NE(text.find("\n" + std::string(2 * kDepth, ' ') + "1\n" + std::string(2 * kDepth - 2, ' ') + "]"),
              std::string::npos);
}

} // namespace
} // namespace host
