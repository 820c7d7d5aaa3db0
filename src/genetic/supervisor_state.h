// GeneticSupervisor: the supervisor's one process-wide record. It owns the settings, the saved
// copy of the network it was initialised from, the population header, the schema records and
// the unload column. Every block is a movable global block, locked only within one call, except
// the unload column, which stays pinned because its address is handed to the worksheet.
#pragma once

#include "engine/conversions.h"
#include "platform/locked_block.h"
#include "platform/platform.h"
#include "quar1432.h"

#include <cstddef>
#include <cstdint>

constexpr int32_t kMaskBytes = 32;
constexpr int32_t kMaskBits = 256;
// A population column of 33 + 17 x size rows must fit the 16-bit row count of a multi.
constexpr int32_t kMaxPopulationSize = (65535 - 33) / 17;
constexpr int32_t kSettingsElements = 17;
constexpr int32_t kHeaderElements = 16;
constexpr int32_t kSchemaElements = 17;
constexpr int32_t kColumnHeadElements = kSettingsElements + kHeaderElements;
constexpr int32_t kMaskTextBytes = 66; // count byte, 64 letters, terminating zero
constexpr int32_t kUntrainedEpochs = 1000000000;
constexpr int32_t kSchemaCells = 12; // the input names, then 11 numbers

enum { POP_READY = 0, SCHEMA_STARTED = 1, SCHEMA_IN_PROCESS = 2, SCHEMA_FINISHED = 3 };
enum { BREED_OFFSPRING = 1, BREED_REPLACE_WORST = 2, BREED_FRESH = 3 };
enum { MODE_TRAIN_GOAL = 1, MODE_TRAIN_EPOCHS = 2, MODE_TEST_GOAL = 3, MODE_TEST_EPOCHS = 4 };

struct SupervisorSettings {
    double inclusionProbability;
    int32_t candidateInputs;
    int32_t outputColumns;
    int32_t totalRows;
    int32_t window;
    int32_t patternStep;
    int32_t blankRows;
    int32_t blankPatternRows;
    int32_t maxLayers;
    int32_t maxHidden[4]; // hidden layers 1 ... 4
    double minLearningRate;
    double maxMomentum;
    double maxNoise;
    int32_t calcMethod;
};

struct PopulationHeader {
    int32_t generation;
    int32_t currentSchema; // from 1
    int32_t schemaState;
    double bestError;
    int32_t bestEpochs;
    int32_t populationSize;
    int32_t breedMethod;
    double crossoverRate;
    double mutationRate;
    int32_t trainMode;
    double goal;
    double trainTolerance;
    double testTolerance;
    int32_t useSeed;
    double weightSeed;
    double weightRange;
};

struct SchemaRecord {
    uint8_t inputMask[kMaskBytes]; // bit k: byte k / 8, value 2^(k mod 8)
    int32_t layerCount;
    int32_t hiddenSize[4]; // hidden layers 1 ... 4; 0 beyond layerCount - 2
    double learningRate;
    double momentum;
    double noise;
    int32_t transferCode;
    double gain;
    int32_t prune;
    double threshold;
    int32_t autoRate;
    double margin;
    double error;
    int32_t epochs;
};

// The dimensions the saved blocks were built with. The settings can be replaced by a reloaded
// population; these cannot, so a copy is only made when the two agree.
struct SavedGeometry {
    int32_t inputColumns;
    int32_t outputColumns;
    int32_t totalRows;
    int32_t window;
    int32_t blankRows;
    int32_t blankPatternRows;
    int32_t calcMethod;
    int32_t dataRows; // totalRows - blankRows
    int32_t patterns; // totalRows - blankPatternRows - window + 1
};

struct GeneticSupervisor {
    BlockHandle settings; // a non-zero handle is the test for an initialised supervisor
    BlockHandle savedInputBlock;
    BlockHandle savedTargetBlock;
    BlockHandle savedPatternFlags;
    BlockHandle savedBlankRowFlags;
    int32_t savedDataModeActive;
    SavedGeometry saved;

    BlockHandle header;
    BlockHandle schemas;
    int32_t schemaCount; // records in `schemas`; the header's populationSize always equals it

    BlockHandle unloadArray;     // pinned
    BlockHandle unloadMaskTexts; // pinned
    XLOPER* unloadCells;
    unsigned char* unloadTexts;

    XLOPER schemaCells[kSchemaCells]; // GetSchema's answer
};

extern GeneticSupervisor gSuper;

inline bool SupervisorExists() {
    return gSuper.settings != nullptr;
}
inline bool PopulationExists() {
    return gSuper.header != nullptr && gSuper.schemas != nullptr && gSuper.schemaCount >= 1;
}

// Epoch counts stop at the largest 32-bit value instead of wrapping.
int32_t AddEpochs(int32_t total, int32_t more);

// True when x lies in lo ... hi (false for NaN).
inline bool InRange(double x, double lo, double hi) {
    return x >= lo && x <= hi;
}
