// Reading one sheet of an .xlsx workbook into a worksheet, and choosing between a workbook and
// a CSV file by what the file holds.
#pragma once

#include "worksheet.h"

#include <cstddef>
#include <string>

// What the reader accepts. The defaults are the host's limits: the names row plus 32000 data
// rows, and the columns that one or two letters can name (A to ZZ).
struct WorkbookLimits {
    size_t maxFileBytes = size_t(512) << 20;
    size_t maxUnpackedBytes = size_t(256) << 20; // all parts read, once unpacked
    size_t maxTreeBytes = size_t(1) << 30;       // one part's parsed tree, estimated beforehand
    int maxRows = 32001;
    int maxColumns = 702;
    // The grid of cells (rows by named columns) may hold at most maxCells, and more than
    // gridFloor only when the sheet's values fill at least one cell in gridPerValue: a few
    // far-apart values must not fill memory with empty cells.
    size_t maxCells = size_t(4) << 20;
    size_t gridFloor = size_t(1) << 20;
    size_t gridPerValue = 16;
};

// The sheet named `sheetName` (ASCII letters compared without case), or the first visible
// worksheet when the name is empty, from the bytes of an .xlsx file. Cells become the records a
// CSV file gives, with the type the workbook stored: numbers exactly as stored (dates are the
// numbers they are stored as), strings (shared, inline or rich text, runs joined) as texts even
// when they look like numbers, booleans as the texts TRUE and FALSE, error values as their texts
// ("#N/A"), formulas as their last calculated value, empty strings as empty cells. The first row
// names the columns. Returns false with a message, leaving `sheet` empty, for anything that is
// not a readable workbook or lies past the limits.
bool ReadWorkbookSheet(const std::string& bytes, const std::string& sheetName, Worksheet* sheet,
                       std::string* error, const WorkbookLimits& limits = WorkbookLimits());

// The same for a file; messages start with the path.
bool LoadWorkbookSheet(const std::string& path, const std::string& sheetName, Worksheet* sheet,
                       std::string* error);

// A workbook when the file starts as a zip archive does or is named .xlsx/.xlsm/.xltx/.xltm,
// otherwise CSV (which has no sheets to choose, so `sheetName` must then be empty). An encrypted
// workbook or an old binary one is refused with a message saying so.
bool LoadSheetFile(const std::string& path, const std::string& sheetName, Worksheet* sheet,
                   std::string* error);
