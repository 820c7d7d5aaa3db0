// TrainNextSchema: the four training modes, their judgements, and the states that need a new
// set-up.
#include "engine/network_state.h"
#include "genetic/population.h"
#include "support/fresh_library.h"
#include "support/genetic_support.h"

#include <cmath>
#include <string>

namespace {

class TrainingTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        PlatformSetClock(1000);
        // Twelve rows of three inputs, the first of them also the target; 2 hidden units.
        ASSERT_STREQ(InitBP(3, 1, 12, 1, 1, 0, 3, 2, 0, 0, 0, CALC_DOUBLE), "OK");
        std::vector<double> columns[3];
        for (int r = 0; r < 12; ++r) {
            columns[0].push_back(r / 11.0);
            columns[1].push_back((r * 7 % 5) / 4.0);
            columns[2].push_back((r % 3) / 2.0);
        }
        for (int16_t c = 0; c < 3; ++c)
            ASSERT_STREQ(SetColumn(COLUMN_INPUT, c, Column(columns[c]).get()), "OK");
        ASSERT_STREQ(SetColumn(COLUMN_OUTPUT, 0, Column(columns[0]).get()), "OK");
        ASSERT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.2, 0.9, 0.0), "OK");
    }
    void Population(const std::vector<std::vector<int>>& masks, int32_t mode, double goal) {
        std::vector<SchemaRecord> schemas;
        for (const auto& bits : masks)
            schemas.push_back(MakeSchema(bits, 3, {3}));
        InstallPopulation(schemas, mode);
        PopulationHeader h = Header();
        h.goal = goal;
        SetHeader(h);
    }
    SchemaRecord Current() { return Schemas()[size_t(Header().currentSchema - 1)]; }
    std::string Train(int16_t epochs, int16_t max = 0, double hours = 0.0) {
        return TrainNextSchema(epochs, max, hours, 0.0, 0.0);
    }
};

TEST_F(TrainingTest, ArgumentChecks) {
    const char* bad = "Bad Parameter in TrainNextSchema";
    EXPECT_STREQ(TrainNextSchema(10, 0, 0.0, 0.0, 0.0), "Call InitPop before TrainNextSchema");
    for (auto a : {std::vector<double>{-1, 0, 0, 0},
                   {10, -0.5, 0, 0},
                   {10, NAN, 0, 0},
                   {10, 0, 1.5, 0},
                   {10, 0, 0, -0.1}})
        EXPECT_STREQ(TrainNextSchema(int16_t(a[0]), 0, a[1], a[2], a[3]), bad);
    // No mode could ever finish a schema that trains for no epochs per call.
    Population({{0}}, MODE_TRAIN_GOAL, 10.0);
    EXPECT_STREQ(TrainNextSchema(0, 0, 0.0, 0.0, 0.0), bad);
    EXPECT_STRNE(TrainNextSchema(2, 0, 0.0, 1.0, 1.0), bad);
}

// A schema is finished by its epochs, its goal, the epochs cap or the time budget; a goal step
// trains 2 epochs at least, and a step the budget stopped still counts 2. A row with masks
// starts a new population, a row without continues the one before.
TEST_F(TrainingTest, SchemasFinishByEpochsGoalsCapsAndBudgets) {
    const struct {
        int32_t mode;
        double goal;
        std::vector<std::vector<int>> masks;
        int16_t epochs, max;
        double hours;
        const char* answer;
        int32_t epochsAfter;
    } calls[] = {
        {MODE_TRAIN_EPOCHS, 50.0, {{0}}, 30, 0, 0, "In Process", 30},
        {0, 0, {}, 30, 0, 0, "Population Tested", 60},
        {MODE_TRAIN_EPOCHS, 100.0, {{0}}, 30, 50, 0, "In Process", 30},
        {0, 0, {}, 30, 50, 0, "Population Tested", 60},
        {MODE_TRAIN_GOAL, 1.0, {{0}}, 20, 0, 0, "Population Tested", 2},
        {MODE_TRAIN_GOAL, 0.0, {{0}, {2}}, 5, 10, 0, "In Process", 6},
        {0, 0, {}, 5, 10, 0, "OK", 12},
        {MODE_TEST_GOAL, 0.0, {{0}}, 20, 0, 1e-9, "Population Tested", 2},
        {MODE_TEST_EPOCHS, 100.0, {{0}, {1}}, 30, 0, 1e-9, "OK", 0},
    };
    for (size_t k = 0; k < std::size(calls); ++k) {
        const auto& c = calls[k];
        if (!c.masks.empty()) Population(c.masks, c.mode, c.goal);
        EXPECT_EQ(Train(c.epochs, c.max, c.hours), c.answer) << "row " << k;
        EXPECT_EQ(Schemas()[0].epochs, c.epochsAfter) << "row " << k;
    }
}

TEST_F(TrainingTest, RefusedNetworksAndNewSetUps) {
    Population({{0}, {}, {1}}, MODE_TRAIN_EPOCHS, 100.0);
    SchemaRecord tooDeep = Schemas()[0];
    tooDeep.layerCount = 7;
    WriteBlock<SchemaRecord>(gSuper.schemas, 0, {tooDeep});
    EXPECT_EQ(Train(4), "Incorrect network size");
    EXPECT_TRUE(Header().schemaState == SCHEMA_FINISHED && Current().error == 1.0 &&
                Current().epochs == 1000000000);
    EXPECT_EQ(Train(4), "Incorrect network size"); // no inputs: refused too
    EXPECT_EQ(Current().epochs, 1000000000);
    EXPECT_EQ(Train(10), "In Process");
    EXPECT_EQ(Train(10), "In Process");
    EXPECT_EQ(Current().epochs, 20);

    // Another network was built meanwhile: the schema is set up again.
    ASSERT_STREQ(InitBP(2, 1, 12, 1, 1, 0, 2, 0, 0, 0, 0, CALC_DOUBLE), "OK");
    EXPECT_EQ(Train(10), "In Process");
    EXPECT_EQ(Current().epochs, 10);
    // A state no call writes reads as "ready", and so does "finished" at the last schema.
    for (int32_t state : {7, -1, 3}) {
        PopulationHeader h = Header();
        h.schemaState = state;
        SetHeader(h);
        EXPECT_EQ(Train(10), "In Process") << state;
        EXPECT_TRUE(Header().currentSchema == 3 && Current().epochs == 10);
    }
    // Settings that no longer describe the saved network (a reload from elsewhere).
    Population({{0}}, MODE_TRAIN_EPOCHS, 100.0);
    WriteBlock<int32_t>(gSuper.settings, offsetof(SupervisorSettings, candidateInputs), {200});
    EXPECT_EQ(Train(10), "Population does not match the network saved by InitSuper");
}

} // namespace
