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

void LineList::MakeRoom(std::size_t room) {
    if (capacity - used < room)
        Reserve(std::max(used + room, 2 * capacity));
}

// Each byte makes at most one character; the zero needs one more.
void LineList::Append(std::string_view bytes, const platform::AnsiLineDecoder& decoder) {
    MakeRoom(bytes.size() + 1);
    const std::size_t length = decoder.Convert(bytes, text.get() + used);
    text[used + length] = L'\0';
    starts.push_back(used);
    used += length + 1;
}

// The room asked for is all of `bytes`; a list reserved for the whole file has that room
// already, since no line decodes to more characters than bytes. A line and its zero take no
// more room than its bytes and line feed, so each line still finds room for the bytes after it.
std::size_t LineList::AppendLines(std::string_view bytes, const platform::AnsiLineDecoder& decoder) {
    MakeRoom(bytes.size() + 1);
    platform::LineBatch batch;
    std::size_t taken = 0;
    while (const std::size_t took = decoder.ConvertLines(bytes.substr(taken), text.get() + used, batch)) {
        for (std::size_t i = 0; i < batch.count; ++i) {
            starts.push_back(used);
            used += batch.lengths[i] + 1;
        }
        taken += took;
    }
    return taken;
}
