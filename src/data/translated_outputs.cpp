#include "data/translated_outputs.h"

#include "data/cell_types.h"
#include "data/counted_text.h"
#include "data/symbols.h"
#include "engine/network_state.h"
#include "engine/outputs.h"

namespace {

constexpr CountedText kColumnTooLarge("Output column too large");
constexpr CountedText kBlankFlagsInvalid("Blank flag column invalid");
constexpr CountedText kBadOutputColumn("Incorrect output column");
constexpr CountedText kBadOutputMode("Invalid output mode");
constexpr CountedText kEmptyText("");

} // namespace

CellsAnswer TranslateOutputs(int32_t column, int32_t mode, const FP* values, const FP* flags) {
    int32_t rangeRows = gNet.rows + gNet.blankRows;
    XLOPER* cells = gNet.translatedOutputCells;
    int64_t heldCells = int64_t(GlobalBlockSize(gNet.translatedOutputs) / sizeof(XLOPER));
    if (values == nullptr || flags == nullptr) return Refusal(kColumnTooLarge.bytes);
    if (values->columns != 1 || values->rows > rangeRows || values->rows > heldCells ||
        cells == nullptr)
        return Refusal(kColumnTooLarge.bytes);
    if (flags->columns != 1 || flags->rows != values->rows)
        return Refusal(kBlankFlagsInvalid.bytes);

    int32_t count = values->rows;
    for (int32_t i = 0; i < count; ++i) {
        XLOPER& cell = cells[i];
        double v = values->array[i];
        if (flags->array[i] != 0.0) {
            SetTextCell(cell, kEmptyText.bytes);
            continue;
        }
        const unsigned char* symbol = SymbolAt(column, v);
        if (mode == OUTPUT_SYMBOLS && symbol != nullptr)
            SetTextCell(cell, symbol);
        else if (mode == OUTPUT_RESIDUALS)
            SetNumberCell(cell,
                          symbol != nullptr ? v - SymbolValue(COLUMN_OUTPUT, column, symbol) : 0.0);
        else
            SetNumberCell(cell, v);
    }
    return ColumnOf(cells, count);
}

CellsAnswer TranslatedOutputs(int16_t column, int32_t mode) {
    if (!NetworkExists() || gNet.outputsFpRecord == nullptr) return {};
    if (column < 0 || column >= gNet.outputColumns) return Refusal(kBadOutputColumn.bytes);
    if (mode < OUTPUT_VALUES || mode > OUTPUT_RESIDUALS) return Refusal(kBadOutputMode.bytes);
    FillOutputsFp(column);
    return TranslateOutputs(column, mode, gNet.outputsFpRecord, gNet.blankFlagsFpRecord);
}
