// A format chosen from a table the way ogr2ogr users expect: by its name when one is given (in any
// case), else by the file's extension. Rows have a name and their extensions in lower case with
// the dot; the table's owner names itself in the messages.
#pragma once

#include "exchange/Formats.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

inline std::string LowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

template <typename Row>
const Row& ChooseFormat(const std::vector<Row>& rows, const std::string& path, const std::string& name,
                        const std::string& writer) {
    const auto known = [&](bool names) {
        std::string list;
        for (const Row& row : rows) {
            if (names)
                list += (list.empty() ? "" : ", ") + std::string(row.name);
            for (const auto& extension : row.extensions)
                list += names ? "" : (list.empty() ? "" : " ") + std::string(extension);
        }
        return list;
    };
    const std::string wanted =
        name.empty() ? LowerCase(std::filesystem::u8path(path).extension().u8string()) : LowerCase(name);
    const auto found = std::find_if(rows.begin(), rows.end(), [&](const Row& row) {
        if (!name.empty())
            return LowerCase(row.name) == wanted;
        return std::find(row.extensions.begin(), row.extensions.end(), wanted) != row.extensions.end();
    });
    if (found != rows.end())
        return *found;
    if (!name.empty())
        throw Error(Error::Kind::Usage,
                    "--to-format " + name + ": not a format " + writer + " writes (" + known(true) + ")");
    throw Error(Error::Kind::Usage, "--to " + path + ": the extension names no format " + writer +
                                        " writes (" + known(false) + "); name one with --to-format");
}

} // namespace exchange
