// What the module sends of one file, in the host's units (metres, radians, degrees Celsius,
// hectopascals): the payloads of the import's events and, grouped, a whole file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace host {

struct Message {
    // 0-based index of the line the module last named, or none for a message about the file.
    std::optional<int> line;
    std::wstring text;
};

// The items over their text type: owned wide text here, views of UTF-8 where a writer holds a
// file packed (host/pipeline/PackedFile.h).
template <class Text> struct BasicObservation {
    Text target;
    std::optional<double> targetHeight, slopeDistance, horizontalAngle, verticalAngle;
    std::optional<bool> faceRight;
    std::optional<Text> code;
    // 0-based index of the line current when the module began it (a flush sends a station's face
    // observations at the line that ends the station); none before the first line.
    std::optional<int> line;
};

template <class Text> struct BasicStation {
    Text name;
    std::optional<double> temperature, pressure, instrumentHeight;
    std::optional<int> line; // as BasicObservation::line
    std::vector<BasicObservation<Text>> observations;
};

template <class Text> struct BasicPoint {
    Text name;
    std::optional<double> northing, easting, elevation;
    std::optional<bool> resectionPoint, attribute;
    std::optional<Text> code;
    std::optional<int> line; // as BasicObservation::line
};

using Observation = BasicObservation<std::wstring>;
using Station = BasicStation<std::wstring>;
using Point = BasicPoint<std::wstring>;

enum class FileOutcome {
    Imported,
    // The module reported the file before reading a line of it.
    CannotOpen,
    // The module reported, after all lines, that it recognised no record.
    NoRecords,
};

// The outcome's name in the outputs: "imported", "cannot-open", "no-records".
constexpr const char* OutcomeName(FileOutcome outcome) {
    switch (outcome) {
    case FileOutcome::Imported:
        return "imported";
    case FileOutcome::CannotOpen:
        return "cannot-open";
    case FileOutcome::NoRecords:
        return "no-records";
    }
    return "unknown";
}

struct FileResult {
    std::wstring path;
    FileOutcome outcome = FileOutcome::Imported;
    std::vector<Message> messages;
    // Target names announced ahead of the import pass, in order, repeats included.
    std::vector<std::wstring> targets;
    std::vector<Point> points;
    // Observations that arrived before the file's first station.
    std::vector<Observation> observationsBeforeStation;
    std::vector<Station> stations;
};

} // namespace host
