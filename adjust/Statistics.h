// The distributions an adjustment is judged by (Boost.Math), and error ellipses from covariances.
#pragma once

#include "adjust/Adjustment.h"

namespace adjust {

// The two-sided chi-square test of the ratio of the a posteriori to the a priori sigma of unit
// weight, with `dof` degrees of freedom.
ModelTest TestSigmaRatio(double ratio, int dof, double probability);

// Multiplies a standard ellipse into a confidence ellipse at `probability`: the 2-D scale,
// chi-square with 2 degrees of freedom when the a priori sigma is used, else sqrt(2 F(2, dof)).
double ConfidenceScale2d(double probability, bool aposteriori, int dof);

// The normal distribution's two-sided critical value at `probability` (3.29 at 0.999).
double NormalCriticalValue(double probability);

// The standard ellipse of a covariance matrix of northing and easting, metres squared.
Ellipse StandardEllipse(double qnn, double qne, double qee);

Ellipse Scaled(const Ellipse& ellipse, double scale);

} // namespace adjust
