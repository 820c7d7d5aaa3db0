// The results workbook: the input sheet with every row's prediction beside it, the figures,
// the error curves and native charts of them, for any spreadsheet program to open.
#pragma once

#include "figures.h"
#include "worksheet.h"

#include <string>

// Writes the workbook at `path`, whole or not at all: it is written beside the target under a
// temporary name and renamed over it only when complete; a failure removes the temporary file,
// leaves any earlier file at `path` as it was, and says what went wrong in `error`.
bool WriteResultsWorkbook(const std::string& path, const Worksheet& sheet, const RunFigures& run,
                          std::string* error);
