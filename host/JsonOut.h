// JSON written as it goes, indented by two spaces: the structure laid out here, each separator
// and indentation written as one run; RapidJSON's writer for texts that need escapes; numbers as the shortest
// text that reads back exactly, laid out as a reader of this tool's earlier output knows them (5000.0,
// 0.0001, 1e-05).
#pragma once

#include "host/BufferedOutput.h"

#include <rapidjson/writer.h>

#include <optional>
#include <string_view>
#include <vector>

namespace host {

class JsonOut {
public:
    // `out` must outlive this writer.
    explicit JsonOut(host::BufferedOutput& out) : out(out), escaping(out) {}

    void StartObject() { Open('{', false); }
    void EndObject() { Close('}'); }
    void StartArray() { Open('[', true); }
    void EndArray() { Close(']'); }
    // Keys are this tool's own names, which need no escapes.
    void Key(std::string_view key) {
        Prefix();
        out.Put('"');
        out.Write(key);
        out.Put('"');
    }
    void String(std::string_view text);
    void Int(int value);
    void Bool(bool value) { Raw(value ? "true" : "false"); }
    void Null() { Raw("null"); }
    // A value that is not finite is written as null.
    void Number(double value);

    // A member left out when the value is absent, rather than written as null.
    template <class T> void Member(std::string_view key, const std::optional<T>& value) {
        if (!value)
            return;
        Key(key);
        Put(*value);
    }
    template <class T> void Member(std::string_view key, const T& value) {
        Key(key);
        Put(value);
    }

private:
    void Put(double value) { Number(value); }
    void Put(bool value) { Bool(value); }
    void Put(int value) { Int(value); }
    void Put(std::string_view text) { String(text); }
    void Put(const char* text) { String(text); }

    struct Level {
        bool inArray;
        std::size_t values; // in an object, its keys and values both
    };

    // What goes before a value or key: its separator, then a new line and indentation unless it
    // is an object member's value.
    void Prefix();
    void NewLine();
    void Raw(std::string_view text) {
        Prefix();
        out.Write(text);
    }
    void Open(char bracket, bool inArray);
    void Close(char bracket);

    host::BufferedOutput& out;
    std::vector<Level> levels;
    rapidjson::Writer<host::BufferedOutput> escaping; // one text at a time, as a document of its own
};

// The number's text as JsonOut writes it; `text` must hold 32 characters.
std::string_view JsonNumberText(double value, char* text);

} // namespace host
