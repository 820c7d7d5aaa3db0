// Cost and size of the host's reports for a 30 000-row sheet (reported, not asserted).
#include "report_html.h"
#include "workbook_write.h"
#include "worksheet.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace {

constexpr int kRows = 30000;

// Three inputs, a numeric and a symbolic output, every row predicted; curves as long as the
// sheet.
void LargeRun(Worksheet* sheet, RunFigures* run) {
    sheet->names = {"a", "b", "c", "y", "kind"};
    run->command = "train";
    run->sheet = "large.csv";
    run->outputs = {"y", "kind"};
    run->layers = {3, 8, 3};
    run->predictions.outputs = run->outputs;
    OutputFigures y;
    y.column = "y";
    for (int r = 0; r < kRows; ++r) {
        double a = std::sin(r * 0.1), b = std::cos(r * 0.07), c = r * 0.001;
        const char* kind = r % 3 == 0 ? "oak" : r % 3 == 1 ? "pine" : "ash";
        sheet->rows.push_back(
            {NumberCell(a), NumberCell(b), NumberCell(c), NumberCell(a + b), TextCell(kind)});
        run->predictions.cells.push_back({NumberCell(a + b + 0.01), TextCell(kind)});
        run->predictions.modes.push_back(r % 5 ? "TRAIN" : "TEST");
        run->predictions.outOfRange.push_back(false);
        run->trainCurve.push_back(1.0 / (r + 1));
        run->validationCurve.push_back(1.2 / (r + 1));
        y.actual.push_back(a + b);
        y.predicted.push_back(a + b + 0.01 * std::sin(r));
    }
    run->sets.push_back({"train", {y}});
    run->histogram = {3, 9, 20, 9, 3};
    run->histLo = -2.0;
    run->histHi = 2.0;
}

void BM_ResultsWorkbook(benchmark::State& state) {
    Worksheet sheet;
    RunFigures run;
    LargeRun(&sheet, &run);
    std::string path = (std::filesystem::temp_directory_path() / "report_bench.xlsx").string();
    for (auto _ : state) {
        std::string error;
        if (!WriteResultsWorkbook(path, sheet, run, &error)) state.SkipWithError(error.c_str());
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::remove(path.c_str());
}
BENCHMARK(BM_ResultsWorkbook)->Unit(benchmark::kMillisecond);

void BM_HtmlReport(benchmark::State& state) {
    Worksheet sheet;
    RunFigures run;
    LargeRun(&sheet, &run);
    size_t bytes = 0;
    for (auto _ : state)
        bytes = HtmlReport(run).size();
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_HtmlReport)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
