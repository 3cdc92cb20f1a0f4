#include "host/Text.h"
#include "host/pipeline/PackedFile.h"
#include "output/Writers.h"

namespace rdf {
namespace {

using host::JsonField;
using host::PackedFileReader;
using host::ToUtf8;

// An observation, laid out whole.
void WriteObservation(host::JsonOut& json, const host::PackedObservation& o) {
    json.Object(JsonField{"target", o.target}, JsonField{"targetHeight", o.targetHeight},
                JsonField{"slopeDistance", o.slopeDistance},
                JsonField{"horizontalAngle", host::Computed(o.horizontalAngle)},
                JsonField{"verticalAngle", host::Computed(o.verticalAngle)},
                JsonField{"faceRight", o.faceRight}, JsonField{"code", o.code});
}

// Each section of a file's object is one reading of the packed file, taking only its kind.
class TargetsJson final : public PackedFileReader {
public:
    explicit TargetsJson(host::JsonOut& json) : PackedFileReader(kTargets), json(json) {}
    void Target(std::string_view name) override { json.String(name); }

private:
    host::JsonOut& json;
};

class PointsJson final : public PackedFileReader {
public:
    explicit PointsJson(host::JsonOut& json) : PackedFileReader(kPoints), json(json) {}
    void Point(const host::PackedPoint& p) override {
        json.Object(JsonField{"name", p.name}, JsonField{"northing", p.northing},
                    JsonField{"easting", p.easting}, JsonField{"elevation", p.elevation},
                    JsonField{"resectionPoint", p.resectionPoint}, JsonField{"attribute", p.attribute},
                    JsonField{"code", p.code});
    }

private:
    host::JsonOut& json;
};

// The reading ends at the first station.
class ObservationsBeforeStationJson final : public PackedFileReader {
public:
    explicit ObservationsBeforeStationJson(host::JsonOut& json)
        : PackedFileReader(kObservations, kStations), json(json) {}
    void Observation(const host::PackedObservation& o) override { WriteObservation(json, o); }

private:
    host::JsonOut& json;
};

// Each station's object stays open while its observations follow.
class StationsJson final : public PackedFileReader {
public:
    explicit StationsJson(host::JsonOut& json) : PackedFileReader(kStations | kObservations), json(json) {}

    void Station(const host::PackedStation& s) override {
        CloseStation();
        json.StartObject();
        json.Member("name", s.name);
        json.Member("temperature", s.temperature);
        json.Member("pressure", s.pressure);
        json.Member("instrumentHeight", s.instrumentHeight);
        json.Key("observations");
        json.StartArray();
        open = true;
    }
    void Observation(const host::PackedObservation& o) override {
        if (open)
            WriteObservation(json, o);
    }

    void End() override { CloseStation(); }

private:
    void CloseStation() {
        if (!open)
            return;
        json.EndArray();
        json.EndObject();
        open = false;
    }

    host::JsonOut& json;
    bool open = false;
};

class JsonWriter final : public host::PackedFileWriter {
public:
    JsonWriter(host::BufferedOutput& out, const WriterSettings& settings)
        : host::PackedFileWriter(settings.sections), out(out), json(out), runSections(settings.runSections) {
        json.StartObject();
        json.Key("module");
        json.StartObject();
        json.Member("name", ToUtf8(settings.module.name));
        json.Member("formatName", ToUtf8(settings.module.formatName));
        json.Member("fileFilter", ToUtf8(settings.module.fileFilter));
        json.Member("id", settings.module.id);
        json.Member("kind", settings.module.kind);
        json.EndObject();
        json.Key("units");
        json.StartObject();
        json.Member("distance", "metre");
        json.Member("angle", "radian");
        json.Member("temperature", "degree Celsius");
        json.Member("pressure", "hectopascal");
        json.Member("line", "counted from 1");
        json.EndObject();
        json.Key("files");
        json.StartArray();
    }

    void ImportEnded(const host::ImportEnd& end) override {
        json.EndArray();
        for (const RunSection* section : runSections)
            section->WriteJson(json);
        json.Member("unreleasedObjects", end.unreleasedObjects);
        json.EndObject();
        out.Put('\n');
    }

private:
    void WriteFile(const host::FileEnd& end) override {
        json.StartObject();
        json.Member("path", ToUtf8(end.path));
        json.Member("outcome", host::OutcomeName(end.outcome));
        json.Key("messages");
        json.StartArray();
        for (const host::Message& message : messages) {
            json.StartObject();
            json.Key("line");
            if (message.line)
                json.Int(*message.line + 1);
            else
                json.Null();
            json.Member("text", ToUtf8(message.text));
            json.EndObject();
        }
        json.EndArray();
        Section<TargetsJson>("targets");
        Section<PointsJson>("points");
        Section<ObservationsBeforeStationJson>("observationsBeforeStation");
        Section<StationsJson>("stations");
        file.Clear();
        for (host::FileSection* section : sections)
            section->WriteJson(json, end);
        json.EndObject();
    }

    template <class Reader> void Section(const char* key) {
        json.Key(key);
        json.StartArray();
        Reader reader(json);
        file.Read(reader);
        json.EndArray();
    }

    host::BufferedOutput& out;
    host::JsonOut json;
    const std::vector<const RunSection*> runSections;
};

} // namespace

std::unique_ptr<host::ImportEvents> MakeJsonWriter(host::BufferedOutput& out,
                                                   const WriterSettings& settings) {
    return std::make_unique<JsonWriter>(out, settings);
}

} // namespace rdf
