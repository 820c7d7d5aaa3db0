// The 16-bit copies of the training parameters used by the fixed-point pass.
#pragma once

#include <cstdint>

// A parameter in Q15 (32768 = 1.0): the low 16 bits of trunc(x x 32768), and 32767 when bit 15
// of them is set. So 1.0 gives 32767 instead of 32768; 0 <= x < 1.0 keeps its truncated value;
// anything else (negative, 1.0 and above, NaN) gives 32767.
int16_t Q15Copy(double x);

// Records the tolerances, learning rate, momentum and input noise; always "OK".
const char* SetTrainingParams(double trainTolerance, double testTolerance, double learningRate,
                              double momentum, double noise);
// Records the run budget in hours and the two early-stop margins (0 = off); always "OK".
const char* SetRunCutoffs(double hours, double trainRise, double testRise);
