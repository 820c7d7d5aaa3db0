// The spreadsheet's cells: their type without the memory-ownership bits, the shape of a
// one-column array, writing a cell, and the answer of an operation whose work is cells.
#pragma once

#include "quar1432.h"

#include <cstdint>

// Excel may set these bits on records whose memory someone else must free.
constexpr uint16_t kOwnershipBits = 0x1000 | 0x4000;

inline uint16_t CellType(const XLOPER& cell) {
    return static_cast<uint16_t>(cell.xltype & ~kOwnershipBits);
}

// A multi of exactly one column whose cells can be read.
inline bool IsSingleColumn(const XLOPER* x) {
    return x != nullptr && CellType(*x) == xltypeMulti && x->val.array.columns == 1 &&
           (x->val.array.rows == 0 || x->val.array.lparray != nullptr);
}

// The counted text of a string cell; an absent text reads as empty.
inline const unsigned char* CellText(const XLOPER& cell) {
    static const unsigned char kEmpty[1] = {0};
    return cell.val.str != nullptr ? cell.val.str : kEmpty;
}

// Makes `cell` a number cell.
inline void SetNumberCell(XLOPER& cell, double value) {
    cell = XLOPER{};
    cell.val.num = value;
    cell.xltype = xltypeNum;
}

// Makes `cell` a string cell over a counted text in the library's storage (never written
// through: the caller only reads it).
inline void SetTextCell(XLOPER& cell, const unsigned char* counted) {
    cell = XLOPER{};
    cell.val.str = const_cast<unsigned char*>(counted);
    cell.xltype = xltypeStr;
}

// What an operation answering cells produced: a refusal text, or `rows` cells in one column,
// or neither (no answer at all). The export frame turns it into the XLOPER it hands back.
struct CellsAnswer {
    const unsigned char* refusal; // a counted text
    XLOPER* cells;
    uint16_t rows;
};

inline CellsAnswer Refusal(const unsigned char* counted) {
    return {counted, nullptr, 0};
}
inline CellsAnswer ColumnOf(XLOPER* cells, int32_t rows) {
    return {nullptr, cells, static_cast<uint16_t>(rows)};
}
