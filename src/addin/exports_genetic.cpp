// The genetic supervisor's exports, in ordinal order.
#include "addin/result_records.h"
#include "genetic/supervisor_ops.h"
#include "quar1432.h"

QUAR_API(const char*)
InitSuper(double inclusionProbability, int16_t maxLayers, int16_t maxHidden1, int16_t maxHidden2,
          int16_t maxHidden3, int16_t maxHidden4, double minLearningRate, double maxMomentum,
          double maxNoise) {
    return InitSupervisor(inclusionProbability, maxLayers, maxHidden1, maxHidden2, maxHidden3,
                          maxHidden4, minLearningRate, maxMomentum, maxNoise);
}

QUAR_API(const char*)
InitPop(int16_t populationSize, int16_t breedMethod, int16_t trainMode, double goal) {
    return InitPopulation(populationSize, breedMethod, trainMode, goal);
}

QUAR_API(const char*)
TrainNextSchema(int16_t epochsPerCall, int16_t maxSchemaEpochs, double hours, double trainRise,
                double testRise) {
    return TrainSchemaStep(epochsPerCall, maxSchemaEpochs, hours, trainRise, testRise);
}

QUAR_API(const char*)
GenNextPop(int16_t newSize, int16_t breedMethod, double crossoverRate, double mutationRate,
           int16_t trainMode, double goal) {
    return BreedNextPopulation(newSize, breedMethod, crossoverRate, mutationRate, trainMode, goal);
}

QUAR_API(XLOPER*) UnloadPop(void) {
    return CellsResult(gResults.population, UnloadPopulation());
}

QUAR_API(const char*) ReloadPop(XLOPER* column) {
    return ReloadPopulation(column);
}

QUAR_API(XLOPER*) GetSchema(XLOPER* columnNames, int16_t selector) {
    return CellsResult(gResults.schema, SchemaDescription(columnNames, selector));
}
