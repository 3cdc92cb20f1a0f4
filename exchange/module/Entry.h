// The exchange writers as a loadable module (rdf-exchange.so): GDAL, libxml2 and the libraries they
// pull in are loaded only by a run that writes an exchange format. The module exports one function,
// which hands out its writers as a table. Module and program are built together from one tree, so C++
// types cross as they do within one program; exceptions do not: an error comes back as its kind and
// message, with the data the program words it from.
#pragma once

#include "exchange/Formats.h"
#include "survey/Survey.h"

#include <optional>
#include <string>
#include <vector>

namespace exchange::module {

struct Failure {
    Error::Kind kind;
    Problem problem;
    std::vector<std::string> names;
    std::string message;
};

using WriteFunction = std::optional<Failure> (*)(const std::vector<survey::FileSurvey>& surveys,
                                                 const Destination& destination);
using CheckFunction = std::optional<Failure> (*)(const Destination& destination);

struct Entry {
    const char* version; // of the build that made the module: another build's types may differ
    WriteFunction write; // exchange::Write
    CheckFunction check; // exchange::Check
};

using EntryFunction = const Entry* (*)();
constexpr const char* kEntryName = "NikonExchangeEntry";

} // namespace exchange::module
