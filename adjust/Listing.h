// An adjustment as a reader sees it: the JSON "adjustment" object (lengths in metres, angles in
// radians) through any writer with the calls of a streaming JSON writer, and the text listing a
// surveyor reads top to bottom.
#pragma once

#include "adjust/Adjustment.h"
#include "survey/Adjusted.h"

#include <cmath>
#include <string>
#include <vector>

namespace adjust {

// The summary and test, the adjusted coordinates with their precision, then the observations with
// their residuals, flagged ones marked, and the relative ellipses asked for.
std::string ListingText(const Adjustment& adjustment, const std::vector<std::string>& files);

// The method and weights of a raw survey's adjustment and each traverse's closure, before the
// adjustment's own listing.
std::string SurveyListingText(const survey::AdjustmentSummary& summary);

// Writes the members of the "adjustment" object; `Json` has StartObject, EndObject, StartArray,
// EndArray, Key, String, Number, Int and Bool, as a streaming writer does.
template <class Json> class AdjustmentJson {
public:
    explicit AdjustmentJson(Json& json) : json(json) {}

    void Write(const Adjustment& a) {
        json.StartObject();
        Members(a);
        json.EndObject();
    }

    // A raw survey's adjustment: its method, weights and traverses, then the adjustment's own
    // members when it is by least squares.
    void Write(const Adjustment* a, const survey::AdjustmentSummary& summary) {
        json.StartObject();
        String("method", summary.method);
        if (!summary.weights.empty())
            String("weights", summary.weights);
        json.Key("traverses");
        json.StartArray();
        for (const survey::TraverseClosure& t : summary.traverses)
            Traverse(t);
        json.EndArray();
        if (a)
            Members(*a);
        json.EndObject();
    }

private:
    void Members(const Adjustment& a) {
        Int("degreesOfFreedom", a.degreesOfFreedom);
        Int("defect", a.defect);
        Number("sumOfSquares", a.sumOfSquares);
        json.Key("sigma0");
        json.StartObject();
        Number("apriori", a.sigma0Apriori);
        Number("aposteriori", a.sigma0Aposteriori);
        String("used", a.aposterioriUsed ? "aposteriori" : "apriori");
        json.EndObject();
        Test(a.test);
        json.Key("points");
        json.StartArray();
        for (const PointResult& p : a.points)
            Point(p, a.ellipseScale);
        json.EndArray();
        json.Key("observations");
        json.StartArray();
        for (const ObservationResult& o : a.observations)
            Observation(o);
        json.EndArray();
        json.Key("relative");
        json.StartArray();
        for (const RelativeResult& r : a.relative)
            Relative(r, a.ellipseScale);
        json.EndArray();
    }

    void Traverse(const survey::TraverseClosure& t) {
        json.StartObject();
        json.Key("stations");
        json.StartArray();
        for (const std::string& station : t.stations)
            json.String(station);
        json.EndArray();
        Number("angularMisclosure", t.angularMisclosure);
        Number("linearMisclosure", t.linearMisclosure);
        Number("northingMisclosure", t.northingMisclosure);
        Number("eastingMisclosure", t.eastingMisclosure);
        Number("length", t.length);
        if (std::isfinite(t.precision)) // a traverse that closes exactly has no 1:N
            Number("precision", t.precision);
        json.EndObject();
    }

    void Int(const char* key, int value) {
        json.Key(key);
        json.Int(value);
    }
    void Number(const char* key, double value) {
        json.Key(key);
        json.Number(value);
    }
    void Number(const char* key, const std::optional<double>& value) {
        if (value)
            Number(key, *value);
    }
    void String(const char* key, const std::string& value) {
        json.Key(key);
        json.String(value);
    }
    void Bool(const char* key, bool value) {
        json.Key(key);
        json.Bool(value);
    }

    void Test(const ModelTest& t) {
        json.Key("test");
        json.StartObject();
        Number("probability", t.probability);
        Number("ratio", t.ratio);
        if (t.applicable) { // no test without degrees of freedom
            Number("lower", t.lower);
            Number("upper", t.upper);
            Bool("passed", t.passed);
        }
        json.EndObject();
    }

    // The 95 % ellipse states its scale, which is the 2-D one (tools differ).
    void Ellipse(const char* key, const adjust::Ellipse& e, std::optional<double> scale) {
        json.Key(key);
        json.StartObject();
        Number("a", e.a);
        Number("b", e.b);
        Number("azimuth", e.azimuth);
        if (scale) {
            Number("scale", *scale);
            String("scaleKind", "2-D");
        }
        json.EndObject();
    }

    void Point(const PointResult& p, double scale) {
        json.StartObject();
        String("name", p.name);
        Number("northing", p.northing);
        Number("easting", p.easting);
        Number("elevation", p.elevation);
        String("role", RoleName(p.role));
        Number("sdNorthing", p.sdNorthing);
        Number("sdEasting", p.sdEasting);
        Number("sdElevation", p.sdElevation);
        if (p.ellipse)
            Ellipse("ellipse", *p.ellipse, std::nullopt);
        if (p.ellipse95)
            Ellipse("ellipse95", *p.ellipse95, scale);
        json.EndObject();
    }

    void Observation(const ObservationResult& o) {
        json.StartObject();
        String("kind", KindKey(o.kind));
        String("from", o.from);
        String("to", o.to);
        Number("observed", o.observed);
        Number("adjusted", o.adjusted);
        Number("residual", o.residual);
        Number("sd", o.sd);
        Number("redundancy", o.redundancy);
        Number("standardizedResidual", o.standardizedResidual);
        Bool("flagged", o.flagged);
        if (!o.file.empty()) {
            String("file", o.file);
            Int("line", o.line);
        }
        json.EndObject();
    }

    void Relative(const RelativeResult& r, double scale) {
        json.StartObject();
        String("from", r.from);
        String("to", r.to);
        Number("distance", r.distance);
        Ellipse("ellipse95", r.ellipse95, scale);
        Number("allowed", r.allowed);
        Bool("passed", r.passed);
        json.EndObject();
    }

    Json& json;
};

} // namespace adjust
