// The run's GNU Gama networks (.gkf), adjusted together and written after the raw files.
#pragma once

#include "adjust/GamaLocal.h"
#include "output/Writers.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rdf {

class AdjustmentRun final : public RunSection {
public:
    // `relative` holds "A,B" pairs, already checked.
    AdjustmentRun(const std::vector<std::string>& files, const std::vector<std::string>& relative);

    // Why a file or the network could not be adjusted, as FILE:LINE: message.
    const std::vector<std::string>& Errors() const { return run.errors; }

    void WriteJson(host::JsonOut& json) const override;
    void WriteText(host::BufferedOutput& out) const override;

private:
    adjust::RunAdjustment run;
};

// The --relative pairs as the adjustment takes them.
std::vector<std::pair<std::string, std::string>> RelativePairs(const std::vector<std::string>& relative);

// Splits "A,B" into its two point names; nothing when it is not two names and a comma.
std::optional<std::pair<std::string, std::string>> ParsePointPair(const std::string& text);

// The files of a run that are GNU Gama networks rather than raw data.
std::vector<std::string> NetworkFiles(const std::vector<std::string>& files);

// What is wrong with the --relative pairs, if anything; `adjusting` says --adjust was asked for.
std::optional<std::string> RelativeUsageError(const std::vector<std::string>& relative,
                                              const std::vector<std::string>& networks,
                                              bool adjusting = false);

} // namespace rdf
