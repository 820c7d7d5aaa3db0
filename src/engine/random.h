// The library's one pseudo-random generator: state = state x 214013 + 2531011 (mod 2^32),
// draw = (state >> 16) & 32767. Seeded only by RandomizeWeights; 1 at load.
#pragma once

#include <cstdint>

void SeedRandom(uint32_t seed);
int32_t NextRandom(); // 0 ... 32767
