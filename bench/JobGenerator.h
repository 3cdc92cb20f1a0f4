// Realistic raw data jobs of any size, for measuring the import: concatenated jobs, each a
// header, control points and an open traverse whose stations observe face-left and face-right
// rounds, side shots, stake-out shots and coordinate records. Every reading is taken from placed
// points with small instrument errors, so the jobs reduce to coordinates as field data does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bench {

// Writes a job of at least `bytes` bytes (whole lines, LF or CR LF ends) to `path`; returns the
// number of lines written. The same seed always gives the same file.
std::uint64_t WriteJob(const std::string& path, std::uint64_t bytes, bool crlf = true,
                       std::uint32_t seed = 14);

} // namespace bench
