// The column store: loading, scaling and packing of data columns into the network's blocks,
// and the blank and special rows that keep rows out of the data.
#pragma once

#include "quar1432.h"

#include <cstdint>

// Answers of the column loads that callers compare against.
extern const char kColumnOk[];
extern const char kNoNetworkForColumns[];
extern const char kNoColumnGiven[];
extern const char kIncorrectColumnSize[];

// Index in a column of `type` of range row `row`: the row itself for input and blank flag
// columns, the pattern position for output and mode flag columns.
int32_t PositionOfRow(int32_t type, int32_t row);

// Turns a special row back into a data row (no-op for -1, or when the blocks could not hold
// one more data row), and marks a row as special (blank), keeping the counts and the
// per-position blank flags in step.
void ReleaseSpecialRow(int32_t row);
void MarkSpecialRow(int32_t row);
// Releases the SYMBOL, MIN and MAX rows in that order and forgets them.
void ReleaseSpecialRows();
// Rewrites the per-position blank flags from blankRowFlags and the pattern step.
void RebuildPositionFlags();

// Data rows and data patterns the blocks of the current network can hold.
int32_t DataRowCapacity();
int32_t PatternCapacity();

// The loader behind SetColumn, SetColumnEx and xSetColumn; the caller has checked that a
// network exists and that `column` is not null.
const char* LoadColumn(int32_t type, int32_t index, const FP* column, int32_t recount);

// SetColumn's load: releases the special rows first for a mode or blank flag column.
const char* StoreColumn(int16_t type, int16_t index, FP* column);
// xSetColumn's load: `recount` != 0 counts the data rows again.
const char* StoreColumnRecount(int32_t type, int32_t index, FP* column, int32_t recount);
