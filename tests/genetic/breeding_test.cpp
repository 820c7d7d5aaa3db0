// Selection, crossover, mutation and GenNextPop.
#include "engine/random.h"
#include "genetic/next_generation.h"
#include "genetic/population.h"
#include "support/fresh_library.h"
#include "support/genetic_support.h"

#include <cmath>
#include <string>

namespace {

using BreedingTest = LibraryTest;

SchemaRecord Scored(double error, int32_t epochs) {
    SchemaRecord s = MakeSchema({0}, 3, {2});
    s.error = error, s.epochs = epochs;
    return s;
}

TEST_F(BreedingTest, FindBestByTheScoreOfTheMode) {
    std::vector<SchemaRecord> r = {Scored(0.3, 40), Scored(0.2, 40), Scored(0.2, 38)};
    EXPECT_EQ(FindBestSchema(r.data(), 3, MODE_TRAIN_EPOCHS).index, 1); // ties keep the first
    BestSchema b = FindBestSchema(r.data(), 3, MODE_TEST_GOAL);
    EXPECT_TRUE(b.index == 2 && b.epochs == 38 && b.error == 0.2);
    r = {Scored(1.0, 1000000000), Scored(1.5, 1000000000)};
    b = FindBestSchema(r.data(), 2, MODE_TEST_EPOCHS);
    EXPECT_TRUE(b.index == 0 && b.epochs == 1000000000 && b.error == 1.0);
}

TEST_F(BreedingTest, CrossoverBySwitchDraws) {
    SchemaRecord best = MakeSchema({0, 1, 2, 3}, 6, {1, 2, 3, 4});
    best.learningRate = 0.1, best.momentum = 0.2, best.noise = 0.03, best.error = 0.4;
    SchemaRecord other = MakeSchema({4, 5, 6, 7}, 5, {5, 6, 7, 8});
    other.learningRate = 0.7, other.momentum = 0.8, other.noise = 0.09;
    // Rate 0, and 16 / 2^-29 = 2^33 whose low 32 bits are 0: a switch at every draw.
    for (double rate : {0.0, std::ldexp(1.0, -29)}) {
        SeedRandom(1);
        SchemaRecord child = best;
        CrossSchemas(child, other, rate, TestSettings(8));
        EXPECT_EQ(MaskWord(child), 0xA5u); // even bits from the best, odd from the other
        EXPECT_EQ(child.layerCount, 5);
        EXPECT_EQ(std::vector<int32_t>(child.hiddenSize, child.hiddenSize + 4),
                  (std::vector<int32_t>{1, 6, 3, 0})); // 5 layers: size 4 cleared
        EXPECT_TRUE(child.learningRate == 0.1 && child.momentum == 0.8 && child.noise == 0.03);
        EXPECT_EQ(child.error, 1.0);
    }
}

TEST_F(BreedingTest, MutationsByHand) {
    // n = 5. Draws 41 (layers: yes), 18467 (count 3), 6334 (hidden 1 = 1); 26500, 19169,
    // 15724, 11478 change nothing; 29358: the mask is left alone.
    SchemaRecord s = MakeSchema({0, 1}, 2);
    MutateSchema(s, TestSettings(3));
    EXPECT_EQ(s.layerCount, 3);
    EXPECT_EQ(s.hiddenSize[0], 1);
    EXPECT_EQ(MaskWord(s), 0b11u);
    // 26962, 24464 no; 5705: momentum from 28145; 23281 no; 16827: mask left alone.
    s = MakeSchema({0, 1}, 2);
    MutateSchema(s, TestSettings(3));
    EXPECT_EQ(s.momentum, 0.9 * (28145 / 32767.0));
    EXPECT_EQ(MaskWord(s), 0b11u);
    EXPECT_EQ(NextRandom(), 9961);
    // Seed 3590: 11762, 26562, 26637, 13285 change nothing, so the mask is chosen without a
    // draw; 10337 and 8176 (below 32767 / 3) invert bits 0 and 2.
    SeedRandom(3590);
    s = MakeSchema({0, 1}, 2);
    MutateSchema(s, TestSettings(3));
    EXPECT_EQ(MaskWord(s), 0b110u);
    EXPECT_EQ(NextRandom(), 9128);
}

class GenNextPopTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        InstallSettings(TestSettings(6));
    }
    // Distinct schemas; `bestAt` has the lowest error.
    std::vector<SchemaRecord> Old(int size, int bestAt) {
        std::vector<SchemaRecord> old;
        for (int i = 0; i < size; ++i) {
            old.push_back(Scored(i == bestAt ? 0.1 : 0.5 + 0.01 * i, 100 + i));
            old.back().learningRate = 0.1 * (i + 1);
        }
        return old;
    }
    // Breeds with `seed` and checks the result against the same steps done by hand: new
    // schema 1 is the best, then for each visited schema a mutant (u < rate) or a crossover.
    // With `worst` given, the method replaces the worst schema by a fresh draw first.
    void Check(const std::vector<SchemaRecord>& old, int newSize, double mutationRate, int best,
               const std::vector<int>& visits, const std::vector<int>& extraMutants,
               int worst = -1) {
        InstallPopulation(old);
        SeedRandom(77);
        const int16_t method = worst < 0 ? BREED_OFFSPRING : BREED_REPLACE_WORST;
        ASSERT_STREQ(GenNextPop(int16_t(newSize), method, 2.0, mutationRate, 2, 5.0), "OK");
        SeedRandom(77);
        std::vector<SchemaRecord> work = old;
        if (worst >= 0) NewRandomSchema(work[size_t(worst)], Settings());
        std::vector<SchemaRecord> expected = {old[size_t(best)]};
        for (int v : visits) {
            const bool mutant = RandomUniform(0.0, 1.0) < mutationRate;
            SchemaRecord child = work[size_t(mutant ? v : best)];
            if (mutant)
                MutateSchema(child, Settings());
            else
                CrossSchemas(child, work[size_t(v)], 2.0, Settings());
            expected.push_back(child);
        }
        for (int v : extraMutants) {
            expected.push_back(work[size_t(v)]);
            MutateSchema(expected.back(), Settings());
        }
        std::vector<SchemaRecord> bred = Schemas();
        ASSERT_EQ(bred.size(), expected.size());
        for (size_t i = 0; i < bred.size(); ++i)
            EXPECT_TRUE(Same(bred[i], expected[i])) << i;
        PopulationHeader h = Header();
        EXPECT_TRUE(h.populationSize == newSize && h.generation == 2 && h.currentSchema == 1 &&
                    h.schemaState == POP_READY && h.bestError == old[size_t(best)].error &&
                    h.bestEpochs == old[size_t(best)].epochs && h.goal == 5.0);
    }
};

TEST_F(GenNextPopTest, Checks) {
    const char* bad = "Bad Parameter in GenNextPop";
    for (auto a : {std::vector<double>{0, 1, 1.0, 0.1, 1, 0.1},
                   {10, 4, 1.0, 0.1, 1, 0.1},
                   {10, 1, 10.5, 0.1, 1, 0.1},
                   {10, 1, NAN, 0.1, 1, 0.1},
                   {10, 1, 1.0, 1.1, 1, 0.1},
                   {10, 1, 1.0, 0.1, 5, 0.1},
                   {10, 1, 1.0, 0.1, 1, -1},
                   {3854, 1, 1.0, 0.1, 1, 0.1}})
        EXPECT_STREQ(GenNextPop(int16_t(a[0]), int16_t(a[1]), a[2], a[3], int16_t(a[4]), a[5]),
                     bad);
    EXPECT_STREQ(GenNextPop(10, 1, 10.0, 1.0, 1, 0.1), "Call InitPop before GenNextPop");
}

TEST_F(GenNextPopTest, OffspringWhenGrowingAndShrinking) {
    Check(Old(4, 2), 6, 0.5, 2, {0, 1, 3}, {0, 1});    // old 3 best; mutants of old 1, 2
    Check(Old(2, 0), 7, 1.0, 0, {1}, {0, 1, 0, 1, 0}); // more than twofold: cycling
    Check(Old(6, 4), 3, 0.0, 4, {0, 1}, {});           // full after two offspring
    Check(Old(4, 2), 4, 0.0, 2, {0, 1, 3}, {}, 3);     // old 4, the worst, drawn afresh
}

// Fresh breeding keeps the best and draws every other schema anew.
TEST_F(GenNextPopTest, FreshDrawsAllButTheBest) {
    const std::vector<SchemaRecord> old = Old(4, 1);
    InstallPopulation(old);
    SeedRandom(5);
    ASSERT_STREQ(GenNextPop(3, BREED_FRESH, 1.0, 0.0, 2, 5.0), "OK");
    SeedRandom(5);
    std::vector<SchemaRecord> expected = {old[1], {}, {}};
    NewRandomSchema(expected[1], Settings());
    NewRandomSchema(expected[2], Settings());
    for (size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(Same(Schemas()[i], expected[i])) << i;
}

} // namespace
