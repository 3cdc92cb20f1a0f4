#include "host/pipeline/FileCollector.h"

namespace host {

void FileCollector::FileBegun(const FileBegin& begin) {
    file = FileResult();
    file.path = begin.path;
}

void FileCollector::TargetAnnounced(std::wstring_view name) {
    file.targets.emplace_back(name);
}

void FileCollector::StationReady(const Station& station) {
    file.stations.push_back(station);
}

void FileCollector::ObservationReady(const Observation& observation) {
    auto& list = file.stations.empty() ? file.observationsBeforeStation : file.stations.back().observations;
    list.push_back(observation);
}

void FileCollector::PointReady(const Point& point) {
    file.points.push_back(point);
}

void FileCollector::MessageReported(const Message& message) {
    file.messages.push_back(message);
}

void FileCollector::FileEnded(const FileEnd& end) {
    file.outcome = end.outcome;
    done(file);
    file = FileResult();
}

} // namespace host
