#include "platform/LargeBuffer.h"

namespace platform {

// Large pages need a privilege on Windows that a host process rarely holds: no advice is given.
void AdviseLargePages(void*, std::size_t) {}

} // namespace platform
