// One file's stations, observations, points and targets, packed as UTF-8 records in large
// blocks until the file ends: the listings group a file's items by kind and open it with a
// summary, so they must hold it, and packed it takes about as many bytes as its lines.
#pragma once

#include "host/ImportModel.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rdf {

struct PackedStation {
    std::string_view name;
    std::optional<double> temperature;
    std::optional<double> pressure;
    std::optional<double> instrumentHeight;
};

struct PackedObservation {
    std::string_view target;
    std::optional<double> targetHeight;
    std::optional<double> slopeDistance;
    std::optional<double> horizontalAngle;
    std::optional<double> verticalAngle;
    std::optional<bool> faceRight;
    std::optional<std::string_view> code;
};

struct PackedPoint {
    std::string_view name;
    std::optional<double> northing;
    std::optional<double> easting;
    std::optional<double> elevation;
    std::optional<bool> resectionPoint;
    std::optional<bool> attribute;
    std::optional<std::string_view> code;
};

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

} // namespace rdf
