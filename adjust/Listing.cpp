#include "adjust/Listing.h"

#include "survey/Geometry.h"

#include <cmath>
#include <cstdio>

namespace adjust {

namespace {

using survey::kPi;
constexpr double kSecondsPerRadian = 180 * 3600 / kPi;

template <class... Args> std::string Format(const char* format, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// Degrees, minutes and seconds to a tenth: 123°04'05.6".
std::string Dms(double radians) {
    const bool negative = radians < 0;
    long tenths = std::lround(std::abs(radians) * kSecondsPerRadian * 10);
    const long degrees = tenths / 36000;
    tenths %= 36000;
    return Format("%s%ld°%02ld'%04.1f\"", negative ? "-" : "", degrees, tenths / 600, (tenths % 600) / 10.0);
}

std::string Value(Kind kind, double value) {
    return IsAngular(kind) ? Dms(value) : Format("%.4f", value);
}

// Residuals and deviations of angles in seconds, of lengths in millimetres.
std::string Small(Kind kind, double value) {
    return IsAngular(kind) ? Format("%.1f\"", value * kSecondsPerRadian) : Format("%.1f", value * 1000);
}

std::string Mm(const std::optional<double>& metres) {
    return metres ? Format("%.1f", *metres * 1000) : "";
}

std::string Summary(const Adjustment& a, const std::vector<std::string>& files) {
    std::string names;
    for (const std::string& file : files)
        names += (names.empty() ? "" : ", ") + file;
    std::string text = "Least-squares adjustment of " + names + "\n";
    text += Format("  %d observations, %d unknowns, defect %d, %d degrees of freedom, %d iterations\n",
                   a.observationCount, a.unknowns, a.defect, a.degreesOfFreedom, a.iterations);
    text += Format("  sigma0 a priori %.4g, a posteriori %.4g; results scaled by the %s\n", a.sigma0Apriori,
                   a.sigma0Aposteriori, a.aposterioriUsed ? "a posteriori" : "a priori");
    const ModelTest& t = a.test;
    if (t.applicable)
        text += Format("  chi-square test at %.3g: ratio %.3f, bounds %.3f to %.3f: %s\n", t.probability,
                       t.ratio, t.lower, t.upper, t.passed ? "passed" : "FAILED");
    else
        text += "  chi-square test: not applicable without degrees of freedom\n";
    text += Format("  95 %% ellipses: the standard ellipse times %.3f, the 2-D confidence scale\n",
                   a.ellipseScale);
    text += Format("  data snooping at %.3g: standardized residuals above %.2f are flagged (*)\n",
                   a.snoopingProbability, a.criticalValue);
    return text;
}

std::string Points(const Adjustment& a) {
    std::string text = "\nAdjusted coordinates (standard deviations and ellipse semi-axes in mm)\n";
    text +=
        Format("  %-12s %-11s %14s %14s %10s %6s %6s %6s %6s %6s %11s %6s %6s\n", "point", "role", "northing",
               "easting", "elevation", "sdN", "sdE", "sdZ", "a", "b", "azimuth a", "a95", "b95");
    for (const PointResult& p : a.points) {
        const auto coordinate = [](const std::optional<double>& v, const char* format) {
            return v ? Format(format, *v) : std::string();
        };
        text += Format("  %-12s %-11s %14s %14s %10s %6s %6s %6s %6s %6s %11s %6s %6s\n", p.name.c_str(),
                       RoleName(p.role), coordinate(p.northing, "%.4f").c_str(),
                       coordinate(p.easting, "%.4f").c_str(), coordinate(p.elevation, "%.4f").c_str(),
                       Mm(p.sdNorthing).c_str(), Mm(p.sdEasting).c_str(), Mm(p.sdElevation).c_str(),
                       Mm(p.ellipse ? std::optional(p.ellipse->a) : std::nullopt).c_str(),
                       Mm(p.ellipse ? std::optional(p.ellipse->b) : std::nullopt).c_str(),
                       p.ellipse ? Dms(p.ellipse->azimuth).c_str() : "",
                       Mm(p.ellipse95 ? std::optional(p.ellipse95->a) : std::nullopt).c_str(),
                       Mm(p.ellipse95 ? std::optional(p.ellipse95->b) : std::nullopt).c_str());
    }
    return text;
}

std::string Observations(const Adjustment& a) {
    std::string text = "\nObservations (residuals and deviations in seconds or mm; * flagged)\n";
    text += Format("  %-18s %-12s %-12s %16s %16s %9s %7s %6s %6s\n", "kind", "from", "to", "observed",
                   "adjusted", "residual", "sd", "r", "w");
    for (const ObservationResult& o : a.observations) {
        const std::string to = o.kind == Kind::Angle ? o.backsight + "-" + o.to : o.to;
        const std::string w = o.standardizedResidual ? Format("%.2f", *o.standardizedResidual) : "";
        text += Format("%c %-18s %-12s %-12s %16s %16s %9s %7s %6.3f %6s\n", o.flagged ? '*' : ' ',
                       KindName(o.kind), o.from.c_str(), to.c_str(), Value(o.kind, o.observed).c_str(),
                       Value(o.kind, o.adjusted).c_str(), Small(o.kind, o.residual).c_str(),
                       Small(o.kind, o.sd).c_str(), o.redundancy, w.c_str());
    }
    return text;
}

std::string Relative(const Adjustment& a) {
    if (a.relative.empty())
        return "";
    std::string text = "\nRelative 95 % ellipses (mm), allowed 2 cm + 50 ppm of the distance\n";
    for (const RelativeResult& r : a.relative)
        text += Format("  %-12s %-12s distance %.3f m: a95 %.1f, b95 %.1f, allowed %.1f: %s\n",
                       r.from.c_str(), r.to.c_str(), r.distance, r.ellipse95.a * 1000, r.ellipse95.b * 1000,
                       r.allowed * 1000, r.passed ? "passed" : "FAILED");
    return text;
}

} // namespace

std::string SurveyListingText(const survey::AdjustmentSummary& summary) {
    const bool rule = summary.method.find("rule") != std::string::npos; // "by the compass rule"
    std::string text =
        "Adjustment of the raw surveys by " + std::string(rule ? "the " : "") + summary.method + "\n";
    if (!summary.weights.empty())
        text += "  weights: " + summary.weights + "\n";
    if (summary.traverses.empty())
        text += "  no traverse runs between known points\n";
    for (const survey::TraverseClosure& t : summary.traverses) {
        std::string stations;
        for (const std::string& station : t.stations)
            stations += (stations.empty() ? "" : " ") + station;
        text += "  traverse " + stations + "\n";
        text +=
            Format("    angular misclosure %.1f\", linear misclosure %.1f mm (northing %.1f, easting %.1f), "
                   "length %.3f m, precision %s\n",
                   t.angularMisclosure * kSecondsPerRadian, t.linearMisclosure * 1000,
                   t.northingMisclosure * 1000, t.eastingMisclosure * 1000, t.length,
                   std::isfinite(t.precision) ? Format("1:%.0f", t.precision).c_str() : "exact");
    }
    return text;
}

std::string ListingText(const Adjustment& a, const std::vector<std::string>& files) {
    // Columns left empty leave no blanks at the ends of lines.
    std::string text = Summary(a, files) + Points(a) + Observations(a) + Relative(a), trimmed;
    for (char c : text) {
        if (c == '\n')
            while (!trimmed.empty() && trimmed.back() == ' ')
                trimmed.pop_back();
        trimmed += c;
    }
    return trimmed;
}

} // namespace adjust
