// The range handed over through the exports, checked against what the library reports back.
#include "commands.h"
#include "engine_session.h"
#include "sheet_support.h"

#include <gtest/gtest.h>

namespace {

class EngineSession : public ::testing::Test {
  protected:
    void TearDown() override { CleanUp(); }
};

// A recall pass with modes in force measures the TEST patterns only: its count of output values
// tells how many rows the library split off for testing.
TEST_F(EngineSession, SplitRowsMatchTheLibrarysSplit) {
    std::string text = "x,y,m\n";
    for (int r = 0; r < 40; ++r) {
        text += std::to_string(r) + "," + std::to_string(r % 3) + (r == 7 ? ",SKIP\n" : ",\n");
        if (r == 2) text += ",,\n"; // a blank row counts among the positions
    }
    Worksheet sheet = Sheet(text);
    for (bool shuffle : {false, true}) {
        for (double share : {0.3, 0.5, 0.9}) {
            RangeRequest request;
            request.columns = ColumnChoice{{0}, {1}, 2};
            Range range;
            std::string error;
            ASSERT_TRUE(BuildRange(sheet, request, &range, &error)) << error;
            NetSettings s;
            s.split = share;
            s.shuffle = shuffle;
            s.seed = 11;
            ASSERT_TRUE(LoadNetwork(range, s, false, &error)) << error;
            MarkSplitRows(&range, s);
            int tests = 0, trains = 0;
            for (int r = 0; r < range.rows(); ++r) {
                tests += range.IsDataRow(r) && range.mode[r] == "TEST";
                trains += range.IsDataRow(r) && range.mode[r] == "TRAIN";
            }
            EXPECT_EQ(range.mode[8], "SKIP");
            EXPECT_EQ(tests + trains, 39);
            RunStats stats;
            ASSERT_TRUE(RunEpochs(false, 1, &stats));
            EXPECT_EQ(stats.within + stats.outside, tests) << shuffle << " " << share;
            if (!shuffle) { // positions below 41 x share train: the blank and the SKIP row do not
                EXPECT_EQ(trains, static_cast<int>(41 * share) + 1 - 2) << share;
            }
        }
    }
}

// Weights written page by page come back as they went in, in both methods.
TEST_F(EngineSession, WeightsRoundTripThroughThePages) {
    Worksheet sheet = Sheet("a,b,c,y\n1,2,3,4\n2,3,4,5\n");
    RangeRequest request;
    request.columns = ColumnChoice{{0, 1, 2}, {3}, -1};
    Range range;
    std::string error;
    ASSERT_TRUE(BuildRange(sheet, request, &range, &error)) << error;
    for (int method : {CALC_DOUBLE, CALC_FIXED16}) {
        NetSettings s;
        s.method = method;
        s.hidden = {1500}; // (3 + 1) x 1500 + 1501 = 7501 weights: two pages
        ASSERT_TRUE(LoadNetwork(range, s, false, &error)) << error;
        std::vector<double> weights(7501);
        for (size_t k = 0; k < weights.size(); ++k)
            weights[k] = (static_cast<double>(k % 97) - 48.0) / 64.0; // exact in both methods
        ASSERT_TRUE(WriteWeights(weights, &error)) << error;
        std::vector<double> back;
        ASSERT_TRUE(ReadWeights(7501, &back, &error)) << error;
        EXPECT_EQ(back, weights) << method;
    }
}

} // namespace
