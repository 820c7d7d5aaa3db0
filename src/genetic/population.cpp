#include "genetic/population.h"
#include "genetic/supervisor_ops.h"

#include "engine/random.h"
#include "genetic/supervisor_release.h"

#include <cstring>

double RandomUniform(double lo, double hi) {
    int32_t d = NextRandom();
    return lo + (hi - lo) * (d / 32767.0);
}

int32_t RandomInt(int32_t n) {
    int32_t d = NextRandom();
    return static_cast<int32_t>(n * (d / 32767.0));
}

int32_t CountMaskBits(const uint8_t* mask) {
    int32_t count = 0;
    for (int32_t k = 0; k < kMaskBits; ++k)
        count += MaskBit(mask, k);
    return count;
}

void SetGenerationTraining(PopulationHeader& header, int32_t trainMode, double goal) {
    header.trainMode = trainMode;
    if (IsGoalMode(trainMode))
        header.goal = goal > 1.0 ? 1.0 : goal;
    else
        header.goal = goal < 1.0 ? 1.0 : goal;
    header.trainTolerance = 0.001;
    header.testTolerance = 0.001;
    header.useSeed = 0;
    header.weightSeed = 1.0;
    header.weightRange = 1.0;
}

void CopySchema(SchemaRecord& to, const SchemaRecord& from) {
    std::memcpy(&to, &from, sizeof(SchemaRecord));
}

void SetFreshOptions(SchemaRecord& s) {
    s.transferCode = 3;
    s.gain = 1.0;
    s.prune = 0;
    s.threshold = 1.0;
    s.autoRate = 0;
    s.margin = 0.1;
    s.error = 1.0;
    s.epochs = kUntrainedEpochs;
}

void NewRandomSchema(SchemaRecord& s, const SupervisorSettings& settings) {
    std::memset(s.inputMask, 0, sizeof s.inputMask);
    for (int32_t k = 0; k < kMaskBits && k < settings.candidateInputs; ++k) {
        double u = RandomUniform(0.0, 1.0);
        if (u < settings.inclusionProbability) SetMaskBit(s.inputMask, k, true);
    }
    if (CountMaskBits(s.inputMask) == 0) SetMaskBit(s.inputMask, 0, true);

    s.layerCount = RandomInt(settings.maxLayers - 1) + 2;
    for (int32_t i = 0; i < 4; ++i)
        if (s.layerCount < i + 3) s.hiddenSize[i] = 0;
    for (int32_t i = 0; i < 4; ++i)
        if (s.layerCount >= i + 3) s.hiddenSize[i] = WrapAdd32(RandomInt(settings.maxHidden[i]), 1);

    s.learningRate = RandomUniform(settings.minLearningRate, 1.0);
    s.momentum = RandomUniform(0.0, settings.maxMomentum);
    s.noise = RandomUniform(0.0, settings.maxNoise);
    SetFreshOptions(s);
}

const char* InitPopulation(int16_t populationSize, int16_t breedMethod, int16_t trainMode,
                           double goal) {
    if (populationSize < 1 || populationSize > kMaxPopulationSize || breedMethod < 1 ||
        breedMethod > 3 || trainMode < 1 || trainMode > 4 || !(goal >= 0.0))
        return "Bad Parameter in InitPop";
    if (!SupervisorExists()) return "Call InitSuper before InitPop";

    ReleasePopulation();
    gSuper.header = GlobalBlockAlloc(sizeof(PopulationHeader));
    if (!gSuper.header) {
        ReleasePopulation();
        return "Insufficient memory in Genetic Supervisor (6).";
    }
    {
        LockedBlock<PopulationHeader> header(gSuper.header);
        header->generation = 1;
        header->currentSchema = 1;
        header->schemaState = POP_READY;
        header->bestError = 0.0;
        header->bestEpochs = 0;
        header->populationSize = populationSize;
        header->breedMethod = breedMethod;
        header->crossoverRate = 0.0;
        header->mutationRate = 0.0;
        SetGenerationTraining(*header, trainMode, goal);
    }

    gSuper.schemas = GlobalBlockAlloc(sizeof(SchemaRecord) * size_t(populationSize));
    if (!gSuper.schemas) {
        ReleasePopulation();
        return "Insufficient memory in Genetic Supervisor (7).";
    }
    gSuper.schemaCount = populationSize;

    LockedBlock<const SupervisorSettings> settings(gSuper.settings);
    LockedBlock<SchemaRecord> schemas(gSuper.schemas);
    for (int32_t i = 0; i < populationSize; ++i)
        NewRandomSchema(schemas[i], *settings);
    return "OK";
}
