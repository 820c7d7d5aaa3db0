// The pass of the 16-bit method. Activations, targets, deltas and last changes are Q15, net
// inputs Q16 and weights 2^26 = 1.0; each shift has its own rounding and each narrowing to 16
// bits wraps unless it says it saturates, so a network trains to the same bits on every build. The
// deltas carry a factor 2 that the weight increment c / 32 on the 2^26 scale takes out again.
#include "engine/fixed_math.h"
#include "engine/pass_kernels.h"
#include "engine/pattern_walk.h"
#include "engine/random.h"
#include "engine/transfer.h"

namespace {

PassLayout<int16_t, int32_t, int16_t, int32_t> layout; // rateFactor: Q15
const PassKernels* kernels;

// Units whose sums one kernel call leaves on the stack.
constexpr int32_t kChunk = 128;
// Layers with fewer inputs (bias included) are summed without the kernels.
constexpr int32_t kNarrow = 8;

struct FixedSteps {
    static void BeginPass() {
        layout.Bind(gNet.unitActivationsFixed, gNet.unitDeltasFixed, gNet.weightsFixed,
                    gNet.lastChangesFixed);
        const int32_t r = OneMinusQ15(gNet.momentumFixed);
        layout.rateFactor = Wrap16(RoundShift(gNet.learningRateFixed * r, 15));
        layout.symmetric = gNet.transferCode == 5;
        kernels = &ActiveKernels();
    }

    // Training inputs get a draw from 0 ... N of noise, other passes its mean N / 2. A sum
    // that would pass 32767 stays at 32767 rather than wrapping to a negative input.
    static void Load(int32_t p, int32_t learn) {
        const int32_t n = gNet.layerSize[0];
        const int16_t* source = gNet.inputDataFixed + int64_t(p) * gNet.inputColumns;
        int16_t* unit = layout.activations[0];
        for (int32_t i = 0; i < n; ++i)
            unit[i] = source[i];
        const int32_t noise = gNet.inputNoiseFixed;
        if (noise == 0) return;
        if (learn != 0) {
            for (int32_t i = 0; i < n; ++i) {
                const int16_t draw = Wrap16((NextRandom() * (2 * noise + 2)) >> 16);
                unit[i] = Saturate16(int32_t(unit[i]) + draw);
            }
        } else {
            const int32_t mean = noise / 2;
            for (int32_t i = 0; i < n; ++i)
                unit[i] = Saturate16(int32_t(unit[i]) + mean);
        }
    }

    // Each term (w >> 16) x a is rounded to Q16 by itself before it is added; the sum wraps
    // at 32 bits. Layers of few inputs are summed here: a kernel call would cost more than
    // their sums.
    static void Forward() {
        int32_t net[kChunk];
        for (int32_t l = 1; l < gNet.layerCount; ++l) {
            const int32_t inputs = gNet.layerSize[l - 1] + 1;
            const int32_t units = gNet.layerSize[l];
            const int16_t* below = layout.activations[l - 1];
            const int32_t* w = layout.weights[l];
            int16_t* unit = layout.activations[l];
            if (inputs < kNarrow) {
                for (int32_t j = 0; j < units; ++j, w += inputs) {
                    uint32_t sum = 0;
                    for (int32_t i = 0; i < inputs; ++i)
                        sum += uint32_t(RoundShift((w[i] >> 16) * below[i], 9));
                    unit[j] = ApplyTransferFixed(int32_t(sum));
                }
                continue;
            }
            for (int32_t j0 = 0; j0 < units; j0 += kChunk) {
                const int32_t count = units - j0 < kChunk ? units - j0 : kChunk;
                kernels->forwardFixed(below, w + int64_t(j0) * inputs, inputs, count, net);
                for (int32_t q = 0; q < count; ++q)
                    unit[j0 + q] = ApplyTransferFixed(net[q]);
            }
        }
    }

    static void StoreOutputs(int32_t p) {
        const int32_t k = gNet.outputColumns;
        const int16_t* y = layout.activations[gNet.layerCount - 1];
        int16_t* row = gNet.outputDataFixed + int64_t(p) * k;
        for (int32_t i = 0; i < k; ++i)
            row[i] = y[i];
    }

    static int16_t Slope(int32_t y) {
        return layout.symmetric ? SymmetricSlopeQ15(y) : LogisticSlopeQ15(y);
    }

    // The symmetric outputs reach down to -1.0, where t - y can pass 32767: it saturates
    // there instead of wrapping to the opposite sign.
    static void OutputError(int32_t p, bool trainTolerance) {
        const int32_t outputs = gNet.outputColumns;
        const int32_t tolerance =
            trainTolerance ? gNet.trainToleranceFixed : gNet.testToleranceFixed;
        const int16_t* y = layout.activations[gNet.layerCount - 1];
        const int16_t* t = gNet.targetDataFixed + int64_t(p) * outputs;
        int16_t* delta = layout.deltas[gNet.layerCount - 1];
        double sum = gNet.passError;
        for (int32_t k = 0; k < outputs; ++k) {
            const int32_t difference = int32_t(t[k]) - y[k];
            const int32_t e = layout.symmetric ? Saturate16(difference) : Wrap16(difference);
            delta[k] = Wrap16(RoundShift(e * Slope(y[k]), 15));
            if ((e >= 0 && e < tolerance) || (e < 0 && -e < tolerance))
                gNet.withinToleranceCount += 1;
            else
                gNet.outsideToleranceCount += 1;
            sum += double(e) * double(e);
        }
        gNet.passError = sum;
    }

    // Each sum over the units above is of terms (w >> 16) x delta rounded to Q15 by itself.
    static void HiddenDeltas() {
        int32_t sums[kChunk];
        for (int32_t l = gNet.layerCount - 2; l >= 1; --l) {
            const int32_t n = gNet.layerSize[l];
            const int16_t* y = layout.activations[l];
            int16_t* delta = layout.deltas[l];
            for (int32_t j0 = 0; j0 < n; j0 += kChunk) {
                const int32_t count = n - j0 < kChunk ? n - j0 : kChunk;
                kernels->backFixed(layout.deltas[l + 1], layout.weights[l + 1] + j0, n,
                                   gNet.layerSize[l + 1], count, sums);
                for (int32_t q = 0; q < count; ++q)
                    delta[j0 + q] = HiddenDeltaQ15(Slope(y[j0 + q]), sums[q]);
            }
        }
    }

    // c = a x g + last change x momentum, each product within 32 bits and their sum wrapping
    // at 32 bits; the weight moves by c / 32 on its 2^26 scale and stops at +-16.0.
    static void UpdateWeights() {
        for (int32_t l = 1; l < gNet.layerCount; ++l)
            kernels->updateFixed(layout.weights[l], layout.lastChanges[l],
                                 layout.activations[l - 1], gNet.layerSize[l - 1] + 1,
                                 gNet.layerSize[l], layout.deltas[l], layout.rateFactor,
                                 gNet.momentumFixed);
    }

    static void EndPass(int32_t evaluated) {
        gNet.passError = gNet.passError / 1073741824.0;
        if (evaluated > 0)
            gNet.passError = gNet.passError / (double(gNet.outputColumns) * double(evaluated));
    }
};

} // namespace

void RunPassFixed(int32_t learn, int32_t testing) {
    WalkPatterns<FixedSteps>(learn, testing);
}
