// The host's converter factory and converters, reference-counted like every object the module
// receives from a host. A factory operation hands its caller one reference.
#pragma once

#include "host/HostObjects.h"
#include "interfaces/HostInterfaces.h"

#include <functional>

namespace host {

// Whether the feet the module asks for now are US survey feet: it asks for feet alone, and only
// the file's own words tell the US survey foot from the international one.
using UsSurveyFeet = std::function<bool()>;

// Which foot the feet of the files are: as each file's "Dist Units:" comment says (the US survey
// foot where it says "US Feet"), or one foot for every file.
enum class Feet { AsTheFileSays, International, UsSurvey };

// A new factory with one reference for the caller; its feet are international ones unless
// `usSurveyFeet` says otherwise when a feet converter is made.
IUnitConverterFactory* CreateConverterFactory(HostObjects& objects, UsSurveyFeet usSurveyFeet = {});

} // namespace host
