// One file's stations, observations, points and targets, packed as UTF-8 records in large
// blocks until the file ends: the listings group a file's items by kind and open it with a
// summary, so they must hold it, and packed it takes about as many bytes as its lines.
#pragma once

#include "host/BufferedOutput.h"
#include "host/ImportModel.h"
#include "host/JsonOut.h"
#include "host/pipeline/ImportEvents.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// A packed file's items read back: views of its UTF-8 texts, valid while the file holds them.
using PackedStation = host::BasicStation<std::string_view>;
using PackedObservation = host::Utf8Observation;
using PackedPoint = host::BasicPoint<std::string_view>;

// Read back in the order added; each reader takes the kinds it wants.
class PackedFileReader {
public:
    // Kinds of record, as flags.
    enum Kinds : unsigned { kTargets = 1, kStations = 2, kObservations = 4, kPoints = 8, kAllKinds = 15 };

    // The records of kinds not in `takes` are stepped over unread; the reading ends at the first
    // record of a kind in `endsAt`, for a reader that wants only what comes before it.
    explicit PackedFileReader(unsigned takes = kAllKinds, unsigned endsAt = 0)
        : takes(takes), endsAt(endsAt) {}
    virtual ~PackedFileReader() = default;
    virtual void Target(std::string_view) {}
    virtual void Station(const PackedStation&) {}
    virtual void Observation(const PackedObservation&) {}
    virtual void Point(const PackedPoint&) {}
    // After the last record read.
    virtual void End() {}

    bool Takes(Kinds kind) const { return (takes & kind) != 0; }
    bool EndsAt(Kinds kind) const { return (endsAt & kind) != 0; }

private:
    unsigned takes;
    unsigned endsAt;
};

class PackedFile {
public:
    void AddTarget(std::wstring_view name);
    void Add(const host::Station& station);
    void Add(const host::Observation& observation);
    void Add(const PackedObservation& observation);
    void Add(const host::Point& point);

    void Read(PackedFileReader& reader) const;
    // Gives the memory back.
    void Clear();

    std::size_t Stations() const { return stations; }
    std::size_t Observations() const { return observations; }
    std::size_t Points() const { return points; }

private:
    struct Block {
        std::unique_ptr<char[]> bytes;
        std::size_t capacity;
        std::size_t used;
    };

    // `name` is a view of wide text, or of UTF-8 already.
    template <class Name, class Item, class Fields>
    void Pack(char kind, Name name, const Item& item, Fields fields);
    // Where a record of at most `most` bytes goes.
    char* Room(std::size_t most);
    void AddBlock(std::size_t most);
    // How many records of the kinds the reader takes the file holds.
    std::size_t RecordsTaken(const PackedFileReader& reader) const;

    std::vector<Block> blocks;
    std::string utf8; // a text beyond ASCII being packed, reused
    std::size_t targets = 0;
    std::size_t stations = 0;
    std::size_t observations = 0;
    std::size_t points = 0;
};

// Something another component adds to each file's output when the file ends: it is handed the
// whole file first, then writes, for JSON, members of the file's object before it closes, and
// for the listing, lines after the file's. A writer lets its copy of the file go before it writes
// the sections, so that they can use the memory.
class FileSection {
public:
    virtual ~FileSection() = default;
    virtual void FileReady(const PackedFile&, const std::vector<host::Message>&, const host::FileEnd&) {}
    virtual void WriteJson(JsonOut&, const host::FileEnd&) {}
    virtual void WriteText(host::BufferedOutput&, const host::FileEnd&) {}
    // After the writer has written the file and let it go.
    virtual void FileWritten(const host::FileEnd&) {}
};

// A writer that holds each file packed, with its messages, hands it to its sections when the file
// ends and then writes it.
class PackedFileWriter : public host::ImportEvents {
public:
    // The sections are not owned; each must outlive the writer.
    explicit PackedFileWriter(std::vector<FileSection*> sections) : sections(std::move(sections)) {}

    void FileBegun(const host::FileBegin&) override { Release(); }
    void TargetAnnounced(std::wstring_view name) override { file.AddTarget(name); }
    void StationReady(const host::Station& station) override { file.Add(station); }
    void ObservationReady(const host::Observation& observation) override { file.Add(observation); }
    bool TakesUtf8Observations() const override { return true; }
    void Utf8ObservationReady(const host::Utf8Observation& observation) override { file.Add(observation); }
    void PointReady(const host::Point& point) override { file.Add(point); }
    void MessageReported(const host::Message& message) override { messages.push_back(message); }
    void FileEnded(const host::FileEnd& end) final {
        for (FileSection* section : sections)
            section->FileReady(file, messages, end);
        WriteFile(end);
        Release();
        for (FileSection* section : sections)
            section->FileWritten(end);
    }

protected:
    virtual void WriteFile(const host::FileEnd& end) = 0;

    PackedFile file;
    std::vector<host::Message> messages;
    const std::vector<FileSection*> sections;

private:
    void Release() {
        file.Clear();
        messages.clear();
    }
};

// Writes nothing: holds each file and hands it to the sections, for an output whose writer does not.
std::unique_ptr<ImportEvents> MakeSectionFeeder(std::vector<FileSection*> sections);

} // namespace host
