#include "tools/rdf-import/ProgressBar.h"

#include <algorithm>

namespace rdf {
namespace {

constexpr int kBarWidth = 30;
const char kClearLine[] = "\r\033[K";

} // namespace

ProgressBar::~ProgressBar() {
    if (drawn)
        terminal << kClearLine << std::flush;
}

// Redrawn only when the whole percent, the pass or the file changes, so a long file costs no more
// than a hundred redraws per pass.
void ProgressBar::Update(const host::ProgressReport& report) {
    const int percent = std::clamp(static_cast<int>(report.percent), 0, 100);
    if (drawn && percent == shownPercent && report.fileIndex == shownFile && report.pass == shownPass)
        return;
    shownPercent = percent;
    shownFile = report.fileIndex;
    shownPass = report.pass;
    drawn = true;
    const int filled = percent * kBarWidth / 100;
    const std::string name = report.fileIndex < names.size() ? names[report.fileIndex] : std::string();
    terminal << kClearLine << name << " pass " << report.pass << "/2 [" << std::string(filled, '#')
             << std::string(kBarWidth - filled, '.') << "] " << percent << "%" << std::flush;
}

} // namespace rdf
