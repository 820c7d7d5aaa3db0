// Teaches a 2-2-1 network the exclusive-or, calling the library's exports the way the
// spreadsheet add-in calls them: build the network, hand over the worksheet columns as cells,
// set the parameters, randomize the weights, train, and read the outputs back.
#include "quar1432.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kRows = 4;
const double kA[kRows] = {0, 0, 1, 1};
const double kB[kRows] = {0, 1, 0, 1};
const double kXor[kRows] = {0, 1, 1, 0};

// A worksheet column of numbers as the spreadsheet hands it over.
struct NumberColumn {
    XLOPER cells[kRows];
    XLOPER multi;

    explicit NumberColumn(const double* values) {
        std::memset(this, 0, sizeof *this);
        for (int r = 0; r < kRows; ++r) {
            cells[r].val.num = values[r];
            cells[r].xltype = xltypeNum;
        }
        multi.xltype = xltypeMulti;
        multi.val.array.lparray = cells;
        multi.val.array.rows = kRows;
        multi.val.array.columns = 1;
    }
};

bool Check(const char* what, const char* result) {
    if (result != nullptr && std::strcmp(result, "OK") == 0) return true;
    std::printf("%s failed: %s\n", what, result ? result : "(no answer)");
    return false;
}

bool Train(int method, const char* name, int16_t seed) {
    std::printf("\n== %s ==\n", name);
    // 2 inputs, 1 output, 4 rows, window 1, step 1, no blank rows, 3 layers: 2-2-1.
    if (!Check("InitBP", InitBP(2, 1, kRows, 1, 1, 0, 3, 2, 0, 0, 0, static_cast<int16_t>(method))))
        return false;
    Check("SetParams", SetParams(0.1, 0.1, 0.9, 0.7, 0.0));
    Check("SetEnhanced", SetEnhanced(3, 1.0, 0, 0.0, 0, 0.0));
    Check("SetCutoffs", SetCutoffs(0.0, 0.0, 0.0));
    NumberColumn a(kA), b(kB), target(kXor);
    double ones[kRows] = {1, 1, 1, 1};
    NumberColumn dataRows(ones); // every row holds data
    if (!Check("blank flags", SetColumnEx(COLUMN_BLANK_FLAG, 0, &dataRows.multi, 0)) ||
        !Check("input A", SetColumnEx(COLUMN_INPUT, 0, &a.multi, 0)) ||
        !Check("input B", SetColumnEx(COLUMN_INPUT, 1, &b.multi, 0)) ||
        !Check("output", SetColumnEx(COLUMN_OUTPUT, 0, &target.multi, 0)))
        return false;
    RandomizeWeights(1, seed, 1.0);

    for (int round = 1; round <= 6; ++round) {
        FP* stats = RunNet(1, 500);
        if (stats == nullptr) return false;
        std::printf("  after %4d epochs: RMS error %.5f, %g of 4 within tolerance\n", round * 500,
                    stats->array[2], stats->array[0]);
    }
    RunNet(0, 1);
    FP* outputs = GetOutputs(0);
    std::printf("   A  B  target  network\n");
    for (int r = 0; r < kRows; ++r)
        std::printf("   %g  %g  %6g  %7.4f\n", kA[r], kB[r], kXor[r], outputs->array[r]);
    FP* weights = GetWeights(0);
    std::printf("  weights:");
    for (int k = 0; k < 9; ++k)
        std::printf(" %.3f", weights->array[k]);
    std::printf("\n  histogram over -8 .. 8: %s\n", WeightHistStr(8, -8.0, 8.0));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // The weights' seed may be given; the default one lets both methods find the solution.
    const int16_t seed = static_cast<int16_t>(argc > 1 ? std::atoi(argv[1]) : 3);
    bool ok = Train(CALC_DOUBLE, "double precision", seed) &&
              Train(CALC_FIXED16, "16-bit fixed point", seed);
    CleanUp();
    return ok ? 0 : 1;
}
