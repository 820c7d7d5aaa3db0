// Recorded runs: seeded networks of both methods, every transfer code and 2 to 6 layers,
// trained and recalled through the exports. Every weight, last change, output, statistic and
// history point is folded into one 64-bit fingerprint per run and compared with the recorded
// one, so any change in any bit of the passes shows here. Each kernel path the CPU can run
// is checked.
//
// To record again after an intended change of results:
//   QUAR_GOLDEN_WRITE=tests/engine/golden_runs.inc build/tests/test_engine --gtest_filter='Golden*'
#include "engine/network_state.h"
#include "engine/pass_kernels.h"
#include "support/fresh_library.h"
#include "support/training_net.h"

#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Scenario {
    const char* name;
    int method;
    int code;
    double gain;
    int inputs, outputs, rows, window, step;
    std::vector<int> hidden;
    double rate, momentum, noise;
    double prune;  // threshold; 0 leaves pruning off
    bool autoRate; // automatic learning rate
    double testRise, trainRise;
    bool modes; // every fourth pattern tests, one is skipped
    int epochs;
    int seed;
    double range;
};

constexpr int F = CALC_FIXED16;
constexpr int D = CALC_DOUBLE;

// clang-format off
const Scenario kScenarios[] = {
    // name              meth code gain  in out rows win step hidden         rate  mom  noise prune  auto  test  train modes ep  seed range
    {"xor_logistic_f",    F, 3, 1.0,    2, 1,   4, 1, 1, {2},             0.7, 0.9, 0.0,  0.0,   false, 0.0,  0.0, false, 60, 1, 1.0},
    {"xor_logistic_d",    D, 3, 1.0,    2, 1,   4, 1, 1, {2},             0.7, 0.9, 0.0,  0.0,   false, 0.0,  0.0, false, 60, 1, 1.0},
    {"gauss_f",           F, 1, 1.5,    3, 2,  40, 1, 1, {5},             0.4, 0.0, 0.0,  0.0,   false, 0.0,  0.0, false, 12, 2, 0.8},
    {"gauss_d",           D, 1, 1.5,    3, 2,  40, 1, 1, {5},             0.4, 0.0, 0.0,  0.0,   false, 0.0,  0.0, false, 12, 2, 0.8},
    {"linear_f",          F, 2, 0.7,    4, 3,  30, 2, 1, {7, 3},          0.2, 0.5, 0.0,  0.0,   false, 0.0,  0.0, false, 10, 3, 0.5},
    {"linear_d",          D, 2, 0.7,    4, 3,  30, 2, 1, {7, 3},          0.2, 0.5, 0.0,  0.0,   false, 0.0,  0.0, false, 10, 3, 0.5},
    {"step_f",            F, 4, 1.0,    5, 1,  25, 1, 2, {9},             0.5, 0.3, 0.0,  0.0,   false, 0.0,  0.0, false, 10, 4, 1.0},
    {"step_d",            D, 4, 1.0,    5, 1,  25, 1, 2, {9},             0.5, 0.3, 0.0,  0.0,   false, 0.0,  0.0, false, 10, 4, 1.0},
    {"symmetric_f",       F, 5, 2.0,    6, 4,  50, 1, 1, {17, 5},         0.3, 0.6, 0.05, 0.0,   false, 0.0,  0.0, false,  8, 5, 1.0},
    {"symmetric_d",       D, 5, 2.0,    6, 4,  50, 1, 1, {17, 5},         0.3, 0.6, 0.05, 0.0,   false, 0.0,  0.0, false,  8, 5, 1.0},
    {"ratio_f",           F, 6, 0.9,    7, 2,  33, 3, 1, {4, 6, 5},       0.3, 0.2, 0.0,  0.0,   false, 0.0,  0.0, false,  8, 6, 0.7},
    {"ratio_d",           D, 6, 0.9,    7, 2,  33, 3, 1, {4, 6, 5},       0.3, 0.2, 0.0,  0.0,   false, 0.0,  0.0, false,  8, 6, 0.7},
    {"six_layers_f",      F, 3, 1.0,    7, 2,  45, 1, 1, {9, 5, 6, 3},    0.6, 0.8, 0.0,  0.0,   false, 0.0,  0.0, false,  8, 7, 1.5},
    {"six_layers_d",      D, 3, 1.0,    7, 2,  45, 1, 1, {9, 5, 6, 3},    0.6, 0.8, 0.0,  0.0,   false, 0.0,  0.0, false,  8, 7, 1.5},
    {"two_layers_f",      F, 3, 1.3,   11, 5,  30, 1, 1, {},              0.5, 0.4, 0.0,  0.0,   false, 0.0,  0.0, false, 10, 8, 0.6},
    {"two_layers_d",      D, 3, 1.3,   11, 5,  30, 1, 1, {},              0.5, 0.4, 0.0,  0.0,   false, 0.0,  0.0, false, 10, 8, 0.6},
    {"wide_f",            F, 3, 1.0,   40, 9,  60, 1, 1, {33, 17},        0.3, 0.9, 0.0,  0.0,   false, 0.0,  0.0, false,  4, 9, 0.3},
    {"wide_d",            D, 3, 1.0,   40, 9,  60, 1, 1, {33, 17},        0.3, 0.9, 0.0,  0.0,   false, 0.0,  0.0, false,  4, 9, 0.3},
    {"window_step_f",     F, 3, 1.0,    3, 2,  41, 4, 3, {15},            0.4, 0.5, 0.1,  0.0,   false, 0.0,  0.0, false,  8, 10, 1.0},
    {"window_step_d",     D, 3, 1.0,    3, 2,  41, 4, 3, {15},            0.4, 0.5, 0.1,  0.0,   false, 0.0,  0.0, false,  8, 10, 1.0},
    {"noise_modes_f",     F, 3, 1.0,    8, 3,  48, 1, 1, {16},            0.5, 0.7, 0.2,  0.0,   false, 0.1,  0.0, true,  10, 11, 1.0},
    {"noise_modes_d",     D, 3, 1.0,    8, 3,  48, 1, 1, {16},            0.5, 0.7, 0.2,  0.0,   false, 0.1,  0.0, true,  10, 11, 1.0},
    {"prune_f",           F, 3, 1.0,    6, 2,  30, 1, 1, {8},             0.4, 0.5, 0.0,  0.05,  false, 0.0,  0.0, false, 10, 12, 0.3},
    {"prune_d",           D, 3, 1.0,    6, 2,  30, 1, 1, {8},             0.4, 0.5, 0.0,  0.05,  false, 0.0,  0.0, false, 10, 12, 0.3},
    {"auto_rate_f",       F, 5, 1.0,    5, 2,  36, 2, 2, {12, 4},         0.0, 0.5, 0.0,  0.0,   true,  0.0,  0.0, false, 12, 13, 1.0},
    {"auto_rate_d",       D, 5, 1.0,    5, 2,  36, 2, 2, {12, 4},         0.0, 0.5, 0.0,  0.0,   true,  0.0,  0.0, false, 12, 13, 1.0},
    {"testing_pass_f",    F, 3, 1.0,    4, 1,  40, 1, 1, {6},             0.8, 0.0, 0.0,  0.0,   false, 1e-4, 0.0, true,  20, 14, 2.0},
    {"testing_pass_d",    D, 3, 1.0,    4, 1,  40, 1, 1, {6},             0.8, 0.0, 0.0,  0.0,   false, 1e-4, 0.0, true,  20, 14, 2.0},
    {"train_stop_f",      F, 3, 1.0,    3, 1,  20, 1, 1, {3},             1.9, 0.9, 0.0,  0.0,   false, 0.0,  1e-4, false, 30, 15, 4.0},
    {"train_stop_d",      D, 3, 1.0,    3, 1,  20, 1, 1, {3},             1.9, 0.9, 0.0,  0.0,   false, 0.0,  1e-4, false, 30, 15, 4.0},
    {"saturating_f",      F, 3, 4.0,   31, 3,  24, 1, 1, {15, 31},        1.9, 0.99, 0.0, 0.0,   false, 0.0,  0.0, false, 10, 16, 12.0},
    {"saturating_sym_f",  F, 5, 3.0,   16, 8,  24, 1, 1, {64},            1.9, 0.95, 0.0, 0.0,   false, 0.0,  0.0, false,  6, 17, 10.0},
    {"big_sym_d",         D, 5, 3.0,   16, 8,  24, 1, 1, {64},            1.9, 0.95, 0.0, 0.0,   false, 0.0,  0.0, false,  6, 17, 10.0},
    {"one_unit_f",        F, 3, 1.0,    1, 1,  10, 1, 1, {1, 1},          0.5, 0.5, 0.0,  0.0,   false, 0.0,  0.0, false, 10, 18, 1.0},
    {"one_unit_d",        D, 3, 1.0,    1, 1,  10, 1, 1, {1, 1},          0.5, 0.5, 0.0,  0.0,   false, 0.0,  0.0, false, 10, 18, 1.0},
};
// clang-format on

struct Recorded {
    uint64_t fingerprint;
    uint64_t rmsBits; // the training run's RMS error, to tell a small drift from a wild one
};

const Recorded kGolden[] = {
#include "engine/golden_runs.inc"
};

// FNV-1a over the bytes of each value folded in.
class Fingerprint {
  public:
    void Bytes(const void* data, size_t size) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i)
            hash_ = (hash_ ^ p[i]) * 1099511628211u;
    }
    template <class T> void Values(const std::vector<T>& values) {
        Bytes(values.data(), values.size() * sizeof(T));
    }
    void Value(double v) { Bytes(&v, sizeof v); }
    uint64_t hash() const { return hash_; }

  private:
    uint64_t hash_ = 14695981039346656037u;
};

// Deterministic column values in 0 ... 1.
std::vector<double> DataColumn(uint32_t& state, int count) {
    std::vector<double> values(size_t(count), 0.0);
    for (double& v : values) {
        state = state * 1664525u + 1013904223u;
        v = (state >> 8) / 16777216.0;
    }
    return values;
}

void Load(const Scenario& s) {
    BuildNet(s.inputs, s.outputs, s.rows, s.window, s.step, s.hidden, s.method);
    const int patterns = s.rows - s.window + 1;
    uint32_t state = uint32_t(s.seed) * 2654435761u;
    for (int c = 0; c < s.inputs + s.outputs; ++c) {
        const bool input = c < s.inputs;
        OwnedFp column = Column(DataColumn(state, input ? s.rows : patterns));
        const int16_t index = int16_t(input ? c : c - s.inputs);
        ASSERT_STREQ(SetColumn(input ? COLUMN_INPUT : COLUMN_OUTPUT, index, column.get()), "OK");
    }
    if (s.modes) {
        std::vector<double> flags(static_cast<size_t>(patterns), double(MODE_TRAIN));
        for (int p = 3; p < patterns; p += 4)
            flags[size_t(p)] = MODE_TEST;
        flags[1] = MODE_SKIP;
        OwnedFp column = Column(flags);
        ASSERT_STREQ(SetColumn(COLUMN_MODE_FLAG, 0, column.get()), "OK");
    }
    ASSERT_STREQ(SetParams(0.1, 0.15, s.rate, s.momentum, s.noise), "OK");
    ASSERT_STREQ(SetEnhanced(int16_t(s.code), s.gain, s.prune > 0.0 ? 1 : 0, s.prune,
                             s.autoRate ? 1 : 0, 0.0),
                 "OK");
    ASSERT_STREQ(SetCutoffs(0.0, s.trainRise, s.testRise), "OK");
    RandomizeWeights(1, int16_t(s.seed), s.range);
}

// Everything a run leaves behind that a caller or the next run can see.
void FoldState(Fingerprint& f, const FP* result) {
    for (int k = 0; k < 4; ++k)
        f.Value(result->array[k]);
    if (gNet.calcMethod == CALC_FIXED16) {
        f.Values(Weights<int32_t>());
        f.Values(LastChanges<int16_t>());
        f.Values(Outputs<int16_t>());
    } else {
        f.Values(Weights<double>());
        f.Values(LastChanges<double>());
        f.Values(Outputs<double>());
    }
    for (double v : {gNet.trainError, gNet.testError, gNet.bestTrainError, gNet.bestTestError,
                     gNet.learningRate, double(gNet.learningRateFixed)})
        f.Value(v);
    const FP* plot = PlotError();
    f.Bytes(plot->array, sizeof(double) * plot->rows * plot->columns);
}

// Trains, then recalls every pattern; the fingerprint covers the state after each run.
Recorded TrainAndRecall(const Scenario& s) {
    Load(s);
    Fingerprint f;
    const FP* trained = RunNet(1, int16_t(s.epochs));
    if (trained == nullptr) return {};
    const uint64_t rms = std::bit_cast<uint64_t>(trained->array[2]);
    FoldState(f, trained);
    const FP* recalled = RunNet(0, 1);
    if (recalled == nullptr) return {};
    FoldState(f, recalled);
    return {f.hash(), rms};
}

class GoldenRuns : public LibraryTest {};

std::vector<Recorded> RunAll() {
    std::vector<Recorded> measured;
    for (const Scenario& s : kScenarios) {
        FreshLibrary();
        measured.push_back(TrainAndRecall(s));
    }
    return measured;
}

void Record(const char* path, const std::vector<Recorded>& measured) {
    FILE* out = std::fopen(path, "w");
    ASSERT_NE(out, nullptr) << path;
    std::fprintf(out, "// Generated by golden_runs_test.cpp (QUAR_GOLDEN_WRITE): one line a "
                      "run, {fingerprint, RMS bits}.\n");
    for (size_t i = 0; i < measured.size(); ++i)
        std::fprintf(out, "{0x%016" PRIx64 "u, 0x%016" PRIx64 "u}, // %s\n",
                     measured[i].fingerprint, measured[i].rmsBits, kScenarios[i].name);
    std::fclose(out);
}

// Every kernel path this CPU can take gives the recorded bits.
TEST_F(GoldenRuns, EveryRecordedRunGivesTheSameBits) {
    constexpr size_t count = sizeof kScenarios / sizeof kScenarios[0];
    if (const char* path = std::getenv("QUAR_GOLDEN_WRITE")) {
        ASSERT_TRUE(ForceKernelPath(0));
        Record(path, RunAll());
        ForceKernelPath(-1);
        GTEST_SKIP() << "recorded " << count << " runs in " << path;
    }
    ASSERT_EQ(sizeof kGolden / sizeof kGolden[0], count);
    int32_t pathsRun = 0;
    for (int32_t path = 0; path < KernelPathCount(); ++path) {
        if (!ForceKernelPath(path)) {
            std::printf("kernel path %s: not on this CPU\n", KernelPathName(path));
            continue;
        }
        pathsRun += 1;
        const std::vector<Recorded> measured = RunAll();
        for (size_t i = 0; i < count; ++i) {
            SCOPED_TRACE(std::string(KernelPathName(path)) + " " + kScenarios[i].name);
            EXPECT_EQ(measured[i].rmsBits, kGolden[i].rmsBits);
            EXPECT_EQ(measured[i].fingerprint, kGolden[i].fingerprint);
        }
    }
    ForceKernelPath(-1);
    EXPECT_GE(pathsRun, 1);
}

} // namespace
