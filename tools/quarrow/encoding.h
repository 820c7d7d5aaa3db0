// How a symbolic output column is put to the network: one coded output (class k stands for
// k + 0.5 on the column's scale), or one output unit per class holding 1 for that class and 0
// for the others, of which the largest names the prediction.
#pragma once

#include "range.h"

#include <string>
#include <vector>

// The network's columns for the range's input or target columns: with `oneHot`, every symbolic
// column becomes one 0/1 column per class named "column=class"; other columns stay as they are.
// A one-hot column spans 0 .. 1 widened by `scaleMargin` of the span on each side.
std::vector<RangeColumn> OneHotColumns(const Range& range, const std::vector<RangeColumn>& columns,
                                       bool oneHot, double scaleMargin);

// The number of network units for these input or target columns, and the outputs' names.
int NetworkOutputCount(const std::vector<ColumnBounds>& targets, bool oneHot);
std::vector<std::string> NetworkOutputNames(const std::vector<std::string>& names,
                                            const std::vector<ColumnBounds>& targets, bool oneHot);

// The target columns' cells from the network outputs' cells (one per range row each): a one-hot
// group gives the class of its largest output, any other column its own output.
std::vector<std::vector<Cell>> TargetOutputs(const Range& range,
                                             const std::vector<std::vector<Cell>>& network);
