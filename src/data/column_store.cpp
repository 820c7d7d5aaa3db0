#include "data/column_store.h"

#include "engine/conversions.h"
#include "engine/data_block.h"
#include "engine/network_state.h"
#include "platform/locked_block.h"
#include "platform/platform.h"

#include <algorithm>
#include <cmath>

const char kColumnOk[] = "OK";
const char kNoNetworkForColumns[] = "Can't load columns before Init";
const char kNoColumnGiven[] = "No column given";
const char kIncorrectColumnSize[] = "Incorrect column size";

namespace {

const char kIncorrectWidth[] = "Incorrect column width";
const char kIncorrectIndex[] = "Incorrect index";
const char kIncorrectType[] = "Incorrect type";
const char kBelowMin[] = "Value less than Min set";
const char kAboveMax[] = "Value greater than Max set";
const char kNonBlankValue[] = "Non-blank value in a \"blank\" row";
const char kMoreRowsThanBlocks[] = "More data rows than the network was built for";
const char kBlankCountDiffers[] = "Blank flag column does not mark the announced blank rows";
const char kBlankInFirstWindow[] = "Blank rows must lie after the first window of rows";

// Rows before the first window end, which start no pattern.
int32_t WindowLead() {
    return gNet.window > 1 ? gNet.window - 1 : 0;
}

// Rows of the range, never more than blankRowFlags holds.
int32_t RangeRows() {
    int64_t held = int64_t(GlobalBlockSize(gNet.blankRowFlags) / sizeof(int32_t));
    return int32_t(std::max<int64_t>(0, std::min<int64_t>(gNet.rows + gNet.blankRows, held)));
}

int32_t PatternPositions() {
    return gNet.patterns + gNet.blankPatternRows;
}

int32_t RowOfEntry(int32_t type, int32_t entry) {
    return type == COLUMN_INPUT || type == COLUMN_BLANK_FLAG ? entry : WindowLead() + entry;
}

// A scaled target: 32768 (and any wrapped negative) saturates at 32767.
int16_t FixedTarget(double v) {
    int16_t t = Low16OfTrunc(v);
    return t < 0 ? int16_t(32767) : t;
}

// The image of 0.0 in a fixed-point output column, 32767 when it lies outside 0 ... 32767.
int16_t FixedImageOfZero(double v) {
    double t = std::trunc(v);
    return t >= 0.0 && t <= 32767.0 ? static_cast<int16_t>(t) : int16_t(32767);
}

// Codes outside 0 ... 5 (and NaN) become SKIP.
int32_t ModeCodeOf(double x) {
    double t = std::trunc(x);
    return t >= 0.0 && t <= 5.0 ? static_cast<int32_t>(t) : int32_t(MODE_SKIP);
}

bool IsSpecialRow(int32_t row) {
    return row == gNet.minRow || row == gNet.maxRow || row == gNet.symbolRow;
}

struct ColumnScale {
    double lo;    // bottom of the range after the margin
    double hi;    // top of the range after the margin
    double range; // hi - lo, 1.0 for a constant column
};

// Finds the scaling range of an input or output column from its data rows and the MIN and
// MAX rows.
const char* FindScale(int32_t type, const double* values, int32_t count, const int32_t* blank,
                      int32_t rangeRows, ColumnScale* scale) {
    bool seen = false;
    double dataMin = 0.0, dataMax = 0.0;
    for (int32_t i = 0; i < count; ++i) {
        int32_t r = RowOfEntry(type, i);
        if (r >= rangeRows || blank[r] != 0) continue;
        double x = values[i];
        if (!seen) {
            dataMin = dataMax = x;
            seen = true;
        } else if (x < dataMin) {
            dataMin = x;
        } else if (x > dataMax) {
            dataMax = x;
        }
    }
    int32_t minAt = gNet.minRow >= 0 ? PositionOfRow(type, gNet.minRow) : -1;
    int32_t maxAt = gNet.maxRow >= 0 ? PositionOfRow(type, gNet.maxRow) : -1;
    bool haveMin = minAt >= 0 && minAt < count;
    bool haveMax = maxAt >= 0 && maxAt < count;
    double lo = haveMin ? values[minAt] : dataMin;
    double hi = haveMax ? values[maxAt] : dataMax;
    double d = hi - lo;
    scale->lo = lo - d * gNet.scaleMargin;
    scale->hi = hi + d * gNet.scaleMargin;
    if (haveMin && dataMin < scale->lo) return kBelowMin;
    if (haveMax && dataMax > scale->hi) return kAboveMax;
    scale->range = scale->hi - scale->lo;
    if (scale->range == 0.0) scale->range = 1.0;
    return nullptr;
}

// Refuses a non-zero entry at a blank row that is not special, and counts the entries that
// will be stored.
const char* CheckEntries(int32_t type, const double* values, int32_t count, const int32_t* blank,
                         int32_t rangeRows, int32_t* stored) {
    *stored = 0;
    for (int32_t i = 0; i < count; ++i) {
        int32_t r = RowOfEntry(type, i);
        if (r >= rangeRows) continue;
        if (blank[r] == 0) {
            *stored += 1;
        } else if (values[i] != 0.0 && !IsSpecialRow(r)) {
            return kNonBlankValue;
        }
    }
    return nullptr;
}

void StoreInput(int32_t index, const double* values, int32_t count, const int32_t* blank,
                int32_t rangeRows, const ColumnScale& scale) {
    LockedBlock block(gNet.inputBlock);
    const DataBlockView view{block.get(), gNet.inputColumns};
    const int32_t columns = view.columns;
    view.ColumnMin(index) = scale.lo;
    view.ColumnMax(index) = scale.hi;
    int32_t k = 0;
    if (gNet.calcMethod == CALC_DOUBLE) {
        double* data = view.Values<double>();
        double share = 1.0 - gNet.inputNoise;
        for (int32_t i = 0; i < count && i < rangeRows; ++i) {
            if (blank[i] != 0) continue;
            data[k++ * columns + index] = (values[i] - scale.lo) * share / scale.range;
        }
    } else {
        int16_t* data = view.Values<int16_t>();
        double top = double(32767 - gNet.inputNoiseFixed);
        for (int32_t i = 0; i < count && i < rangeRows; ++i) {
            if (blank[i] != 0) continue;
            data[k++ * columns + index] =
                Low16OfTrunc((values[i] - scale.lo) * top / scale.range + 0.5);
        }
    }
}

void StoreOutput(int32_t index, const double* values, int32_t count, const int32_t* blank,
                 int32_t rangeRows, const ColumnScale& scale) {
    LockedBlock targetBlock(gNet.targetBlock);
    LockedBlock outputBlock(gNet.outputBlock);
    const DataBlockView view{targetBlock.get(), gNet.outputColumns};
    const int32_t columns = view.columns;
    view.ColumnMin(index) = scale.lo;
    view.ColumnMax(index) = scale.hi;
    int32_t k = 0;
    if (gNet.calcMethod == CALC_DOUBLE) {
        double* targets = view.Values<double>();
        double* outputs = outputBlock.As<double>();
        for (int32_t i = 0; i < count; ++i) {
            int32_t r = RowOfEntry(COLUMN_OUTPUT, i);
            if (r >= rangeRows || blank[r] != 0) continue;
            targets[k * columns + index] = (values[i] - scale.lo) / scale.range;
            outputs[k * columns + index] = 0.0;
            ++k;
        }
    } else {
        int16_t* targets = view.Values<int16_t>();
        int16_t* outputs = outputBlock.As<int16_t>();
        int16_t zero = FixedImageOfZero(-scale.lo * 32768.0 / scale.range + 0.5);
        for (int32_t i = 0; i < count; ++i) {
            int32_t r = RowOfEntry(COLUMN_OUTPUT, i);
            if (r >= rangeRows || blank[r] != 0) continue;
            targets[k * columns + index] =
                FixedTarget((values[i] - scale.lo) * 32768.0 / scale.range + 0.5);
            outputs[k * columns + index] = zero;
            ++k;
        }
    }
}

void StoreModeFlags(const double* values, int32_t count, const int32_t* blank, int32_t rangeRows) {
    LockedBlock block(gNet.patternFlagsBlock);
    int32_t* codes = block.As<int32_t>();
    int32_t k = 0;
    for (int32_t i = 0; i < count; ++i) {
        int32_t r = RowOfEntry(COLUMN_MODE_FLAG, i);
        if (r >= rangeRows || blank[r] != 0) continue;
        codes[k++] = ModeCodeOf(values[i]);
    }
    gNet.dataModeActive = 1;
}

void ClearModeFlags() {
    int32_t n = std::min(PatternPositions(), PatternCapacity());
    LockedBlock block(gNet.patternFlagsBlock);
    int32_t* codes = block.As<int32_t>();
    for (int32_t k = 0; k < n; ++k)
        codes[k] = MODE_TRAIN;
    gNet.dataModeActive = 0;
}

const char* LoadBlankFlags(const double* values, int32_t count, int32_t recount) {
    int32_t lead = WindowLead();
    int32_t marked = 0;
    for (int32_t r = 0; r < count; ++r) {
        if (values[r] == 0.0) continue;
        if (r < lead) return kBlankInFirstWindow;
        ++marked;
    }
    if (count - marked > DataRowCapacity()) return kMoreRowsThanBlocks;
    if (recount == 0 && marked != gNet.blankRows) return kBlankCountDiffers;

    {
        LockedBlock block(gNet.blankRowFlags);
        int32_t* blank = block.As<int32_t>();
        for (int32_t r = 0; r < count; ++r)
            blank[r] = values[r] != 0.0 ? 1 : 0;
    }
    if (recount != 0) {
        gNet.rows = count - marked;
        gNet.blankRows = marked;
        gNet.patterns = gNet.rows - lead;
    }
    gNet.blankPatternRows = gNet.blankRows;
    gNet.minRow = gNet.maxRow = gNet.symbolRow = -1;
    RebuildPositionFlags();
    return kColumnOk;
}

} // namespace

// The per-position flags: 1.0 at blank rows and at the data positions the pattern step passes
// over, 0.0 where a pattern is processed.
void RebuildPositionFlags() {
    FP* positions = gNet.blankFlagsFpRecord;
    if (positions == nullptr) return;
    LockedBlock block(gNet.blankRowFlags);
    const int32_t* blank = block.As<int32_t>();
    int32_t step = gNet.patternStep > 0 ? gNet.patternStep : 1;
    int32_t lead = WindowLead();
    int32_t rangeRows = RangeRows();
    int32_t k = 0;
    for (int32_t r = lead; r < rangeRows && r - lead < positions->rows; ++r) {
        double* flag = positions->array + (r - lead);
        if (blank[r] != 0) {
            *flag = 1.0;
        } else {
            *flag = k % step != 0 ? 1.0 : 0.0;
            ++k;
        }
    }
}

int32_t PositionOfRow(int32_t type, int32_t row) {
    return type == COLUMN_OUTPUT || type == COLUMN_MODE_FLAG ? row - WindowLead() : row;
}

int32_t PatternCapacity() {
    int64_t capacity = int64_t(GlobalBlockSize(gNet.patternFlagsBlock) / sizeof(int32_t));
    if (gNet.outputColumns > 0) {
        int64_t perColumn = int64_t(GlobalBlockSize(gNet.outputBlock)) / gNet.outputColumns;
        capacity = std::min(capacity, perColumn / int64_t(ValueBytesOf(gNet.calcMethod)));
        capacity =
            std::min(capacity, DataRowsHeld(gNet.targetBlock, gNet.calcMethod, gNet.outputColumns));
    }
    return int32_t(std::min<int64_t>(capacity, INT32_MAX / 2));
}

int32_t DataRowCapacity() {
    int64_t capacity = int64_t(PatternCapacity()) + WindowLead();
    if (gNet.inputColumns > 0)
        capacity =
            std::min(capacity, DataRowsHeld(gNet.inputBlock, gNet.calcMethod, gNet.inputColumns));
    return int32_t(capacity);
}

void ReleaseSpecialRow(int32_t row) {
    if (row < 0 || row >= RangeRows()) return;
    bool patternRow = row >= WindowLead();
    {
        LockedBlock block(gNet.blankRowFlags);
        int32_t* blank = block.As<int32_t>();
        if (blank[row] == 0) return;
        // A row the blank flag column marked stays blank when the blocks hold no more rows.
        if (gNet.rows + 1 > DataRowCapacity()) return;
        if (patternRow && gNet.patterns + 1 > PatternCapacity()) return;
        blank[row] = 0;
    }
    gNet.rows += 1;
    gNet.blankRows -= 1;
    if (patternRow) {
        gNet.patterns += 1;
        gNet.blankPatternRows -= 1;
    }
    RebuildPositionFlags();
}

void MarkSpecialRow(int32_t row) {
    if (row < 0 || row >= RangeRows()) return;
    {
        LockedBlock block(gNet.blankRowFlags);
        int32_t* blank = block.As<int32_t>();
        if (blank[row] != 0) return;
        blank[row] = 1;
    }
    gNet.rows -= 1;
    gNet.blankRows += 1;
    if (row >= WindowLead()) {
        gNet.patterns -= 1;
        gNet.blankPatternRows += 1;
    }
    RebuildPositionFlags();
}

void ReleaseSpecialRows() {
    ReleaseSpecialRow(gNet.symbolRow);
    gNet.symbolRow = -1;
    ReleaseSpecialRow(gNet.minRow);
    gNet.minRow = -1;
    ReleaseSpecialRow(gNet.maxRow);
    gNet.maxRow = -1;
}

const char* LoadColumn(int32_t type, int32_t index, const FP* column, int32_t recount) {
    if (column->columns != 1) return kIncorrectWidth;
    int32_t rangeRows = RangeRows();
    int32_t expected = 0;
    switch (type) {
    case COLUMN_INPUT:
        if (index < 0 || index >= gNet.inputColumns) return kIncorrectIndex;
        expected = gNet.rows + gNet.blankRows;
        break;
    case COLUMN_OUTPUT:
        if (index < 0 || index >= gNet.outputColumns) return kIncorrectIndex;
        expected = PatternPositions();
        break;
    case COLUMN_MODE_FLAG:
        if (index < 0) {
            ClearModeFlags();
            return kColumnOk;
        }
        expected = PatternPositions();
        break;
    case COLUMN_BLANK_FLAG:
        expected = gNet.rows + gNet.blankRows;
        break;
    default:
        return kIncorrectType;
    }
    int32_t count = column->rows;
    if (count != expected) return kIncorrectColumnSize;
    const double* values = column->array;
    if (type == COLUMN_BLANK_FLAG) {
        if (count > rangeRows) return kIncorrectColumnSize;
        return LoadBlankFlags(values, count, recount);
    }

    LockedBlock blankBlock(gNet.blankRowFlags);
    const int32_t* blank = blankBlock.As<int32_t>();
    ColumnScale scale{};
    if (type != COLUMN_MODE_FLAG) {
        const char* refusal = FindScale(type, values, count, blank, rangeRows, &scale);
        if (refusal != nullptr) return refusal;
    }
    int32_t stored = 0;
    const char* refusal = CheckEntries(type, values, count, blank, rangeRows, &stored);
    if (refusal != nullptr) return refusal;
    int32_t capacity = type == COLUMN_INPUT ? DataRowCapacity() : PatternCapacity();
    if (stored > capacity) return kMoreRowsThanBlocks;

    if (type == COLUMN_INPUT)
        StoreInput(index, values, count, blank, rangeRows, scale);
    else if (type == COLUMN_OUTPUT)
        StoreOutput(index, values, count, blank, rangeRows, scale);
    else
        StoreModeFlags(values, count, blank, rangeRows);
    return kColumnOk;
}

const char* StoreColumn(int16_t type, int16_t index, FP* column) {
    if (!NetworkExists()) return kNoNetworkForColumns;
    if (column == nullptr) return kNoColumnGiven;
    LockedBlock pin(gNet.blankRowFlags);
    if (type == COLUMN_MODE_FLAG || type == COLUMN_BLANK_FLAG) ReleaseSpecialRows();
    return LoadColumn(type, index, column, 0);
}

const char* StoreColumnRecount(int32_t type, int32_t index, FP* column, int32_t recount) {
    if (!NetworkExists()) return kNoNetworkForColumns;
    if (column == nullptr) return kNoColumnGiven;
    return LoadColumn(type, index, column, recount != 0 ? 1 : 0);
}
