// Advice to the operating system on a large buffer the module fills from start to end.
#pragma once

#include <cstddef>

namespace platform {

// Asks for the buffer's memory in large pages where the system offers them on request: a file's
// line list is hundreds of megabytes for a large job, and faulting it in page by page costs
// as much time as the import's own work. Only advice: nothing changes where it is not taken.
void AdviseLargePages(void* buffer, std::size_t bytes);

} // namespace platform
