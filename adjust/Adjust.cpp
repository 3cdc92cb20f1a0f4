// Least squares by observation equations, in the textbook order: approximate coordinates, the
// linearised observation equations weighted by their standard deviations, the normal equations
// (with the minimum-norm datum of a free network), Gauss-Newton iterations until the corrections
// vanish, then the cofactors of the unknowns and of the residuals, and the statistics drawn from them.
#include "adjust/Adjustment.h"
#include "adjust/Model.h"
#include "adjust/Statistics.h"

#include <Eigen/Dense>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace adjust {

namespace {

using SparseMatrix = Eigen::SparseMatrix<double>;
using Factor = Eigen::SimplicialLDLT<SparseMatrix, Eigen::Lower, Eigen::AMDOrdering<int>>;

// Below this share of its diagonal a pivot means the unknown is not determined.
constexpr double kSingularPivot = 1e-10;
// A datum candidate moves the weighted observations by less than this share of an unknown's
// typical weight: it is a direction the observations cannot see.
constexpr double kNullTolerance = 1e-7;

// The observation equations weighted by 1 / sd: A dx = l.
struct Equations {
    std::vector<Linearised> rows; // unweighted derivatives
    SparseMatrix A;
    Eigen::VectorXd l;
};

Equations FormObservationEquations(const Model& m) {
    Equations eq;
    const int count = static_cast<int>(m.observations.size());
    std::vector<Eigen::Triplet<double>> triplets;
    eq.l.resize(count);
    for (int i = 0; i < count; ++i) {
        const IndexedObservation& o = m.observations[i];
        eq.rows.push_back(Linearise(m, o));
        const Linearised& row = eq.rows.back();
        const double weight = 1 / o.source->sd;
        for (int k = 0; k < row.count; ++k)
            triplets.emplace_back(i, row.unknown[k], row.derivative[k] * weight);
        eq.l(i) = Misclosure(o, row.computed) * weight;
    }
    eq.A.resize(count, m.unknowns.count);
    eq.A.setFromTriplets(triplets.begin(), triplets.end());
    return eq;
}

// The minimum-norm datum of a free network: G spans the movements of the whole network that no
// observation sees (shifts, a rotation, a scale), C is G on the constrained coordinates only.
struct Datum {
    Eigen::MatrixXd G, C;
    Eigen::MatrixXd H; // (C'G)^-1 (G'C)^-1 / lambda: takes the datum back out of the cofactors
    double lambda = 1; // weight of the datum condition, of the size of the normal equations
    int Defect() const { return static_cast<int>(G.cols()); }
};

std::vector<bool> DatumCoordinates(const Model& m) {
    const Unknowns& u = m.unknowns;
    std::vector<bool> constrained(u.count), free(u.count);
    bool any = false;
    for (std::size_t p = 0; p < m.positions.size(); ++p) {
        const Point& point = m.network->points[p];
        for (int k : {u.north[p], u.east[p]})
            if (k >= 0) {
                free[k] = true;
                constrained[k] = point.plane == Role::Constrained;
                any = any || constrained[k];
            }
        if (u.up[p] >= 0) {
            free[u.up[p]] = true;
            constrained[u.up[p]] = point.height == Role::Constrained;
            any = any || constrained[u.up[p]];
        }
    }
    // A free network without constrained points takes its datum from all its points.
    return any ? constrained : free;
}

std::vector<Eigen::VectorXd> DatumCandidates(const Model& m, const std::vector<bool>& datumRows) {
    const Unknowns& u = m.unknowns;
    const std::size_t points = m.positions.size();
    double n0 = 0, e0 = 0, z0 = 0;
    int planes = 0, heights = 0;
    for (std::size_t p = 0; p < points; ++p) {
        if (u.north[p] >= 0 && datumRows[u.north[p]]) {
            n0 += m.positions[p].n;
            e0 += m.positions[p].e;
            ++planes;
        }
        if (u.up[p] >= 0 && datumRows[u.up[p]]) {
            z0 += m.positions[p].z;
            ++heights;
        }
    }
    n0 /= std::max(planes, 1);
    e0 /= std::max(planes, 1);
    z0 /= std::max(heights, 1);
    std::vector<Eigen::VectorXd> g(5, Eigen::VectorXd::Zero(u.count));
    enum { North, East, Up, Rotation, Scale };
    for (std::size_t p = 0; p < points; ++p) {
        const Position& x = m.positions[p];
        if (u.north[p] >= 0) {
            g[North](u.north[p]) = 1;
            g[East](u.east[p]) = 1;
            g[Rotation](u.north[p]) = -(x.e - e0);
            g[Rotation](u.east[p]) = x.n - n0;
            g[Scale](u.north[p]) = x.n - n0;
            g[Scale](u.east[p]) = x.e - e0;
        }
        if (u.up[p] >= 0) {
            g[Up](u.up[p]) = 1;
            g[Scale](u.up[p]) = x.z - z0;
        }
    }
    for (int k : u.orientation)
        if (k >= 0)
            g[Rotation](k) = 1; // a rotated network turns every set's orientation with it
    return g;
}

Datum FindDatum(const Model& m, const Equations& eq) {
    Datum datum;
    if (m.unknowns.count == 0)
        return datum;
    const std::vector<bool> datumRows = DatumCoordinates(m);
    const double typical = eq.A.norm() / std::sqrt(static_cast<double>(m.unknowns.count));
    // The movements no observation sees are combinations of the candidates (a rotation about a
    // fixed point is a rotation about the centroid and a shift): the null space of A times them.
    std::vector<Eigen::VectorXd> candidates;
    for (const Eigen::VectorXd& g : DatumCandidates(m, datumRows))
        if (g.norm() > 0)
            candidates.push_back(g.normalized());
    Eigen::MatrixXd basis(m.unknowns.count, static_cast<Eigen::Index>(candidates.size()));
    for (std::size_t k = 0; k < candidates.size(); ++k)
        basis.col(static_cast<Eigen::Index>(k)) = candidates[k];
    const Eigen::MatrixXd seen = eq.A * basis;
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(seen, Eigen::ComputeFullV);
    const Eigen::VectorXd& singular = svd.singularValues();
    int defect = 0;
    for (Eigen::Index k = 0; k < basis.cols(); ++k)
        if (k >= singular.size() || singular(k) < kNullTolerance * typical)
            ++defect;
    const Eigen::MatrixXd null = basis * svd.matrixV().rightCols(defect);
    const Eigen::HouseholderQR<Eigen::MatrixXd> qr(null);
    datum.G = qr.householderQ() * Eigen::MatrixXd::Identity(m.unknowns.count, defect);
    datum.C = datum.G;
    for (int row = 0; row < m.unknowns.count; ++row)
        if (!datumRows[row])
            datum.C.row(row).setZero();
    if (defect == 0)
        return datum;
    const Eigen::MatrixXd ctg = datum.C.transpose() * datum.G;
    const Eigen::FullPivLU<Eigen::MatrixXd> lu(ctg);
    if (lu.rank() < defect)
        throw Error("the constrained points do not fix the free network's position, orientation and scale");
    datum.lambda = SparseMatrix(eq.A.transpose() * eq.A).diagonal().mean();
    const Eigen::MatrixXd inverse = lu.inverse();
    datum.H = inverse * inverse.transpose() / datum.lambda;
    return datum;
}

std::string UnknownName(const Model& m, int unknown) {
    const int owner = m.unknowns.owner[unknown];
    if (owner < 0)
        return "the orientation of the set at " + m.network->sets[-1 - owner].station;
    const std::string& name = m.network->points[owner].name;
    return unknown == m.unknowns.up[owner] ? name + " (elevation)" : name;
}

// The normal equations with the datum condition, factorised; an unknown the observations leave
// undetermined is named.
void FactorNormals(const Model& m, const Equations& eq, const Datum& datum, Factor& factor,
                   Eigen::Index& analyzed) {
    SparseMatrix normals = eq.A.transpose() * eq.A;
    if (datum.Defect() > 0) {
        std::vector<int> rows;
        for (int r = 0; r < datum.C.rows(); ++r)
            if (!datum.C.row(r).isZero())
                rows.push_back(r);
        std::vector<Eigen::Triplet<double>> condition;
        for (int i : rows)
            for (int j : rows)
                condition.emplace_back(i, j, datum.lambda * datum.C.row(i).dot(datum.C.row(j)));
        SparseMatrix added(normals.rows(), normals.cols());
        added.setFromTriplets(condition.begin(), condition.end());
        normals += added;
    }
    // Iterations keep the pattern of their normal equations: the fill-reducing ordering is found
    // again only when the pattern changes (a datum found anew).
    if (analyzed != normals.nonZeros()) {
        factor.analyzePattern(normals);
        analyzed = normals.nonZeros();
    }
    factor.factorize(normals);
    const Eigen::VectorXd diagonal = normals.diagonal();
    const Eigen::VectorXd& pivots = factor.vectorD();
    const auto& order = factor.permutationP().indices();
    std::vector<int> unknownAt(static_cast<std::size_t>(normals.rows()));
    for (int j = 0; j < normals.rows(); ++j)
        unknownAt[static_cast<std::size_t>(order(j))] = j;
    std::vector<std::string> singular;
    // A factorisation stops at a nil pivot, leaving the pivots after it unformed.
    for (Eigen::Index k = 0; k < normals.rows(); ++k) {
        const int j = unknownAt[static_cast<std::size_t>(k)];
        if (!(pivots(k) > kSingularPivot * diagonal(j)))
            singular.push_back(UnknownName(m, j));
        if (pivots(k) == 0 && factor.info() != Eigen::Success)
            break;
    }
    if (factor.info() != Eigen::Success || !singular.empty()) {
        std::sort(singular.begin(), singular.end());
        singular.erase(std::unique(singular.begin(), singular.end()), singular.end());
        const std::string names = ListNames(singular);
        throw Error("the observations do not determine " + (names.empty() ? "the network" : names));
    }
}

void ApplyCorrections(Model& m, const Eigen::VectorXd& dx, double& largest) {
    largest = 0;
    const Unknowns& u = m.unknowns;
    for (std::size_t p = 0; p < m.positions.size(); ++p) {
        Position& x = m.positions[p];
        if (u.north[p] >= 0) {
            x.n += dx(u.north[p]);
            x.e += dx(u.east[p]);
            largest = std::max({largest, std::abs(dx(u.north[p])), std::abs(dx(u.east[p]))});
        }
        if (u.up[p] >= 0) {
            x.z += dx(u.up[p]);
            largest = std::max(largest, std::abs(dx(u.up[p])));
        }
    }
    for (std::size_t s = 0; s < u.orientation.size(); ++s)
        if (u.orientation[s] >= 0)
            m.orientations[s] = Normalize(m.orientations[s] + dx(u.orientation[s]));
}

int IterateGaussNewton(Model& m, const Settings& settings, Factor& factor, Eigen::Index& analyzed) {
    bool converged = false;
    for (int iteration = 1; iteration <= settings.maxIterations; ++iteration) {
        if (m.unknowns.count == 0)
            return iteration;
        const Equations eq = FormObservationEquations(m);
        const Datum datum = FindDatum(m, eq);
        FactorNormals(m, eq, datum, factor, analyzed);
        const Eigen::VectorXd dx = factor.solve(Eigen::VectorXd(eq.A.transpose() * eq.l));
        if (!dx.allFinite())
            throw Error("the normal equations have no finite solution");
        double largest = 0;
        ApplyCorrections(m, dx, largest);
        // One step past convergence, so that the residuals are those of the converged solution.
        if (converged)
            return iteration;
        converged = largest < settings.convergence;
    }
    throw Error("the adjustment does not converge in " + std::to_string(settings.maxIterations) +
                " iterations");
}

// What the statistics need of the cofactor matrix Q of the unknowns: a Q a' for every weighted
// observation row a, each point's own block, and the cross blocks of the pairs asked for.
struct Cofactors {
    std::vector<double> observation;    // a Q a'
    std::vector<Eigen::Matrix3d> point; // N, E, Z of each point
    std::vector<Eigen::Matrix2d> cross; // N, E of `to` by N, E of `from`, per pair
};

struct PairIndex {
    int from = -1, to = -1;
};

// The entries of the inverse of the factorised normal matrix that lie within the pattern of its
// factor L, found from the last column back by Takahashi's equations: every pair of unknowns that
// share an observation is among them, so the statistics need no full inverse.
class SelectedInverse {
public:
    explicit SelectedInverse(const Factor& factor) : order(factor.permutationP().indices()) {
        const SparseMatrix& L = factor.matrixL().nestedExpression();
        const Eigen::VectorXd& d = factor.vectorD();
        const Eigen::Index n = L.cols();
        rows.resize(n);
        values.resize(n);
        inverse.resize(n);
        diagonal.resize(n);
        for (Eigen::Index j = 0; j < n; ++j)
            for (SparseMatrix::InnerIterator it(L, j); it; ++it)
                if (it.row() > j) {
                    rows[j].push_back(static_cast<int>(it.row()));
                    values[j].push_back(it.value());
                }
        for (Eigen::Index i = n - 1; i >= 0; --i) {
            const std::vector<int>& below = rows[i];
            const std::vector<double>& l = values[i];
            std::vector<double>& z = inverse[i];
            z.assign(below.size(), 0);
            // z_a = -sum_b l_b Z(b, a), each pair taken once: the rows below `a` in column i are
            // all in column `a` too (the filled pattern is chordal), so one walk finds them.
            for (std::size_t a = 0; a < below.size(); ++a) {
                const int ra = below[a];
                z[a] -= l[a] * diagonal[ra];
                const std::vector<int>& column = rows[ra];
                std::size_t at = 0;
                for (std::size_t b = a + 1; b < below.size(); ++b) {
                    while (at < column.size() && column[at] < below[b])
                        ++at;
                    if (at == column.size() || column[at] != below[b])
                        continue;
                    const double zab = inverse[ra][at];
                    z[a] -= l[b] * zab;
                    z[b] -= l[a] * zab;
                }
            }
            double sum = 0;
            for (std::size_t a = 0; a < below.size(); ++a)
                sum += values[i][a] * inverse[i][a];
            diagonal[i] = 1 / d(i) - sum;
        }
    }

    // The entry of the inverse for unknowns i and j, in the unknowns' own numbering; nothing when it
    // lies outside the factor's pattern.
    std::optional<double> At(int i, int j) const { return Find(order(i), order(j)); }

private:
    std::optional<double> Find(int r, int c) const {
        if (r == c)
            return diagonal[r];
        if (r < c)
            std::swap(r, c);
        const std::vector<int>& column = rows[c];
        const auto it = std::lower_bound(column.begin(), column.end(), r);
        if (it == column.end() || *it != r)
            return std::nullopt;
        return inverse[c][static_cast<std::size_t>(it - column.begin())];
    }

    const Eigen::VectorXi order;
    std::vector<std::vector<int>> rows;
    std::vector<std::vector<double>> values, inverse;
    std::vector<double> diagonal;
};

// The cofactor of two unknowns: the inverse of the normal matrix with the datum condition, less
// the datum's own part (a minimum-norm solution's cofactors).
class CofactorMatrix {
public:
    CofactorMatrix(const Factor& factor, const Datum& datum)
        : factor(factor), datum(datum), inverse(factor) {}

    double operator()(int i, int j) const {
        double q = 0;
        if (const std::optional<double> value = inverse.At(i, j))
            q = *value;
        else
            q = Column(j)(i);
        if (datum.Defect() > 0)
            q -= datum.G.row(i).dot(datum.H * datum.G.row(j).transpose());
        return q;
    }

private:
    // A column solved in full, for a pair outside the factor's pattern (relative ellipses).
    const Eigen::VectorXd& Column(int j) const {
        auto found = columns.find(j);
        if (found == columns.end()) {
            Eigen::VectorXd unit = Eigen::VectorXd::Zero(datum.G.rows());
            unit(j) = 1;
            found = columns.emplace(j, factor.solve(unit)).first;
        }
        return found->second;
    }

    const Factor& factor;
    const Datum& datum;
    const SelectedInverse inverse;
    mutable std::map<int, Eigen::VectorXd> columns;
};

Cofactors ComputeCofactors(const Model& m, const Equations& eq, const Datum& datum, const Factor& factor,
                           const std::vector<PairIndex>& pairs) {
    const Unknowns& u = m.unknowns;
    const CofactorMatrix q(factor, datum);
    Cofactors c;
    c.observation.assign(m.observations.size(), 0);
    for (std::size_t i = 0; i < eq.rows.size(); ++i) {
        const Linearised& row = eq.rows[i];
        const double weight = 1 / m.observations[i].source->sd;
        double aqa = 0;
        for (int j = 0; j < row.count; ++j)
            for (int k = 0; k < row.count; ++k)
                aqa += row.derivative[j] * row.derivative[k] * q(row.unknown[j], row.unknown[k]);
        c.observation[i] = aqa * weight * weight;
    }
    c.point.assign(m.positions.size(), Eigen::Matrix3d::Zero());
    for (std::size_t p = 0; p < m.positions.size(); ++p) {
        const int slots[3] = {u.north[p], u.east[p], u.up[p]};
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                if (slots[a] >= 0 && slots[b] >= 0 && (a == b || (a < 2 && b < 2)))
                    c.point[p](a, b) = q(slots[a], slots[b]);
    }
    c.cross.assign(pairs.size(), Eigen::Matrix2d::Zero());
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const int to[2] = {u.north[pairs[k].to], u.east[pairs[k].to]};
        const int from[2] = {u.north[pairs[k].from], u.east[pairs[k].from]};
        for (int a = 0; a < 2; ++a)
            for (int b = 0; b < 2; ++b)
                if (to[a] >= 0 && from[b] >= 0)
                    c.cross[k](a, b) = q(to[a], from[b]);
    }
    return c;
}

std::vector<PairIndex> RelativePairs(const Model& m, const Settings& settings) {
    std::vector<PairIndex> pairs;
    for (const auto& [a, b] : settings.relative) {
        const PairIndex pair{m.PointIndex(a), m.PointIndex(b)};
        for (const auto& [index, name] : {std::pair{pair.from, a}, std::pair{pair.to, b}})
            if (index < 0 || !m.positions[index].hasPlane)
                throw Error("the relative ellipse names point " + name + ", which has no adjusted position");
        pairs.push_back(pair);
    }
    return pairs;
}

void SummarizeModel(const Model& m, const Equations& eq, const Datum& datum, const Settings& settings,
                    Adjustment& out) {
    out.observationCount = static_cast<int>(m.observations.size());
    out.unknowns = m.unknowns.count;
    out.defect = datum.Defect();
    out.degreesOfFreedom = out.observationCount - out.unknowns + out.defect;
    const double omega = eq.l.squaredNorm();
    out.sigma0Apriori = m.network->sigma0;
    out.sumOfSquares = omega * out.sigma0Apriori * out.sigma0Apriori;
    const int f = out.degreesOfFreedom;
    const double ratio = f > 0 ? std::sqrt(omega / f) : 0;
    out.sigma0Aposteriori = ratio * out.sigma0Apriori;
    // Without redundancy there is no a posteriori sigma to scale by.
    out.aposterioriUsed = settings.aposteriori && f > 0;
    out.test = TestSigmaRatio(ratio, f, settings.probability);
    out.ellipseScale = ConfidenceScale2d(settings.probability, out.aposterioriUsed, f);
    out.snoopingProbability = settings.snoopingProbability;
    out.criticalValue = NormalCriticalValue(settings.snoopingProbability);
}

double VarianceFactor(const Adjustment& a) {
    const double ratio = a.sigma0Aposteriori / a.sigma0Apriori;
    return a.aposterioriUsed ? ratio * ratio : 1.0;
}

void ListPoints(const Model& m, const Cofactors& c, Adjustment& out) {
    const double vf = VarianceFactor(out);
    const Unknowns& u = m.unknowns;
    for (std::size_t p = 0; p < m.positions.size(); ++p) {
        const Point& point = m.network->points[p];
        const Position& x = m.positions[p];
        if (!x.hasPlane && !x.hasHeight)
            continue;
        PointResult r;
        r.name = point.name;
        r.role = point.plane && x.hasPlane ? *point.plane : point.height.value_or(Role::Fixed);
        if (x.hasPlane) {
            r.northing = x.n;
            r.easting = x.e;
        }
        if (x.hasHeight)
            r.elevation = x.z;
        const Eigen::Matrix3d q = c.point[p] * vf;
        if (u.north[p] >= 0) {
            r.sdNorthing = std::sqrt(std::max(0.0, q(0, 0)));
            r.sdEasting = std::sqrt(std::max(0.0, q(1, 1)));
            r.ellipse = StandardEllipse(q(0, 0), 0.5 * (q(0, 1) + q(1, 0)), q(1, 1));
            r.ellipse95 = Scaled(*r.ellipse, out.ellipseScale);
        }
        if (u.up[p] >= 0)
            r.sdElevation = std::sqrt(std::max(0.0, q(2, 2)));
        out.points.push_back(std::move(r));
    }
}

void ListObservations(const Model& m, const Equations& eq, const Cofactors& c, Adjustment& out) {
    const double vf = VarianceFactor(out);
    for (std::size_t i = 0; i < m.observations.size(); ++i) {
        const Observation& o = *m.observations[i].source;
        ObservationResult r;
        r.kind = o.kind;
        r.from = o.from;
        r.to = o.to;
        r.backsight = o.backsight;
        r.line = o.line;
        r.file = o.file;
        const bool circular = IsAngular(o.kind) && o.kind != Kind::ZenithAngle;
        r.observed = circular ? Normalize(o.value) : o.value;
        r.residual = -eq.l(static_cast<Eigen::Index>(i)) * o.sd;
        r.adjusted = circular ? Normalize(r.observed + r.residual) : r.observed + r.residual;
        const double aqa = std::clamp(c.observation[i], 0.0, 1.0);
        r.redundancy = 1 - aqa;
        r.sd = o.sd * std::sqrt(vf * aqa);
        if (r.redundancy > 1e-6) {
            // Standardized by the sigma that scales the results (Baarda's w a priori, Pope's tau
            // a posteriori), against the normal distribution's critical value.
            r.standardizedResidual = std::abs(r.residual) / (o.sd * std::sqrt(vf * r.redundancy));
            r.flagged = *r.standardizedResidual > out.criticalValue;
        }
        out.observations.push_back(std::move(r));
    }
}

void ListRelative(const Model& m, const Cofactors& c, const std::vector<PairIndex>& pairs, Adjustment& out) {
    const double vf = VarianceFactor(out);
    const auto block = [&c](int p) { return Eigen::Matrix2d(c.point[p].topLeftCorner<2, 2>()); };
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const PairIndex& pair = pairs[k];
        const Eigen::Matrix2d q =
            vf * (block(pair.from) + block(pair.to) - c.cross[k] - c.cross[k].transpose());
        RelativeResult r;
        r.from = m.network->points[pair.from].name;
        r.to = m.network->points[pair.to].name;
        r.distance = HorizontalDistance(m.positions[pair.from], m.positions[pair.to]);
        r.ellipse95 = Scaled(StandardEllipse(q(0, 0), 0.5 * (q(0, 1) + q(1, 0)), q(1, 1)), out.ellipseScale);
        // The boundary-survey allowance: 2 cm plus 50 parts per million of the distance.
        r.allowed = 0.02 + 50e-6 * r.distance;
        r.passed = r.ellipse95.a <= r.allowed;
        out.relative.push_back(std::move(r));
    }
}

} // namespace

Adjustment Adjust(const Network& network, const Settings& settings) {
    Model model = IndexNetwork(network);
    ApproximateCoordinates(model);
    const std::vector<PairIndex> pairs = RelativePairs(model, settings);
    Adjustment out;
    Factor factor;
    Eigen::Index analyzed = -1;
    out.iterations = IterateGaussNewton(model, settings, factor, analyzed);
    const Equations eq = FormObservationEquations(model);
    const Datum datum = FindDatum(model, eq);
    Cofactors cofactors;
    cofactors.observation.assign(model.observations.size(), 0);
    cofactors.point.assign(model.positions.size(), Eigen::Matrix3d::Zero());
    cofactors.cross.assign(pairs.size(), Eigen::Matrix2d::Zero());
    if (model.unknowns.count > 0) {
        FactorNormals(model, eq, datum, factor, analyzed);
        cofactors = ComputeCofactors(model, eq, datum, factor, pairs);
    }
    SummarizeModel(model, eq, datum, settings, out);
    ListPoints(model, cofactors, out);
    ListObservations(model, eq, cofactors, out);
    ListRelative(model, cofactors, pairs, out);
    return out;
}

} // namespace adjust
