// The data range that quarrow hands to the library, built from a worksheet the way the add-in
// builds it: one cell per range row for every input and output column, a blank flag per row,
// a mode word per row, and the special MIN, MAX and SYMBOL rows.
#pragma once

#include "column_lists.h"
#include "worksheet.h"

#include <string>
#include <vector>

// The most rows one range handed to the library may have. Recall takes longer sheets in pieces.
constexpr int kMostRangeRows = 32000;

struct ColumnBounds {
    double lo = 0.0; // the scaling range of the column, margin included
    double hi = 0.0;
    std::vector<std::string> symbols; // empty: a numeric column
};

struct RangeColumn {
    std::string name;
    int sheetColumn = -1;
    std::vector<Cell> cells; // one per range row
    std::string symbolList;  // handed over in the SYMBOL row; empty for a numeric column
    ColumnBounds bounds;
    int target = -1;      // network outputs: the target column this output stands for
    int targetClass = -1; // one-hot outputs: the class of the target it stands for
};

struct Range {
    int window = 1;
    std::vector<int> sheetRow;          // per range row; -1 for a row quarrow added
    std::vector<char> blank;            // per range row: no data
    std::vector<std::string> mode;      // per range row: the mode word handed over, "" for none
    std::vector<std::string> sheetWord; // per range row: the sheet's own mode word
    std::vector<char> outOfRange;       // per range row: an input lay outside the trained range
    bool fixedBounds = false;           // columns carry a trained network's bounds
    bool modeColumn = false;            // a mode flag column is handed over
    int minRow = -1, maxRow = -1, symbolRow = -1;
    std::vector<RangeColumn> inputColumns; // the input columns as the user chose them
    std::vector<RangeColumn> inputs;       // the network's inputs (one per class for one-hot)
    std::vector<RangeColumn> targets;      // the output columns as the user chose them
    std::vector<RangeColumn> outputs;      // the network's outputs (one per class for one-hot)
    bool targetsComplete = true;           // every data row holds a usable target

    int rows() const { return static_cast<int>(sheetRow.size()); }
    bool IsDataRow(int r) const; // neither blank nor special
    int dataRows() const;
    // The range row that shows sheet row r, or -1.
    int RangeRowOfSheetRow(int r) const;
};

struct RangeRequest {
    ColumnChoice columns;
    int window = 1;
    double scaleMargin = 0.0; // half of the margin set with the transfer function
    // Recall on a trained network: the sheet's own mode words and special rows are set aside,
    // every data row is a TEST row, and the columns keep the network's bounds and symbols
    // through added MIN, MAX and SYMBOL rows.
    bool recall = false;
    // Resumed training: the saved bounds and symbols as in recall, the sheet's mode words kept.
    bool fixedBounds = false;
    std::vector<ColumnBounds> inputBounds, outputBounds;
    bool strict = false;       // recall refuses inputs outside the bounds instead of flagging them
    bool oneHot = false;       // symbolic outputs as one 0/1 output per class
    bool oneHotInputs = false; // symbolic inputs as one 0/1 input per class
    // Explicit class orders: sheet column, then its symbols in order.
    std::vector<std::pair<int, std::vector<std::string>>> classOrder;
};

bool BuildRange(const Worksheet& sheet, const RangeRequest& request, Range* range,
                std::string* error);

// Range rows first .. end - 1 of a recall range, followed by its added MIN, MAX and SYMBOL rows.
Range RecallPiece(const Range& range, int first, int end);

// The value the library gives a cell of the column (numbers as they are, a symbol k as
// k + 0.5, anything else 0.0).
double CellValue(const RangeColumn& column, const Cell& cell);
