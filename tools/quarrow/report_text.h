// The text report a person reads at the terminal, drawn from the run record.
#pragma once

#include "figures.h"

#include <ostream>

// How the run ended: epochs, the stop rule by name, the kept epoch and the time.
void PrintRunEnd(std::ostream& out, const RunFigures& run);

// For every set of rows and output column: accuracy, balanced accuracy, confusion table and
// per-class figures (symbolic), or RMSE, MAE and R^2 in data units (numeric).
void PrintSetFigures(std::ostream& out, const RunFigures& run);

// Warnings: a large gap between training and testing figures, and classes with few TRAIN rows.
// Each is added to the record.
void AddWarnings(RunFigures* run);
