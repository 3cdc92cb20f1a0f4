#include "tests/support/FileCollector.h"

namespace testsupport {

void FileCollector::FileBegun(const host::FileBegin& begin) {
    file = host::FileResult();
    file.path = begin.path;
}

void FileCollector::TargetAnnounced(std::wstring_view name) {
    file.targets.emplace_back(name);
}

void FileCollector::StationReady(const host::Station& station) {
    file.stations.push_back(station);
}

void FileCollector::ObservationReady(const host::Observation& observation) {
    auto& list = file.stations.empty() ? file.observationsBeforeStation : file.stations.back().observations;
    list.push_back(observation);
}

void FileCollector::PointReady(const host::Point& point) {
    file.points.push_back(point);
}

void FileCollector::MessageReported(const host::Message& message) {
    file.messages.push_back(message);
}

void FileCollector::FileEnded(const host::FileEnd& end) {
    file.outcome = end.outcome;
    done(file);
    file = host::FileResult();
}

} // namespace testsupport
