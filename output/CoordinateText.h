// The coordinates of a reduced file as text: the CSV point list a surveyor loads into CAD or GIS,
// and the section the listing gains for each file.
#pragma once

#include "host/AngleFormat.h"
#include "host/BufferedOutput.h"
#include "survey/Sightings.h"
#include "survey/Survey.h"

#include <string>

namespace rdf {

// The header row, `name,northing,easting,elevation,code` with the unit named, and the rows, one
// a coordinate as the reduction makes them.
std::string PointListHeader(survey::LengthUnit unit, bool eastingFirst);
void WritePointListRows(host::BufferedOutput& out, const survey::ReducedFile& coordinates,
                        survey::LengthUnit unit, bool eastingFirst);

// The points of every file after an adjustment, each row with its standard deviations (empty
// for a point held fixed), under a header row when `header`. A point shared by files is written
// once.
void WriteAdjustedPointList(host::BufferedOutput& out, const std::vector<survey::FileSurvey>& surveys,
                            survey::LengthUnit unit, bool eastingFirst, bool header);

// The located points, each station's position, orientation and residuals, the face rounds and
// the diagnostics, indented under the file's listing.
void WriteCoordinateListing(host::BufferedOutput& out, const survey::FileSurvey& file,
                            const survey::ReducedFile& coordinates, survey::LengthUnit unit,
                            host::AngleStyle angles);

} // namespace rdf
