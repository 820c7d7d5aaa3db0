// RandomizeWeights, GetWeights and SetWeights: the network's weights in and out.
#include "engine/weights.h"
#include "engine/method_arrays.h"
#include "engine/network_build.h"
#include "engine/network_state.h"
#include "engine/random.h"
#include "quar1432.h"

namespace {

const char kOk[] = "OK";
const char kNoNetwork[] = "No network has been initialized";
const char kNoArray[] = "No weight array given";
const char kBadShape[] = "Weight array must have 8 columns and at most one page of rows";
const char kBadRow[] = "Weight row out of range";

// Locks the weight block and binds the record's weight pointers to it.
bool LockWeights() {
    void* block = GlobalBlockLock(gNet.weightsBlock);
    if (block == nullptr) return false;
    BindWeights(block);
    return true;
}

void UnlockWeights() {
    GlobalBlockUnlock(gNet.weightsBlock);
}

// Sets weight i to the real value x in the method's format and clears its last change.
template <typename M> void SetWeight(M, int32_t i, double x) {
    M::weights()[i] = M::StoredWeight(x);
    M::lastChanges()[i] = 0;
}

} // namespace

void RandomizeNetworkWeights(int32_t useSeed, int16_t seed, double range) {
    if (!NetworkExists()) return;
    if (!LockWeights()) return;
    if (useSeed != 0)
        SeedRandom(static_cast<uint32_t>(int32_t(seed)));
    else
        SeedRandom(static_cast<uint32_t>(int32_t(static_cast<int16_t>(CalendarSeconds()))));

    ForNetworkMethod([&](auto m) {
        for (int32_t i = 0; i < gNet.weightCount; ++i) {
            double r = NextRandom();
            SetWeight(m, i, (r * 2.0 / 32767.0 - 1.0) * range);
        }
    });
    UnlockWeights();
}

FP* ReadWeights(int16_t firstRow) {
    if (!NetworkExists() || firstRow < 0) return nullptr;
    if (!LockWeights()) return nullptr;

    const int32_t first = int32_t(firstRow) * kWeightFpColumns;
    int32_t count = gNet.weightCount - first;
    if (count > gNet.weightFpRows * kWeightFpColumns) count = gNet.weightFpRows * kWeightFpColumns;
    double* values = gNet.weightFpRecord->array;
    int32_t k = 0;
    ForNetworkMethod([&](auto m) {
        using M = decltype(m);
        for (; k < count; ++k)
            values[k] = M::RealWeight(M::weights()[first + k]);
    });
    // The last row written is completed with zeros.
    if (count > 0)
        for (; k % kWeightFpColumns != 0; ++k)
            values[k] = 0.0;

    UnlockWeights();
    return gNet.weightFpRecord;
}

const char* StoreWeights(FP* weights, int16_t firstRow) {
    if (!NetworkExists()) return kNoNetwork;
    if (weights == nullptr) return kNoArray;
    if (weights->columns != kWeightFpColumns || weights->rows < 1 ||
        int32_t(weights->rows) > gNet.weightFpRows)
        return kBadShape;
    const int32_t first = int32_t(firstRow) * kWeightFpColumns;
    if (firstRow < 0 || first >= gNet.weightCount) return kBadRow;
    if (!LockWeights()) return kNoNetwork;

    int32_t count = int32_t(weights->rows) * kWeightFpColumns;
    if (count > gNet.weightCount - first) count = gNet.weightCount - first;
    ForNetworkMethod([&](auto m) {
        for (int32_t k = 0; k < count; ++k)
            SetWeight(m, first + k, weights->array[k]);
    });
    UnlockWeights();
    return kOk;
}
