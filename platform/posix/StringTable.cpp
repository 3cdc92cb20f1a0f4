// Where no resource section is at hand the table is compiled in, from the same texts the
// Windows resource script uses.
#include "platform/StringTable.h"

#include <iterator>

namespace {

struct Entry {
    unsigned id;
    const wchar_t* text;
};

constexpr Entry kTable[] = {
    {NIKON_MSG_CANNOT_OPEN_FILE, NIKON_MSG_TEXT_CANNOT_OPEN_FILE},
    {NIKON_MSG_UNKNOWN_FORMAT, NIKON_MSG_TEXT_UNKNOWN_FORMAT},
    {NIKON_MSG_NO_DISTANCE_UNITS, NIKON_MSG_TEXT_NO_DISTANCE_UNITS},
    {NIKON_MSG_NO_ANGLE_UNITS, NIKON_MSG_TEXT_NO_ANGLE_UNITS},
};

} // namespace

std::wstring LoadMessage(unsigned id) {
    for (const Entry& entry : kTable)
        if (entry.id == id)
            return entry.text;
    return {};
}
