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

} // namespace
