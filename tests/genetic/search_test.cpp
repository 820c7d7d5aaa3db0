// One search from end to end: two generations over data whose target depends on two of three
// candidate inputs; the third is noise.
#include "genetic/population.h"
#include "support/fresh_library.h"
#include "support/genetic_support.h"

#include <string>

namespace {

using SearchTest = LibraryTest;

TEST_F(SearchTest, TwoGenerationsKeepTheSignalColumns) {
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
    LoadDoubleNetwork(inputs, targets, 3, modes);
    ASSERT_STREQ(InitSuper(0.6, 3, 4, 0, 0, 0, 0.3, 0.9, 0.0), "OK");
    ASSERT_STREQ(InitPop(8, BREED_OFFSPRING, MODE_TEST_EPOCHS, 60.0), "OK");
    for (int generation = 1; generation <= 2; ++generation) {
        if (generation == 2) {
            ASSERT_STREQ(GenNextPop(8, BREED_OFFSPRING, 1.0, 0.3, MODE_TEST_EPOCHS, 60.0), "OK");
        }
        std::string answer;
        for (int calls = 0; calls < 20 && answer != "Population Tested"; ++calls)
            answer = TrainNextSchema(60, 0, 0.0, 0.0, 0.0);
        ASSERT_EQ(answer, "Population Tested");
    }

    OwnedCells names(1);
    names.SetString(0, "SIGNAL_A,SIGNAL_B,NOISE");
    const XLOPER* e = GetSchema(&names.cell(0), 0)->val.array.lparray;
    EXPECT_EQ(names.Text(0).rfind("SIGNAL_A,SIGNAL_B", 0), 0u);
    for (const SchemaRecord& s : Schemas()) { // without a signal column every schema does worse
        if (!MaskBit(s.inputMask, 0) || !MaskBit(s.inputMask, 1)) {
            EXPECT_GT(s.error, e[10].val.num);
        }
    }
}

} // namespace
