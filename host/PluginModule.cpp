#include "host/PluginModule.h"

#include "host/PathList.h"
#include "host/trace/TracingHost.h"
#include "interfaces/CreatePlugin.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace host {
namespace {

struct OleStringDeleter {
    void operator()(wchar_t* text) const { SysFreeString(text); }
};

// Takes ownership of a BSTR the module allocated; null reads as empty.
std::wstring TakeOleString(BSTR text) {
    const std::unique_ptr<wchar_t, OleStringDeleter> owned(text);
    return owned ? std::wstring(owned.get(), SysStringLen(owned.get())) : std::wstring();
}

// GetId in the form this compiler declares it (see interfaces/PluginInterfaces.h).
GUID ReadId(Plugin::IPlugin& plugin) {
#if defined(_WIN32) && !defined(_MSC_VER)
    GUID id{};
    return *plugin.GetId(&id);
#else
    return plugin.GetId();
#endif
}

} // namespace

std::string FormatGuid(const GUID& id) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
                  id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    return text;
}

PluginModule::PluginModule(const std::filesystem::path& path) {
    std::string error;
    if (!library.Open(path, error))
        throw std::runtime_error("cannot load the module " + path.u8string() + ": " + error);
    const auto create = reinterpret_cast<CreatePluginFunction>(library.Symbol(kCreatePluginName));
    if (create == nullptr)
        throw std::runtime_error("the module " + path.u8string() + " exports no CreatePlugin");
    plugin = Plugin::RefPtr<Plugin::IGroundBasedMIP>::Adopt(create());
    if (!plugin)
        throw std::runtime_error("the module " + path.u8string() + " created no plug-in object");
}

ModuleIdentity PluginModule::Identity() const {
    ModuleIdentity identity;
    identity.name = TakeOleString(plugin->GetName());
    identity.formatName = TakeOleString(plugin->GetFormatName());
    identity.fileFilter = TakeOleString(plugin->GetFileFilter());
    identity.id = FormatGuid(ReadId(*plugin.Get()));
    identity.kind = plugin->GetKind();
    return identity;
}

void PluginModule::Import(const std::vector<std::wstring>& paths, ImportEvents& events, CallTrace* trace,
                          const ProgressListener& progress, Feet feet) const {
    HostObjects objects;
    PathList files(paths);
    EventSink sink(objects, events, progress, feet);
    if (trace != nullptr) {
        TracingFileList tracedFiles(*trace, files);
        TracingSink tracedSink(*trace, sink);
        plugin->Import(&tracedFiles, &tracedSink);
    } else {
        plugin->Import(&files, &sink);
    }
    sink.Finish();
}

} // namespace host
