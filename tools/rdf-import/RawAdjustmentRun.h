// --adjust: the run's raw surveys adjusted together once every file is reduced, before the
// outputs that take the whole run; its closures, weights, tests and flagged observations written
// after the files.
#pragma once

#include "adjust/SurveyNetwork.h"
#include "tools/rdf-import/Destinations.h"
#include "host/pipeline/FileSurvey.h"
#include "output/Writers.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace rdf {

struct RawAdjustmentTexts {
    std::string mode; // "3d", "2d" or "compass"; empty without --adjust
    bool free = false;
    std::optional<double> sigmaDirection, sigmaZenith, centring; // seconds, seconds, millimetres
    std::string sigmaDistance;                                   // "MM+PPM"
};

void AddRawAdjustmentOptions(CLI::App& app, RawAdjustmentTexts& texts);
// "--adjust MODE" as "--adjust=MODE", so that a bare --adjust never takes the file after it.
std::vector<std::string> JoinAdjustMode(std::vector<std::string> arguments);

// The options, nothing without --adjust, or the text of what is wrong with them.
std::variant<std::optional<adjust::SurveyAdjustmentOptions>, std::string>
MakeRawAdjustmentOptions(const RawAdjustmentTexts& texts, const host::SurveySettings& settings, bool networks);

// Takes the --to files that name GNU Gama networks (NAME.gkf) out of the destinations: the
// adjustment writes them, the network it adjusts.
std::vector<std::string> TakeNetworkTargets(DestinationOptions& destinations);

class RawAdjustmentRun final : public RunSection {
public:
    // `networks` are the files the network is written to, in gama-local XML, before it is adjusted.
    RawAdjustmentRun(adjust::SurveyAdjustmentOptions options, std::vector<std::string> networks)
        : options(std::move(options)), networks(std::move(networks)) {}

    // Adjusts the surveys in place and names the flagged observations on standard error unless
    // `quiet`; why an adjustment failed is named always.
    void Adjust(std::vector<survey::FileSurvey>& surveys, bool quiet);
    const survey::AdjustmentSummary& Summary() const { return adjustment.summary; }
    // The least-squares adjustment was asked for and could not be made.
    bool Failed() const { return options.method != adjust::Method::Compass && !adjustment.result; }
    // Why a network file could not be written, one message each.
    const std::vector<std::string>& WriteFailures() const { return writeFailures; }

    void WriteJson(host::JsonOut& json) const override;
    void WriteText(host::BufferedOutput& out) const override;

private:
    adjust::SurveyAdjustmentOptions options;
    adjust::SurveyAdjustment adjustment;
    std::vector<std::string> networks;
    std::vector<std::string> files;
    std::vector<std::string> writeFailures;

    void WriteNetworks(const std::vector<survey::FileSurvey>& surveys);
};

} // namespace rdf
