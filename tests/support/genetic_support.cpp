#include "support/genetic_support.h"

#include "engine/network_state.h"
#include "genetic/population.h"
#include "genetic/supervisor_release.h"
#include "support/fresh_library.h"

#include <gtest/gtest.h>

#include <cstring>

const int32_t kDrawsFromSeed1[20] = {41,    18467, 6334,  26500, 19169, 15724, 11478,
                                     29358, 26962, 24464, 5705,  28145, 23281, 16827,
                                     9961,  491,   2995,  11942, 4827,  5436};

SupervisorSettings TestSettings(int32_t candidates) {
    SupervisorSettings s = {};
    s.inclusionProbability = 0.5;
    s.candidateInputs = candidates;
    s.outputColumns = 1;
    s.totalRows = 10;
    s.window = 1;
    s.patternStep = 1;
    s.maxLayers = 4;
    s.maxHidden[0] = 5;
    s.maxHidden[1] = 3;
    s.minLearningRate = 0.2;
    s.maxMomentum = 0.9;
    s.maxNoise = 0.1;
    s.calcMethod = CALC_DOUBLE;
    return s;
}

void InstallSettings(const SupervisorSettings& settings) {
    ReleaseSupervisor();
    gSuper.settings = GlobalBlockAlloc(sizeof(SupervisorSettings));
    LockedBlock<SupervisorSettings> s(gSuper.settings);
    *s = settings;
}

SupervisorSettings Settings() {
    LockedBlock<SupervisorSettings> s(gSuper.settings);
    return *s;
}

void InstallPopulation(const std::vector<SchemaRecord>& schemas, int32_t trainMode) {
    ReleasePopulation();
    gSuper.header = GlobalBlockAlloc(sizeof(PopulationHeader));
    gSuper.schemas = GlobalBlockAlloc(sizeof(SchemaRecord) * schemas.size());
    gSuper.schemaCount = static_cast<int32_t>(schemas.size());
    PopulationHeader h = {};
    h.generation = 1;
    h.currentSchema = 1;
    h.populationSize = gSuper.schemaCount;
    h.breedMethod = 1;
    h.trainMode = trainMode;
    h.goal = trainMode == 1 || trainMode == 3 ? 0.05 : 10.0;
    h.trainTolerance = h.testTolerance = 0.001;
    h.weightSeed = h.weightRange = 1.0;
    SetHeader(h);
    LockedBlock<SchemaRecord> to(gSuper.schemas);
    for (size_t i = 0; i < schemas.size(); ++i)
        to[i] = schemas[i];
}

std::vector<SchemaRecord> Schemas() {
    LockedBlock<SchemaRecord> from(gSuper.schemas);
    return std::vector<SchemaRecord>(from.get(), from.get() + gSuper.schemaCount);
}

PopulationHeader Header() {
    LockedBlock<PopulationHeader> h(gSuper.header);
    return *h;
}

void SetHeader(const PopulationHeader& header) {
    LockedBlock<PopulationHeader> h(gSuper.header);
    *h = header;
}

SchemaRecord MakeSchema(const std::vector<int>& bits, int32_t layerCount,
                        const std::vector<int32_t>& hidden) {
    SchemaRecord s = {};
    for (int k : bits)
        SetMaskBit(s.inputMask, k, true);
    s.layerCount = layerCount;
    for (size_t i = 0; i < hidden.size() && i < 4; ++i)
        s.hiddenSize[i] = hidden[i];
    s.learningRate = 0.5;
    s.momentum = 0.5;
    s.noise = 0.0;
    SetFreshOptions(s);
    return s;
}

void LoadDoubleNetwork(const std::vector<std::vector<double>>& inputs,
                       const std::vector<double>& targets, int32_t hidden) {
    const int16_t rows = static_cast<int16_t>(targets.size());
    const int16_t columns = static_cast<int16_t>(inputs[0].size());
    ASSERT_STREQ(
        InitBP(columns, 1, rows, 1, 1, 0, 3, static_cast<int16_t>(hidden), 0, 0, 0, CALC_DOUBLE),
        "OK");
    for (int16_t c = 0; c < columns; ++c) {
        std::vector<double> column;
        for (const auto& row : inputs)
            column.push_back(row[size_t(c)]);
        OwnedFp fp = Column(column);
        ASSERT_STREQ(SetColumn(COLUMN_INPUT, c, fp.get()), "OK");
    }
    OwnedFp fp = Column(targets);
    ASSERT_STREQ(SetColumn(COLUMN_OUTPUT, 0, fp.get()), "OK");
}
