// Training throughput side by side: our engine through its exports (RunNet with an epoch count,
// both methods) and the FANN library (double and float builds, incremental training, sigmoid
// units, momentum), on the same synthetic data, in one process pinned to one CPU. Samples of
// the four trainers are interleaved round by round so that load from elsewhere hits each
// alike, every sample is timed in CPU time of the thread, and every figure is the median of
// its rounds.
//
//   fann_compare [rounds [topology]]   rounds default 7; topology e.g. "64-32-8" runs that one
//   (QUAR_BENCH_CPU picks the CPU, default the last)
#include "fann_backend.h"
#include "quar1432.h"

#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Topology {
    std::vector<unsigned> layers;
    unsigned patterns;
};

const Topology kTopologies[] = {
    {{2, 2, 1}, 4},         {{10, 5, 2}, 1000},        {{64, 32, 8}, 2000},
    {{256, 128, 10}, 1000}, {{100, 60, 40, 10}, 1000}, {{400, 300, 30}, 300},
};

constexpr double kRate = 0.3;
constexpr double kMomentum = 0.5;
constexpr double kSampleSeconds = 0.12;

// CPU time of this thread: time the scheduler gives to other programs is not counted.
double Now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

std::vector<double> Synthetic(uint32_t seed, size_t count) {
    std::vector<double> values(count);
    for (double& v : values) {
        seed = seed * 1664525u + 1013904223u;
        v = (seed >> 8) / 16777216.0;
    }
    return values;
}

// One column of a row-by-row table as an FP record.
std::unique_ptr<double[]> ColumnFp(const std::vector<double>& table, unsigned columns,
                                   unsigned column, unsigned rows) {
    std::unique_ptr<double[]> storage(new double[rows + 2]());
    FP* fp = reinterpret_cast<FP*>(storage.get());
    fp->rows = uint16_t(rows);
    fp->columns = 1;
    for (unsigned r = 0; r < rows; ++r)
        fp->array[r] = table[size_t(r) * columns + column];
    return storage;
}

// Builds our network through the exports; false with a message when it is refused.
bool BuildOurs(const Topology& t, int16_t method, const std::vector<double>& inputs,
               const std::vector<double>& targets) {
    CleanUp();
    const unsigned layers = unsigned(t.layers.size());
    int16_t hidden[4] = {0, 0, 0, 0};
    for (unsigned l = 1; l + 1 < layers; ++l)
        hidden[l - 1] = int16_t(t.layers[l]);
    const unsigned in = t.layers.front(), out = t.layers.back();
    const char* answer =
        InitBP(int16_t(in), int16_t(out), int16_t(t.patterns), 1, 1, 0, int16_t(layers), hidden[0],
               hidden[1], hidden[2], hidden[3], method);
    if (std::string_view(answer) != "OK") {
        std::printf("InitBP refused: %s\n", answer);
        return false;
    }
    for (unsigned c = 0; c < in; ++c) {
        auto column = ColumnFp(inputs, in, c, t.patterns);
        if (std::string_view(
                SetColumn(COLUMN_INPUT, int16_t(c), reinterpret_cast<FP*>(column.get()))) != "OK")
            return false;
    }
    for (unsigned c = 0; c < out; ++c) {
        auto column = ColumnFp(targets, out, c, t.patterns);
        if (std::string_view(
                SetColumn(COLUMN_OUTPUT, int16_t(c), reinterpret_cast<FP*>(column.get()))) != "OK")
            return false;
    }
    SetParams(0.1, 0.1, kRate, kMomentum, 0.0);
    SetEnhanced(3, 1.0, 0, 0.0, 0, 0.0);
    SetCutoffs(0.0, 0.0, 0.0);
    RandomizeWeights(1, 1, 0.5);
    return true;
}

// Seconds for `epochs` epochs of `train`.
double Timed(const std::function<void(int)>& train, int epochs) {
    const double start = Now();
    train(epochs);
    return Now() - start;
}

// Epochs that take about kSampleSeconds (at most what RunNet takes in one call).
int CalibratedEpochs(const std::function<void(int)>& train) {
    int epochs = 1;
    for (;;) {
        const double seconds = Timed(train, epochs);
        if (seconds >= kSampleSeconds / 4 || epochs >= 8192) {
            const double wanted = epochs * kSampleSeconds / std::max(seconds, 1e-9);
            return int(std::clamp(wanted, 1.0, 32767.0));
        }
        epochs *= 4;
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PinToOneCpu() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
    int cpu = -1;
    for (int c = 0; c < CPU_SETSIZE; ++c)
        if (CPU_ISSET(c, &allowed)) cpu = c;
    if (const char* wanted = std::getenv("QUAR_BENCH_CPU")) cpu = std::atoi(wanted);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) == 0)
        std::printf("pinned to CPU %d\n", cpu);
    else
        std::printf("could not pin to CPU %d\n", cpu);
}

std::string CpuModel() {
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line))
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown CPU";
}

std::string Name(const Topology& t) {
    std::string name;
    for (unsigned size : t.layers)
        name += (name.empty() ? "" : "-") + std::to_string(size);
    return name + " x " + std::to_string(t.patterns);
}

struct Trainer {
    std::string name;
    std::function<void(int)> train;
    int epochs = 0;
    std::vector<double> rates; // weight updates per second, one per round
};

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string only = argc > 2 ? argv[2] : "";
    PinToOneCpu();
    std::printf("%s; median of %d interleaved rounds; weight updates per second in millions\n",
                CpuModel().c_str(), rounds);
    const FannBackend* fann[] = {&FannDouble(), &FannFloat()};
    for (const FannBackend* backend : fann)
        if (!backend->load()) return 1;

    std::printf("%-22s %8s %9s %9s %9s %9s %7s %7s\n", "topology x patterns", "weights", "double",
                "fixed", "FANN dbl", "FANN flt", "dbl/F", "fix/F");
    for (const Topology& t : kTopologies) {
        if (Name(t).rfind(only, 0) != 0) continue;
        const unsigned in = t.layers.front(), out = t.layers.back();
        const std::vector<double> inputs = Synthetic(17, size_t(in) * t.patterns);
        const std::vector<double> targets = Synthetic(29, size_t(out) * t.patterns);

        std::vector<void*> fannNets;
        unsigned weights = 0;
        std::vector<Trainer> trainers;
        for (const FannBackend* backend : fann) {
            void* net = backend->create(t.layers, inputs, targets, t.patterns, kRate, kMomentum);
            if (net == nullptr) return 1;
            fannNets.push_back(net);
            weights = backend->connections(net);
            trainers.push_back(
                {backend->name, [backend, net](int e) { backend->train(net, e); }, 0, {}});
        }
        // Our engine holds one network at a time: each sample rebuilds it first.
        for (int16_t method : {int16_t(CALC_DOUBLE), int16_t(CALC_FIXED16)}) {
            trainers.insert(trainers.begin() + (method == CALC_DOUBLE ? 0 : 1),
                            {method == CALC_DOUBLE ? "double" : "fixed",
                             [](int e) { RunNet(1, int16_t(e)); },
                             0,
                             {}});
        }
        const auto prepare = [&](size_t index) {
            if (index < 2)
                return BuildOurs(t, index == 0 ? CALC_DOUBLE : CALC_FIXED16, inputs, targets);
            return true;
        };
        for (size_t i = 0; i < trainers.size(); ++i) {
            if (!prepare(i)) return 1;
            trainers[i].epochs = CalibratedEpochs(trainers[i].train);
        }
        const double updatesPerEpoch = double(weights) * t.patterns;
        for (int r = 0; r < rounds; ++r)
            for (size_t i = 0; i < trainers.size(); ++i) {
                if (!prepare(i)) return 1;
                const double seconds = Timed(trainers[i].train, trainers[i].epochs);
                trainers[i].rates.push_back(updatesPerEpoch * trainers[i].epochs / seconds);
            }
        double median[4];
        for (size_t i = 0; i < 4; ++i)
            median[i] = Median(trainers[i].rates);
        std::printf("%-22s %8u %9.1f %9.1f %9.1f %9.1f %7.2f %7.2f\n", Name(t).c_str(), weights,
                    median[0] / 1e6, median[1] / 1e6, median[2] / 1e6, median[3] / 1e6,
                    median[0] / median[2], median[1] / median[2]);
        std::fflush(stdout);
        for (size_t b = 0; b < 2; ++b)
            fann[b]->destroy(fannNets[b]);
    }
    CleanUp();
    return 0;
}
