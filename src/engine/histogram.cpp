// WeightHistStr: the weight distribution as the text of an array constant, "{0,3,12,40,12}".
#include "engine/histogram.h"

#include "engine/method_arrays.h"
#include "engine/network_build.h"
#include "engine/network_state.h"
#include "platform/locked_block.h"

#include <cstdio>

namespace {

const char kNoNetwork[] = "No network has been initialized";
const char kBadBins[] = "Number of bins must be at least 1";
const char kBadRange[] = "Histogram range is empty";
const char kNoMemory[] = "Insufficient memory for histogram.";
const char kTooLong[] = "Histogram does not fit 255 characters";

// The bin of a weight: truncated toward zero and clamped into 0 ... bins - 1. Decided on the
// double so that a huge quotient or a NaN weight never reaches an integer conversion.
int32_t BinOf(double w, double lo, double width, int32_t bins) {
    double position = (w - lo) / width;
    if (!(position >= 0.0)) return 0;
    if (position >= double(bins)) return bins - 1;
    return static_cast<int32_t>(position);
}

} // namespace

FP* BuildWeightHistogram(int32_t bins, double lo, double hi) {
    FreePinnedBlock(gNet.histogramFp);
    if (!NetworkExists() || bins < 1) return nullptr;
    gNet.histogramFp = GlobalBlockAlloc(QUAR_FP_BYTES(bins, 1));
    if (gNet.histogramFp == nullptr) return nullptr;
    FP* counts = static_cast<FP*>(GlobalBlockLock(gNet.histogramFp));
    counts->rows = static_cast<uint16_t>(bins);
    counts->columns = 1;

    const double width = (hi - lo) / bins;
    void* block = GlobalBlockLock(gNet.weightsBlock);
    BindWeights(block);
    ForNetworkMethod([&](auto m) {
        using M = decltype(m);
        for (int32_t i = 0; i < gNet.weightCount; ++i)
            counts->array[BinOf(M::RealWeight(M::weights()[i]), lo, width, bins)] += 1.0;
    });
    GlobalBlockUnlock(gNet.weightsBlock);
    return counts;
}

const char* WeightHistogramText(int16_t bins, double lo, double hi, char* text, size_t bytes) {
    if (!NetworkExists()) return kNoNetwork;
    if (bins < 1) return kBadBins;
    if (!(hi > lo)) return kBadRange;
    FP* counts = BuildWeightHistogram(bins, lo, hi);
    if (counts == nullptr) return kNoMemory;

    bool fits = true;
    size_t length = 0;
    text[length++] = '{';
    for (int32_t b = 0; b < bins && fits; ++b) {
        const char* separator = b + 1 < bins ? "," : "}";
        int written = std::snprintf(text + length, bytes - length, "%d%s",
                                    static_cast<int>(counts->array[b]), separator);
        if (written < 0 || size_t(written) >= bytes - length)
            fits = false;
        else
            length += size_t(written);
    }
    FreePinnedBlock(gNet.histogramFp);
    return fits ? text : kTooLong;
}
