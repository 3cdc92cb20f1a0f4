// JSON written as it goes, indented by two spaces: RapidJSON's writer for the structure and
// the escaping, numbers as the shortest text that reads back exactly, laid out as a reader of
// this tool's earlier output knows them (5000.0, 0.0001, 1e-05).
#pragma once

#include "host/BufferedOutput.h"

#include <rapidjson/prettywriter.h>

#include <optional>
#include <string_view>

namespace host {

class JsonOut {
public:
    // `out` must outlive this writer.
    explicit JsonOut(host::BufferedOutput& out) : out(out), json(out) { json.SetIndent(' ', 2); }

    void StartObject() { json.StartObject(); }
    void EndObject() { json.EndObject(); }
    void StartArray() { json.StartArray(); }
    void EndArray() { json.EndArray(); }
    // Keys are this tool's own names, which need no escapes.
    void Key(std::string_view key) {
        json.RawValue("", 0, rapidjson::kStringType);
        out.Put('"');
        out.Write(key);
        out.Put('"');
    }
    void String(std::string_view text);
    void Int(int value) { json.Int(value); }
    void Bool(bool value) { json.Bool(value); }
    void Null() { json.Null(); }
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

    host::BufferedOutput& out;
    rapidjson::PrettyWriter<host::BufferedOutput> json;
};

// The number's text as JsonOut writes it; `text` must hold 32 characters.
std::string_view JsonNumberText(double value, char* text);

} // namespace host
