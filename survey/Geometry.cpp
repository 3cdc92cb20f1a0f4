#include "survey/Geometry.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace survey {

double NormalisedFromOutside(double angle) {
    // Most angles outside are a turn below, where the remainder, which is exact, would give back
    // the angle itself: no call for them.
    if (angle < 0 && angle > -kTwoPi)
        return angle + kTwoPi;
    const double wrapped = std::fmod(angle, kTwoPi);
    return wrapped < 0 ? wrapped + kTwoPi : wrapped;
}

double Signed(double angle) {
    const double wrapped = Normalised(angle);
    return wrapped > kPi ? wrapped - kTwoPi : wrapped;
}

double CircularMean(const double* first, const double* last) {
    double sines = 0;
    double cosines = 0;
    for (; first != last; ++first) {
        sines += std::sin(*first);
        cosines += std::cos(*first);
    }
    return Normalised(std::atan2(sines, cosines));
}

double CircularMean(const std::vector<double>& angles) {
    return CircularMean(angles.data(), angles.data() + angles.size());
}

double CircularMean(std::initializer_list<double> angles) {
    return CircularMean(angles.begin(), angles.end());
}

double Mean(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

double Azimuth(double fromNorthing, double fromEasting, double toNorthing, double toEasting) {
    return Normalised(std::atan2(toEasting - fromEasting, toNorthing - fromNorthing));
}

double CurvatureAndRefraction(double horizontalDistance, double refractionCoefficient) {
    return (1 - refractionCoefficient) * horizontalDistance * horizontalDistance / (2 * kEarthRadius);
}

double RoundBelow(double value) {
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (const double step : {5.0, 2.0}) {
        if (step * power <= value)
            return step * power;
    }
    return power;
}

double EllipseExaggeration(double fitting) {
    constexpr double kLargest = 1e6;
    if (!(fitting > 1))
        return 1;
    return RoundBelow(std::min(fitting, kLargest));
}

} // namespace survey
