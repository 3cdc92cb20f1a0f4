#include "tools/rdf-import/AdjustmentRun.h"

#include "adjust/Listing.h"

namespace rdf {

namespace {

adjust::Settings SettingsFor(const std::vector<std::string>& relative) {
    adjust::Settings settings;
    settings.relative = RelativePairs(relative);
    return settings;
}

} // namespace

std::vector<std::pair<std::string, std::string>> RelativePairs(const std::vector<std::string>& relative) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string& pair : relative)
        if (auto points = ParsePointPair(pair))
            pairs.push_back(*points);
    return pairs;
}

std::optional<std::pair<std::string, std::string>> ParsePointPair(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos || comma == 0 || comma + 1 == text.size() ||
        text.find(',', comma + 1) != std::string::npos)
        return std::nullopt;
    return std::pair{text.substr(0, comma), text.substr(comma + 1)};
}

std::vector<std::string> NetworkFiles(const std::vector<std::string>& files) {
    std::vector<std::string> networks;
    for (const std::string& file : files)
        if (adjust::IsGamaLocalFile(file))
            networks.push_back(file);
    return networks;
}

std::optional<std::string> RelativeUsageError(const std::vector<std::string>& relative,
                                              const std::vector<std::string>& networks, bool adjusting) {
    for (const std::string& pair : relative)
        if (!ParsePointPair(pair))
            return "--relative takes two point names joined by a comma, not " + pair;
    if (!relative.empty() && networks.empty() && !adjusting)
        return std::string("--relative applies to adjusted networks (.gkf files) and to --adjust");
    return std::nullopt;
}

AdjustmentRun::AdjustmentRun(const std::vector<std::string>& files, const std::vector<std::string>& relative)
    : run(adjust::AdjustGamaLocalFiles(files, SettingsFor(relative))) {}

void AdjustmentRun::WriteJson(host::JsonOut& json) const {
    if (!run.result)
        return;
    json.Key("adjustment");
    adjust::AdjustmentJson<host::JsonOut>(json).Write(*run.result);
}

void AdjustmentRun::WriteText(host::BufferedOutput& out) const {
    if (run.result)
        out.Write(adjust::ListingText(*run.result, run.files));
}

} // namespace rdf
