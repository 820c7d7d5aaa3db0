// One pass over the patterns in the network's calculation method.
#pragma once

#include <cstdint>

// learn != 0: a learning pass; learn == 0 and testing != 0: a testing pass; both 0: recall.
void RunEpochPass(int32_t learn, int32_t testing);
// After every epoch of a training run: adds the epoch's errors to the error history.
void RecordErrorHistory();
// Sets to zero every weight whose magnitude is at most the prune threshold.
void PruneWeights();
// The automatic learning rate for a pass that ended with this mean squared error.
void SetAutomaticRate(double meanSquaredError);

// What a run measured, in the order of RunNet's record.
struct RunSummary {
    double withinTolerance; // patterns within tolerance in the last pass
    double outsideTolerance;
    double rmsError;
    double epochsRun;
};

// Runs up to `epochs` epochs (training when train != 0) with the stop rules and fills
// `summary`; false (summary untouched) without a network.
bool RunEpochs(int32_t train, int16_t epochs, RunSummary* summary);
