// Selection, crossover, mutation and GenNextPop.
#include "engine/random.h"
#include "genetic/next_generation.h"
#include "genetic/population.h"
#include "support/fresh_library.h"
#include "support/genetic_support.h"

#include <cmath>
#include <cstring>

namespace {

using BreedingTest = LibraryTest;

uint32_t Mask(const SchemaRecord& s) {
    return s.inputMask[0] | s.inputMask[1] << 8 | s.inputMask[2] << 16 | s.inputMask[3] << 24;
}

bool Same(const SchemaRecord& a, const SchemaRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The n-th draw (from 1) after seeding with `seed`, by the recurrence.
int32_t DrawAfter(uint32_t seed, int n) {
    uint32_t state = seed;
    for (int i = 0; i < n; ++i)
        state = state * 214013u + 2531011u;
    return (state >> 16) & 32767;
}

SchemaRecord Scored(double error, int32_t epochs) {
    SchemaRecord s = MakeSchema({0}, 3, {2});
    s.error = error;
    s.epochs = epochs;
    return s;
}

TEST_F(BreedingTest, FindBestByScoreOfTheMode) {
    std::vector<SchemaRecord> r = {Scored(0.3, 50), Scored(0.2, 40), Scored(0.2, 38)};
    BestSchema b = FindBestSchema(r.data(), 3, MODE_TRAIN_EPOCHS);
    EXPECT_EQ(b.index, 1); // ties keep the earlier record
    EXPECT_EQ(b.error, 0.2);
    EXPECT_EQ(b.epochs, 40);
    b = FindBestSchema(r.data(), 3, MODE_TEST_GOAL);
    EXPECT_EQ(b.index, 2);
    EXPECT_EQ(b.epochs, 38);

    std::vector<SchemaRecord> untrained = {Scored(1.0, 1000000000), Scored(1.5, 1000000000)};
    for (int mode = 1; mode <= 4; ++mode) {
        b = FindBestSchema(untrained.data(), 2, mode);
        EXPECT_EQ(b.index, 0);
        EXPECT_EQ(b.epochs, 1000000000);
        EXPECT_EQ(b.error, 1.0);
    }
}

TEST_F(BreedingTest, CrossoverSwitchingAtEveryDraw) {
    SupervisorSettings settings = TestSettings(8);
    SchemaRecord best = MakeSchema({0, 1, 2, 3}, 6, {1, 2, 3, 4});
    best.learningRate = 0.1, best.momentum = 0.2, best.noise = 0.03;
    best.error = 0.4, best.epochs = 77, best.gain = 2.0;
    SchemaRecord other = MakeSchema({4, 5, 6, 7}, 6, {5, 6, 7, 8});
    other.learningRate = 0.7, other.momentum = 0.8, other.noise = 0.09;

    // A rate of 0, and a rate whose quotient keeps only zero low bits (16 / 2^-29 = 2^33).
    for (double rate : {0.0, std::ldexp(1.0, -29)}) {
        SeedRandom(1);
        SchemaRecord child = best;
        CrossSchemas(child, other, rate, settings);
        EXPECT_EQ(Mask(child), 0xA5u) << rate; // even bits from the best, odd from the other
        EXPECT_EQ(child.layerCount, 6);
        EXPECT_EQ(child.hiddenSize[0], 1);
        EXPECT_EQ(child.hiddenSize[1], 6);
        EXPECT_EQ(child.hiddenSize[2], 3);
        EXPECT_EQ(child.hiddenSize[3], 8);
        EXPECT_EQ(child.learningRate, 0.1);
        EXPECT_EQ(child.momentum, 0.8);
        EXPECT_EQ(child.noise, 0.03);
        EXPECT_EQ(child.error, 1.0);
        EXPECT_EQ(child.epochs, 1000000000);
        EXPECT_EQ(child.gain, 1.0);
        EXPECT_EQ(NextRandom(), DrawAfter(1, 264)); // 263 switch draws, none for the sizes
    }
}

TEST_F(BreedingTest, CrossoverWithoutSwitchesAndSizeFitting) {
    SupervisorSettings settings = TestSettings(8);
    SchemaRecord best = MakeSchema({0, 1}, 3, {4});
    SchemaRecord other = MakeSchema({1, 2, 3}, 4, {0, 0});
    other.learningRate = 0.9;
    // m = 16 / 1e-7: none of the first 263 draws from seed 1 is 0, so nothing switches: the
    // best's inputs, the other's layers and parameters; hidden layer 2 is drawn afresh.
    SeedRandom(1);
    SchemaRecord child = best;
    CrossSchemas(child, other, 1e-7, settings);
    EXPECT_EQ(Mask(child), 0b11u);
    EXPECT_EQ(child.layerCount, 4);
    EXPECT_EQ(child.learningRate, 0.9);
    const int32_t d = DrawAfter(1, 261), d2 = DrawAfter(1, 262); // after the 256 + 4 switches
    EXPECT_EQ(child.hiddenSize[0], int32_t(5 * (d / 32767.0)) + 1);
    EXPECT_EQ(child.hiddenSize[1], int32_t(3 * (d2 / 32767.0)) + 1);
    EXPECT_EQ(child.hiddenSize[2], 0);

    // Crossing single bits: a bit the other lacks is cleared alone.
    SchemaRecord all = MakeSchema({0, 1, 2, 3, 4, 5, 6, 7}, 2);
    SchemaRecord none = MakeSchema({}, 2);
    SeedRandom(1);
    child = all;
    CrossSchemas(child, none, 0.0, settings);
    EXPECT_EQ(Mask(child), 0x55u);
    SeedRandom(1);
    child = none;
    CrossSchemas(child, none, 0.0, settings);
    EXPECT_EQ(Mask(child), 1u); // an empty mask gets bit 0
}

TEST_F(BreedingTest, MutationsFromHandDerivedDraws) {
    SupervisorSettings settings = TestSettings(3);
    // n = 5. Draws 41 (layer: 0), 18467 (new count 3), 6334 (hidden 1 = 1), 26500, 19169,
    // 15724, 11478 (no change), then 29358 for the mask (no change).
    SeedRandom(1);
    SchemaRecord s = MakeSchema({0, 1}, 2);
    s.error = 0.2;
    MutateSchema(s, settings);
    EXPECT_EQ(s.layerCount, 3);
    EXPECT_EQ(s.hiddenSize[0], 1);
    EXPECT_EQ(s.hiddenSize[1], 0);
    EXPECT_EQ(Mask(s), 0b11u);
    EXPECT_EQ(s.learningRate, 0.5);
    EXPECT_EQ(s.error, 1.0);
    // Draws 26962, 24464 (no), 5705 (momentum: yes, then 28145), 23281, 16827 (mask: no).
    SchemaRecord t = MakeSchema({0, 1}, 2);
    MutateSchema(t, settings);
    EXPECT_EQ(t.momentum, 0.9 * (28145 / 32767.0));
    EXPECT_EQ(t.learningRate, 0.5);
    EXPECT_EQ(t.noise, 0.0);
    EXPECT_EQ(Mask(t), 0b11u);
    EXPECT_EQ(NextRandom(), 9961);

    // Nothing changed: the mask is chosen without a draw of its own. From seed 3590 the draws
    // 11762, 26562, 26637, 13285 change nothing; 10337 and 8176 invert bits 0 and 2.
    SeedRandom(3590);
    SchemaRecord u = MakeSchema({0, 1}, 2);
    MutateSchema(u, settings);
    EXPECT_EQ(Mask(u), 0b110u);
    EXPECT_EQ(NextRandom(), 9128);
}

// ---- GenNextPop ----

class GenNextPopTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        InstallSettings(TestSettings(6));
    }
    // Old schemas with distinct genes; schema `bestAt` has the lowest error.
    std::vector<SchemaRecord> OldPopulation(int size, int bestAt) {
        std::vector<SchemaRecord> old;
        for (int i = 0; i < size; ++i) {
            SchemaRecord s = MakeSchema({i % 6}, 2 + i % 3, {1 + i, 2 + i});
            s.learningRate = 0.1 * (i + 1);
            s.error = i == bestAt ? 0.1 : 0.5 + 0.01 * i;
            s.epochs = 100 + i;
            old.push_back(s);
        }
        return old;
    }
};

TEST_F(GenNextPopTest, ChecksComeBeforeAnything) {
    const char* bad = "Bad Parameter in GenNextPop";
    EXPECT_STREQ(GenNextPop(0, 1, 1.0, 0.1, 1, 0.1), bad);
    EXPECT_STREQ(GenNextPop(10, 4, 1.0, 0.1, 1, 0.1), bad);
    EXPECT_STREQ(GenNextPop(10, 1, 10.5, 0.1, 1, 0.1), bad);
    EXPECT_STREQ(GenNextPop(10, 1, -0.5, 0.1, 1, 0.1), bad);
    EXPECT_STREQ(GenNextPop(10, 1, 1.0, 1.1, 1, 0.1), bad);
    EXPECT_STREQ(GenNextPop(10, 1, 1.0, 0.1, 5, 0.1), bad);
    EXPECT_STREQ(GenNextPop(10, 1, 1.0, 0.1, 1, -1.0), bad);
    EXPECT_STREQ(GenNextPop(10, 1, std::nan(""), 0.1, 1, 0.1), bad);
    EXPECT_STREQ(GenNextPop(3854, 1, 1.0, 0.1, 1, 0.1), bad);
    EXPECT_STREQ(GenNextPop(10, 1, 10.0, 1.0, 1, 0.1), "Call InitPop before GenNextPop");
    InstallPopulation(OldPopulation(2, 1));
    EXPECT_STREQ(GenNextPop(2, 1, 10.0, 1.0, 4, 0.5), "OK");
    PopulationHeader h = Header();
    EXPECT_EQ(h.generation, 2);
    EXPECT_EQ(h.goal, 1.0);
    EXPECT_EQ(h.crossoverRate, 10.0);
    EXPECT_EQ(h.mutationRate, 1.0);
    EXPECT_EQ(h.trainMode, 4);
}

TEST_F(GenNextPopTest, GrowingKeepsTheBestThenOffspringThenMutants) {
    std::vector<SchemaRecord> old = OldPopulation(4, 2);
    InstallPopulation(old);
    SetHeader([] {
        PopulationHeader h = Header();
        h.currentSchema = 4;
        h.schemaState = POP_READY;
        return h;
    }());
    SeedRandom(5);
    ASSERT_STREQ(GenNextPop(6, BREED_OFFSPRING, 2.0, 0.5, MODE_TRAIN_EPOCHS, 20.0), "OK");
    std::vector<SchemaRecord> bred = Schemas();
    ASSERT_EQ(bred.size(), 6u);

    // The same draws by hand: old 1, 2, 4 in order (3 is the best), then mutants of old 1, 2.
    SeedRandom(5);
    const SupervisorSettings settings = TestSettings(6);
    std::vector<SchemaRecord> expected = {old[2]};
    for (int v : {0, 1, 3}) {
        SchemaRecord child;
        if (RandomUniform(0.0, 1.0) < 0.5) {
            child = old[size_t(v)];
            MutateSchema(child, settings);
        } else {
            child = old[2];
            CrossSchemas(child, old[size_t(v)], 2.0, settings);
        }
        expected.push_back(child);
    }
    for (int v : {0, 1}) {
        SchemaRecord child = old[size_t(v)];
        MutateSchema(child, settings);
        expected.push_back(child);
    }
    for (size_t i = 0; i < 6; ++i)
        EXPECT_TRUE(Same(bred[i], expected[i])) << i;
    EXPECT_EQ(bred[0].error, 0.1); // the best keeps its score

    PopulationHeader h = Header();
    EXPECT_EQ(h.populationSize, 6);
    EXPECT_EQ(h.generation, 2);
    EXPECT_EQ(h.currentSchema, 1);
    EXPECT_EQ(h.schemaState, POP_READY);
    EXPECT_EQ(h.bestError, 0.1);
    EXPECT_EQ(h.bestEpochs, 102);
    EXPECT_EQ(h.trainTolerance, 0.001);
    EXPECT_EQ(h.weightSeed, 1.0);
}

TEST_F(GenNextPopTest, GrowingMoreThanTwofoldCyclesTheOldSchemas) {
    std::vector<SchemaRecord> old = OldPopulation(2, 0);
    InstallPopulation(old);
    SeedRandom(9);
    ASSERT_STREQ(GenNextPop(7, BREED_OFFSPRING, 1.0, 1.0, MODE_TRAIN_EPOCHS, 5.0), "OK");
    std::vector<SchemaRecord> bred = Schemas();

    SeedRandom(9);
    const SupervisorSettings settings = TestSettings(6);
    std::vector<SchemaRecord> expected = {old[0]};
    ASSERT_LT(RandomUniform(0.0, 1.0), 1.0);
    for (int v : {1, 0, 1, 0, 1, 0}) { // the offspring of old 2, then old 1, 2, 1, 2, 1
        SchemaRecord child = old[size_t(v)];
        MutateSchema(child, settings);
        expected.push_back(child);
    }
    ASSERT_EQ(bred.size(), 7u);
    for (size_t i = 0; i < 7; ++i)
        EXPECT_TRUE(Same(bred[i], expected[i])) << i;
}

TEST_F(GenNextPopTest, ShrinkingStopsWhenFull) {
    std::vector<SchemaRecord> old = OldPopulation(6, 4);
    InstallPopulation(old);
    SeedRandom(11);
    ASSERT_STREQ(GenNextPop(3, BREED_OFFSPRING, 1.0, 0.0, MODE_TRAIN_EPOCHS, 5.0), "OK");
    std::vector<SchemaRecord> bred = Schemas();
    ASSERT_EQ(bred.size(), 3u);

    SeedRandom(11);
    const SupervisorSettings settings = TestSettings(6);
    EXPECT_TRUE(Same(bred[0], old[4]));
    for (int v : {0, 1}) { // mutation rate 0: crossovers of the best with old 1 and 2
        ASSERT_GE(RandomUniform(0.0, 1.0), 0.0);
        SchemaRecord child = old[4];
        CrossSchemas(child, old[size_t(v)], 1.0, settings);
        EXPECT_TRUE(Same(bred[size_t(v + 1)], child)) << v;
    }
}

TEST_F(GenNextPopTest, FreshAndReplaceWorst) {
    std::vector<SchemaRecord> old = OldPopulation(4, 1);
    InstallPopulation(old);
    ASSERT_STREQ(GenNextPop(1, BREED_FRESH, 1.0, 0.0, MODE_TRAIN_EPOCHS, 5.0), "OK");
    ASSERT_EQ(gSuper.schemaCount, 1);
    EXPECT_TRUE(Same(Schemas()[0], old[1]));

    InstallPopulation(old);
    SeedRandom(3);
    ASSERT_STREQ(GenNextPop(3, BREED_FRESH, 1.0, 0.0, MODE_TRAIN_EPOCHS, 5.0), "OK");
    SeedRandom(3);
    for (size_t i = 1; i < 3; ++i) {
        SchemaRecord s = {};
        NewRandomSchema(s, TestSettings(6));
        EXPECT_TRUE(Same(Schemas()[i], s));
    }

    // Replace the worst: old 4 has the largest error; its replacement takes part in the visits.
    InstallPopulation(old);
    SeedRandom(4);
    ASSERT_STREQ(GenNextPop(4, BREED_REPLACE_WORST, 1.0, 0.0, MODE_TRAIN_EPOCHS, 5.0), "OK");
    std::vector<SchemaRecord> bred = Schemas();
    SeedRandom(4);
    const SupervisorSettings settings = TestSettings(6);
    std::vector<SchemaRecord> work = old;
    NewRandomSchema(work[3], settings);
    EXPECT_TRUE(Same(bred[0], old[1]));
    size_t next = 1;
    for (int v : {0, 2, 3}) {
        RandomUniform(0.0, 1.0);
        SchemaRecord child = work[1];
        CrossSchemas(child, work[size_t(v)], 1.0, settings);
        EXPECT_TRUE(Same(bred[next++], child)) << v;
    }
}

TEST_F(GenNextPopTest, ReplacingTheBestStillKeepsItFirst) {
    // Untrained: the best is old 1 (nothing beats the start values) and so is the worst (no
    // later error is strictly larger). New schema 1 is the old best; the crossover children
    // start from its replacement.
    std::vector<SchemaRecord> old = OldPopulation(3, 0);
    for (SchemaRecord& s : old)
        s.error = 1.0;
    InstallPopulation(old);
    SeedRandom(8);
    ASSERT_STREQ(GenNextPop(3, BREED_REPLACE_WORST, 1.0, 0.0, MODE_TRAIN_EPOCHS, 5.0), "OK");
    std::vector<SchemaRecord> bred = Schemas();

    SeedRandom(8);
    const SupervisorSettings settings = TestSettings(6);
    std::vector<SchemaRecord> work = old;
    NewRandomSchema(work[0], settings);
    EXPECT_TRUE(Same(bred[0], old[0]));
    for (int v : {1, 2}) {
        RandomUniform(0.0, 1.0);
        SchemaRecord child = work[0];
        CrossSchemas(child, work[size_t(v)], 1.0, settings);
        EXPECT_TRUE(Same(bred[size_t(v)], child)) << v;
    }
    EXPECT_EQ(Header().bestError, 1.0);
    EXPECT_EQ(Header().bestEpochs, 1000000000);
}

TEST_F(GenNextPopTest, MemoryFailuresLeaveNoPopulation) {
    for (int site = 1; site <= 2; ++site) {
        InstallPopulation(OldPopulation(3, 0));
        const int32_t settingsOnly = PlatformLiveBlocks() - 2;
        PlatformFailAllocation(site);
        std::string expected =
            "Insufficient memory in Genetic Supervisor (" + std::to_string(site + 7) + ").";
        EXPECT_EQ(std::string(GenNextPop(5, 1, 1.0, 0.5, 2, 5.0)), expected);
        EXPECT_FALSE(PopulationExists());
        EXPECT_EQ(PlatformLiveBlocks(), settingsOnly);
        EXPECT_TRUE(SupervisorExists());
        EXPECT_STREQ(GenNextPop(5, 1, 1.0, 0.5, 2, 5.0), "Call InitPop before GenNextPop");
    }
    // Equal sizes reuse the block: only the temporary copy is allocated.
    InstallPopulation(OldPopulation(3, 0));
    PlatformFailAllocation(2);
    EXPECT_STREQ(GenNextPop(3, 1, 1.0, 0.5, 2, 5.0), "OK");
}

} // namespace
