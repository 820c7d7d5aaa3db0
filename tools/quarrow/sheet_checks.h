// Checks of the values a sheet hands to the network, made before anything is loaded, so that a
// value the network cannot learn from is refused with its file, row and column instead of
// quietly changing what a column means.
#pragma once

#include "worksheet.h"

#include <string>
#include <vector>

// Numbers larger than this in size are refused: column ranges and their scaling stay exact.
constexpr double kLargestValue = 1e15;

// The columns hold classes only: their numbers become texts as written ("3" is the class "3").
void DeclareSymbolic(Worksheet* sheet, const std::vector<int>& columns);

// Refuses, naming file, row and column: a text (such as "n/a", "NaN" or "inf") in a column that
// otherwise holds numbers, and numbers beyond kLargestValue. The row of `modeColumn` marked
// SYMBOL holds lists and is not looked at.
bool CheckValues(const std::string& file, const Worksheet& sheet, const std::vector<int>& columns,
                 int modeColumn, std::string* error);
