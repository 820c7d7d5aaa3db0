// RunNet: epochs of training or recall over the current network, with the stop rules, the
// optional testing pass, pruning, the automatic learning rate and the error history.
#include "engine/run_loop.h"

#include "engine/data_block.h"
#include "engine/network_build.h"
#include "engine/network_state.h"
#include "engine/params.h"
#include "engine/pattern_walk.h"
#include "platform/platform.h"

#include <cmath>
#include <cstddef>

namespace {

// Doubling stops here so that a bucket's sum of samples (each at most 32767) fits in 32 bits
// and the bucket size in 16; longer histories keep halving at this resolution.
constexpr int16_t kMaxBucketSize = 16384;

void LockRunBlocks() {
    BindWeights(GlobalBlockLock(gNet.weightsBlock));
    unsigned char* inputs = static_cast<unsigned char*>(GlobalBlockLock(gNet.inputBlock));
    unsigned char* targets = static_cast<unsigned char*>(GlobalBlockLock(gNet.targetBlock));
    void* outputs = GlobalBlockLock(gNet.outputBlock);
    // Both data blocks start with a head of min and max doubles per column.
    inputs += DataHeadBytes(gNet.inputColumns);
    targets += DataHeadBytes(gNet.outputColumns);
    if (gNet.calcMethod == CALC_FIXED16) {
        gNet.inputDataFixed = reinterpret_cast<int16_t*>(inputs);
        gNet.targetDataFixed = reinterpret_cast<int16_t*>(targets);
        gNet.outputDataFixed = static_cast<int16_t*>(outputs);
        gNet.inputDataDouble = gNet.targetDataDouble = gNet.outputDataDouble = nullptr;
    } else {
        gNet.inputDataDouble = reinterpret_cast<double*>(inputs);
        gNet.targetDataDouble = reinterpret_cast<double*>(targets);
        gNet.outputDataDouble = static_cast<double*>(outputs);
        gNet.inputDataFixed = gNet.targetDataFixed = gNet.outputDataFixed = nullptr;
    }
    gNet.patternFlags = static_cast<int32_t*>(GlobalBlockLock(gNet.patternFlagsBlock));
}

void UnlockRunBlocks() {
    GlobalBlockUnlock(gNet.weightsBlock);
    GlobalBlockUnlock(gNet.inputBlock);
    GlobalBlockUnlock(gNet.targetBlock);
    GlobalBlockUnlock(gNet.patternFlagsBlock);
    GlobalBlockUnlock(gNet.outputBlock);
    gNet.inputDataFixed = gNet.targetDataFixed = gNet.outputDataFixed = nullptr;
    gNet.inputDataDouble = gNet.targetDataDouble = gNet.outputDataDouble = nullptr;
    gNet.patternFlags = nullptr;
}

// A rise of the error that is positive in the mean square and larger than `margin` in RMS.
bool RoseBeyond(double error, double best, double margin) {
    return error - best > 0.0 && std::sqrt(error) - std::sqrt(best) > margin;
}

// The main pass of one epoch and everything after it; true when a stop rule fired.
bool RunEpoch(int32_t train) {
    bool stop = false;
    RunEpochPass(train, 0);
    gNet.trainError = gNet.passError;
    if (gNet.trainStopOn != 0 && train != 0) {
        if (RoseBeyond(gNet.trainError, gNet.bestTrainError, gNet.trainStopRise)) stop = true;
        if (gNet.trainError < gNet.bestTrainError) gNet.bestTrainError = gNet.trainError;
    }
    if (gNet.testPassOn != 0 && train != 0) {
        // The run's statistics stay those of the main pass.
        const int32_t within = gNet.withinToleranceCount;
        const int32_t outside = gNet.outsideToleranceCount;
        const double error = gNet.passError;
        RunEpochPass(0, 1);
        gNet.testError = gNet.passError;
        gNet.withinToleranceCount = within;
        gNet.outsideToleranceCount = outside;
        gNet.passError = error;
        if (RoseBeyond(gNet.testError, gNet.bestTestError, gNet.testStopRise)) stop = true;
        if (gNet.bestTestError > gNet.testError) gNet.bestTestError = gNet.testError;
    } else {
        gNet.testError = 1.0;
    }
    if (train != 0) RecordErrorHistory();
    if (gNet.pruneEnabled != 0) PruneWeights();
    if (gNet.autoLearningRate != 0) SetAutomaticRate(gNet.passError);
    return stop;
}

// What is left of the budget after `elapsed` seconds, never below 0 nor beyond 32 bits.
int32_t RemainingBudget(int64_t budget, int64_t elapsed) {
    const int64_t left = budget - elapsed;
    if (left < 0) return 0;
    return left > INT32_MAX ? INT32_MAX : int32_t(left);
}

// One history sample: sqrt(error) in Q15. 32767 stands for every error of 1.0 or more (the
// symmetric outputs can err by up to 2.0) and for an error that is not a number.
int32_t HistorySample(double error) {
    const double scaled = std::sqrt(error) * 32767.0;
    if (!(scaled <= 32767.0)) return 32767;
    return int32_t(scaled);
}

} // namespace

void RunEpochPass(int32_t learn, int32_t testing) {
    if (!PassShapeIsSound()) return;
    if (gNet.calcMethod == CALC_DOUBLE)
        RunPassDouble(learn, testing);
    else if (gNet.calcMethod == CALC_FIXED16)
        RunPassFixed(learn, testing);
}

void RecordErrorHistory() {
    gNet.trainErrorSum += HistorySample(gNet.trainError);
    gNet.testErrorSum += HistorySample(gNet.testError);
    gNet.errorBucketFill += 1;
    if (gNet.errorBucketFill >= gNet.errorBucketSize) {
        const int32_t size = gNet.errorBucketSize > 0 ? gNet.errorBucketSize : 1;
        gNet.trainErrorHistory[gNet.errorHistoryCount] = int16_t(gNet.trainErrorSum / size);
        gNet.testErrorHistory[gNet.errorHistoryCount] = int16_t(gNet.testErrorSum / size);
        gNet.errorBucketFill = 0;
        gNet.trainErrorSum = 0;
        gNet.testErrorSum = 0;
        gNet.errorHistoryCount += 1;
    }
    if (gNet.errorHistoryCount >= kHistoryPoints) {
        for (int32_t i = 0; i < kHistoryPoints / 2; ++i) {
            gNet.trainErrorHistory[i] =
                int16_t((gNet.trainErrorHistory[2 * i] + gNet.trainErrorHistory[2 * i + 1]) / 2);
            gNet.testErrorHistory[i] =
                int16_t((gNet.testErrorHistory[2 * i] + gNet.testErrorHistory[2 * i + 1]) / 2);
        }
        gNet.errorHistoryCount = kHistoryPoints / 2;
        if (gNet.errorBucketSize < kMaxBucketSize) gNet.errorBucketSize *= 2;
    }
}

void PruneWeights() {
    const int32_t count = gNet.weightCount;
    if (gNet.calcMethod == CALC_FIXED16) {
        int32_t* w = gNet.weightsFixed;
        if (w == nullptr) return;
        const int64_t threshold = gNet.pruneThreshold;
        for (int32_t i = 0; i < count; ++i) {
            const int64_t magnitude = w[i] < 0 ? -int64_t(w[i]) : int64_t(w[i]);
            if (magnitude <= threshold) w[i] = 0;
        }
    } else {
        double* w = gNet.weightsDouble;
        if (w == nullptr) return;
        const double threshold = gNet.pruneThreshold / kFixedWeightOne;
        for (int32_t i = 0; i < count; ++i)
            if (std::fabs(w[i]) <= threshold) w[i] = 0.0;
    }
}

void SetAutomaticRate(double meanSquaredError) {
    double rate = 0.1;
    if (meanSquaredError > 0.01)
        rate = 1.0;
    else if (meanSquaredError > 0.0001)
        rate = 10.0 * std::sqrt(meanSquaredError);
    gNet.learningRate = rate;
    gNet.learningRateFixed = Q15Copy(rate);
}

bool RunEpochs(int32_t train, int16_t epochs, RunSummary* summary) {
    if (!NetworkExists()) return false;
    summary->epochsRun = epochs;
    LockRunBlocks();

    const int64_t start = CalendarSeconds();
    const int64_t deadline = start + gNet.timeBudgetSeconds;
    for (int32_t e = 0; e < epochs; ++e) {
        if (gNet.timeLimitOn != 0 && CalendarSeconds() >= deadline) {
            summary->epochsRun = e;
            break;
        }
        if (RunEpoch(train)) {
            summary->epochsRun = e + 1;
            break;
        }
    }
    if (gNet.timeLimitOn != 0)
        gNet.timeBudgetSeconds = RemainingBudget(gNet.timeBudgetSeconds, CalendarSeconds() - start);

    summary->withinTolerance = gNet.withinToleranceCount;
    summary->outsideTolerance = gNet.outsideToleranceCount;
    summary->rmsError = std::sqrt(gNet.passError);
    UnlockRunBlocks();
    return true;
}
