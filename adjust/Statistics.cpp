#include "adjust/Statistics.h"

#include "survey/Geometry.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <cmath>

namespace adjust {

namespace {
using survey::kPi;
}

ModelTest TestSigmaRatio(double ratio, int dof, double probability) {
    ModelTest test;
    test.probability = probability;
    test.ratio = ratio;
    if (dof <= 0)
        return test;
    const boost::math::chi_squared chi2(dof);
    const double tail = (1 - probability) / 2;
    test.lower = std::sqrt(boost::math::quantile(chi2, tail) / dof);
    test.upper = std::sqrt(boost::math::quantile(chi2, 1 - tail) / dof);
    test.applicable = true;
    test.passed = ratio >= test.lower && ratio <= test.upper;
    return test;
}

double ConfidenceScale2d(double probability, bool aposteriori, int dof) {
    if (aposteriori && dof > 0)
        return std::sqrt(2 * boost::math::quantile(boost::math::fisher_f(2, dof), probability));
    return std::sqrt(boost::math::quantile(boost::math::chi_squared(2), probability));
}

double NormalCriticalValue(double probability) {
    return boost::math::quantile(boost::math::normal(), 1 - (1 - probability) / 2);
}

Ellipse StandardEllipse(double qnn, double qne, double qee) {
    const double mean = (qnn + qee) / 2;
    const double radius = std::hypot((qnn - qee) / 2, qne);
    Ellipse e;
    e.a = std::sqrt(std::max(0.0, mean + radius));
    e.b = std::sqrt(std::max(0.0, mean - radius));
    double azimuth = 0.5 * std::atan2(2 * qne, qnn - qee);
    if (azimuth < 0)
        azimuth += kPi;
    e.azimuth = azimuth;
    return e;
}

Ellipse Scaled(const Ellipse& ellipse, double scale) {
    return {ellipse.a * scale, ellipse.b * scale, ellipse.azimuth};
}

} // namespace adjust
