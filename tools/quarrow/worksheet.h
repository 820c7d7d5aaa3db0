// The worksheet: a table of cells read from a CSV file, first row the column names.
#pragma once

#include "csv.h"

#include <string>
#include <vector>

enum class CellKind { Empty, Number, Text };

struct Cell {
    CellKind kind = CellKind::Empty;
    double number = 0.0;
    std::string text; // the field as written, for texts and numbers alike

    bool empty() const { return kind == CellKind::Empty; }
};

struct Worksheet {
    std::vector<std::string> names;      // one per column
    std::vector<std::vector<Cell>> rows; // every row has names.size() cells

    int columnCount() const { return static_cast<int>(names.size()); }
    int rowCount() const { return static_cast<int>(rows.size()); }
    const Cell& at(int row, int column) const { return rows[row][column]; }
};

// A cell from a field: a number when the whole field reads as a finite number, empty when the
// field is empty, a text otherwise.
Cell CellFromField(const std::string& field);
// A text cell, and a number cell written as it reads back exactly.
Cell TextCell(const std::string& text);
Cell NumberCell(double v);

// The library counts columns in short integers.
constexpr size_t kMaxSheetColumns = 32767;
// Rows shorter than the names are padded; all the cells together may come to at most
// kPaddingPerField times the fields of the data rows, plus kFreeCells.
constexpr size_t kPaddingPerField = 4;
constexpr size_t kFreeCells = size_t(1) << 20;

// Builds the worksheet from CSV records. Short rows are padded with empty cells; cells past the
// last named column must be empty. Empty rows at the end of the file are dropped; empty rows
// inside the data are kept (they are blank rows of the range). Refuses a first row wider than
// kMaxSheetColumns and padding out of proportion to the file.
bool BuildWorksheet(const std::vector<CsvRecord>& records, Worksheet* sheet, std::string* error);
// The same from cells already typed (a workbook's), with the same rules.
bool BuildWorksheetFromCells(std::vector<std::vector<Cell>> rows, Worksheet* sheet,
                             std::string* error);
bool LoadWorksheet(const std::string& path, Worksheet* sheet, std::string* error);

// The sheet as CSV text (names first), numbers written as they were read.
std::string WorksheetCsv(const Worksheet& sheet);

// Spreadsheet column letters: 0 -> "A", 25 -> "Z", 26 -> "AA", 701 -> "ZZ", 702 -> "AAA".
std::string ColumnLetters(int index);
// The index of one or two column letters (either case), or -1.
int ColumnIndexOfLetters(const std::string& letters);

// The row number a person sees in a spreadsheet: the names are row 1.
inline int SheetRowNumber(int row) {
    return row + 2;
}

// Number formatting that reads back to the same double.
std::string ExactNumber(double v);
// Short number formatting for people.
std::string ShortNumber(double v, int digits = 6);
