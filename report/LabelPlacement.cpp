#include "report/LabelPlacement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace report {
namespace {

// How far glyphs reach above and below the baseline, generously, in em.
constexpr double kAscentEm = 0.8;
constexpr double kDescentEm = 0.25;
// Clear space kept around every box, in pixels.
constexpr double kPaddingPx = 1;
constexpr double kCellPx = 16;

// A grid cell's key: its column in the high half and its row in the low half. Cells left of or
// above the origin have negative indices, so the halves are put together unsigned.
std::int64_t CellKey(std::int64_t column, std::int64_t row) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(column) << 32) ^
                                     static_cast<std::uint32_t>(row));
}

struct Box {
    double left, top, right, bottom;

    bool Overlaps(const Box& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
};

// The grid cell of a coordinate; clamped, so that no position makes the conversion overflow.
std::int64_t CellIndex(double v) {
    constexpr double kFarthest = 4e18;
    return static_cast<std::int64_t>(std::clamp(std::floor(v), -kFarthest, kFarthest));
}

Box SlotBox(const LabelSlot& slot, double widthEm) {
    double left = slot.dx;
    if (std::strcmp(slot.anchor, "end") == 0)
        left -= widthEm;
    else if (std::strcmp(slot.anchor, "middle") == 0)
        left -= widthEm / 2;
    return {left, slot.dy - kAscentEm, left + widthEm, slot.dy + kDescentEm};
}

Box MarkBox(const LabelRequest& request) {
    return {-request.markHalfEm, -request.markHalfEm, request.markHalfEm, request.markHalfEm};
}

// A box in em around a point, in pixels at a scale.
Box AtScale(const Box& em, const LabelRequest& at, double scale, double padding) {
    const double x = at.x * scale;
    const double y = at.y * scale;
    return {x + em.left * kLabelFontPx - padding, y + em.top * kLabelFontPx - padding,
            x + em.right * kLabelFontPx + padding, y + em.bottom * kLabelFontPx + padding};
}

// Places labels level by level. Points drift apart as the zoom deepens, and two labels facing each
// other can come to cross; so a label takes a place only where it stays free at its own level and
// every deeper one, against all marks and every label already taken.
// How far, in pixels along either axis, a label place or a mark reaches from its point.
double ReachPx(const std::vector<LabelRequest>& requests) {
    double widest = 0;
    for (const LabelRequest& request : requests)
        widest = std::max(widest, request.widthEm);
    double reachEm = 0;
    for (const LabelSlot& slot : LabelSlots()) {
        const Box box = SlotBox(slot, widest);
        reachEm = std::max({reachEm, -box.left, box.right, -box.top, box.bottom});
    }
    return reachEm * kLabelFontPx + kPaddingPx;
}

// Requests at one exact position: each label placed there takes one of the places from the others
// at every deeper level (they never drift apart), so no more of them than there are places can
// ever show a label, and the marks of the rest add nothing beyond the largest of them. Leaving the
// rest out of the grids keeps placement O(n log n) however many points coincide.
struct Crowd {
    std::vector<bool> competes;  // may take a label place
    std::vector<bool> obstacle;  // its mark is an obstacle in the grids
    std::vector<bool> coincides; // shares its position with another request
    std::vector<bool> first;     // the first request at its position, which stands for all of them
};

bool Usable(const LabelRequest& request) {
    return std::isfinite(request.x) && std::isfinite(request.y) && std::isfinite(request.widthEm) &&
           std::isfinite(request.markHalfEm);
}

void SortOutGroup(const std::vector<LabelRequest>& requests, const std::vector<std::size_t>& group,
                  std::size_t places, Crowd& crowd) {
    crowd.first[group.front()] = true;
    std::size_t largestIdle = requests.size();
    for (std::size_t k = 0; k < group.size(); ++k) {
        const std::size_t i = group[k];
        crowd.coincides[i] = group.size() > 1;
        if (k < places) {
            crowd.competes[i] = crowd.obstacle[i] = true;
        } else if (largestIdle == requests.size() ||
                   requests[i].markHalfEm > requests[largestIdle].markHalfEm) {
            largestIdle = i;
        }
    }
    if (largestIdle != requests.size())
        crowd.obstacle[largestIdle] = true;
}

Crowd SortOutCoincident(const std::vector<LabelRequest>& requests, std::size_t places) {
    const std::size_t n = requests.size();
    Crowd crowd{std::vector<bool>(n), std::vector<bool>(n), std::vector<bool>(n), std::vector<bool>(n)};
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < n; ++i) {
        if (Usable(requests[i]))
            order.push_back(i);
    }
    const auto at = [&](std::size_t i) { return std::make_pair(requests[i].x, requests[i].y); };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return at(a) < at(b); });
    std::vector<std::size_t> group;
    for (std::size_t k = 0; k < order.size(); ++k) {
        group.push_back(order[k]);
        if (k + 1 == order.size() || at(order[k + 1]) != at(order[k])) {
            SortOutGroup(requests, group, places, crowd);
            group.clear();
        }
    }
    return crowd;
}

// For each point, the deepest level at which another point stands near enough that their marks
// or labels may touch; -1 for a point that stands alone from the full view on. Points only drift
// apart as the zoom deepens, so below that level a point's places are free of every other.
std::vector<int> LastCrowdedLevels(const std::vector<LabelRequest>& requests, const Crowd& crowd,
                                   double pixelsPerUnit, double nearPx, int deepest) {
    constexpr int kCellsPerReach = 8;
    const double cell = nearPx / pixelsPerUnit / kCellsPerReach;
    const auto cellOf = [cell](double v) { return CellIndex(v / cell); };
    std::unordered_map<std::int64_t, std::vector<int>> cells;
    cells.reserve(requests.size());
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (crowd.first[i])
            cells[CellKey(cellOf(requests[i].x), cellOf(requests[i].y))].push_back(static_cast<int>(i));
    }
    std::vector<int> levels(requests.size(), -1);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (crowd.coincides[i])
            levels[i] = deepest;
        if (crowd.coincides[i] || !crowd.obstacle[i])
            continue;
        const std::int64_t cx = cellOf(requests[i].x);
        const std::int64_t cy = cellOf(requests[i].y);
        double nearest = nearPx / pixelsPerUnit; // Chebyshev distance, plan units
        bool found = false;
        // Ring by ring outward; a ring's points are at least (ring - 1) cells away.
        for (std::int64_t ring = 0; ring <= kCellsPerReach + 1 && (ring - 1) * cell < nearest; ++ring) {
            for (std::int64_t x = cx - ring; x <= cx + ring; ++x) {
                for (std::int64_t y = cy - ring; y <= cy + ring; ++y) {
                    if (std::max(std::abs(x - cx), std::abs(y - cy)) != ring)
                        continue;
                    const auto points = cells.find(CellKey(x, y));
                    if (points == cells.end())
                        continue;
                    for (const int j : points->second) {
                        if (static_cast<std::size_t>(j) == i)
                            continue;
                        const double d = std::max(std::fabs(requests[j].x - requests[i].x),
                                                  std::fabs(requests[j].y - requests[i].y));
                        if (d < nearest) {
                            nearest = d;
                            found = true;
                        }
                    }
                }
            }
        }
        if (!found)
            continue;
        // Points a subnormal distance apart make the ratio infinite: they count as coinciding.
        const double ratio = nearPx / (nearest * pixelsPerUnit); // > 1
        const double level = std::ceil(std::log2(ratio)) - 1;
        levels[i] = static_cast<int>(std::clamp(level, 0.0, static_cast<double>(deepest)));
    }
    return levels;
}

class Placer {
public:
    Placer(const std::vector<LabelRequest>& requests, double pixelsPerUnit, int maxLevel)
        : requests_(requests), slots_(LabelSlots()),
          placements_(requests.size(), LabelPlacement{maxLevel + 1, 0}), placed_(requests.size(), false),
          crowd_(SortOutCoincident(requests, slots_.size())) {
        // The level beyond the last is where the plan's zoom stops; it is checked as well. Two
        // points interact when each one's reach overlaps the other's.
        crowdedUntil_ =
            LastCrowdedLevels(requests, crowd_, pixelsPerUnit, 2 * ReachPx(requests), maxLevel + 1);
        for (int level = 0; level <= maxLevel + 1; ++level) {
            grids_.push_back({pixelsPerUnit * std::ldexp(1.0, level), {}, {}});
            for (std::size_t i = 0; i < requests_.size(); ++i) {
                if (crowd_.obstacle[i] && crowdedUntil_[i] >= level)
                    Insert(grids_.back(), Entry(i, false));
            }
        }
    }

    std::vector<LabelPlacement> Place(int maxLevel) {
        std::size_t remaining =
            static_cast<std::size_t>(std::count(crowd_.competes.begin(), crowd_.competes.end(), true));
        for (int level = 0; level <= maxLevel && remaining > 0; ++level) {
            for (std::size_t i = 0; i < requests_.size(); ++i) {
                if (crowd_.competes[i] && !placed_[i] && TryPlace(i, level))
                    --remaining;
            }
        }
        return std::move(placements_);
    }

private:
    // Entries of a cell are chained through `nodes`, so a cell costs no allocation of its own.
    struct Grid {
        double scale;
        std::unordered_map<std::int64_t, int> heads; // cell -> first node, -1 ends a chain
        std::vector<std::pair<int, int>> nodes;      // entry (request * 2 + is-label), next node
    };

    static int Entry(std::size_t request, bool label) {
        return static_cast<int>(request) * 2 + (label ? 1 : 0);
    }

    Box BoxOf(int entry, double scale, double padding) const {
        const LabelRequest& request = requests_[entry / 2];
        const Box em =
            entry % 2 == 1 ? SlotBox(slots_[placements_[entry / 2].slot], request.widthEm) : MarkBox(request);
        return AtScale(em, request, scale, padding);
    }

    // Visits the cells under a box until the visitor returns false; says whether all were visited.
    template <typename Visit> static bool ForEachCell(const Box& box, Visit&& visit) {
        const auto cell = [](double v) { return CellIndex(v / kCellPx); };
        for (std::int64_t cx = cell(box.left); cx <= cell(box.right); ++cx) {
            for (std::int64_t cy = cell(box.top); cy <= cell(box.bottom); ++cy) {
                if (!visit(CellKey(cx, cy)))
                    return false;
            }
        }
        return true;
    }

    void Insert(Grid& grid, int entry) {
        ForEachCell(BoxOf(entry, grid.scale, 0), [&](std::int64_t key) {
            const auto head = grid.heads.try_emplace(key, -1).first;
            grid.nodes.emplace_back(entry, head->second);
            head->second = static_cast<int>(grid.nodes.size() - 1);
            return true;
        });
    }

    bool IsFree(const Grid& grid, std::size_t owner, const Box& box) const {
        return ForEachCell(box, [&](std::int64_t key) {
            const auto found = grid.heads.find(key);
            for (int node = found == grid.heads.end() ? -1 : found->second; node >= 0;
                 node = grid.nodes[node].second) {
                const int entry = grid.nodes[node].first;
                if (static_cast<std::size_t>(entry / 2) != owner && BoxOf(entry, grid.scale, 0).Overlaps(box))
                    return false;
            }
            return true;
        });
    }

    // Only the levels at which the point still has neighbours need looking at.
    bool TryPlace(std::size_t i, int level) {
        const int last = crowdedUntil_[i];
        for (std::size_t s = 0; s < slots_.size(); ++s) {
            const Box em = SlotBox(slots_[s], requests_[i].widthEm);
            bool free = true;
            for (int k = level; k <= last && free; ++k)
                free = IsFree(grids_[k], i, AtScale(em, requests_[i], grids_[k].scale, kPaddingPx));
            if (!free)
                continue;
            placements_[i] = {level, static_cast<int>(s)};
            placed_[i] = true;
            for (int k = level; k <= last; ++k)
                Insert(grids_[k], Entry(i, true));
            return true;
        }
        return false;
    }

    const std::vector<LabelRequest>& requests_;
    const std::vector<LabelSlot>& slots_;
    std::vector<LabelPlacement> placements_;
    std::vector<bool> placed_;
    Crowd crowd_;
    std::vector<int> crowdedUntil_;
    std::vector<Grid> grids_;
};

} // namespace

const std::vector<LabelSlot>& LabelSlots() {
    // Beside the point's corners first, as map makers do, then its sides; each clears a mark
    // reaching half an em from the point.
    static const std::vector<LabelSlot> slots = {
        {"ne", "start", 0.5, -0.45}, {"se", "start", 0.5, 1.1}, {"nw", "end", -0.5, -0.45},
        {"sw", "end", -0.5, 1.1},    {"e", "start", 0.7, 0.3},  {"w", "end", -0.7, 0.3},
        {"n", "middle", 0, -0.75},   {"s", "middle", 0, 1.3},
    };
    return slots;
}

double LabelWidthEm(std::string_view utf8) {
    double width = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: its character was counted at its lead byte
        if (c >= 0xE3)
            width += 1.0; // CJK and other wide scripts
        else if (c >= 0x80)
            width += 0.8;
        else if (c >= 'A' && c <= 'Z')
            width += c == 'M' || c == 'W' ? 1.0 : 0.78;
        else if (c >= '0' && c <= '9')
            width += 0.66;
        else if (c >= 'a' && c <= 'z')
            width += c == 'm' || c == 'w' ? 0.92 : 0.64;
        else
            width += 0.6;
    }
    return width;
}

std::vector<LabelPlacement> PlaceLabels(const std::vector<LabelRequest>& requests, double pixelsPerUnit,
                                        int maxLevel) {
    return Placer(requests, pixelsPerUnit, maxLevel).Place(maxLevel);
}

} // namespace report
