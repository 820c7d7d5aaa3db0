// Layout checks of the spreadsheet's value records.
#pragma once

#include "quar1432.h"

#include <cstddef>
#include <cstdint>

#if UINTPTR_MAX > 0xFFFFFFFFu
static_assert(sizeof(XLOPER) == 24, "64-bit XLOPER is 24 bytes");
static_assert(offsetof(XLOPER, xltype) == 16, "64-bit type code at byte 16");
static_assert(offsetof(XLOPER, val.array.lparray) == 0, "array elements at byte 0");
static_assert(offsetof(XLOPER, val.array.rows) == 8, "array rows at byte 8");
static_assert(offsetof(XLOPER, val.array.columns) == 10, "array columns at byte 10");
#else
static_assert(sizeof(XLOPER) == 16, "32-bit XLOPER is 16 bytes");
static_assert(offsetof(XLOPER, xltype) == 8, "32-bit type code at byte 8");
static_assert(offsetof(XLOPER, val.array.lparray) == 0, "array elements at byte 0");
static_assert(offsetof(XLOPER, val.array.rows) == 4, "array rows at byte 4");
static_assert(offsetof(XLOPER, val.array.columns) == 6, "array columns at byte 6");
#endif
static_assert(offsetof(XLOPER, val.num) == 0, "number at byte 0");
static_assert(offsetof(XLOPER, val.str) == 0, "string pointer at byte 0");
static_assert(offsetof(XLOPER, val.sref.count) == 0, "sref count at byte 0");
static_assert(offsetof(XLOPER, val.sref.ref.rwFirst) == 2, "sref first row at byte 2");
static_assert(offsetof(XLOPER, val.sref.ref.rwLast) == 4, "sref last row at byte 4");
static_assert(offsetof(XLOPER, val.sref.ref.colFirst) == 6, "sref first column at byte 6");
static_assert(offsetof(XLOPER, val.sref.ref.colLast) == 7, "sref last column at byte 7");
static_assert(offsetof(FP, rows) == 0 && offsetof(FP, columns) == 2, "FP head");
static_assert(offsetof(FP, array) == 8, "FP values from byte 8");
