// The 16-bit copies of the training parameters used by the fixed-point pass.
#pragma once

#include <cstdint>

// A parameter in Q15 (32768 = 1.0): the low 16 bits of trunc(x x 32768), and 32767 when bit 15
// of them is set. So 1.0 gives 32767 instead of 32768; 0 <= x < 1.0 keeps its truncated value;
// anything else (negative, 1.0 and above, NaN) gives 32767.
int16_t Q15Copy(double x);
