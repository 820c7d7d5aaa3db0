#include "support/genetic_support.h"

#include "genetic/population.h"
#include "genetic/supervisor_release.h"

SupervisorSettings TestSettings(int32_t candidates) {
    SupervisorSettings s = {};
    s.inclusionProbability = 0.5;
    s.candidateInputs = candidates;
    s.outputColumns = 1;
    s.totalRows = 10;
    s.window = s.patternStep = 1;
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
    WriteBlock<SupervisorSettings>(gSuper.settings, 0, {settings});
}

SupervisorSettings Settings() {
    return ReadBlock<SupervisorSettings>(gSuper.settings, 0, 1)[0];
}

void InstallPopulation(const std::vector<SchemaRecord>& schemas, int32_t trainMode) {
    ReleasePopulation();
    gSuper.header = GlobalBlockAlloc(sizeof(PopulationHeader));
    gSuper.schemas = GlobalBlockAlloc(sizeof(SchemaRecord) * schemas.size());
    gSuper.schemaCount = static_cast<int32_t>(schemas.size());
    WriteBlock<SchemaRecord>(gSuper.schemas, 0, schemas);
    PopulationHeader h = {};
    h.generation = h.currentSchema = h.breedMethod = 1;
    h.populationSize = gSuper.schemaCount;
    h.trainMode = trainMode;
    h.goal = trainMode == 1 || trainMode == 3 ? 0.05 : 10.0;
    h.trainTolerance = h.testTolerance = 0.001;
    h.weightSeed = h.weightRange = 1.0;
    SetHeader(h);
}

std::vector<SchemaRecord> Schemas() {
    return ReadBlock<SchemaRecord>(gSuper.schemas, 0, size_t(gSuper.schemaCount));
}

PopulationHeader Header() {
    return ReadBlock<PopulationHeader>(gSuper.header, 0, 1)[0];
}

void SetHeader(const PopulationHeader& header) {
    WriteBlock<PopulationHeader>(gSuper.header, 0, {header});
}

SchemaRecord MakeSchema(const std::vector<int>& bits, int32_t layerCount,
                        const std::vector<int32_t>& hidden) {
    SchemaRecord s = {};
    for (int k : bits)
        SetMaskBit(s.inputMask, k, true);
    s.layerCount = layerCount;
    for (size_t i = 0; i < hidden.size() && i < 4; ++i)
        s.hiddenSize[i] = hidden[i];
    s.learningRate = s.momentum = 0.5;
    SetFreshOptions(s);
    return s;
}

uint32_t MaskWord(const SchemaRecord& s) {
    uint32_t word = 0;
    std::memcpy(&word, s.inputMask, 4);
    return word;
}

bool Same(const SchemaRecord& a, const SchemaRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
