// The cheapest host: converters that take every text as a number unread, and a sink that only
// counts the calls it receives.
#pragma once

#include "tests/support/TestSink.h"

#include <cstdint>

namespace bench {

class CountingSink final : public testsupport::TestSink {
public:
    CountingSink();
    ~CountingSink();
    CountingSink(const CountingSink&) = delete;
    CountingSink& operator=(const CountingSink&) = delete;

    std::uint64_t Calls() const { return calls; }

    IUnitConverterFactory* GetConverterFactory() override;
    void SetCurrentLine(std::int32_t) override { ++calls; }
    void SetProgress(float) override { ++calls; }

private:
    void OnText(testsupport::SinkCall, const wchar_t*) override { ++calls; }
    void OnValue(testsupport::SinkCall, double) override { ++calls; }
    void OnFlag(testsupport::SinkCall, bool) override { ++calls; }

    std::uint64_t calls = 0;
};

} // namespace bench
