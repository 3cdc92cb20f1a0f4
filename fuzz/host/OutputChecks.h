// Checks that an output of the host side is well-formed for its format. Each returns what is wrong,
// or nothing when the output is sound.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hostfuzz {

using Fault = std::optional<std::string>;

// A JSON text: parses strictly (no NaN or Infinity literals) as valid UTF-8.
Fault CheckJson(std::string_view text);

// An XML document: well-formed, with no number attribute or coordinate text that is NaN or infinite.
Fault CheckXml(std::string_view text);

// A CSV text: every quoted field closed, every record with as many fields as the header row.
Fault CheckCsv(std::string_view text);

// The HTML report: exactly one script, only the elements the report writes, no event-handler
// attributes (so nothing of the input became markup), and no NaN or infinity among its drawing's
// numbers.
Fault CheckHtml(std::string_view text);

} // namespace hostfuzz
