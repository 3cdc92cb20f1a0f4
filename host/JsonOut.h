// JSON written as it goes, indented by two spaces: each item (separator, line break, indentation,
// key and value) laid out straight in the output's block with one check of the room left;
// RapidJSON's writer for texts that need escapes; numbers as the shortest text that reads back
// exactly, laid out as a reader of this tool's earlier output knows them (5000.0, 0.0001, 1e-05).
#pragma once

#include "host/BufferedOutput.h"
#include "host/JsonText.h"

#include <rapidjson/writer.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// The room a number takes while written: its text, at most 24 characters, and what laying out its
// digits in whole words and blocks writes past it.
inline constexpr std::size_t kJsonNumberRoom = 40;

// Where a number comes from, which decides only where its shortest digits are looked for first:
// a reading is most often a whole number of ten-thousandths, a computed value almost never.
enum class NumberOrigin { Reading, Computed };

// Writes the number's text at `at`, which must have kJsonNumberRoom characters of room, and
// returns its end. The text is the same whatever the origin.
template <NumberOrigin Origin = NumberOrigin::Reading> char* PutJsonNumber(char* at, double value);
extern template char* PutJsonNumber<NumberOrigin::Reading>(char* at, double value);
extern template char* PutJsonNumber<NumberOrigin::Computed>(char* at, double value);

// A computed value (an angle in radians, a located coordinate) as a field of JsonOut::Object.
struct ComputedNumber {
    double value = 0;
};
inline std::optional<ComputedNumber> Computed(const std::optional<double>& value) {
    return value ? std::optional(ComputedNumber{*value}) : std::nullopt;
}
// The number's text as JsonOut writes it; `text` must hold kJsonNumberRoom characters.
std::string_view JsonNumberText(double value, char* text);

// A member of an object that JsonOut::Object lays out whole: its key, one of this tool's names,
// and a number, whole number, truth value or text, left out when an optional one is absent.
template <std::size_t N, class T> struct JsonField {
    const char (&key)[N];
    const T& value;
};
template <std::size_t N, class T> JsonField(const char (&)[N], const T&) -> JsonField<N, T>;

class JsonOut {
public:
    // `out` must outlive this writer.
    explicit JsonOut(host::BufferedOutput& out) : out(out), escaping(out) {}

    void StartObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void StartArray() { Open('['); }
    void EndArray() { Close(']'); }
    // Keys are this tool's own names, which need no escapes.
    void Key(std::string_view key);
    template <std::size_t N> void Key(const char (&key)[N]) {
        out.Commit(MemberRoom(key, 0));
        bare = true;
    }
    void String(std::string_view text) { PutText(ItemRoom(RoomOf(text)), text); }
    void Int(int value) { Put(value); }
    void Bool(bool value) { Put(value); }
    void Null() { Put(Raw{"null"}); }
    // A value that is not finite is written as null.
    void Number(double value) { Put(value); }

    // A member left out when the value is absent, rather than written as null.
    template <std::size_t N, class T> void Member(const char (&key)[N], const std::optional<T>& value) {
        if (value)
            Member(key, *value);
    }
    template <std::size_t N> void Member(const char (&key)[N], double value) { PutMember(key, value); }
    template <std::size_t N> void Member(const char (&key)[N], ComputedNumber value) {
        PutMember(key, value);
    }
    template <std::size_t N> void Member(const char (&key)[N], int value) { PutMember(key, value); }
    template <std::size_t N> void Member(const char (&key)[N], bool value) { PutMember(key, value); }
    template <std::size_t N> void Member(const char (&key)[N], const char* text) {
        Member(key, std::string_view(text));
    }
    template <std::size_t N> void Member(const char (&key)[N], std::string_view text) {
        PutText(MemberRoom(key, RoomOf(text)), text);
    }
    // An array of texts (strings or views), such as the names of a point's stations, laid out with
    // one check of the room; should one need escapes, or be nested deeper than usual, the room is
    // given up and the array written item by item.
    template <std::size_t N, class Text> void Member(const char (&key)[N], const std::vector<Text>& texts) {
        if (LaysOutWhole()) {
            const bool wasBare = bare;
            const bool hadItems = hasItems;
            bool escapes = false;
            char* const end =
                PutTextArray(MemberRoom(key, TextArrayRoom(texts, breakWidth)), texts, breakWidth, escapes);
            if (!escapes) {
                out.Commit(end);
                return;
            }
            bare = wasBare;
            hasItems = hadItems;
        }
        Key(key);
        StartArray();
        for (const Text& text : texts)
            String(text);
        EndArray();
    }

    // An object of plain members laid out with one check of the room; should a text need
    // escapes, or the object be nested deeper than usual, the room is given up and the object
    // written member by member. Laid out in its caller, where the keys are constants and the
    // fields are not gathered for a call: a quarter fewer instructions an observation.
    template <class... Fields> [[gnu::always_inline]] void Object(const Fields&... fields) {
        if (LaysOutWhole()) {
            const bool wasBare = bare;
            const bool hadItems = hasItems;
            const std::size_t innerBreak = breakWidth + kIndentWidth;
            const std::size_t memberRoom = 1 + kShortBreak + 3;
            const std::size_t room = 2 + kShortBreak + (... + FieldRoom(fields, memberRoom, innerBreak));
            char* at = ItemRoom(room);
            char* const opened = at;
            bool escapes = false;
            (PutField(at, fields, innerBreak, escapes), ...);
            at = Bracket(opened, at, '{', breakWidth);
            *at++ = '}';
            if (!escapes) {
                out.Commit(at);
                return;
            }
            bare = wasBare;
            hasItems = hadItems;
        }
        StartObject();
        (Member(fields.key, fields.value), ...);
        EndObject();
    }

private:
    struct Level {
        bool hasItems;
    };
    // A value written as it stands.
    struct Raw {
        std::string_view text;
    };

    // Line breaks of up to this many characters, indentation included, are copied as one
    // fixed-size run, of which only the width needed is kept.
    static constexpr std::size_t kShortBreak = 32;
    static constexpr std::size_t kIndentWidth = 2;
    static constexpr char kBreak[kShortBreak + 1] = "\n                               ";
    // The separator before an item and its line break, as one run of the same size.
    static constexpr char kSeparatedBreak[kShortBreak + 1] = ",\n                              ";

    // An item's room in the output block: its separator, line break and indentation written,
    // then `count` characters left for the rest.
    char* ItemRoom(std::size_t count) { return PutPrefix(out.Room(prefixRoom + count)); }
    // A member's room: its key written, then `count` characters left for the value. The key's
    // length is known when compiled, so that it is copied without a call.
    template <std::size_t N> char* MemberRoom(const char (&key)[N], std::size_t count) {
        return PutKey(ItemRoom(N + 4 + count), key);
    }
    // The key in quotes, then its colon and space, which end in a word whose last byte the value
    // then overwrites: one store for the three. Writes N + 4 characters.
    template <std::size_t N> static char* PutKey(char* at, const char (&key)[N]) {
        *at = '"';
        std::memcpy(at + 1, key, N - 1);
        std::memcpy(at + N, "\": ", 4);
        return at + N + 3;
    }

    // What goes before an item: nothing after a key or at the top, else its separator, a line
    // break and the indentation of its depth.
    char* PutPrefix(char* at) {
        if (bare) {
            bare = false;
            return at;
        }
        *at = ',';
        at += hasItems;
        hasItems = true;
        return PutBreak(at);
    }
    char* PutBreak(char* at) const { return PutBreak(at, breakWidth); }
    // Writes kShortBreak characters at least.
    static char* PutBreak(char* at, std::size_t width) {
        if (width > kShortBreak)
            return PutLongBreak(at, width);
        return PutShortBreak(at, width);
    }
    static char* PutShortBreak(char* at, std::size_t width) {
        std::memcpy(at, kBreak, kShortBreak);
        return at + width;
    }
    // A separator and a line break at most kShortBreak - 1 wide; writes kShortBreak characters.
    static char* PutSeparatedBreak(char* at, std::size_t width) {
        std::memcpy(at, kSeparatedBreak, kShortBreak);
        return at + 1 + width;
    }
    // Items laid out whole take every line break, down to two levels in, with its separator as
    // one short run.
    bool LaysOutWhole() const { return 1 + breakWidth + 2 * kIndentWidth <= kShortBreak; }
    static char* PutLongBreak(char* at, std::size_t width);
    // The text in quotes, its bytes checked as they are copied: `escapes` is set when some need
    // escapes.
    static char* PutQuoted(char* at, std::string_view text, bool& escapes) {
        *at = '"';
        escapes |= CopyJsonText(at + 1, text);
        at += text.size() + 1;
        *at = '"';
        return at + 1;
    }
    // The room of an array of texts whose closing bracket goes on a line break of `width`.
    template <class Text>
    static std::size_t TextArrayRoom(const std::vector<Text>& texts, std::size_t width) {
        const std::size_t itemRoom = 4 + std::max(kShortBreak, width + kIndentWidth);
        std::size_t room = 2 + std::max(kShortBreak, width);
        for (const Text& text : texts)
            room += itemRoom + text.size();
        return room;
    }
    // The array of texts at `at`, each on a line of its own one level in from `width`; `escapes`
    // is set when some text needs escapes.
    template <class Text>
    static char* PutTextArray(char* at, const std::vector<Text>& texts, std::size_t width, bool& escapes) {
        const std::size_t innerBreak = width + kIndentWidth;
        char* const opened = at;
        for (const Text& text : texts)
            at = PutQuoted(PutSeparatedBreak(at, innerBreak), text, escapes);
        at = Bracket(opened, at, '[', width);
        *at++ = ']';
        return at;
    }
    // Each item of a container laid out whole is written with its separator, and the first one's
    // falls at `opened`, where the opening bracket then goes: no item need ask whether it is the
    // first. Returns where the closing bracket goes, after a line break of `width` if there are
    // items.
    static char* Bracket(char* opened, char* end, char bracket, std::size_t width) {
        *opened = bracket;
        return end == opened ? end + 1 : PutShortBreak(end, width);
    }
    // The line break and the room of an item's prefix follow the depth.
    void DepthChanged() {
        breakWidth = 1 + kIndentWidth * outer.size();
        prefixRoom = 1 + std::max(kShortBreak, breakWidth);
    }

    static std::size_t RoomOf(double) { return kJsonNumberRoom; }
    static std::size_t RoomOf(ComputedNumber) { return kJsonNumberRoom; }
    static std::size_t RoomOf(int) { return 11; }
    static std::size_t RoomOf(bool) { return 5; }
    static std::size_t RoomOf(std::string_view text) { return text.size() + 2; }
    static std::size_t RoomOf(Raw raw) { return raw.text.size(); }
    static char* PutValue(char* at, double value) { return PutJsonNumber(at, value); }
    static char* PutValue(char* at, ComputedNumber number) {
        return PutJsonNumber<NumberOrigin::Computed>(at, number.value);
    }
    static char* PutValue(char* at, int value);
    static char* PutValue(char* at, bool value) { return PutValue(at, Raw{value ? "true" : "false"}); }
    static char* PutValue(char* at, Raw raw) {
        std::memcpy(at, raw.text.data(), raw.text.size());
        return at + raw.text.size();
    }

    // A field's room: `memberRoom` for its separator, break, quotes and colon, then its key and
    // value, whose own breaks are `width` wide. An absent number or truth value is given its room
    // all the same, which spares a test.
    template <std::size_t N, class T>
    static std::size_t FieldRoom(const JsonField<N, T>& field, std::size_t memberRoom, std::size_t) {
        return memberRoom + N + RoomOf(field.value);
    }
    template <std::size_t N, class T>
    static std::size_t FieldRoom(const JsonField<N, std::optional<T>>&, std::size_t memberRoom, std::size_t) {
        return memberRoom + N + RoomOf(T{});
    }
    template <std::size_t N>
    static std::size_t FieldRoom(const JsonField<N, std::optional<std::string_view>>& field,
                                 std::size_t memberRoom, std::size_t) {
        return field.value ? memberRoom + N + RoomOf(*field.value) : 0;
    }
    template <std::size_t N, class Text>
    static std::size_t FieldRoom(const JsonField<N, std::vector<Text>>& field, std::size_t memberRoom,
                                 std::size_t width) {
        return memberRoom + N + TextArrayRoom(field.value, width);
    }
    // Writes a field at `at`, its separator first, moving it on.
    template <std::size_t N, class T>
    static void PutField(char*& at, const JsonField<N, T>& field, std::size_t width, bool& escapes) {
        at = PutFieldValue(PutKey(PutSeparatedBreak(at, width), field.key), field.value, width, escapes);
    }
    template <std::size_t N, class T>
    static void PutField(char*& at, const JsonField<N, std::optional<T>>& field, std::size_t width,
                         bool& escapes) {
        if (field.value)
            PutField(at, JsonField<N, T>{field.key, *field.value}, width, escapes);
    }
    template <class T> static char* PutFieldValue(char* at, const T& value, std::size_t, bool&) {
        return PutValue(at, value);
    }
    static char* PutFieldValue(char* at, std::string_view text, std::size_t, bool& escapes) {
        return PutQuoted(at, text, escapes);
    }
    template <class Text>
    static char* PutFieldValue(char* at, const std::vector<Text>& texts, std::size_t width, bool& escapes) {
        return PutTextArray(at, texts, width, escapes);
    }

    template <class T> void Put(const T& value) { out.Commit(PutValue(ItemRoom(RoomOf(value)), value)); }
    template <std::size_t N, class T> void PutMember(const char (&key)[N], const T& value) {
        out.Commit(PutValue(MemberRoom(key, RoomOf(value)), value));
    }
    // A text at `at`, where its item's prefix or key ends, in the room RoomOf gives it: copied
    // in quotes, and only when some of its bytes need escapes, written again by the escaping
    // writer.
    void PutText(char* at, std::string_view text) {
        bool escapes = false;
        char* const end = PutQuoted(at, text, escapes);
        if (escapes)
            PutEscaped(at, text);
        else
            out.Commit(end);
    }
    void PutEscaped(char* at, std::string_view text);

    void Open(char bracket) {
        char* at = ItemRoom(1);
        *at++ = bracket;
        out.Commit(at);
        outer.push_back({hasItems});
        hasItems = false;
        DepthChanged();
    }
    void Close(char bracket) {
        const bool closedHasItems = hasItems;
        hasItems = outer.back().hasItems;
        outer.pop_back();
        DepthChanged();
        char* at = out.Room(prefixRoom + 1);
        if (closedHasItems)
            at = PutBreak(at);
        *at++ = bracket;
        out.Commit(at);
        // Items at the top, which a document has one of, take no separator.
        bare = outer.empty();
    }

    host::BufferedOutput& out;
    // Whether the open container has items, and the containers around it.
    bool hasItems = false;
    std::vector<Level> outer;
    // No separator or break before the next item: it follows a key, or is at the top.
    bool bare = true;
    std::size_t breakWidth = 1;
    std::size_t prefixRoom = 1 + kShortBreak;
    rapidjson::Writer<host::BufferedOutput> escaping; // one text at a time, as a document of its own
};

} // namespace host
