// Training throughput: epochs per second and weight updates per second (patterns x weights x
// epochs / s) for each calculation method on three network shapes.
#include "engine/network_state.h"
#include "quar1432.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace {

struct Shape {
    int16_t inputs, hidden, outputs, patterns;
};
constexpr Shape kShapes[] = {{10, 5, 2, 1000}, {64, 32, 8, 2000}, {256, 128, 10, 1000}};

// Deterministic data in 0 ... 1, written straight into the blocks past their min/max heads.
double DataValue(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / 16777216.0;
}

template <class T> void FillColumns(BlockHandle block, int columns, int64_t values, double scale) {
    unsigned char* base = static_cast<unsigned char*>(GlobalBlockLock(block));
    T* at = reinterpret_cast<T*>(base + int64_t(columns) * 16);
    uint32_t state = uint32_t(values);
    for (int64_t i = 0; i < values; ++i)
        at[i] = T(DataValue(state) * scale);
    GlobalBlockUnlock(block);
}

bool BuildNetwork(const Shape& s, int16_t method) {
    CleanUp();
    if (std::string_view(
            InitBP(s.inputs, s.outputs, s.patterns, 1, 1, 0, 3, s.hidden, 0, 0, 0, method)) != "OK")
        return false;
    const bool fixed = method == CALC_FIXED16;
    const double scale = fixed ? 32767.0 : 1.0;
    const int64_t inputs = int64_t(s.inputs) * s.patterns;
    const int64_t targets = int64_t(s.outputs) * s.patterns;
    if (fixed) {
        FillColumns<int16_t>(gNet.inputBlock, s.inputs, inputs, scale);
        FillColumns<int16_t>(gNet.targetBlock, s.outputs, targets, scale);
    } else {
        FillColumns<double>(gNet.inputBlock, s.inputs, inputs, scale);
        FillColumns<double>(gNet.targetBlock, s.outputs, targets, scale);
    }
    SetParams(0.1, 0.1, 0.3, 0.5, 0.0);
    SetCutoffs(0.0, 0.0, 0.0);
    RandomizeWeights(1, 1, 0.5);
    return true;
}

void TrainingEpochs(benchmark::State& state) {
    const Shape& shape = kShapes[state.range(0)];
    const int16_t method = int16_t(state.range(1));
    if (!BuildNetwork(shape, method)) {
        state.SkipWithError("network could not be built");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(RunNet(1, 1));
    const double updates = double(gNet.patterns) * gNet.weightCount;
    state.counters["epochs/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["updates/s"] =
        benchmark::Counter(updates * double(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(std::string(method == CALC_FIXED16 ? "fixed16 " : "double ") +
                   std::to_string(shape.inputs) + "-" + std::to_string(shape.hidden) + "-" +
                   std::to_string(shape.outputs) + " x " + std::to_string(shape.patterns));
    CleanUp();
}

BENCHMARK(TrainingEpochs)
    ->ArgsProduct({{0, 1, 2}, {CALC_FIXED16, CALC_DOUBLE}})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
