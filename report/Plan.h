// The plan of one file: located points, stations, lines of sight and the traverse, north up, as
// inline SVG. Plan units are metres; x grows east and y south, as SVG draws.
#pragma once

#include "report/LabelPlacement.h"
#include "survey/Survey.h"

#include <ostream>
#include <string>
#include <vector>

namespace report {

enum class MarkKind { Station, Known, Computed };

struct PlanMark {
    MarkKind kind = MarkKind::Computed;
    double x = 0;
    double y = 0;
    int codeClass = 0; // index into Plan::codes; stations have none
};

// Every located name has one label; its row is the table row that tells how it was located.
struct PlanLabel {
    std::string name;
    double x = 0;
    double y = 0;
    std::string row; // "r<coordinate index>" or, for a station located but not listed, "s<index>"
    double markHalfEm = 0;
    LabelPlacement placement;
};

struct PlanSegment {
    double x1, y1, x2, y2;
};

// An adjusted point's 95 % error ellipse, in metres at its true size.
struct PlanEllipse {
    double x = 0;
    double y = 0;
    double semiMajor = 0;
    double semiMinor = 0;
    double azimuth = 0; // of the semi-major axis, radians clockwise from north
};

struct CodeClass {
    std::string code; // empty for points without a code
    std::size_t count = 0;
    bool others = false; // the class that gathers the codes beyond the palette
};

struct Plan {
    double originEasting = 0;  // the plan's x = 0
    double originNorthing = 0; // the plan's y = 0
    // The default view, in plan units, and its nominal scale.
    double viewX = 0, viewY = 0, viewWidth = 0, viewHeight = 0;
    double pixelsPerUnit = 1;
    std::vector<PlanMark> marks;
    std::vector<PlanLabel> labels; // stations first, then known, then computed points
    std::vector<PlanSegment> sights;
    std::vector<PlanSegment> traverse;
    std::vector<CodeClass> codes;
    std::vector<PlanEllipse> ellipses;
    // How many times the ellipses are drawn larger than true, so that the largest is visible at
    // the plan's scale; 1 without ellipses.
    double ellipseExaggeration = 1;
    int maxLevel = 0; // the deepest zoom level a label needs
};

// Nominal width of the plan in CSS pixels at the default view.
constexpr double kPlanWidthPx = 960;

Plan BuildPlan(const survey::FileSurvey& file);

// `id` prefixes every element id of the plan, so several plans share one page.
void WritePlan(std::ostream& out, const Plan& plan, const std::string& id);
void WritePlanLegend(std::ostream& out, const Plan& plan);
// The style rules that come from the writer's own tables: label slots and code colours.
void WritePlanStyle(std::ostream& out);

} // namespace report
