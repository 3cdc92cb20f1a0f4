#include "tools/rdf-import/ProgressBar.h"

#include <gtest/gtest.h>

#include <sstream>

namespace rdf {
namespace {

const std::string kClear = "\r\033[K";

TEST(ProgressBar, RedrawsOnlyWhenTheWholePercentThePassOrTheFileChanges) {
    std::ostringstream terminal;
    {
        ProgressBar bar(terminal, {"a.rdf", "b.rdf"});
        bar.Update({0, 1, 33.333332f});
        bar.Update({0, 1, 33.9f}); // same whole percent: nothing drawn
        bar.Update({0, 1, 100.0f});
        bar.Update({0, 2, 100.0f});
        bar.Update({1, 1, 100.0f});
    }
    EXPECT_EQ(terminal.str(), kClear + "a.rdf pass 1/2 [#########.....................] 33%" + kClear +
                                  "a.rdf pass 1/2 [##############################] 100%" + kClear +
                                  "a.rdf pass 2/2 [##############################] 100%" + kClear +
                                  "b.rdf pass 1/2 [##############################] 100%" + kClear);
}

TEST(ProgressBar, LeavesNothingWhenNothingWasReported) {
    std::ostringstream terminal;
    { ProgressBar bar(terminal, {"a.rdf"}); }
    EXPECT_EQ(terminal.str(), "");
}

} // namespace
} // namespace rdf
