// Integer helpers of the fixed-point pass. Activations, deltas and last changes are 16-bit
// Q15 values, net inputs Q16, weights 32-bit with 2^26 = 1.0. Wherever a result is "taken as
// 16 bits" it keeps its low 16 bits (a wrap, not a saturation).
#pragma once

#include "engine/conversions.h"

#include <cstdint>

// The low 16 bits of x read as a signed value.
inline int16_t Wrap16(int64_t x) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(x) & 0xFFFFu));
}

// x limited to -32768 ... 32767.
inline int16_t Saturate16(int64_t x) {
    if (x > 32767) return 32767;
    if (x < -32768) return -32768;
    return static_cast<int16_t>(x);
}

// x / 2^n rounded half up: (x + 2^(n-1)) >> n with an arithmetic shift. The 32-bit form is
// for operands known to stay below 2^31 - 2^(n-1); anything larger goes through the wide form.
inline int32_t RoundShift(int32_t x, int n) {
    return (x + (int32_t(1) << (n - 1))) >> n;
}
inline int64_t RoundShiftWide(int64_t x, int n) {
    return (x + (int64_t(1) << (n - 1))) >> n;
}

// 1.0 - y in Q15 for a unit value y: 32768 - y taken as 16 bits, and 32767 where that sets
// bit 15 (y = 0 gives 32767, not -32768).
inline int32_t OneMinusQ15(int32_t y) {
    int16_t c = Wrap16(32768 - y);
    return c < 0 ? 32767 : c;
}

// The logistic slope doubled, 2 y (1 - y), in Q15.
inline int16_t LogisticSlopeQ15(int32_t y) {
    return Wrap16(RoundShift(OneMinusQ15(y) * y, 14));
}

// The symmetric sigmoid's slope, (1 - y^2) / 2, in Q15 (y * y is at most 2^30).
inline int16_t SymmetricSlopeQ15(int32_t y) {
    return Wrap16(RoundShift(1073741824 - y * y, 16));
}

// A hidden unit's delta from its slope d and s, the Q15 sum over the units above of
// (w >> 16) x delta, each term rounded by itself. Large sums are scaled down before the
// product, and the delta is then held within -0.5 ... 0.5.
inline int16_t HiddenDeltaQ15(int32_t d, int32_t s) {
    const int64_t magnitude = s < 0 ? -int64_t(s) : int64_t(s);
    if (magnitude < 65536) return Wrap16(RoundShiftWide(int64_t(d) * s, 16));
    int64_t r;
    if (magnitude < 4194304) {
        const int16_t t = Wrap16(RoundShift(s, 8));
        r = RoundShiftWide(int64_t(t) * d, 8);
    } else {
        const int16_t t = Wrap16(RoundShiftWide(s, 16));
        r = int64_t(t) * d;
    }
    if (r > 16384) return 16384;
    if (r < -16384) return -16384;
    return int16_t(r);
}
