// Approximate coordinates, as a surveyor computes them by hand before an adjustment: orient each
// set-up on the points already known, then place new points by polar sights (a bearing and a
// distance from one station) or by intersection (bearings from two stations), and carry heights
// by levelled height differences and trigonometric levelling. Repeated until nothing more is placed.
#include "adjust/Model.h"

#include "survey/Geometry.h"

#include <Eigen/Dense>

#include <cmath>
#include <complex>
#include <limits>
#include <map>

namespace adjust {

namespace {

using survey::kPi;
// Two rays closer than this to parallel do not intersect well enough to start from.
const double kMinimumCut = 5 * kPi / 180;

struct Ray {
    int station = -1;
    double bearing = 0;
};

using PairKey = std::pair<int, int>;

PairKey Pair(int a, int b) {
    return a < b ? PairKey{a, b} : PairKey{b, a};
}

bool Placed(const Model& m, int p) {
    return p >= 0 && m.positions[p].hasPlane;
}

// The horizontal distances between pairs of points, from horizontal distances or from slope
// distances reduced by a zenith angle of the same pair where there is one.
std::map<PairKey, double> HorizontalDistances(const Model& m) {
    std::map<PairKey, double> zenith, slope, horizontal;
    for (const IndexedObservation& o : m.observations) {
        const PairKey key = Pair(o.from, o.to);
        if (o.source->kind == Kind::Distance)
            horizontal[key] = o.source->value;
        else if (o.source->kind == Kind::SlopeDistance)
            slope[key] = o.source->value;
        else if (o.source->kind == Kind::ZenithAngle)
            zenith[key] = o.source->value;
    }
    for (const auto& [key, s] : slope) {
        const auto z = zenith.find(key);
        horizontal.emplace(key, z == zenith.end() ? s : s * std::sin(z->second));
    }
    return horizontal;
}

std::multimap<int, Ray> Rays(const Model& m, const std::vector<bool>& oriented) {
    std::multimap<int, Ray> rays;
    for (const IndexedObservation& o : m.observations) {
        const double v = o.source->value;
        switch (o.source->kind) {
        case Kind::Direction:
            if (!oriented[o.source->set])
                break;
            if (Placed(m, o.from) && !Placed(m, o.to))
                rays.emplace(o.to, Ray{o.from, v + m.orientations[o.source->set]});
            else if (!Placed(m, o.from) && Placed(m, o.to))
                rays.emplace(o.from, Ray{o.to, v + m.orientations[o.source->set] + kPi});
            break;
        case Kind::Azimuth:
            if (Placed(m, o.from) && !Placed(m, o.to))
                rays.emplace(o.to, Ray{o.from, v});
            else if (!Placed(m, o.from) && Placed(m, o.to))
                rays.emplace(o.from, Ray{o.to, v + kPi});
            break;
        case Kind::Angle:
            if (!Placed(m, o.from))
                break;
            if (Placed(m, o.backsight) && !Placed(m, o.to))
                rays.emplace(o.to, Ray{o.from, Bearing(m.positions[o.from], m.positions[o.backsight]) + v});
            else if (Placed(m, o.to) && !Placed(m, o.backsight))
                rays.emplace(o.backsight, Ray{o.from, Bearing(m.positions[o.from], m.positions[o.to]) - v});
            break;
        default:
            break;
        }
    }
    return rays;
}

bool Intersect(const Position& a, double ta, const Position& b, double tb, Position& out) {
    const double sa = std::sin(ta), ca = std::cos(ta), sb = std::sin(tb), cb = std::cos(tb);
    const double det = sa * cb - ca * sb; // sin(ta - tb)
    if (std::abs(det) < std::sin(kMinimumCut))
        return false;
    // a + u (cos ta, sin ta) = b + w (cos tb, sin tb), in (N, E)
    const double dn = b.n - a.n, de = b.e - a.e;
    const double u = (de * cb - dn * sb) / det;
    out.n = a.n + u * ca;
    out.e = a.e + u * sa;
    return true;
}

bool PlaceOne(Model& m, int point, const std::vector<Ray>& rays, const std::map<PairKey, double>& distances) {
    Position& target = m.positions[point];
    for (const Ray& ray : rays) {
        const auto d = distances.find(Pair(ray.station, point));
        if (d == distances.end())
            continue;
        const Position& s = m.positions[ray.station];
        target.n = s.n + d->second * std::cos(ray.bearing);
        target.e = s.e + d->second * std::sin(ray.bearing);
        target.hasPlane = true;
        return true;
    }
    for (std::size_t i = 0; i < rays.size(); ++i)
        for (std::size_t j = i + 1; j < rays.size(); ++j)
            if (rays[i].station != rays[j].station &&
                Intersect(m.positions[rays[i].station], rays[i].bearing, m.positions[rays[j].station],
                          rays[j].bearing, target)) {
                target.hasPlane = true;
                return true;
            }
    return false;
}

bool PlacePlane(Model& m) {
    const std::vector<bool> oriented = OrientSets(m);
    const std::map<PairKey, double> distances = HorizontalDistances(m);
    const std::multimap<int, Ray> rays = Rays(m, oriented);
    bool placed = false;
    for (auto it = rays.begin(); it != rays.end();) {
        const auto range = rays.equal_range(it->first);
        std::vector<Ray> own;
        for (auto r = range.first; r != range.second; ++r)
            own.push_back(r->second);
        placed = PlaceOne(m, it->first, own, distances) || placed;
        it = range.second;
    }
    return placed;
}

// The height of one end of a sight from the other: levelled, or by slope distance or horizontal
// distance with the zenith angle of the same sight.
bool PlaceHeights(Model& m) {
    const std::map<PairKey, double> distances = HorizontalDistances(m);
    bool placed = false;
    for (const IndexedObservation& o : m.observations) {
        Position& a = m.positions[o.from];
        Position& b = m.positions[o.to];
        if (a.hasHeight == b.hasHeight)
            continue;
        double rise = 0; // from the ground at `from` to the ground at `to`
        if (o.source->kind == Kind::HeightDifference) {
            rise = o.source->value;
        } else if (o.source->kind == Kind::ZenithAngle) {
            const auto d = distances.find(Pair(o.from, o.to));
            const bool planes = a.hasPlane && b.hasPlane;
            if (d == distances.end() && !planes)
                continue;
            const double s = d != distances.end() ? d->second : HorizontalDistance(a, b);
            rise = o.source->instrumentHeight + s / std::tan(o.source->value) - o.source->targetHeight;
        } else {
            continue;
        }
        if (a.hasHeight)
            b.z = a.z + rise;
        else
            a.z = b.z - rise;
        a.hasHeight = b.hasHeight = true;
        placed = true;
    }
    return placed;
}

// A sight between a point being sought and a placed point, as a resection uses it.
struct Sight {
    int other = -1;
    enum { OwnDirection, Ray, Length } type = Length;
    double value = 0, sd = 1;
    int set = -1; // OwnDirection: the local orientation's index
};

// The observations at each point, by index.
std::vector<std::vector<int>> ObservationsByPoint(const Model& m) {
    std::vector<std::vector<int>> at(m.positions.size());
    for (std::size_t i = 0; i < m.observations.size(); ++i) {
        at[m.observations[i].from].push_back(static_cast<int>(i));
        at[m.observations[i].to].push_back(static_cast<int>(i));
    }
    return at;
}

std::vector<Sight> SightsOf(const Model& m, int point, const std::vector<int>& observations,
                            const std::map<PairKey, double>& distances, const std::vector<bool>& oriented,
                            int& sets) {
    std::vector<Sight> sights;
    std::map<int, int> localSet;
    for (int index : observations) {
        const IndexedObservation& o = m.observations[index];
        const int other = o.from == point ? o.to : o.to == point ? o.from : -1;
        if (other < 0 || !Placed(m, other) || o.backsight >= 0)
            continue;
        const Observation& src = *o.source;
        Sight sight{other, Sight::Length, src.value, src.sd, -1};
        if (src.kind == Kind::Direction && o.from == point) {
            sight.type = Sight::OwnDirection;
            sight.set = localSet.emplace(src.set, static_cast<int>(localSet.size())).first->second;
        } else if (src.kind == Kind::Direction && oriented[src.set]) {
            sight.type = Sight::Ray;
            sight.value = src.value + m.orientations[src.set];
        } else if (src.kind == Kind::Azimuth) {
            sight.type = Sight::Ray;
            sight.value = o.from == point ? src.value + kPi : src.value;
        } else if (src.kind == Kind::Distance || src.kind == Kind::SlopeDistance) {
            sight.value = distances.at(Pair(o.from, o.to));
        } else {
            continue;
        }
        sights.push_back(sight);
    }
    sets = static_cast<int>(localSet.size());
    return sights;
}

// Gauss-Newton on the point's position and its own sets' orientations; the weighted sum of
// squared residuals it ends with, or infinity when it does not settle.
double FitPosition(const Model& m, const std::vector<Sight>& sights, int sets, Position& p) {
    const int unknowns = 2 + sets;
    Eigen::VectorXd orientation = Eigen::VectorXd::Zero(sets);
    for (const Sight& s : sights)
        if (s.type == Sight::OwnDirection)
            orientation(s.set) = Bearing(p, m.positions[s.other]) - s.value;
    double sum = 0;
    for (int iteration = 0; iteration < 30; ++iteration) {
        Eigen::MatrixXd J = Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(sights.size()), unknowns);
        Eigen::VectorXd r(static_cast<Eigen::Index>(sights.size()));
        for (std::size_t i = 0; i < sights.size(); ++i) {
            const Sight& s = sights[i];
            const Position& q = m.positions[s.other];
            const double dn = q.n - p.n, de = q.e - p.e, d2 = dn * dn + de * de, d = std::sqrt(d2);
            if (d2 == 0)
                return std::numeric_limits<double>::infinity();
            const auto row = static_cast<Eigen::Index>(i);
            if (s.type == Sight::Length) {
                r(row) = (s.value - d) / s.sd;
                J(row, 0) = -dn / d / s.sd;
                J(row, 1) = -de / d / s.sd;
            } else {
                // Bearing from the point to the other, or from the other to the point.
                const double toOther = Bearing(p, q);
                const double computed = s.type == Sight::Ray ? toOther + kPi : toOther - orientation(s.set);
                r(row) = Wrap(s.value - computed) / s.sd;
                J(row, 0) = de / d2 / s.sd;
                J(row, 1) = -dn / d2 / s.sd;
                if (s.type == Sight::OwnDirection)
                    J(row, 2 + s.set) = -1 / s.sd;
            }
        }
        sum = r.squaredNorm();
        const Eigen::VectorXd dx = (J.transpose() * J).ldlt().solve(J.transpose() * r);
        if (!dx.allFinite())
            return std::numeric_limits<double>::infinity();
        p.n += dx(0);
        p.e += dx(1);
        orientation += dx.tail(sets);
        if (dx.head(2).norm() < 1e-6)
            return sum;
    }
    return std::numeric_limits<double>::infinity();
}

// Places one point that polar sights and intersections cannot reach, from directions of its own
// set-up to placed points (a resection), its distances to them and bearings to it; only where the
// sights are more than the unknowns, so that the fit chooses between the possible positions.
bool PlaceByResection(Model& m) {
    const std::vector<bool> oriented = OrientSets(m);
    const std::vector<std::vector<int>> byPoint = ObservationsByPoint(m);
    const std::map<PairKey, double> distances = HorizontalDistances(m);
    for (std::size_t point = 0; point < m.positions.size(); ++point) {
        if (m.positions[point].hasPlane || m.unknowns.north[point] < 0)
            continue;
        int sets = 0;
        const std::vector<Sight> sights =
            SightsOf(m, static_cast<int>(point), byPoint[point], distances, oriented, sets);
        if (static_cast<int>(sights.size()) <= 2 + sets)
            continue;
        Position centre;
        for (const Sight& s : sights) {
            centre.n += m.positions[s.other].n / static_cast<double>(sights.size());
            centre.e += m.positions[s.other].e / static_cast<double>(sights.size());
        }
        double radius = 0;
        for (const Sight& s : sights)
            radius = std::max(radius, HorizontalDistance(centre, m.positions[s.other]));
        double best = std::numeric_limits<double>::infinity();
        Position found;
        for (int start = 0; start <= 8; ++start) {
            Position p = centre;
            if (start > 0) {
                p.n += radius * std::cos(start * kPi / 4);
                p.e += radius * std::sin(start * kPi / 4);
            }
            const double sum = FitPosition(m, sights, sets, p);
            if (sum < best) {
                best = sum;
                found = p;
            }
        }
        if (!std::isfinite(best))
            continue;
        Position& target = m.positions[point];
        target.n = found.n;
        target.e = found.e;
        target.hasPlane = true;
        return true;
    }
    return false;
}

// A network whose control is too far apart to start from (a chain of triangles hung between two
// distant fixed points) is first computed in a frame of its own, started from a measured distance,
// then moved onto the control by the similarity transformation through the fixed points it reached.
bool PlaceInLocalFrame(Model& m) {
    constexpr int kSeeds = 10; // measured distances tried as the local frame's base
    const auto waiting = [&m](std::size_t p) { return !m.positions[p].hasPlane && m.unknowns.north[p] >= 0; };
    bool any = false;
    for (std::size_t p = 0; p < m.positions.size() && !any; ++p)
        any = waiting(p);
    if (!any)
        return false;
    int tried = 0;
    for (const auto& [pair, length] : HorizontalDistances(m)) {
        if (++tried > kSeeds)
            break;
        Model local = m;
        for (Position& p : local.positions)
            p.hasPlane = false;
        local.positions[pair.first].hasPlane = local.positions[pair.second].hasPlane = true;
        local.positions[pair.first].n = local.positions[pair.first].e = 0;
        local.positions[pair.second].n = length;
        local.positions[pair.second].e = 0;
        while (PlacePlane(local) || PlaceByResection(local)) {
        }
        using Complex = std::complex<double>;
        std::vector<std::pair<Complex, Complex>> control; // local, given
        Complex localMean, givenMean;
        for (std::size_t p = 0; p < m.positions.size(); ++p)
            if (m.positions[p].hasPlane && local.positions[p].hasPlane) {
                control.emplace_back(Complex(local.positions[p].n, local.positions[p].e),
                                     Complex(m.positions[p].n, m.positions[p].e));
                localMean += control.back().first;
                givenMean += control.back().second;
            }
        if (control.size() < 2)
            continue;
        localMean /= static_cast<double>(control.size());
        givenMean /= static_cast<double>(control.size());
        Complex numerator;
        double denominator = 0;
        for (const auto& [l, g] : control) {
            numerator += (g - givenMean) * std::conj(l - localMean);
            denominator += std::norm(l - localMean);
        }
        if (denominator == 0)
            continue;
        const Complex scaleRotation = numerator / denominator;
        bool placed = false;
        for (std::size_t p = 0; p < m.positions.size(); ++p)
            if (!m.positions[p].hasPlane && local.positions[p].hasPlane) {
                const Complex z =
                    givenMean +
                    scaleRotation * (Complex(local.positions[p].n, local.positions[p].e) - localMean);
                m.positions[p].n = z.real();
                m.positions[p].e = z.imag();
                m.positions[p].hasPlane = placed = true;
            }
        if (placed)
            return true;
    }
    return false;
}

void RequirePositions(const Model& m) {
    std::vector<std::string> plane, height;
    for (std::size_t p = 0; p < m.positions.size(); ++p) {
        const bool needsPlane = m.unknowns.north[p] >= 0;
        const bool needsHeight = m.unknowns.up[p] >= 0;
        if (needsPlane && !m.positions[p].hasPlane)
            plane.push_back(m.network->points[p].name);
        if (needsHeight && !m.positions[p].hasHeight)
            height.push_back(m.network->points[p].name);
    }
    for (const IndexedObservation& o : m.observations)
        for (int p : {o.from, o.to, o.backsight})
            if (p >= 0 && o.source->kind != Kind::HeightDifference && !m.positions[p].hasPlane &&
                m.unknowns.north[p] < 0)
                throw Error("point " + m.network->points[p].name + " has no coordinates and is not adjusted");
    if (!plane.empty())
        throw Error("no approximate position can be found from the observations for " + ListNames(plane));
    if (!height.empty())
        throw Error("no approximate elevation can be found from the observations for " + ListNames(height));
}

} // namespace

std::vector<bool> OrientSets(Model& m) {
    std::vector<double> sumSin(m.orientations.size()), sumCos(m.orientations.size());
    std::vector<bool> oriented(m.orientations.size());
    const auto add = [&](int set, double orientation) {
        sumSin[set] += std::sin(orientation);
        sumCos[set] += std::cos(orientation);
        oriented[set] = true;
    };
    for (const IndexedObservation& o : m.observations)
        if (o.source->kind == Kind::Direction && Placed(m, o.from) && Placed(m, o.to))
            add(o.source->set, Bearing(m.positions[o.from], m.positions[o.to]) - o.source->value);
    for (std::size_t s = 0; s < m.orientations.size(); ++s)
        if (oriented[s])
            m.orientations[s] = Normalize(std::atan2(sumSin[s], sumCos[s]));
    // A set at a station not yet placed takes its orientation from a line whose bearing is known
    // without it: an azimuth, or a direction from an oriented set at the other end.
    std::map<PairKey, double> bearings; // of the line from first to second
    for (const IndexedObservation& o : m.observations) {
        const bool azimuth = o.source->kind == Kind::Azimuth;
        const bool fromOriented = o.source->kind == Kind::Direction && oriented[o.source->set];
        if (!azimuth && !fromOriented)
            continue;
        const double bearing = o.source->value + (azimuth ? 0 : m.orientations[o.source->set]);
        bearings.emplace(PairKey{o.from, o.to}, bearing);
        bearings.emplace(PairKey{o.to, o.from}, bearing + kPi);
    }
    std::vector<bool> reciprocal(m.orientations.size());
    for (const IndexedObservation& o : m.observations) {
        if (o.source->kind != Kind::Direction || oriented[o.source->set])
            continue;
        const auto known = bearings.find(PairKey{o.from, o.to});
        if (known != bearings.end()) {
            m.orientations[o.source->set] = Normalize(known->second - o.source->value);
            reciprocal[o.source->set] = true;
        }
    }
    for (std::size_t s = 0; s < oriented.size(); ++s)
        oriented[s] = oriented[s] || reciprocal[s];
    return oriented;
}

void ApproximateCoordinates(Model& m) {
    while (PlacePlane(m) || PlaceHeights(m) || PlaceByResection(m) || PlaceInLocalFrame(m)) {
    }
    RequirePositions(m);
    OrientSets(m);
}

} // namespace adjust
