// One search from end to end: two generations over a data set whose target depends on two of
// three candidate inputs; the third is noise.
#include "engine/network_state.h"
#include "genetic/population.h"
#include "support/fresh_library.h"
#include "support/genetic_support.h"

#include <cstdio>
#include <string>

namespace {

using SearchTest = LibraryTest;

std::string TrainGeneration() {
    std::string answer;
    for (int calls = 0; calls < 200 && answer != "Population Tested"; ++calls)
        answer = TrainNextSchema(60, 0, 0.0, 0.0, 0.0);
    return answer;
}

TEST_F(SearchTest, TwoGenerationsFindTheSignalColumns) {
    PlatformSetClock(5000); // the weights are seeded from the clock
    std::vector<std::vector<double>> inputs;
    std::vector<double> targets, modes;
    uint32_t noise = 12345;
    for (int r = 0; r < 40; ++r) {
        noise = noise * 1103515245u + 12345u;
        const double a = (r * 13 % 40) / 39.0, b = (r * 7 % 40) / 39.0;
        inputs.push_back({a, b, double((noise >> 16) & 1023) / 1023.0});
        targets.push_back(0.5 * a + 0.5 * b);
        modes.push_back(r % 4 == 3 ? MODE_TEST : MODE_TRAIN);
    }
    LoadDoubleNetwork(inputs, targets, 3);
    OwnedFp modeColumn = Column(modes);
    ASSERT_STREQ(SetColumn(COLUMN_MODE_FLAG, 0, modeColumn.get()), "OK");

    ASSERT_STREQ(InitSuper(0.6, 3, 4, 0, 0, 0, 0.3, 0.9, 0.0), "OK");
    ASSERT_STREQ(InitPop(8, BREED_OFFSPRING, MODE_TEST_EPOCHS, 60.0), "OK");
    ASSERT_EQ(TrainGeneration(), "Population Tested");
    ASSERT_STREQ(GenNextPop(8, BREED_OFFSPRING, 1.0, 0.3, MODE_TEST_EPOCHS, 60.0), "OK");
    ASSERT_EQ(TrainGeneration(), "Population Tested");
    EXPECT_EQ(Header().generation, 2);

    OwnedCells names(1);
    names.SetString(0, "SIGNAL_A,SIGNAL_B,NOISE");
    XLOPER* best = GetSchema(&names.cell(0), 0);
    ASSERT_EQ(best->xltype, xltypeMulti);
    const XLOPER* e = best->val.array.lparray;
    std::printf("best schema: inputs %s, %g layers, hidden %g, rate %.3f, momentum %.3f, "
                "testing error %.4f\n",
                CountedText(e[0].val.str).c_str(), e[2].val.num, e[3].val.num, e[7].val.num,
                e[8].val.num, e[10].val.num);

    // Every schema that lacks a signal column tests worse than the best.
    const std::vector<SchemaRecord> schemas = Schemas();
    const std::string kept = CountedText(e[0].val.str);
    EXPECT_NE(kept.find("SIGNAL_A"), std::string::npos);
    EXPECT_NE(kept.find("SIGNAL_B"), std::string::npos);
    for (const SchemaRecord& s : schemas)
        if (!MaskBit(s.inputMask, 0) || !MaskBit(s.inputMask, 1)) EXPECT_GT(s.error, e[10].val.num);
    EXPECT_EQ(Header().bestError, e[10].val.num);
}

} // namespace
