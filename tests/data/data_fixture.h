// Shared set-up of the data-column tests: networks of one hidden layer and readers of the
// stored columns.
#pragma once

#include "engine/network_state.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

#include <memory>
#include <string>
#include <vector>

using Ints = std::vector<int32_t>;
using Doubles = std::vector<double>;

inline std::string Build(int inputs, int outputs, int rows, int window, int step, int blank,
                         int method) {
    return InitBP(int16_t(inputs), int16_t(outputs), int16_t(rows), int16_t(window), int16_t(step),
                  int16_t(blank), 3, 2, 0, 0, 0, int16_t(method));
}

// Column c of the stored data rows (inputs) or patterns (targets), as T.
template <class T> std::vector<T> Stored(BlockHandle block, int columns, int c, int count) {
    size_t head = size_t(columns) * 16;
    std::vector<T> all = ReadBlock<T>(block, head, size_t(count) * columns), column;
    for (int k = 0; k < count; ++k)
        column.push_back(all[size_t(k * columns + c)]);
    return column;
}
template <class T> std::vector<T> Inputs(int c = 0) {
    return Stored<T>(gNet.inputBlock, gNet.inputColumns, c, gNet.rows);
}
template <class T> std::vector<T> Targets(int c = 0) {
    return Stored<T>(gNet.targetBlock, gNet.outputColumns, c, gNet.patterns);
}
// min[c], max[c].
inline Doubles Bounds(BlockHandle block, int columns, int c = 0) {
    Doubles head = ReadBlock<double>(block, 0, size_t(columns) * 2);
    return {head[size_t(c)], head[size_t(columns + c)]};
}
inline Ints Codes(int count) {
    return ReadBlock<int32_t>(gNet.patternFlagsBlock, 0, size_t(count));
}
inline Ints RowFlags() {
    return ReadBlock<int32_t>(gNet.blankRowFlags, 0, size_t(gNet.rows + gNet.blankRows));
}
inline Doubles PositionFlags() {
    FP* fp = gNet.blankFlagsFpRecord;
    return Doubles(fp->array, fp->array + fp->rows);
}
// rows, blankRows, patterns, blankPatternRows, then minRow, maxRow, symbolRow.
inline Ints Counts() {
    return {gNet.rows,   gNet.blankRows, gNet.patterns, gNet.blankPatternRows,
            gNet.minRow, gNet.maxRow,    gNet.symbolRow};
}

inline std::string Load(int type, int index, const Doubles& values) {
    return SetColumn(int16_t(type), int16_t(index), Column(values).get());
}
// Cells of texts, "" an empty cell.
inline std::unique_ptr<OwnedCells> TextCells(const std::vector<std::string>& texts) {
    auto cells = std::make_unique<OwnedCells>(texts.size());
    for (size_t k = 0; k < texts.size(); ++k)
        if (!texts[k].empty()) cells->SetString(k, texts[k]);
    return cells;
}
inline std::string LoadTexts(int type, int index, const std::vector<std::string>& texts) {
    return SetColumnEx(int16_t(type), int16_t(index), TextCells(texts)->multi(), 0);
}
// The cells of a GetOutputsEx answer: texts as they are, numbers printed with "#".
inline std::vector<std::string> Texts(const XLOPER* answer) {
    std::vector<std::string> texts;
    if (answer == nullptr || answer->xltype != xltypeMulti) return {AnswerText(answer)};
    for (int k = 0; k < answer->val.array.rows; ++k) {
        const XLOPER& x = answer->val.array.lparray[k];
        texts.push_back(x.xltype == xltypeStr ? CountedText(x.val.str) : "#");
    }
    return texts;
}
