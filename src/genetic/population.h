// Random schemas, the supervisor's draws from the library's generator, and schema helpers.
#pragma once

#include "genetic/supervisor_state.h"

#include <cstdint>

// lo + (hi - lo) x (d / 32767.0) for one draw d: hi itself comes out when d is 32767.
double RandomUniform(double lo, double hi);
// n x (d / 32767.0) truncated toward zero: 0 ... n, n itself only when d is 32767.
int32_t RandomInt(int32_t n);

int32_t CountMaskBits(const uint8_t* mask);
inline bool MaskBit(const uint8_t* mask, int32_t k) {
    return (mask[k / 8] >> (k % 8)) & 1;
}
inline void SetMaskBit(uint8_t* mask, int32_t k, bool on) {
    uint8_t bit = static_cast<uint8_t>(1u << (k % 8));
    mask[k / 8] = static_cast<uint8_t>(on ? (mask[k / 8] | bit) : (mask[k / 8] & ~bit));
}

// Training modes 1 and 3 aim at an error; 2 and 4 train a number of epochs.
inline bool IsGoalMode(int32_t trainMode) {
    return trainMode == MODE_TRAIN_GOAL || trainMode == MODE_TEST_GOAL;
}
// The training settings every new generation starts with: the mode, its goal (an error of at
// most 1.0, or at least 1 epoch), the tolerances and the weight initialisation.
void SetGenerationTraining(PopulationHeader& header, int32_t trainMode, double goal);

void CopySchema(SchemaRecord& to, const SchemaRecord& from);
// The enhanced options and the score of a schema that has never been trained.
void SetFreshOptions(SchemaRecord& s);
// Draws every gene of `s` from the ranges of `settings`.
void NewRandomSchema(SchemaRecord& s, const SupervisorSettings& settings);
