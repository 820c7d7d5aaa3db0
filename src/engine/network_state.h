// NetworkState: the engine's one process-wide record. It owns every block of the current
// network (from InitBP to the next InitBP or CleanUp), the training parameters, the transfer
// settings, the run history and the generator. Declared here, defined in network_state.cpp.
#pragma once

#include "platform/platform.h"
#include "quar1432.h"

#include <cstdint>

constexpr int32_t kMaxLayers = 6;
constexpr int32_t kMaxWeights = 131008;
constexpr int32_t kWeightFpColumns = 8;
constexpr int32_t kMaxWeightFpRows = 680;
constexpr int32_t kHistoryPoints = 254;
constexpr int32_t kTransferTableSize = 1281;
constexpr double kFixedWeightOne = 67108864.0; // 2^26: the fixed-point weight scale

struct NetworkState {
    // ---- Dimensions (InitBP) ----
    int32_t calcMethod;
    int32_t inputColumns;
    int32_t outputColumns;
    int32_t window;
    int32_t patternStep;
    int32_t rows;
    int32_t blankRows;
    int32_t blankPatternRows;
    int32_t patterns;
    int32_t layerCount;
    int32_t layerSize[kMaxLayers];
    int32_t weightCount;
    int32_t largeWeights;
    int32_t weightFpColumns;
    int32_t weightFpRows;

    // ---- Special rows and data mode ----
    int32_t minRow;
    int32_t maxRow;
    int32_t symbolRow;
    int32_t dataModeActive;

    // ---- Memory blocks (0 = none) ----
    BlockHandle weightFp; // pinned; a non-zero handle is the test for an existing network
    BlockHandle weightsBlock;
    BlockHandle inputBlock;
    BlockHandle targetBlock;
    BlockHandle outputBlock;
    BlockHandle patternFlagsBlock;
    BlockHandle blankRowFlags;
    BlockHandle outputsFp;          // pinned
    BlockHandle blankFlagsFp;       // pinned
    BlockHandle histogramFp;        // exists only during WeightHistStr
    BlockHandle columnScratchFp;    // pinned
    BlockHandle translatedOutputs;  // pinned
    BlockHandle inputSymbolTables;  // pinned: one table handle per input column
    BlockHandle outputSymbolTables; // pinned: one table handle per output column
    int32_t inputSymbolTableCount;
    int32_t outputSymbolTableCount;

    // Addresses of the pinned blocks, valid while their handles are non-zero.
    FP* weightFpRecord;
    FP* outputsFpRecord;
    FP* blankFlagsFpRecord;
    FP* columnScratchRecord;
    XLOPER* translatedOutputCells;
    BlockHandle* inputSymbolHandles;
    BlockHandle* outputSymbolHandles;

    // Per-unit work arrays (fixed local memory); only the set of the network's method exists.
    int16_t* unitDeltasFixed;
    int16_t* unitDeltasFixedEnd;
    int16_t* unitActivationsFixed;
    int16_t* unitActivationsFixedEnd;
    double* unitDeltasDouble;
    double* unitDeltasDoubleEnd;
    double* unitActivationsDouble;
    double* unitActivationsDoubleEnd;

    // Weight pointers bound on the locked weightsBlock by BindWeights.
    int32_t* weightsFixed;
    int16_t* lastChangesFixed;
    double* weightsDouble;
    double* lastChangesDouble;

    // Data pointers bound by RunNet on the locked data blocks (past the min/max heads).
    int16_t* inputDataFixed;
    int16_t* targetDataFixed;
    int16_t* outputDataFixed;
    double* inputDataDouble;
    double* targetDataDouble;
    double* outputDataDouble;
    int32_t* patternFlags;

    // ---- Run statistics and history ----
    double passError;
    int32_t withinToleranceCount;
    int32_t outsideToleranceCount;
    double trainError;
    double testError;
    double bestTrainError;
    double bestTestError;
    int16_t trainErrorHistory[kHistoryPoints];
    int16_t testErrorHistory[kHistoryPoints];
    int16_t errorHistoryCount;
    int16_t errorBucketSize;
    int16_t errorBucketFill;
    int32_t trainErrorSum;
    int32_t testErrorSum;

    // ---- Training parameters (SetParams, SetCutoffs) ----
    double trainTolerance;
    int16_t trainToleranceFixed;
    double testTolerance;
    int16_t testToleranceFixed;
    double learningRate;
    int16_t learningRateFixed;
    double momentum;
    int16_t momentumFixed;
    double inputNoise;
    int16_t inputNoiseFixed;
    int32_t timeLimitOn;
    int32_t timeBudgetSeconds;
    int32_t trainStopOn;
    double trainStopRise;
    int32_t testPassOn;
    double testStopRise;

    // ---- Transfer function and enhanced options (SetEnhanced) ----
    int32_t transferCode;
    double transferGain;
    int16_t transferTable[kTransferTableSize];
    int32_t tableSymmetry;
    int32_t pruneEnabled;
    int32_t pruneThreshold;
    int32_t autoLearningRate;
    double scaleMargin;

    // ---- The library's one pseudo-random generator (engine/random.h) ----
    uint32_t randomState;
};

extern NetworkState gNet;

// True while a network exists.
inline bool NetworkExists() {
    return gNet.weightFp != nullptr;
}

// Puts the record back to its state at load: no network, every parameter zero, transfer code 3
// with gain 1.0 and its table, generator state 1. Frees the current network first.
void LoadNetworkDefaults();
