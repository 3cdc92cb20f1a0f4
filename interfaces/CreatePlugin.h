// The module's one export, as hosts that link it or look it up by name see it.
#pragma once

#include "interfaces/PluginInterfaces.h"

// A new plug-in object holding one reference for the caller.
extern "C" Plugin::IGroundBasedMIP* CreatePlugin();

using CreatePluginFunction = Plugin::IGroundBasedMIP* (*)();
constexpr const char* kCreatePluginName = "CreatePlugin";
