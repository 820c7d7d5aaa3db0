// Random sessions: the input is read as a program of export calls with their arguments, run
// against one library state, with allocation failures injected into chosen calls. After every
// call the library must have answered, no weight may be NaN while every value handed over was
// finite and tame, and a call refused for its arguments must have changed nothing.
#include "fuzz_input.h"

#include "engine/network_state.h"
#include "engine/random.h"
#include "genetic/supervisor_state.h"
#include "platform/platform.h"
#include "quar1432.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>

namespace {

[[noreturn]] void Fail(const char* what, int step) {
    std::fprintf(stderr, "call %d: %s\n", step, what);
    std::abort();
}

// FP records exactly as large as their heads say: 8 bytes of head, then the doubles.
class FpArena {
  public:
    FP* Make(int rows, int columns) {
        const size_t n = static_cast<size_t>(rows) * columns;
        records_.emplace_back(new double[1 + n]());
        FP* fp = reinterpret_cast<FP*>(records_.back().get());
        fp->rows = static_cast<uint16_t>(rows);
        fp->columns = static_cast<uint16_t>(columns);
        return fp;
    }

  private:
    std::vector<std::unique_ptr<double[]>> records_;
};

void TouchFp(const FP* fp) {
    if (fp == nullptr) return;
    volatile double sink = 0.0;
    for (size_t k = 0; k < static_cast<size_t>(fp->rows) * fp->columns; ++k)
        sink = sink + fp->array[k];
}

uint64_t Mix(uint64_t h, const void* bytes, size_t n) {
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    for (size_t k = 0; k < n; ++k)
        h = (h ^ p[k]) * 1099511628211ull;
    return h;
}

uint64_t MixBlock(uint64_t h, BlockHandle block) {
    if (block == nullptr) return Mix(h, "-", 1);
    const void* bytes = GlobalBlockLock(block);
    h = Mix(h, bytes, GlobalBlockSize(block));
    GlobalBlockUnlock(block);
    return h;
}

// What a refused call must leave as it was: the network's data and weights, its counts and
// parameters, and the supervisor's records.
uint64_t StateDigest() {
    uint64_t h = 14695981039346656037ull;
    for (BlockHandle b :
         {gNet.weightsBlock, gNet.inputBlock, gNet.targetBlock, gNet.patternFlagsBlock,
          gNet.blankRowFlags, gSuper.settings, gSuper.header, gSuper.schemas})
        h = MixBlock(h, b);
    const int32_t counts[] = {
        gNet.rows,      gNet.blankRows,        gNet.patterns,       gNet.minRow,       gNet.maxRow,
        gNet.symbolRow, gNet.blankPatternRows, gNet.dataModeActive, gSuper.schemaCount};
    h = Mix(h, counts, sizeof counts);
    const double params[] = {gNet.learningRate, gNet.momentum,       gNet.inputNoise,
                             gNet.scaleMargin,  gNet.trainTolerance, gNet.testTolerance};
    return Mix(h, params, sizeof params);
}

bool AnyNanWeight() {
    if (!NetworkExists() || gNet.calcMethod != CALC_DOUBLE || gNet.weightsBlock == nullptr)
        return false;
    const double* w = static_cast<const double*>(GlobalBlockLock(gNet.weightsBlock));
    bool nan = false;
    for (int32_t k = 0; k < gNet.weightCount; ++k)
        nan = nan || std::isnan(w[k]);
    GlobalBlockUnlock(gNet.weightsBlock);
    return nan;
}

bool Tame(double x, double limit) {
    return std::isfinite(x) && std::fabs(x) <= limit;
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

class Session {
  public:
    explicit Session(FuzzInput& in) : in_(in) {}

    void Run() {
        for (step_ = 0; step_ < 48 && !in_.empty(); ++step_) {
            const uint8_t control = in_.Byte();
            if (control & 0x80) PlatformFailAllocation(in_.Int(1, 12));
            if (trace_) std::fprintf(stderr, "call %d: op %d\n", step_, (control & 0x7F) % 27);
            Call(control & 0x7F);
            PlatformFailAllocation(0);
            if (tame_ && AnyNanWeight()) Fail("NaN weight from finite data", step_);
        }
        CleanUp();
        ExpectNoBlocksLeft();
    }

  private:
    int16_t Short(int lo, int hi) { return static_cast<int16_t>(in_.Int(lo, hi)); }
    // A count the network expects, most of the time.
    int Rows() {
        const int range = NetworkExists() ? gNet.rows + gNet.blankRows : 4;
        const int patterns = NetworkExists() ? gNet.patterns + gNet.blankPatternRows : 4;
        switch (in_.Byte() % 4) {
        case 0:
            return range;
        case 1:
            return patterns;
        case 2:
            return in_.Int(0, 30);
        default:
            return range;
        }
    }
    double Value(double limit) {
        const double x = in_.Double();
        tame_ = tame_ && Tame(x, limit);
        return x;
    }
    XLOPER* Column(int rows, int columns = 1) {
        XLOPER* x = arena_.Column(in_, rows, columns);
        for (int k = 0; k < rows * columns; ++k) {
            const XLOPER& c = x->val.array.lparray[k];
            if (c.xltype == xltypeNum && !std::isfinite(c.val.num)) tame_ = false;
        }
        return x;
    }
    const char* Text(const char* answer) {
        if (answer == nullptr) Fail("no answer", step_);
        if (trace_) std::fprintf(stderr, "  %d: %s\n", step_, answer);
        return answer;
    }
    // Calls refused for their arguments change nothing.
    template <class F> const char* Checked(F call, std::initializer_list<const char*> refusals) {
        const uint64_t before = StateDigest();
        const char* answer = Text(call());
        for (const char* refusal : refusals)
            if (StartsWith(answer, refusal) && StateDigest() != before)
                Fail("a refused call changed the state", step_);
        return answer;
    }

    void Build() {
        const bool wide = in_.Byte() % 16 == 0;
        const int16_t inputs = Short(wide ? -1 : 1, wide ? 60 : 3);
        const int16_t outputs = Short(wide ? -1 : 1, wide ? 40 : 2);
        const int16_t rows = Short(1, wide ? 600 : 24);
        const int16_t window = Short(1, 3), step = Short(1, 3), blank = Short(0, 3);
        const int16_t layers = Short(2, 4), h1 = Short(1, 4), h2 = Short(1, 4);
        const char* answer = in_.Byte() % 8 == 0 ? Init(inputs, outputs, rows, window, step, blank,
                                                        layers, h1, h2, 1, 1)
                                                 : InitBP(inputs, outputs, rows, window, step,
                                                          blank, layers, h1, h2, 1, 1, Short(0, 1));
        Text(answer);
    }

    // A whole valid set-up in one step, so that short inputs reach training and breeding: a
    // network with its data loaded, the supervisor and a population.
    void SetUpPopulation() {
        const int16_t rows = Short(6, 16), method = Short(0, 1);
        if (std::strcmp(Text(InitBP(2, 1, rows, 1, 1, 0, 3, 3, 0, 0, 0, method)), "OK") != 0)
            return;
        std::vector<XLOPER> a, b, y, modes;
        for (int r = 0; r < rows; ++r) {
            a.push_back(arena_.Number(in_.Share() * 10.0));
            b.push_back(arena_.Number(r % 3));
            y.push_back(arena_.Number(in_.Share()));
            modes.push_back(arena_.String(r % 4 == 3 ? "TEST" : "TRAIN"));
        }
        Text(SetColumnEx(COLUMN_MODE_FLAG, 0, arena_.Multi(modes, rows), 0));
        Text(SetColumnEx(COLUMN_INPUT, 0, arena_.Multi(a, rows), 0));
        Text(SetColumnEx(COLUMN_INPUT, 1, arena_.Multi(b, rows), 0));
        Text(SetColumnEx(COLUMN_OUTPUT, 0, arena_.Multi(y, rows), 0));
        const auto [inclusion, layers, hidden1, hidden2] =
            std::tuple{0.3 + in_.Share() * 0.7, Short(2, 4), Short(0, 4), Short(0, 3)};
        Text(InitSuper(inclusion, layers, hidden1, hidden2, 0, 0, 0.1, 0.9, 0.05));
        const auto [size, breed, mode, goal] =
            std::tuple{Short(1, 4), Short(1, 3), Short(1, 4), in_.Int(1, 6) * 2.0};
        Text(InitPop(size, breed, mode, goal));
    }

    void LoadFp(int kind) {
        const auto [rows, columns] = std::tuple{Rows(), in_.Byte() % 16 == 0 ? 2 : 1};
        FP* fp = fps_.Make(rows, columns);
        for (int k = 0; k < fp->rows * fp->columns; ++k)
            fp->array[k] = (in_.Byte() & 1) ? Value(1e6) : double(in_.Int(0, 5));
        const int16_t type = Short(-1, 4), index = Short(-1, 3);
        if (kind == 0) {
            // Data columns are checked whole before anything is stored.
            if (type == COLUMN_INPUT || type == COLUMN_OUTPUT)
                Checked([&] { return SetColumn(type, index, fp); },
                        {"Incorrect", "Value", "Non-blank", "More data", "Column values"});
            else
                Text(SetColumn(type, index, fp));
        } else {
            const int32_t recount = in_.Byte() & 1;
            Text(xSetColumn(type, index, fp, recount));
        }
    }

    void Call(int op) {
        switch (op % 27) {
        case 0:
            Build();
            break;
        case 1:
            SetUpPopulation();
            break;
        case 2:
        case 3:
            LoadFp(0);
            break;
        case 4:
            LoadFp(1);
            break;
        case 5:
        case 6: {
            const auto [type, index, rows, columns] =
                std::tuple{Short(-1, 4), Short(-1, 3), Rows(), in_.Byte() % 16 ? 1 : 2};
            XLOPER* column = Column(rows, columns);
            const int16_t offset = in_.Byte() % 16 ? 0 : 1;
            Text(SetColumnEx(type, index, column, offset));
            break;
        }
        case 7: {
            XLOPER* column = Column(Rows());
            const auto [method, share] =
                std::tuple{Short(-1, 6), in_.Byte() & 1 ? in_.Share() : in_.Share() * 100.0};
            TouchResult(SelectDataMode(column, method, share));
            break;
        }
        case 8: {
            const double a = Value(1.0), b = Value(1.0), rate = Value(1.0);
            const double momentum = Value(0.99), noise = Value(1.0);
            tame_ = tame_ && rate >= 0.0 && momentum >= 0.0 && noise >= 0.0;
            Text(SetParams(a, b, rate, momentum, noise));
            break;
        }
        case 9: {
            const auto [code, gain, prune, threshold, autoRate, margin] =
                std::tuple{Short(-1, 7),
                           Value(8.0),
                           int32_t(in_.Byte() & 1),
                           Value(8.0),
                           int32_t(in_.Byte() & 1),
                           Value(8.0)};
            Text(SetEnhanced(code, gain, prune, threshold, autoRate, margin));
            break;
        }
        case 10: {
            const auto [hours, trainRise, testRise] =
                std::tuple{in_.Byte() & 1 ? 0.0 : in_.Share(), in_.Share(), in_.Share()};
            Text(SetCutoffs(hours, trainRise, testRise));
            break;
        }
        case 11: {
            const auto [useSeed, seed, range] =
                std::tuple{int32_t(in_.Byte() & 1), Short(-5, 5), Value(8.0)};
            RandomizeWeights(useSeed, seed, range);
            break;
        }
        case 12: {
            const int columns = in_.Byte() % 8 == 0 ? in_.Int(1, 9) : kWeightFpColumns;
            FP* fp = fps_.Make(in_.Int(0, 12), columns);
            for (int k = 0; k < fp->rows * fp->columns; ++k)
                fp->array[k] = Value(8.0);
            const int16_t first = Short(-2, 700);
            Checked([&] { return SetWeights(fp, first); },
                    {"Invalid", "Incorrect", "No ", "Bad", "Row"});
            break;
        }
        case 13:
        case 14: {
            const auto [train, epochs] = std::tuple{int32_t(in_.Byte() & 1), Short(-1, 6)};
            FP* result = RunNet(train, epochs);
            TouchFp(result);
            if (tame_ && result != nullptr && result->rows >= 3 && std::isnan(result->array[2]))
                Fail("NaN error from finite data", step_);
            break;
        }
        case 15:
            TouchFp(GetWeights(Short(-1, 700)));
            TouchFp(GetOutputs(Short(-1, 3))); // one argument each: read in order
            TouchFp(GetBlankFlags());
            TouchFp(PlotError());
            break;
        case 16: {
            const auto [column, mode, offset] =
                std::tuple{Short(-1, 3), in_.Int(-1, 3), int16_t(in_.Byte() % 16 ? 0 : 1)};
            TouchResult(GetOutputsEx(column, mode, offset));
            break;
        }
        case 17: {
            const int16_t bins = Short(-1, 40);
            const double lo = -in_.Share() * 4.0;
            const double hi = lo + in_.Share() * 8.0;
            Checked([&] { return WeightHistStr(bins, lo, hi); }, {""});
            break;
        }
        case 18: {
            const std::tuple a{in_.Share() * 1.1, Short(1, 7), Short(-1, 4),
                               Short(-1, 3),      Short(0, 2), Short(0, 2),
                               in_.Share(),       in_.Share(), in_.Share() * 0.12};
            Checked([&] { return std::apply(InitSuper, a); }, {"Bad"});
            break;
        }
        case 19: {
            const std::tuple a{Short(0, 6), Short(0, 4), Short(0, 5), in_.Double()};
            Checked([&] { return std::apply(InitPop, a); }, {"Bad"});
            break;
        }
        case 20:
        case 21: {
            const std::tuple a{Short(-1, 6), Short(-1, 20), in_.Byte() & 1 ? 0.0 : in_.Share(),
                               in_.Share() * 1.1, in_.Share() * 1.1};
            Checked([&] { return std::apply(TrainNextSchema, a); }, {"Bad", "Call"});
            break;
        }
        case 22: {
            const std::tuple a{Short(0, 6),       Short(0, 4), in_.Share() * 11.0,
                               in_.Share() * 1.1, Short(0, 5), in_.Double()};
            Checked([&] { return std::apply(GenNextPop, a); }, {"Bad", "Call"});
            break;
        }
        case 23:
            if (in_.Byte() & 1) {
                TouchResult(UnloadPop());
            } else {
                // A changed population may carry any option values.
                XLOPER* column = ChangedPopulation(in_, arena_);
                tame_ = false;
                Checked([&] { return ReloadPop(column); }, {"Bad structure", "Call"});
            }
            break;
        case 24:
        case 25: {
            XLOPER names = in_.Byte() % 8 ? arena_.String(in_.Text(60)) : arena_.Number(1.0);
            TouchResult(GetSchema(&names, Short(-2, 7)));
            break;
        }
        default:
            Odds();
            break;
        }
    }

    // The checks of values and texts, and CleanUp.
    void Odds() {
        switch (in_.Byte() % 6) {
        case 0: {
            std::string lists[4];
            for (std::string& list : lists)
                list = in_.Text(80);
            TouchFp(Parse(lists[0].c_str(), lists[1].c_str(), lists[2].c_str(), lists[3].c_str()));
            (void)GetParsed();
            break;
        }
        case 1: {
            XLOPER cell = arena_.Cell(in_);
            if (std::strlen(Text(TestXLOPER(&cell))) > 255) Fail("long description", step_);
            TouchResult(ReturnXLOPER(&cell));
            break;
        }
        case 2: {
            const auto [rows, columns] = std::tuple{in_.Int(0, 4), in_.Int(1, 3)};
            FP* fp = fps_.Make(rows, columns);
            if (TestArray(fp) != fp || CkArray(fp) != 1) Fail("array checks", step_);
            (void)CountSymbols(in_.Text(40).c_str());
            break;
        }
        case 3:
            (void)WEP(in_.Int(0, 2));
            break;
        default:
            CleanUp();
            break;
        }
    }

    FuzzInput& in_;
    CellArena arena_;
    FpArena fps_;
    bool tame_ = true; // every value handed over so far was finite and modest
    int step_ = 0;
    // QUAR_FUZZ_TRACE set: every call and text answer on stderr, for reading a saved input.
    const bool trace_ = std::getenv("QUAR_FUZZ_TRACE") != nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each input starts from the state of a freshly loaded library, on a clock that stands still.
    PlatformFailAllocation(0);
    PlatformSetClock(1000000);
    CleanUp();
    LoadNetworkDefaults();
    SeedRandom(1);
    FuzzInput in(data, size);
    Session(in).Run();
    PlatformSetClock(-1);
    return 0;
}
