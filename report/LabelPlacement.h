// Where each point's name goes on the plan so that no label covers another label or another
// point's mark. A label that finds no free place at one zoom level is tried again at the next,
// where points stand twice as far apart on screen while labels keep their size; the plan shows a
// label only from its level on.
#pragma once

#include <string_view>
#include <vector>

namespace report {

// The nominal size of a label's text, in pixels; placement boxes are kept in em of this size.
constexpr double kLabelFontPx = 11;

// One place a label may take around its point. The plan's style sheet is written from the same
// table, so what is measured here is what is drawn.
struct LabelSlot {
    const char* className;
    const char* anchor; // SVG text-anchor
    double dx;          // shift of the text's anchor from the point, in em
    double dy;          // shift of the baseline, in em (down is positive)
};

const std::vector<LabelSlot>& LabelSlots();

// A conservative width of a name in em for a sans-serif face: wide enough for the broadest of
// the usual faces, so that a label placed free stays free in the browser.
double LabelWidthEm(std::string_view utf8);

struct LabelRequest {
    double x = 0; // plan units, y growing downward
    double y = 0;
    double widthEm = 0;
    double markHalfEm = 0; // half the size of the point's own mark, an obstacle to other labels
};

struct LabelPlacement {
    int level = 0; // shown from zoom 2^level on
    int slot = 0;  // index into LabelSlots()
};

// Requests are placed in the order given, so earlier ones win crowded spots. Labels that are
// still not free at maxLevel (points that coincide) get maxLevel + 1.
std::vector<LabelPlacement> PlaceLabels(const std::vector<LabelRequest>& requests, double pixelsPerUnit,
                                        int maxLevel);

} // namespace report
