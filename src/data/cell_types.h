// Reading the spreadsheet's cells: their type without the memory-ownership bits, and the
// shape of a one-column array.
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
