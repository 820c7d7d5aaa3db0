// The network's weights in and out.
#pragma once

#include "quar1432.h"

#include <cstdint>

// Seeds the generator (from `seed`, or from the clock when useSeed is 0) and draws every weight
// uniformly from -range ... range; clears the last changes. Nothing happens without a network.
void RandomizeNetworkWeights(int32_t useSeed, int16_t seed, double range);
// The weight record filled from row `firstRow` (8 weights a row), or nullptr.
FP* ReadWeights(int16_t firstRow);
// Stores the rows of `weights` from row `firstRow` on; answers "OK" or the refusal.
const char* StoreWeights(FP* weights, int16_t firstRow);
