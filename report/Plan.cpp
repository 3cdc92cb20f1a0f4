#include "report/Plan.h"

#include "report/Markup.h"
#include "survey/Geometry.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>

namespace report {
namespace {

constexpr double kMarginPx = 48;
constexpr double kMaxHeightPx = 640;
constexpr double kMinHeightPx = 280;
constexpr double kMinSpanMetres = 10; // a plan of one point still has a scale
constexpr double kScaleBarMaxPx = 160;
constexpr int kDeepestLevel = 14; // zoom 16384: beyond it only coinciding points still touch
constexpr double kStationHalfEm = 0.5;
constexpr double kPointHalfEm = 0.32;
// Longer names are cut on the plan, where a label must fit among its neighbours; the tables and
// the tooltip's row keep them whole.
constexpr std::size_t kPlanNameCharacters = 32;
constexpr char kEllipsis[] = "\u2026";
constexpr double kEllipsePx = 15; // the largest error ellipse's semi-major axis on screen
constexpr double kDegreesPerRadian = 57.29577951308232;

// Distinct on white and for the common colour-vision deficiencies; grey is kept for the codes
// beyond the palette.
constexpr const char* kCodeColours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                        "#8c564b", "#e377c2", "#17becf", "#bcbd22"};
constexpr std::size_t kPaletteSize = sizeof kCodeColours / sizeof kCodeColours[0];
constexpr const char* kOthersColour = "#7f7f7f";

struct Bounds {
    double minE = 0, maxE = 0, minN = 0, maxN = 0;
    bool empty = true;

    void Add(double northing, double easting) {
        if (empty) {
            minE = maxE = easting;
            minN = maxN = northing;
            empty = false;
            return;
        }
        minE = std::min(minE, easting);
        maxE = std::max(maxE, easting);
        minN = std::min(minN, northing);
        maxN = std::max(maxN, northing);
    }
};

// Far beyond any survey (the earth's circumference is 4e7 m), yet small enough that the plan's
// spans, scales and pixel positions stay finite. A point beyond it, or not finite, is listed in the
// tables but has no place on the plan.
constexpr double kLargestPlanCoordinate = 1e15;

bool Drawable(double northing, double easting) {
    return std::fabs(northing) <= kLargestPlanCoordinate && std::fabs(easting) <= kLargestPlanCoordinate;
}

bool Drawable(const survey::Coordinate& point) {
    return Drawable(point.northing, point.easting);
}

bool IsLocated(const survey::StationResult& station) {
    return station.northing && station.easting && Drawable(*station.northing, *station.easting);
}

// Codes by how many points carry them; the palette goes to the most frequent.
std::vector<CodeClass> CodeClasses(const std::vector<survey::Coordinate>& coordinates,
                                   std::unordered_map<std::string, int>& classOf) {
    std::map<std::string, std::size_t> counts;
    for (const survey::Coordinate& point : coordinates)
        ++counts[point.code];
    std::vector<std::pair<std::string, std::size_t>> byCount(counts.begin(), counts.end());
    std::stable_sort(byCount.begin(), byCount.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    const std::size_t ownColours = byCount.size() <= kPaletteSize ? byCount.size() : kPaletteSize - 1;
    std::vector<CodeClass> classes;
    for (std::size_t i = 0; i < byCount.size(); ++i) {
        if (i < ownColours) {
            classOf[byCount[i].first] = static_cast<int>(i);
            classes.push_back({byCount[i].first, byCount[i].second, false});
            continue;
        }
        if (i == ownColours)
            classes.push_back({"", 0, true});
        classOf[byCount[i].first] = static_cast<int>(ownColours);
        classes.back().count += byCount[i].second;
    }
    return classes;
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The name's first kPlanNameCharacters characters and an ellipsis, cut between UTF-8 characters.
std::string ShortenedForPlan(const std::string& name) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (IsContinuationByte(name[i]))
            continue;
        if (characters++ == kPlanNameCharacters)
            return name.substr(0, i) + kEllipsis;
    }
    return name;
}

const char* ColourOf(const std::vector<CodeClass>& codes, std::size_t index) {
    return codes[index].others ? kOthersColour : kCodeColours[index];
}

std::string ColourClass(const std::vector<CodeClass>& codes, std::size_t index) {
    return codes[index].others ? "cx" : "c" + std::to_string(index);
}

class PlanBuilder {
public:
    explicit PlanBuilder(const survey::FileSurvey& file) : file_(file) {}

    Plan Build() {
        const survey::Reduction& reduction = file_.reduction;
        Bounds bounds;
        for (const survey::Coordinate& point : reduction.coordinates) {
            if (Drawable(point))
                bounds.Add(point.northing, point.easting);
        }
        for (const survey::StationResult& station : reduction.stations) {
            if (IsLocated(station))
                bounds.Add(*station.northing, *station.easting);
        }
        if (bounds.empty)
            return plan_;
        FrameView(bounds);
        std::unordered_map<std::string, int> classOf;
        plan_.codes = CodeClasses(reduction.coordinates, classOf);
        for (std::size_t i = 0; i < reduction.coordinates.size(); ++i) {
            const survey::Coordinate& point = reduction.coordinates[i];
            if (!Drawable(point))
                continue;
            positions_.emplace(point.name, Position{X(point.easting), Y(point.northing)});
            rows_.emplace(point.name, "r" + std::to_string(i));
            plan_.marks.push_back(
                {point.source == survey::PointSource::Known ? MarkKind::Known : MarkKind::Computed,
                 X(point.easting), Y(point.northing), classOf[point.code]});
        }
        AddEllipses();
        AddStations();
        AddPointLabels(survey::PointSource::Known);
        AddPointLabels(survey::PointSource::Computed);
        AddLinesOfSight();
        PlaceAllLabels();
        return std::move(plan_);
    }

private:
    struct Position {
        double x, y;
    };

    double X(double easting) const { return easting - plan_.originEasting; }
    double Y(double northing) const { return plan_.originNorthing - northing; }

    // Fits the located points into the nominal width with a margin, no taller than a screen.
    void FrameView(const Bounds& bounds) {
        plan_.originEasting = bounds.minE;
        plan_.originNorthing = bounds.maxN;
        const double spanE = std::max(bounds.maxE - bounds.minE, kMinSpanMetres);
        const double spanN = std::max(bounds.maxN - bounds.minN, kMinSpanMetres);
        const double scale =
            std::min((kPlanWidthPx - 2 * kMarginPx) / spanE, (kMaxHeightPx - 2 * kMarginPx) / spanN);
        const double heightPx = std::max(spanN * scale + 2 * kMarginPx, kMinHeightPx);
        plan_.pixelsPerUnit = scale;
        plan_.viewWidth = kPlanWidthPx / scale;
        plan_.viewHeight = heightPx / scale;
        plan_.viewX = (bounds.maxE - bounds.minE) / 2 - plan_.viewWidth / 2;
        plan_.viewY = (bounds.maxN - bounds.minN) / 2 - plan_.viewHeight / 2;
    }

    // Only ellipses with finite, non-negative axes are drawn: anything else would break the drawing.
    void AddEllipses() {
        double largest = 0;
        for (const survey::Coordinate& point : file_.reduction.coordinates) {
            if (!point.precision || !Drawable(point))
                continue;
            const survey::ErrorEllipse& ellipse = point.precision->ellipse95;
            if (!(ellipse.semiMajor >= 0 && ellipse.semiMinor >= 0 && std::isfinite(ellipse.semiMajor) &&
                  std::isfinite(ellipse.semiMinor) && std::isfinite(ellipse.azimuth)))
                continue;
            plan_.ellipses.push_back(
                {X(point.easting), Y(point.northing), ellipse.semiMajor, ellipse.semiMinor, ellipse.azimuth});
            largest = std::max({largest, ellipse.semiMajor, ellipse.semiMinor});
        }
        if (!plan_.ellipses.empty())
            plan_.ellipseExaggeration =
                survey::EllipseExaggeration(kEllipsePx / (largest * plan_.pixelsPerUnit));
    }

    void AddStations() {
        const auto& stations = file_.reduction.stations;
        for (std::size_t i = 0; i < stations.size(); ++i) {
            const survey::StationResult& station = stations[i];
            if (!IsLocated(station))
                continue;
            const Position at{X(*station.easting), Y(*station.northing)};
            plan_.marks.push_back({MarkKind::Station, at.x, at.y, 0});
            stationPositions_.emplace(station.name, at);
            if (!labelled_.insert(station.name).second)
                continue;
            const auto row = rows_.find(station.name);
            AddLabel(station.name, at, row != rows_.end() ? row->second : "s" + std::to_string(i),
                     kStationHalfEm);
        }
    }

    void AddPointLabels(survey::PointSource source) {
        const auto& coordinates = file_.reduction.coordinates;
        for (std::size_t i = 0; i < coordinates.size(); ++i) {
            const survey::Coordinate& point = coordinates[i];
            if (point.source != source || !Drawable(point) || !labelled_.insert(point.name).second)
                continue;
            AddLabel(point.name, {X(point.easting), Y(point.northing)}, "r" + std::to_string(i),
                     kPointHalfEm);
        }
    }

    void AddLabel(const std::string& name, Position at, std::string row, double markHalfEm) {
        PlanLabel label;
        label.name = ShortenedForPlan(name);
        label.x = at.x;
        label.y = at.y;
        label.row = std::move(row);
        label.markHalfEm = markHalfEm;
        plan_.labels.push_back(std::move(label));
    }

    const Position* Find(const std::unordered_map<std::string, Position>& map,
                         const std::string& name) const {
        const auto found = map.find(name);
        return found == map.end() ? nullptr : &found->second;
    }

    const survey::StationResult* ResultOf(const survey::Station& station) const {
        return survey::FindStationResult(file_.reduction, station);
    }

    // From each located set-up to every located point it observed; a sight to another station
    // is a traverse leg, drawn once for both directions.
    void AddLinesOfSight() {
        std::set<std::string> stationNames;
        for (const survey::Station& station : file_.job.stations)
            stationNames.insert(station.name);
        std::set<std::pair<std::string, std::string>> legs;
        for (const survey::Station& station : file_.job.stations) {
            const survey::StationResult* result = ResultOf(station);
            if (!result || !IsLocated(*result))
                continue;
            const Position from{X(*result->easting), Y(*result->northing)};
            std::set<std::string> seen;
            for (const survey::Observation& observation : station.observations) {
                if (observation.target == station.name || !seen.insert(observation.target).second)
                    continue;
                const Position* to = Find(positions_, observation.target);
                if (!to)
                    to = Find(stationPositions_, observation.target);
                if (!to)
                    continue;
                const PlanSegment segment{from.x, from.y, to->x, to->y};
                if (stationNames.count(observation.target) == 0) {
                    plan_.sights.push_back(segment);
                    continue;
                }
                if (legs.insert(std::minmax(station.name, observation.target)).second)
                    plan_.traverse.push_back(segment);
            }
        }
    }

    void PlaceAllLabels() {
        std::vector<LabelRequest> requests;
        requests.reserve(plan_.labels.size());
        for (const PlanLabel& label : plan_.labels)
            requests.push_back({label.x, label.y, LabelWidthEm(label.name), label.markHalfEm});
        const std::vector<LabelPlacement> placements =
            PlaceLabels(requests, plan_.pixelsPerUnit, kDeepestLevel);
        for (std::size_t i = 0; i < placements.size(); ++i) {
            plan_.labels[i].placement = placements[i];
            plan_.maxLevel = std::max(plan_.maxLevel, placements[i].level);
        }
    }

    const survey::FileSurvey& file_;
    Plan plan_;
    std::unordered_map<std::string, Position> positions_;
    std::unordered_map<std::string, Position> stationPositions_;
    std::unordered_map<std::string, std::string> rows_;
    std::set<std::string> labelled_;
};

void WriteMove(std::ostream& out, char command, double x, double y) {
    out << command << PlanNumber(x) << ' ' << PlanNumber(y);
}

void WriteSegments(std::ostream& out, const char* cssClass, const std::vector<PlanSegment>& segments) {
    if (segments.empty())
        return;
    out << "<path class=\"" << cssClass << "\" d=\"";
    for (const PlanSegment& segment : segments) {
        WriteMove(out, 'M', segment.x1, segment.y1);
        WriteMove(out, 'L', segment.x2, segment.y2);
    }
    out << "\"/>\n";
}

// Every ellipse in one path of two half-arcs each, from one end of its major axis to the other.
// SVG turns an arc's axes clockwise from east; the azimuth counts clockwise from north.
void WriteEllipses(std::ostream& out, const Plan& plan) {
    if (plan.ellipses.empty())
        return;
    out << "<path class=\"ell\" d=\"";
    for (const PlanEllipse& ellipse : plan.ellipses) {
        const double major = std::max(ellipse.semiMajor, ellipse.semiMinor) * plan.ellipseExaggeration;
        const double minor = std::min(ellipse.semiMajor, ellipse.semiMinor) * plan.ellipseExaggeration;
        const double dx = major * std::sin(ellipse.azimuth);
        const double dy = -major * std::cos(ellipse.azimuth);
        const std::string arc = 'A' + PlanNumber(major) + ' ' + PlanNumber(minor) + ' ' +
                                PlanNumber(ellipse.azimuth * kDegreesPerRadian - 90) + " 0 1 ";
        WriteMove(out, 'M', ellipse.x + dx, ellipse.y + dy);
        out << arc << PlanNumber(ellipse.x - dx) << ' ' << PlanNumber(ellipse.y - dy);
        out << arc << PlanNumber(ellipse.x + dx) << ' ' << PlanNumber(ellipse.y + dy) << 'Z';
    }
    out << "\"/>\n";
}

// Points of one kind and colour as one path of zero-length strokes, whose caps are the marks:
// one element for thousands of points, and a fixed size on screen at any zoom.
void WriteMarks(std::ostream& out, const Plan& plan, MarkKind kind, const char* cssClass) {
    for (std::size_t code = 0; code < plan.codes.size(); ++code) {
        bool any = false;
        for (const PlanMark& mark : plan.marks) {
            if (mark.kind != kind || mark.codeClass != static_cast<int>(code))
                continue;
            if (!any)
                out << "<path class=\"" << cssClass << ' ' << ColourClass(plan.codes, code) << "\" d=\"";
            any = true;
            WriteMove(out, 'M', mark.x, mark.y);
            out << "h0";
        }
        if (any)
            out << "\"/>\n";
    }
}

void WriteStations(std::ostream& out, const Plan& plan, const std::string& id) {
    out << "<g class=\"st\">";
    for (const PlanMark& mark : plan.marks) {
        if (mark.kind != MarkKind::Station)
            continue;
        out << "<g transform=\"translate(" << PlanNumber(mark.x) << ' ' << PlanNumber(mark.y)
            << ")\"><use href=\"#" << id << "-tri\"/></g>";
    }
    out << "</g>\n";
}

void WriteLabelGroup(std::ostream& out, const Plan& plan, int level) {
    const std::vector<LabelSlot>& slots = LabelSlots();
    out << "<g class=\"lv" << (level == 0 ? " on" : "") << "\" data-lv=\"" << level << "\">";
    for (const PlanLabel& label : plan.labels) {
        if (label.placement.level != level)
            continue;
        out << "<text x=\"" << PlanNumber(label.x) << "\" y=\"" << PlanNumber(label.y) << "\" class=\""
            << slots[label.placement.slot].className << "\" data-r=\"" << label.row << "\">";
        WriteEscaped(out, label.name);
        out << "</text>";
    }
    out << "</g>\n";
}

// The labels of deeper zoom levels wait in templates until the reader zooms that far: a browser
// is slow to open a page whose SVG holds tens of thousands of text elements, even hidden ones.
void WriteWaitingLabels(std::ostream& out, const Plan& plan) {
    for (int level = 1; level <= plan.maxLevel; ++level) {
        out << "<template class=\"labels\" data-lv=\"" << level << "\"><svg>";
        WriteLabelGroup(out, plan, level);
        out << "</svg></template>\n";
    }
}

std::string ScaleText(double metres) {
    return (metres >= 1000 ? PlanNumber(metres / 1000) + " km" : PlanNumber(metres) + " m");
}

// North arrow and scale bar, fixed to the corners of the view; the script keeps the bar true as
// the view zooms.
void WriteOverlay(std::ostream& out, const Plan& plan) {
    const double metres = survey::RoundBelow(kScaleBarMaxPx / plan.pixelsPerUnit);
    const double length = metres * plan.pixelsPerUnit;
    out << "<svg class=\"overlay north\" width=\"28\" height=\"50\" aria-label=\"north\">"
        << "<path d=\"M14 2L22 30L14 24L6 30Z\"/><text x=\"14\" y=\"46\">N</text></svg>\n"
        << "<svg class=\"overlay scalebar\" width=\"" << kScaleBarMaxPx + 40 << "\" height=\"40\" data-max=\""
        << kScaleBarMaxPx << "\"><g transform=\"translate(16 30)\"><path d=\"M0 -6V0H" << PlanNumber(length)
        << "V-6\"/><text x=\"" << PlanNumber(length / 2) << "\" y=\"-10\">" << ScaleText(metres)
        << "</text></g></svg>\n";
}

} // namespace

Plan BuildPlan(const survey::FileSurvey& file) {
    return PlanBuilder(file).Build();
}

void WritePlan(std::ostream& out, const Plan& plan, const std::string& id) {
    const double heightPx = plan.viewHeight * plan.pixelsPerUnit;
    out << "<div class=\"planbox\">\n<svg class=\"plan\" id=\"" << id << "-plan\" width=\"" << kPlanWidthPx
        << "\" height=\"" << PlanNumber(std::round(heightPx)) << "\" viewBox=\"" << PlanNumber(plan.viewX)
        << ' ' << PlanNumber(plan.viewY) << ' ' << PlanNumber(plan.viewWidth) << ' '
        << PlanNumber(plan.viewHeight) << "\" data-lv=\"" << plan.maxLevel
        << "\" style=\"--k:" << 1 / plan.pixelsPerUnit << "\" role=\"img\" aria-label=\"Plan, north up\">\n"
        << "<defs><path id=\"" << id << "-tri\" d=\"M0 -5.5L5.5 4.5H-5.5Z\"/></defs>\n";
    WriteSegments(out, "sight", plan.sights);
    WriteSegments(out, "trav", plan.traverse);
    WriteEllipses(out, plan);
    WriteMarks(out, plan, MarkKind::Known, "kn");
    WriteMarks(out, plan, MarkKind::Computed, "pt");
    WriteStations(out, plan, id);
    WriteLabelGroup(out, plan, 0);
    out << "</svg>\n";
    WriteWaitingLabels(out, plan);
    WriteOverlay(out, plan);
    out << "<div class=\"tip\" hidden></div>"
        << "<div class=\"zoom\"><button type=\"button\" data-zoom=\"in\" title=\"Zoom in\">+</button>"
        << "<button type=\"button\" data-zoom=\"out\" title=\"Zoom out\">\xE2\x88\x92</button>"
        << "<button type=\"button\" data-zoom=\"fit\" title=\"Whole "
           "job\">\xE2\x8C\x82</button></div>\n</div>\n";
}

void WritePlanLegend(std::ostream& out, const Plan& plan) {
    out << "<ul class=\"legend\">"
        << "<li><svg width=\"14\" height=\"14\" viewBox=\"-7 -7 14 14\"><path class=\"lg-st\" d=\"M0 "
           "-5.5L5.5 "
           "4.5H-5.5Z\"/></svg>station</li>"
        << "<li><svg width=\"14\" height=\"14\"><rect class=\"lg-kn\" x=\"3\" y=\"3\" width=\"8\" "
           "height=\"8\"/></svg>known point</li>"
        << "<li><svg width=\"14\" height=\"14\"><circle class=\"lg-pt\" cx=\"7\" cy=\"7\" "
           "r=\"4\"/></svg>computed point</li>"
        << "<li><svg width=\"22\" height=\"14\"><path class=\"trav\" d=\"M1 7H21\"/></svg>traverse</li>"
        << "<li><svg width=\"22\" height=\"14\"><path class=\"sight\" d=\"M1 7H21\"/></svg>line of "
           "sight</li>";
    if (!plan.ellipses.empty()) {
        out << "<li><svg width=\"22\" height=\"14\"><path class=\"ell\" d=\"M2 7A9 5 0 0 1 20 7A9 5 0 0 1 2 "
               "7Z\"/></svg>95 % error ellipse, drawn "
            << PlanNumber(plan.ellipseExaggeration) << " times its size</li>";
    }
    for (std::size_t i = 0; i < plan.codes.size(); ++i) {
        const CodeClass& code = plan.codes[i];
        out << "<li><span class=\"swatch\" style=\"background:" << ColourOf(plan.codes, i) << "\"></span>";
        if (code.others)
            out << "other codes";
        else if (code.code.empty())
            out << "no code";
        else
            WriteEscaped(out, code.code);
        out << " <span class=\"count\">" << code.count << "</span></li>";
    }
    out << "</ul>\n";
}

void WritePlanStyle(std::ostream& out) {
    for (const LabelSlot& slot : LabelSlots()) {
        out << ".plan text." << slot.className << "{text-anchor:" << slot.anchor << ";transform:translate("
            << slot.dx << "em," << slot.dy << "em)}\n";
    }
    for (std::size_t i = 0; i < kPaletteSize; ++i)
        out << ".plan .c" << i << "{stroke:" << kCodeColours[i] << "}\n";
    out << ".plan .cx{stroke:" << kOthersColour << "}\n";
}

} // namespace report
