#include "data/worksheet_load.h"

#include "data/cell_types.h"
#include "data/column_store.h"
#include "data/symbols.h"
#include "engine/network_state.h"
#include "platform/locked_block.h"

#include <cstring>

namespace {

const char kNotSingleColumn[] = "Not a single column array";
const char kSymbolNotText[] = "Symbol is neither blank nor a string";
const char kTranslateFailed[] = "Failed to translate in SetColumnEx";
const char kTwoMinRows[] = "Can't have more than one MIN row";
const char kTwoMaxRows[] = "Can't have more than one MAX row";
const char kTwoSymbolRows[] = "Can't have more than one SYMBOL row";

bool IsOk(const char* answer) {
    return std::strcmp(answer, kColumnOk) == 0;
}

// The counts and special rows that a blank flag load replaces.
struct RowCounts {
    int32_t rows, blankRows, patterns, blankPatternRows;
    int32_t minRow, maxRow, symbolRow;
};

RowCounts SaveRowCounts() {
    return RowCounts{gNet.rows,   gNet.blankRows, gNet.patterns, gNet.blankPatternRows,
                     gNet.minRow, gNet.maxRow,    gNet.symbolRow};
}

void RestoreRowCounts(const RowCounts& saved) {
    gNet.rows = saved.rows;
    gNet.blankRows = saved.blankRows;
    gNet.patterns = saved.patterns;
    gNet.blankPatternRows = saved.blankPatternRows;
    gNet.minRow = saved.minRow;
    gNet.maxRow = saved.maxRow;
    gNet.symbolRow = saved.symbolRow;
}

// Every row becomes a data row again and the special rows are dropped; the load then rebuilds
// the counts from the column. A refused load leaves everything as it was.
const char* LoadBlankFlagCells(int32_t index, const XLOPER* column) {
    RowCounts saved = SaveRowCounts();
    gNet.rows += gNet.blankRows;
    gNet.patterns += gNet.blankPatternRows;
    gNet.blankRows = gNet.blankPatternRows = 0;
    gNet.symbolRow = gNet.minRow = gNet.maxRow = -1;
    const char* answer = kColumnOk;
    if (!IsSingleColumn(column))
        answer = kNotSingleColumn;
    else if (!TranslateColumn(COLUMN_BLANK_FLAG, index, column))
        answer = kTranslateFailed;
    else
        answer = LoadColumn(COLUMN_BLANK_FLAG, index, gNet.columnScratchRecord, 1);
    if (!IsOk(answer)) RestoreRowCounts(saved);
    return answer;
}

// Reads the column's SYMBOL-row cell and installs its list. `found` tells whether the cell
// held a list.
const char* InstallSymbols(int32_t type, int32_t index, const XLOPER* column, bool* found) {
    *found = false;
    int32_t at = PositionOfRow(type, gNet.symbolRow);
    // A column too short to reach the SYMBOL row is refused by the load itself.
    if (at < 0 || at >= column->val.array.rows) return kColumnOk;
    const XLOPER& cell = column->val.array.lparray[at];
    char* list = nullptr;
    char listText[256]; // the cell's text, zero-terminated
    if (CellType(cell) == xltypeStr) {
        const unsigned char* text = CellText(cell);
        int32_t length = text[0];
        std::memcpy(listText, text + 1, size_t(length));
        if (length == 0) listText[length++] = ' ';
        listText[length] = '\0';
        list = listText;
        *found = true;
    } else if (CellType(cell) != xltypeNil) {
        return kSymbolNotText;
    }
    return SetColumnSymbols(type, index, list);
}

// Records the MIN, MAX and SYMBOL rows of a translated mode flag column, then marks them.
const char* FindSpecialRows(const FP* modes) {
    int32_t lead = gNet.window > 1 ? gNet.window - 1 : 0;
    for (int32_t i = 0; i < modes->rows; ++i) {
        double v = modes->array[i];
        if (v == double(MODE_MIN)) {
            if (gNet.minRow >= 0) return kTwoMinRows;
            gNet.minRow = lead + i;
        } else if (v == double(MODE_MAX)) {
            if (gNet.maxRow >= 0) return kTwoMaxRows;
            gNet.maxRow = lead + i;
        } else if (v == double(MODE_SYMBOL)) {
            if (gNet.symbolRow >= 0) return kTwoSymbolRows;
            gNet.symbolRow = lead + i;
        }
    }
    // A column of the wrong length forgets its special rows before any is marked, so that
    // the refusal changes nothing.
    if (modes->rows != gNet.patterns + gNet.blankPatternRows) {
        gNet.minRow = gNet.maxRow = gNet.symbolRow = -1;
        return kIncorrectColumnSize;
    }
    MarkSpecialRow(gNet.minRow);
    MarkSpecialRow(gNet.maxRow);
    MarkSpecialRow(gNet.symbolRow);
    return kColumnOk;
}

// A symbol k in the MIN row sets the bound k, in the MAX row the bound k + 1, so that every
// symbol sits in the middle of its own unit-wide band.
void WidenSymbolBounds(int32_t type, const XLOPER* column) {
    FP* scratch = gNet.columnScratchRecord;
    int32_t count = scratch->rows;
    if (gNet.minRow >= 0) {
        int32_t at = PositionOfRow(type, gNet.minRow);
        if (at >= 0 && at < count && CellType(column->val.array.lparray[at]) == xltypeStr)
            scratch->array[at] -= 0.5;
    }
    if (gNet.maxRow >= 0) {
        int32_t at = PositionOfRow(type, gNet.maxRow);
        if (at >= 0 && at < count && CellType(column->val.array.lparray[at]) == xltypeStr)
            scratch->array[at] += 0.5;
    }
}

} // namespace

bool TranslateColumn(int32_t type, int32_t index, const XLOPER* column) {
    FP* scratch = gNet.columnScratchRecord;
    if (scratch == nullptr || !IsSingleColumn(column)) return false;
    size_t bytes = GlobalBlockSize(gNet.columnScratchFp);
    int64_t held = bytes > 8 ? int64_t((bytes - 8) / sizeof(double)) : 0;
    int32_t count = column->val.array.rows;
    if (count > gNet.rows + gNet.blankRows || count > held) return false;
    scratch->rows = static_cast<uint16_t>(count);
    scratch->columns = 1;
    bool blankFlags = type == COLUMN_BLANK_FLAG;
    for (int32_t i = 0; i < count; ++i) {
        const XLOPER& cell = column->val.array.lparray[i];
        double value = 0.0;
        switch (CellType(cell)) {
        case xltypeNum:
            value = blankFlags ? 0.0 : cell.val.num;
            break;
        case xltypeStr:
            value = blankFlags ? 0.0 : SymbolValue(type, index, CellText(cell));
            break;
        case xltypeBool:
            value = blankFlags ? 0.0 : (cell.val.xbool != 0 ? 1.0 : 0.0);
            break;
        default:
            value = blankFlags ? 1.0 : 0.0;
            break;
        }
        scratch->array[i] = value;
    }
    return true;
}

const char* LoadWorksheetColumn(int16_t type, int16_t index, XLOPER* column) {
    if (!NetworkExists()) return kNoNetworkForColumns;
    if (column == nullptr) return kNoColumnGiven;
    LockedBlock pin(gNet.blankRowFlags);

    if (type == COLUMN_BLANK_FLAG) return LoadBlankFlagCells(index, column);
    if (type == COLUMN_MODE_FLAG) {
        ReleaseSpecialRows();
        if (index < 0) {
            static const FP kClearing = {1, 1, {0.0}};
            return LoadColumn(COLUMN_MODE_FLAG, -1, &kClearing, 1);
        }
    }
    if (!IsSingleColumn(column)) return kNotSingleColumn;

    bool symbolic = type == COLUMN_INPUT || type == COLUMN_OUTPUT;
    bool listFound = false;
    if (gNet.symbolRow >= 0 && symbolic) {
        const char* answer = InstallSymbols(type, index, column, &listFound);
        if (!IsOk(answer)) return answer;
    }
    if (!TranslateColumn(type, index, column)) return kTranslateFailed;

    if (type == COLUMN_MODE_FLAG) {
        const char* answer = FindSpecialRows(gNet.columnScratchRecord);
        if (!IsOk(answer)) return answer;
    } else if (gNet.symbolRow >= 0 && symbolic && listFound) {
        WidenSymbolBounds(type, column);
    }
    return LoadColumn(type, index, gNet.columnScratchRecord, 1);
}
