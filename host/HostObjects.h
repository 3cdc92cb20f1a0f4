// What the host objects of one import share: the count of those handed to the module and still
// alive, so that the host can tell whether the module released every one.
#pragma once

#include "platform/NoCopy.h"

namespace host {

class HostObjects : platform::NoCopy {
public:
    void Created() { ++live; }
    void Destroyed() { --live; }
    int Live() const { return live; }

private:
    int live = 0;
};

} // namespace host
