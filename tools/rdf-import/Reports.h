// The output formats of rdf-import, each written from the host's import model.
#pragma once

#include "host/ImportModel.h"
#include "host/PluginModule.h"
#include "tools/rdf-import/AngleFormat.h"

#include <ostream>

namespace rdf {

// A readable listing per file, with messages as FILE:LINE: TEXT, lines counted from 1.
void WriteTextListing(std::ostream& out, const host::ImportModel& model, AngleStyle angles);

// One JSON document with everything the host received, in the host's units.
void WriteJsonReport(std::ostream& out, const host::ImportModel& model, const host::ModuleIdentity& module);

// The points of every file, or with `observations` the observations, under a header row.
void WriteCsvReport(std::ostream& out, const host::ImportModel& model, bool observations, AngleStyle angles);

const char* OutcomeName(host::FileOutcome outcome);

} // namespace rdf
