#include "charts.h"
#include "options.h"

#include <gtest/gtest.h>

namespace {

TEST(Options, ValuesSwitchesAndPositionals) {
    Options o;
    std::string error;
    ASSERT_TRUE(ParseOptions({"sheet.csv", "--rate", "0.25", "--shuffle", "--seed=7"},
                             {"rate", "seed"}, {"shuffle"}, &o, &error))
        << error;
    EXPECT_EQ(o.positional, (std::vector<std::string>{"sheet.csv"}));
    EXPECT_TRUE(o.On("shuffle"));
    double rate = 0.0;
    int seed = 0;
    ASSERT_TRUE(o.Number("rate", 0.0, 1.0, &rate, &error));
    ASSERT_TRUE(o.Integer("seed", 0, 9, &seed, &error));
    EXPECT_EQ(rate, 0.25);
    EXPECT_EQ(seed, 7);

    EXPECT_FALSE(o.Integer("rate", 0, 9, &seed, &error)); // 0.25 is not whole
    EXPECT_FALSE(o.Number("rate", 0.5, 1.0, &rate, &error));
    EXPECT_NE(error.find("--rate"), std::string::npos) << error;
    EXPECT_FALSE(ParseOptions({"--rate"}, {"rate"}, {}, &o, &error));
    EXPECT_FALSE(ParseOptions({"--speed", "1"}, {"rate"}, {}, &o, &error));
}

TEST(Options, HiddenLayerLists) {
    std::vector<int> sizes;
    std::string error;
    ASSERT_TRUE(ParseHidden("6, 3", &sizes, &error));
    EXPECT_EQ(sizes, (std::vector<int>{6, 3}));
    ASSERT_TRUE(ParseHidden("0", &sizes, &error));
    EXPECT_TRUE(sizes.empty());
    for (const char* bad : {"1,2,3,4,5", "2,0", "x", "1.5", "40000"})
        EXPECT_FALSE(ParseHidden(bad, &sizes, &error)) << bad;
}

TEST(Charts, HistogramTextAndBars) {
    std::vector<long> counts;
    ASSERT_TRUE(HistogramCounts("{0,3,12}", &counts));
    EXPECT_EQ(counts, (std::vector<long>{0, 3, 12}));
    for (const char* bad : {"", "{}", "{1,,2}", "0,3", "{1,x}"})
        EXPECT_FALSE(HistogramCounts(bad, &counts)) << bad;
    std::string bars = HistogramChart({0, 1, 4}, -1.0, 2.0, 8);
    EXPECT_NE(bars.find("| 0"), std::string::npos) << bars;   // an empty bin has no bar
    EXPECT_NE(bars.find("|== 1"), std::string::npos) << bars; // 1 x 8 / 4
    EXPECT_NE(bars.find("|======== 4"), std::string::npos) << bars;
}

TEST(Charts, ErrorChartShowsTheTestingCurveOnlyWhenOneRan) {
    ErrorCurve curve;
    curve.train = {0.5, 0.25, 0.125};
    curve.test = {1.0, 1.0, 1.0}; // no testing pass: every point 32767 / 32767
    curve.bucketSize = 2;
    std::string chart = ErrorChart(curve, 60, 5);
    EXPECT_EQ(chart.find("o testing"), std::string::npos) << chart;
    EXPECT_NE(chart.find("6 epochs"), std::string::npos) << chart;
    EXPECT_NE(chart.find("  0.5000 |*  "), std::string::npos) << chart;
    curve.test = {0.5, 0.4, 0.3};
    chart = ErrorChart(curve, 60, 5);
    EXPECT_NE(chart.find("  0.5000 |#"), std::string::npos) << chart; // both at 0.5
    EXPECT_NE(chart.find("o testing"), std::string::npos) << chart;
    EXPECT_EQ(ErrorChart(ErrorCurve()), "  (no error history)\n");
}

} // namespace
