#include "host/JsonOut.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace host {
namespace {

// Through a block of the usual size, and through one smaller than any item, which must grow.
std::string Written(const std::function<void(JsonOut&)>& write, std::size_t capacity = 1 << 16) {
    std::ostringstream stream;
    {
        BufferedOutput out(stream, capacity);
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
             j.Member("s", "longer than a small block");
             j.Key("z");
             j.Null();
             j.EndObject();
             j.Number(std::nan(""));
             j.EndArray();
         },
         "[\n  -12,\n  {\n    \"b\": true,\n    \"x\": 2.5,\n    \"s\": \"longer than a small block\",\n    "
         "\"z\": null\n  },\n  null\n]"},
        {"texts escaped only where they must be",
         [](JsonOut& j) {
             j.StartArray();
             j.String("plain/text");
             j.String("q\"b\\n\nt\t\x01");
             j.String("after");
             j.EndArray();
         },
         "[\n  \"plain/text\",\n  \"q\\\"b\\\\n\\nt\\t\\u0001\",\n  \"after\"\n]"},
        {"arrays of texts, the one needing escapes written item by item",
         [](JsonOut& j) {
             j.StartObject();
             j.Member("a", std::vector<std::string>{"x", "yz"});
             j.Member("e", std::vector<std::string>{});
             j.Member("q", std::vector<std::string>{"p", "q\""});
             j.EndObject();
         },
         "{\n  \"a\": [\n    \"x\",\n    \"yz\"\n  ],\n  \"e\": [],\n  \"q\": [\n    \"p\",\n    \"q\\\"\"\n "
         " ]\n}"},
        {"objects laid out whole, absent members left out, one needing escapes member by member",
         [](JsonOut& j) {
             j.StartArray();
             j.Object(JsonField{"a", std::optional<double>{}}, JsonField{"t", std::string_view("x")},
                      JsonField{"b", std::optional<bool>{true}}, JsonField{"i", 3});
             j.Object(JsonField{"a", std::optional<double>{}});
             j.Object(JsonField{"t", std::string_view("q\"")}, JsonField{"x", 0.5},
                      JsonField{"c", std::optional<std::string_view>{"c"}});
             j.EndArray();
         },
         "[\n  {\n    \"t\": \"x\",\n    \"b\": true,\n    \"i\": 3\n  },\n  {},\n  {\n    \"t\": "
         "\"q\\\"\",\n    \"x\": 0.5,\n    \"c\": \"c\"\n  }\n]"},
        {"objects holding arrays of texts, the one needing escapes member by member",
         [](JsonOut& j) {
             j.StartArray();
             j.Object(JsonField{"s", std::vector<std::string_view>{"a", "bc"}},
                      JsonField{"e", std::vector<std::string_view>{}}, JsonField{"x", 1});
             j.Object(JsonField{"x", 2}, JsonField{"s", std::vector<std::string_view>{"q\""}});
             j.EndArray();
         },
         "[\n  {\n    \"s\": [\n      \"a\",\n      \"bc\"\n    ],\n    \"e\": [],\n    \"x\": 1\n  "
         "},\n  {\n    \"x\": 2,\n    \"s\": [\n      \"q\\\"\"\n    ]\n  }\n]"},
    };
    for (const auto& c : cases)
        for (std::size_t capacity : {std::size_t{1} << 16, std::size_t{3}})
            EXPECT_EQ(Written(c.write, capacity), c.expected) << c.name << ", block of " << capacity;
}

// The word-at-a-time copy against the byte-by-byte test: every byte value at every place of
// texts up to five words long, and random texts, each in a block of its own exact size so that
// a read past its end is caught by the sanitizers and Valgrind.
TEST(JsonText, CopiesAndFindsEscapesAsTheByteTestDoes) {
    std::mt19937 random(25);
    const auto check = [](const std::string& text) {
        const std::unique_ptr<char[]> from(new char[text.size()]);
        std::copy(text.begin(), text.end(), from.get());
        std::string to(text.size() + 8, '#');
        const bool escapes = CopyJsonText(to.data(), std::string_view(from.get(), text.size()));
        EXPECT_EQ(escapes, NeedsJsonEscapes(text)) << '"' << text << '"';
        EXPECT_EQ(to, text + std::string(8, '#')) << "size " << text.size();
    };
    for (std::size_t size = 0; size <= 40; ++size) {
        for (std::size_t place = 0; place < size; ++place)
            for (int byte = 0; byte < 256; ++byte) {
                std::string text(size, 'a');
                text[place] = static_cast<char>(byte);
                check(text);
            }
        for (int trial = 0; trial < 200; ++trial) {
            std::string text(size, ' ');
            for (char& c : text)
                c = static_cast<char>(random() % 2 == 0 ? 0x20 + random() % 0x60 : random() % 256);
            check(text);
        }
        check(std::string(size, '\xff'));
    }
}

TEST(JsonOut, IndentsBeyondTheUsualDepth) {
    // Either side of the depth at which items stop being laid out whole, and far beyond it.
    for (const int depth : {12, 13, 14, 15, 40}) {
        const std::string text = Written(
            [depth](JsonOut& j) {
                for (int i = 0; i < depth; ++i)
                    j.StartArray();
                j.Int(1);
                j.StartObject();
                j.Member("t", std::vector<std::string>{"deep"});
                j.EndObject();
                j.Object(JsonField{"d", true}, JsonField{"u", std::vector<std::string>{"deeper"}});
                for (int i = 0; i < depth; ++i)
                    j.EndArray();
            },
            16);
        const std::string indent(2 * depth, ' ');
        EXPECT_NE(text.find("\n" + indent + "1,\n" + indent + "{\n" + indent + "  \"t\": [\n" + indent +
                            "    \"deep\"\n" + indent + "  ]\n" + indent + "},\n" + indent + "{\n" + indent +
                            "  \"d\": true,\n" + indent + "  \"u\": [\n" + indent + "    \"deeper\"\n" +
                            indent + "  ]\n" + indent + "}\n" + std::string(2 * depth - 2, ' ') + "]"),
                  std::string::npos)
            << "depth " << depth << ":\n"
            << text;
    }
}

} // namespace
} // namespace host
