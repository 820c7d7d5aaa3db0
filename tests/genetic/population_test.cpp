// Random draws, fresh schemas, InitSuper and InitPop.
#include "engine/network_state.h"
#include "engine/random.h"
#include "genetic/population.h"
#include "genetic/supervisor_release.h"
#include "support/fresh_library.h"
#include "support/genetic_support.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

using PopulationTest = LibraryTest;

uint32_t MaskWord(const SchemaRecord& s) {
    return s.inputMask[0] | s.inputMask[1] << 8 | s.inputMask[2] << 16 | s.inputMask[3] << 24;
}

TEST_F(PopulationTest, DrawsFollowTheGenerator) {
    SeedRandom(1);
    EXPECT_EQ(RandomUniform(0.2, 1.0), 0.2 + 0.8 * (41 / 32767.0));
    EXPECT_EQ(RandomInt(5), 2); // 5 x 18467 / 32767 = 2.82
    EXPECT_EQ(RandomInt(0), 0); // draws 6334 all the same
    EXPECT_EQ(NextRandom(), 26500);
    EXPECT_EQ(RandomInt(-3), -1); // 3 x 19169 / 32767 = 1.75, toward zero
}

TEST_F(PopulationTest, FreshSchemaFromHandDerivedDraws) {
    SeedRandom(1);
    SchemaRecord s;
    std::memset(&s, 0x5A, sizeof s);
    NewRandomSchema(s, TestSettings(3));
    // Mask: 41 / 32767 < 0.5 on, 18467 off, 6334 on.
    EXPECT_EQ(MaskWord(s), 0b101u);
    for (int i = 4; i < kMaskBytes; ++i)
        EXPECT_EQ(s.inputMask[i], 0);
    EXPECT_EQ(s.layerCount, 4);    // 3 x 26500 / 32767 = 2.43 -> 2 + 2
    EXPECT_EQ(s.hiddenSize[0], 3); // 5 x 19169 / 32767 = 2.93 -> 2 + 1
    EXPECT_EQ(s.hiddenSize[1], 2); // 3 x 15724 / 32767 = 1.44 -> 1 + 1
    EXPECT_EQ(s.hiddenSize[2], 0);
    EXPECT_EQ(s.hiddenSize[3], 0);
    EXPECT_EQ(s.learningRate, 0.2 + 0.8 * (11478 / 32767.0));
    EXPECT_EQ(s.momentum, 0.0 + 0.9 * (29358 / 32767.0));
    EXPECT_EQ(s.noise, 0.0 + 0.1 * (26962 / 32767.0));
    EXPECT_EQ(s.transferCode, 3);
    EXPECT_EQ(s.gain, 1.0);
    EXPECT_EQ(s.prune, 0);
    EXPECT_EQ(s.threshold, 1.0);
    EXPECT_EQ(s.autoRate, 0);
    EXPECT_EQ(s.margin, 0.1);
    EXPECT_EQ(s.error, 1.0);
    EXPECT_EQ(s.epochs, 1000000000);
    EXPECT_EQ(NextRandom(), 24464); // exactly nine draws were made
}

TEST_F(PopulationTest, FreshSchemaEdgeRanges) {
    SupervisorSettings settings = TestSettings(2);
    settings.inclusionProbability = 0.001; // 41 and 18467 both miss: bit 0 by the fallback
    settings.maxLayers = 2;
    SeedRandom(1);
    SchemaRecord s = {};
    NewRandomSchema(s, settings);
    EXPECT_EQ(MaskWord(s), 1u);
    EXPECT_EQ(CountMaskBits(s.inputMask), 1);
    EXPECT_EQ(s.layerCount, 2);
    EXPECT_EQ(s.hiddenSize[0], 0);

    settings = TestSettings(1);
    settings.maxLayers = 3;
    settings.maxHidden[0] = 0;
    SeedRandom(1);
    NewRandomSchema(s, settings);
    EXPECT_EQ(s.layerCount, 3); // 2 x 18467 / 32767 = 1.13
    EXPECT_EQ(s.hiddenSize[0], 1);

    // Candidate positions past the settings draw nothing.
    settings = TestSettings(256);
    settings.inclusionProbability = 1.0;
    SeedRandom(1);
    NewRandomSchema(s, settings);
    EXPECT_EQ(CountMaskBits(s.inputMask), 256);
}

TEST_F(PopulationTest, InitPopChecksComeFirst) {
    EXPECT_STREQ(InitPop(0, 1, 1, 0.1), "Bad Parameter in InitPop");
    EXPECT_STREQ(InitPop(10, 1, 1, 0.1), "Call InitSuper before InitPop");
    InstallSettings(TestSettings());
    EXPECT_STREQ(InitPop(0, 1, 1, 0.1), "Bad Parameter in InitPop");
    EXPECT_STREQ(InitPop(10, 4, 1, 0.1), "Bad Parameter in InitPop");
    EXPECT_STREQ(InitPop(10, 0, 1, 0.1), "Bad Parameter in InitPop");
    EXPECT_STREQ(InitPop(10, 1, 5, 0.1), "Bad Parameter in InitPop");
    EXPECT_STREQ(InitPop(10, 1, 0, 0.1), "Bad Parameter in InitPop");
    EXPECT_STREQ(InitPop(10, 1, 1, -0.1), "Bad Parameter in InitPop");
    EXPECT_STREQ(InitPop(10, 1, 1, std::nan("")), "Bad Parameter in InitPop");
    EXPECT_STREQ(InitPop(3854, 1, 1, 0.1), "Bad Parameter in InitPop");
    EXPECT_FALSE(PopulationExists());
    EXPECT_STREQ(InitPop(3853, 1, 1, 0.1), "OK");
    EXPECT_EQ(gSuper.schemaCount, 3853);
}

TEST_F(PopulationTest, InitPopHeaderAndGoalClamping) {
    InstallSettings(TestSettings());
    struct Case {
        int16_t mode;
        double goal, stored;
    } cases[] = {{1, 2.5, 1.0}, {3, 0.0, 0.0}, {2, 0.5, 1.0}, {4, 300.0, 300.0}, {1, 0.05, 0.05}};
    for (const Case& c : cases) {
        ASSERT_STREQ(InitPop(4, 2, c.mode, c.goal), "OK");
        PopulationHeader h = Header();
        EXPECT_EQ(h.goal, c.stored) << c.mode << " " << c.goal;
        EXPECT_EQ(h.trainMode, c.mode);
        EXPECT_EQ(h.generation, 1);
        EXPECT_EQ(h.currentSchema, 1);
        EXPECT_EQ(h.schemaState, POP_READY);
        EXPECT_EQ(h.populationSize, 4);
        EXPECT_EQ(h.breedMethod, 2);
        EXPECT_EQ(h.trainTolerance, 0.001);
        EXPECT_EQ(h.testTolerance, 0.001);
        EXPECT_EQ(h.useSeed, 0);
        EXPECT_EQ(h.weightSeed, 1.0);
        EXPECT_EQ(h.weightRange, 1.0);
    }
}

TEST_F(PopulationTest, InitPopDrawsSchemasInOrder) {
    InstallSettings(TestSettings());
    SeedRandom(1);
    ASSERT_STREQ(InitPop(3, 1, 1, 0.1), "OK");
    std::vector<SchemaRecord> drawn = Schemas();
    SeedRandom(1);
    for (int i = 0; i < 3; ++i) {
        SchemaRecord expected = {};
        NewRandomSchema(expected, TestSettings());
        EXPECT_EQ(std::memcmp(&expected, &drawn[size_t(i)], sizeof expected), 0) << i;
    }
    EXPECT_EQ(MaskWord(drawn[0]), 0b101u);
}

TEST_F(PopulationTest, InitPopMemoryFailuresLeaveNoPopulation) {
    InstallSettings(TestSettings());
    ASSERT_STREQ(InitPop(3, 1, 1, 0.1), "OK");
    const int32_t withSettings = PlatformLiveBlocks() - 2;
    PlatformFailAllocation(1);
    EXPECT_STREQ(InitPop(3, 1, 1, 0.1), "Insufficient memory in Genetic Supervisor (6).");
    EXPECT_FALSE(PopulationExists());
    EXPECT_EQ(PlatformLiveBlocks(), withSettings);
    PlatformFailAllocation(2);
    EXPECT_STREQ(InitPop(3, 1, 1, 0.1), "Insufficient memory in Genetic Supervisor (7).");
    EXPECT_FALSE(PopulationExists());
    EXPECT_EQ(gSuper.header, nullptr);
    EXPECT_EQ(PlatformLiveBlocks(), withSettings);
    EXPECT_TRUE(SupervisorExists());
}

// ---- InitSuper ----

class InitSuperTest : public LibraryTest {
  protected:
    // Three inputs, one output, 10 rows with two blank rows, window 2, fixed point.
    void BuildLoadedNetwork() {
        ASSERT_STREQ(InitBP(3, 1, 10, 2, 1, 2, 3, 4, 0, 0, 0, CALC_FIXED16), "OK");
        std::vector<int16_t> inputs;
        for (int i = 0; i < 3 * 8; ++i)
            inputs.push_back(static_cast<int16_t>(100 * i + 1));
        PutBlockValues<int16_t>(gNet.inputBlock, 3 * 16, inputs);
        PutBlockValues<double>(gNet.inputBlock, 0, {1, 2, 3, 11, 12, 13});
        std::vector<int16_t> targets;
        for (int i = 0; i < 7; ++i)
            targets.push_back(static_cast<int16_t>(1000 * i + 7));
        PutBlockValues<int16_t>(gNet.targetBlock, 16, targets);
        PutBlockValues<double>(gNet.targetBlock, 0, {-5.0, 5.0});
        PutBlockValues<int32_t>(gNet.patternFlagsBlock, 0, {0, 1, 0, 1, 5, 0, 1});
        PutBlockValues<int32_t>(gNet.blankRowFlags, 0, {0, 0, 0, 1, 0, 0, 1, 0, 0, 0});
        gNet.dataModeActive = 1;
    }
};

TEST_F(InitSuperTest, RefusesBeforeAnythingChanges) {
    EXPECT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05),
                 "Call InitBP and load the data before InitSuper");
    BuildLoadedNetwork();
    ASSERT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05), "OK");
    ASSERT_STREQ(InitPop(2, 1, 1, 0.1), "OK");
    const char* bad = "Bad Parameter in InitSuper";
    EXPECT_STREQ(InitSuper(0.0, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05), bad);
    EXPECT_STREQ(InitSuper(1.01, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05), bad);
    EXPECT_STREQ(InitSuper(std::nan(""), 3, 4, 0, 0, 0, 0.1, 0.9, 0.05), bad);
    EXPECT_STREQ(InitSuper(0.5, 1, 4, 0, 0, 0, 0.1, 0.9, 0.05), bad);
    EXPECT_STREQ(InitSuper(0.5, 7, 4, 0, 0, 0, 0.1, 0.9, 0.05), bad);
    EXPECT_STREQ(InitSuper(0.5, 3, 4, 0, -1, 0, 0.1, 0.9, 0.05), bad);
    EXPECT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 1.1, 0.9, 0.05), bad);
    EXPECT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, -0.1, 0.05), bad);
    EXPECT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.15), bad);
    EXPECT_TRUE(PopulationExists());

    ASSERT_STREQ(InitBP(257, 1, 4, 1, 1, 0, 3, 1, 0, 0, 0, CALC_DOUBLE), "OK");
    EXPECT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05),
                 "More than 256 input columns in InitSuper");
    EXPECT_TRUE(PopulationExists());
    EXPECT_EQ(Settings().candidateInputs, 3);
}

TEST_F(InitSuperTest, SavesTheLoadedNetwork) {
    BuildLoadedNetwork();
    ASSERT_STREQ(InitSuper(0.25, 5, 4, 3, 2, 1, 0.1, 0.9, 0.05), "OK");
    SupervisorSettings s = Settings();
    EXPECT_EQ(s.inclusionProbability, 0.25);
    EXPECT_EQ(s.candidateInputs, 3);
    EXPECT_EQ(s.outputColumns, 1);
    EXPECT_EQ(s.totalRows, 10);
    EXPECT_EQ(s.window, 2);
    EXPECT_EQ(s.patternStep, 1);
    EXPECT_EQ(s.blankRows, 2);
    EXPECT_EQ(s.blankPatternRows, 2);
    EXPECT_EQ(s.maxLayers, 5);
    EXPECT_EQ(s.maxHidden[0], 4);
    EXPECT_EQ(s.maxHidden[3], 1);
    EXPECT_EQ(s.minLearningRate, 0.1);
    EXPECT_EQ(s.maxMomentum, 0.9);
    EXPECT_EQ(s.maxNoise, 0.05);
    EXPECT_EQ(s.calcMethod, CALC_FIXED16);
    EXPECT_EQ(gSuper.savedDataModeActive, 1);

    // 8 data rows x 3 inputs, 7 patterns, 10 range rows, copied byte for byte.
    EXPECT_EQ(GlobalBlockSize(gSuper.savedInputBlock), size_t(3 * 16 + 8 * 3 * 2));
    EXPECT_EQ(GlobalBlockSize(gSuper.savedTargetBlock), size_t(16 + 7 * 2));
    EXPECT_EQ(BlockValues<unsigned char>(gSuper.savedInputBlock, 0, 96),
              BlockValues<unsigned char>(gNet.inputBlock, 0, 96));
    EXPECT_EQ(BlockValues<unsigned char>(gSuper.savedTargetBlock, 0, 30),
              BlockValues<unsigned char>(gNet.targetBlock, 0, 30));
    EXPECT_EQ(BlockValues<int32_t>(gSuper.savedPatternFlags, 0, 7),
              (std::vector<int32_t>{0, 1, 0, 1, 5, 0, 1}));
    EXPECT_EQ(BlockValues<int32_t>(gSuper.savedBlankRowFlags, 0, 10),
              (std::vector<int32_t>{0, 0, 0, 1, 0, 0, 1, 0, 0, 0}));

    // The saved copy is independent of the engine's network.
    ASSERT_STREQ(InitBP(2, 1, 5, 1, 1, 0, 2, 0, 0, 0, 0, CALC_DOUBLE), "OK");
    EXPECT_EQ(BlockValues<double>(gSuper.savedInputBlock, 0, 2), (std::vector<double>{1, 2}));
}

TEST_F(InitSuperTest, SchemaNetworkGetsTheSavedColumnsInFixedPoint) {
    BuildLoadedNetwork();
    ASSERT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05), "OK");
    InstallPopulation({MakeSchema({1}, 3, {2})}, 2);
    ASSERT_STREQ(TrainNextSchema(1, 0, 0.0, 0.0, 0.0), "In Process");
    ASSERT_EQ(gNet.inputColumns, 1);
    EXPECT_EQ(gNet.rows, 8);
    EXPECT_EQ(gNet.patterns, 7);
    EXPECT_EQ(BlockValues<double>(gNet.inputBlock, 0, 2), (std::vector<double>{2, 12}));
    std::vector<int16_t> column = BlockValues<int16_t>(gNet.inputBlock, 16, 8);
    for (int r = 0; r < 8; ++r)
        EXPECT_EQ(column[size_t(r)], 100 * (3 * r + 1) + 1) << r;
    EXPECT_EQ(BlockValues<double>(gNet.targetBlock, 0, 2), (std::vector<double>{-5, 5}));
    EXPECT_EQ(BlockValues<int16_t>(gNet.targetBlock, 16, 7),
              (std::vector<int16_t>{7, 1007, 2007, 3007, 4007, 5007, 6007}));
    EXPECT_EQ(BlockValues<int32_t>(gNet.patternFlagsBlock, 0, 7),
              (std::vector<int32_t>{0, 1, 0, 1, 5, 0, 1}));
    EXPECT_EQ(BlockValues<int32_t>(gNet.blankRowFlags, 0, 10),
              (std::vector<int32_t>{0, 0, 0, 1, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(gNet.dataModeActive, 1);
}

TEST_F(InitSuperTest, SecondInitSuperDropsThePopulation) {
    BuildLoadedNetwork();
    ASSERT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05), "OK");
    ASSERT_STREQ(InitPop(2, 1, 1, 0.1), "OK");
    ASSERT_STREQ(InitSuper(0.75, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05), "OK");
    EXPECT_FALSE(PopulationExists());
    EXPECT_EQ(Settings().inclusionProbability, 0.75);
    EXPECT_EQ(CleanUp(), 1);
    EXPECT_FALSE(SupervisorExists());
    EXPECT_EQ(PlatformLiveBlocks(), 0);
}

TEST_F(InitSuperTest, MemoryFailuresReleaseEverything) {
    BuildLoadedNetwork();
    const int32_t networkOnly = PlatformLiveBlocks();
    for (int site = 1; site <= 5; ++site) {
        ASSERT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05), "OK");
        ASSERT_STREQ(InitPop(2, 1, 1, 0.1), "OK");
        PlatformFailAllocation(site);
        std::string expected =
            "Insufficient memory in Genetic Supervisor (" + std::to_string(site) + ").";
        EXPECT_EQ(std::string(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05)), expected);
        EXPECT_FALSE(SupervisorExists());
        EXPECT_FALSE(PopulationExists());
        EXPECT_EQ(PlatformLiveBlocks(), networkOnly) << site;
    }
    PlatformFailAllocation(0);
    EXPECT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.1, 0.9, 0.05), "OK");
}

} // namespace
