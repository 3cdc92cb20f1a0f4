#include "exchange/LandXmlWriter.h"

#include "exchange/Exchange.h"
#include "exchange/SurveyRows.h"

#include <libxml/xmlwriter.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

namespace exchange {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr const char* kNamespace = "http://www.landxml.org/schema/LandXML-1.2";
constexpr const char* kSchemaLocation =
    "http://www.landxml.org/schema/LandXML-1.2 http://www.landxml.org/schema/LandXML-1.2/LandXML-1.2.xsd";
constexpr const char* kDecimalDegrees = "decimal degrees";
constexpr const char* kDegreesMinutesSeconds = "decimal dd.mm.ss";
constexpr const char* kGrads = "grads";

// The words of a job's angle unit comment and the LandXML unit of the same angles. Mils have no
// LandXML unit; their files fall back to decimal degrees.
struct AngleUnitWord {
    const char* word;
    const char* landXml;
};
constexpr AngleUnitWord kAngleUnitWords[] = {
    {"DDDMMSS", kDegreesMinutesSeconds},
    {"Degrees", kDecimalDegrees},
    {"Gon", kGrads},
};

struct LinearUnit {
    double metres;
    const char* system; // the Units child element
    const char* linearUnit;
    const char* areaUnit;
    const char* volumeUnit;
};
constexpr LinearUnit kLinearUnits[] = {
    {1.0, "Metric", "meter", "squareMeter", "cubicMeter"},
    {0.3048, "Imperial", "foot", "squareFoot", "cubicFeet"},
    {1200.0 / 3937.0, "Imperial", "USSurveyFoot", "squareFoot", "cubicFeet"},
};

std::string JobAngularUnit(const survey::FileSurvey& file) {
    for (const AngleUnitWord& unit : kAngleUnitWords) {
        if (file.job.facts.angleUnitText.find(unit.word) != std::string::npos)
            return unit.landXml;
    }
    return kDecimalDegrees;
}

const LinearUnit& FindLinearUnit(const std::optional<ReferenceSystem>& system) {
    const double metres = system ? system->metresPerUnit : 1.0;
    for (const LinearUnit& unit : kLinearUnits) {
        if (std::fabs(unit.metres - metres) < 1e-9)
            return unit;
    }
    throw Error(Error::Kind::Usage, "LandXML has no unit for the linear unit of --crs " + system->name +
                                        "; give a system in metres, feet or US survey feet");
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
        Check(xmlTextWriterWriteAttribute(m_writer.get(), Xml(name), Xml(value.c_str())));
    }
    void OptionalAttribute(const char* name, const std::string& value) {
        if (!value.empty())
            Attribute(name, value);
    }
    void Text(const std::string& text) { Check(xmlTextWriterWriteString(m_writer.get(), Xml(text.c_str()))); }
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

class LandXmlDocument {
public:
    LandXmlDocument(XmlWriter& xml, const LinearUnit& unit, std::string angularUnit)
        : m_xml(xml), m_unit(unit), m_angularUnit(std::move(angularUnit)) {}

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
            CgPoints(surveys[index]);
            Survey(surveys[index], index + 1);
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

    std::string Length(double metres) const { return Number(metres / m_unit.metres, 4); }

    // LandXML's order: northing, easting, then elevation when there is one.
    std::string Coordinates(double northing, double easting, const std::optional<double>& elevation) const {
        std::string text = Length(northing) + " " + Length(easting);
        if (elevation)
            text += " " + Length(*elevation);
        return text;
    }

    void CgPoints(const survey::FileSurvey& file) {
        m_xml.Start("CgPoints");
        m_xml.Attribute("name", file.path);
        for (const survey::Coordinate& point : file.reduction.coordinates) {
            m_xml.Start("CgPoint");
            m_xml.Attribute("name", point.name);
            m_xml.OptionalAttribute("code", point.code);
            m_xml.Text(Coordinates(point.northing, point.easting, point.elevation));
            m_xml.End();
        }
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

    // A point element that refers to the file's CgPoint of the name when there is one.
    void PointReference(const char* element, const survey::FileSurvey& file, const std::string& name) {
        m_xml.Start(element);
        const bool located = std::any_of(file.reduction.coordinates.begin(), file.reduction.coordinates.end(),
                                         [&](const survey::Coordinate& point) { return point.name == name; });
        m_xml.Attribute(located ? "pntRef" : "name", name);
        m_xml.End();
    }

    void Survey(const survey::FileSurvey& file, std::size_t fileNumber) {
        m_xml.Start("Survey");
        m_xml.Start("SurveyHeader");
        m_xml.Attribute("name", file.job.header.job.empty() ? file.path : file.job.header.job);
        m_xml.Attribute("desc", file.path);
        m_xml.End();
        for (std::size_t index = 0; index < file.job.stations.size(); ++index) {
            const std::string id = "setup" + std::to_string(fileNumber) + "_" + std::to_string(index + 1);
            InstrumentSetup(file, file.job.stations[index], id);
        }
        m_xml.End();
    }

    void InstrumentSetup(const survey::FileSurvey& file, const survey::Station& station,
                         const std::string& id) {
        m_xml.Start("InstrumentSetup");
        m_xml.Attribute("id", id);
        m_xml.Attribute("stationName", station.name);
        m_xml.Attribute("instrumentHeight", Length(station.instrumentHeight.value_or(0)));
        m_xml.Start("InstrumentPoint");
        m_xml.Attribute("name", station.name);
        const survey::StationResult* result = FindStationResult(file.reduction, station);
        if (result != nullptr && result->northing && result->easting)
            m_xml.Text(Coordinates(*result->northing, *result->easting, result->elevation));
        m_xml.End();
        m_xml.End();
        if (station.observations.empty())
            return;
        m_xml.Start("ObservationGroup");
        m_xml.Attribute("id", id + "_observations");
        m_xml.Attribute("setupID", id);
        for (const survey::Observation& observation : station.observations)
            RawObservation(file, station, observation, id);
        m_xml.End();
    }

    void RawObservation(const survey::FileSurvey& file, const survey::Station& station,
                        const survey::Observation& observation, const std::string& setupId) {
        m_xml.Start("RawObservation");
        m_xml.Attribute("setupID", setupId);
        OptionalLength("targetHeight", observation.targetHeight);
        if (observation.horizontalAngle)
            OptionalAngle("horizAngle", NormalizedAngle(*observation.horizontalAngle));
        if (observation.verticalAngle)
            OptionalAngle("zenithAngle", ZenithAngle(*observation.verticalAngle, station.facts.zeroVa));
        OptionalLength("slopeDistance", observation.slopeDistance);
        if (observation.faceRight)
            m_xml.Attribute("directFace", *observation.faceRight ? "false" : "true");
        m_xml.OptionalAttribute("desc", observation.code);
        PointReference("TargetPoint", file, observation.target);
        m_xml.End();
    }

    XmlWriter& m_xml;
    const LinearUnit& m_unit;
    std::string m_angularUnit;
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
    LandXmlDocument document(xml, unit, LandXmlAngularUnit(surveys));
    document.Root(system, surveys);
    xml.Finish();
}

} // namespace exchange
