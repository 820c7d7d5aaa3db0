// Read-back of the network's outputs, de-scaled into the units of their target column.
#pragma once

#include <cstdint>

// Fills outputsFp with output column `column`, one value per pattern position (0.0 at blank
// rows). The caller has checked that outputsFp exists and that the column is valid.
void FillOutputsFp(int32_t column);
