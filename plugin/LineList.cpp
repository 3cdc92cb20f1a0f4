#include "plugin/LineList.h"

#include "platform/LargeBuffer.h"

#include <algorithm>
#include <new>

void LineList::Reserve(std::size_t characters) {
    if (characters > capacity)
        MoveTo(std::unique_ptr<wchar_t[]>(new wchar_t[characters]), characters);
}

void LineList::ReserveIfPossible(std::size_t characters) {
    if (characters <= capacity)
        return;
    if (wchar_t* larger = new (std::nothrow) wchar_t[characters])
        MoveTo(std::unique_ptr<wchar_t[]>(larger), characters);
}

void LineList::MoveTo(std::unique_ptr<wchar_t[]> larger, std::size_t characters) {
    platform::AdviseLargePages(larger.get(), characters * sizeof(wchar_t));
    std::copy(text.get(), text.get() + used, larger.get());
    text = std::move(larger);
    capacity = characters;
}

void LineList::Append(std::string_view bytes, const platform::AnsiLineDecoder& decoder) {
    // Each byte makes at most one character; the zero needs one more.
    const std::size_t room = bytes.size() + 1;
    if (capacity - used < room)
        Reserve(std::max(used + room, 2 * capacity));
    const std::size_t length = decoder.Convert(bytes, text.get() + used);
    text[used + length] = L'\0';
    starts.push_back(used);
    used += length + 1;
}
