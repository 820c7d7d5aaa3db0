// Training and testing modes chosen per pattern from a worksheet column.
#pragma once

#include "data/cell_types.h"
#include "quar1432.h"

#include <cstdint>

// Reads the mode words of `column` (upper-cased in place), applies `method` with `share` and
// stores the pattern codes; answers the column's own cells or a refusal.
CellsAnswer SelectDataModes(XLOPER* column, int16_t method, double share);
// The per-position blank flags record, or nullptr without a network.
FP* BlankFlagsRecord();
