// Shared set-up of the data-column tests: networks of one hidden layer and readers of the
// stored columns.
#pragma once

#include "engine/network_state.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

#include <cstdint>
#include <string>
#include <vector>

// InitBP with one hidden layer of two units.
inline std::string Build(int inputs, int outputs, int totalRows, int window, int step,
                         int blankRows, int method) {
    return InitBP(int16_t(inputs), int16_t(outputs), int16_t(totalRows), int16_t(window),
                  int16_t(step), int16_t(blankRows), 3, 2, 0, 0, 0, int16_t(method));
}

// Column c of every stored data row (inputs) or data pattern (targets, outputs).
template <class T>
std::vector<T> StoredColumn(BlockHandle block, int columns, int c, int count, bool headed = true) {
    size_t head = headed ? size_t(columns) * 16 : 0;
    std::vector<T> all = ReadBlock<T>(block, head, size_t(count) * columns);
    std::vector<T> column;
    for (int k = 0; k < count; ++k)
        column.push_back(all[size_t(k) * columns + c]);
    return column;
}
template <class T> std::vector<T> StoredInputs(int c) {
    return StoredColumn<T>(gNet.inputBlock, gNet.inputColumns, c, gNet.rows);
}
template <class T> std::vector<T> StoredTargets(int c) {
    return StoredColumn<T>(gNet.targetBlock, gNet.outputColumns, c, gNet.patterns);
}
template <class T> std::vector<T> StoredOutputs(int c) {
    return StoredColumn<T>(gNet.outputBlock, gNet.outputColumns, c, gNet.patterns, false);
}
// min[c] and max[c] of a headed block.
inline std::vector<double> Bounds(BlockHandle block, int columns, int c) {
    std::vector<double> head = ReadBlock<double>(block, 0, size_t(columns) * 2);
    return {head[size_t(c)], head[size_t(columns + c)]};
}
inline std::vector<int32_t> PatternCodes(int count) {
    return ReadBlock<int32_t>(gNet.patternFlagsBlock, 0, size_t(count));
}
inline std::vector<int32_t> RowFlags() {
    return ReadBlock<int32_t>(gNet.blankRowFlags, 0, size_t(gNet.rows + gNet.blankRows));
}
inline std::vector<double> PositionFlags() {
    FP* fp = gNet.blankFlagsFpRecord;
    return std::vector<double>(fp->array, fp->array + fp->rows);
}

// rows, blankRows, patterns, blankPatternRows.
inline std::vector<int32_t> Counts() {
    return {gNet.rows, gNet.blankRows, gNet.patterns, gNet.blankPatternRows};
}
inline std::vector<int32_t> SpecialRows() {
    return {gNet.minRow, gNet.maxRow, gNet.symbolRow};
}

inline std::string Load(int type, int index, const std::vector<double>& values) {
    OwnedFp column = Column(values);
    return SetColumn(int16_t(type), int16_t(index), column.get());
}

// A one-column multi of texts ("" = an empty cell).
inline void FillTexts(OwnedCells& cells, const std::vector<std::string>& texts) {
    for (size_t k = 0; k < texts.size(); ++k)
        if (texts[k].empty())
            cells.SetNil(k);
        else
            cells.SetString(k, texts[k]);
}
