// The pass of the double method: every product and sum in the order written below, each one
// rounded by itself (no fused or reordered arithmetic), so every build gives the same bits.
#include "engine/pass_kernels.h"
#include "engine/pattern_walk.h"
#include "engine/random.h"
#include "engine/transfer.h"

namespace {

PassLayout<double, double, double, double> layout;
const PassKernels* kernels;

constexpr int32_t kLogisticCode = 3; // its units go through the kernels, several at once

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
    // transfer function.
    static void Forward() {
        const bool logistic = gNet.transferCode == kLogisticCode;
        for (int32_t l = 1; l < gNet.layerCount; ++l) {
            const int32_t units = gNet.layerSize[l];
            double* unit = layout.activations[l];
            kernels->forwardDouble(layout.activations[l - 1], layout.weights[l],
                                   gNet.layerSize[l - 1] + 1, units, unit);
            if (logistic && units > 1) {
                kernels->logisticDouble(unit, units, gNet.transferGain);
            } else {
                for (int32_t j = 0; j < units; ++j)
                    unit[j] = ApplyTransferDouble(unit[j]);
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
            kernels->backDouble(layout.deltas[l + 1], layout.weights[l + 1], n,
                                gNet.layerSize[l + 1], s);
            for (int32_t j = 0; j < n; ++j)
                s[j] = s[j] * Slope(y[j]);
        }
    }

    static void UpdateWeights() {
        for (int32_t l = 1; l < gNet.layerCount; ++l)
            kernels->updateDouble(layout.weights[l], layout.lastChanges[l],
                                  layout.activations[l - 1], gNet.layerSize[l - 1] + 1,
                                  gNet.layerSize[l], layout.deltas[l], layout.rateFactor,
                                  gNet.momentum);
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
