// Raw data jobs of any size, for measuring the import: concatenated jobs, each a header, control
// points and an open traverse whose stations observe face-left and face-right rounds. Every
// reading is taken from placed points with small instrument errors, so the jobs reduce to
// coordinates as field data does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace bench {

enum class JobKind {
    // A detail survey as crews shoot it: set-ups about 150 m apart, rounds to the backsight and
    // the foresight only, and a fixed number of side shots at each set-up, every point located.
    Survey,
    // Every record the module reads: legs of a few hundred metres, reference marks, a few dozen
    // side shots, stake-outs and coordinate records at each set-up.
    Mixed,
};

// "survey" or "mixed"; nothing for any other name.
std::optional<JobKind> JobKindNamed(const std::string& name);

struct JobOptions {
    JobKind kind = JobKind::Survey;
    int sideShots = 300; // per set-up, in a survey job
    bool crlf = true;
    std::uint32_t seed = 14;
};

// Writes a job of at least `bytes` bytes (whole lines) to `path`; returns the number of lines
// written. The same options always give the same file.
std::uint64_t WriteJob(const std::string& path, std::uint64_t bytes, const JobOptions& options = {});

} // namespace bench
