// Adjusts a generated network of 5,000 points and about 30,000 observations and prints the time;
// with --gkf FILE it also writes the network for timing rdf-import end to end (GNU time gives the
// peak memory of either run).
#include "adjust/Adjustment.h"
#include "adjust/GamaLocal.h"
#include "bench/NetworkGenerator.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    const int rows = 100, columns = 50;
    const adjust::Network network = bench::GenerateNetwork(rows, columns, 2026);
    if (argc == 3 && std::strcmp(argv[1], "--gkf") == 0) {
        std::ofstream out(argv[2]);
        out << adjust::WriteGamaLocal(network, {});
        return out ? 0 : 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const adjust::Adjustment a = adjust::Adjust(network);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::cout << network.points.size() << " points, " << a.observationCount << " observations, " << a.unknowns
              << " unknowns, " << a.iterations << " iterations, sigma ratio " << a.test.ratio << ": "
              << seconds.count() << " s\n";
    return 0;
}
