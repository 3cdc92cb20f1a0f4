#include "tests/support/TestSink.h"

namespace testsupport {

const char* NameOf(SinkCall call) {
#define NIKON_TEST_SINK_NAME(name) #name,
    static const char* const kNames[] = {
        NIKON_TEST_SINK_CALLS(NIKON_TEST_SINK_NAME, NIKON_TEST_SINK_NAME, NIKON_TEST_SINK_NAME)};
#undef NIKON_TEST_SINK_NAME
    return kNames[static_cast<std::size_t>(call)];
}

} // namespace testsupport
