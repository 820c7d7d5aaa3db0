// The layout of a data block (inputBlock, targetBlock and the supervisor's saved copies): a
// head of two doubles per column (every column's minimum, then every column's maximum), then
// the values row by row, `columns` to a row, each of the calculation method's value type.
#pragma once

#include "platform/platform.h"
#include "quar1432.h"

#include <cstddef>
#include <cstdint>

// Bytes of one value in the method's data blocks (and of one entry of outputBlock).
inline uint64_t ValueBytesOf(int32_t calcMethod) {
    return calcMethod == CALC_FIXED16 ? 2 : 8;
}

// Bytes of the min/max head of a block of `columns` columns.
inline uint64_t DataHeadBytes(int32_t columns) {
    return uint64_t(columns) * 2 * sizeof(double);
}

// Bytes of a whole block: the head, then `rows` rows of values (64-bit, so that no size
// wraps on a 32-bit build).
inline uint64_t DataBlockBytes(int32_t calcMethod, int32_t columns, uint64_t rows) {
    return DataHeadBytes(columns) + uint64_t(columns) * rows * ValueBytesOf(calcMethod);
}

// Rows of values a block of `columns` columns holds as allocated (0 for no block).
inline int64_t DataRowsHeld(BlockHandle block, int32_t calcMethod, int32_t columns) {
    const uint64_t bytes = block != nullptr ? GlobalBlockSize(block) : 0;
    const uint64_t head = DataHeadBytes(columns);
    if (columns < 1 || bytes < head) return 0;
    return int64_t((bytes - head) / (uint64_t(columns) * ValueBytesOf(calcMethod)));
}

// Entries of `bytes` each that a block holds.
inline int64_t EntriesOf(BlockHandle block, size_t bytes) {
    return int64_t(GlobalBlockSize(block) / bytes);
}

// A locked data block read through its layout.
struct DataBlockView {
    void* block;
    int32_t columns;

    double& ColumnMin(int32_t c) const { return static_cast<double*>(block)[c]; }
    double& ColumnMax(int32_t c) const { return static_cast<double*>(block)[columns + c]; }
    template <typename T> T* Values() const {
        return reinterpret_cast<T*>(static_cast<unsigned char*>(block) + DataHeadBytes(columns));
    }
};
