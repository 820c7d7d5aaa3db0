// Recall of a sheet of any length with a trained network.
#pragma once

#include "range.h"
#include "settings.h"

#include <string>
#include <vector>

// Rows per piece: the library's limit less room for the added rows and a window's overlap.
constexpr int kRecallPieceRows = kMostRangeRows - 3 - 2 * 100;

// Recalls a recall range with the given weights in pieces of about `pieceRows` rows. Each piece
// starts on a row with data, early enough that its first pattern sees its whole window, and
// keeps the pattern step's rhythm, so the outputs are those of one recall of the whole range. One
// cell per range row for every output column, as ReadOutputs gives them in mode 1.
bool RecallRange(const Range& range, const NetSettings& settings,
                 const std::vector<double>& weights, int pieceRows,
                 std::vector<std::vector<Cell>>* outputs, std::string* error);
