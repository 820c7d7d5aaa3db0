// Random draws, fresh schemas, InitPop and InitSuper.
#include "engine/network_state.h"
#include "engine/random.h"
#include "genetic/population.h"
#include "support/fresh_library.h"
#include "support/genetic_support.h"

#include <cmath>
#include <functional>
#include <string>

namespace {

using PopulationTest = LibraryTest;

// From seed 1 the generator gives 41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962.
TEST_F(PopulationTest, DrawsAndAFreshSchemaByHand) {
    EXPECT_EQ(RandomInt(0), 0); // still one draw
    EXPECT_EQ(NextRandom(), 18467);

    SeedRandom(1);
    SchemaRecord s;
    std::memset(&s, 0x5A, sizeof s);
    NewRandomSchema(s, TestSettings(3));
    EXPECT_EQ(MaskWord(s), 0b101u); // 41 and 6334 fall below 0.5 x 32767, 18467 does not
    EXPECT_EQ(CountMaskBits(s.inputMask), 2);
    EXPECT_EQ(s.layerCount, 4); // 3 x 26500 / 32767 = 2.43
    EXPECT_EQ(std::vector<int32_t>(s.hiddenSize, s.hiddenSize + 4),
              (std::vector<int32_t>{3, 2, 0, 0})); // 5 x 0.585 = 2.93, 3 x 0.480 = 1.44
    EXPECT_EQ(s.learningRate, 0.2 + 0.8 * (11478 / 32767.0));
    EXPECT_EQ(s.momentum, 0.9 * (29358 / 32767.0));
    EXPECT_EQ(s.noise, 0.1 * (26962 / 32767.0));
    EXPECT_TRUE(s.transferCode == 3 && s.gain == 1.0 && s.prune == 0 && s.threshold == 1.0 &&
                s.autoRate == 0 && s.margin == 0.1 && s.error == 1.0 && s.epochs == 1000000000);
    EXPECT_EQ(NextRandom(), 24464); // nine draws in all

    SupervisorSettings narrow = TestSettings(2);
    narrow.inclusionProbability = 0.001; // both draws miss: bit 0 by the fallback
    narrow.maxLayers = 2;
    SeedRandom(1);
    NewRandomSchema(s, narrow);
    EXPECT_EQ(MaskWord(s), 1u);
    EXPECT_EQ(s.layerCount, 2);
    EXPECT_EQ(s.hiddenSize[0], 0);
}

TEST_F(PopulationTest, InitPop) {
    const char* bad = "Bad Parameter in InitPop";
    EXPECT_STREQ(InitPop(0, 1, 1, 0.1), bad); // before the missing supervisor
    EXPECT_STREQ(InitPop(10, 1, 1, 0.1), "Call InitSuper before InitPop");
    InstallSettings(TestSettings());
    for (auto args : {std::vector<double>{10, 4, 1, 0.1},
                      {10, 1, 5, 0.1},
                      {10, 1, 1, -0.1},
                      {10, 1, 1, NAN},
                      {3854, 1, 1, 0.1}})
        EXPECT_STREQ(InitPop(int16_t(args[0]), int16_t(args[1]), int16_t(args[2]), args[3]), bad);
    EXPECT_FALSE(PopulationExists());

    struct {
        int16_t mode;
        double goal, stored;
    } goals[] = {{1, 2.5, 1.0}, {3, 0.0, 0.0}, {2, 0.5, 1.0}, {4, 300.0, 300.0}};
    for (auto g : goals) {
        ASSERT_STREQ(InitPop(3, 2, g.mode, g.goal), "OK");
        PopulationHeader h = Header();
        EXPECT_EQ(h.goal, g.stored);
        EXPECT_TRUE(h.generation == 1 && h.currentSchema == 1 && h.schemaState == POP_READY &&
                    h.populationSize == 3 && h.breedMethod == 2 && h.trainMode == g.mode &&
                    h.trainTolerance == 0.001 && h.useSeed == 0 && h.weightSeed == 1.0);
    }
}

// Three inputs, one output, 10 rows of which 2 blank, window 2, fixed point, data written in.
void BuildLoadedNetwork() {
    ASSERT_STREQ(InitBP(3, 1, 10, 2, 1, 2, 3, 4, 0, 0, 0, CALC_FIXED16), "OK");
    WriteBlock<double>(gNet.inputBlock, 0, {1, 2, 3, 11, 12, 13});
    for (int16_t i = 0; i < 24; ++i)
        WriteBlock<int16_t>(gNet.inputBlock, 48 + 2 * size_t(i), {int16_t(100 * i + 1)});
    WriteBlock<double>(gNet.targetBlock, 0, {-5.0, 5.0});
    WriteBlock<int16_t>(gNet.targetBlock, 16, {7, 1007, 2007, 3007, 4007, 5007, 6007});
    WriteBlock<int32_t>(gNet.patternFlagsBlock, 0, {0, 1, 0, 1, 5, 0, 1});
    WriteBlock<int32_t>(gNet.blankRowFlags, 0, {0, 0, 0, 1, 0, 0, 1, 0, 0, 0});
    gNet.dataModeActive = 1;
}

TEST_F(PopulationTest, InitSuperRefusesBeforeAnythingChanges) {
    EXPECT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05),
                 "Call InitBP and load the data before InitSuper");
    BuildLoadedNetwork();
    ASSERT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05), "OK");
    ASSERT_STREQ(InitPop(2, 1, 1, 0.1), "OK");
    for (auto a : {std::vector<double>{NAN, 3, 0, 0.1, 0.9, 0.05},
                   {0.5, 7, 0, 0.1, 0.9, 0.05},
                   {0.5, 3, -1, 0.1, 0.9, 0.05},
                   {0.5, 3, 0, 1.1, 0.9, 0.05},
                   {0.5, 3, 0, 0.1, 0.9, 0.15}})
        EXPECT_STREQ(InitSuper(a[0], int16_t(a[1]), 4, 0, int16_t(a[2]), 0, a[3], a[4], a[5]),
                     "Bad Parameter in InitSuper");
    ASSERT_STREQ(InitBP(257, 1, 4, 1, 1, 0, 3, 1, 0, 0, 0, CALC_DOUBLE), "OK");
    EXPECT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05),
                 "More than 256 input columns in InitSuper");
    EXPECT_TRUE(PopulationExists());
    EXPECT_EQ(Settings().candidateInputs, 3);
}

// A schema of column 1 alone gets that column's head and values, and the saved blank rows.
TEST_F(PopulationTest, SchemasGetTheirColumnsOfTheSavedNetwork) {
    BuildLoadedNetwork();
    ASSERT_STREQ(InitSuper(0.25, 5, 4, 3, 2, 1, 0.1, 0.9, 0.05), "OK");
    InstallPopulation({MakeSchema({1}, 3, {2})}, 2);
    ASSERT_STREQ(TrainNextSchema(1, 0, 0.0, 0.0, 0.0), "In Process");
    EXPECT_EQ(ReadBlock<double>(gNet.inputBlock, 0, 2), (std::vector<double>{2, 12}));
    std::vector<int16_t> column = ReadBlock<int16_t>(gNet.inputBlock, 16, 8);
    for (int r = 0; r < 8; ++r)
        EXPECT_EQ(column[size_t(r)], 100 * (3 * r + 1) + 1) << r;
    const FP* positions = GetBlankFlags(); // rows 1 ... 9: the blank rows 3 and 6 have no pattern
    EXPECT_EQ(std::vector<double>(positions->array, positions->array + positions->rows),
              (std::vector<double>{0, 0, 1, 0, 0, 1, 0, 0, 0}));
}

// Every supervisor allocation site answers with its own number, and only UnloadPop, which
// builds a view of the population, leaves the population in place.
TEST_F(PopulationTest, MemoryFailuresAnswerTheirSite) {
    BuildLoadedNetwork();
    const auto initSuper = [] {
        return std::string(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05));
    };
    OwnedCells column(1);
    const struct {
        int first, sites;
        std::function<std::string()> call;
    } cases[] = {
        {1, 5, initSuper},
        {6, 2, [] { return InitPop(3, 1, 1, 0.1); }},
        {8, 2, [] { return GenNextPop(5, 1, 1.0, 0.5, 2, 5.0); }},
        {10, 2, [] { return AnswerText(UnloadPop()); }},
        {12, 1, [&] { return ReloadPop(column.multi()); }},
    };
    for (const auto& c : cases)
        for (int site = 1; site <= c.sites; ++site) {
            ASSERT_EQ(initSuper(), "OK");
            ASSERT_STREQ(InitPop(2, 1, 1, 0.1), "OK");
            column = CopyOf(UnloadPop());
            PlatformFailAllocation(site);
            const int number = c.first + site - 1;
            EXPECT_EQ(c.call(), "Insufficient memory in Genetic Supervisor (" +
                                    std::to_string(number) + ").");
            EXPECT_EQ(SupervisorExists(), c.first != 1) << number;
            EXPECT_EQ(PopulationExists(), c.first == 10) << number;
        }
    ASSERT_EQ(initSuper(), "OK");
    ASSERT_STREQ(InitPop(2, 1, 1, 0.1), "OK");
    ASSERT_STREQ(InitSuper(0.75, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05), "OK"); // drops the population
    EXPECT_FALSE(PopulationExists());
}

} // namespace
