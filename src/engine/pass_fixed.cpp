// The pass of the 16-bit method. Activations, targets, deltas and last changes are Q15, net
// inputs Q16 and weights 2^26 = 1.0; each shift has its own rounding and each narrowing to 16
// bits wraps unless it says it saturates, so a network trains to the same bits on every build. The
// deltas carry a factor 2 that the weight increment c / 32 on the 2^26 scale takes out again.
#include "engine/fixed_math.h"
#include "engine/pattern_walk.h"
#include "engine/random.h"
#include "engine/transfer.h"

namespace {

constexpr int32_t kWeightLimitHigh = 1073741823; // just below 16.0
constexpr int32_t kWeightLimitLow = -1073741824; // -16.0

PassLayout<int16_t, int32_t, int16_t, int32_t> layout; // rateFactor: Q15

// The weight's upper half: the weight in units of 1/1024, -16384 ... 16383 in range.
inline int32_t UpperHalf(int32_t w) {
    return w >> 16;
}

struct FixedSteps {
    static void BeginPass() {
        layout.Bind(gNet.unitActivationsFixed, gNet.unitDeltasFixed, gNet.weightsFixed,
                    gNet.lastChangesFixed);
        const int32_t r = OneMinusQ15(gNet.momentumFixed);
        layout.rateFactor = Wrap16(RoundShift(gNet.learningRateFixed * r, 15));
        layout.symmetric = gNet.transferCode == 5;
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
    // at 32 bits.
    static void Forward() {
        for (int32_t l = 1; l < gNet.layerCount; ++l) {
            const int32_t n = gNet.layerSize[l - 1];
            const int16_t* below = layout.activations[l - 1];
            const int32_t* w = layout.weights[l];
            int16_t* unit = layout.activations[l];
            for (int32_t j = 0; j < gNet.layerSize[l]; ++j, w += n + 1) {
                uint32_t net = 0;
                for (int32_t i = 0; i <= n; ++i)
                    net += uint32_t(RoundShift(UpperHalf(w[i]) * below[i], 9));
                unit[j] = ApplyTransferFixed(int32_t(net));
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

    static void HiddenDeltas() {
        for (int32_t l = gNet.layerCount - 2; l >= 1; --l) {
            const int32_t n = gNet.layerSize[l];
            const int32_t above = gNet.layerSize[l + 1];
            const int16_t* y = layout.activations[l];
            const int16_t* deltaAbove = layout.deltas[l + 1];
            int16_t* delta = layout.deltas[l];
            for (int32_t j = 0; j < n; ++j) {
                const int32_t* w = layout.weights[l + 1] + j;
                uint32_t s = 0;
                for (int32_t k = 0; k < above; ++k, w += n + 1)
                    s += uint32_t(RoundShift(UpperHalf(*w) * deltaAbove[k], 10));
                delta[j] = HiddenDeltaQ15(Slope(y[j]), int32_t(s));
            }
        }
    }

    // c = a x g + last change x momentum: each product fits in 32 bits and their sum wraps as
    // 32-bit arithmetic does (it cannot overflow for a momentum of 0 ... 32767). With a
    // momentum of 0 the second product is 0, which is the plain c = a x g. 2c can pass 32
    // bits; the new last change keeps bits 16 ... 31 of the wrapped doubling.
    static void UpdateUnit(int32_t* w, int16_t* last, const int16_t* a, int32_t n, int32_t g,
                           int32_t momentum) {
        for (int32_t i = 0; i <= n; ++i) {
            const int32_t c = WrapAdd32(a[i] * g, last[i] * momentum);
            last[i] = RoundHalfOfDoubled(c);
            const int32_t weight = WrapAdd32(w[i], WrapAdd32(c, 16) >> 5);
            // Bits 31 and 30 differ once the weight has left -2^30 ... 2^30 - 1.
            if (((uint32_t(weight) >> 31) ^ (uint32_t(weight) >> 30)) & 1u)
                w[i] = c >= 0 ? kWeightLimitHigh : kWeightLimitLow;
            else
                w[i] = weight;
        }
    }

    static void UpdateWeights() {
        const int32_t momentum = gNet.momentumFixed;
        for (int32_t l = 1; l < gNet.layerCount; ++l) {
            const int32_t n = gNet.layerSize[l - 1];
            const int16_t* a = layout.activations[l - 1];
            const int16_t* delta = layout.deltas[l];
            int32_t* w = layout.weights[l];
            int16_t* last = layout.lastChanges[l];
            for (int32_t j = 0; j < gNet.layerSize[l]; ++j, w += n + 1, last += n + 1) {
                const int32_t g =
                    Wrap16(RoundShiftWide(int64_t(delta[j]) * layout.rateFactor * 2, 16));
                UpdateUnit(w, last, a, n, g, momentum);
            }
        }
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
