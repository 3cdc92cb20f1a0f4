#include "tests/TestSupport.h"

#include <sstream>

namespace testing_host {

::testing::AssertionResult LogsEqual(const Log& expected, const Log& actual) {
    if (expected == actual)
        return ::testing::AssertionSuccess();
    std::ostringstream out;
    const std::size_t n = std::max(expected.size(), actual.size());
    out << "logs differ (expected | actual):\n";
    for (std::size_t i = 0; i < n; ++i) {
        const std::string e = i < expected.size() ? expected[i] : "";
        const std::string a = i < actual.size() ? actual[i] : "";
        out << (e == a ? "   " : "!! ") << e << " | " << a << "\n";
    }
    return ::testing::AssertionFailure() << out.str();
}

} // namespace testing_host
