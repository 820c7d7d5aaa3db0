#include "addin/result_records.h"

ResultRecords gResults;

void ResetResultRecords() {
    gResults = ResultRecords{};
}

XLOPER* TextResult(XLOPER& record, const unsigned char* counted) {
    SetTextCell(record, counted);
    return &record;
}

XLOPER* CellsResult(XLOPER& record, const CellsAnswer& answer) {
    if (answer.refusal != nullptr) return TextResult(record, answer.refusal);
    if (answer.cells == nullptr) return nullptr;
    record = XLOPER{};
    record.val.array.lparray = answer.cells;
    record.val.array.rows = answer.rows;
    record.val.array.columns = 1;
    record.xltype = xltypeMulti;
    return &record;
}
