#include "host/pipeline/PackedFile.h"

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

void PutText(std::string& record, std::wstring_view text) {
    const std::size_t lengthAt = record.size();
    record += '\0';
    platform::AppendUtf8(record, text);
    const std::size_t length = record.size() - lengthAt - 1;
    if (length < kLongText) {
        record[lengthAt] = static_cast<char>(length);
        return;
    }
    const auto length32 = static_cast<std::uint32_t>(length);
    char bytes[sizeof length32];
    std::memcpy(bytes, &length32, sizeof bytes);
    record[lengthAt] = static_cast<char>(kLongText);
    record.insert(lengthAt + 1, bytes, sizeof bytes);
}

// Numbers (doubles, and lines as ints) are stored as their bytes.
template <class Number,
          class = std::enable_if_t<std::is_arithmetic_v<Number> && !std::is_same_v<Number, bool>>>
void Put(std::string& record, const std::optional<Number>& value) {
    record += value ? kPresent : kAbsent;
    if (value)
        record.append(reinterpret_cast<const char*>(&*value), sizeof(Number));
}

void Put(std::string& record, const std::optional<bool>& value) {
    record += value ? static_cast<char>(*value ? 2 : 1) : kAbsent;
}

void Put(std::string& record, const std::optional<std::wstring>& text) {
    record += text ? kPresent : kAbsent;
    if (text)
        PutText(record, *text);
}

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
        if (*at++ == kAbsent)
            return;
        Number number;
        std::memcpy(&number, at, sizeof number);
        at += sizeof number;
        value = number;
    }
    void Take(std::optional<bool>& value) {
        const char stored = *at++;
        if (stored != kAbsent)
            value = stored == 2;
    }
    void Take(std::optional<std::string_view>& text) {
        if (*at++ != kAbsent)
            text = Text();
    }

private:
    const char* at;
};

// Each kind's fields after its name, listed once for packing and reading back: the host's types
// and the packed views share the field names.
template <class Station, class Field> void StationFields(Station& s, Field field) {
    field(s.temperature);
    field(s.pressure);
    field(s.instrumentHeight);
    field(s.line);
}

template <class Observation, class Field> void ObservationFields(Observation& o, Field field) {
    field(o.targetHeight);
    field(o.slopeDistance);
    field(o.horizontalAngle);
    field(o.verticalAngle);
    field(o.faceRight);
    field(o.code);
    field(o.line);
}

template <class Point, class Field> void PointFields(Point& p, Field field) {
    field(p.northing);
    field(p.easting);
    field(p.elevation);
    field(p.resectionPoint);
    field(p.attribute);
    field(p.code);
    field(p.line);
}

} // namespace

void PackedFile::AddTarget(std::wstring_view name) {
    record.assign(1, static_cast<char>(Kind::Target));
    PutText(record, name);
    Store();
}

void PackedFile::Add(const host::Station& s) {
    record.assign(1, static_cast<char>(Kind::Station));
    PutText(record, s.name);
    StationFields(s, [this](const auto& field) { Put(record, field); });
    Store();
    ++stations;
}

void PackedFile::Add(const host::Observation& o) {
    record.assign(1, static_cast<char>(Kind::Observation));
    PutText(record, o.target);
    ObservationFields(o, [this](const auto& field) { Put(record, field); });
    Store();
    ++observations;
}

void PackedFile::Add(const host::Point& p) {
    record.assign(1, static_cast<char>(Kind::Point));
    PutText(record, p.name);
    PointFields(p, [this](const auto& field) { Put(record, field); });
    Store();
    ++points;
}

// A record never spans two blocks; one longer than a block gets a block of its own.
void PackedFile::Store() {
    if (blocks.empty() || blocks.back().capacity - blocks.back().used < record.size()) {
        const std::size_t capacity = std::max(kBlockSize, record.size());
        blocks.push_back({std::unique_ptr<char[]>(new char[capacity]), capacity, 0});
    }
    Block& block = blocks.back();
    std::memcpy(block.bytes.get() + block.used, record.data(), record.size());
    block.used += record.size();
}

void PackedFile::Read(PackedFileReader& reader) const {
    for (const Block& block : blocks) {
        Cursor cursor(block.bytes.get());
        const char* const end = block.bytes.get() + block.used;
        while (cursor.Position() < end) {
            switch (cursor.TakeKind()) {
            case Kind::Target:
                reader.Target(cursor.Text());
                break;
            case Kind::Station: {
                PackedStation s;
                s.name = cursor.Text();
                StationFields(s, [&cursor](auto& field) { cursor.Take(field); });
                reader.Station(s);
                break;
            }
            case Kind::Observation: {
                PackedObservation o;
                o.target = cursor.Text();
                ObservationFields(o, [&cursor](auto& field) { cursor.Take(field); });
                reader.Observation(o);
                break;
            }
            case Kind::Point: {
                PackedPoint p;
                p.name = cursor.Text();
                PointFields(p, [&cursor](auto& field) { cursor.Take(field); });
                reader.Point(p);
                break;
            }
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
