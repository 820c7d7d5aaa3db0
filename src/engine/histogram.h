// The weight histogram behind WeightHistStr.
#pragma once

#include "quar1432.h"

#include <cstddef>
#include <cstdint>

// Counts the weights into `bins` equal bins over lo ... hi (below lo: the first bin, at or
// above hi: the last) in the pinned record gNet.histogramFp, which it (re)allocates. Answers
// the record, or nullptr when there is no network, no bin or the block cannot be allocated.
FP* BuildWeightHistogram(int32_t bins, double lo, double hi);

// Writes the histogram as "{n1,n2,...}" into `text` (`bytes` long, at least 2) and answers it,
// or answers the refusal.
const char* WeightHistogramText(int16_t bins, double lo, double hi, char* text, size_t bytes);
