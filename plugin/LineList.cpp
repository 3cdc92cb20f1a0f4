#include "plugin/LineList.h"

void LineList::Append(std::string_view bytes, const platform::AnsiLineDecoder& decoder) {
    const std::size_t start = text.size();
    // Each byte makes at most one character; the zero needs one more.
    text.resize(start + bytes.size() + 1);
    const std::size_t length = decoder.Convert(bytes, text.data() + start);
    text.resize(start + length + 1);
    text[start + length] = L'\0';
    starts.push_back(start);
}
