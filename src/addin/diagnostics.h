// The add-in's check of the value records that cross the boundary.
#pragma once

#include "quar1432.h"

#include <cstddef>

// Writes the record's type and value as text ("Num 1.500000", "Str abc", "???") into `out`
// (`n` bytes; snprintf cuts a longer text) and answers it.
const char* DescribeXloper(XLOPER* x, char* out, size_t n);
