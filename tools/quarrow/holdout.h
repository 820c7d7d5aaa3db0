// The validation rows: a share of the TRAIN rows kept out of training, on which training stops
// and whose best weights are kept. TEST rows are never among them.
#pragma once

#include "range.h"

// Marks about `share` of the TRAIN rows (rows without a word, or TRAIN) as VALIDATION rows, the
// same rows for the same seed on every build. With a symbolic first output every class gives
// its share (and keeps at least one TRAIN row). Answers how many rows it marked.
int HoldOut(Range* range, double share, int seed);

// The rows that train: data rows at pattern positions marked TRAIN or nothing.
int TrainRowCount(const Range& range);
