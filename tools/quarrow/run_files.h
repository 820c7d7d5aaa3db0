// The results workbook and the report page a command was asked for, written after its run.
#pragma once

#include "figures.h"
#include "worksheet.h"

#include <ostream>
#include <string>

// Writes the workbook when `xlsx` is not empty and the page when `report` is not empty, and says
// where on `out` unless `quiet`. False, with the reason, at the first that cannot be written.
bool WriteRunFiles(const std::string& xlsx, const std::string& report, const Worksheet& sheet,
                   const RunFigures& run, bool quiet, std::ostream& out, std::string* error);
