// One file's stations, observations, points and targets, packed as UTF-8 records in large
// blocks until the file ends: the listings group a file's items by kind and open it with a
// summary, so they must hold it, and packed it takes about as many bytes as its lines.
#pragma once

#include "host/ImportModel.h"
#include "host/pipeline/ImportEvents.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rdf {

// A packed file's items read back: views of its UTF-8 texts, valid while the file holds them.
// Lines are not kept.
using PackedStation = host::BasicStation<std::string_view>;
using PackedObservation = host::BasicObservation<std::string_view>;
using PackedPoint = host::BasicPoint<std::string_view>;

// Read back in the order added; each reader takes the kinds it wants.
class PackedFileReader {
public:
    virtual ~PackedFileReader() = default;
    virtual void Target(std::string_view) {}
    virtual void Station(const PackedStation&) {}
    virtual void Observation(const PackedObservation&) {}
    virtual void Point(const PackedPoint&) {}
    // After the last record.
    virtual void End() {}
};

class PackedFile {
public:
    void AddTarget(std::wstring_view name);
    void Add(const host::Station& station);
    void Add(const host::Observation& observation);
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

    void Store();

    std::vector<Block> blocks;
    std::string record; // the record being packed, reused
    std::size_t stations = 0;
    std::size_t observations = 0;
    std::size_t points = 0;
};

// A writer that holds each file packed, with its messages, and writes it when the file ends.
class PackedFileWriter : public host::ImportEvents {
public:
    void FileBegun(const host::FileBegin&) override { Release(); }
    void TargetAnnounced(std::wstring_view name) override { file.AddTarget(name); }
    void StationReady(const host::Station& station) override { file.Add(station); }
    void ObservationReady(const host::Observation& observation) override { file.Add(observation); }
    void PointReady(const host::Point& point) override { file.Add(point); }
    void MessageReported(const host::Message& message) override { messages.push_back(message); }
    void FileEnded(const host::FileEnd& end) final {
        WriteFile(end);
        Release();
    }

protected:
    virtual void WriteFile(const host::FileEnd& end) = 0;

    PackedFile file;
    std::vector<host::Message> messages;

private:
    void Release() {
        file.Clear();
        messages.clear();
    }
};

} // namespace rdf
