// The add-in's checks of the value records that cross the boundary.
#pragma once

#include "quar1432.h"

// The record's type and value as text ("Num 1.500000", "Str abc", "???").
const char* DescribeXloper(XLOPER* x);
