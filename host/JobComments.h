// The job facts a host reads from a file itself: the module does not pass on the comments that
// say how the instrument counted angles, what its readings are, or which foot its feet are.
#pragma once

#include "survey/JobComments.h"

#include <string>

namespace host {

// The comments of the file at `path`, read and decoded as the module reads it (in the calling
// thread's character set); none when it cannot be read.
survey::JobComments ReadJobComments(const std::wstring& path);

} // namespace host
