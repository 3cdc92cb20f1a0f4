// Texts written through a RapidJSON writer in one block each. The writer places a value
// (separator, indentation) when given it as raw JSON of no characters; the text's bytes then
// go to the same buffer at once, which spares the library's character-by-character copying.
// Texts that need escapes still go through the library's escaping.
#pragma once

#include "host/BufferedOutput.h"

#include <rapidjson/rapidjson.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace host {

// The bytes JSON escapes: control characters, the quote and the backslash. Looked up in a
// table, a text costs a load a byte; names, codes and messages are written by the hundred thousand.
constexpr std::array<bool, 256> JsonEscapedBytes() {
    std::array<bool, 256> escaped{};
    for (std::size_t c = 0; c < 0x20; ++c)
        escaped[c] = true;
    escaped['"'] = escaped['\\'] = true;
    return escaped;
}
inline constexpr std::array<bool, 256> kJsonEscapedBytes = JsonEscapedBytes();

inline bool NeedsJsonEscapes(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return kJsonEscapedBytes[static_cast<unsigned char>(c)]; });
}

// `json` writes to `out`.
template <class Writer> void WriteJsonText(Writer& json, BufferedOutput& out, std::string_view text) {
    if (NeedsJsonEscapes(text)) {
        json.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
        return;
    }
    json.RawValue("", 0, rapidjson::kStringType);
    out.Put('"');
    out.Write(text);
    out.Put('"');
}

} // namespace host
