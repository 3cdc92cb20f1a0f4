#include "exchange/LandXmlWriter.h"

#include "exchange/Exchange.h"
#include "exchange/SurveyRows.h"
#include "survey/Geometry.h"
#include "survey/Sightings.h"

#include <libxml/xmlwriter.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

namespace exchange {
namespace {

using survey::kPi;
constexpr const char* kNamespace = "http://www.landxml.org/schema/LandXML-1.2";
constexpr const char* kSchemaLocation =
    "http://www.landxml.org/schema/LandXML-1.2 http://www.landxml.org/schema/LandXML-1.2/LandXML-1.2.xsd";
constexpr const char* kDecimalDegrees = "decimal degrees";
constexpr const char* kDegreesMinutesSeconds = "decimal dd.mm.ss";
constexpr const char* kGrads = "grads";
constexpr const char* kPrecisionFeatureCode = "adjusted point precision";

// The schema requires temperature and pressure units beside the lengths; each system's own are
// declared, though no temperature or pressure is written.
struct LinearUnit {
    survey::LengthUnit unit;
    const char* system; // the Units child element
    const char* linearUnit;
    const char* areaUnit;
    const char* volumeUnit;
    const char* temperatureUnit;
    const char* pressureUnit;
};
constexpr LinearUnit kLinearUnits[] = {
    {survey::LengthUnit::Metre, "Metric", "meter", "squareMeter", "cubicMeter", "celsius", "HPA"},
    {survey::LengthUnit::InternationalFoot, "Imperial", "foot", "squareFoot", "cubicFeet", "fahrenheit",
     "inHG"},
    {survey::LengthUnit::UsSurveyFoot, "Imperial", "USSurveyFoot", "squareFoot", "cubicFeet", "fahrenheit",
     "inHG"},
};

// The LandXML unit of a job's angles. Mils have none; their files, and files that do not say, fall
// back to decimal degrees.
std::string JobAngularUnit(const survey::FileSurvey& file) {
    switch (file.job.facts.angleUnit.value_or(survey::AngleUnit::Degrees)) {
    case survey::AngleUnit::DegreesMinutesSeconds:
        return kDegreesMinutesSeconds;
    case survey::AngleUnit::Gons:
        return kGrads;
    case survey::AngleUnit::Degrees:
    case survey::AngleUnit::Mils:
        break;
    }
    return kDecimalDegrees;
}

const LinearUnit& FindLinearUnit(const std::optional<ReferenceSystem>& system) {
    const double metres = system ? system->metresPerUnit : 1.0;
    for (const LinearUnit& unit : kLinearUnits) {
        if (std::fabs(survey::MetresPer(unit.unit) - metres) < 1e-9)
            return unit;
    }
    throw Error(Error::Kind::Usage, Problem::NoLandXmlUnit, {system->name},
                "LandXML has no unit for the linear unit of " + system->name);
}

// Every digit of any double (1e308 has 309 before the point); XML Schema's words for the others.
std::string Number(double value, int decimals) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    char text[400]; // 309 digits, a sign, the point and the decimals
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, written.ptr);
}

// A file by its name alone: the folders it was read from are the user's, not the survey's.
std::string FileName(const std::string& path) {
    return std::filesystem::u8path(path).filename().u8string();
}

std::string DegreesMinutesSeconds(double radians) {
    // Whole hundredths of a second first, so that rounding carries into minutes and degrees.
    constexpr long long kHundredthsPerTurn = 360LL * 360000;
    // Within a turn first, so that no angle overflows the count; XML Schema's word for no number.
    if (!std::isfinite(radians))
        return "NaN";
    const long long hundredths =
        std::llround(std::fmod(radians, 2 * kPi) * 180.0 / kPi * 360000.0) % kHundredthsPerTurn;
    char text[64];
    std::snprintf(text, sizeof text, "%lld.%02lld%04lld", hundredths / 360000, hundredths / 6000 % 60,
                  hundredths % 6000);
    return text;
}

// XML 1.0 has no way to write the control characters other than tab and the line ends, not even as
// references, and a NUL would cut the C string the writer takes: each becomes U+FFFD, so a name
// with one still makes a well-formed document.
std::string XmlCharacters(const std::string& text) {
    std::string safe;
    safe.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r')
            safe += "\xEF\xBF\xBD";
        else
            safe += c;
    }
    return safe;
}

class XmlWriter {
public:
    XmlWriter(const std::string& path, const std::string& target) : m_target(target) {
        m_writer.reset(xmlNewTextWriterFilename(path.c_str(), 0));
        if (!m_writer)
            Fail();
        Check(xmlTextWriterSetIndent(m_writer.get(), 1));
        Check(xmlTextWriterStartDocument(m_writer.get(), nullptr, "UTF-8", nullptr));
    }
    void Start(const char* element) { Check(xmlTextWriterStartElement(m_writer.get(), Xml(element))); }
    void End() { Check(xmlTextWriterEndElement(m_writer.get())); }
    void Attribute(const char* name, const std::string& value) {
        Check(xmlTextWriterWriteAttribute(m_writer.get(), Xml(name), Xml(XmlCharacters(value).c_str())));
    }
    void OptionalAttribute(const char* name, const std::string& value) {
        if (!value.empty())
            Attribute(name, value);
    }
    void Text(const std::string& text) {
        Check(xmlTextWriterWriteString(m_writer.get(), Xml(XmlCharacters(text).c_str())));
    }
    void Finish() {
        Check(xmlTextWriterEndDocument(m_writer.get()));
        // Freeing the writer flushes and closes the file; a full disk shows only here.
        if (xmlTextWriterFlush(m_writer.get()) < 0)
            Fail();
        m_writer.reset();
    }

private:
    struct Deleter {
        void operator()(xmlTextWriterPtr writer) const { xmlFreeTextWriter(writer); }
    };
    static const xmlChar* Xml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
    void Check(int result) {
        if (result < 0)
            Fail();
    }
    [[noreturn]] void Fail() const {
        throw Error(Error::Kind::WriteFailure, "cannot write " + m_target + ": the XML writer failed");
    }
    std::string m_target;
    std::unique_ptr<xmlTextWriter, Deleter> m_writer;
};

// The name each file's points go by in the document: their own, unless another file has a point
// of that name, when the file's name qualifies it ("b.rdf:T1"), so that every pntRef names one point.
class PointNames {
public:
    explicit PointNames(const std::vector<survey::FileSurvey>& surveys) {
        std::map<std::string, int> files;
        std::map<std::string, int> labels;
        for (const survey::FileSurvey& file : surveys) {
            std::set<std::string> names;
            for (const survey::Coordinate& point : file.reduction.coordinates)
                names.insert(point.name);
            for (const std::string& name : names)
                ++files[name];
            ++labels[FileName(file.path)];
        }
        for (std::size_t index = 0; index < surveys.size(); ++index) {
            std::string label = FileName(surveys[index].path);
            if (labels[label] > 1)
                label += "#" + std::to_string(index + 1);
            std::map<std::string, std::string>& own = m_names.emplace_back();
            for (const survey::Coordinate& point : surveys[index].reduction.coordinates)
                own[point.name] = files[point.name] > 1 ? label + ":" + point.name : point.name;
        }
    }

    // The document's name of a located point of the file; none for a point the file did not locate.
    std::optional<std::string> Find(std::size_t file, const std::string& name) const {
        const auto found = m_names[file].find(name);
        if (found == m_names[file].end())
            return std::nullopt;
        return found->second;
    }

private:
    std::vector<std::map<std::string, std::string>> m_names;
};

// What an observation was for: the backsight's, the other face rounds of the traverse, and the side
// shots recorded without a face.
const char* Purpose(const survey::Observation& observation, const std::string& backsight) {
    if (observation.target == backsight)
        return "backsight";
    return observation.faceRight ? "traverse" : "sideshot";
}

class LandXmlDocument {
public:
    LandXmlDocument(XmlWriter& xml, const LinearUnit& unit, std::string angularUnit, const PointNames& names)
        : m_xml(xml), m_unit(unit), m_angularUnit(std::move(angularUnit)), m_names(names) {}

    void Root(const std::optional<ReferenceSystem>& system, const std::vector<survey::FileSurvey>& surveys) {
        m_xml.Start("LandXML");
        m_xml.Attribute("xmlns", kNamespace);
        m_xml.Attribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
        m_xml.Attribute("xsi:schemaLocation", kSchemaLocation);
        m_xml.Attribute("version", "1.2");
        WriteDateAndTime();
        m_xml.Attribute("language", "English");
        m_xml.Attribute("readOnly", "false");
        Units();
        if (system)
            CoordinateSystem(*system);
        for (std::size_t index = 0; index < surveys.size(); ++index) {
            CgPoints(surveys[index], index);
            Survey(surveys[index], index);
        }
        m_xml.End();
    }

private:
    void WriteDateAndTime() {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        char date[16];
        char time[16];
        std::strftime(date, sizeof date, "%Y-%m-%d", &utc);
        std::strftime(time, sizeof time, "%H:%M:%S", &utc);
        m_xml.Attribute("date", date);
        m_xml.Attribute("time", time);
    }

    void Units() {
        m_xml.Start("Units");
        m_xml.Start(m_unit.system);
        m_xml.Attribute("linearUnit", m_unit.linearUnit);
        m_xml.Attribute("areaUnit", m_unit.areaUnit);
        m_xml.Attribute("volumeUnit", m_unit.volumeUnit);
        m_xml.Attribute("temperatureUnit", m_unit.temperatureUnit);
        m_xml.Attribute("pressureUnit", m_unit.pressureUnit);
        m_xml.Attribute("angularUnit", m_angularUnit);
        m_xml.Attribute("directionUnit", m_angularUnit);
        m_xml.End();
        m_xml.End();
    }

    void CoordinateSystem(const ReferenceSystem& system) {
        m_xml.Start("CoordinateSystem");
        m_xml.Attribute("name", system.name);
        m_xml.OptionalAttribute("epsgCode", system.epsgCode);
        m_xml.OptionalAttribute("ogcWktCode", system.ogcWkt);
        m_xml.End();
    }

    std::string Length(double metres) const { return Number(metres / survey::MetresPer(m_unit.unit), 4); }

    // LandXML's order: northing, easting, then elevation when there is one.
    std::string Coordinates(double northing, double easting, const std::optional<double>& elevation) const {
        std::string text = Length(northing) + " " + Length(easting);
        if (elevation)
            text += " " + Length(*elevation);
        return text;
    }

    void CgPoints(const survey::FileSurvey& file, std::size_t fileIndex) {
        m_xml.Start("CgPoints");
        m_xml.Attribute("name", FileName(file.path));
        for (const survey::Coordinate& point : file.reduction.coordinates) {
            m_xml.Start("CgPoint");
            m_xml.Attribute("name", *m_names.Find(fileIndex, point.name));
            m_xml.OptionalAttribute("code", point.code);
            if (point.source == survey::PointSource::Known)
                m_xml.Attribute("pntSurv", "control");
            // The radius that holds the 95 % ellipse: the point's uncertainty in any direction.
            if (point.precision && std::isfinite(point.precision->ellipse95.semiMajor))
                m_xml.Attribute("positionalUncertainity", Length(point.precision->ellipse95.semiMajor));
            m_xml.Text(Coordinates(point.northing, point.easting, point.elevation));
            m_xml.End();
        }
        for (const survey::Coordinate& point : file.reduction.coordinates) {
            if (point.precision)
                PrecisionFeature(*m_names.Find(fileIndex, point.name), *point.precision);
        }
        m_xml.End();
    }

    // A value the adjustment could not give is left out rather than written as NaN.
    void Property(const char* label, double value, const std::string& text) {
        if (!std::isfinite(value))
            return;
        m_xml.Start("Property");
        m_xml.Attribute("label", label);
        m_xml.Attribute("value", text);
        m_xml.End();
    }
    void LengthProperty(const char* label, double metres) { Property(label, metres, Length(metres)); }

    // The schema has no place for an adjusted point's deviations and ellipse; a Feature beside the
    // points, named as the point, carries them. An axis has no sense: its azimuth is within a half turn.
    void PrecisionFeature(const std::string& name, const survey::Precision& precision) {
        const survey::ErrorEllipse& ellipse = precision.ellipse95;
        m_xml.Start("Feature");
        m_xml.Attribute("name", name);
        m_xml.Attribute("code", kPrecisionFeatureCode);
        LengthProperty("sdNorthing", precision.sdNorthing);
        LengthProperty("sdEasting", precision.sdEasting);
        if (precision.sdElevation)
            LengthProperty("sdElevation", *precision.sdElevation);
        LengthProperty("ellipse95SemiMajor", ellipse.semiMajor);
        LengthProperty("ellipse95SemiMinor", ellipse.semiMinor);
        const double axis = std::fmod(survey::Normalised(ellipse.azimuth), kPi);
        Property("ellipse95Azimuth", axis, FormatAngle(axis, m_angularUnit));
        m_xml.End();
    }

    void OptionalLength(const char* name, const std::optional<double>& metres) {
        if (metres)
            m_xml.Attribute(name, Length(*metres));
    }
    void OptionalAngle(const char* name, const std::optional<double>& radians) {
        if (radians)
            m_xml.Attribute(name, FormatAngle(*radians, m_angularUnit));
    }

    // A point element that refers to the file's CgPoint of the name when there is one; a target the
    // file did not name stays unnamed.
    void PointReference(const char* element, std::size_t fileIndex, const std::string& name,
                        const std::string& code = {}) {
        m_xml.Start(element);
        if (const std::optional<std::string> located = m_names.Find(fileIndex, name))
            m_xml.Attribute("pntRef", *located);
        else
            m_xml.OptionalAttribute("name", name);
        m_xml.OptionalAttribute("code", code);
        m_xml.End();
    }

    void Survey(const survey::FileSurvey& file, std::size_t fileIndex) {
        m_xml.Start("Survey");
        m_xml.Start("SurveyHeader");
        m_xml.Attribute("name", file.job.header.job.empty() ? FileName(file.path) : file.job.header.job);
        m_xml.Attribute("desc", FileName(file.path));
        m_xml.End();
        for (std::size_t index = 0; index < file.job.stations.size(); ++index) {
            const std::string id = "setup" + std::to_string(fileIndex + 1) + "_" + std::to_string(index + 1);
            InstrumentSetup(file, fileIndex, file.job.stations[index], id);
        }
        m_xml.End();
    }

    // The schema requires an instrument height; NaN, a double it allows, says none was recorded
    // where 0 would claim a measured one.
    std::string InstrumentHeight(const std::optional<double>& metres) const {
        return metres ? Length(*metres) : "NaN";
    }

    void InstrumentSetup(const survey::FileSurvey& file, std::size_t fileIndex,
                         const survey::Station& station, const std::string& id) {
        m_xml.Start("InstrumentSetup");
        m_xml.Attribute("id", id);
        m_xml.Attribute("stationName", station.name);
        m_xml.Attribute("instrumentHeight", InstrumentHeight(station.instrumentHeight));
        m_xml.Start("InstrumentPoint");
        if (const std::optional<std::string> located = m_names.Find(fileIndex, station.name))
            m_xml.Attribute("pntRef", *located);
        else
            m_xml.Attribute("name", station.name);
        const survey::StationResult* result = survey::FindStationResult(file.reduction, station);
        if (result != nullptr && result->northing && result->easting)
            m_xml.Text(Coordinates(*result->northing, *result->easting, result->elevation));
        m_xml.End();
        // The station's first sight is its backsight, the circle reading the directions count from.
        const survey::Observation* backsight =
            station.observations.empty() ? nullptr : &station.observations[0];
        if (backsight != nullptr && backsight->horizontalAngle)
            Backsight(fileIndex, *backsight, id);
        m_xml.End();
        if (station.observations.empty())
            return;
        m_xml.Start("ObservationGroup");
        m_xml.Attribute("id", id + "_observations");
        m_xml.Attribute("setupID", id);
        for (const survey::Observation& observation : station.observations)
            RawObservation(fileIndex, station, observation, backsight->target, id);
        m_xml.End();
    }

    void Backsight(std::size_t fileIndex, const survey::Observation& sight, const std::string& setupId) {
        m_xml.Start("Backsight");
        m_xml.Attribute("setupID", setupId);
        OptionalLength("targetHeight", sight.targetHeight);
        m_xml.Attribute("circle", FormatAngle(survey::Normalised(*sight.horizontalAngle), m_angularUnit));
        PointReference("BacksightPoint", fileIndex, sight.target);
        m_xml.End();
    }

    void RawObservation(std::size_t fileIndex, const survey::Station& station,
                        const survey::Observation& observation, const std::string& backsight,
                        const std::string& setupId) {
        m_xml.Start("RawObservation");
        m_xml.Attribute("setupID", setupId);
        m_xml.Attribute("purpose", Purpose(observation, backsight));
        OptionalLength("targetHeight", observation.targetHeight);
        if (observation.horizontalAngle)
            OptionalAngle("horizAngle", survey::Normalised(*observation.horizontalAngle));
        if (observation.verticalAngle)
            OptionalAngle("zenithAngle",
                          survey::ZenithAngle(*observation.verticalAngle, station.facts.zeroVa));
        OptionalLength("slopeDistance", observation.slopeDistance);
        if (observation.faceRight)
            m_xml.Attribute("directFace", *observation.faceRight ? "false" : "true");
        PointReference("TargetPoint", fileIndex, observation.target, observation.code);
        m_xml.End();
    }

    XmlWriter& m_xml;
    const LinearUnit& m_unit;
    std::string m_angularUnit;
    const PointNames& m_names;
};

} // namespace

std::string LandXmlAngularUnit(const std::vector<survey::FileSurvey>& surveys) {
    if (surveys.empty())
        return kDecimalDegrees;
    const std::string first = JobAngularUnit(surveys.front());
    const bool shared = std::all_of(surveys.begin(), surveys.end(), [&](const survey::FileSurvey& file) {
        return JobAngularUnit(file) == first;
    });
    return shared ? first : kDecimalDegrees;
}

std::string FormatAngle(double radians, const std::string& angularUnit) {
    if (angularUnit == kDegreesMinutesSeconds)
        return DegreesMinutesSeconds(radians);
    if (angularUnit == kGrads)
        return Number(radians * 200.0 / kPi, 7);
    if (angularUnit == kDecimalDegrees)
        return Number(radians * 180.0 / kPi, 7);
    return Number(radians, 9);
}

void CheckLandXmlSystem(const std::optional<ReferenceSystem>& system) {
    FindLinearUnit(system);
}

void WriteLandXml(const std::vector<survey::FileSurvey>& surveys,
                  const std::optional<ReferenceSystem>& system, Staging& staging) {
    const LinearUnit& unit = FindLinearUnit(system);
    const std::string fileName = staging.target().filename().u8string();
    XmlWriter xml(staging.PathFor(fileName).u8string(), staging.target().u8string());
    const PointNames names(surveys);
    LandXmlDocument document(xml, unit, LandXmlAngularUnit(surveys), names);
    document.Root(system, surveys);
    xml.Finish();
}

} // namespace exchange
