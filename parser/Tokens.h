// Splitting a record line into its fields.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The trimmed comma-separated fields of one line, numbered from 0; token 0 is the record code.
// Never empty: an empty line gives one empty token.
using TokenList = std::vector<std::wstring>;

// Splits at every ',' (empty fields kept, no quoting) and trims each field by the global
// locale's white-space classification. Reuses the storage `tokens` already has. With
// `maxFields`, only that many leading fields are taken and the rest of the line is not read.
void SplitLine(std::wstring_view line, TokenList& tokens,
               std::size_t maxFields = static_cast<std::size_t>(-1));

// Whether `token` is exactly the two-letter record code `code` (case-sensitive).
inline bool IsCode(const std::wstring& token, const wchar_t (&code)[3]) {
    return token.size() == 2 && token[0] == code[0] && token[1] == code[1];
}
