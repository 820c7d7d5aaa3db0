// SetParams and SetCutoffs: tolerances, learning rate, momentum, input noise, run budget and
// early stops. Neither needs a network; the values stay until set again.
#include "engine/params.h"

#include "engine/conversions.h"
#include "engine/network_state.h"
#include "quar1432.h"

namespace {

const char kOk[] = "OK";

// A stop margin in RMS error: at most 1.0.
double CappedRise(double rise) {
    return rise > 1.0 ? 1.0 : rise;
}

} // namespace

int16_t Q15Copy(double x) {
    // Only 0 <= x < 2.0 can give a value without bit 15 set; everything else is 32767 and never
    // reaches the integer conversion.
    if (!(x >= 0.0 && x < 2.0)) return 32767;
    int32_t bits = static_cast<int32_t>(x * 32768.0) & 0xFFFF;
    return bits & 0x8000 ? int16_t(32767) : static_cast<int16_t>(bits);
}

const char* SetTrainingParams(double trainTolerance, double testTolerance, double learningRate,
                              double momentum, double noise) {
    gNet.trainTolerance = trainTolerance;
    gNet.trainToleranceFixed = Q15Copy(trainTolerance);
    gNet.testTolerance = testTolerance;
    gNet.testToleranceFixed = Q15Copy(testTolerance);
    gNet.learningRate = learningRate;
    gNet.learningRateFixed = Q15Copy(learningRate);
    gNet.momentum = momentum;
    gNet.momentumFixed = Q15Copy(momentum);
    // The noise share of the input range on each side: 2e / (2e + 1).
    gNet.inputNoise = (2.0 * noise) / (2.0 * noise + 1.0);
    gNet.inputNoiseFixed = Low16OfTrunc(gNet.inputNoise * 32768.0);
    return kOk;
}

const char* SetRunCutoffs(double hours, double trainRise, double testRise) {
    if (hours != 0.0) {
        gNet.timeLimitOn = 1;
        gNet.timeBudgetSeconds = SaturatedTrunc32(hours * 3600.0);
    } else {
        gNet.timeLimitOn = 0;
    }
    if (trainRise > 0.0) {
        gNet.trainStopOn = 1;
        gNet.trainStopRise = CappedRise(trainRise);
    } else {
        gNet.trainStopOn = 0;
    }
    if (testRise > 0.0) {
        gNet.testPassOn = 1;
        gNet.testStopRise = CappedRise(testRise);
    } else {
        gNet.testPassOn = 0;
    }
    return kOk;
}
