#include "host/Text.h"
#include "tools/rdf-import/Reports.h"

#include <nlohmann/json.hpp>

#include <iomanip>
#include <utility>

namespace rdf {
namespace {

using Json = nlohmann::ordered_json;
using host::ToUtf8;

// Values the host never received are left out rather than written as null.
template <class T> void PutIfPresent(Json& object, const char* key, const std::optional<T>& value) {
    if (value)
        object[key] = *value;
}

void PutIfPresent(Json& object, const char* key, const std::optional<std::wstring>& value) {
    if (value)
        object[key] = ToUtf8(*value);
}

Json ObservationJson(const host::Observation& o) {
    Json json = Json::object();
    json["target"] = ToUtf8(o.target);
    PutIfPresent(json, "targetHeight", o.targetHeight);
    PutIfPresent(json, "slopeDistance", o.slopeDistance);
    PutIfPresent(json, "horizontalAngle", o.horizontalAngle);
    PutIfPresent(json, "verticalAngle", o.verticalAngle);
    PutIfPresent(json, "faceRight", o.faceRight);
    PutIfPresent(json, "code", o.code);
    return json;
}

Json ObservationsJson(const std::vector<host::Observation>& observations) {
    Json json = Json::array();
    for (const host::Observation& o : observations)
        json.push_back(ObservationJson(o));
    return json;
}

Json StationJson(const host::Station& station) {
    Json json = Json::object();
    json["name"] = ToUtf8(station.name);
    PutIfPresent(json, "temperature", station.temperature);
    PutIfPresent(json, "pressure", station.pressure);
    PutIfPresent(json, "instrumentHeight", station.instrumentHeight);
    json["observations"] = ObservationsJson(station.observations);
    return json;
}

Json PointJson(const host::Point& point) {
    Json json = Json::object();
    json["name"] = ToUtf8(point.name);
    PutIfPresent(json, "northing", point.northing);
    PutIfPresent(json, "easting", point.easting);
    PutIfPresent(json, "elevation", point.elevation);
    PutIfPresent(json, "resectionPoint", point.resectionPoint);
    PutIfPresent(json, "attribute", point.attribute);
    PutIfPresent(json, "code", point.code);
    return json;
}

Json FileJson(const host::FileResult& file) {
    Json json = Json::object();
    json["path"] = ToUtf8(file.path);
    json["outcome"] = OutcomeName(file.outcome);
    Json messages = Json::array();
    for (const host::Message& message : file.messages) {
        Json entry = Json::object();
        entry["line"] = message.line ? Json(*message.line + 1) : Json(nullptr);
        entry["text"] = ToUtf8(message.text);
        messages.push_back(entry);
    }
    json["messages"] = messages;
    Json targets = Json::array();
    for (const std::wstring& target : file.targets)
        targets.push_back(ToUtf8(target));
    json["targets"] = targets;
    Json points = Json::array();
    for (const host::Point& point : file.points)
        points.push_back(PointJson(point));
    json["points"] = points;
    json["observationsBeforeStation"] = ObservationsJson(file.observationsBeforeStation);
    Json stations = Json::array();
    for (const host::Station& station : file.stations)
        stations.push_back(StationJson(station));
    json["stations"] = stations;
    return json;
}

} // namespace

void WriteJsonReport(std::ostream& out, const host::ImportModel& model, const host::ModuleIdentity& module) {
    Json json = Json::object();
    json["module"] = {{"name", ToUtf8(module.name)},
                      {"formatName", ToUtf8(module.formatName)},
                      {"fileFilter", ToUtf8(module.fileFilter)},
                      {"id", module.id},
                      {"kind", module.kind}};
    json["units"] = {{"distance", "metre"},
                     {"angle", "radian"},
                     {"temperature", "degree Celsius"},
                     {"pressure", "hectopascal"},
                     {"line", "counted from 1"}};
    Json files = Json::array();
    for (const host::FileResult& file : model.files)
        files.push_back(FileJson(file));
    json["files"] = std::move(files);
    json["unreleasedObjects"] = model.unreleasedObjects;
    // Written straight to the stream: the document as one string would be its largest copy.
    out << std::setw(2) << json << '\n';
}

} // namespace rdf
