#include "genetic/supervisor_state.h"

#include <cmath>
#include <cstdint>

GeneticSupervisor gSuper = {};

int32_t AddEpochs(int32_t total, int32_t more) {
    int64_t sum = int64_t(total) + int64_t(more);
    if (sum > INT32_MAX) return INT32_MAX;
    if (sum < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(sum);
}
