// The two halves of ExactExp, open to the tests.
#pragma once

#include <cstdint>

// The fast approximation e^x = (hi + lo) * 2^scale, for -746 <= x <= 709.79 and |x| >= 2^-60,
// with hi + lo in [0.99, 2.01] and a relative error below 2^-68 (the rounding check allows 2^-66).
// Other arguments give {ExactExp(x), 0, 0}.
struct ExpApproximation {
    double hi, lo;
    int32_t scale;
};
ExpApproximation ExpFastApproximation(double x);

// The quick estimate e^x = (value + error) * 2^scale, exact sum, for the same arguments as the
// fast approximation with a normal result, to within 2^-60.4 of e^x / 2^scale. ExactExp returns
// value * 2^scale when every number within 2^-58 of value + error rounds to value.
struct ExpEstimate {
    double value, error;
    int32_t scale;
};
ExpEstimate ExpQuickEstimate(double x);

// e^x correctly rounded from 192-bit fixed-point arithmetic, for the same range (other arguments
// are left to ExactExp).
double ExpSlowPath(double x);

// How many calls of ExactExp the fast approximation could not settle, since the process started.
uint64_t ExactExpSlowPathCount();
