// What the host works out for itself (the split, the decoded schemas), checked against what the
// library reports back through its exports.
#include "design_search.h"
#include "engine_session.h"
#include "holdout.h"
#include "sheet_support.h"
#include "supervisor_search.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class AgainstTheLibrary : public ::testing::Test {
  protected:
    void TearDown() override { CleanUp(); }
};

// A recall pass with modes in force measures the TEST patterns only: its count of output values
// tells how many rows the library's shuffled split set aside for testing.
TEST_F(AgainstTheLibrary, ShuffledSplitRowsMatchTheLibrarysSplit) {
    std::string text = "x,y,m\n";
    for (int r = 0; r < 40; ++r) {
        text += std::to_string(r) + "," + std::to_string(r % 3) + (r == 7 ? ",SKIP\n" : ",\n");
        if (r == 2) text += ",,\n"; // a blank row counts among the positions
    }
    RangeRequest request;
    request.columns = ColumnChoice{{0}, {1}, 2};
    Range built;
    std::string error;
    ASSERT_TRUE(BuildRange(Sheet(text), request, &built, &error)) << error;
    for (double share : {0.3, 0.5, 0.9}) {
        Range range = built;
        NetSettings s;
        s.split = share;
        s.shuffle = true;
        s.seed = 11;
        ASSERT_TRUE(LoadNetwork(range, s, false, &error)) << error;
        MarkSplitRows(&range, s);
        int tests = 0, trains = 0;
        for (int r = 0; r < range.rows(); ++r) {
            tests += range.IsDataRow(r) && range.mode[r] == "TEST";
            trains += range.IsDataRow(r) && range.mode[r] == "TRAIN";
        }
        EXPECT_EQ(tests + trains, 39); // the SKIP row keeps its word
        RunStats stats;
        ASSERT_TRUE(RunEpochs(false, 1, &stats));
        EXPECT_EQ(stats.within + stats.outside, tests) << share;
    }
}

// Thirty rows of four inputs, a quarter of the TRAIN rows held out, as the searches see them.
Range HeldOutView() {
    std::string text = "a,b,c,d,y,m\n";
    for (int r = 0; r < 30; ++r)
        text += std::to_string(r % 7) + "," + std::to_string((r * 5) % 11) + "," +
                std::to_string(r % 3) + "," + std::to_string((r * 13) % 17) + "," +
                std::to_string((r % 7) * 2 + r % 3) + (r % 5 == 4 ? ",TEST\n" : ",TRAIN\n");
    RangeRequest request;
    request.columns = ColumnChoice{{0, 1, 2, 3}, {4}, 5};
    request.scaleMargin = NetSettings().margin / 2.0;
    Range range;
    std::string error;
    EXPECT_TRUE(BuildRange(Sheet(text), request, &range, &error)) << error;
    HoldOut(&range, 0.25, 3);
    return SearchView(range);
}

// Each schema the supervisor trained, read back as a design (mask text, layers, parameters)
// and trained by the host from the same seed, measures the same validation error. Leaving the
// winner's inputs out never makes it worse, and the design it ends with measures what it reports.
TEST_F(AgainstTheLibrary, SchemasDecodeAsTrainedAndDroppingInputsKeepsTheWinnerConsistent) {
    const Range view = HeldOutView();
    NetSettings base;
    base.seed = 5;
    DesignSpace space;
    space.inclusion = 0.5;
    space.maxHidden = 5;
    BreedingPlan plan;
    plan.population = 5;
    plan.generations = 2;
    plan.epochs = 20;
    SearchResult result;
    std::string error;
    ASSERT_TRUE(SupervisorSearch(view, base, space, plan, 9, nullptr, nullptr, &result, &error))
        << error;
    ASSERT_EQ(result.last.size(), 5u);
    for (const Candidate& schema : result.last) {
        Candidate again;
        ASSERT_TRUE(ScoreDesign(view, base, schema.design, plan.epochs, &again, &error)) << error;
        EXPECT_EQ(again.error, schema.error);
        EXPECT_EQ(again.figure, schema.figure);
    }
    const double before = result.best.error;
    ASSERT_TRUE(DropInputs(view, base, 4, nullptr, &result, &error)) << error;
    EXPECT_LE(result.best.error, before);
    EXPECT_NE(std::count(result.best.design.inputs.begin(), result.best.design.inputs.end(), 1), 0);
    Candidate again;
    ASSERT_TRUE(ScoreDesign(view, base, result.best.design, result.best.epochs, &again, &error));
    EXPECT_EQ(again.error, result.best.error);
}

} // namespace
