#include "host/Text.h"
#include "output/Writers.h"

#include <initializer_list>
#include <string>

namespace rdf {
namespace {

using host::ToUtf8;

std::string Number(const std::optional<double>& value) {
    return value ? host::ShortestDecimal(*value) : "";
}

std::string Text(const std::optional<std::wstring>& text) {
    return text ? ToUtf8(*text) : "";
}

// Rows are written as their items come: the points of every file, or the observations with
// the name of the station they were taken from.
class CsvWriter final : public host::ImportEvents {
public:
    CsvWriter(host::BufferedOutput& out, const WriterSettings& settings)
        : out(out), observations(settings.observations),
          angles(settings.angles.value_or(host::AngleStyle::Radians)) {
        if (observations)
            WriteRow({"station", "target", "face", "target_height", "slope_distance", "horizontal_angle",
                      "vertical_angle", "code"});
        else
            WriteRow({"name", "northing", "easting", "elevation", "code"});
    }

    void FileBegun(const host::FileBegin&) override { station.clear(); }
    void StationReady(const host::Station& s) override { station = ToUtf8(s.name); }

    void PointReady(const host::Point& p) override {
        if (!observations)
            WriteRow(
                {ToUtf8(p.name), Number(p.northing), Number(p.easting), Number(p.elevation), Text(p.code)});
    }

    bool ReadsObservations() const override { return observations; }

    void ObservationReady(const host::Observation& o) override {
        if (!observations)
            return;
        const std::string face = o.faceRight ? (*o.faceRight ? "right" : "left") : "";
        WriteRow({station, ToUtf8(o.target), face, Number(o.targetHeight), Number(o.slopeDistance),
                  Angle(o.horizontalAngle), Angle(o.verticalAngle), Text(o.code)});
    }

private:
    std::string Angle(const std::optional<double>& value) const {
        return value ? host::AngleNumber(*value, angles) : "";
    }

    void WriteRow(std::initializer_list<std::string> fields) {
        line.clear();
        for (const std::string& field : fields) {
            if (&field != fields.begin())
                line += ',';
            host::AppendCsvField(line, field);
        }
        line += '\n';
        out.Write(line);
    }

    host::BufferedOutput& out;
    const bool observations;
    const host::AngleStyle angles;
    std::string station; // of the observations that follow, in this file
    std::string line;    // reused for every row
};

} // namespace

std::unique_ptr<host::ImportEvents> MakeCsvWriter(host::BufferedOutput& out, const WriterSettings& settings) {
    return std::make_unique<CsvWriter>(out, settings);
}

} // namespace rdf
