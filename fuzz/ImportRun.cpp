#include "fuzz/ImportRun.h"

#include "interfaces/CreatePlugin.h"
#include "tests/support/TestSink.h"

#include <exception>

namespace checking {

void RunImport(const std::vector<std::wstring>& paths, CheckingSink& sink) {
    Plugin::IGroundBasedMIP* plugin = CreatePlugin();
    if (plugin == nullptr) {
        sink.Violation("CreatePlugin returned null");
        return;
    }
    testsupport::PathList files(paths);
    try {
        plugin->Import(&files, &sink);
    } catch (const std::exception& error) {
        sink.Violation(std::string("exception left Import: ") + error.what());
    } catch (...) {
        sink.Violation("exception of unknown type left Import");
    }
    sink.EndImport();
    if (!plugin->Release())
        sink.Violation("the plug-in outlived the release of its only reference");
}

} // namespace checking
