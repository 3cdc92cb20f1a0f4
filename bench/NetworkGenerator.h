// A large plane network for measuring the adjustment: points on a jittered grid, each a set-up
// with directions and distances to its neighbours, errors of instrument size, four fixed corners.
#pragma once

#include "adjust/Network.h"

namespace bench {

// About six observations per point: `rows` x `columns` points, 100 m apart.
adjust::Network GenerateNetwork(int rows, int columns, unsigned seed);

} // namespace bench
