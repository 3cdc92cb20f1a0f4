// Groups one file's events into a FileResult and hands it over whole at the file's end, for a test
// that looks at a file at once. The result is released after the callback returns.
#pragma once

#include "host/pipeline/ImportEvents.h"

#include <functional>

namespace testsupport {

class FileCollector final : public host::ImportEvents {
public:
    // The callback may move the result away.
    using FileDone = std::function<void(host::FileResult&)>;

    explicit FileCollector(FileDone done) : done(std::move(done)) {}

    void FileBegun(const host::FileBegin& file) override;
    void TargetAnnounced(std::wstring_view name) override;
    void StationReady(const host::Station& station) override;
    void ObservationReady(const host::Observation& observation) override;
    void PointReady(const host::Point& point) override;
    void MessageReported(const host::Message& message) override;
    void FileEnded(const host::FileEnd& file) override;

private:
    FileDone done;
    host::FileResult file;
};

} // namespace testsupport
