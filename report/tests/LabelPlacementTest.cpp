#include "report/LabelPlacement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

namespace report {
namespace {

struct Rect {
    double left, top, right, bottom;
};

bool Overlap(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The part of a label that ink surely covers (cap height above the baseline), in pixels at a
// scale: narrower than what placement reserves, so an overlap found here is a real one.
Rect InkBox(const LabelRequest& request, const LabelPlacement& placement, double scale) {
    const LabelSlot& slot = LabelSlots()[placement.slot];
    const double width = request.widthEm * 0.9;
    double left = slot.dx;
    if (std::strcmp(slot.anchor, "end") == 0)
        left -= width;
    else if (std::strcmp(slot.anchor, "middle") == 0)
        left -= width / 2;
    const double x = request.x * scale + left * kLabelFontPx;
    const double y = request.y * scale + slot.dy * kLabelFontPx;
    return {x, y - 0.7 * kLabelFontPx, x + width * kLabelFontPx, y};
}

Rect MarkRect(const LabelRequest& request, double scale) {
    const double half = request.markHalfEm * kLabelFontPx * 0.9;
    return {request.x * scale - half, request.y * scale - half, request.x * scale + half,
            request.y * scale + half};
}

std::vector<LabelRequest> ScatteredPoints(int count, double extent) {
    std::vector<LabelRequest> requests;
    unsigned seed = 7;
    const auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return static_cast<double>((seed >> 8) & 0xffff) / 65536.0;
    };
    for (int i = 0; i < count; ++i)
        requests.push_back({next() * extent, next() * extent, LabelWidthEm("P" + std::to_string(i)), 0.32});
    return requests;
}

TEST(LabelPlacement, LabelsShownAtALevelCoverNoOtherLabelOrMark) {
    const std::vector<LabelRequest> requests = ScatteredPoints(1500, 400);
    constexpr int kMaxLevel = 6;
    const std::vector<LabelPlacement> placements = PlaceLabels(requests, 1.0, kMaxLevel);
    for (int level = 0; level <= kMaxLevel; ++level) {
        const double scale = 1 << level;
        std::vector<std::size_t> shown;
        for (std::size_t i = 0; i < requests.size(); ++i) {
            if (placements[i].level <= level)
                shown.push_back(i);
        }
        EXPECT_FALSE(shown.empty());
        for (const std::size_t a : shown) {
            const Rect box = InkBox(requests[a], placements[a], scale);
            for (std::size_t b = 0; b < requests.size(); ++b) {
                if (b == a)
                    continue;
                ASSERT_FALSE(Overlap(box, MarkRect(requests[b], scale))) << a << " covers the mark of " << b;
                if (placements[b].level <= level && b > a) {
                    ASSERT_FALSE(Overlap(box, InkBox(requests[b], placements[b], scale)))
                        << a << " and " << b << " at level " << level;
                }
            }
        }
    }
    // Zooming in frees labels: the crowd at full view is labelled by the deepest level.
    EXPECT_LT(std::count_if(placements.begin(), placements.end(), [](auto& p) { return p.level == 0; }),
              1500);
    EXPECT_EQ(
        std::count_if(placements.begin(), placements.end(), [](auto& p) { return p.level > kMaxLevel; }), 0);
}

TEST(LabelPlacement, SpreadPointsAreAllLabelledAtFullView) {
    std::vector<LabelRequest> requests;
    for (int i = 0; i < 100; ++i)
        requests.push_back({(i % 10) * 100.0, (i / 10) * 100.0, LabelWidthEm("STATION"), 0.5});
    for (const LabelPlacement& placement : PlaceLabels(requests, 1.0, 4))
        EXPECT_EQ(placement.level, 0);
}

TEST(LabelPlacement, NeighboursTakeOppositeSidesAndCoincidentPointsWaitBeyondTheLastLevel) {
    const std::vector<LabelRequest> requests = {
        {0, 0, LabelWidthEm("T1"), 0.5}, {1, 0, LabelWidthEm("P1"), 0.32}, {0, 0, LabelWidthEm("T1B"), 0.32}};
    const std::vector<LabelPlacement> placements = PlaceLabels(requests, 1.0, 5);
    // T1 leaves the east to P1, whose mark would run under it as the zoom deepens.
    EXPECT_EQ(placements[0].level, 0);
    EXPECT_STREQ(LabelSlots()[placements[0].slot].anchor, "end");
    EXPECT_EQ(placements[1].level, 0);
    EXPECT_STREQ(LabelSlots()[placements[1].slot].anchor, "start");
    EXPECT_EQ(placements[2].level, 6);
}

// Coinciding points cost no more than spread ones, and points a subnormal distance apart (whose
// distance ratio overflows any level) count as coinciding.
TEST(LabelPlacement, CoincidingPointsAreFastAndNearlyCoincidingOnesAreSound) {
    const struct {
        const char* what;
        std::vector<LabelRequest> requests;
        int placedAtMost;
    } cases[] = {
        {"200,000 at one spot", std::vector<LabelRequest>(200000, {5, 5, LabelWidthEm("P1"), 0.32}), 8},
        {"subnormal apart", {{0, 0, 1, 0.32}, {4.9e-324, 0, 1, 0.32}}, 2},
        {"not finite",
         {{std::nan(""), 0, 1, 0.32}, {0, std::numeric_limits<double>::infinity(), 1, 0.32}},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto start = std::chrono::steady_clock::now();
        const std::vector<LabelPlacement> placements = PlaceLabels(c.requests, 1.0, 14);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        const auto placed = std::count_if(placements.begin(), placements.end(),
                                          [](const LabelPlacement& p) { return p.level <= 14; });
        EXPECT_LE(placed, c.placedAtMost);
        EXPECT_EQ(placed > 0, c.placedAtMost > 0);
    }
}

TEST(LabelPlacement, WidthCountsCharactersNotBytes) {
    EXPECT_DOUBLE_EQ(LabelWidthEm("\xD0\x96\xD0\x96"), 2 * LabelWidthEm("\xD0\x96")); // ЖЖ
    EXPECT_GT(LabelWidthEm("P1000"), LabelWidthEm("P10"));
    EXPECT_GT(LabelWidthEm("\xE6\x9D\xB1"), LabelWidthEm("\xD0\x96")); // a CJK ideograph is wider
}

} // namespace
} // namespace report
