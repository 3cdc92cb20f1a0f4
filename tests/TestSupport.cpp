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

std::wstring RandomText(std::mt19937& random, const std::wstring& alphabet, std::size_t longest) {
    std::wstring text(std::uniform_int_distribution<std::size_t>(0, longest)(random), L' ');
    for (wchar_t& c : text)
        c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    return text;
}

} // namespace testing_host
