// The plug-in object the host receives from CreatePlugin. It holds nothing but its count.
#pragma once

#include "interfaces/PluginInterfaces.h"
#include "interfaces/RefCountedImpl.h"

class CImportPluginImpl : public Plugin::CPluginImpl<Plugin::IGroundBasedMIP> {
public:
    Plugin::IPlugin* GetInterface(std::int32_t id) override;
    BSTR GetName() override;
#if defined(_WIN32) && !defined(_MSC_VER)
    GUID* GetId(GUID* result) override;
#else
    GUID GetId() override;
#endif
    std::int32_t GetKind() override;
    void Reserved1() override {}
    void Reserved2() override {}
    std::int32_t Reserved3() override {
        return 0;
    }
    BSTR GetFileFilter() override;
    BSTR GetFormatName() override;
    void Import(IImportFileList* files, IMeasurementSink* sink) override;
};
