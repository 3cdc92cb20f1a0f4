// The body of Import: walks the host's file list and runs the two parser passes over each file.
#pragma once

#include "interfaces/HostInterfaces.h"
#include "platform/TextFile.h"
#include "plugin/LineList.h"

#include <string>

void ImportFiles(IImportFileList* files, IMeasurementSink* sink);
// The whole of an opened file: its plain ASCII lines as they are, the others converted from the
// thread's ANSI code page.
LineList ReadLines(platform::SharedTextFile& file);
// One file; its outcome goes to the sink.
void ImportFile(const std::wstring& path, IMeasurementSink* sink);
// One parser pass over the lines, which it splits in place; the pre-scan leaves them as they
// were, the import pass (their last reader) does not. Returns the parser's recordRecognised.
bool RunPass(IMeasurementSink* sink, LineList& lines, bool preScan);
