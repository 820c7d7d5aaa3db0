#include "genetic/supervisor_state.h"

#include <cmath>
#include <cstdint>

GeneticSupervisor gSuper = {};

bool TruncToInt32(double x, int32_t& out) {
    if (!(x > -2147483649.0 && x < 2147483648.0)) return false;
    out = static_cast<int32_t>(x);
    return true;
}

int32_t AddEpochs(int32_t total, int32_t more) {
    int64_t sum = int64_t(total) + int64_t(more);
    if (sum > INT32_MAX) return INT32_MAX;
    if (sum < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(sum);
}
