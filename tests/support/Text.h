// Texts between the module's wide strings and the UTF-8 of logs, messages and POSIX paths.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

std::string Utf8(std::wstring_view text);
// A narrow POSIX path as a host hands it over: UTF-8 read as Unicode.
std::wstring FromUtf8(std::string_view text);

// A number as a host's converter reads it: the whole text, as the C library reads it (so "inf",
// "nan" and exponents are numbers too); an empty text or trailing characters are not.
bool ReadNumber(const wchar_t* text, double& value);
std::optional<double> ReadNumber(const std::wstring& text);

// The calls of a host's log less those whose text starts with any of `prefixes`.
std::vector<std::string> Without(const std::vector<std::string>& log,
                                 std::initializer_list<const char*> prefixes);

} // namespace testsupport
