// Realistic raw data jobs of any size, for measuring the import: a header, control points,
// then stations with face-left and face-right rounds, side shots, stake-out shots and
// coordinate records, with names, heights, distances and angles that vary like field data.
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
