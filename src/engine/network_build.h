// Construction and release of the network's blocks, and the weight binding.
#pragma once

#include <cstdint>

// Frees every block of the current network and clears each handle; harmless when repeated.
void ReleaseNetwork();
// Run history back to its state after a reset: no points, bucket size 1, errors 1.0.
void ResetRunHistory();
// Points the record's weight and last-change pointers into the locked weightsBlock at `block`.
void BindWeights(void* block);
