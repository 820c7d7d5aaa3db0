// The genetic supervisor's population column: reloaded as it was unloaded but with cells
// changed, or made up; schemas shown with any column-name text; training and breeding in
// between.
#include "fuzz_input.h"

#include "quar1432.h"

#include <cstring>
#include <tuple>

namespace {

constexpr int kRows = 6;

bool BuildSmallNetwork(FuzzInput& in, CellArena& arena) {
    const int method = in.Int(0, 1);
    if (std::strcmp(InitBP(2, 1, kRows, 1, 1, 0, 3, 2, 0, 0, 0, static_cast<int16_t>(method)),
                    "OK") != 0)
        return false;
    std::vector<XLOPER> a, b, y, mode;
    for (int r = 0; r < kRows; ++r) {
        a.push_back(arena.Number(r));
        b.push_back(arena.Number(r % 2));
        y.push_back(arena.Number(r * 0.5));
        mode.push_back(arena.String(r % 3 == 2 ? "TEST" : "TRAIN"));
    }
    SetColumnEx(COLUMN_MODE_FLAG, 0, arena.Multi(mode, kRows), 0);
    SetColumnEx(COLUMN_INPUT, 0, arena.Multi(a, kRows), 0);
    SetColumnEx(COLUMN_INPUT, 1, arena.Multi(b, kRows), 0);
    SetColumnEx(COLUMN_OUTPUT, 0, arena.Multi(y, kRows), 0);
    RandomizeWeights(1, 1, 0.5);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    CellArena arena;
    if (!BuildSmallNetwork(in, arena)) {
        CleanUp();
        return 0;
    }
    // Arguments are read in order (braced lists are evaluated left to right), so that an input
    // means the same calls on every compiler.
    std::apply(InitSuper,
               std::tuple{in.Share(), static_cast<int16_t>(in.Int(1, 7)),
                          static_cast<int16_t>(in.Int(-1, 3)), static_cast<int16_t>(in.Int(0, 3)),
                          static_cast<int16_t>(in.Int(0, 3)), static_cast<int16_t>(in.Int(0, 3)),
                          in.Share(), in.Share(), in.Share() * 0.12});
    std::apply(InitPop,
               std::tuple{static_cast<int16_t>(in.Int(0, 4)), static_cast<int16_t>(in.Int(0, 4)),
                          static_cast<int16_t>(in.Int(0, 5)), in.Double()});

    for (int op = 0; op < 16 && !in.empty(); ++op) {
        switch (in.Byte() % 7) {
        case 0:
        case 1:
            ReloadPop(ChangedPopulation(in, arena));
            break;
        case 2: {
            XLOPER names = (in.Byte() % 8 == 0) ? arena.Number(1.0) : arena.String(in.Text(60));
            TouchResult(GetSchema(&names, static_cast<int16_t>(in.Int(-2, 6))));
            break;
        }
        case 3:
            TouchResult(UnloadPop());
            break;
        case 4:
            std::apply(TrainNextSchema, std::tuple{static_cast<int16_t>(in.Int(-1, 3)),
                                                   static_cast<int16_t>(in.Int(0, 4)), 0.0,
                                                   in.Share() * 1.1, in.Share() * 1.1});
            break;
        case 5:
            std::apply(GenNextPop, std::tuple{static_cast<int16_t>(in.Int(0, 5)),
                                              static_cast<int16_t>(in.Int(0, 4)), in.Share() * 11.0,
                                              in.Share() * 1.1, static_cast<int16_t>(in.Int(0, 5)),
                                              in.Double()});
            break;
        default:
            ReloadPop(arena.Column(in, in.Int(0, 60)));
            break;
        }
    }
    CleanUp();
    ExpectNoBlocksLeft();
    return 0;
}
