// A platform call that failed, carrying the HRESULT made from its Win32 error code, the way
// Microsoft's libraries report such a failure. Raised inside the module; the module's boundary
// hands it to the host in the host's own exception form.
#pragma once

#include <windows.h>

namespace platform {

struct Win32Failure {
    HRESULT hresult;
};

} // namespace platform
