#include "fuzz/ImportRun.h"

#include "interfaces/PluginInterfaces.h"

#include <exception>

extern "C" Plugin::IGroundBasedMIP* CreatePlugin();

namespace checking {

void RunImport(const std::vector<std::wstring>& paths, CheckingSink& sink) {
    Plugin::IGroundBasedMIP* plugin = CreatePlugin();
    if (plugin == nullptr) {
        sink.Violation("CreatePlugin returned null");
        return;
    }
    FileList files(paths);
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

std::wstring WidePath(const std::string& path) {
    std::wstring wide;
    for (std::size_t i = 0; i < path.size();) {
        const auto lead = static_cast<unsigned char>(path[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        std::uint32_t code = extra == 0 ? lead : lead & (0x3Fu >> extra);
        ++i;
        for (int k = 0; k < extra && i < path.size(); ++k, ++i)
            code = (code << 6) | (static_cast<unsigned char>(path[i]) & 0x3Fu);
        wide += static_cast<wchar_t>(code);
    }
    return wide;
}

} // namespace checking
