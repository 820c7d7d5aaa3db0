// The genetic supervisor's operations, one call of the add-in each.
#pragma once

#include "data/cell_types.h"
#include "quar1432.h"

#include <cstdint>

// Records the gene ranges and saves a copy of the network's data blocks.
const char* InitSupervisor(double inclusionProbability, int16_t maxLayers, int16_t maxHidden1,
                           int16_t maxHidden2, int16_t maxHidden3, int16_t maxHidden4,
                           double minLearningRate, double maxMomentum, double maxNoise);
// Draws a first population of random schemas.
const char* InitPopulation(int16_t populationSize, int16_t breedMethod, int16_t trainMode,
                           double goal);
// Builds, trains or scores the current schema for one call; answers the state reached.
const char* TrainSchemaStep(int16_t epochsPerCall, int16_t maxSchemaEpochs, double hours,
                            double trainRise, double testRise);
// Breeds the next generation.
const char* BreedNextPopulation(int16_t newSize, int16_t breedMethod, double crossoverRate,
                                double mutationRate, int16_t trainMode, double goal);
// The population as one worksheet column, or a refusal.
CellsAnswer UnloadPopulation();
// Replaces the population from a worksheet column made by UnloadPopulation.
const char* ReloadPopulation(XLOPER* column);
// A schema (0: the best) as kSchemaCells cells, its input names kept in `columnNames`; or a
// refusal.
CellsAnswer SchemaDescription(XLOPER* columnNames, int16_t selector);
