// The records the exports hand back, and the one place that builds them. Each record is
// static, so the address handed out stays valid until the next call of the same export; the
// caller copies what it needs and never frees it.
#pragma once

#include "addin/parser.h"
#include "addin/xl_records.h"
#include "data/cell_types.h"
#include "engine/outputs.h"
#include "quar1432.h"

#include <cstddef>
#include <cstdint>

// An FP record of at most N values in the library's storage.
template <size_t N> struct FpRecord {
    uint16_t rows;
    uint16_t columns;
    alignas(8) double values[N];
};

constexpr size_t kTextResultBytes = 256; // 255 characters and the zero

struct ResultRecords {
    FpRecord<4> run;                      // RunNet
    FpRecord<kPlotRows * 2> plot;         // PlotError
    FpRecord<kParsedLists> parse;         // Parse
    char histogramText[kTextResultBytes]; // WeightHistStr
    char parsedName[4];                   // GetParsed
    char description[kTextResultBytes];   // TestXLOPER
    XLOPER returned;                      // ReturnXLOPER
    XLOPER selectedModes;                 // SelectDataMode
    XLOPER outputs;                       // GetOutputsEx
    XLOPER rowOffsetRefusal;              // GetOutputsEx with a row offset
    XLOPER population;                    // UnloadPop
    XLOPER schema;                        // GetSchema
};

extern ResultRecords gResults;

// Every record back to zero.
void ResetResultRecords();

// Writes the head of `record` and answers it as an FP.
template <size_t N> FP* FpResult(FpRecord<N>& record, uint16_t rows, uint16_t columns) {
    static_assert(offsetof(FpRecord<N>, values) == offsetof(FP, array), "FP layout");
    record.rows = rows;
    record.columns = columns;
    return reinterpret_cast<FP*>(&record);
}

// Makes `record` a string cell over a counted text and answers it.
XLOPER* TextResult(XLOPER& record, const unsigned char* counted);
// Makes `record` what `answer` holds: a string cell with the refusal, a one-column multi over
// the cells, or nothing at all (nullptr).
XLOPER* CellsResult(XLOPER& record, const CellsAnswer& answer);
