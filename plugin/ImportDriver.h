// The body of Import: walks the host's file list and runs the two parser passes over each file.
#pragma once

#include "interfaces/HostInterfaces.h"

#include <string>
#include <vector>

using LineList = std::vector<std::wstring>;

void ImportFiles(IImportFileList* files, IMeasurementSink* sink);
// One file; its outcome goes to the sink.
void ImportFile(const std::wstring& path, IMeasurementSink* sink);
// One parser pass over the lines, which it splits in place and leaves as they were; the
// parser's recordRecognised.
bool RunPass(IMeasurementSink* sink, LineList& lines, bool preScan);
