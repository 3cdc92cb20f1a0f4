#include "bench/NetworkGenerator.h"

#include <cmath>
#include <random>

namespace bench {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSpacing = 100;
constexpr double kDirectionSd = 3 * kPi / 180 / 3600; // 3"
constexpr double kDistanceSd = 0.003;

std::string Name(int row, int column) {
    return "P" + std::to_string(row) + "_" + std::to_string(column);
}

} // namespace

adjust::Network GenerateNetwork(int rows, int columns, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> jitter(-20, 20);
    adjust::Network network;
    std::vector<double> north, east;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            north.push_back(r * kSpacing + jitter(random));
            east.push_back(c * kSpacing + jitter(random));
            adjust::Point p;
            p.name = Name(r, c);
            const bool corner = (r == 0 || r == rows - 1) && (c == 0 || c == columns - 1);
            p.plane = corner ? adjust::Role::Fixed : adjust::Role::Adjusted;
            // Approximate coordinates a few centimetres off, as a field reduction gives them.
            p.northing = north.back() + (corner ? 0 : 0.05 * normal(random));
            p.easting = east.back() + (corner ? 0 : 0.05 * normal(random));
            network.points.push_back(p);
        }
    const auto add = [&](adjust::Kind kind, int from, int to, double value, double sd, int set) {
        adjust::Observation o;
        o.kind = kind;
        o.from = network.points[from].name;
        o.to = network.points[to].name;
        o.value = value + sd * normal(random);
        o.sd = sd;
        o.set = set;
        network.observations.push_back(o);
    };
    const int neighbours[][2] = {{0, 1}, {1, 0}, {1, 1}};
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const int from = r * columns + c;
            std::vector<int> targets;
            for (const auto& [dr, dc] : neighbours)
                if (r + dr < rows && c + dc < columns)
                    targets.push_back((r + dr) * columns + c + dc);
            if (r > 0) // a backsight, so that every set-up has two directions or more
                targets.push_back((r - 1) * columns + c);
            const int set = static_cast<int>(network.sets.size());
            network.sets.push_back({network.points[from].name, 0});
            for (int to : targets) {
                const double dn = north[to] - north[from], de = east[to] - east[from];
                add(adjust::Kind::Direction, from, to, std::fmod(std::atan2(de, dn) + 2 * kPi, 2 * kPi),
                    kDirectionSd, set);
                if (to > from)
                    add(adjust::Kind::Distance, from, to, std::hypot(dn, de), kDistanceSd, -1);
            }
        }
    return network;
}

} // namespace bench
