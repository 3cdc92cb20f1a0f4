// A one-line progress bar on a terminal, redrawn as the module reports progress.
#pragma once

#include "host/pipeline/EventSink.h"

#include <ostream>
#include <string>
#include <vector>

namespace rdf {

class ProgressBar {
public:
    // `names` are the files in import order, as the user gave them.
    ProgressBar(std::ostream& terminal, std::vector<std::string> names)
        : terminal(terminal), names(std::move(names)) {}
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    // Clears the line, so that what follows starts on a clean one.
    ~ProgressBar();

    void Update(const host::ProgressReport& report);

private:
    std::ostream& terminal;
    std::vector<std::string> names;
    int shownPercent = -1;
    std::size_t shownFile = 0;
    int shownPass = 0;
    bool drawn = false;
};

} // namespace rdf
