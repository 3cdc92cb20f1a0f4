#include "host/PathList.h"

namespace host {

bool PathList::HasCurrent() {
    const bool has = position < paths.size();
    objects.Record({"files", "HasCurrent", {}, TraceValue(has), {}});
    return has;
}

void PathList::MoveNext() {
    objects.Record({"files", "MoveNext", {}, {}, {}});
    if (position < paths.size())
        ++position;
}

// Past the end the list answers with an empty path rather than null.
const wchar_t* PathList::GetCurrent() {
    const wchar_t* path = position < paths.size() ? paths[position].c_str() : L"";
    objects.Record({"files", "GetCurrent", {}, TraceText(path), {}});
    return path;
}

void PathList::Reset() {
    objects.Record({"files", "Reset", {}, {}, {}});
    position = 0;
}

} // namespace host
