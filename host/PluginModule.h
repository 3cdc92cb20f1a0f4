// The module as a host holds it: the loaded library, the plug-in object from its factory, and
// the import of a list of paths as events.
#pragma once

#include "host/pipeline/EventSink.h"
#include "host/pipeline/ImportEvents.h"
#include "host/trace/CallTrace.h"
#include "interfaces/PluginInterfaces.h"
#include "interfaces/RefPtr.h"
#include "platform/DynamicLibrary.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace host {

struct ModuleIdentity {
    std::wstring name;
    std::wstring formatName;
    std::wstring fileFilter;
    std::string id; // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    std::int32_t kind = 0;
};

class PluginModule {
public:
    // Loads the library and creates its plug-in object; std::runtime_error names what failed.
    explicit PluginModule(const std::filesystem::path& path);
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;
    // Releases the plug-in object, then unloads the library.
    ~PluginModule() = default;

    // Every identity text the module allocates is freed here.
    ModuleIdentity Identity() const;

    // One Import call over `paths`, its events handed to `events` as they come, ending with
    // ImportEnded. With a `trace`, every call the module makes into the host is logged there.
    // `trace` and `progress` may be empty.
    void Import(const std::vector<std::wstring>& paths, ImportEvents& events, CallTrace* trace,
                const ProgressListener& progress, Feet feet = Feet::AsTheFileSays) const;

private:
    platform::DynamicLibrary library;               // declared first, so unloaded last
    Plugin::RefPtr<Plugin::IGroundBasedMIP> plugin; // adopts CreatePlugin's reference
};

std::string FormatGuid(const GUID& id);

} // namespace host
