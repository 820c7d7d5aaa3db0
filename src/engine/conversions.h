// Whole-number helpers that stay defined for every input: double to integer conversions
// (saturating, checked, or keeping the low bits) and a 32-bit sum that wraps.
#pragma once

#include <cmath>
#include <cstdint>

// trunc(x) (toward zero) as a 32-bit integer; saturated at the int32 limits, NaN -> 0.
inline int32_t SaturatedTrunc32(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(x);
}

// trunc(x) into `out` when a 32-bit integer holds it; false (out untouched) for NaN or a value
// outside.
inline bool CheckedTrunc32(double x, int32_t& out) {
    if (!(x > -2147483649.0 && x < 2147483648.0)) return false;
    out = static_cast<int32_t>(x);
    return true;
}

// The low 16 bits of trunc(x), as a 16-bit value. Exact for any finite x; infinities and NaN
// give 0.
inline int16_t Low16OfTrunc(double x) {
    if (!std::isfinite(x)) return 0;
    double wrapped = std::fmod(std::trunc(x), 65536.0); // exact: -65535 ... 65535
    int32_t bits = static_cast<int32_t>(wrapped) & 0xFFFF;
    return static_cast<int16_t>(static_cast<uint16_t>(bits));
}

// 32-bit sum that wraps like the hardware instead of overflowing.
inline int32_t WrapAdd32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
