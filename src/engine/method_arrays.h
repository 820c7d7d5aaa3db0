// The network record's arrays of one calculation method, typed. T is the method's value type:
// int16_t for the 16-bit method (Q15 values, weights with 2^26 = 1.0), double for the double
// method. Work outside the passes that is the same in both methods is written once as a
// template over MethodArrays<T> and run through ForNetworkMethod.
#pragma once

#include "engine/conversions.h"
#include "engine/network_state.h"

#include <cstddef>
#include <cstdint>

template <typename T> struct MethodArrays;

template <> struct MethodArrays<int16_t> {
    using Value = int16_t;  // activations, deltas, data, targets and outputs: Q15
    using Weight = int32_t; // 2^26 = 1.0
    using Change = int16_t; // a weight's last change
    static constexpr Value kBiasActivation = 32767;
    static constexpr size_t kWeightBlockBytes = sizeof(Weight) + sizeof(Change); // per weight

    static Weight*& weights() { return gNet.weightsFixed; }
    static Change*& lastChanges() { return gNet.lastChangesFixed; }
    static Value*& unitDeltas() { return gNet.unitDeltasFixed; }
    static Value*& unitDeltasEnd() { return gNet.unitDeltasFixedEnd; }
    static Value*& unitActivations() { return gNet.unitActivationsFixed; }
    static Value*& unitActivationsEnd() { return gNet.unitActivationsFixedEnd; }

    static double RealWeight(Weight w) { return w / kFixedWeightOne; }
    // Out-of-range weights saturate, NaN becomes 0.
    static Weight StoredWeight(double x) { return SaturatedTrunc32(x * kFixedWeightOne); }
    // An output in the unit range (0 ... 1 of its column's span).
    static double UnitOutput(Value v) { return v / 32768.0; }
};

template <> struct MethodArrays<double> {
    using Value = double;
    using Weight = double;
    using Change = double;
    static constexpr Value kBiasActivation = 1.0;
    static constexpr size_t kWeightBlockBytes = sizeof(Weight) + sizeof(Change);

    static Weight*& weights() { return gNet.weightsDouble; }
    static Change*& lastChanges() { return gNet.lastChangesDouble; }
    static Value*& unitDeltas() { return gNet.unitDeltasDouble; }
    static Value*& unitDeltasEnd() { return gNet.unitDeltasDoubleEnd; }
    static Value*& unitActivations() { return gNet.unitActivationsDouble; }
    static Value*& unitActivationsEnd() { return gNet.unitActivationsDoubleEnd; }

    static double RealWeight(Weight w) { return w; }
    static Weight StoredWeight(double x) { return x; }
    static double UnitOutput(Value v) { return v; }
};

using FixedArrays = MethodArrays<int16_t>;
using DoubleArrays = MethodArrays<double>;

// Calls f(MethodArrays<T>{}) for the current network's method.
template <typename F> decltype(auto) ForNetworkMethod(F&& f) {
    if (gNet.calcMethod == CALC_FIXED16) return f(FixedArrays{});
    return f(DoubleArrays{});
}
