// What the results workbook and the report page both read off a run record, said once so the
// two always show the same.
#pragma once

#include "figures.h"

#include <string>
#include <utility>
#include <vector>

// The network's layers as "4-6-1".
std::string LayerText(const std::vector<int>& layers);

// The epoch after which point `k` of the error curves was measured: one point every
// `curveEvery` epochs, the last where training ended.
int CurveEpoch(const RunFigures& run, size_t k);

// The run in a few named values: command, sheet, network shape and how training went.
std::vector<std::pair<std::string, std::string>> RunSummary(const RunFigures& run);
