// The data exports, in ordinal order: columns in, modes, blank flags, translated outputs and
// symbol lists.
#include "addin/result_records.h"
#include "data/column_store.h"
#include "data/counted_text.h"
#include "data/data_modes.h"
#include "data/symbols.h"
#include "data/translated_outputs.h"
#include "data/worksheet_load.h"
#include "quar1432.h"

namespace {

// Neither cell export takes a row offset other than 0.
constexpr CountedText kRowOffsetRefused("Row offset not supported in this version.");

} // namespace

QUAR_API(const char*) SetColumn(int16_t type, int16_t index, FP* column) {
    return StoreColumn(type, index, column);
}

QUAR_API(FP*) GetBlankFlags(void) {
    return BlankFlagsRecord();
}

QUAR_API(XLOPER*) SelectDataMode(XLOPER* column, int16_t method, double share) {
    return CellsResult(gResults.selectedModes, SelectDataModes(column, method, share));
}

QUAR_API(const char*) SetColumnEx(int16_t type, int16_t index, XLOPER* column, int16_t rowOffset) {
    if (rowOffset != 0) return kRowOffsetRefused.chars();
    return LoadWorksheetColumn(type, index, column);
}

QUAR_API(XLOPER*) GetOutputsEx(int16_t column, int32_t mode, int16_t rowOffset) {
    if (rowOffset != 0) return TextResult(gResults.rowOffsetRefusal, kRowOffsetRefused.bytes);
    return CellsResult(gResults.outputs, TranslatedOutputs(column, mode));
}

QUAR_API(int32_t) CountSymbols(const char* text) {
    return CountListItems(text);
}

QUAR_API_CDECL(const char*) xSetColumn(int32_t type, int32_t index, FP* column, int32_t recount) {
    return StoreColumnRecount(type, index, column, recount);
}
