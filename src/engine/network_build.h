// Construction and release of the network's blocks, and the weight binding.
#pragma once

#include <cstdint>

// Frees every block of the current network and clears each handle; harmless when repeated.
void ReleaseNetwork();
// Run history back to its state after a reset: no points, bucket size 1, errors 1.0.
void ResetRunHistory();
// Points the record's weight and last-change pointers into the locked weightsBlock at `block`.
void BindWeights(void* block);

// Checks the dimensions and builds a network of them in `calcMethod`, releasing the previous
// one; answers "OK" or the refusal (nothing changed) or the allocation failure (no network).
const char* BuildNetwork(int16_t inputColumns, int16_t outputColumns, int16_t totalRows,
                         int16_t window, int16_t patternStep, int16_t blankRows, int16_t layerCount,
                         int16_t hidden1, int16_t hidden2, int16_t hidden3, int16_t hidden4,
                         int16_t calcMethod);
