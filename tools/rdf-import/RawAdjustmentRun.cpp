#include "tools/rdf-import/RawAdjustmentRun.h"

#include "adjust/GamaLocal.h"
#include "adjust/Listing.h"
#include "survey/Geometry.h"
#include "tools/rdf-import/OutputFiles.h"
#include "tools/rdf-import/TerminalText.h"

#include <algorithm>
#include <iostream>
#include <iterator>
#include <map>

namespace rdf {
namespace {

using survey::kRadiansPerSecond;
constexpr const char* kGroup = "Adjustment";

const std::map<std::string, adjust::Method> kMethods = {{"3d", adjust::Method::LeastSquares3d},
                                                        {"2d", adjust::Method::LeastSquares2d},
                                                        {"compass", adjust::Method::Compass}};

} // namespace

void AddRawAdjustmentOptions(CLI::App& app, RawAdjustmentTexts& texts) {
    app.add_flag(
           "--adjust{3d}", texts.mode,
           "adjust the raw surveys together: 3d (the default), 2d (distances and height differences) or "
           "compass (the traverses by the compass rule), as --adjust MODE or --adjust=MODE")
        ->check(CLI::IsMember({"3d", "2d", "compass"}))
        ->group(kGroup);
    app.add_flag("--free", texts.free,
                 "--adjust: the control constrains a free network instead of being held")
        ->group(kGroup);
    app.add_option("--sigma-direction", texts.sigmaDirection, "--adjust: a face reading's direction, seconds")
        ->check(CLI::PositiveNumber)
        ->group(kGroup);
    app.add_option("--sigma-zenith", texts.sigmaZenith, "--adjust: a face reading's zenith angle, seconds")
        ->check(CLI::PositiveNumber)
        ->group(kGroup);
    app.add_option("--sigma-distance", texts.sigmaDistance, "--adjust: a distance, MM+PPM such as 2+2")
        ->group(kGroup);
    app.add_option("--centring", texts.centring, "--adjust: the centring of instrument and targets, mm")
        ->check(CLI::NonNegativeNumber)
        ->group(kGroup);
}

std::vector<std::string> JoinAdjustMode(std::vector<std::string> arguments) {
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "--")
            break;
        if (arguments[i] == "--adjust" && kMethods.count(arguments[i + 1])) {
            arguments[i] += "=" + arguments[i + 1];
            arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        }
    }
    return arguments;
}

std::variant<std::optional<adjust::SurveyAdjustmentOptions>, std::string>
MakeRawAdjustmentOptions(const RawAdjustmentTexts& texts, const host::SurveySettings& settings,
                         bool networks) {
    const bool weighted =
        texts.sigmaDirection || texts.sigmaZenith || texts.centring || !texts.sigmaDistance.empty();
    if (texts.mode.empty()) {
        if (texts.free || weighted)
            return std::string("--free and the --sigma and --centring options apply to --adjust");
        return std::optional<adjust::SurveyAdjustmentOptions>();
    }
    if (networks)
        return std::string("--adjust applies to raw data files, not to GNU Gama networks (.gkf)");
    adjust::SurveyAdjustmentOptions options;
    options.method = kMethods.at(texts.mode);
    options.free = texts.free;
    if (texts.sigmaDirection)
        options.weights.direction = *texts.sigmaDirection * kRadiansPerSecond;
    if (texts.sigmaZenith)
        options.weights.zenith = *texts.sigmaZenith * kRadiansPerSecond;
    if (texts.centring)
        options.weights.centring = *texts.centring / 1000;
    if (!texts.sigmaDistance.empty()) {
        const auto distance = adjust::ParseDistanceSigma(texts.sigmaDistance);
        if (!distance)
            return "--sigma-distance takes millimetres and parts per million as MM+PPM (such as 2+2), not " +
                   texts.sigmaDistance;
        options.weights.distanceConstant = distance->first;
        options.weights.distancePpm = distance->second;
    }
    options.reduction = settings.options;
    options.reduction.userPoints.clear(); // the files' reductions hold them, in metres
    // Given in the unit of the output: --units, else metres (a job's own feet are not known yet).
    if (settings.distanceTolerance)
        options.reduction.tolerances.distance =
            *settings.distanceTolerance *
            survey::MetresPer(settings.units.value_or(survey::LengthUnit::Metre));
    return std::optional(std::move(options));
}

std::vector<std::string> TakeNetworkTargets(DestinationOptions& destinations) {
    std::vector<std::string> networks;
    std::vector<std::string>& files = destinations.files;
    // By the name only: a file that is there already is replaced, whatever it holds.
    const auto isNetwork = [&destinations](const std::string& file) {
        return destinations.format.empty() && LowerCaseExtension(file) == ".gkf";
    };
    std::copy_if(files.begin(), files.end(), std::back_inserter(networks), isNetwork);
    files.erase(std::remove_if(files.begin(), files.end(), isNetwork), files.end());
    return networks;
}

void RawAdjustmentRun::WriteNetworks(const std::vector<survey::FileSurvey>& surveys) {
    adjust::SurveyAdjustmentOptions networkOptions = options;
    if (networkOptions.method == adjust::Method::Compass)
        networkOptions.method = adjust::Method::LeastSquares3d;
    const std::string text = adjust::WriteGamaLocal(
        adjust::SurveyNetwork(surveys, adjust::RunWeights(surveys, options.weights), networkOptions),
        options.settings);
    for (const std::string& path : networks) {
        try {
            OutputFile file(path);
            file.Stream() << text;
            if (!file.Finish())
                writeFailures.push_back("cannot write " + path);
        } catch (const std::exception& error) {
            writeFailures.push_back(error.what());
        }
    }
}

void RawAdjustmentRun::Adjust(std::vector<survey::FileSurvey>& surveys, bool quiet) {
    WriteNetworks(surveys);
    adjustment = adjust::AdjustSurveys(surveys, options);
    for (const survey::FileSurvey& file : surveys)
        files.push_back(file.path);
    if (quiet && !Failed())
        return;
    for (const std::string& diagnostic : adjustment.diagnostics)
        std::cerr << ForTerminal(diagnostic) << '\n';
}

void RawAdjustmentRun::WriteJson(host::JsonOut& json) const {
    json.Key("adjustment");
    adjust::AdjustmentJson<host::JsonOut>(json).Write(adjustment.result ? &*adjustment.result : nullptr,
                                                      adjustment.summary);
}

void RawAdjustmentRun::WriteText(host::BufferedOutput& out) const {
    out.Write(adjust::SurveyListingText(adjustment.summary));
    for (const std::string& diagnostic : adjustment.diagnostics)
        out.Write("  " + diagnostic + '\n');
    if (adjustment.result)
        out.Write('\n' + adjust::ListingText(*adjustment.result, files));
}

} // namespace rdf
