// The host's converter factory and converters, reference-counted like every object the module
// receives from a host. A factory operation hands its caller one reference.
#pragma once

#include "host/HostObjects.h"
#include "interfaces/HostInterfaces.h"

namespace host {

// A new factory with one reference for the caller.
IUnitConverterFactory* CreateConverterFactory(HostObjects& objects);

} // namespace host
