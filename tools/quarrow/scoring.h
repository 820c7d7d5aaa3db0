// Figures of a network's outputs against their targets, per set of rows, in the sheet's units.
#pragma once

#include "figures.h"
#include "range.h"

#include <string>
#include <vector>

// The figures of one output column over the given range rows. `outputs` holds one cell per
// range row as ReadOutputs gave it in mode 1 (symbols for a symbolic column). Rows without a
// target or an output are left out.
OutputFigures ScoreColumn(const RangeColumn& column, const std::vector<Cell>& outputs,
                          const std::vector<int>& rows);

// The figures of every target column for every set named in `sets` (`outputs` one per target);
// `setOfRow` names the set of each range row ("" for none). Sets without rows are left out.
std::vector<SetFigures> ScoreSets(const Range& range, const std::vector<std::vector<Cell>>& outputs,
                                  const std::vector<std::string>& setOfRow,
                                  const std::vector<std::string>& sets);

// The set a training run's range row belongs to: "train", "validation", "test" or "".
std::string TrainingSet(const Range& range, int r);

// The error the network learns on: the root mean square over the given rows and every output of
// (output - target) / (the column's range), the 0..1 scale. `outputs` in mode 0 (numbers).
double ScaledError(const Range& range, const std::vector<std::vector<Cell>>& outputs,
                   const std::vector<int>& rows);

// The per-sheet-row record of a recall (`outputs` one per target column).
RowPredictions SheetPredictions(const Range& range, int sheetRows,
                                const std::vector<std::vector<Cell>>& outputs,
                                const std::vector<std::string>& setOfRow);
