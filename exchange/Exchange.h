// Writing the reduced survey of an import run into the exchange formats of GIS and CAD programs
// (through GDAL) and into LandXML.
#pragma once

#include "exchange/Formats.h"
#include "survey/Survey.h"

#include <vector>

namespace exchange {

// Writes every file's points, stations and observations into one destination. Nothing appears under
// the requested name unless the whole file was written. Throws Error.
void Write(const std::vector<survey::FileSurvey>& surveys, const Destination& destination);

// Throws the usage errors Write would throw, before any work is done.
void Check(const Destination& destination);

} // namespace exchange
