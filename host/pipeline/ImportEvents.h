// What the host hands on while the module imports: typed events of one file at a time, each
// sent once its item is complete. Consumers (writers, collectors) override what they need.
#pragma once

#include "host/ImportModel.h"

#include <cstddef>
#include <string_view>

namespace host {

struct FileBegin {
    std::wstring_view path;
    std::size_t index; // 0-based, in the order the module began the files
};

struct FileEnd {
    std::wstring_view path;
    std::size_t index;
    FileOutcome outcome;
};

// An observation whose texts are UTF-8 views, valid while it is handed on.
using Utf8Observation = BasicObservation<std::string_view>;

struct ImportEnd {
    // Host objects handed to the module and never released by it; 0 after a sound import.
    int unreleasedObjects = 0;
};

// Within a file: targets (announced ahead of the import pass), then stations, observations,
// points and messages in the order the module sent them. A station comes before its
// observations and carries none itself; an observation belongs to the station sent last, or to
// none if no station came yet in this file.
class ImportEvents {
public:
    virtual ~ImportEvents() = default;

    virtual void FileBegun(const FileBegin&) {}
    virtual void TargetAnnounced(std::wstring_view) {}
    virtual void StationReady(const Station&) {}
    virtual void ObservationReady(const Observation&) {}
    virtual void PointReady(const Point&) {}
    virtual void MessageReported(const Message&) {}
    virtual void FileEnded(const FileEnd&) {}
    virtual void ImportEnded(const ImportEnd&) {}

    // Whether this consumer reads observations at all: the sink builds none when no consumer
    // does, since they are most of a job's items.
    virtual bool ReadsObservations() const { return true; }
    // The consumer the sink hands observations to, asked with ReadsObservations: this one, or the
    // one alone it passes them on to, which they then reach directly.
    virtual ImportEvents& ObservationReader() { return *this; }
    // A reader that keeps observations as UTF-8 may take them so, asked with ReadsObservations:
    // the sink then narrows the module's texts once, into the views of Utf8ObservationReady,
    // rather than copying them wide for ObservationReady.
    virtual bool TakesUtf8Observations() const { return false; }
    virtual void Utf8ObservationReady(const Utf8Observation&) {}
};

} // namespace host
