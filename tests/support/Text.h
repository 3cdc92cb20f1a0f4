// Texts between the module's wide strings and the UTF-8 of logs, messages and POSIX paths.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

std::string Utf8(std::wstring_view text);
// A narrow POSIX path as a host hands it over: UTF-8 read as Unicode.
std::wstring FromUtf8(std::string_view text);

// The calls of a host's log less those whose text starts with any of `prefixes`.
std::vector<std::string> Without(const std::vector<std::string>& log,
                                 std::initializer_list<const char*> prefixes);

} // namespace testsupport
