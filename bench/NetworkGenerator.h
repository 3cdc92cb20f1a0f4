// A large plane network for measuring the adjustment: points on a jittered grid, each a set-up
// with directions and distances to its neighbours, errors of instrument size, four fixed corners.
#pragma once

#include "adjust/Network.h"

#include <ostream>

namespace bench {

// About six observations per point: `rows` x `columns` points, 100 m apart.
adjust::Network GenerateNetwork(int rows, int columns, unsigned seed);

// The network as a GNU Gama gama-local file, for rdf-import.
void WriteGamaLocal(const adjust::Network& network, std::ostream& out);

} // namespace bench
