// A run's figures, worked out by hand, and the report page that shows them: well-formed,
// escaped, bounded in size, and drawn by a real browser.
#include "figures_support.h"
#include "metrics_json.h"
#include "report_html.h"
#include "scoring.h"
#include "svg_chart.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// Actual a a a b b c, predicted a a b b c c, one row without a target, one without an output
// and one predicted off every class:
//            a  b  c
//   actual a 2  1  0
//          b 0  1  1
//          c 0  0  1   (+ one c predicted as nothing)
TEST(Scoring, ConfusionTableAndClassFigures) {
    RangeColumn column;
    column.name = "kind";
    column.bounds.symbols = {"a", "b", "c"};
    const char* actual[] = {"a", "a", "A", "b", "b", "c", "", "c", "c"};
    const char* predicted[] = {"a", "A", "b", "b", "c", "c", "a", "", "Value out of range"};
    std::vector<Cell> outputs;
    std::vector<int> rows;
    for (int r = 0; r < 9; ++r) {
        column.cells.push_back(*actual[r] ? TextCell(actual[r]) : Cell());
        outputs.push_back(*predicted[r] ? TextCell(predicted[r]) : Cell());
        rows.push_back(r);
    }
    OutputFigures f = ScoreColumn(column, outputs, rows);
    EXPECT_EQ(f.rows, 7);
    EXPECT_EQ(f.confusion, (std::vector<std::vector<int>>{{2, 1, 0}, {0, 1, 1}, {0, 0, 1}}));
    EXPECT_DOUBLE_EQ(f.accuracy, 4.0 / 7.0);
    // recall a 2/3, b 1/2, c 1/2
    EXPECT_DOUBLE_EQ(f.balancedAccuracy, (2.0 / 3.0 + 0.5 + 0.5) / 3.0);
    ASSERT_EQ(f.perClass.size(), 3u);
    EXPECT_DOUBLE_EQ(f.perClass[0].precision, 1.0);
    EXPECT_DOUBLE_EQ(f.perClass[1].precision, 0.5);
    EXPECT_DOUBLE_EQ(f.perClass[1].f1, 0.5);
    EXPECT_DOUBLE_EQ(f.perClass[2].f1, 2 * 0.5 * 0.5 / 1.0);
    EXPECT_EQ(f.perClass[2].support, 2);

    RunFigures run;
    run.sets.push_back(SetFigures{"test", {f}});
    EXPECT_NE(MetricsJson(run).find("\"confusion\":[[2,1,0],[0,1,1],[0,0,1]]"), std::string::npos);
}

TEST(Scoring, NumericErrorsInDataUnits) {
    RangeColumn column;
    column.name = "a\"b\\c\nd\x01ö"; // escaped where JSON asks, UTF-8 as it is
    std::vector<Cell> outputs;
    const double actual[] = {1, 2, 3, 4}, predicted[] = {1.5, 2, 2, 4};
    for (int r = 0; r < 4; ++r) {
        column.cells.push_back(NumberCell(actual[r]));
        outputs.push_back(NumberCell(predicted[r]));
    }
    OutputFigures f = ScoreColumn(column, outputs, {0, 1, 2, 3});
    EXPECT_DOUBLE_EQ(f.rmse, std::sqrt(1.25 / 4));
    EXPECT_DOUBLE_EQ(f.mae, 1.5 / 4);
    EXPECT_DOUBLE_EQ(f.r2, 1.0 - 1.25 / 5.0); // spread around the mean 2.5 is 5
    f = ScoreColumn(column, outputs, {1});    // one target: no spread, no R^2
    EXPECT_TRUE(std::isnan(f.r2));
    RunFigures run;
    run.sets.push_back(SetFigures{"x", {f}});
    EXPECT_NE(MetricsJson(run).find("\"r2\":null"), std::string::npos);
    EXPECT_NE(MetricsJson(run).find("\"a\\\"b\\\\c\\u000ad\\u0001ö\""), std::string::npos);
}

int CountNodes(const pugi::xml_node& root, const char* name) {
    return static_cast<int>(root.select_nodes((std::string("//") + name).c_str()).size());
}

TEST(ReportPage, WellFormedAndEscaped) {
    std::string page = HtmlReport(SampleRun());
    pugi::xml_document doc;
    pugi::xml_parse_result parsed =
        doc.load_string(page.c_str(), pugi::parse_default | pugi::parse_doctype);
    ASSERT_TRUE(parsed) << parsed.description() << " at " << parsed.offset;
    EXPECT_EQ(CountNodes(doc, "script") + CountNodes(doc, "link") + CountNodes(doc, "img"), 0);
    // network, curves, two confusion charts, one scatter, histogram
    EXPECT_EQ(CountNodes(doc, "svg"), 6);
    // Markup in names is text, never elements.
    EXPECT_EQ(CountNodes(doc, "b"), 0);
    EXPECT_NE(page.find("&lt;b&gt;&amp;&quot;y&quot;"), std::string::npos);
    EXPECT_NE(page.find("x,colour"), std::string::npos); // the evolved design's inputs
    // A run that measured nothing still makes a page.
    EXPECT_TRUE(doc.load_string(HtmlReport(RunFigures{}).c_str(),
                                pugi::parse_default | pugi::parse_doctype));
}

// However long the curves and however many points, the page stays small; a curve keeps the
// lowest and highest value of each column in their order, so a single spike is still drawn.
TEST(ReportPage, LargeRunsStaySmallAndKeepTheirExtremes) {
    RunFigures run = SampleRun();
    const int n = 30000;
    run.trainCurve.assign(n, 0.1);
    run.validationCurve.assign(n, 0.2);
    run.sets[0].outputs[0].actual.clear();
    run.sets[0].outputs[0].predicted.clear();
    for (int k = 0; k < n; ++k) {
        run.sets[0].outputs[0].actual.push_back(std::sin(k * 0.37) * 100);
        run.sets[0].outputs[0].predicted.push_back(std::cos(k * 0.11) * 100);
    }
    EXPECT_LT(HtmlReport(run).size(), 300u * 1024) << "bytes";

    std::vector<double> values(10000, 5.0);
    values[10] = 9.0;
    values[20] = 1.0;
    const std::vector<CurvePoint> many = SampleCurve(values, 4);
    EXPECT_EQ(many.at(0).x, 11.0);
    EXPECT_EQ(many.at(1).y, 1.0);
}

// Only under `make test-report`: Chromium draws the page and the picture shows the charts.
TEST(ReportPage, BrowserDrawsIt) {
    const char* chromium = std::getenv("QUARROW_CHROMIUM");
    if (chromium == nullptr) GTEST_SKIP() << "set QUARROW_CHROMIUM (make test-report)";
    const fs::path dir = Scratch("report_render");
    fs::create_directories(dir / "profile");
    std::ofstream(dir / "report.html") << HtmlReport(SampleRun());
    fs::path png = dir / "report.png";
    std::string command =
        std::string(chromium) +
        " --headless --no-sandbox --disable-gpu --disable-background-networking"
        " --disable-component-update --disable-sync --no-first-run --user-data-dir='" +
        (dir / "profile").string() + "' --screenshot='" + png.string() +
        "' --window-size=1200,1600 'file://" + (dir / "report.html").string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    // The validation curve's colour must be on the picture, not only the text.
    std::string check =
        "/usr/bin/python3 -c \"import sys; from PIL import Image; "
        "im = Image.open(sys.argv[1]).convert('RGB'); "
        "n = sum(1 for p in im.getdata() if abs(p[0]-221)+abs(p[1]-138)+abs(p[2]-30) < 40); "
        "print(im.size, n); sys.exit(0 if n > 200 else 1)\" '" +
        png.string() + "'";
    EXPECT_EQ(std::system(check.c_str()), 0) << png;
    if (const char* keep = std::getenv("QUARROW_REPORT_PNG"))
        fs::copy_file(png, keep, fs::copy_options::overwrite_existing);
}

} // namespace
