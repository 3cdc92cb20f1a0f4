#include "fuzz/host/HostRun.h"

#include "host/HostObjects.h"
#include "host/PathList.h"
#include "host/Text.h"
#include "host/pipeline/EventFanOut.h"
#include "host/pipeline/EventSink.h"
#include "host/trace/CallTrace.h"
#include "host/trace/TracingHost.h"
#include "interfaces/CreatePlugin.h"
#include "interfaces/RefPtr.h"
#include "tools/rdf-import/coordinates/Coordinates.h"
#include "tools/rdf-import/coordinates/SurveyOptions.h"

#include <memory>
#include <sstream>
#include <stdexcept>

namespace hostfuzz {
namespace {

// What PluginModule::Import does, with the plug-in of the module linked in rather than loaded.
void Import(const std::string& path, host::ImportEvents& events, host::CallTrace* trace, host::Feet feet) {
    const auto plugin = Plugin::RefPtr<Plugin::IGroundBasedMIP>::Adopt(CreatePlugin());
    if (!plugin)
        throw std::logic_error("CreatePlugin returned null");
    host::HostObjects objects;
    host::PathList files({host::FileNameFromBytes(path)});
    host::EventSink sink(objects, events, {}, feet);
    if (trace != nullptr) {
        host::TracingFileList tracedFiles(*trace, files);
        host::TracingSink tracedSink(*trace, sink);
        plugin->Import(&tracedFiles, &tracedSink);
    } else {
        plugin->Import(&files, &sink);
    }
    sink.Finish();
}

} // namespace

HostRunResult RunFormat(const std::string& path, const rdf::StreamWriter& format,
                        const HostRunOptions& options) {
    HostRunResult result;
    std::ostringstream stream;
    rdf::WriterSettings settings;
    settings.angles = options.angles;
    settings.observations = options.observations;
    settings.module.name = L"Nikon";

    // The consumers in rdf-import's order: the reduction, the writer, the feeder.
    host::EventFanOut events;
    host::BufferedOutput out(stream);
    rdf::Coordinates coordinates(options.survey, options.angles.value_or(rdf::AngleStyle::Dms));
    coordinates.OnRunEnded(
        [&result](const std::vector<survey::FileSurvey>& surveys) { result.surveys = surveys; });
    if (format.make == nullptr && format.reduction == rdf::Reduction::Shown)
        coordinates.WritePointList(out, true);
    settings.sections.push_back(&coordinates);
    events.Add(coordinates);
    const std::unique_ptr<host::ImportEvents> writer = format.make ? format.make(out, settings) : nullptr;
    if (writer)
        events.Add(*writer);
    const std::unique_ptr<host::ImportEvents> feeder =
        format.files == rdf::Files::HeldWhole ? nullptr : rdf::MakeSectionFeeder(settings);
    if (feeder)
        events.Add(*feeder);
    std::optional<host::CallTrace> trace;
    if (format.trace == rdf::Trace::ModuleCalls)
        trace.emplace(stream);
    Import(path, events, trace ? &*trace : nullptr, rdf::FeetOf(options.survey));
    if (trace)
        trace->Flush();
    out.WriteOut();
    result.output = stream.str();
    return result;
}

} // namespace hostfuzz
