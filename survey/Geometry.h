// Plane angle and distance helpers shared by the reduction's steps. Radians and metres.
#pragma once

#include <initializer_list>
#include <vector>

namespace survey {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
constexpr double kRadiansPerSecond = kPi / 180 / 3600; // of arc
// Mean radius of the Earth for the curvature and refraction correction.
constexpr double kEarthRadius = 6371000.0;

// The angle brought into [0, 2π) when it lies outside.
double NormalisedFromOutside(double angle);
// The angle brought into [0, 2π): inline, since most angles already lie there.
inline double Normalised(double angle) {
    return angle >= 0 && angle < kTwoPi ? angle : NormalisedFromOutside(angle);
}
// The angle brought into (-π, π]: the signed difference of two directions.
double Signed(double angle);
// The mean direction of a set of directions, in [0, 2π).
double CircularMean(const double* first, const double* last);
double CircularMean(const std::vector<double>& angles);
double CircularMean(std::initializer_list<double> angles);
double Mean(const std::vector<double>& values);

// Grid azimuth from north, clockwise, in [0, 2π).
double Azimuth(double fromNorthing, double fromEasting, double toNorthing, double toEasting);

// Height gained over a horizontal distance by the Earth's curvature less the light's refraction.
double CurvatureAndRefraction(double horizontalDistance, double refractionCoefficient);

// The 1, 2 or 5 times a power of ten nearest below `value`, as scale bars and drawings use.
double RoundBelow(double value);

// The round factor, from 1 to a million, that draws an error ellipse at most `fitting` times its
// size: small ellipses grow to be seen, none ever shrinks, and one of a micrometre stays one.
double EllipseExaggeration(double fitting);

} // namespace survey
