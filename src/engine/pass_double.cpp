// The pass of the double method: every product and sum in the order written below, each one
// rounded by itself (no fused or reordered arithmetic), so every build gives the same bits.
#include "engine/pass_kernels.h"
#include "engine/pattern_walk.h"
#include "engine/random.h"
#include "engine/transfer.h"

namespace {

PassLayout<double, double, double, double> layout;
const PassKernels* kernels;

// A larger layer's units of this code go through the kernels, several at once.
constexpr int32_t kLogisticCode = 3;
// Layers of at most this many weights are summed and updated here: a kernel call would cost
// more than their arithmetic. The loops below do each unit's operations in the kernels' order.
constexpr int32_t kSmallLayer = 32;

bool IsSmall(int32_t l) {
    return (gNet.layerSize[l - 1] + 1) * gNet.layerSize[l] <= kSmallLayer;
}

struct DoubleSteps {
    static void BeginPass() {
        layout.Bind(gNet.unitActivationsDouble, gNet.unitDeltasDouble, gNet.weightsDouble,
                    gNet.lastChangesDouble);
        layout.rateFactor = (1.0 - gNet.momentum) * gNet.learningRate;
        layout.symmetric = gNet.transferCode == 5;
        kernels = &ActiveKernels();
    }

    static void Load(int32_t p, int32_t learn) {
        const int32_t n = gNet.layerSize[0];
        const double* source = gNet.inputDataDouble + int64_t(p) * gNet.inputColumns;
        double* unit = layout.activations[0];
        for (int32_t i = 0; i < n; ++i)
            unit[i] = source[i];
        const double noise = gNet.inputNoise;
        if (noise == 0.0) return;
        if (learn != 0) {
            for (int32_t i = 0; i < n; ++i)
                unit[i] = unit[i] + NextRandom() * noise / 32767.0;
        } else {
            const double mean = noise / 2.0;
            for (int32_t i = 0; i < n; ++i)
                unit[i] = unit[i] + mean;
        }
    }

    // Each unit's net input is built in its own activation slot, then passed through the
    // transfer function. A small layer's units go through it straight from the sum, each on
    // its own, so that the next layer does not wait for a store and a load.
    static void Forward() {
        const bool logistic = gNet.transferCode == kLogisticCode;
        const double gain = gNet.transferGain;
        for (int32_t l = 1; l < gNet.layerCount; ++l) {
            const int32_t units = gNet.layerSize[l];
            double* unit = layout.activations[l];
            const double* below = layout.activations[l - 1];
            const int32_t inputs = gNet.layerSize[l - 1] + 1;
            if (IsSmall(l)) {
                const double* w = layout.weights[l];
                for (int32_t j = 0; j < units; ++j, w += inputs) {
                    double sum = 0.0;
                    for (int32_t i = 0; i < inputs; ++i)
                        sum = below[i] * w[i] + sum;
                    unit[j] = logistic ? Logistic(sum, gain) : ApplyTransferDouble(sum);
                }
                continue;
            }
            kernels->forwardDouble(below, layout.weights[l], inputs, units, unit);
            if (logistic && units > 1) {
                kernels->logisticDouble(unit, units, gain);
            } else {
                for (int32_t j = 0; j < units; ++j)
                    unit[j] = logistic ? Logistic(unit[j], gain) : ApplyTransferDouble(unit[j]);
            }
        }
    }

    static void StoreOutputs(int32_t p) {
        const int32_t k = gNet.outputColumns;
        const double* y = layout.activations[gNet.layerCount - 1];
        double* row = gNet.outputDataDouble + int64_t(p) * k;
        for (int32_t i = 0; i < k; ++i)
            row[i] = y[i];
    }

    // The slope of the transfer function at its output y.
    static double Slope(double y) {
        if (layout.symmetric) return (1.0 - y * y) * 0.25;
        return (1.0 - y) * y;
    }

    static void OutputError(int32_t p, bool trainTolerance) {
        const int32_t outputs = gNet.outputColumns;
        const double tolerance = trainTolerance ? gNet.trainTolerance : gNet.testTolerance;
        const double* y = layout.activations[gNet.layerCount - 1];
        const double* t = gNet.targetDataDouble + int64_t(p) * outputs;
        double* delta = layout.deltas[gNet.layerCount - 1];
        double sum = gNet.passError;
        for (int32_t k = 0; k < outputs; ++k) {
            const double e = t[k] - y[k];
            delta[k] = Slope(y[k]) * e;
            if ((e < 0.0 ? -e : e) < tolerance)
                gNet.withinToleranceCount += 1;
            else
                gNet.outsideToleranceCount += 1;
            sum += e * e;
        }
        gNet.passError = sum;
    }

    // Each hidden delta is the slope times the sum, over the units above in ascending order,
    // of delta x weight.
    static void HiddenDeltas() {
        for (int32_t l = gNet.layerCount - 2; l >= 1; --l) {
            const int32_t n = gNet.layerSize[l];
            const double* y = layout.activations[l];
            double* s = layout.deltas[l];
            const double* above = layout.deltas[l + 1];
            const int32_t aboveCount = gNet.layerSize[l + 1];
            if (IsSmall(l + 1)) {
                for (int32_t j = 0; j < n; ++j) {
                    double sum = 0.0;
                    const double* w = layout.weights[l + 1] + j;
                    for (int32_t k = 0; k < aboveCount; ++k, w += n + 1)
                        sum = above[k] * *w + sum;
                    s[j] = sum * Slope(y[j]);
                }
                continue;
            }
            kernels->backDouble(above, layout.weights[l + 1], n, aboveCount, s);
            for (int32_t j = 0; j < n; ++j)
                s[j] = s[j] * Slope(y[j]);
        }
    }

    static void UpdateWeights() {
        const double momentum = gNet.momentum;
        for (int32_t l = 1; l < gNet.layerCount; ++l) {
            const int32_t inputs = gNet.layerSize[l - 1] + 1;
            const int32_t units = gNet.layerSize[l];
            double* w = layout.weights[l];
            double* last = layout.lastChanges[l];
            const double* a = layout.activations[l - 1];
            const double* delta = layout.deltas[l];
            if (!IsSmall(l)) {
                kernels->updateDouble(w, last, a, inputs, units, delta, layout.rateFactor,
                                      momentum);
                continue;
            }
            for (int32_t j = 0; j < units; ++j, w += inputs, last += inputs) {
                const double g = layout.rateFactor * delta[j];
                if (momentum != 0.0) {
                    for (int32_t i = 0; i < inputs; ++i) {
                        const double change = a[i] * g + last[i] * momentum;
                        last[i] = change;
                        w[i] = w[i] + change;
                    }
                } else {
                    for (int32_t i = 0; i < inputs; ++i) {
                        const double change = a[i] * g;
                        last[i] = change;
                        w[i] = w[i] + change;
                    }
                }
            }
        }
    }

    static void EndPass(int32_t evaluated) {
        if (evaluated > 0)
            gNet.passError = gNet.passError / (double(gNet.outputColumns) * double(evaluated));
    }
};

} // namespace

void RunPassDouble(int32_t learn, int32_t testing) {
    WalkPatterns<DoubleSteps>(learn, testing);
}
