// The plug-in object as the host sees it: one chain of interfaces, one operation table.
//
// Table order is part of the binary contract with a host built by Microsoft's compiler, so
// every operation here has a unique name (the two compilers order overloads differently) and
// nothing may be inserted or reordered. The implementation's virtual destructor comes after
// every operation: one slot under Microsoft's compiler, two under GCC, so hosts must never call it.
#pragma once

#include "interfaces/HostInterfaces.h"
#include "interfaces/RefCounted.h"
#include "platform/Guid.h"
#include "platform/OleString.h"

#include <cstdint>

namespace Plugin {

struct IPlugin : IRefCounted {
    // Ids 0, 1 and 2 give this object with one more reference; any other id gives null.
    virtual IPlugin* GetInterface(std::int32_t id) = 0;
    // A new OLE string that the caller frees.
    virtual BSTR GetName() = 0;
#if defined(_WIN32) && !defined(_MSC_VER)
    // Microsoft's compiler passes `this` first and the result's address second, and returns that
    // address; GCC swaps the two for `GUID GetId()`. Spelling the hidden pointer out gives the
    // host's order.
    virtual GUID* GetId(GUID* result) = 0;
#else
    virtual GUID GetId() = 0;
#endif
    virtual std::int32_t GetKind() = 0;
};

struct IFileImportPlugin : IPlugin {
    // Slots the host fills with operations of its own; this module reads none of their arguments.
    virtual void Reserved1() = 0;
    virtual void Reserved2() = 0;
    virtual std::int32_t Reserved3() = 0;
    virtual BSTR GetFileFilter() = 0;
    virtual BSTR GetFormatName() = 0;
};

struct IGroundBasedMIP : IFileImportPlugin {
    // Imports every file of the list into the sink. Neither pointer is kept after the call.
    virtual void Import(IImportFileList* files, IMeasurementSink* sink) = 0;
};

} // namespace Plugin
