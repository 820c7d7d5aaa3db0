// The engine's exports, in ordinal order: building the network, its weights, parameters, runs
// and read-backs.
#include "addin/result_records.h"
#include "engine/histogram.h"
#include "engine/network_build.h"
#include "engine/outputs.h"
#include "engine/params.h"
#include "engine/run_loop.h"
#include "engine/transfer.h"
#include "engine/weights.h"
#include "quar1432.h"

QUAR_API(const char*)
Init(int16_t inputColumns, int16_t outputColumns, int16_t totalRows, int16_t window,
     int16_t patternStep, int16_t blankRows, int16_t layerCount, int16_t hidden1, int16_t hidden2,
     int16_t hidden3, int16_t hidden4) {
    return BuildNetwork(inputColumns, outputColumns, totalRows, window, patternStep, blankRows,
                        layerCount, hidden1, hidden2, hidden3, hidden4, CALC_FIXED16);
}

QUAR_API(const char*) SetWeights(FP* weights, int16_t firstRow) {
    return StoreWeights(weights, firstRow);
}

QUAR_API(int32_t) RandomizeWeights(int32_t useSeed, int16_t seed, double range) {
    RandomizeNetworkWeights(useSeed, seed, range);
    return 1;
}

QUAR_API(const char*)
SetParams(double trainTolerance, double testTolerance, double learningRate, double momentum,
          double noise) {
    return SetTrainingParams(trainTolerance, testTolerance, learningRate, momentum, noise);
}

QUAR_API(FP*) RunNet(int32_t train, int16_t epochs) {
    RunSummary summary;
    if (!RunEpochs(train, epochs, &summary)) return nullptr;
    double* values = gResults.run.values;
    values[0] = summary.withinTolerance;
    values[1] = summary.outsideTolerance;
    values[2] = summary.rmsError;
    values[3] = summary.epochsRun;
    return FpResult(gResults.run, 4, 1);
}

QUAR_API(FP*) GetWeights(int16_t firstRow) {
    return ReadWeights(firstRow);
}

QUAR_API(FP*) GetOutputs(int16_t column) {
    return OutputsColumn(column);
}

QUAR_API(const char*) WeightHistStr(int16_t bins, double lo, double hi) {
    return WeightHistogramText(bins, lo, hi, gResults.histogramText, sizeof gResults.histogramText);
}

QUAR_API(const char*)
SetEnhanced(int16_t code, double gain, int32_t prune, double threshold, int32_t autoRate,
            double margin) {
    return SetEnhancedOptions(code, gain, prune, threshold, autoRate, margin);
}

QUAR_API(FP*) PlotError(void) {
    ErrorPlot(gResults.plot.values);
    return FpResult(gResults.plot, kPlotRows, 2);
}

QUAR_API(const char*) SetCutoffs(double hours, double trainRise, double testRise) {
    return SetRunCutoffs(hours, trainRise, testRise);
}

QUAR_API(const char*)
InitBP(int16_t inputColumns, int16_t outputColumns, int16_t totalRows, int16_t window,
       int16_t patternStep, int16_t blankRows, int16_t layerCount, int16_t hidden1, int16_t hidden2,
       int16_t hidden3, int16_t hidden4, int16_t calcMethod) {
    return BuildNetwork(inputColumns, outputColumns, totalRows, window, patternStep, blankRows,
                        layerCount, hidden1, hidden2, hidden3, hidden4, calcMethod);
}
