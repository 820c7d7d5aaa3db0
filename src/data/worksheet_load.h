// Worksheet columns handed over as cells: translation into numbers before they are stored.
#pragma once

#include "quar1432.h"

#include <cstdint>

// Translates a one-column multi of at most rows + blankRows cells into columnScratchFp.
// Returns false (nothing translated) for any other shape.
bool TranslateColumn(int32_t type, int32_t index, const XLOPER* column);

// Loads a worksheet column of cells (numbers, symbols, mode words, blanks) of `type`.
const char* LoadWorksheetColumn(int16_t type, int16_t index, XLOPER* column);
