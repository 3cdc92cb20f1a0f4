// The reduction in rdf-import: each whole file, as its writer holds it, reduced to coordinates
// with the job facts of its own comments, and offered to the writers as the file ends (members of
// its JSON object, a section of its listing, rows of the point list) and, at the end of the run,
// to the outputs that take the whole run.
#pragma once

#include "host/pipeline/FileSurvey.h"
#include "output/Writers.h"

#include <functional>
#include <vector>

namespace rdf {

class Coordinates final : public host::ImportEvents, public host::FileSection {
public:
    using RunEnded = std::function<void(const std::vector<survey::FileSurvey>&)>;

    Coordinates(host::SurveySettings settings, host::AngleStyle angles);

    // Writes every file's point list to `out` as the file ends, and what the reduction could not
    // compute to standard error unless `quiet`.
    void WritePointList(host::BufferedOutput& out, bool quiet);
    // Called once the run has ended, with every file's survey; the surveys of the run are kept
    // only when something asks for them.
    void OnRunEnded(RunEnded hook) { runEnded.push_back(std::move(hook)); }
    // Called once the run has ended, before the hooks above, to adjust the surveys together; the
    // point list is then written at the end, adjusted, with its standard deviations.
    using RunAdjust = std::function<void(std::vector<survey::FileSurvey>&)>;
    void AdjustRun(RunAdjust adjust) { adjustRun = std::move(adjust); }

    // Each whole file comes from the writer that holds it (or a feeder, for a format whose writer
    // does not), so that the file is held once, packed.
    void FileReady(const host::PackedFile& file, const std::vector<host::Message>& messages,
                   const host::FileEnd& end) override;
    void FileWritten(const host::FileEnd& end) override;
    void ImportEnded(const host::ImportEnd& end) override;
    // The observations come whole with their file, not one by one.
    bool ReadsObservations() const override { return false; }

    void WriteJson(host::JsonOut& json, const host::FileEnd& file) override;
    void WriteText(host::BufferedOutput& out, const host::FileEnd& file) override;

private:
    // Reduces the file read last, once.
    void Reduce();

    host::SurveySettings settings;
    host::AngleStyle angles;
    host::SurveyBuilder builder{settings};
    survey::FileSurvey current;                       // its coordinates are in currentPoints
    std::optional<survey::ReducedFile> currentPoints; // made one at a time as they are written
    host::BufferedOutput* pointList = nullptr;
    std::optional<survey::LengthUnit> pointListUnit; // of the list, once its first file is written
    bool quiet = true;
    std::vector<survey::FileSurvey> run;
    std::vector<RunEnded> runEnded;
    RunAdjust adjustRun;
    bool KeepsRun() const { return !runEnded.empty() || adjustRun; }
};

} // namespace rdf
