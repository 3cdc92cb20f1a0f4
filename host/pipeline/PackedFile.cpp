#include "host/pipeline/PackedFile.h"

#include "host/pipeline/ItemFields.h"
#include "host/pipeline/Narrowing.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstddef>
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
        const std::size_t length = Length();
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

    // Steps over a text or field without reading it.
    void SkipText() { at += Length(); }
    template <class Number,
              class = std::enable_if_t<std::is_arithmetic_v<Number> && !std::is_same_v<Number, bool>>>
    void Skip(const std::optional<Number>&) {
        const bool present = *at++ != kAbsent;
        at += present ? sizeof(Number) : 0;
    }
    void Skip(const std::optional<bool>&) { ++at; }
    void Skip(const std::optional<std::string_view>&) {
        if (*at++ != kAbsent)
            SkipText();
    }

private:
    // A text's length, which goes before it.
    std::size_t Length() {
        const std::size_t length = static_cast<unsigned char>(*at++);
        if (length != kLongText)
            return length;
        std::uint32_t length32;
        std::memcpy(&length32, at, sizeof length32);
        at += sizeof length32;
        return length32;
    }

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
    ++targets;
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

// Steps over one field of a record.
struct Skipper {
    Cursor& cursor;
    template <class Field> void operator()(const Field& field) const { cursor.Skip(field); }
};

// A record read back into `record`, every field of which it sets: its name, then its fields in
// the order they were packed. One record of each kind serves a whole reading. Its fields are read
// in line: the compiler would otherwise keep a call for them once the reading has several paths.
template <class Packed, void (*Fields)(Packed&, Taker)>
[[gnu::flatten]] const Packed& Unpack(Cursor& cursor, Packed& record, std::string_view Packed::*name) {
    record.*name = cursor.Text();
    Fields(record, Taker{cursor});
    return record;
}

// A record of the kind of `record` stepped over, its fields only measured.
template <class Packed, void (*Fields)(Packed&, Skipper)> void Skip(Cursor& cursor, Packed& record) {
    cursor.SkipText();
    Fields(record, Skipper{cursor});
}

// One record of each kind, reused for a whole reading, and how many records of the kinds the
// reader takes are still ahead: a reading of counted kinds only ends after the last of them.
struct Records {
    PackedStation station;
    PackedObservation observation;
    PackedPoint point;
    std::size_t ahead;
};

// The record of `kind` at the cursor handed to the reader, or stepped over if it does not take
// that kind; false if the reading ends at it, or with it as the last the reader takes.
bool PassRecord(Kind kind, Cursor& cursor, PackedFileReader& reader, Records& records) {
    switch (kind) {
    case Kind::Target:
        if (reader.EndsAt(PackedFileReader::kTargets))
            return false;
        if (!reader.Takes(PackedFileReader::kTargets)) {
            cursor.SkipText();
            return true;
        }
        reader.Target(cursor.Text());
        break;
    case Kind::Station:
        if (reader.EndsAt(PackedFileReader::kStations))
            return false;
        if (!reader.Takes(PackedFileReader::kStations)) {
            Skip<PackedStation, StationFields>(cursor, records.station);
            return true;
        }
        reader.Station(Unpack<PackedStation, StationFields>(cursor, records.station, &PackedStation::name));
        break;
    case Kind::Observation:
        if (reader.EndsAt(PackedFileReader::kObservations))
            return false;
        if (!reader.Takes(PackedFileReader::kObservations)) {
            Skip<PackedObservation, ObservationFields>(cursor, records.observation);
            return true;
        }
        reader.Observation(Unpack<PackedObservation, ObservationFields>(cursor, records.observation,
                                                                        &PackedObservation::target));
        break;
    case Kind::Point:
        if (reader.EndsAt(PackedFileReader::kPoints))
            return false;
        if (!reader.Takes(PackedFileReader::kPoints)) {
            Skip<PackedPoint, PointFields>(cursor, records.point);
            return true;
        }
        reader.Point(Unpack<PackedPoint, PointFields>(cursor, records.point, &PackedPoint::name));
        break;
    }
    return --records.ahead != 0;
}

// The records from `at` up to `end`; false when the reading ends among them.
bool PassRecords(const char* at, const char* end, PackedFileReader& reader, Records& records) {
    Cursor cursor(at);
    while (cursor.Position() < end)
        if (!PassRecord(cursor.TakeKind(), cursor, reader, records))
            return false;
    return true;
}

void PackedFile::Read(PackedFileReader& reader) const {
    Records records;
    records.ahead = RecordsTaken(reader);
    for (const Block& block : blocks) {
        if (records.ahead == 0 ||
            !PassRecords(block.bytes.get(), block.bytes.get() + block.used, reader, records))
            break;
    }
    reader.End();
}

// A reader of the targets alone, which are announced before the file's items, stops after the
// last of them rather than stepping over every item.
std::size_t PackedFile::RecordsTaken(const PackedFileReader& reader) const {
    return (reader.Takes(PackedFileReader::kTargets) ? targets : 0) +
           (reader.Takes(PackedFileReader::kStations) ? stations : 0) +
           (reader.Takes(PackedFileReader::kObservations) ? observations : 0) +
           (reader.Takes(PackedFileReader::kPoints) ? points : 0);
}

void PackedFile::Clear() {
    blocks.clear();
    targets = stations = observations = points = 0;
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
