// LandXML parsed back with libxml2: the CgPoints within a millimetre, the set-ups and their raw
// observations in the job's angle unit, and only element and attribute names of the LandXML 1.2
// schema.
#include "exchange/Exchange.h"
#include "exchange/LandXmlWriter.h"
#include "exchange/tests/SurveyFixture.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace exchange {
namespace {

using test::kMillimetre;
constexpr double kPi = 3.14159265358979323846;
constexpr double kArcSecond = kPi / 180 / 3600;

// The names used here as the LandXML 1.2 schema (LandXML-1.2.xsd) defines them, written down from the
// schema's documentation from memory: each element with the attributes it allows and the children
// this writer may give it.
struct SchemaElement {
    std::set<std::string> attributes;
    std::set<std::string> children;
};
const std::map<std::string, SchemaElement>& Schema() {
    static const std::set<std::string> pointType = {
        "name",       "desc",          "code",         "state",     "pntRef",
        "featureRef", "pointGeometry", "DTMAttribute", "timeStamp", "role"};
    static const std::set<std::string> units = {
        "areaUnit",     "linearUnit",    "volumeUnit",         "temperatureUnit", "pressureUnit",
        "diameterUnit", "widthUnit",     "heightUnit",         "velocityUnit",    "flowUnit",
        "angularUnit",  "directionUnit", "latLongAngularUnit", "elevationUnit"};
    static const std::map<std::string, SchemaElement> schema = {
        {"LandXML",
         {{"version", "date", "time", "readOnly", "language", "LandXMLId", "crc", "schemaLocation"},
          {"Units", "CoordinateSystem", "CgPoints", "Survey"}}},
        {"Units", {{}, {"Metric", "Imperial"}}},
        {"Metric", {units, {}}},
        {"Imperial", {units, {}}},
        {"CoordinateSystem",
         {{"desc", "name", "epsgCode", "ogcWktCode", "horizontalDatum", "verticalDatum", "ellipsoidName",
           "horizontalCoordinateSystemName", "projectedCoordinateSystemName", "datum", "fileLocation",
           "rotationAngle"},
          {}}},
        {"CgPoints", {{"desc", "name", "state"}, {"CgPoint"}}},
        {"CgPoint", {pointType, {}}},
        {"Survey", {{"desc", "name", "date"}, {"SurveyHeader", "InstrumentSetup", "ObservationGroup"}}},
        {"SurveyHeader",
         {{"name", "desc", "projectDate", "startTime", "endTime", "purpose", "type", "class"}, {}}},
        {"InstrumentSetup",
         {{"id", "stationName", "instrumentHeight", "orientationAzimuth", "circleAzimuth", "desc", "status"},
          {"InstrumentPoint"}}},
        {"InstrumentPoint", {pointType, {}}},
        {"ObservationGroup",
         {{"id", "purpose", "setupID", "targetSetupID", "desc", "name"}, {"RawObservation"}}},
        {"RawObservation",
         {{"setupID", "targetSetupID", "setID", "purpose", "horizAngle", "zenithAngle", "slopeDistance",
           "targetHeight", "directFace", "azimuth", "horizDistance", "vertDistance", "desc", "name", "status",
           "timeStamp"},
          {"TargetPoint"}}},
        {"TargetPoint", {pointType, {}}},
    };
    return schema;
}
const std::set<std::string> kAngularUnits = {"radians", "grads", "decimal degrees", "decimal dd.mm.ss"};
const std::set<std::string> kLinearUnits = {"millimeter", "centimeter",   "meter", "kilometer",
                                            "foot",       "USSurveyFoot", "inch",  "mile"};

struct DocumentDeleter {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using Document = std::unique_ptr<xmlDoc, DocumentDeleter>;

std::string Name(const xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

std::string Attribute(const xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    const std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

std::string Content(const xmlNode* node) {
    xmlChar* value = xmlNodeGetContent(node);
    const std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

std::vector<const xmlNode*> Elements(const xmlNode* node, const std::string& name) {
    std::vector<const xmlNode*> found;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (Name(child) == name)
            found.push_back(child);
        const std::vector<const xmlNode*> deeper = Elements(child, name);
        found.insert(found.end(), deeper.begin(), deeper.end());
    }
    return found;
}

void ExpectSchemaNames(const xmlNode* element) {
    const auto known = Schema().find(Name(element));
    ASSERT_NE(known, Schema().end()) << Name(element);
    EXPECT_STREQ(reinterpret_cast<const char*>(element->ns->href),
                 "http://www.landxml.org/schema/LandXML-1.2");
    for (const xmlAttr* attribute = element->properties; attribute != nullptr; attribute = attribute->next) {
        EXPECT_EQ(known->second.attributes.count(reinterpret_cast<const char*>(attribute->name)), 1u)
            << Name(element) << " has no attribute " << attribute->name;
    }
    for (const xmlNode* child = element->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        EXPECT_EQ(known->second.children.count(Name(child)), 1u)
            << Name(element) << " holds no " << Name(child);
        ExpectSchemaNames(child);
    }
}

std::vector<double> Numbers(const std::string& text) {
    std::istringstream in(text);
    std::vector<double> numbers;
    for (double number; in >> number;)
        numbers.push_back(number);
    return numbers;
}

double FromDegreesMinutesSeconds(const std::string& text) {
    const double value = std::stod(text);
    const double degrees = std::floor(value);
    const double minutes = std::floor((value - degrees) * 100 + 1e-9);
    const double seconds = ((value - degrees) * 100 - minutes) * 100;
    return (degrees + minutes / 60 + seconds / 3600) * kPi / 180;
}

Document WriteAndParse(const std::vector<survey::FileSurvey>& surveys, const std::string& crs,
                       const test::ScratchFolder& folder) {
    const std::filesystem::path file = folder / "site.xml";
    Write(surveys, {file.string(), "", crs});
    Document document(xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET));
    if (!document)
        throw std::runtime_error("site.xml is not well-formed XML");
    return document;
}

TEST(LandXml, PointsSetupsAndRawObservationsInTheSchemasNames) {
    const test::ScratchFolder folder;
    const survey::FileSurvey survey = test::SiteSurvey();
    const Document document = WriteAndParse({survey}, "EPSG:32633", folder);
    const xmlNode* root = xmlDocGetRootElement(document.get());
    ASSERT_EQ(Name(root), "LandXML");
    EXPECT_EQ(Attribute(root, "version"), "1.2");
    ExpectSchemaNames(root);

    const std::vector<const xmlNode*> metric = Elements(root, "Metric");
    ASSERT_EQ(metric.size(), 1u);
    EXPECT_EQ(Attribute(metric[0], "linearUnit"), "meter");
    EXPECT_EQ(Attribute(metric[0], "angularUnit"), "decimal dd.mm.ss");
    EXPECT_EQ(Attribute(Elements(root, "CoordinateSystem").at(0), "epsgCode"), "32633");

    const std::vector<const xmlNode*> points = Elements(root, "CgPoint");
    ASSERT_EQ(points.size(), survey.reduction.coordinates.size());
    for (const xmlNode* element : points) {
        const survey::Coordinate& point = test::PointNamed(survey, Attribute(element, "name"));
        const std::vector<double> values = Numbers(Content(element));
        ASSERT_EQ(values.size(), point.elevation ? 3u : 2u) << point.name;
        EXPECT_NEAR(values[0], point.northing, kMillimetre) << point.name;
        EXPECT_NEAR(values[1], point.easting, kMillimetre) << point.name;
        if (point.elevation) {
            EXPECT_NEAR(values[2], *point.elevation, kMillimetre) << point.name;
        }
        EXPECT_EQ(Attribute(element, "code"), point.code);
    }

    const std::vector<const xmlNode*> setups = Elements(root, "InstrumentSetup");
    ASSERT_EQ(setups.size(), 2u);
    EXPECT_EQ(Attribute(setups[0], "stationName"), "S1");
    EXPECT_NEAR(std::stod(Attribute(setups[0], "instrumentHeight")), 1.55, kMillimetre);
    const std::vector<const xmlNode*> observations = Elements(root, "RawObservation");
    ASSERT_EQ(observations.size(), 9u);
    for (std::size_t index = 0; index < observations.size(); ++index) {
        const survey::Station& station = survey.job.stations[index < 7 ? 0 : 1];
        const survey::Observation& observation = station.observations[index < 7 ? index : index - 7];
        const xmlNode* element = observations[index];
        EXPECT_EQ(Attribute(element, "setupID"), Attribute(setups[index < 7 ? 0 : 1], "id"));
        EXPECT_NEAR(FromDegreesMinutesSeconds(Attribute(element, "horizAngle")), *observation.horizontalAngle,
                    0.006 * kArcSecond);
        EXPECT_NEAR(FromDegreesMinutesSeconds(Attribute(element, "zenithAngle")), *observation.verticalAngle,
                    0.006 * kArcSecond);
        EXPECT_NEAR(std::stod(Attribute(element, "slopeDistance")), *observation.slopeDistance, kMillimetre);
        const xmlNode* target = Elements(element, "TargetPoint").at(0);
        EXPECT_EQ(Attribute(target, observation.target == "X" ? "name" : "pntRef"), observation.target);
    }
    EXPECT_EQ(Attribute(observations[0], "directFace"), "true");
    EXPECT_EQ(Attribute(observations[1], "directFace"), "false");
}

TEST(LandXml, UnitsFollowTheReferenceSystemAndTheJobs) {
    const test::ScratchFolder folder;
    survey::FileSurvey gons = test::SiteSurvey();
    gons.job.facts.angleUnitText = "Gons";
    const Document document = WriteAndParse({gons}, "EPSG:2263", folder);
    const xmlNode* root = xmlDocGetRootElement(document.get());
    const std::vector<const xmlNode*> imperial = Elements(root, "Imperial");
    ASSERT_EQ(imperial.size(), 1u);
    EXPECT_EQ(Attribute(imperial[0], "linearUnit"), "USSurveyFoot");
    EXPECT_EQ(Attribute(imperial[0], "angularUnit"), "grads");
    EXPECT_EQ(kLinearUnits.count(Attribute(imperial[0], "linearUnit")), 1u);
    EXPECT_EQ(kAngularUnits.count(Attribute(imperial[0], "angularUnit")), 1u);
    const std::vector<double> k1 = Numbers(Content(Elements(root, "CgPoint").at(1)));
    EXPECT_NEAR(k1.at(0), 5500400.000 * 3937 / 1200, kMillimetre);

    // Files that disagree on their angle unit share decimal degrees.
    EXPECT_EQ(LandXmlAngularUnit({gons, test::SiteSurvey()}), "decimal degrees");
    EXPECT_EQ(LandXmlAngularUnit({test::SiteSurvey(), test::SiteSurvey()}), "decimal dd.mm.ss");
}

TEST(LandXml, AnglesInEachUnit) {
    const double degree = kPi / 180;
    const struct {
        double radians;
        std::string unit;
        std::string text;
    } cases[] = {
        {(123 + 45.0 / 60 + 30.25 / 3600) * degree, "decimal dd.mm.ss", "123.453025"},
        {(359 + 59.0 / 60 + 59.999 / 3600) * degree, "decimal dd.mm.ss", "0.000000"}, // rounds up to a turn
        {(10 + 59.0 / 60 + 59.996 / 3600) * degree, "decimal dd.mm.ss", "11.000000"},
        {90 * degree, "grads", "100.0000000"},
        {12.5 * degree, "decimal degrees", "12.5000000"},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(FormatAngle(entry.radians, entry.unit), entry.text) << entry.text;
}

} // namespace
} // namespace exchange
