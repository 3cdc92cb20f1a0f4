// Texts between the module's wide strings and the UTF-8 of logs, messages and POSIX paths.
#pragma once

#include <string>
#include <string_view>

namespace testsupport {

std::string Utf8(std::wstring_view text);
// A narrow POSIX path as a host hands it over: UTF-8 read as Unicode.
std::wstring FromUtf8(std::string_view text);

} // namespace testsupport
