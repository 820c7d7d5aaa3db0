#include "data/translated_outputs.h"

#include "data/counted_text.h"
#include "data/symbols.h"
#include "engine/network_state.h"
#include "engine/outputs.h"

namespace {

constexpr CountedLiteral kRowOffsetRefused("Row offset not supported in this version.");
constexpr CountedLiteral kColumnTooLarge("Output column too large");
constexpr CountedLiteral kBlankFlagsInvalid("Blank flag column invalid");
constexpr CountedLiteral kBadOutputColumn("Incorrect output column");
constexpr CountedLiteral kBadOutputMode("Invalid output mode");
constexpr CountedLiteral kEmptyText("");

XLOPER outputsAnswer;
XLOPER rowOffsetAnswer;

void SetNumber(XLOPER* cell, double value) {
    *cell = XLOPER{};
    cell->val.num = value;
    cell->xltype = xltypeNum;
}

} // namespace

XLOPER* TranslateOutputs(int32_t column, int32_t mode, const FP* values, const FP* flags) {
    int32_t rangeRows = gNet.rows + gNet.blankRows;
    XLOPER* cells = gNet.translatedOutputCells;
    int64_t heldCells = int64_t(GlobalBlockSize(gNet.translatedOutputs) / sizeof(XLOPER));
    if (values == nullptr || flags == nullptr)
        return AnswerText(&outputsAnswer, kColumnTooLarge.bytes);
    if (values->columns != 1 || values->rows > rangeRows || values->rows > heldCells ||
        cells == nullptr)
        return AnswerText(&outputsAnswer, kColumnTooLarge.bytes);
    if (flags->columns != 1 || flags->rows != values->rows)
        return AnswerText(&outputsAnswer, kBlankFlagsInvalid.bytes);

    int32_t count = values->rows;
    LendOutputTable(column);
    for (int32_t i = 0; i < count; ++i) {
        XLOPER* cell = cells + i;
        double v = values->array[i];
        if (flags->array[i] != 0.0) {
            AnswerText(cell, kEmptyText.bytes);
            continue;
        }
        const unsigned char* symbol = SymbolAt(column, v);
        if (mode == OUTPUT_SYMBOLS && symbol != nullptr)
            AnswerText(cell, symbol);
        else if (mode == OUTPUT_RESIDUALS)
            SetNumber(cell,
                      symbol != nullptr ? v - SymbolValue(COLUMN_OUTPUT, column, symbol) : 0.0);
        else
            SetNumber(cell, v);
    }
    outputsAnswer = XLOPER{};
    outputsAnswer.val.array.lparray = cells;
    outputsAnswer.val.array.rows = static_cast<uint16_t>(count);
    outputsAnswer.val.array.columns = 1;
    outputsAnswer.xltype = xltypeMulti;
    return &outputsAnswer;
}

QUAR_API(XLOPER*) GetOutputsEx(int16_t column, int32_t mode, int16_t rowOffset) {
    if (rowOffset != 0) return AnswerText(&rowOffsetAnswer, kRowOffsetRefused.bytes);
    if (!NetworkExists() || gNet.outputsFpRecord == nullptr) return nullptr;
    if (column < 0 || column >= gNet.outputColumns)
        return AnswerText(&outputsAnswer, kBadOutputColumn.bytes);
    if (mode < OUTPUT_VALUES || mode > OUTPUT_RESIDUALS)
        return AnswerText(&outputsAnswer, kBadOutputMode.bytes);
    FillOutputsFp(column);
    return TranslateOutputs(column, mode, gNet.outputsFpRecord, gNet.blankFlagsFpRecord);
}
