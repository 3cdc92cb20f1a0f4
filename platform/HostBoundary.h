// Where the module meets its host: CreatePlugin and Import run their bodies through these.
// On POSIX the module and its hosts share one C++ runtime, so failures pass as they are. On
// Windows the host is built by Microsoft's compiler: failures the module raises leave as that
// compiler's exceptions, and an exception a host operation throws travels back through the
// module's frames, which release what they hold, to reach the host as it was thrown.
#pragma once

#include "interfaces/HostInterfaces.h"
#include "interfaces/PluginInterfaces.h"

namespace platform {

using ImportBody = void (*)(IImportFileList* files, IMeasurementSink* sink);

#ifdef _WIN32
void ImportAcrossBoundary(IImportFileList* files, IMeasurementSink* sink, ImportBody body);
Plugin::IGroundBasedMIP* CreateAcrossBoundary(Plugin::IGroundBasedMIP* (*create)());
#else
inline void ImportAcrossBoundary(IImportFileList* files, IMeasurementSink* sink, ImportBody body) {
    body(files, sink);
}
inline Plugin::IGroundBasedMIP* CreateAcrossBoundary(Plugin::IGroundBasedMIP* (*create)()) {
    return create();
}
#endif

} // namespace platform
