#include "adjust/GamaLocal.h"

#include "adjust/Model.h"
#include "survey/Geometry.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlwriter.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>

namespace adjust {

namespace {

using survey::kPi;
constexpr double kRadiansPerGon = kPi / 200;
constexpr double kRadiansPerDegree = kPi / 180;
// Standard deviations: centicentigons for angles in gons, arcseconds for angles in degrees, and
// millimetres for lengths.
constexpr double kRadiansPerCc = kRadiansPerGon / 10000;
constexpr double kMetresPerMm = 0.001;
// The format's a priori standard deviation of unit weight where <parameters> gives none.
constexpr double kDefaultSigmaApriori = 10;

struct DocumentDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ContextDeleter {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

std::string Name(const xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

int Line(const xmlNode* node) {
    return static_cast<int>(xmlGetLineNo(node));
}

std::optional<std::string> Attribute(const xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr)
        return std::nullopt;
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// Axes of the input's x and y: the signs and order that give northing and easting.
struct Axes {
    bool swap;          // x is the easting or westing
    double north, east; // signs
};

const std::map<std::string, Axes>& AxesTable() {
    static const std::map<std::string, Axes> table = {
        {"ne", {false, 1, 1}}, {"sw", {false, -1, -1}}, {"es", {true, -1, 1}},  {"wn", {true, 1, -1}},
        {"en", {true, 1, 1}},  {"nw", {false, 1, -1}},  {"se", {false, -1, 1}}, {"ws", {true, -1, -1}},
    };
    return table;
}

struct Angle {
    double radians = 0;
    bool degrees = false; // written as degrees-minutes-seconds, its deviations in arcseconds
};

// The gama-local default deviations, each given in the unit of the values it applies to.
struct Defaults {
    std::optional<double> direction, angle, zenith, azimuth;
    std::optional<std::array<double, 3>> distance; // a + b D^c, mm with D in km
};

class Reader {
public:
    explicit Reader(std::string name) : name(std::move(name)) {}

    GamaLocalFile Read(const xmlNode* root) {
        file.network.sigma0 = kDefaultSigmaApriori;
        if (Name(root) != "gama-local")
            Fail(root, "the root element is <" + Name(root) + ">, not <gama-local>");
        EachElement(root, {{"network", &Reader::Network}});
        CheckPointNames();
        return std::move(file);
    }

private:
    [[noreturn]] void Fail(const xmlNode* node, const std::string& message) const {
        throw Error(name + ":" + std::to_string(Line(node)) + ": " + message);
    }
    [[noreturn]] void Unsupported(const xmlNode* node) const {
        Fail(node, "<" + Name(node) + "> is not supported by this adjustment");
    }

    static std::vector<const xmlNode*> Elements(const xmlNode* parent) {
        std::vector<const xmlNode*> elements;
        for (const xmlNode* child = parent->children; child != nullptr; child = child->next)
            if (child->type == XML_ELEMENT_NODE)
                elements.push_back(child);
        return elements;
    }

    double Number(const xmlNode* node, const char* attribute, const std::string& text) const {
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        double value = 0;
        if (!(in >> value) || !(in >> std::ws).eof() || !std::isfinite(value))
            Fail(node, std::string(attribute) + "=\"" + text + "\" is not a number");
        return value;
    }
    std::optional<double> OptionalNumber(const xmlNode* node, const char* attribute) const {
        const auto text = Attribute(node, attribute);
        if (!text)
            return std::nullopt;
        return Number(node, attribute, *text);
    }
    std::string Required(const xmlNode* node, const char* attribute) const {
        auto text = Attribute(node, attribute);
        if (!text || text->empty())
            Fail(node, "<" + Name(node) + "> has no " + attribute);
        return *text;
    }
    double Deviation(const xmlNode* node, const char* attribute, double value) const {
        if (!(value > 0))
            Fail(node, std::string(attribute) + " must be positive, not " +
                           Attribute(node, attribute).value_or(""));
        return value;
    }

    Angle ParseAngle(const xmlNode* node, const std::string& text) const {
        Angle angle;
        const std::size_t dash = text.find('-', text[0] == '-' || text[0] == '+' ? 1 : 0);
        if (dash == std::string::npos) {
            angle.radians = Number(node, "val", text) * kRadiansPerGon;
            return angle;
        }
        // Degrees, minutes and seconds joined by dashes, with an optional sign in front.
        const bool negative = text[0] == '-';
        std::string fields = text.substr(text[0] == '-' || text[0] == '+' ? 1 : 0);
        for (char& c : fields)
            if (c == '-')
                c = ' ';
        std::istringstream in(fields);
        in.imbue(std::locale::classic());
        double d = 0, m = 0, s = 0;
        if (!(in >> d >> m >> s) || !(in >> std::ws).eof() || m < 0 || m >= 60 || s < 0 || s > 60)
            Fail(node, "val=\"" + text + "\" is neither gons nor degrees-minutes-seconds");
        angle.radians = (negative ? -1 : 1) * (d + m / 60 + s / 3600) * kRadiansPerDegree;
        angle.degrees = true;
        return angle;
    }

    void Network(const xmlNode* network) {
        const std::string axes = Attribute(network, "axes-xy").value_or("ne");
        const auto found = AxesTable().find(axes);
        if (found == AxesTable().end())
            Fail(network, "axes-xy=\"" + axes + "\" is not one of ne, sw, es, wn, en, nw, se, ws");
        this->axes = found->second;
        const std::string angles = Attribute(network, "angles").value_or("left-handed");
        if (angles != "left-handed" && angles != "right-handed")
            Fail(network, "angles=\"" + angles + "\" is neither left-handed nor right-handed");
        clockwise = angles == "left-handed";
        EachElement(network, {{"description", &Reader::Description},
                              {"parameters", &Reader::Parameters},
                              {"points-observations", &Reader::PointsObservations}});
    }

    using ElementReader = void (Reader::*)(const xmlNode*);

    // Each child element read by the reader of its name; any other is refused.
    void EachElement(const xmlNode* parent,
                     std::initializer_list<std::pair<std::string_view, ElementReader>> readers) {
        for (const xmlNode* child : Elements(parent)) {
            const std::string kind = Name(child);
            const auto found = std::find_if(readers.begin(), readers.end(),
                                            [&](const auto& reader) { return reader.first == kind; });
            if (found == readers.end())
                Unsupported(child);
            (this->*found->second)(child);
        }
    }

    void Description(const xmlNode* node) { file.network.description = Text(node); }

    static std::string Text(const xmlNode* node) {
        xmlChar* content = xmlNodeGetContent(node);
        std::string text = content ? reinterpret_cast<const char*>(content) : "";
        xmlFree(content);
        return text;
    }

    void Parameters(const xmlNode* node) {
        if (auto sigma = OptionalNumber(node, "sigma-apr"))
            file.network.sigma0 = Deviation(node, "sigma-apr", *sigma);
        if (auto probability = OptionalNumber(node, "conf-pr")) {
            if (!(*probability > 0 && *probability < 1))
                Fail(node, "conf-pr must lie between 0 and 1");
            file.settings.probability = *probability;
        }
        if (auto act = Attribute(node, "sigma-act")) {
            if (*act != "apriori" && *act != "aposteriori")
                Fail(node, "sigma-act=\"" + *act + "\" is neither apriori nor aposteriori");
            file.settings.aposteriori = *act == "aposteriori";
        }
    }

    void PointsObservations(const xmlNode* node) {
        defaults = Defaults{};
        const auto angular = [&](const char* attribute) -> std::optional<double> {
            const auto value = OptionalNumber(node, attribute);
            return value ? std::optional<double>(Deviation(node, attribute, *value)) : std::nullopt;
        };
        defaults.direction = angular("direction-stdev");
        defaults.angle = angular("angle-stdev");
        defaults.zenith = angular("zenith-angle-stdev");
        defaults.azimuth = angular("azimuth-stdev");
        if (auto text = Attribute(node, "distance-stdev")) {
            std::istringstream in(*text);
            in.imbue(std::locale::classic());
            std::array<double, 3> model{0, 0, 1};
            int count = 0;
            while (count < 3 && in >> model[count])
                ++count;
            if (count == 0 || !(in >> std::ws).eof() || model[0] < 0 || model[1] < 0 ||
                !(model[0] + model[1] > 0))
                Fail(node, "distance-stdev=\"" + *text + "\" is not a + b D^c with positive constants");
            defaults.distance = model;
        }
        EachElement(node, {{"point", &Reader::PointElement},
                           {"obs", &Reader::Obs},
                           {"height-differences", &Reader::HeightDifferences}});
    }

    Point& PointNamed(const std::string& id, const xmlNode* node) {
        const auto it = pointIndex.find(id);
        if (it != pointIndex.end())
            return file.network.points[it->second];
        pointIndex.emplace(id, file.network.points.size());
        Point point;
        point.name = id;
        point.line = Line(node);
        file.network.points.push_back(point);
        return file.network.points.back();
    }

    void PointElement(const xmlNode* node) {
        Point& point = PointNamed(Required(node, "id"), node);
        const auto x = OptionalNumber(node, "x"), y = OptionalNumber(node, "y");
        if (x.has_value() != y.has_value())
            Fail(node, "point " + point.name + " has only one of x and y");
        if (x) {
            point.northing = axes.north * (axes.swap ? *y : *x);
            point.easting = axes.east * (axes.swap ? *x : *y);
        }
        if (auto z = OptionalNumber(node, "z"))
            point.elevation = *z;
        if (auto fix = Attribute(node, "fix"))
            Roles(node, *fix, point, true);
        if (auto adj = Attribute(node, "adj"))
            Roles(node, *adj, point, false);
    }

    void Roles(const xmlNode* node, const std::string& letters, Point& point, bool fixed) {
        for (char c : letters) {
            const bool capital = c == 'X' || c == 'Y' || c == 'Z';
            const Role role = fixed ? Role::Fixed : capital ? Role::Constrained : Role::Adjusted;
            switch (c) {
            case 'x':
            case 'y':
            case 'X':
            case 'Y':
                point.plane = role;
                break;
            case 'z':
            case 'Z':
                point.height = role;
                break;
            default:
                Fail(node,
                     std::string(fixed ? "fix" : "adj") + "=\"" + letters + "\" is not made of x, y and z");
            }
        }
    }

    // An observation set: its elements, and a diagonal covariance matrix in place of their deviations.
    void Obs(const xmlNode* node) {
        const std::string station = Attribute(node, "from").value_or("");
        const std::size_t first = file.network.observations.size();
        int set = -1;
        using Handler = void (Reader::*)(const xmlNode*, const std::string&, int&);
        static const std::map<std::string, Handler> handlers = {
            {"direction", &Reader::Direction}, {"distance", &Reader::Distance},
            {"s-distance", &Reader::Distance}, {"angle", &Reader::AngleElement},
            {"z-angle", &Reader::ZenithAngle}, {"azimuth", &Reader::Azimuth},
        };
        for (const xmlNode* child : Elements(node)) {
            const std::string kind = Name(child);
            if (kind == "cov-mat") {
                CovarianceMatrix(child, first);
                continue;
            }
            const auto handler = handlers.find(kind);
            if (handler == handlers.end())
                Unsupported(child);
            (this->*handler->second)(child, station, set);
        }
    }

    std::string From(const xmlNode* node, const std::string& station) const {
        const std::string from = Attribute(node, "from").value_or(station);
        if (from.empty())
            Fail(node, "<" + Name(node) + "> has no standpoint: neither it nor its <obs> names one");
        return from;
    }

    Observation Common(const xmlNode* node, Kind kind, const std::string& from) {
        Observation o;
        o.kind = kind;
        o.from = from;
        o.to = kind == Kind::Angle ? Required(node, "fs") : Required(node, "to");
        o.line = Line(node);
        o.file = name;
        o.instrumentHeight = OptionalNumber(node, "from_dh").value_or(0);
        o.targetHeight = OptionalNumber(node, kind == Kind::Angle ? "fs_dh" : "to_dh").value_or(0);
        return o;
    }

    // A horizontal angle's value turned clockwise, and its deviation in radians.
    void AngularValue(const xmlNode* node, Observation& o, const std::optional<double>& fallback) {
        const Angle angle = ParseAngle(node, Required(node, "val"));
        if (angle.degrees)
            degreeValues.insert(file.network.observations.size());
        const bool horizontal = o.kind != Kind::ZenithAngle;
        o.value = horizontal && !clockwise ? -angle.radians : angle.radians;
        const auto given = OptionalNumber(node, "stdev");
        const std::optional<double> sd = given ? given : fallback;
        if (given)
            Deviation(node, "stdev", *given);
        o.sd = sd ? *sd * (angle.degrees ? survey::kRadiansPerSecond : kRadiansPerCc) : 0;
    }

    void Add(const xmlNode* node, Observation o) {
        if (!(o.sd > 0))
            pendingDeviation.emplace(file.network.observations.size(), Line(node));
        file.network.observations.push_back(std::move(o));
    }

    void Direction(const xmlNode* node, const std::string& station, int& set) {
        if (station.empty())
            Fail(node, "a <direction> needs the standpoint of its <obs from=\"...\">");
        if (set < 0) {
            set = static_cast<int>(file.network.sets.size());
            file.network.sets.push_back({station, Line(node->parent)});
        }
        Observation o = Common(node, Kind::Direction, station);
        o.set = set;
        AngularValue(node, o, defaults.direction);
        Add(node, std::move(o));
    }

    void Distance(const xmlNode* node, const std::string& station, int&) {
        const Kind kind = Name(node) == "distance" ? Kind::Distance : Kind::SlopeDistance;
        Observation o = Common(node, kind, From(node, station));
        o.value = Number(node, "val", Required(node, "val"));
        if (!(o.value > 0))
            Fail(node, "a distance must be positive");
        if (auto sd = OptionalNumber(node, "stdev"))
            o.sd = Deviation(node, "stdev", *sd) * kMetresPerMm;
        else if (defaults.distance) {
            const auto& [a, b, c] = *defaults.distance;
            o.sd = (a + b * std::pow(o.value / 1000, c)) * kMetresPerMm;
        }
        Add(node, std::move(o));
    }

    void AngleElement(const xmlNode* node, const std::string& station, int&) {
        Observation o = Common(node, Kind::Angle, From(node, station));
        o.backsight = Required(node, "bs");
        AngularValue(node, o, defaults.angle);
        Add(node, std::move(o));
    }

    void ZenithAngle(const xmlNode* node, const std::string& station, int&) {
        Observation o = Common(node, Kind::ZenithAngle, From(node, station));
        AngularValue(node, o, defaults.zenith);
        Add(node, std::move(o));
    }

    void Azimuth(const xmlNode* node, const std::string& station, int&) {
        Observation o = Common(node, Kind::Azimuth, From(node, station));
        AngularValue(node, o, defaults.azimuth);
        Add(node, std::move(o));
    }

    void HeightDifferences(const xmlNode* node) {
        const std::size_t first = file.network.observations.size();
        for (const xmlNode* child : Elements(node)) {
            if (Name(child) == "cov-mat") {
                CovarianceMatrix(child, first);
                continue;
            }
            if (Name(child) != "dh")
                Unsupported(child);
            Observation o;
            o.kind = Kind::HeightDifference;
            o.from = Required(child, "from");
            o.to = Required(child, "to");
            o.line = Line(child);
            o.file = name;
            o.value = Number(child, "val", Required(child, "val"));
            if (auto sd = OptionalNumber(child, "stdev"))
                o.sd = Deviation(child, "stdev", *sd) * kMetresPerMm;
            else if (auto km = OptionalNumber(child, "dist"))
                // A levelled line's deviation grows with the root of its length in kilometres.
                o.sd = file.network.sigma0 * std::sqrt(Deviation(child, "dist", *km)) * kMetresPerMm;
            Add(child, std::move(o));
        }
    }

    // A set's variances, one per observation in order; correlations are not adjusted here.
    void CovarianceMatrix(const xmlNode* node, std::size_t first) {
        const std::size_t count = file.network.observations.size() - first;
        const auto dim = OptionalNumber(node, "dim"), band = OptionalNumber(node, "band");
        if (!dim || *dim != static_cast<double>(count))
            Fail(node, "<cov-mat> must have dim=\"" + std::to_string(count) + "\", one row per observation");
        if (!band || *band != 0)
            Unsupported(node, "a <cov-mat> with correlations (band above 0)");
        std::istringstream in(Text(node));
        in.imbue(std::locale::classic());
        for (std::size_t i = first; i < first + count; ++i) {
            double variance = 0;
            if (!(in >> variance) || !(variance > 0))
                Fail(node, "<cov-mat> needs " + std::to_string(count) + " positive variances");
            Observation& o = file.network.observations[i];
            const double sd = std::sqrt(variance);
            o.sd = sd * (IsAngular(o.kind) ? UnitOfAngularDeviation(i) : kMetresPerMm);
            pendingDeviation.erase(i);
        }
    }

    void Unsupported(const xmlNode* node, const std::string& what) const {
        Fail(node, what + " is not supported by this adjustment");
    }

    double UnitOfAngularDeviation(std::size_t observation) const {
        return degreeValues.count(observation) ? survey::kRadiansPerSecond : kRadiansPerCc;
    }

    void CheckPointNames() const {
        for (const auto& [index, line] : pendingDeviation) {
            const Observation& o = file.network.observations[index];
            throw Error(name + ":" + std::to_string(line) + ": the " + KindName(o.kind) + " from " + o.from +
                        " to " + o.to + " has no standard deviation, and the network gives no default");
        }
        for (const Observation& o : file.network.observations)
            for (const std::string* point : {&o.from, &o.to, &o.backsight})
                if (!point->empty() && !pointIndex.count(*point))
                    throw Error(name + ":" + std::to_string(o.line) + ": the " + KindName(o.kind) +
                                " names point " + *point + ", which the file does not define");
    }

    const std::string name;
    GamaLocalFile file;
    Axes axes{false, 1, 1};
    bool clockwise = true;
    Defaults defaults;
    std::map<std::string, std::size_t> pointIndex;
    std::map<std::size_t, int> pendingDeviation; // observations without a deviation yet, by line
    std::set<std::size_t> degreeValues;          // observations written in degrees
};

} // namespace

GamaLocalFile ParseGamaLocal(const std::string& text, const std::string& name) {
    const std::unique_ptr<xmlParserCtxt, ContextDeleter> context(xmlNewParserCtxt());
    if (!context)
        throw Error(name + ": cannot start the XML parser");
    const std::unique_ptr<xmlDoc, DocumentDeleter> doc(
        xmlCtxtReadMemory(context.get(), text.data(), static_cast<int>(text.size()), name.c_str(), nullptr,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc) {
        const xmlError* error = xmlCtxtGetLastError(context.get());
        std::string message = error && error->message ? error->message : "not well-formed XML";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        throw Error(name + ":" + std::to_string(error ? error->line : 0) + ": " + message);
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr)
        throw Error(name + ":1: the file holds no XML element");
    return Reader(name).Read(root);
}

GamaLocalFile ReadGamaLocal(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error(path + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    return ParseGamaLocal(text.str(), path);
}

namespace {

// Adds a file's network to the run's: points shared by name keep their first definition.
void Merge(Network& run, Network&& file) {
    const int setOffset = static_cast<int>(run.sets.size());
    run.sets.insert(run.sets.end(), file.sets.begin(), file.sets.end());
    std::set<std::string> known;
    for (const Point& p : run.points)
        known.insert(p.name);
    for (Point& p : file.points)
        if (known.insert(p.name).second)
            run.points.push_back(std::move(p));
    for (Observation& o : file.observations) {
        if (o.set >= 0)
            o.set += setOffset;
        run.observations.push_back(std::move(o));
    }
}

std::string Located(const Error& error, const std::vector<std::string>& files) {
    if (!error.File().empty())
        return error.File() + ":" + (error.Line() > 0 ? std::to_string(error.Line()) + ":" : "") + " " +
               error.what();
    std::string names;
    for (const std::string& file : files)
        names += (names.empty() ? "" : ", ") + file;
    return names + ": " + error.what();
}

} // namespace

RunAdjustment AdjustGamaLocalFiles(const std::vector<std::string>& paths, const Settings& settings) {
    RunAdjustment run;
    Network network;
    Settings own = settings;
    for (const std::string& path : paths) {
        try {
            GamaLocalFile file = ReadGamaLocal(path);
            if (run.files.empty()) {
                network.description = file.network.description;
                network.sigma0 = file.network.sigma0;
                own.probability = file.settings.probability;
                own.aposteriori = file.settings.aposteriori;
            }
            Merge(network, std::move(file.network));
            run.files.push_back(path);
        } catch (const Error& error) {
            run.errors.push_back(error.what());
        }
    }
    if (run.files.empty())
        return run;
    try {
        run.result = Adjust(network, own);
    } catch (const Error& error) {
        run.errors.push_back(Located(error, run.files));
    }
    return run;
}

bool IsGamaLocalFile(const std::string& path) {
    const std::string extension = ".gkf";
    if (path.size() >= extension.size()) {
        std::string tail = path.substr(path.size() - extension.size());
        for (char& c : tail)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == extension)
            return true;
    }
    // Only a regular file is looked into: a pipe's first bytes, once read here, would be lost to
    // the import that follows.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), error))
        return false;
    std::ifstream in(path, std::ios::binary);
    std::string head(512, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    // The root element comes after the declaration and any comments.
    return head.find("<gama-local") != std::string::npos &&
           head.find("<gama-local-adjustment") == std::string::npos;
}

namespace {

// A document written through libxml2's writer, which escapes the names in it.
class GamaWriter {
public:
    GamaWriter() : buffer(xmlBufferCreate()), writer(xmlNewTextWriterMemory(buffer, 0)) {
        if (writer == nullptr)
            throw Error("cannot write a gama-local document: out of memory");
        xmlTextWriterSetIndent(writer, 1);
        xmlTextWriterStartDocument(writer, nullptr, "UTF-8", nullptr);
    }
    ~GamaWriter() {
        if (writer != nullptr)
            xmlFreeTextWriter(writer);
        xmlBufferFree(buffer);
    }
    GamaWriter(const GamaWriter&) = delete;
    GamaWriter& operator=(const GamaWriter&) = delete;

    void Start(const char* element) { xmlTextWriterStartElement(writer, Xml(element)); }
    void End() { xmlTextWriterEndElement(writer); }
    void Attribute(const char* name, const std::string& value) {
        xmlTextWriterWriteAttribute(writer, Xml(name), Xml(value.c_str()));
    }
    void Number(const char* name, double value, const char* format = "%.10g") {
        char text[64];
        std::snprintf(text, sizeof text, format, value);
        Attribute(name, text);
    }
    void Text(const char* element, const std::string& text) {
        xmlTextWriterWriteElement(writer, Xml(element), Xml(text.c_str()));
    }
    std::string Finish() {
        xmlTextWriterEndDocument(writer);
        xmlFreeTextWriter(writer);
        writer = nullptr;
        return reinterpret_cast<const char*>(xmlBufferContent(buffer));
    }

private:
    static const xmlChar* Xml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
    xmlBufferPtr buffer;
    xmlTextWriterPtr writer;
};

// The letters of gama-local's fix and adj attributes: capitals for the constrained.
std::string Letters(const Point& point, bool fixed) {
    const auto letters = [fixed](const std::optional<Role>& role, const char* small, const char* capital) {
        if (!role || (*role == Role::Fixed) != fixed)
            return "";
        return *role == Role::Constrained ? capital : small;
    };
    return std::string(letters(point.plane, "xy", "XY")) + letters(point.height, "z", "Z");
}

void WritePoint(GamaWriter& out, const Point& point) {
    out.Start("point");
    out.Attribute("id", point.name);
    if (point.northing && point.easting) {
        out.Number("x", *point.northing, "%.6f");
        out.Number("y", *point.easting, "%.6f");
    }
    if (point.elevation)
        out.Number("z", *point.elevation, "%.6f");
    if (const std::string fixed = Letters(point, true); !fixed.empty())
        out.Attribute("fix", fixed);
    if (const std::string adjusted = Letters(point, false); !adjusted.empty())
        out.Attribute("adj", adjusted);
    out.End();
}

// Element names by kind; height differences go in a section of their own.
constexpr const char* kGamaElements[] = {"direction", "angle", "distance", "s-distance",
                                         "z-angle",   "dh",    "azimuth"};
static_assert(std::size(kGamaElements) == static_cast<std::size_t>(Kind::Azimuth) + 1);

void WriteObservation(GamaWriter& out, const Observation& o) {
    out.Start(kGamaElements[static_cast<std::size_t>(o.kind)]);
    if (o.kind == Kind::Angle) {
        out.Attribute("bs", o.backsight);
        out.Attribute("fs", o.to);
    } else {
        out.Attribute("to", o.to);
    }
    if (IsAngular(o.kind)) {
        out.Number("val", Normalize(o.value) / kRadiansPerGon, "%.10f");
        out.Number("stdev", o.sd / kRadiansPerCc);
    } else {
        out.Number("val", o.value, "%.6f");
        out.Number("stdev", o.sd / kMetresPerMm);
    }
    if (o.kind == Kind::SlopeDistance || o.kind == Kind::ZenithAngle) {
        out.Number("from_dh", o.instrumentHeight, "%.6f");
        out.Number("to_dh", o.targetHeight, "%.6f");
    }
    out.End();
}

void WriteHeightDifferences(GamaWriter& out, const Network& network) {
    bool started = false;
    for (const Observation& o : network.observations) {
        if (o.kind != Kind::HeightDifference)
            continue;
        if (!started)
            out.Start("height-differences");
        started = true;
        out.Start("dh");
        out.Attribute("from", o.from);
        out.Attribute("to", o.to);
        out.Number("val", o.value, "%.6f");
        out.Number("stdev", o.sd / kMetresPerMm);
        out.End();
    }
    if (started)
        out.End();
}

} // namespace

std::string WriteGamaLocal(const Network& network, const Settings& settings) {
    GamaWriter out;
    out.Start("gama-local");
    out.Attribute("xmlns", "http://www.gnu.org/software/gama/gama-local");
    out.Start("network");
    out.Attribute("axes-xy", "ne");
    out.Attribute("angles", "left-handed");
    out.Text("description", network.description);
    out.Start("parameters");
    out.Number("sigma-apr", network.sigma0);
    out.Number("conf-pr", settings.probability);
    out.Attribute("sigma-act", settings.aposteriori ? "aposteriori" : "apriori");
    out.End();
    out.Start("points-observations");
    for (const Point& point : network.points)
        WritePoint(out, point);
    // One <obs> for each run of observations from one standpoint and one direction set.
    const Observation* open = nullptr;
    for (const Observation& o : network.observations) {
        if (o.kind == Kind::HeightDifference)
            continue;
        if (open && (open->from != o.from || (o.set >= 0 && open->set >= 0 && o.set != open->set))) {
            out.End();
            open = nullptr;
        }
        if (!open) {
            out.Start("obs");
            out.Attribute("from", o.from);
            open = &o;
        } else if (open->set < 0 && o.set >= 0) {
            open = &o; // the set's first direction joins the observations before it
        }
        WriteObservation(out, o);
    }
    if (open)
        out.End();
    WriteHeightDifferences(out, network);
    out.End();
    out.End();
    out.End();
    return out.Finish();
}

} // namespace adjust
