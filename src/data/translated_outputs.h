// Outputs handed back as worksheet cells: numbers, symbols or distances from a symbol.
#pragma once

#include "data/cell_types.h"
#include "quar1432.h"

#include <cstdint>

enum { OUTPUT_VALUES = 0, OUTPUT_SYMBOLS = 1, OUTPUT_RESIDUALS = 2 };

// Builds the cells of output column `column` from its de-scaled values and the per-position
// blank flags into translatedOutputs; answers the cells or a refusal.
CellsAnswer TranslateOutputs(int32_t column, int32_t mode, const FP* values, const FP* flags);

// Output column `column` as cells in `mode`, or a refusal; no answer without a network.
CellsAnswer TranslatedOutputs(int16_t column, int32_t mode);
