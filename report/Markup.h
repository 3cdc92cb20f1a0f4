// Text and numbers as the report writes them into HTML and SVG.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace report {

// Markup characters become character references, and the control characters that HTML and XML
// forbid become U+FFFD, so any name or message is safe as element text and as an attribute value.
void WriteEscaped(std::ostream& out, std::string_view text);
std::string Escaped(std::string_view text);

// A plan coordinate: to the millimetre, without trailing zeros.
std::string PlanNumber(double value);

} // namespace report
