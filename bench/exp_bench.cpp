// Cost per call of the engine's exponential beside the C library's (reported, not asserted).
#include "engine/exact_exp.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

std::vector<double> Arguments(double low, double high) {
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> uniform(low, high);
    std::vector<double> xs(4096);
    for (double& x : xs)
        x = uniform(random);
    return xs;
}

template <class Exp> void Run(benchmark::State& state, Exp exp) {
    const std::vector<double> xs = Arguments(-state.range(0), state.range(0));
    for (auto _ : state) {
        double sum = 0;
        for (double x : xs)
            sum += exp(x);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(xs.size()));
}

void EngineExp(benchmark::State& state) {
    Run(state, [](double x) { return ExactExp(x); });
}
void LibraryExp(benchmark::State& state) {
    Run(state, [](double x) { return std::exp(x); });
}

BENCHMARK(EngineExp)->Arg(1)->Arg(64)->Arg(700);
BENCHMARK(LibraryExp)->Arg(1)->Arg(64)->Arg(700);

} // namespace

BENCHMARK_MAIN();
