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
        std::vector<std::vector<double>> inputs;
        std::vector<double> targets;
        for (int r = 0; r < 12; ++r) {
            inputs.push_back({r / 11.0, (r * 7 % 5) / 4.0, (r % 3) / 2.0});
            targets.push_back(r / 11.0);
        }
        LoadDoubleNetwork(inputs, targets, 2);
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
    Population({{0}}, MODE_TRAIN_GOAL, 0.01);
    EXPECT_STREQ(TrainNextSchema(0, 0, 0.0, 0.0, 0.0), bad); // no step would run
    EXPECT_STREQ(TrainNextSchema(2, 0, 0.0, 1.0, 1.0), "In Process");
}

TEST_F(TrainingTest, FixedEpochModes) {
    Population({{0}, {1}, {0, 2}}, MODE_TRAIN_EPOCHS, 10.0);
    for (const char* answer : {"OK", "OK", "Population Tested", "Population Tested"}) {
        EXPECT_EQ(Train(10), answer);
        EXPECT_EQ(Current().epochs, 10);
        EXPECT_LT(Current().error, 1.0);
        EXPECT_EQ(gNet.inputColumns, CountMaskBits(Current().inputMask));
        EXPECT_EQ(gNet.errorHistoryCount, 0); // reset after every call
    }
    EXPECT_EQ(Header().currentSchema, 3); // the last schema is retrained, never passed

    Population({{0}}, MODE_TRAIN_EPOCHS, 100.0);
    for (int epochs : {30, 60, 90})
        EXPECT_TRUE(Train(30) == "In Process" && Current().epochs == epochs);
    EXPECT_EQ(Train(30), "Population Tested");
    EXPECT_EQ(Current().epochs, 120);
    Population({{0}}, MODE_TRAIN_EPOCHS, 100.0);
    EXPECT_EQ(Train(30, 50), "In Process");
    EXPECT_EQ(Train(30, 50), "Population Tested");
    EXPECT_EQ(Current().epochs, 60);
    Population({{0}, {1}}, MODE_TEST_EPOCHS, 100.0);
    EXPECT_EQ(Train(30, 0, 1e-9), "OK"); // the budget ended the run: finished
    EXPECT_EQ(Schemas()[0].epochs, 0);
}

TEST_F(TrainingTest, GoalModes) {
    Population({{0}}, MODE_TRAIN_GOAL, 1.0); // met by the first step
    EXPECT_EQ(Train(20), "Population Tested");
    EXPECT_EQ(Current().epochs, 2);
    Population({{0}, {2}}, MODE_TRAIN_GOAL, 0.0); // never met: 5 asked makes three steps
    EXPECT_EQ(Train(5, 10), "In Process");
    EXPECT_EQ(Current().epochs, 6);
    EXPECT_EQ(Train(5, 10), "OK");
    EXPECT_EQ(Current().epochs, 12);
    Population({{0}}, MODE_TEST_GOAL, 0.0); // a stopped step still counts 2
    EXPECT_EQ(Train(20, 0, 1e-9), "Population Tested");
    EXPECT_EQ(Current().epochs, 2);

    Population({{0}}, MODE_TRAIN_GOAL, 0.2);
    std::string answer = "In Process";
    for (int calls = 0; calls < 50 && answer == "In Process"; ++calls) {
        answer = Train(20);
        EXPECT_EQ(Current().epochs % 2, 0);
        EXPECT_TRUE(answer != "In Process" || Current().error > 0.2);
    }
    EXPECT_EQ(answer, "Population Tested");
    EXPECT_LE(Current().error, 0.2);
}

TEST_F(TrainingTest, RecallModesScoreTheRecallRun) {
    for (int32_t mode : {MODE_TEST_GOAL, MODE_TEST_EPOCHS, MODE_TRAIN_EPOCHS}) {
        Population({{0, 1}}, mode, mode == MODE_TEST_GOAL ? 0.001 : 8.0);
        Train(8);
        EXPECT_EQ(Current().epochs, 8);
        // A recall leaves the weights alone, so another one measures the same error.
        const double recall = RunNet(0, 1)->array[2];
        EXPECT_EQ(Current().error == recall, mode != MODE_TRAIN_EPOCHS) << mode;
    }
}

TEST_F(TrainingTest, RefusedNetworksAndNewSetUps) {
    Population({{0}, {}, {1}}, MODE_TRAIN_EPOCHS, 100.0);
    SchemaRecord tooDeep = Schemas()[0];
    tooDeep.layerCount = 7;
    PutBlockValues<SchemaRecord>(gSuper.schemas, 0, {tooDeep});
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
    PutBlockValues<int32_t>(gSuper.settings, offsetof(SupervisorSettings, candidateInputs), {200});
    EXPECT_EQ(Train(10), "Population does not match the network saved by InitSuper");
}

} // namespace
