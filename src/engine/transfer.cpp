// The transfer functions (codes 1..6 with a gain), their fixed-point table, and SetEnhanced.
#include "engine/transfer.h"

#include "engine/conversions.h"
#include "engine/exact_exp.h"
#include "engine/network_state.h"
#include "quar1432.h"

#include <cmath>

namespace {

const char kOk[] = "OK";
const char kBadCode[] = "Unrecognized Function Code";
const char kBadMargin[] = "Invalid Scale Margin";

constexpr int32_t kGaussian = 1;
constexpr int32_t kLinear = 2;
constexpr int32_t kLogistic = 3;
constexpr int32_t kStep = 4;
constexpr int32_t kSymmetricSigmoid = 5;
constexpr int32_t kSquareRatio = 6;

// How the table serves a negative net input.
constexpr int32_t kComplementary = 0; // f(-x) = 1 - f(x)
constexpr int32_t kEven = 1;          // f(-x) = f(x)
constexpr int32_t kOdd = 2;           // f(-x) = -f(x)

constexpr int32_t kTableLimit = 655360; // net input 10.0 in Q16
constexpr double kMaxPruneThreshold = 16.0;

// A table value in Q15, rounded: v capped at 1.0; v is never negative, NaN (from an infinite
// gain) stores 0.
int16_t TableEntry(double v) {
    if (v > 1.0) v = 1.0;
    if (!(v >= 0.0)) return 0;
    return static_cast<int16_t>(static_cast<int32_t>(v * 32767.0 + 0.5));
}

double TableValue(int32_t code, double s, int32_t i) {
    const double is = i * s;
    switch (code) {
    case kGaussian:
        return ExactExp(-0.5 * (is * is));
    case kLinear:
        return is + 0.5;
    case kLogistic:
        return 1.0 / (1.0 + ExactExp(-is));
    case kSymmetricSigmoid: {
        double e = ExactExp(-is);
        return (1.0 - e) / (1.0 + e);
    }
    case kSquareRatio:
        return (is * is) / (1.0 + is * is);
    default:
        return 0.0;
    }
}

// The step factor of the table: the net-input step of one entry (1/128) times the gain's
// magnitude, with each code's own scale.
double TableStep(int32_t code, double gain) {
    const double g = std::fabs(gain);
    switch (code) {
    case kGaussian:
    case kSymmetricSigmoid:
        return g / 256.0;
    case kLinear:
        return g * 0.0078125 * 0.05;
    default:
        return g / 128.0;
    }
}

int32_t SymmetryOf(int32_t code) {
    switch (code) {
    case kGaussian:
    case kSquareRatio:
        return kEven;
    case kSymmetricSigmoid:
        return kOdd;
    default:
        return kComplementary;
    }
}

// tanh(g x / 4) from one exponential of a non-positive argument.
double SymmetricSigmoid(double net) {
    if (net < -64.0) return -1.0;
    if (net > 64.0) return 1.0;
    const double u = (gNet.transferGain * net) * 0.5;
    const double e = ExactExp(-std::fabs(u));
    const double m = (1.0 - e) / (1.0 + e);
    return u < 0.0 ? -m : m;
}

} // namespace

void BuildTransferTable(int32_t code, double gain) {
    gNet.tableSymmetry = SymmetryOf(code);
    if (code == kStep) {
        gNet.transferTable[0] = 16384;
        for (int32_t i = 1; i < kTransferTableSize; ++i)
            gNet.transferTable[i] = 32767;
        return;
    }
    const double s = TableStep(code, gain);
    for (int32_t i = 0; i < kTransferTableSize; ++i)
        gNet.transferTable[i] = TableEntry(TableValue(code, s, i));
}

double ApplyTransferDouble(double net) {
    const double g = gNet.transferGain;
    double y;
    switch (gNet.transferCode) {
    case kGaussian: {
        const double u = 0.5 * g * net;
        y = ExactExp(-0.5 * (u * u));
        break;
    }
    case kLinear:
        y = 0.05 * g * net + 0.5;
        break;
    case kLogistic:
        y = Logistic(net, g);
        break;
    case kStep:
        y = net > 0.0 ? 1.0 : (net == 0.0 ? 0.5 : 0.0);
        break;
    case kSymmetricSigmoid:
        y = SymmetricSigmoid(net);
        break;
    default: {
        const double u = g * net;
        y = (u * u) / (1.0 + u * u);
        break;
    }
    }
    if (y > 1.0) y = 1.0;
    if (gNet.transferCode != kSymmetricSigmoid && y < 0.0) y = 0.0;
    return y;
}

int16_t ApplyTransferFixed(int32_t net) {
    const int32_t code = gNet.transferCode;
    if (net <= -kTableLimit) {
        if (code == kSquareRatio) return 32767;
        if (code == kSymmetricSigmoid) return -32767;
        return 0;
    }
    if (net >= kTableLimit) return code == kGaussian ? int16_t(0) : int16_t(32767);

    const int32_t a = net < 0 ? -net : net;
    const int32_t i = a >> 9;  // one entry per 1/128 of net input (512 in Q16)
    const int32_t f = a & 511; // position between entry i and i + 1
    const int16_t* table = gNet.transferTable;
    const int16_t d = static_cast<int16_t>(table[i + 1] - table[i]);
    const int16_t step = static_cast<int16_t>((int32_t(d) * f + 256) >> 9);
    int16_t y = static_cast<int16_t>(table[i] + step);

    const int32_t symmetry = gNet.tableSymmetry;
    if (net < 0) {
        if (symmetry == kComplementary) y = static_cast<int16_t>(32767 - y);
        if (symmetry == kOdd) y = static_cast<int16_t>(-y);
    }
    if (symmetry != kOdd && y < 0) y = 32767;
    return y;
}

const char* SetEnhancedOptions(int16_t code, double gain, int32_t prune, double threshold,
                               int32_t autoRate, double margin) {
    if (code != gNet.transferCode || gain != gNet.transferGain) {
        if (code < kGaussian || code > kSquareRatio) return kBadCode;
        BuildTransferTable(code, gain);
        gNet.transferCode = code;
        gNet.transferGain = gain;
    }
    gNet.pruneEnabled = prune;
    if (threshold > kMaxPruneThreshold) threshold = kMaxPruneThreshold;
    gNet.pruneThreshold = SaturatedTrunc32(threshold * kFixedWeightOne);
    if (autoRate != 0) {
        gNet.autoLearningRate = 1;
        gNet.learningRateFixed = 0;
    } else {
        gNet.autoLearningRate = 0;
    }
    // A margin that is not a finite non-negative number would spoil every column's scaling.
    if (!(margin >= 0.0) || std::isinf(margin)) return kBadMargin;
    gNet.scaleMargin = margin / 2.0;
    return kOk;
}
