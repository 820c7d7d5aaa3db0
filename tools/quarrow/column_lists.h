// Column addressing: lists of column names or spreadsheet letters from the command line.
#pragma once

#include "worksheet.h"

#include <string>
#include <vector>

struct ColumnChoice {
    std::vector<int> inputs;
    std::vector<int> outputs;
    int mode = -1; // -1: no mode column
};

// Splits "a, b ,c" into trimmed items; empty items are kept so that they can be reported.
std::vector<std::string> SplitList(const std::string& list);

// Resolves the three lists against the sheet. A list whose items are all column names is taken
// by name; any other list must be spreadsheet letters ("A,B", "ab, C"), which the library's
// column-list parser checks and hands back one by one. The mode list names at most one column.
// A column may not appear twice across the lists.
bool ResolveColumns(const Worksheet& sheet, const std::string& inputs, const std::string& outputs,
                    const std::string& mode, ColumnChoice* choice, std::string* error);

// Finds columns by their names only (used when a saved network names its columns).
bool ColumnsByName(const Worksheet& sheet, const std::vector<std::string>& names,
                   std::vector<int>* columns, std::string* error);
