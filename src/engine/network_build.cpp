// Building and releasing the one network and its blocks.
#include "engine/network_build.h"

#include "engine/data_block.h"
#include "engine/method_arrays.h"
#include "engine/network_state.h"
#include "platform/locked_block.h"
#include "platform/platform.h"
#include "quar1432.h"

#include <cstring>

namespace {

const char kOk[] = "OK";
const char kBadSize[] = "Incorrect network size";
const char kBadMethod[] = "Invalid calculation method";
const char kBadWindow[] = "Invalid window or pattern step";
const char kBadRows[] = "Invalid number of rows";
const char kTooManyWeights[] = "Total weights exceeded 131,008 limit.";

constexpr int32_t kMaxFpRows = 65535;

// A zero-filled global block, refused when the size is beyond what a block can hold (sizes
// are computed in 64 bits so that a 32-bit build never wraps them).
BlockHandle AllocBlock(uint64_t bytes) {
    if (bytes > kMaxBlockBytes) return nullptr;
    return GlobalBlockAlloc(static_cast<size_t>(bytes));
}

void* AllocLocal(uint64_t bytes) {
    if (bytes > kMaxBlockBytes) return nullptr;
    return LocalBlockAlloc(static_cast<size_t>(bytes));
}

// Allocates a pinned FP record of rows x columns with its head written.
FP* AllocPinnedFp(BlockHandle* handle, uint64_t rows, uint64_t columns) {
    *handle = AllocBlock(QUAR_FP_BYTES(rows, columns));
    if (*handle == nullptr) return nullptr;
    FP* fp = static_cast<FP*>(GlobalBlockLock(*handle));
    fp->rows = static_cast<uint16_t>(rows);
    fp->columns = static_cast<uint16_t>(columns);
    return fp;
}

// Frees the per-column tables, then the pinned handle array itself.
void FreeSymbolTables(BlockHandle* handle, BlockHandle** handles, int32_t* count) {
    if (*handle != nullptr && *handles != nullptr) {
        for (int32_t c = 0; c < *count; ++c)
            FreeBlock((*handles)[c]);
    }
    FreePinnedBlock(*handle);
    *handles = nullptr;
    *count = 0;
}

template <typename T> void FreeLocal(T*& start, T*& end) {
    if (start != nullptr) LocalBlockFree(start);
    start = nullptr;
    end = nullptr;
}

// The method's per-unit arrays: a delta per unit of the layers after the first, an activation
// per unit and a bias slot (holding 1.0) after each layer. Answers nullptr or the message of
// the allocation that failed.
template <typename M>
const char* AllocateUnitArrays(M, const char* deltasFailed, const char* activationsFailed) {
    using Value = typename M::Value;
    uint64_t deltaUnits = 0;
    for (int32_t i = 1; i < gNet.layerCount; ++i)
        deltaUnits += uint64_t(gNet.layerSize[i]);
    uint64_t activationSlots = 0;
    for (int32_t i = 0; i < gNet.layerCount; ++i)
        activationSlots += uint64_t(gNet.layerSize[i]) + 1;

    M::unitDeltas() = static_cast<Value*>(AllocLocal(deltaUnits * sizeof(Value)));
    if (M::unitDeltas() == nullptr) return deltasFailed;
    M::unitDeltasEnd() = M::unitDeltas() + deltaUnits;
    M::unitActivations() = static_cast<Value*>(AllocLocal(activationSlots * sizeof(Value)));
    if (M::unitActivations() == nullptr) return activationsFailed;
    M::unitActivationsEnd() = M::unitActivations() + activationSlots;

    size_t slot = 0;
    for (int32_t i = 0; i < gNet.layerCount; ++i) {
        slot += size_t(gNet.layerSize[i]);
        M::unitActivations()[slot] = M::kBiasActivation;
        slot += 1;
    }
    return nullptr;
}

template <typename M> void FreeUnitArrays(M) {
    FreeLocal(M::unitDeltas(), M::unitDeltasEnd());
    FreeLocal(M::unitActivations(), M::unitActivationsEnd());
}

template <typename M> void BindMethodWeights(M, unsigned char* bytes) {
    M::weights() = reinterpret_cast<typename M::Weight*>(bytes);
    M::lastChanges() = reinterpret_cast<typename M::Change*>(bytes + sizeof(typename M::Weight) *
                                                                         size_t(gNet.weightCount));
}

template <typename M> void UnbindWeights(M) {
    M::weights() = nullptr;
    M::lastChanges() = nullptr;
}

struct Dimensions {
    int32_t calcMethod;
    int32_t inputColumns;
    int32_t outputColumns;
    int32_t window;
    int32_t patternStep;
    int32_t rows;
    int32_t blankRows;
    int32_t patterns;
    int32_t layerCount;
    int32_t layerSize[kMaxLayers];
    int64_t weightCount;
};

// Checks the arguments; answers nullptr when they describe a network that can be built.
const char* CheckDimensions(const Dimensions& d, int32_t totalRows) {
    if (d.layerCount < 2) return kBadSize;
    if (d.inputColumns < 1 || d.outputColumns < 1) return kBadSize;
    for (int32_t i = 1; i < d.layerCount - 1; ++i)
        if (d.layerSize[i] < 1) return kBadSize;
    if (d.window < 1 || d.patternStep < 1) return kBadWindow;
    if (d.blankRows < 0 || d.blankRows > totalRows) return kBadRows;
    if (d.patterns < 1 || int64_t(d.patterns) + d.blankRows > kMaxFpRows) return kBadRows;
    if (d.weightCount > kMaxWeights) return kTooManyWeights;
    return nullptr;
}

void RecordDimensions(const Dimensions& d) {
    gNet.calcMethod = d.calcMethod;
    gNet.inputColumns = d.inputColumns;
    gNet.window = d.window;
    gNet.rows = d.rows;
    gNet.blankRows = d.blankRows;
    gNet.blankPatternRows = d.blankRows;
    gNet.outputColumns = d.outputColumns;
    gNet.patternStep = d.patternStep;
    gNet.patterns = d.patterns;
    gNet.layerCount = d.layerCount;
    for (int32_t i = 0; i < kMaxLayers; ++i)
        gNet.layerSize[i] = d.layerSize[i];
    gNet.weightCount = static_cast<int32_t>(d.weightCount);
    int32_t largeFrom = d.calcMethod == CALC_FIXED16 ? 10921 : 4097;
    gNet.largeWeights = gNet.weightCount >= largeFrom ? 1 : 0;
    gNet.minRow = -1;
    gNet.maxRow = -1;
    gNet.symbolRow = -1;
    gNet.weightFpColumns = kWeightFpColumns;
    int32_t fpRows = (gNet.weightCount + 7) / 8;
    gNet.weightFpRows = fpRows > kMaxWeightFpRows ? kMaxWeightFpRows : fpRows;
}

// Allocates every block of the network recorded in gNet. Answers nullptr or the message of the
// first allocation that failed; the caller releases what was allocated.
const char* AllocateNetwork() {
    const bool fixed = gNet.calcMethod == CALC_FIXED16;
    const uint64_t rows = uint64_t(gNet.rows);
    const uint64_t patterns = uint64_t(gNet.patterns);
    const uint64_t inputs = uint64_t(gNet.inputColumns);
    const uint64_t outputs = uint64_t(gNet.outputColumns);
    const uint64_t weights = uint64_t(gNet.weightCount);
    const uint64_t rangeRows = rows + uint64_t(gNet.blankRows);
    const uint64_t positions = patterns + uint64_t(gNet.blankRows);

    gNet.weightFpRecord = AllocPinnedFp(&gNet.weightFp, uint64_t(gNet.weightFpRows), 8);
    if (gNet.weightFpRecord == nullptr) return "Insufficient memory (1).";
    gNet.weightsBlock = AllocBlock(
        weights * ForNetworkMethod([](auto m) { return decltype(m)::kWeightBlockBytes; }));
    if (gNet.weightsBlock == nullptr) return "Insufficient memory (2).";
    gNet.inputBlock = AllocBlock(DataBlockBytes(gNet.calcMethod, gNet.inputColumns, rows));
    if (gNet.inputBlock == nullptr) return "Insufficient memory (3).";
    gNet.targetBlock = AllocBlock(DataBlockBytes(gNet.calcMethod, gNet.outputColumns, patterns));
    if (gNet.targetBlock == nullptr) return "Insufficient memory (4).";
    gNet.outputBlock = AllocBlock(patterns * outputs * ValueBytesOf(gNet.calcMethod));
    if (gNet.outputBlock == nullptr) return "Insufficient memory (5).";
    gNet.patternFlagsBlock = AllocBlock(patterns * 4);
    if (gNet.patternFlagsBlock == nullptr) return "Insufficient memory (6).";
    gNet.dataModeActive = 0;
    gNet.blankRowFlags = AllocBlock(rangeRows * 4);
    if (gNet.blankRowFlags == nullptr) return "Insufficient memory (7).";
    gNet.outputsFpRecord = AllocPinnedFp(&gNet.outputsFp, positions, 1);
    if (gNet.outputsFpRecord == nullptr) return "Insufficient memory (8).";
    gNet.blankFlagsFpRecord = AllocPinnedFp(&gNet.blankFlagsFp, positions, 1);
    if (gNet.blankFlagsFpRecord == nullptr) return "Insufficient memory (9).";

    const char* unitsFailed = fixed
                                  ? AllocateUnitArrays(FixedArrays{}, "Insufficient memory (10A).",
                                                       "Insufficient memory (11A).")
                                  : AllocateUnitArrays(DoubleArrays{}, "Insufficient memory (10B).",
                                                       "Insufficient memory (11B).");
    if (unitsFailed != nullptr) return unitsFailed;

    ResetRunHistory();

    const char* columnBlocksFailed = "Insufficient memory (12).";
    gNet.columnScratchRecord = AllocPinnedFp(&gNet.columnScratchFp, rangeRows, 1);
    if (gNet.columnScratchRecord == nullptr) return columnBlocksFailed;
    gNet.translatedOutputs = AllocBlock(rangeRows * sizeof(XLOPER));
    if (gNet.translatedOutputs == nullptr) return columnBlocksFailed;
    gNet.translatedOutputCells = static_cast<XLOPER*>(GlobalBlockLock(gNet.translatedOutputs));
    gNet.inputSymbolTableCount = gNet.inputColumns;
    gNet.inputSymbolTables = AllocBlock(inputs * sizeof(BlockHandle));
    if (gNet.inputSymbolTables == nullptr) return columnBlocksFailed;
    gNet.inputSymbolHandles = static_cast<BlockHandle*>(GlobalBlockLock(gNet.inputSymbolTables));
    gNet.outputSymbolTableCount = gNet.outputColumns;
    gNet.outputSymbolTables = AllocBlock(outputs * sizeof(BlockHandle));
    if (gNet.outputSymbolTables == nullptr) return columnBlocksFailed;
    gNet.outputSymbolHandles = static_cast<BlockHandle*>(GlobalBlockLock(gNet.outputSymbolTables));
    return nullptr;
}

} // namespace

void ReleaseNetwork() {
    FreePinnedBlock(gNet.weightFp);
    FreePinnedBlock(gNet.outputsFp);
    FreePinnedBlock(gNet.blankFlagsFp);
    FreePinnedBlock(gNet.histogramFp);
    FreePinnedBlock(gNet.weightsBlock);
    FreeBlock(gNet.inputBlock);
    FreeBlock(gNet.targetBlock);
    FreeBlock(gNet.outputBlock);
    FreeBlock(gNet.patternFlagsBlock);
    FreeBlock(gNet.blankRowFlags);
    FreeUnitArrays(FixedArrays{});
    FreeUnitArrays(DoubleArrays{});
    FreePinnedBlock(gNet.columnScratchFp);
    FreePinnedBlock(gNet.translatedOutputs);
    FreeSymbolTables(&gNet.inputSymbolTables, &gNet.inputSymbolHandles,
                     &gNet.inputSymbolTableCount);
    FreeSymbolTables(&gNet.outputSymbolTables, &gNet.outputSymbolHandles,
                     &gNet.outputSymbolTableCount);

    // No address into a freed block survives.
    gNet.weightFpRecord = nullptr;
    gNet.outputsFpRecord = nullptr;
    gNet.blankFlagsFpRecord = nullptr;
    gNet.columnScratchRecord = nullptr;
    gNet.translatedOutputCells = nullptr;
    UnbindWeights(FixedArrays{});
    UnbindWeights(DoubleArrays{});
    gNet.inputDataFixed = nullptr;
    gNet.targetDataFixed = nullptr;
    gNet.outputDataFixed = nullptr;
    gNet.inputDataDouble = nullptr;
    gNet.targetDataDouble = nullptr;
    gNet.outputDataDouble = nullptr;
    gNet.patternFlags = nullptr;
}

void ResetRunHistory() {
    gNet.trainError = 1.0;
    gNet.testError = 1.0;
    gNet.bestTrainError = 1.0;
    gNet.bestTestError = 1.0;
    std::memset(gNet.trainErrorHistory, 0, sizeof gNet.trainErrorHistory);
    std::memset(gNet.testErrorHistory, 0, sizeof gNet.testErrorHistory);
    gNet.errorHistoryCount = 0;
    gNet.errorBucketSize = 1;
    gNet.errorBucketFill = 0;
    gNet.trainErrorSum = 0;
    gNet.testErrorSum = 0;
}

void BindWeights(void* block) {
    auto* bytes = static_cast<unsigned char*>(block);
    if (gNet.calcMethod == CALC_FIXED16) {
        BindMethodWeights(FixedArrays{}, bytes);
        UnbindWeights(DoubleArrays{});
    } else {
        BindMethodWeights(DoubleArrays{}, bytes);
        UnbindWeights(FixedArrays{});
    }
}

const char* BuildNetwork(int16_t inputColumns, int16_t outputColumns, int16_t totalRows,
                         int16_t window, int16_t patternStep, int16_t blankRows, int16_t layerCount,
                         int16_t hidden1, int16_t hidden2, int16_t hidden3, int16_t hidden4,
                         int16_t calcMethod) {
    if (layerCount > kMaxLayers) return kBadSize;
    if (calcMethod < CALC_FIXED16 || calcMethod > CALC_DOUBLE) return kBadMethod;

    Dimensions d{};
    d.calcMethod = calcMethod;
    d.inputColumns = inputColumns;
    d.outputColumns = outputColumns;
    d.window = window;
    d.patternStep = patternStep;
    d.blankRows = blankRows;
    d.rows = int32_t(totalRows) - blankRows;
    d.patterns = d.rows - d.window + 1;
    d.layerCount = layerCount;
    d.layerSize[0] = int32_t(inputColumns) * window;
    d.layerSize[1] = hidden1;
    d.layerSize[2] = hidden2;
    d.layerSize[3] = hidden3;
    d.layerSize[4] = hidden4;
    if (layerCount >= 2) d.layerSize[layerCount - 1] = outputColumns;
    d.weightCount = 0;
    for (int32_t i = 1; i < layerCount; ++i)
        d.weightCount += (int64_t(d.layerSize[i - 1]) + 1) * d.layerSize[i];

    // Nothing changes unless the whole network can be described.
    if (const char* refusal = CheckDimensions(d, totalRows)) return refusal;

    RecordDimensions(d);
    ReleaseNetwork();
    if (const char* failure = AllocateNetwork()) {
        ReleaseNetwork();
        return failure;
    }
    return kOk;
}
