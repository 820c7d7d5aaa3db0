// The transfer functions: the double function, the fixed-point table lookup, and the builder
// of the 1281-entry table for each code.
#pragma once

#include "engine/exact_exp.h"

#include <cstdint>

double ApplyTransferDouble(double net);
// The logistic code's function: never outside 0 ... 1, so it needs none of the limits that
// ApplyTransferDouble puts on the other codes, and gives the same bits.
inline double Logistic(double net, double gain) {
    return 1.0 / (1.0 + ExactExp(-gain * net));
}
// net in Q16 (65536 = 1.0); the result in Q15 (32767 = 1.0).
int16_t ApplyTransferFixed(int32_t net);
// Rebuilds gNet.transferTable and gNet.tableSymmetry for code 1..6 and gain.
void BuildTransferTable(int32_t code, double gain);

// Sets the transfer function, pruning, automatic rate and scale margin; answers "OK" or the
// refusal.
const char* SetEnhancedOptions(int16_t code, double gain, int32_t prune, double threshold,
                               int32_t autoRate, double margin);
