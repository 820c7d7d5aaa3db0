// The pass of the double method: every product and sum in the order written below, each one
// rounded by itself (no fused or reordered arithmetic), so every build gives the same bits.
#include "engine/pattern_walk.h"
#include "engine/random.h"
#include "engine/transfer.h"

namespace {

PassLayout<double, double, double, double> layout;

struct DoubleSteps {
    static void BeginPass() {
        layout.Bind(gNet.unitActivationsDouble, gNet.unitDeltasDouble, gNet.weightsDouble,
                    gNet.lastChangesDouble);
        layout.rateFactor = (1.0 - gNet.momentum) * gNet.learningRate;
        layout.symmetric = gNet.transferCode == 5;
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

    static void Forward() {
        for (int32_t l = 1; l < gNet.layerCount; ++l) {
            const int32_t n = gNet.layerSize[l - 1];
            const double* below = layout.activations[l - 1];
            const double* w = layout.weights[l];
            double* unit = layout.activations[l];
            for (int32_t j = 0; j < gNet.layerSize[l]; ++j, w += n + 1) {
                double net = 0.0;
                for (int32_t i = 0; i <= n; ++i)
                    net = below[i] * w[i] + net;
                unit[j] = ApplyTransferDouble(net);
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
    // of delta x weight. The sums are built in the delta array itself, one unit above at a
    // time, which keeps each unit's own order of addition and walks the weights in storage
    // order.
    static void HiddenDeltas() {
        for (int32_t l = gNet.layerCount - 2; l >= 1; --l) {
            const int32_t n = gNet.layerSize[l];
            const int32_t above = gNet.layerSize[l + 1];
            const double* y = layout.activations[l];
            const double* deltaAbove = layout.deltas[l + 1];
            const double* w = layout.weights[l + 1];
            double* s = layout.deltas[l];
            for (int32_t j = 0; j < n; ++j)
                s[j] = 0.0;
            for (int32_t k = 0; k < above; ++k, w += n + 1) {
                const double dk = deltaAbove[k];
                for (int32_t j = 0; j < n; ++j)
                    s[j] = dk * w[j] + s[j];
            }
            for (int32_t j = 0; j < n; ++j)
                s[j] = s[j] * Slope(y[j]);
        }
    }

    static void UpdateWeights() {
        const double momentum = gNet.momentum;
        for (int32_t l = 1; l < gNet.layerCount; ++l) {
            const int32_t n = gNet.layerSize[l - 1];
            const double* a = layout.activations[l - 1];
            const double* delta = layout.deltas[l];
            double* w = layout.weights[l];
            double* last = layout.lastChanges[l];
            for (int32_t j = 0; j < gNet.layerSize[l]; ++j, w += n + 1, last += n + 1) {
                const double g = layout.rateFactor * delta[j];
                if (momentum != 0.0) {
                    for (int32_t i = 0; i <= n; ++i) {
                        const double change = a[i] * g + last[i] * momentum;
                        last[i] = change;
                        w[i] = w[i] + change;
                    }
                } else {
                    for (int32_t i = 0; i <= n; ++i) {
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
