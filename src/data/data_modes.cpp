#include "data/data_modes.h"
#include "data/cell_types.h"
#include "data/column_store.h"
#include "data/counted_text.h"
#include "data/symbols.h"
#include "engine/network_state.h"
#include "engine/random.h"
#include "platform/locked_block.h"

#include <algorithm>

namespace {

enum {
    SELECT_FIRST_TRAIN = 1,
    SELECT_FIRST_TEST = 2,
    SELECT_RANDOM = 3,
    SELECT_AS_GIVEN = 4,
    SELECT_SWAP = 5
};

constexpr CountedText kNoNetworkText("Can't select data modes before Init");
constexpr CountedText kBadStructure("Bad Structure in SelectDataMode");
constexpr CountedText kNonBlankValue("Non-blank value in a \"blank\" row");
constexpr CountedText kIllegalMode("Illegal mode type in Mode Flag column");
constexpr CountedText kMoreRowsThanBlocks("More data rows than the network was built for");

// The code a TRAIN or TEST position gets under `method`; other codes are kept.
int32_t SelectMode(int32_t code, int32_t position, int32_t positions, int32_t method,
                   double share) {
    if (code != MODE_TRAIN && code != MODE_TEST) return code;
    switch (method) {
    case SELECT_FIRST_TRAIN:
        return double(position) < double(positions) * share ? MODE_TRAIN : MODE_TEST;
    case SELECT_FIRST_TEST:
        return double(position) < double(positions) * share ? MODE_TEST : MODE_TRAIN;
    case SELECT_RANDOM:
        return double(NextRandom()) < share ? MODE_TRAIN : MODE_TEST;
    case SELECT_SWAP:
        return code == MODE_TRAIN ? MODE_TEST : MODE_TRAIN;
    default:
        return code;
    }
}

bool IsNumberOrBlank(const XLOPER& cell) {
    uint16_t type = CellType(cell);
    return type == xltypeNum || type == xltypeNil;
}

void UpperCaseInPlace(XLOPER& cell) {
    unsigned char* text = cell.val.str;
    if (text == nullptr) return;
    for (int32_t k = 1; k <= text[0]; ++k)
        text[k] = UpperChar(text[k]);
}

} // namespace

CellsAnswer SelectDataModes(XLOPER* column, int16_t method, double share) {
    if (!NetworkExists()) return Refusal(kNoNetworkText.bytes);
    int32_t rangeRows = gNet.rows + gNet.blankRows;
    if (!IsSingleColumn(column) || column->val.array.lparray == nullptr ||
        column->val.array.rows < rangeRows)
        return Refusal(kBadStructure.bytes);

    LockedBlock blankBlock(gNet.blankRowFlags);
    LockedBlock codesBlock(gNet.patternFlagsBlock);
    const int32_t* blank = blankBlock.As<int32_t>();
    int32_t* codes = codesBlock.As<int32_t>();
    int32_t heldRows = int32_t(GlobalBlockSize(gNet.blankRowFlags) / sizeof(int32_t));
    int32_t lead = gNet.window > 1 ? gNet.window - 1 : 0;
    int32_t positions = gNet.patterns + gNet.blankPatternRows;
    int32_t last = std::min(positions, std::min(rangeRows, heldRows) - lead);

    int32_t dataPositions = 0;
    for (int32_t i = 0; i < last; ++i)
        if (blank[lead + i] == 0) ++dataPositions;
    if (dataPositions > PatternCapacity()) return Refusal(kMoreRowsThanBlocks.bytes);

    XLOPER* cells = column->val.array.lparray;
    int32_t k = 0;
    for (int32_t i = 0; i < last; ++i) {
        XLOPER& cell = cells[i];
        if (blank[lead + i] != 0) {
            if (!IsNumberOrBlank(cell)) return Refusal(kNonBlankValue.bytes);
            continue;
        }
        if (CellType(cell) != xltypeStr) return Refusal(kIllegalMode.bytes);
        UpperCaseInPlace(cell);
        int32_t code = ModeWordCode(CellText(cell));
        if (code < 0) return Refusal(kIllegalMode.bytes);
        codes[k++] = SelectMode(code, i, positions, method, share);
    }
    gNet.dataModeActive = 1;
    return ColumnOf(cells, rangeRows);
}

FP* BlankFlagsRecord(void) {
    return NetworkExists() ? gNet.blankFlagsFpRecord : nullptr;
}
