// Read-back of the network's outputs in the units of their target columns, and the error
// history as a two-series chart record.
#include "engine/outputs.h"

#include "engine/data_block.h"
#include "engine/method_arrays.h"
#include "engine/network_state.h"
#include "platform/locked_block.h"

#include <cstddef>

// Every read stays inside the blocks as allocated: the walk stops at the rows of outputsFp and
// of the range, and the cursor at the patterns stored; rows the walk leaves are cleared.
void FillOutputsFp(int32_t column) {
    FP* out = gNet.outputsFpRecord;
    if (out == nullptr) return;
    if (column < 0 || column >= gNet.outputColumns || gNet.blankRowFlags == nullptr ||
        gNet.targetBlock == nullptr || gNet.outputBlock == nullptr) {
        for (int32_t k = 0; k < out->rows; ++k)
            out->array[k] = 0.0;
        return;
    }
    LockedBlock<const int32_t> blank(gNet.blankRowFlags);
    LockedBlock<> targets(gNet.targetBlock);
    LockedBlock<> outputs(gNet.outputBlock);

    const DataBlockView head{targets.get(), gNet.outputColumns};
    const double lo = head.ColumnMin(column);
    const double span = head.ColumnMax(column) - lo;
    const int64_t rowCount = EntriesOf(gNet.blankRowFlags, sizeof(int32_t));
    const int64_t stored = EntriesOf(gNet.outputBlock, ValueBytesOf(gNet.calcMethod));
    const int64_t patterns =
        gNet.patterns < stored / gNet.outputColumns ? gNet.patterns : stored / gNet.outputColumns;
    int64_t positions = int64_t(gNet.patterns) + gNet.blankPatternRows;
    if (positions > out->rows) positions = out->rows;

    int64_t k = 0;
    int64_t pattern = 0;
    for (; k < positions; ++k) {
        const int64_t row = int64_t(gNet.window) - 1 + k;
        if (row < 0 || row >= rowCount) break;
        double value = 0.0;
        if (blank[row] == 0) {
            if (pattern < patterns) {
                const int64_t at = pattern * gNet.outputColumns + column;
                value = ForNetworkMethod([&](auto m) {
                    using M = decltype(m);
                    return M::UnitOutput(outputs.As<typename M::Value>()[at]) * span + lo;
                });
            }
            pattern += 1;
        }
        out->array[k] = value;
    }
    for (; k < out->rows; ++k)
        out->array[k] = 0.0;
}

FP* OutputsColumn(int16_t column) {
    if (gNet.outputsFp == nullptr || gNet.outputsFpRecord == nullptr) return nullptr;
    if (column < 0 || column >= gNet.outputColumns) return nullptr;
    FillOutputsFp(column);
    return gNet.outputsFpRecord;
}

void ErrorPlot(double* plot) {
    for (int32_t k = 0; k < kPlotRows * 2; ++k)
        plot[k] = 0.0;
    const int32_t count = gNet.errorHistoryCount;
    plot[0] = plot[1] = count;
    plot[2] = plot[3] = gNet.errorBucketSize;
    int32_t row = 2;
    for (int32_t i = 0; i < count && i < kHistoryPoints && row < kPlotRows; ++i, ++row) {
        plot[2 * row] = gNet.trainErrorHistory[i] / 32767.0;
        plot[2 * row + 1] = gNet.testErrorHistory[i] / 32767.0;
    }
    if (gNet.errorBucketFill > 0 && row < kPlotRows) {
        plot[2 * row] = (gNet.trainErrorSum / gNet.errorBucketFill) / 32767.0;
        plot[2 * row + 1] = (gNet.testErrorSum / gNet.errorBucketFill) / 32767.0;
    }
}
