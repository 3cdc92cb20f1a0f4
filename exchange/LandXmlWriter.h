// LandXML 1.2: the points as CgPoints and the instrument set-ups with their raw observations.
#pragma once

#include "exchange/ReferenceSystem.h"
#include "exchange/Staging.h"

#include "survey/Survey.h"

#include <optional>
#include <string>
#include <vector>

namespace exchange {

void WriteLandXml(const std::vector<survey::FileSurvey>& surveys,
                  const std::optional<ReferenceSystem>& system, Staging& staging);

// Throws Error (Usage) for a reference system whose linear unit LandXML cannot name, before
// anything is written.
void CheckLandXmlSystem(const std::optional<ReferenceSystem>& system);

// The LandXML angularUnit for the jobs' own angle unit: the one they share, else decimal degrees.
std::string LandXmlAngularUnit(const std::vector<survey::FileSurvey>& surveys);

// An angle in a LandXML angular unit, as the text of an attribute.
std::string FormatAngle(double radians, const std::string& angularUnit);

} // namespace exchange
