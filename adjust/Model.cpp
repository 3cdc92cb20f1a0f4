#include "adjust/Model.h"

#include "survey/Geometry.h"

#include <cmath>
#include <iterator>
#include <unordered_map>

namespace adjust {

namespace {

using survey::kPi;

bool UsesPlane(Kind kind) {
    return kind != Kind::HeightDifference;
}

bool UsesHeight(Kind kind) {
    return kind == Kind::SlopeDistance || kind == Kind::ZenithAngle || kind == Kind::HeightDifference;
}

bool IsFree(const std::optional<Role>& role) {
    return role && *role != Role::Fixed;
}

// Unknowns for the coordinates that are free and that some observation uses, and one orientation
// per direction set that holds a direction.
Unknowns NumberUnknowns(const Network& network, const std::vector<IndexedObservation>& observations) {
    const std::size_t points = network.points.size();
    std::vector<bool> planeUsed(points), heightUsed(points), setUsed(network.sets.size());
    for (const IndexedObservation& o : observations) {
        for (int p : {o.from, o.to, o.backsight}) {
            if (p < 0)
                continue;
            planeUsed[p] = planeUsed[p] || UsesPlane(o.source->kind);
            heightUsed[p] = heightUsed[p] || UsesHeight(o.source->kind);
        }
        if (o.source->kind == Kind::Direction)
            setUsed[o.source->set] = true;
    }
    Unknowns u;
    u.north.assign(points, -1);
    u.east.assign(points, -1);
    u.up.assign(points, -1);
    u.orientation.assign(network.sets.size(), -1);
    for (std::size_t p = 0; p < points; ++p) {
        const Point& point = network.points[p];
        if (planeUsed[p] && IsFree(point.plane)) {
            u.north[p] = u.count++;
            u.east[p] = u.count++;
            u.owner.insert(u.owner.end(), 2, static_cast<int>(p));
        }
        if (heightUsed[p] && IsFree(point.height)) {
            u.up[p] = u.count++;
            u.owner.push_back(static_cast<int>(p));
        }
    }
    for (std::size_t s = 0; s < network.sets.size(); ++s)
        if (setUsed[s]) {
            u.orientation[s] = u.count++;
            u.owner.push_back(-1 - static_cast<int>(s));
        }
    return u;
}

// The derivatives of a bearing and a horizontal distance by the four plane coordinates
// (from N, from E, to N, to E).
struct PlaneTerms {
    double bearing, distance;
    std::array<double, 4> dBearing, dDistance;
};

PlaneTerms Plane(const Position& a, const Position& b) {
    const double dn = b.n - a.n, de = b.e - a.e;
    const double s2 = dn * dn + de * de, s = std::sqrt(s2);
    PlaneTerms t{};
    t.bearing = Normalize(std::atan2(de, dn));
    t.distance = s;
    if (s2 > 0) {
        t.dBearing = {de / s2, -dn / s2, -de / s2, dn / s2};
        t.dDistance = {-dn / s, -de / s, dn / s, de / s};
    }
    return t;
}

class Builder {
public:
    Builder(const Model& model, Linearised& out) : model(model), out(out) {}

    void Plane(int point, double dn, double de) {
        Add(model.unknowns.north[point], dn);
        Add(model.unknowns.east[point], de);
    }
    void Up(int point, double dz) { Add(model.unknowns.up[point], dz); }
    void Add(int unknown, double derivative) {
        // A derivative that happens to be nil is kept, so that the normal equations keep their pattern.
        if (unknown < 0)
            return;
        out.unknown[out.count] = unknown;
        out.derivative[out.count] = derivative;
        ++out.count;
    }

private:
    const Model& model;
    Linearised& out;
};

void Horizontal(const std::array<double, 4>& d, int from, int to, Builder& b) {
    b.Plane(from, d[0], d[1]);
    b.Plane(to, d[2], d[3]);
}

// Slope distance and zenith angle between instrument and target, with their derivatives.
void Spatial(const Model& model, const IndexedObservation& o, Linearised& out) {
    const Position& a = model.positions[o.from];
    const Position& b = model.positions[o.to];
    const PlaneTerms t = Plane(a, b);
    const double dz = (b.z + o.source->targetHeight) - (a.z + o.source->instrumentHeight);
    const double s = t.distance, S2 = s * s + dz * dz, S = std::sqrt(S2);
    Builder builder(model, out);
    if (o.source->kind == Kind::SlopeDistance) {
        out.computed = S;
        if (S == 0)
            return;
        const double k = s / S; // d S / d s
        std::array<double, 4> d;
        for (int i = 0; i < 4; ++i)
            d[i] = k * t.dDistance[i];
        Horizontal(d, o.from, o.to, builder);
        builder.Up(o.from, -dz / S);
        builder.Up(o.to, dz / S);
        return;
    }
    out.computed = std::atan2(s, dz);
    if (S2 == 0)
        return;
    const double ks = dz / S2, kz = -s / S2; // d zenith / d s, d zenith / d dz
    std::array<double, 4> d;
    for (int i = 0; i < 4; ++i)
        d[i] = ks * t.dDistance[i];
    Horizontal(d, o.from, o.to, builder);
    builder.Up(o.from, -kz);
    builder.Up(o.to, kz);
}

} // namespace

double Wrap(double angle) {
    angle = std::fmod(angle, 2 * kPi);
    if (angle > kPi)
        angle -= 2 * kPi;
    else if (angle <= -kPi)
        angle += 2 * kPi;
    return angle;
}

double Normalize(double angle) {
    angle = std::fmod(angle, 2 * kPi);
    return angle < 0 ? angle + 2 * kPi : angle;
}

double Bearing(const Position& from, const Position& to) {
    return Normalize(std::atan2(to.e - from.e, to.n - from.n));
}

double HorizontalDistance(const Position& from, const Position& to) {
    return std::hypot(to.n - from.n, to.e - from.e);
}

std::string ListNames(const std::vector<std::string>& names) {
    constexpr std::size_t kNamed = 10; // a message names this many, then counts the rest
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < kNamed; ++i)
        text += (text.empty() ? "" : ", ") + names[i];
    if (names.size() > kNamed)
        text += " and " + std::to_string(names.size() - kNamed) + " more";
    return text;
}

int Model::PointIndex(const std::string& name) const {
    for (std::size_t i = 0; i < network->points.size(); ++i)
        if (network->points[i].name == name)
            return static_cast<int>(i);
    return -1;
}

Model IndexNetwork(const Network& network) {
    Model model;
    model.network = &network;
    std::unordered_map<std::string, int> byName;
    for (std::size_t i = 0; i < network.points.size(); ++i) {
        const Point& p = network.points[i];
        if (!byName.emplace(p.name, static_cast<int>(i)).second)
            throw Error("point " + p.name + " is defined twice");
        Position position;
        position.hasPlane = p.northing && p.easting;
        position.hasHeight = p.elevation.has_value();
        position.n = p.northing.value_or(0);
        position.e = p.easting.value_or(0);
        position.z = p.elevation.value_or(0);
        model.positions.push_back(position);
    }
    const auto find = [&byName](const std::string& name, const Observation& o) {
        const auto it = byName.find(name);
        if (it == byName.end())
            throw Error("the " + std::string(KindName(o.kind)) + " names point " + name +
                            ", which the network does not define",
                        o.line, o.file);
        return it->second;
    };
    for (const Observation& o : network.observations) {
        if (!(o.sd > 0) || !std::isfinite(o.sd))
            throw Error("the " + std::string(KindName(o.kind)) + " from " + o.from + " to " + o.to +
                            " has no positive standard deviation",
                        o.line, o.file);
        if (o.kind == Kind::Direction && (o.set < 0 || o.set >= static_cast<int>(network.sets.size())))
            throw Error("the direction from " + o.from + " to " + o.to + " belongs to no set", o.line,
                        o.file);
        IndexedObservation io{&o, find(o.from, o), find(o.to, o), -1};
        if (o.kind == Kind::Angle)
            io.backsight = find(o.backsight, o);
        if (io.from == io.to || io.backsight == io.to || io.backsight == io.from)
            throw Error("the " + std::string(KindName(o.kind)) + " from " + o.from + " to " + o.to +
                            " joins a point to itself",
                        o.line, o.file);
        model.observations.push_back(io);
    }
    model.unknowns = NumberUnknowns(network, model.observations);
    model.orientations.assign(network.sets.size(), 0);
    return model;
}

Linearised Linearise(const Model& model, const IndexedObservation& o) {
    Linearised out;
    Builder builder(model, out);
    const Kind kind = o.source->kind;
    if (kind == Kind::SlopeDistance || kind == Kind::ZenithAngle) {
        Spatial(model, o, out);
        return out;
    }
    if (kind == Kind::HeightDifference) {
        out.computed = model.positions[o.to].z - model.positions[o.from].z;
        builder.Up(o.from, -1);
        builder.Up(o.to, 1);
        return out;
    }
    const PlaneTerms t = Plane(model.positions[o.from], model.positions[o.to]);
    switch (kind) {
    case Kind::Distance:
        out.computed = t.distance;
        Horizontal(t.dDistance, o.from, o.to, builder);
        break;
    case Kind::Azimuth:
        out.computed = t.bearing;
        Horizontal(t.dBearing, o.from, o.to, builder);
        break;
    case Kind::Direction:
        out.computed = Normalize(t.bearing - model.orientations[o.source->set]);
        Horizontal(t.dBearing, o.from, o.to, builder);
        builder.Add(model.unknowns.orientation[o.source->set], -1);
        break;
    case Kind::Angle: {
        const PlaneTerms back = Plane(model.positions[o.from], model.positions[o.backsight]);
        out.computed = Normalize(t.bearing - back.bearing);
        builder.Plane(o.from, t.dBearing[0] - back.dBearing[0], t.dBearing[1] - back.dBearing[1]);
        builder.Plane(o.to, t.dBearing[2], t.dBearing[3]);
        builder.Plane(o.backsight, -back.dBearing[2], -back.dBearing[3]);
        break;
    }
    default:
        break;
    }
    return out;
}

double Misclosure(const IndexedObservation& o, double computed) {
    const double difference = o.source->value - computed;
    return IsAngular(o.source->kind) && o.source->kind != Kind::ZenithAngle ? Wrap(difference) : difference;
}

namespace {

// Each kind's words in messages and listings, and its key in JSON.
struct KindNames {
    const char* words;
    const char* key;
};
constexpr KindNames kKindNames[] = {
    {"direction", "direction"},      {"angle", "angle"},
    {"distance", "distance"},        {"slope distance", "slopeDistance"},
    {"zenith angle", "zenithAngle"}, {"height difference", "heightDifference"},
    {"azimuth", "azimuth"},
};
static_assert(std::size(kKindNames) == static_cast<std::size_t>(Kind::Azimuth) + 1);

constexpr const char* kRoleNames[] = {"fixed", "adjusted", "constrained"};
static_assert(std::size(kRoleNames) == static_cast<std::size_t>(Role::Constrained) + 1);

const KindNames& NamesOf(Kind kind) {
    return kKindNames[static_cast<std::size_t>(kind)];
}

} // namespace

const char* KindName(Kind kind) {
    return NamesOf(kind).words;
}
const char* KindKey(Kind kind) {
    return NamesOf(kind).key;
}

const char* RoleName(Role role) {
    return kRoleNames[static_cast<std::size_t>(role)];
}

bool IsAngular(Kind kind) {
    return kind == Kind::Direction || kind == Kind::Angle || kind == Kind::ZenithAngle ||
           kind == Kind::Azimuth;
}

} // namespace adjust
