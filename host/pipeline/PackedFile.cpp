#include "host/pipeline/PackedFile.h"

#include "host/pipeline/ItemFields.h"
#include "host/pipeline/Narrowing.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace host {
namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;

enum class Kind : char { Target = 'T', Station = 'S', Observation = 'O', Point = 'P' };

// A text is its length, in one byte below 255 or else 255 and four bytes, then its UTF-8.
constexpr unsigned char kLongText = 255;
// An optional value is a presence byte, then the value if present.
constexpr char kAbsent = 0;
constexpr char kPresent = 1;

// UTF-8 takes at most four bytes for each unit of wide text (UTF-32, or UTF-16 whose pairs
// take four for two).
constexpr std::size_t kMostUtf8PerUnit = 4;

// The most bytes each field can take packed, so that a record is packed in place.
std::size_t MostPacked(std::wstring_view text) {
    return 1 + sizeof(std::uint32_t) + kMostUtf8PerUnit * text.size();
}
template <class Number,
          class = std::enable_if_t<std::is_arithmetic_v<Number> && !std::is_same_v<Number, bool>>>
std::size_t MostPacked(const std::optional<Number>&) {
    return 1 + sizeof(Number);
}
std::size_t MostPacked(const std::optional<bool>&) {
    return 1;
}
std::size_t MostPacked(const std::optional<std::wstring>& text) {
    return 1 + (text ? MostPacked(std::wstring_view(*text)) : 0);
}
// Texts already in UTF-8.
std::size_t MostPacked(std::string_view text) {
    return 1 + sizeof(std::uint32_t) + text.size();
}
std::size_t MostPacked(const std::optional<std::string_view>& text) {
    return 1 + (text ? MostPacked(*text) : 0);
}

// Packs one record straight into its block, which has room for the most it can take.
class Packer {
public:
    // `utf8` is scratch room for texts beyond ASCII.
    Packer(char* at, std::string& utf8) : at(at), utf8(utf8) {}

    char* Position() const { return at; }
    void Put(Kind kind) { *at++ = static_cast<char>(kind); }

    void Put(std::wstring_view text) {
        if (text.size() < kLongText && NarrowedAscii(text, at + 1)) {
            *at = static_cast<char>(text.size());
            at += 1 + text.size();
            return;
        }
        PutUtf8(text);
    }

    // Numbers (doubles, and lines as ints) are stored as their bytes.
    template <class Number,
              class = std::enable_if_t<std::is_arithmetic_v<Number> && !std::is_same_v<Number, bool>>>
    void Put(const std::optional<Number>& value) {
        *at++ = value ? kPresent : kAbsent;
        if (!value)
            return;
        std::memcpy(at, &*value, sizeof(Number));
        at += sizeof(Number);
    }
    void Put(const std::optional<bool>& value) {
        *at++ = value ? static_cast<char>(*value ? 2 : 1) : kAbsent;
    }
    void Put(const std::optional<std::wstring>& text) {
        *at++ = text ? kPresent : kAbsent;
        if (text)
            Put(std::wstring_view(*text));
    }
    void Put(std::string_view utf8Text) {
        PutLength(utf8Text.size());
        std::memcpy(at, utf8Text.data(), utf8Text.size());
        at += utf8Text.size();
    }
    void Put(const std::optional<std::string_view>& utf8Text) {
        *at++ = utf8Text ? kPresent : kAbsent;
        if (utf8Text)
            Put(*utf8Text);
    }

private:
    // A text beyond ASCII or a long one, kept out of the way of the usual short ASCII text.
    [[gnu::noinline]] void PutUtf8(std::wstring_view text) {
        utf8.clear();
        platform::AppendUtf8(utf8, text);
        PutLength(utf8.size());
        std::memcpy(at, utf8.data(), utf8.size());
        at += utf8.size();
    }

    void PutLength(std::size_t length) {
        if (length < kLongText) {
            *at++ = static_cast<char>(length);
            return;
        }
        *at++ = static_cast<char>(kLongText);
        const auto length32 = static_cast<std::uint32_t>(length);
        std::memcpy(at, &length32, sizeof length32);
        at += sizeof length32;
    }

    char* at;
    std::string& utf8;
};

class Cursor {
public:
    explicit Cursor(const char* at) : at(at) {}

    const char* Position() const { return at; }
    Kind TakeKind() { return static_cast<Kind>(*at++); }

    std::string_view Text() {
        std::size_t length = static_cast<unsigned char>(*at++);
        if (length == kLongText) {
            std::uint32_t length32;
            std::memcpy(&length32, at, sizeof length32);
            at += sizeof length32;
            length = length32;
        }
        const std::string_view text(at, length);
        at += length;
        return text;
    }
    template <class Number,
              class = std::enable_if_t<std::is_arithmetic_v<Number> && !std::is_same_v<Number, bool>>>
    void Take(std::optional<Number>& value) {
        if (*at++ == kAbsent) {
            value.reset();
            return;
        }
        Number number;
        std::memcpy(&number, at, sizeof number);
        at += sizeof number;
        value = number;
    }
    void Take(std::optional<bool>& value) {
        const char stored = *at++;
        if (stored != kAbsent)
            value = stored == 2;
        else
            value.reset();
    }
    void Take(std::optional<std::string_view>& text) {
        if (*at++ != kAbsent)
            text = Text();
        else
            text.reset();
    }

private:
    const char* at;
};

} // namespace

// A record never spans two blocks; one that may be longer than a block gets a block of its own.
inline char* PackedFile::Room(std::size_t most) {
    if (blocks.empty() || blocks.back().capacity - blocks.back().used < most)
        AddBlock(most);
    return blocks.back().bytes.get() + blocks.back().used;
}

// Packs a record of `kind`: its name, then its fields as `fields` lists them.
template <class Name, class Item, class Fields>
void PackedFile::Pack(char kind, Name name, const Item& item, Fields fields) {
    std::size_t most = 1 + MostPacked(name);
    fields(item, [&most](const auto& field) { most += MostPacked(field); });
    Packer packer(Room(most), utf8);
    packer.Put(static_cast<Kind>(kind));
    packer.Put(name);
    fields(item, [&packer](const auto& field) { packer.Put(field); });
    blocks.back().used = static_cast<std::size_t>(packer.Position() - blocks.back().bytes.get());
}

void PackedFile::AddTarget(std::wstring_view name) {
    Pack(static_cast<char>(Kind::Target), name, 0, [](int, auto) {});
}

void PackedFile::Add(const host::Station& s) {
    Pack(static_cast<char>(Kind::Station), std::wstring_view(s.name), s,
         [](const auto& item, auto field) { StationFields(item, field); });
    ++stations;
}

void PackedFile::Add(const host::Observation& o) {
    Pack(static_cast<char>(Kind::Observation), std::wstring_view(o.target), o,
         [](const auto& item, auto field) { ObservationFields(item, field); });
    ++observations;
}

void PackedFile::Add(const PackedObservation& o) {
    Pack(static_cast<char>(Kind::Observation), o.target, o,
         [](const auto& item, auto field) { ObservationFields(item, field); });
    ++observations;
}

void PackedFile::Add(const host::Point& p) {
    Pack(static_cast<char>(Kind::Point), std::wstring_view(p.name), p,
         [](const auto& item, auto field) { PointFields(item, field); });
    ++points;
}

void PackedFile::AddBlock(std::size_t most) {
    const std::size_t capacity = std::max(kBlockSize, most);
    blocks.push_back({std::unique_ptr<char[]>(new char[capacity]), capacity, 0});
}

// Takes one field of a record from the cursor.
struct Taker {
    Cursor& cursor;
    template <class Field> void operator()(Field& field) const { cursor.Take(field); }
};

// A record read back into `record`, every field of which it sets: its name, then its fields in
// the order they were packed. One record of each kind serves a whole reading.
template <class Packed>
const Packed& Unpack(Cursor& cursor, Packed& record, std::string_view Packed::*name,
                     void (*fields)(Packed&, Taker)) {
    record.*name = cursor.Text();
    fields(record, Taker{cursor});
    return record;
}

void PackedFile::Read(PackedFileReader& reader) const {
    PackedStation station;
    PackedObservation observation;
    PackedPoint point;
    for (const Block& block : blocks) {
        Cursor cursor(block.bytes.get());
        const char* const end = block.bytes.get() + block.used;
        while (cursor.Position() < end) {
            switch (cursor.TakeKind()) {
            case Kind::Target:
                reader.Target(cursor.Text());
                break;
            case Kind::Station:
                reader.Station(
                    Unpack(cursor, station, &PackedStation::name, StationFields<PackedStation, Taker>));
                break;
            case Kind::Observation:
                reader.Observation(Unpack(cursor, observation, &PackedObservation::target,
                                          ObservationFields<PackedObservation, Taker>));
                break;
            case Kind::Point:
                reader.Point(Unpack(cursor, point, &PackedPoint::name, PointFields<PackedPoint, Taker>));
                break;
            }
        }
    }
    reader.End();
}

void PackedFile::Clear() {
    blocks.clear();
    stations = observations = points = 0;
}

namespace {

class SectionFeeder final : public PackedFileWriter {
public:
    using PackedFileWriter::PackedFileWriter;

private:
    void WriteFile(const FileEnd&) override {}
};

} // namespace

std::unique_ptr<ImportEvents> MakeSectionFeeder(std::vector<FileSection*> sections) {
    return std::make_unique<SectionFeeder>(std::move(sections));
}

} // namespace host
