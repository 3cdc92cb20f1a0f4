#include "report/HtmlReport.h"
#include "report/Assets.h"
#include "report/Markup.h"
#include "report/Plan.h"
#include "report/tests/SampleSurvey.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <regex>
#include <set>
#include <sstream>

namespace report {
namespace {

std::string Report(const std::vector<survey::FileSurvey>& files) {
    std::ostringstream out;
    WriteHtmlReport(out, files);
    return out.str();
}

std::multiset<std::string> Matches(const std::string& text, const std::string& pattern) {
    std::multiset<std::string> found;
    const std::regex expression(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), expression); it != std::sregex_iterator();
         ++it)
        found.insert((*it)[1]);
    return found;
}

TEST(Markup, TextIsSafeAsContentAndAttribute) {
    const std::pair<std::string, std::string> cases[] = {
        {"P100", "P100"},
        {"<b>\"A&B\"</b>", "&lt;b&gt;&quot;A&amp;B&quot;&lt;/b&gt;"},
        {"it's", "it&#39;s"},
        {std::string("a\0b", 3) + "\x01\x7F", "a\xEF\xBF\xBD"
                                              "b\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"tab\tand\nline", "tab\tand\nline"},
        {"\xD0\x9B\xD0\xB5\xD1\x81", "\xD0\x9B\xD0\xB5\xD1\x81"}, // UTF-8 passes unchanged
    };
    for (const auto& [text, escaped] : cases)
        EXPECT_EQ(Escaped(text), escaped) << text;
}

TEST(Markup, Numbers) {
    const std::pair<double, std::string> numbers[] = {
        {1.5, "1.5"},
        {2.0, "2"},
        {-0.0001, "0"},
        {1234.56789, "1234.568"},
        {-12.3, "-12.3"},
        // Wider than any small buffer: every digit of the double, nothing read past its end.
        {1e60, "999999999999999949387135297074018866963645011013410073083904"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {std::nan(""), "nan"}};
    for (const auto& [value, text] : numbers)
        EXPECT_EQ(PlanNumber(value), text) << value;
    EXPECT_EQ(PlanNumber(-std::numeric_limits<double>::max()).size(), 310u);
}

TEST(Plan, NorthIsUpAndEveryLocatedNameHasOneLabel) {
    const survey::FileSurvey file = testing::SmallTraverse();
    const Plan plan = BuildPlan(file);
    std::map<std::string, const PlanLabel*> labels;
    for (const PlanLabel& label : plan.labels)
        EXPECT_TRUE(labels.emplace(label.name, &label).second) << label.name << " labelled twice";
    EXPECT_EQ(labels.size(), file.reduction.coordinates.size());
    // T2 lies 120 m north and 63 m east of T1.
    EXPECT_NEAR(labels.at("T1")->y - labels.at("T2")->y, 120.456, 1e-9);
    EXPECT_NEAR(labels.at("T2")->x - labels.at("T1")->x, 63.217, 1e-9);
    // Stations take the crowded spots first.
    EXPECT_EQ(plan.labels.front().name, "T1");
    // The legs T1-T3 and T3-T4 once each, though both ends observed them; the backsight to T2,
    // where no station stood, and the side shots are sights.
    EXPECT_EQ(plan.traverse.size(), 2u);
    EXPECT_EQ(plan.sights.size(), 11u);
    // The cluster of trees is too tight to label at full view, and is labelled deeper in.
    int deeper = 0;
    for (const PlanLabel& label : plan.labels)
        deeper += label.placement.level > 0 ? 1 : 0;
    EXPECT_GT(deeper, 0);
    EXPECT_LE(plan.maxLevel, 14);
}

TEST(Plan, CodesBeyondThePaletteShareOneClass) {
    const survey::FileSurvey file = testing::LargeJob(3, 24); // twelve codes plus CTRL
    const Plan plan = BuildPlan(file);
    ASSERT_EQ(plan.codes.size(), 9u);
    EXPECT_TRUE(plan.codes.back().others);
    std::size_t total = 0;
    for (const CodeClass& code : plan.codes)
        total += code.count;
    EXPECT_EQ(total, file.reduction.coordinates.size());
}

// Points no plan can draw (not finite, or beyond any survey) stay in the tables but off the plan,
// whose view stays finite; names are cut on the plan only.
TEST(Plan, UndrawablePointsAndLongNames) {
    survey::FileSurvey file = testing::SmallTraverse();
    const std::string longName(5000, 'N');
    auto& points = file.reduction.coordinates;
    points.push_back(points.front());
    points.back().name = longName;
    for (const double wild : {std::nan(""), std::numeric_limits<double>::infinity(), 1e300, -1e300}) {
        points.push_back(points.front());
        points.back().name = "WILD" + std::to_string(points.size());
        points.back().easting = wild;
    }
    const Plan plan = BuildPlan(file);
    for (const double view : {plan.viewX, plan.viewY, plan.viewWidth, plan.viewHeight, plan.pixelsPerUnit})
        EXPECT_TRUE(std::isfinite(view)) << view;
    for (const PlanLabel& label : plan.labels)
        EXPECT_EQ(label.name.find("WILD"), std::string::npos) << label.name;
    const std::string page = Report({file});
    EXPECT_FALSE(std::regex_search(page, std::regex("[\"\\s-](nan|inf)[\"\\s]")));
    EXPECT_NE(page.find(">" + longName.substr(0, 32) + "\u2026</text>"), std::string::npos);
    EXPECT_NE(page.find("<td>" + longName + "</td>"), std::string::npos);
}

TEST(HtmlReport, PlanLabelsAndTablesAgree) {
    const std::vector<survey::FileSurvey> run = testing::SampleRun();
    const std::string page = Report(run);
    std::multiset<std::string> names;
    for (const survey::Coordinate& point : run[0].reduction.coordinates)
        names.insert(Escaped(point.name));
    EXPECT_EQ(Matches(page, "<text [^>]*data-r=\"r\\d+\">([^<]*)</text>"), names);
    EXPECT_EQ(Matches(page, "<tr id=\"f0-r\\d+\"><td>([^<]*)</td>"), names);
    EXPECT_EQ(page.find("<b>S14</b>"), std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;S14&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(page.find("jobs/lot &lt;14&gt; &amp; &quot;north&quot;.rdf"), std::string::npos);
    EXPECT_NE(page.find("<title>Survey report: lot &lt;14&gt; &amp; &quot;north&quot;.rdf, missing.rdf, "
                        "notes.txt</title>"),
              std::string::npos);
}

TEST(HtmlReport, FailedFilesMessagesAndToleranceAreShown) {
    const std::string page = Report(testing::SampleRun());
    EXPECT_NE(page.find("missing.rdf <span class=\"outcome failed\">cannot open</span>"), std::string::npos);
    EXPECT_NE(page.find("<td>The file cannot be opened</td>"), std::string::npos);
    EXPECT_NE(page.find("notes.txt <span class=\"outcome failed\">no records</span>"), std::string::npos);
    // Lines are counted from 1 for a reader; messages without a line come first.
    EXPECT_NE(page.find("<tr><td></td><td>import</td><td>Job opened</td></tr>\n"
                        "<tr><td>8</td><td>import</td><td>No angle unit is set &lt;yet&gt;</td></tr>\n"
                        "<tr><td>20</td><td>reduction</td>"),
              std::string::npos);
    // The one round beyond tolerance, with its collimation error in seconds.
    EXPECT_EQ(Matches(page, "<tr class=\"bad\"><td>([^<]*)</td><td>T4</td>").size(), 1u);
    EXPECT_NE(page.find("<td>+95.0&quot;</td>"), std::string::npos);
}

// A job in gons or mils shows its errors in its own unit, as it shows its directions.
TEST(HtmlReport, SmallAnglesAreInTheJobsOwnUnit) {
    const struct {
        std::optional<survey::AngleUnit> unit;
        const char* collimation; // the round beyond tolerance: 95 seconds
    } cases[] = {
        {std::nullopt, "<td>+95.0&quot;</td>"},
        {survey::AngleUnit::Degrees, "<td>+95.0&quot;</td>"},
        {survey::AngleUnit::Gons, "<td>+293.2 cc</td>"},
        {survey::AngleUnit::Mils, "<td>+0.469 mil</td>"},
    };
    for (const auto& c : cases) {
        std::vector<survey::FileSurvey> run = testing::SampleRun();
        run[0].job.facts.angleUnit = c.unit;
        EXPECT_NE(Report(run).find(c.collimation), std::string::npos) << c.collimation;
    }
}

// A job in US feet shows its lengths in US survey feet and says so; one in metres in metres.
TEST(HtmlReport, LengthsAreInTheUnitAskedForElseTheJobsOwn) {
    std::vector<survey::FileSurvey> run = testing::SampleRun();
    run[0].reduction.coordinates[0].northing = 1200.0; // metres: 3937 US survey feet
    const std::string inMetres = Report(run);
    EXPECT_NE(inMetres.find("<th>Lengths in this report</th><td>metres</td>"), std::string::npos);
    EXPECT_NE(inMetres.find("<td>1200.000</td>"), std::string::npos);
    run[0].job.facts.distanceUnit = survey::LengthUnit::UsSurveyFoot;
    const std::string inFeet = Report(run);
    EXPECT_NE(inFeet.find("<th>Lengths in this report</th><td>US survey feet</td>"), std::string::npos);
    EXPECT_NE(inFeet.find("<td>3937.000</td>"), std::string::npos);
    EXPECT_EQ(inFeet.find("<td>1200.000</td>"), std::string::npos);
    // A unit asked for wins over the job's own.
    std::ostringstream asked;
    WriteHtmlReport(asked, run, nullptr, survey::LengthUnit::Metre);
    EXPECT_NE(asked.str().find("<th>Lengths in this report</th><td>metres</td>"), std::string::npos);
    EXPECT_NE(asked.str().find("<td>1200.000</td>"), std::string::npos);
}

TEST(HtmlReport, RowsPastTheFirstHundredsWaitInTemplatesAndNoneIsLost) {
    const survey::FileSurvey job = testing::LargeJob(10, 300);
    const std::string page = Report({job});
    EXPECT_EQ(Matches(page, "<tr id=\"f0-r(\\d+)\">").size(), job.reduction.coordinates.size());
    const std::size_t firstTemplate = page.find("</tbody></table><template><tr id=\"f0-r500\">");
    ASSERT_NE(firstTemplate, std::string::npos);
    EXPECT_LT(page.find("<tr id=\"f0-r499\">"), firstTemplate);
    EXPECT_NE(page.find("</template><template><tr id=\"f0-r2500\">"), std::string::npos);
}

TEST(HtmlReport, ElementsAreClosed) {
    const std::string page = Report({testing::SmallTraverse(), testing::LargeJob(10, 100)});
    for (const char* element : {"section", "table", "tbody", "template", "svg", "g", "text", "div", "ul"}) {
        const std::string name(element);
        EXPECT_EQ(Matches(page, "(<" + name + "[ >])").size(), Matches(page, "(</" + name + ">)").size())
            << name;
    }
}

// One ellipse per adjusted point, its axes the true ones times the factor the legend states; the
// closure and the flagged line are listed.
TEST(HtmlReport, AdjustmentShowsEllipsesClosuresAndFlaggedObservations) {
    survey::FileSurvey file = testing::SmallTraverse();
    testing::Adjust(file);
    const survey::AdjustmentSummary adjustment = testing::SampleAdjustment();
    std::ostringstream out;
    WriteHtmlReport(out, {file}, &adjustment);
    const std::string page = out.str();
    const Plan plan = BuildPlan(file);
    const std::multiset<std::string> factors =
        Matches(page, "95 % error ellipse, drawn (\\d+) times its size");
    ASSERT_EQ(factors.size(), 1u);
    const double factor = std::stod(*factors.begin());
    EXPECT_EQ(factor, plan.ellipseExaggeration);
    const std::smatch path = [&] {
        std::smatch match;
        std::regex_search(page, match, std::regex("<path class=\"ell\" d=\"([^\"]*)\"/>"));
        return match;
    }();
    ASSERT_FALSE(path.empty());
    const std::string arcs = path[1];
    const std::regex arc("A([-0-9.]+) ([-0-9.]+) ([-0-9.]+) 0 1 ");
    std::vector<std::array<double, 3>> drawn;
    for (auto it = std::sregex_iterator(arcs.begin(), arcs.end(), arc); it != std::sregex_iterator(); ++it)
        drawn.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3])});
    std::vector<const survey::Coordinate*> adjusted;
    for (const survey::Coordinate& point : file.reduction.coordinates) {
        if (point.precision)
            adjusted.push_back(&point);
    }
    ASSERT_EQ(drawn.size(), 2 * adjusted.size());
    for (std::size_t i = 0; i < adjusted.size(); ++i) {
        const survey::ErrorEllipse& ellipse = adjusted[i]->precision->ellipse95;
        EXPECT_NEAR(drawn[2 * i][0], ellipse.semiMajor * factor, 1e-3) << adjusted[i]->name;
        EXPECT_NEAR(drawn[2 * i][1], ellipse.semiMinor * factor, 1e-3) << adjusted[i]->name;
        // SVG turns the axis clockwise from east, the azimuth clockwise from north.
        EXPECT_NEAR(drawn[2 * i][2], ellipse.azimuth * 180 / std::acos(-1.0) - 90, 1e-3) << adjusted[i]->name;
    }
    // The largest ellipse is visible, yet no larger than a label.
    const double largestPx = (0.004 + 0.001 * (adjusted.size() - 1)) * factor * plan.pixelsPerUnit;
    EXPECT_GE(largestPx, 3);
    EXPECT_LE(largestPx, 15);
    EXPECT_NE(page.find("<tr><td>T1 \u2013 T3 \u2013 T4 \u2013 T1</td><td>+4.2&quot;</td><td>+0.0030</td>"
                        "<td>-0.0040</td><td>0.0050</td><td>512.250</td><td>1:102450</td></tr>"),
              std::string::npos);
    EXPECT_NE(
        page.find("<tr class=\"bad\"><td>jobs/lot &lt;14&gt;.rdf</td><td>42</td><td>the distance from T3 "
                  "to P100</td><td>4.9</td><td>3.29</td></tr>"),
        std::string::npos);
    EXPECT_NE(page.find("distance 1 mm + 1.5 ppm &lt;from the instrument&gt;</td>"), std::string::npos);
    EXPECT_EQ(Report({testing::SmallTraverse()}).find("class=\"ell\""), std::string::npos);
}

TEST(HtmlReport, NothingIsLoadedFromElsewhere) {
    const std::string page = Report(testing::SampleRun());
    EXPECT_NE(page.find("content=\"default-src 'none';"), std::string::npos);
    EXPECT_TRUE(Matches(page, "\\b(src)=").empty());
    EXPECT_EQ(Matches(page, "href=\"([^#])"), std::multiset<std::string>{});
    EXPECT_TRUE(Matches(page, "(@import|url\\()").empty());
    // Only the page's one script runs, named by its hash (the browser check renders it so).
    EXPECT_EQ(Matches(page, "script-src '(sha256-[A-Za-z0-9+/]{43}=)';"),
              std::multiset<std::string>{kReportScriptHash});
    EXPECT_EQ(Matches(page, "(<script)").size(), 1u);
}

TEST(HtmlReport, SizeGrowsInProportionToTheJob) {
    const std::size_t small = Report({testing::LargeJob(20, 50)}).size();
    const std::size_t large = Report({testing::LargeJob(80, 50)}).size();
    const double perPoint = static_cast<double>(large - small) / (60 * 51);
    EXPECT_LT(perPoint, 400) << "bytes a point";
    EXPECT_GT(perPoint, 100) << "bytes a point";
}

} // namespace
} // namespace report
