// One realistic session through the exports, failing its 1st, 2nd, ... allocation until a
// session runs with no failure left to fire. Each failure must show as a memory message or a
// null result, leave no block behind after CleanUp, and leave the library able to run the same
// session again with exactly the answers of a session that never failed.
#include "platform/platform.h"
#include "quar1432.h"
#include "support/fresh_library.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Transcript = std::vector<std::string>;

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string Cell(const XLOPER& c) {
    if (c.xltype == xltypeNum) return Number(c.val.num);
    if (c.xltype == xltypeStr) return "'" + CountedText(c.val.str) + "'";
    return "type" + std::to_string(c.xltype);
}

// One transcript line per answer, every number in full.
struct Recorder {
    Transcript lines;

    void Text(const char* answer) { lines.push_back(answer ? answer : "null"); }
    void Fp(const FP* fp) {
        std::string line = fp ? "fp" : "null";
        for (size_t k = 0; fp && k < size_t(fp->rows) * fp->columns; ++k)
            line += " " + Number(fp->array[k]);
        lines.push_back(line);
    }
    void Cells(const XLOPER* x) {
        if (x == nullptr || x->xltype != xltypeMulti) return lines.push_back(x ? Cell(*x) : "null");
        std::string line = "multi";
        for (size_t k = 0; k < size_t(x->val.array.rows) * x->val.array.columns; ++k)
            line += " " + Cell(x->val.array.lparray[k]);
        lines.push_back(line);
    }
};

constexpr int kRows = 12;

// Blank row 5; MIN, MAX and SYMBOL rows 0, 1, 2; a numeric and a symbolic input, a symbolic
// output.
void LoadColumns(Recorder& r) {
    OwnedCells blank(kRows), modes(kRows), x(kRows), size(kRows), colour(kRows);
    const char* sizes[] = {"LO", "MID", "HI"};
    for (int k = 0; k < kRows; ++k) {
        blank.SetString(size_t(k), "row");
        modes.SetString(size_t(k), k % 4 == 3 ? "TEST" : "TRAIN");
        x.SetNumber(size_t(k), k % 7 + 1.5);
        size.SetString(size_t(k), sizes[k % 3]);
        colour.SetString(size_t(k), k % 2 ? "A" : "B");
    }
    blank.SetNil(5), modes.SetNil(5), x.SetNil(5), size.SetNil(5), colour.SetNil(5);
    modes.SetString(0, "MIN"), modes.SetString(1, "MAX"), modes.SetString(2, "SYMBOL");
    x.SetNumber(0, 0.0), x.SetNumber(1, 10.0), x.SetNil(2);
    size.SetString(0, "LO"), size.SetString(1, "HI"), size.SetString(2, "LO,MID,HI");
    colour.SetString(0, "A"), colour.SetString(1, "B"), colour.SetString(2, "A,B");
    r.Text(SetColumnEx(COLUMN_BLANK_FLAG, 0, blank.multi(), 0));
    r.Text(SetColumnEx(COLUMN_MODE_FLAG, 0, modes.multi(), 0));
    r.Text(SetColumnEx(COLUMN_INPUT, 0, x.multi(), 0));
    r.Text(SetColumnEx(COLUMN_INPUT, 1, size.multi(), 0));
    r.Text(SetColumnEx(COLUMN_OUTPUT, 0, colour.multi(), 0));
}

void TrainPopulation(Recorder& r) {
    for (int call = 0; call < 40; ++call) {
        const std::string answer = TrainNextSchema(4, 0, 0.0, 0.0, 0.0);
        r.lines.push_back(answer);
        if (answer != "In Process" && answer != "OK") break;
    }
}

void Supervise(Recorder& r) {
    r.Text(InitSuper(0.7, 3, 3, 0, 0, 0, 0.2, 0.9, 0.0));
    r.Text(InitPop(3, 1, 2, 8.0));
    TrainPopulation(r);
    r.Text(GenNextPop(3, 2, 1.0, 0.3, 2, 8.0));
    TrainPopulation(r);
    const XLOPER* unloaded = UnloadPop();
    r.Cells(unloaded);
    if (unloaded != nullptr && unloaded->xltype == xltypeMulti) {
        OwnedCells copy = CopyOf(unloaded);
        r.Text(ReloadPop(copy.multi()));
    }
    OwnedCells names(1);
    names.SetString(0, "x,size");
    r.Cells(GetSchema(&names.cell(0), 0));
}

Transcript Session() {
    Recorder r;
    for (int16_t method : {CALC_FIXED16, CALC_DOUBLE}) {
        r.Text(InitBP(2, 1, kRows, 1, 1, 1, 3, 3, 0, 0, 0, method));
        // The options first: the margin decides how the columns are scaled.
        r.Text(SetParams(0.1, 0.1, 0.5, 0.5, 0.0));
        r.Text(SetEnhanced(3, 1.0, 0, 1.0, 0, 0.1));
        LoadColumns(r);
        r.lines.push_back(std::to_string(RandomizeWeights(1, 7, 0.5)));
        r.Fp(RunNet(1, 20));
        r.Fp(RunNet(0, 1));
        r.Cells(GetOutputsEx(0, 1, 0));
        r.Fp(GetOutputs(0));
        r.Fp(GetWeights(0));
        r.Text(WeightHistStr(8, -2.0, 2.0));
        r.Fp(GetBlankFlags());
        r.Fp(PlotError());
        Supervise(r);
    }
    return r.lines;
}

bool IsFailureAnswer(const std::string& line) {
    return line == "null" || line.find("nsufficient memory") != std::string::npos;
}

TEST(AllocationWalk, EveryFailureIsReportedLeaksNothingAndLeavesTheLibrarySound) {
    FreshLibrary();
    PlatformSetClock(1000);
    const Transcript clean = Session();
    CleanUp();
    ASSERT_EQ(PlatformLiveBlocks(), 0);
    ASSERT_GT(clean.size(), 40u);
    for (const std::string& line : clean)
        ASSERT_FALSE(IsFailureAnswer(line)) << line;

    int failures = 0;
    for (int32_t n = 1; n < 5000; ++n) {
        FreshLibrary();
        PlatformSetClock(1000);
        PlatformFailAllocation(n);
        const Transcript failed = Session();
        const bool fired = !PlatformFailurePending();
        PlatformFailAllocation(0);
        CleanUp();
        EXPECT_EQ(PlatformLiveBlocks(), 0) << "allocation " << n;
        if (!fired) break;
        ++failures;
        // The first answer that differs from the clean session tells of the failure.
        size_t k = 0;
        while (k < failed.size() && k < clean.size() && failed[k] == clean[k])
            ++k;
        if (k < failed.size() || k < clean.size()) {
            EXPECT_TRUE(k < failed.size() && IsFailureAnswer(failed[k]))
                << "allocation " << n << ", answer " << k;
        }
        // What the failure left behind does not change a session run after it.
        EXPECT_EQ(Session(), clean) << "after allocation " << n;
        CleanUp();
        if (HasFailure()) break;
    }
    EXPECT_GT(failures, 50);
}

} // namespace
