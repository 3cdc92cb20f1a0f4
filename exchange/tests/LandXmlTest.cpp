// LandXML parsed back with libxml2 and validated against the published LandXML 1.2 schema: the
// CgPoints within a millimetre, the set-ups with their backsights and raw observations in the job's
// angle unit, and point references that name one point each.
#include "exchange/Exchange.h"
#include "exchange/LandXmlWriter.h"
#include "exchange/tests/SurveyFixture.h"
#include "survey/Geometry.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlschemas.h>

#include <cmath>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

namespace exchange {
namespace {

using survey::kPi;
using test::kMillimetre;
constexpr double kArcSecond = kPi / 180 / 3600;

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

// Every complaint of libxml2's validation against the LandXML 1.2 schema; the test skips where the
// schema is not beside the sources.
class SchemaValidator {
public:
    SchemaValidator() {
        if (!std::filesystem::exists(NIKON_LANDXML_SCHEMA))
            return;
        std::unique_ptr<xmlSchemaParserCtxt, void (*)(xmlSchemaParserCtxtPtr)> parser(
            xmlSchemaNewParserCtxt(NIKON_LANDXML_SCHEMA), xmlSchemaFreeParserCtxt);
        m_schema.reset(xmlSchemaParse(parser.get()));
        if (!m_schema)
            throw std::runtime_error("the LandXML schema does not parse");
    }
    bool available() const { return m_schema != nullptr; }

    std::string Errors(xmlDoc* document) const {
        std::unique_ptr<xmlSchemaValidCtxt, void (*)(xmlSchemaValidCtxtPtr)> context(
            xmlSchemaNewValidCtxt(m_schema.get()), xmlSchemaFreeValidCtxt);
        std::string errors;
        xmlSchemaSetValidStructuredErrors(
            context.get(),
            [](void* sink, xmlErrorPtr error) {
                *static_cast<std::string*>(sink) += std::to_string(error->line) + ": " + error->message;
            },
            &errors);
        if (xmlSchemaValidateDoc(context.get(), document) != 0 && errors.empty())
            errors = "invalid";
        return errors;
    }

private:
    struct SchemaDeleter {
        void operator()(xmlSchema* schema) const { xmlSchemaFree(schema); }
    };
    std::unique_ptr<xmlSchema, SchemaDeleter> m_schema;
};

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
    Write(surveys, {file.string(), test::kLandXml, crs});
    Document document(xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET));
    if (!document)
        throw std::runtime_error("site.xml is not well-formed XML");
    const SchemaValidator validator;
    if (validator.available())
        EXPECT_EQ(validator.Errors(document.get()), "");
    else
        std::cout << "[ NOTE ] no LandXML schema at " << NIKON_LANDXML_SCHEMA << ": not validated\n";
    return document;
}

TEST(LandXml, PointsSetupsAndRawObservationsValidAgainstTheSchema) {
    const test::ScratchFolder folder;
    const survey::FileSurvey survey = test::SiteSurvey();
    const Document document = WriteAndParse({survey}, "EPSG:32633", folder);
    const xmlNode* root = xmlDocGetRootElement(document.get());
    ASSERT_EQ(Name(root), "LandXML");
    EXPECT_EQ(Attribute(root, "version"), "1.2");

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

// Adjusted points keep their coordinates, and a Feature of each, named as the point, carries its
// deviations and 95 % ellipse in the document's units; the document stays valid.
TEST(LandXml, AdjustedPointsCarryTheirDeviationsAndEllipse) {
    const test::ScratchFolder folder;
    survey::FileSurvey survey = test::AdjustedSiteSurvey();
    // A deviation the adjustment could not give is left out, not written as NaN.
    survey.reduction.coordinates[3].precision->sdEasting = std::nan("");
    const Document document = WriteAndParse({survey}, "EPSG:2263", folder); // US survey feet
    const xmlNode* root = xmlDocGetRootElement(document.get());
    const double feet = 3937.0 / 1200.0;
    for (const xmlNode* element : Elements(root, "CgPoint")) {
        const survey::Coordinate& point = test::PointNamed(survey, Attribute(element, "name"));
        EXPECT_NEAR(Numbers(Content(element)).at(0), point.northing * feet, kMillimetre);
        const std::string uncertainty = Attribute(element, "positionalUncertainity");
        if (point.precision) {
            EXPECT_NEAR(std::stod(uncertainty), point.precision->ellipse95.semiMajor * feet, 1e-4);
        } else {
            EXPECT_EQ(uncertainty, "") << point.name;
        }
    }
    const std::vector<const xmlNode*> features = Elements(root, "Feature");
    ASSERT_EQ(features.size(), 4u);
    for (const xmlNode* feature : features) {
        EXPECT_EQ(Attribute(feature, "code"), "adjusted point precision");
        const survey::Coordinate& point = test::PointNamed(survey, Attribute(feature, "name"));
        ASSERT_TRUE(point.precision) << point.name;
        std::map<std::string, std::string> properties;
        for (const xmlNode* property : Elements(feature, "Property"))
            properties[Attribute(property, "label")] = Attribute(property, "value");
        const survey::Precision& precision = *point.precision;
        EXPECT_NEAR(std::stod(properties.at("sdNorthing")), precision.sdNorthing * feet, 1e-4);
        if (std::isnan(precision.sdEasting)) {
            EXPECT_EQ(properties.count("sdEasting"), 0u) << point.name;
        } else {
            EXPECT_NEAR(std::stod(properties.at("sdEasting")), precision.sdEasting * feet, 1e-4);
        }
        EXPECT_EQ(properties.count("sdElevation"), precision.sdElevation ? 1u : 0u) << point.name;
        EXPECT_NEAR(std::stod(properties.at("ellipse95SemiMajor")), precision.ellipse95.semiMajor * feet,
                    1e-4);
        EXPECT_NEAR(std::stod(properties.at("ellipse95SemiMinor")), precision.ellipse95.semiMinor * feet,
                    1e-4);
        EXPECT_NEAR(FromDegreesMinutesSeconds(properties.at("ellipse95Azimuth")),
                    std::fmod(precision.ellipse95.azimuth, kPi), 0.006 * kArcSecond);
    }
}

TEST(LandXml, UnitsFollowTheReferenceSystemAndTheJobs) {
    const test::ScratchFolder folder;
    survey::FileSurvey gons = test::SiteSurvey();
    gons.job.facts.angleUnit = survey::AngleUnit::Gons;
    const Document document = WriteAndParse({gons}, "EPSG:2263", folder);
    const xmlNode* root = xmlDocGetRootElement(document.get());
    const std::vector<const xmlNode*> imperial = Elements(root, "Imperial");
    ASSERT_EQ(imperial.size(), 1u);
    EXPECT_EQ(Attribute(imperial[0], "linearUnit"), "USSurveyFoot");
    EXPECT_EQ(Attribute(imperial[0], "angularUnit"), "grads");
    const std::vector<double> k1 = Numbers(Content(Elements(root, "CgPoint").at(1)));
    EXPECT_NEAR(k1.at(0), 5500400.000 * 3937 / 1200, kMillimetre);

    // Files that disagree on their angle unit share decimal degrees.
    EXPECT_EQ(LandXmlAngularUnit({gons, test::SiteSurvey()}), "decimal degrees");
    EXPECT_EQ(LandXmlAngularUnit({test::SiteSurvey(), test::SiteSurvey()}), "decimal dd.mm.ss");
}

// The element of each name whose attribute has the value.
const xmlNode* Find(const xmlNode* root, const std::string& element, const char* attribute,
                    const std::string& value) {
    for (const xmlNode* node : Elements(root, element)) {
        if (Attribute(node, attribute) == value)
            return node;
    }
    return nullptr;
}

TEST(LandXml, BacksightsPurposesControlAndUnknownHeights) {
    const test::ScratchFolder folder;
    survey::FileSurvey survey = test::SiteSurvey();
    survey.path = (folder.path() / "jobs" / "site.rdf").string();
    survey.job.stations[1].instrumentHeight.reset();
    survey.job.stations[1].observations[0].target.clear(); // a backsight the file did not name
    const Document document = WriteAndParse({survey}, "", folder);
    const xmlNode* root = xmlDocGetRootElement(document.get());

    const xmlNode* s1 = Find(root, "InstrumentSetup", "stationName", "S1");
    const xmlNode* s2 = Find(root, "InstrumentSetup", "stationName", "S2");
    ASSERT_TRUE(s1 && s2);
    EXPECT_EQ(Attribute(s2, "instrumentHeight"), "NaN");
    const xmlNode* backsight = Elements(s1, "Backsight").at(0);
    EXPECT_NEAR(FromDegreesMinutesSeconds(Attribute(backsight, "circle")),
                *survey.job.stations[0].observations[0].horizontalAngle, 0.006 * kArcSecond);
    EXPECT_EQ(Attribute(Elements(backsight, "BacksightPoint").at(0), "pntRef"), "K1");
    EXPECT_EQ(Elements(s2, "Backsight").size(), 1u);
    for (const char* element : {"BacksightPoint", "TargetPoint"}) {
        for (const xmlNode* point : Elements(root, element)) {
            for (const char* attribute : {"name", "pntRef"}) {
                const bool named = xmlHasProp(point, reinterpret_cast<const xmlChar*>(attribute)) != nullptr;
                EXPECT_FALSE(named && Attribute(point, attribute).empty()) << element << " " << attribute;
            }
        }
    }

    // The observations of S1 in the fixture's order: K1 twice, P1, P2, P3, S2, X.
    const std::vector<std::string> purposes = {"backsight", "backsight", "sideshot", "sideshot",
                                               "sideshot",  "traverse",  "sideshot"};
    const std::vector<const xmlNode*> observations = Elements(root, "RawObservation");
    for (std::size_t index = 0; index < purposes.size(); ++index)
        EXPECT_EQ(Attribute(observations.at(index), "purpose"), purposes[index]) << index;
    EXPECT_EQ(Attribute(Elements(observations.at(2), "TargetPoint").at(0), "code"), "TREE");

    for (const survey::Coordinate& point : survey.reduction.coordinates) {
        const xmlNode* element = Find(root, "CgPoint", "name", point.name);
        ASSERT_NE(element, nullptr) << point.name;
        EXPECT_EQ(Attribute(element, "pntSurv"), point.source == survey::PointSource::Known ? "control" : "")
            << point.name;
    }
    EXPECT_EQ(Attribute(Elements(root, "CgPoints").at(0), "name"), "site.rdf");
    EXPECT_EQ(Attribute(Elements(root, "SurveyHeader").at(0), "desc"), "site.rdf");
}

TEST(LandXml, PointsOfTwoFilesKeepTheirOwnReferences) {
    const test::ScratchFolder folder;
    survey::FileSurvey first = test::SiteSurvey();
    survey::FileSurvey second = test::SiteSurvey();
    second.path = "other.rdf";
    second.reduction.coordinates.erase(second.reduction.coordinates.begin() + 2); // P1 in one file only
    for (survey::Coordinate& point : second.reduction.coordinates)
        point.northing += 1000;
    const Document document = WriteAndParse({first, second}, "", folder);
    const xmlNode* root = xmlDocGetRootElement(document.get());

    std::map<std::string, double> northings;
    for (const xmlNode* point : Elements(root, "CgPoint"))
        EXPECT_TRUE(northings.emplace(Attribute(point, "name"), Numbers(Content(point)).at(0)).second)
            << Attribute(point, "name") << " twice";
    const std::vector<const xmlNode*> surveys = Elements(root, "Survey");
    ASSERT_EQ(surveys.size(), 2u);
    for (std::size_t index = 0; index < 2; ++index) {
        for (const xmlNode* target : Elements(surveys[index], "TargetPoint")) {
            const std::string reference = Attribute(target, "pntRef");
            if (reference.empty())
                continue;
            ASSERT_EQ(northings.count(reference), 1u) << reference;
            const survey::FileSurvey& file = index == 0 ? first : second;
            const std::string name = reference.substr(reference.find(':') + 1);
            EXPECT_NEAR(northings[reference], test::PointNamed(file, name).northing, kMillimetre)
                << reference;
        }
    }
    EXPECT_EQ(northings.count("P1"), 1u); // a name of one file only stays as it is
    EXPECT_EQ(northings.count("other.rdf:K1"), 1u);
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
