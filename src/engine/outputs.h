// Read-back of the network's outputs, de-scaled into the units of their target column.
#pragma once

#include "quar1432.h"

#include <cstdint>

// Fills outputsFp with output column `column`, one value per pattern position (0.0 at blank
// rows). The caller has checked that outputsFp exists and that the column is valid.
void FillOutputsFp(int32_t column);

// Output column `column` de-scaled into outputsFp, or nullptr without a network or column.
FP* OutputsColumn(int16_t column);
constexpr int32_t kPlotRows = 256;
// Writes the error history as kPlotRows rows of (training, testing) into `plot`: the point
// count, the bucket size, then the points, then zeros.
void ErrorPlot(double* plot);
