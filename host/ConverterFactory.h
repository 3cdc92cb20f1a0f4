// The host's converter factory and converters, reference-counted like every object the module
// receives from a host. A factory operation hands its caller one reference.
#pragma once

#include "host/HostObjects.h"
#include "interfaces/HostInterfaces.h"

#include <string>

namespace host {

// A new factory with one reference for the caller, called `name` in the trace.
IUnitConverterFactory* CreateConverterFactory(HostObjects& objects, std::string name);

} // namespace host
