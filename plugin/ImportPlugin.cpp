#include "plugin/ImportPlugin.h"

#include "interfaces/CreatePlugin.h"
#include "platform/Export.h"
#include "platform/HostBoundary.h"
#include "plugin/ImportDriver.h"
#include "resources/identity.h"

#include <new>

namespace {

constexpr GUID kPluginId = NIKON_PLUGIN_GUID_INIT;

} // namespace

Plugin::IPlugin* CImportPluginImpl::GetInterface(std::int32_t id) {
    // One object serves IPlugin, IFileImportPlugin and IGroundBasedMIP alike.
    if (id < 0 || id > 2)
        return nullptr;
    AddRef();
    return this;
}

BSTR CImportPluginImpl::GetName() {
    return SysAllocString(NIKON_PLUGIN_NAME);
}
#if defined(_WIN32) && !defined(_MSC_VER)
GUID* CImportPluginImpl::GetId(GUID* result) {
    *result = kPluginId;
    return result;
}
#else
GUID CImportPluginImpl::GetId() {
    return kPluginId;
}
#endif
std::int32_t CImportPluginImpl::GetKind() {
    return NIKON_PLUGIN_KIND;
}
BSTR CImportPluginImpl::GetFileFilter() {
    return SysAllocString(NIKON_FILE_FILTER);
}
BSTR CImportPluginImpl::GetFormatName() {
    return SysAllocString(NIKON_PLUGIN_NAME);
}

void CImportPluginImpl::Import(IImportFileList* files, IMeasurementSink* sink) {
    platform::ImportAcrossBoundary(files, sink, ImportFiles);
}

// Declared for hosts in interfaces/CreatePlugin.h. The caller receives one reference. Out of memory
// leaves as std::bad_alloc, in the host's form (platform/HostBoundary.h); never null.
PLUGIN_EXPORT Plugin::IGroundBasedMIP* CreatePlugin() {
    return platform::CreateAcrossBoundary([]() -> Plugin::IGroundBasedMIP* {
        Plugin::IGroundBasedMIP* plugin = new CImportPluginImpl;
        plugin->AddRef();
        return plugin;
    });
}
