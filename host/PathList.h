// The host's file list: the paths of one import, walked by the module once.
#pragma once

#include "interfaces/HostInterfaces.h"

#include <cstddef>
#include <string>
#include <vector>

namespace host {

class PathList final : public IImportFileList {
public:
    explicit PathList(std::vector<std::wstring> paths) : paths(std::move(paths)) {}

    bool HasCurrent() override { return position < paths.size(); }
    void MoveNext() override {
        if (position < paths.size())
            ++position;
    }
    // Past the end the list answers with an empty path rather than null.
    const wchar_t* GetCurrent() override { return position < paths.size() ? paths[position].c_str() : L""; }
    void Reset() override { position = 0; }

private:
    std::vector<std::wstring> paths;
    std::size_t position = 0;
};

} // namespace host
