// TrainNextSchema: set-up of each schema's network, the four training modes and their
// judgements, and the states a reloaded population can bring.
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
        LoadDoubleNetwork(inputs, targets);
        ASSERT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.2, 0.9, 0.0), "OK");
    }
    // A population of these schemas, trained with fixed weight seeds.
    void Population(const std::vector<SchemaRecord>& schemas, int32_t mode, double goal) {
        InstallPopulation(schemas, mode);
        PopulationHeader h = Header();
        h.goal = goal;
        h.useSeed = 1;
        h.weightSeed = 7.0;
        SetHeader(h);
    }
    SchemaRecord Schema(std::vector<int> bits, int32_t hidden = 3) {
        SchemaRecord s = MakeSchema(bits, 3, {hidden});
        s.learningRate = 0.5;
        s.momentum = 0.5;
        return s;
    }
    SchemaRecord Current() { return Schemas()[size_t(Header().currentSchema - 1)]; }
};

TEST_F(TrainingTest, ArgumentChecks) {
    const char* bad = "Bad Parameter in TrainNextSchema";
    EXPECT_STREQ(TrainNextSchema(10, 0, 0.0, 0.0, 0.0), "Call InitPop before TrainNextSchema");
    EXPECT_STREQ(TrainNextSchema(-1, 0, 0.0, 0.0, 0.0), bad);
    EXPECT_STREQ(TrainNextSchema(10, 0, -0.5, 0.0, 0.0), bad);
    EXPECT_STREQ(TrainNextSchema(10, 0, std::nan(""), 0.0, 0.0), bad);
    EXPECT_STREQ(TrainNextSchema(10, 0, 0.0, 1.5, 0.0), bad);
    EXPECT_STREQ(TrainNextSchema(10, 0, 0.0, 0.0, -0.1), bad);
    Population({Schema({0})}, MODE_TRAIN_GOAL, 0.01);
    EXPECT_STREQ(TrainNextSchema(0, 0, 0.0, 0.0, 0.0), bad); // no step would run
    EXPECT_EQ(Header().schemaState, POP_READY);
    EXPECT_STRNE(TrainNextSchema(2, 0, 0.0, 1.0, 1.0), bad);
}

TEST_F(TrainingTest, SetUpCopiesTheChosenColumns) {
    gNet.dataModeActive = 1;
    std::vector<int32_t> flags = {0, 1, 0, 1, 0, 5, 0, 1, 0, 0, 1, 0};
    PutBlockValues<int32_t>(gNet.patternFlagsBlock, 0, flags);
    ASSERT_STREQ(InitSuper(0.5, 3, 4, 0, 0, 0, 0.2, 0.9, 0.0), "OK");
    const std::vector<double> saved = BlockValues<double>(gSuper.savedInputBlock, 0, 6 + 36);
    const std::vector<double> targets = BlockValues<double>(gSuper.savedTargetBlock, 0, 14);

    Population({Schema({0, 2}, 4)}, MODE_TRAIN_EPOCHS, 5.0);
    ASSERT_STREQ(TrainNextSchema(5, 0, 0.0, 0.0, 0.0), "Population Tested");
    ASSERT_EQ(gNet.inputColumns, 2);
    EXPECT_EQ(gNet.layerCount, 3);
    EXPECT_EQ(gNet.layerSize[1], 4);
    EXPECT_EQ(gNet.dataModeActive, 1);
    std::vector<double> engine = BlockValues<double>(gNet.inputBlock, 0, 4 + 24);
    EXPECT_EQ(engine[0], saved[0]); // min of column 0
    EXPECT_EQ(engine[1], saved[2]); // min of column 2
    EXPECT_EQ(engine[2], saved[3]); // max of column 0
    EXPECT_EQ(engine[3], saved[5]); // max of column 2
    for (int r = 0; r < 12; ++r) {
        EXPECT_EQ(engine[size_t(4 + 2 * r)], saved[size_t(6 + 3 * r)]) << r;
        EXPECT_EQ(engine[size_t(5 + 2 * r)], saved[size_t(8 + 3 * r)]) << r;
    }
    EXPECT_EQ(BlockValues<double>(gNet.targetBlock, 0, 14), targets);
    EXPECT_EQ(BlockValues<int32_t>(gNet.patternFlagsBlock, 0, 12), flags);
    EXPECT_EQ(gNet.errorHistoryCount, 0); // the run history is reset after every call
    EXPECT_EQ(gNet.learningRate, 0.5);
}

TEST_F(TrainingTest, FixedEpochModesWalkThePopulation) {
    Population({Schema({0}), Schema({1}), Schema({0, 1, 2})}, MODE_TRAIN_EPOCHS, 10.0);
    const char* answers[] = {"OK", "OK", "Population Tested"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(TrainNextSchema(10, 0, 0.0, 0.0, 0.0), answers[i]);
        EXPECT_EQ(Header().currentSchema, i + 1);
        EXPECT_EQ(Schemas()[size_t(i)].epochs, 10);
        EXPECT_LT(Schemas()[size_t(i)].error, 1.0);
    }
    EXPECT_EQ(Header().schemaState, POP_READY);
    // A further call retrains the last schema; it never moves past it.
    EXPECT_STREQ(TrainNextSchema(10, 0, 0.0, 0.0, 0.0), "Population Tested");
    EXPECT_EQ(Header().currentSchema, 3);
    EXPECT_EQ(gNet.inputColumns, 3);
}

TEST_F(TrainingTest, FixedEpochJudgement) {
    Population({Schema({0})}, MODE_TRAIN_EPOCHS, 100.0);
    for (int calls = 1; calls <= 3; ++calls) {
        EXPECT_STREQ(TrainNextSchema(30, 0, 0.0, 0.0, 0.0), "In Process");
        EXPECT_EQ(Current().epochs, 30 * calls);
    }
    EXPECT_STREQ(TrainNextSchema(30, 0, 0.0, 0.0, 0.0), "Population Tested");
    EXPECT_EQ(Current().epochs, 120);

    Population({Schema({0})}, MODE_TRAIN_EPOCHS, 100.0);
    EXPECT_STREQ(TrainNextSchema(30, 50, 0.0, 0.0, 0.0), "In Process");
    EXPECT_STREQ(TrainNextSchema(30, 50, 0.0, 0.0, 0.0), "Population Tested");
    EXPECT_EQ(Current().epochs, 60);

    // A run ended by the time budget finishes the schema at once.
    Population({Schema({0}), Schema({1})}, MODE_TEST_EPOCHS, 100.0);
    EXPECT_STREQ(TrainNextSchema(30, 0, 1e-9, 0.0, 0.0), "OK");
    EXPECT_EQ(Schemas()[0].epochs, 0);
}

TEST_F(TrainingTest, RecallModesScoreTheRecallRun) {
    for (int32_t mode : {MODE_TEST_GOAL, MODE_TEST_EPOCHS}) {
        Population({Schema({0, 1})}, mode, mode == MODE_TEST_GOAL ? 0.001 : 8.0);
        TrainNextSchema(8, 0, 0.0, 0.0, 0.0);
        const SchemaRecord s = Current();
        EXPECT_EQ(s.epochs, 8) << mode;
        // A recall leaves the weights alone, so another one measures the same error.
        FP* again = RunNet(0, 1);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(s.error, again->array[2]) << mode;
    }
    // The training modes keep the training run's error instead.
    Population({Schema({0, 1})}, MODE_TRAIN_EPOCHS, 8.0);
    TrainNextSchema(8, 0, 0.0, 0.0, 0.0);
    EXPECT_NE(Current().error, RunNet(0, 1)->array[2]);
}

TEST_F(TrainingTest, GoalModesJudgement) {
    // A goal of 1.0 is met by the first step.
    Population({Schema({0})}, MODE_TRAIN_GOAL, 1.0);
    EXPECT_STREQ(TrainNextSchema(20, 0, 0.0, 0.0, 0.0), "Population Tested");
    EXPECT_EQ(Current().epochs, 2);

    // A goal of 0.0 is never met: 5 asked gives three steps; the bound ends the schema.
    Population({Schema({0}), Schema({2})}, MODE_TRAIN_GOAL, 0.0);
    EXPECT_STREQ(TrainNextSchema(5, 10, 0.0, 0.0, 0.0), "In Process");
    EXPECT_EQ(Current().epochs, 6);
    EXPECT_STREQ(TrainNextSchema(5, 10, 0.0, 0.0, 0.0), "OK");
    EXPECT_EQ(Current().epochs, 12);

    // Steps stopped by the time budget still count 2 epochs and finish the schema.
    Population({Schema({0})}, MODE_TEST_GOAL, 0.0);
    EXPECT_STREQ(TrainNextSchema(20, 0, 1e-9, 0.0, 0.0), "Population Tested");
    EXPECT_EQ(Current().epochs, 2);

    // A reachable goal: the call stops early once the error falls below it.
    Population({Schema({0}, 4)}, MODE_TRAIN_GOAL, 0.2);
    std::string answer = "In Process";
    int calls = 0;
    while (answer == "In Process" && calls < 50) {
        answer = TrainNextSchema(20, 0, 0.0, 0.0, 0.0);
        ++calls;
        const SchemaRecord s = Current();
        EXPECT_EQ(s.epochs % 2, 0);
        if (answer == "In Process") EXPECT_GT(s.error, 0.2);
    }
    ASSERT_EQ(answer, "Population Tested");
    EXPECT_LE(Current().error, 0.2);
    EXPECT_LT(Current().epochs, 20 * calls);
}

TEST_F(TrainingTest, RefusedNetworkGetsTheWorstScore) {
    SchemaRecord tooDeep = Schema({0});
    tooDeep.layerCount = 7;
    SchemaRecord noInputs = Schema({});
    Population({tooDeep, noInputs, Schema({1})}, MODE_TRAIN_EPOCHS, 4.0);
    EXPECT_STREQ(TrainNextSchema(4, 0, 0.0, 0.0, 0.0), "Incorrect network size");
    EXPECT_EQ(Header().schemaState, SCHEMA_FINISHED);
    EXPECT_EQ(Schemas()[0].error, 1.0);
    EXPECT_EQ(Schemas()[0].epochs, 1000000000);
    EXPECT_STRNE(TrainNextSchema(4, 0, 0.0, 0.0, 0.0), "OK"); // InitBP refuses 0 inputs
    EXPECT_EQ(Schemas()[1].epochs, 1000000000);
    EXPECT_STREQ(TrainNextSchema(4, 0, 0.0, 0.0, 0.0), "Population Tested");
    EXPECT_EQ(Schemas()[2].epochs, 4);
}

TEST_F(TrainingTest, StatesThatNeedANewSetUp) {
    Population({Schema({0}), Schema({1})}, MODE_TRAIN_EPOCHS, 100.0);
    EXPECT_STREQ(TrainNextSchema(10, 0, 0.0, 0.0, 0.0), "In Process");
    EXPECT_STREQ(TrainNextSchema(10, 0, 0.0, 0.0, 0.0), "In Process");
    EXPECT_EQ(Current().epochs, 20);

    // The add-in built another network meanwhile: the schema is set up again.
    ASSERT_STREQ(InitBP(2, 1, 12, 1, 1, 0, 2, 0, 0, 0, 0, CALC_DOUBLE), "OK");
    EXPECT_STREQ(TrainNextSchema(10, 0, 0.0, 0.0, 0.0), "In Process");
    EXPECT_EQ(Current().epochs, 10);
    EXPECT_EQ(gNet.inputColumns, 1);

    // A state no call writes reads as "ready"; "finished" at the last schema too.
    for (int32_t state : {7, -1, int32_t(SCHEMA_FINISHED)}) {
        PopulationHeader h = Header();
        h.currentSchema = 2;
        h.schemaState = state;
        SetHeader(h);
        EXPECT_STREQ(TrainNextSchema(10, 0, 0.0, 0.0, 0.0), "In Process") << state;
        EXPECT_EQ(Header().currentSchema, 2);
        EXPECT_EQ(Current().epochs, 10);
    }
}

TEST_F(TrainingTest, SettingsThatDoNotMatchTheSavedNetwork) {
    Population({Schema({0})}, MODE_TRAIN_EPOCHS, 10.0);
    {
        // As a population reloaded from another workbook could say.
        LockedBlock<SupervisorSettings> s(gSuper.settings);
        s->candidateInputs = 200;
        s->totalRows = 400;
    }
    EXPECT_STREQ(TrainNextSchema(10, 0, 0.0, 0.0, 0.0),
                 "Population does not match the network saved by InitSuper");
    EXPECT_EQ(Header().schemaState, POP_READY);
}

} // namespace
