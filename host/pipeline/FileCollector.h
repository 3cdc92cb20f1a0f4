// Groups one file's events into a FileResult and hands it over whole at the file's end, for a
// consumer that needs a file at once (a reduction, a run-level output). The result is released
// after the callback returns, so memory follows the largest file, not the run.
#pragma once

#include "host/pipeline/ImportEvents.h"

#include <functional>

namespace host {

class FileCollector final : public ImportEvents {
public:
    // The callback may move the result away.
    using FileDone = std::function<void(FileResult&)>;

    explicit FileCollector(FileDone done) : done(std::move(done)) {}

    void FileBegun(const FileBegin& file) override;
    void TargetAnnounced(std::wstring_view name) override;
    void StationReady(const Station& station) override;
    void ObservationReady(const Observation& observation) override;
    void PointReady(const Point& point) override;
    void MessageReported(const Message& message) override;
    void FileEnded(const FileEnd& file) override;

private:
    FileDone done;
    FileResult file;
};

} // namespace host
