// Column lists on the command line: names, spreadsheet letters and ranges of either.
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

// The columns one list names. Each item is a column name, spreadsheet letters ("AB") or a range
// of either ("A:D", "height:weight"); an item is read as a name first and as letters only when
// the sheet has no column of that name. An unknown item is answered with the sheet's names.
bool ColumnList(const Worksheet& sheet, const std::string& list, std::vector<int>* columns,
                std::string* error);

// Resolves the three lists against the sheet. The mode list names at most one column, and no
// column may appear twice across the lists.
bool ResolveColumns(const Worksheet& sheet, const std::string& inputs, const std::string& outputs,
                    const std::string& mode, ColumnChoice* choice, std::string* error);

// Finds columns by their names only (used when a saved network names its columns).
bool ColumnsByName(const Worksheet& sheet, const std::vector<std::string>& names,
                   std::vector<int>* columns, std::string* error);
