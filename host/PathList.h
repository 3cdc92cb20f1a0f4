// The host's file list: the paths of one import, walked by the module once.
#pragma once

#include "host/HostObjects.h"
#include "interfaces/HostInterfaces.h"

#include <cstddef>
#include <string>
#include <vector>

namespace host {

class PathList final : public IImportFileList {
public:
    PathList(HostObjects& objects, std::vector<std::wstring> paths)
        : objects(objects), paths(std::move(paths)) {}

    bool HasCurrent() override;
    void MoveNext() override;
    const wchar_t* GetCurrent() override;
    void Reset() override;

private:
    HostObjects& objects;
    std::vector<std::wstring> paths;
    std::size_t position = 0;
};

} // namespace host
