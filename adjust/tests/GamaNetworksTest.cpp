// Every published GNU Gama test network that has a stored result: the adjustment must agree with
// it (degrees of freedom, defect, sigma, the test, coordinates, standard deviations, ellipses), or
// refuse a network that uses a kind it does not adjust. The networks are read where they lie.
#include "adjust/Adjustment.h"
#include "adjust/GamaLocal.h"
#include "adjust/Statistics.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct ExpectedPoint {
    std::optional<double> x, y, z;
    std::optional<double> vx, vy, vz, cxy; // covariances, mm^2
};

struct Expected {
    int dof = 0, defect = 0;
    double aposteriori = 0;
    bool aprioriUsed = false;
    std::string test; // passed, failed, not-applicable
    std::string axes = "ne";
    std::map<std::string, ExpectedPoint> points;
};

const xmlNode* Child(const xmlNode* node, const char* name) {
    for (const xmlNode* c = node ? node->children : nullptr; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && std::string(reinterpret_cast<const char*>(c->name)) == name)
            return c;
    return nullptr;
}

std::vector<const xmlNode*> Children(const xmlNode* node) {
    std::vector<const xmlNode*> out;
    for (const xmlNode* c = node ? node->children : nullptr; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE)
            out.push_back(c);
    return out;
}

std::string Text(const xmlNode* node) {
    if (!node)
        return "";
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = reinterpret_cast<const char*>(content);
    xmlFree(content);
    return text;
}

double Number(const xmlNode* node) {
    return std::strtod(Text(node).c_str(), nullptr);
}

// The stored result: summary, adjusted coordinates and the diagonal blocks of the covariance
// matrix, whose rows follow the adjusted coordinates as listed.
Expected ReadExpected(const fs::path& path) {
    Expected e;
    xmlDoc* doc = xmlReadFile(path.string().c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR);
    if (!doc)
        throw std::runtime_error("cannot read " + path.string());
    const xmlNode* root = xmlDocGetRootElement(doc);
    if (const xmlNode* general = Child(root, "network-general-parameters")) {
        xmlChar* axes = xmlGetProp(general, reinterpret_cast<const xmlChar*>("axes-xy"));
        if (axes)
            e.axes = reinterpret_cast<const char*>(axes);
        xmlFree(axes);
    }
    const xmlNode* summary = Child(root, "network-processing-summary");
    const xmlNode* equations = Child(summary, "project-equations");
    e.dof = static_cast<int>(Number(Child(equations, "degrees-of-freedom")));
    e.defect = static_cast<int>(Number(Child(equations, "defect")));
    const xmlNode* sd = Child(summary, "standard-deviation");
    e.aposteriori = Number(Child(sd, "aposteriori"));
    e.aprioriUsed = Text(Child(sd, "used")).find("apriori") == 0;
    e.test = Child(sd, "passed") ? "passed" : Child(sd, "failed") ? "failed" : "not-applicable";
    const xmlNode* coordinates = Child(root, "coordinates");
    std::vector<std::pair<std::string, char>> rows;
    for (const xmlNode* point : Children(Child(coordinates, "adjusted"))) {
        const std::string id = Text(Child(point, "id"));
        for (const xmlNode* c : Children(point)) {
            const char axis = static_cast<char>(std::tolower(c->name[0]));
            if (std::string(reinterpret_cast<const char*>(c->name)) == "id")
                continue;
            ExpectedPoint& p = e.points[id];
            (axis == 'x' ? p.x : axis == 'y' ? p.y : p.z) = Number(c);
            rows.emplace_back(id, axis);
        }
    }
    const xmlNode* cov = Child(coordinates, "cov-mat");
    const int dim = static_cast<int>(Number(Child(cov, "dim")));
    const int band = static_cast<int>(Number(Child(cov, "band")));
    std::vector<double> values;
    for (const xmlNode* c : Children(cov))
        if (std::string(reinterpret_cast<const char*>(c->name)) == "flt")
            values.push_back(Number(c));
    std::size_t at = 0;
    for (int i = 0; i < dim; ++i) {
        const int width = std::min(band + 1, dim - i);
        if (i < static_cast<int>(rows.size())) {
            ExpectedPoint& p = e.points[rows[i].first];
            const char axis = rows[i].second;
            (axis == 'x' ? p.vx : axis == 'y' ? p.vy : p.vz) = values.at(at);
            if (axis == 'x' && width > 1 && i + 1 < static_cast<int>(rows.size()) &&
                rows[i + 1].second == 'y')
                p.cxy = values.at(at + 1);
        }
        at += width;
    }
    xmlFreeDoc(doc);
    return e;
}

// The stored x and y as northing and easting.
std::pair<double, double> NorthEast(const std::string& axes, double x, double y) {
    static const std::map<std::string, std::array<double, 3>> table = {
        {"ne", {0, 1, 1}}, {"sw", {0, -1, -1}}, {"es", {1, -1, 1}}, {"wn", {1, 1, -1}},
        {"en", {1, 1, 1}}, {"nw", {0, 1, -1}},  {"se", {0, -1, 1}}, {"ws", {1, -1, -1}}};
    const auto& [swap, north, east] = table.at(axes);
    return swap != 0 ? std::pair{north * y, east * x} : std::pair{north * x, east * y};
}

// Networks refused for a reason other than an unsupported kind, and what the refusal must say.
const std::map<std::string, std::string> kRefusedOtherwise = {
    // An observation to a point the file never defines is an error here, not silently dropped.
    {"ctu/2021-talapkova.gkf", "names point 3021, which the file does not define"},
};

// Residuals of a few hundredths of a millimetre, below either program's convergence, leave the
// a posteriori sigma agreeing to 1e-3 only.
const std::map<std::string, double> kSigmaTolerance = {{"krumm/2D/Carosio_DistanceDirection_fix.gkf", 1e-3}};

fs::path GamaFolder() {
    return fs::path(NIKON_SOURCE_DIR) / ".." / "shared" / "gama";
}

// Returns the differences found, one per line; empty when the adjustment matches.
std::string Compare(const adjust::Adjustment& a, const Expected& e, double sigmaTolerance) {
    std::ostringstream d;
    if (a.degreesOfFreedom != e.dof)
        d << "degrees of freedom " << a.degreesOfFreedom << " != " << e.dof << '\n';
    if (a.defect != e.defect)
        d << "defect " << a.defect << " != " << e.defect << '\n';
    // Exact data leave both sigmas at rounding noise, which need not agree.
    const bool exact = std::max(a.sigma0Aposteriori, e.aposteriori) < 1e-6 * a.sigma0Apriori;
    if (e.dof > 0 && !exact && std::abs(a.sigma0Aposteriori - e.aposteriori) > sigmaTolerance * e.aposteriori)
        d << "a posteriori sigma " << a.sigma0Aposteriori << " != " << e.aposteriori << '\n';
    // A stored result that scales by the a priori sigma carries no test, whatever its flag says.
    const std::string test = !a.test.applicable ? "not-applicable" : a.test.passed ? "passed" : "failed";
    if (!e.aprioriUsed && test != e.test)
        d << "test " << test << " != " << e.test << '\n';
    // With no redundancy the stored deviations are scaled by a zero sigma; ours by the a priori one.
    const bool compareDeviations = e.dof > 0;
    const double scale = 1e-3;
    const auto near = [](double mine, double theirs) {
        return std::abs(mine - theirs) <= 0.01 * theirs + 1e-7;
    };
    for (const adjust::PointResult& p : a.points) {
        const auto it = e.points.find(p.name);
        if (it == e.points.end())
            continue;
        const ExpectedPoint& x = it->second;
        if (x.x && x.y && p.northing) {
            const auto [n, east] = NorthEast(e.axes, *x.x, *x.y);
            if (std::abs(*p.northing - n) > 1e-4 || std::abs(*p.easting - east) > 1e-4)
                d << p.name << " at " << *p.northing << ", " << *p.easting << " != " << n << ", " << east
                  << '\n';
        }
        if (x.z && p.elevation && std::abs(*p.elevation - *x.z) > 1e-4)
            d << p.name << " elevation " << *p.elevation << " != " << *x.z << '\n';
        if (!compareDeviations)
            continue;
        if (x.vx && x.vy && p.sdNorthing) {
            const auto [vn, ve] = NorthEast(e.axes, *x.vx, *x.vy);
            if (!near(*p.sdNorthing, std::sqrt(std::abs(vn)) * scale) ||
                !near(*p.sdEasting, std::sqrt(std::abs(ve)) * scale))
                d << p.name << " sd " << *p.sdNorthing << ", " << *p.sdEasting << '\n';
            const adjust::Ellipse ellipse = adjust::StandardEllipse(
                *x.vx * scale * scale, x.cxy.value_or(0) * scale * scale, *x.vy * scale * scale);
            if (x.cxy && (!near(p.ellipse->a, ellipse.a) || !near(p.ellipse->b, ellipse.b)))
                d << p.name << " ellipse " << p.ellipse->a << ", " << p.ellipse->b << " != " << ellipse.a
                  << ", " << ellipse.b << '\n';
        }
        if (x.vz && p.sdElevation && !near(*p.sdElevation, std::sqrt(*x.vz) * scale))
            d << p.name << " sd elevation " << *p.sdElevation << " != " << std::sqrt(*x.vz) * scale << '\n';
    }
    return d.str();
}

TEST(GamaNetworks, MatchStoredResultsOrAreRefused) {
    const fs::path folder = GamaFolder();
    if (!fs::is_directory(folder))
        GTEST_SKIP() << "no published networks at " << folder;
    int matched = 0, refused = 0;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().extension() == ".gkf" &&
            fs::exists(fs::path(entry.path()).replace_extension(".xml")))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& path : files) {
        const std::string name = fs::relative(path, folder).string();
        std::string outcome;
        try {
            const adjust::RunAdjustment run = adjust::AdjustGamaLocalFiles({path.string()}, {});
            if (!run.errors.empty())
                throw adjust::Error(run.errors.front());
            const adjust::Adjustment& result = *run.result;
            const auto tolerance = kSigmaTolerance.find(name);
            const std::string differences =
                Compare(result, ReadExpected(fs::path(path).replace_extension(".xml")),
                        tolerance == kSigmaTolerance.end() ? 1e-4 : tolerance->second);
            EXPECT_EQ(differences, "") << name;
            outcome = differences.empty() ? "matches" : "DIFFERS";
            matched += differences.empty();
        } catch (const adjust::Error& error) {
            const std::string text = error.what();
            // Only a kind this adjustment does not support may be refused, and by name and line.
            const auto otherwise = kRefusedOtherwise.find(name);
            const std::string expected =
                otherwise == kRefusedOtherwise.end() ? "is not supported" : otherwise->second;
            EXPECT_NE(text.find(expected), std::string::npos) << name << ": " << text;
            EXPECT_EQ(text.rfind(path.string() + ":", 0), 0u) << text;
            outcome = "refused: " + text.substr(path.string().size() + 1);
            ++refused;
        }
        std::cout << "| " << name << " | " << outcome << " |\n";
    }
    std::cout << matched << " matched, " << refused << " refused of " << files.size() << '\n';
    EXPECT_GT(matched, 40);
}

} // namespace
