// The genetic supervisor's population column: reloaded as it was unloaded but with cells
// changed, or made up; schemas shown with any column-name text; training and breeding in
// between.
#include "fuzz_input.h"

#include "quar1432.h"

#include <cstring>

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

// A copy of the unloaded population with some cells changed, and perhaps fewer or more rows.
XLOPER* ChangedPopulation(FuzzInput& in, CellArena& arena) {
    XLOPER* unloaded = UnloadPop();
    std::vector<XLOPER> cells;
    if (unloaded != nullptr && unloaded->xltype == xltypeMulti &&
        unloaded->val.array.lparray != nullptr)
        for (int k = 0; k < unloaded->val.array.rows; ++k) {
            const XLOPER& c = unloaded->val.array.lparray[k];
            // Strings are copied: the column must not point into the library's own storage.
            cells.push_back(c.xltype == xltypeStr ? arena.String(ReadResultText(&c)) : c);
        }
    const int changes = in.Int(0, 6);
    for (int k = 0; k < changes && !cells.empty(); ++k) {
        const size_t at = in.Int(0, 255) % cells.size();
        if (in.Byte() & 1) {
            cells[at] = arena.Cell(in);
        } else {
            // A mask text of an unusual count, or with odd letters.
            std::string mask(in.Int(60, 70), '@');
            for (char& ch : mask)
                ch = static_cast<char>('@' + in.Int(0, 20));
            cells[at] = arena.String(mask);
        }
    }
    int rows = static_cast<int>(cells.size());
    switch (in.Byte() % 4) {
    case 0:
        rows = in.Int(0, rows + 20);
        break;
    case 1:
        rows += 17;
        break;
    default:
        break;
    }
    while (static_cast<int>(cells.size()) < rows)
        cells.push_back(arena.Number(in.Double()));
    return arena.Multi(cells, rows, (in.Byte() % 32 == 0) ? 2 : 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    CellArena arena;
    if (!BuildSmallNetwork(in, arena)) {
        CleanUp();
        return 0;
    }
    InitSuper(in.Share(), static_cast<int16_t>(in.Int(1, 7)), static_cast<int16_t>(in.Int(-1, 3)),
              static_cast<int16_t>(in.Int(0, 3)), static_cast<int16_t>(in.Int(0, 3)),
              static_cast<int16_t>(in.Int(0, 3)), in.Share(), in.Share(), in.Share() * 0.12);
    InitPop(static_cast<int16_t>(in.Int(0, 4)), static_cast<int16_t>(in.Int(0, 4)),
            static_cast<int16_t>(in.Int(0, 5)), in.Double());

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
            TrainNextSchema(static_cast<int16_t>(in.Int(-1, 3)), static_cast<int16_t>(in.Int(0, 4)),
                            0.0, in.Share() * 1.1, in.Share() * 1.1);
            break;
        case 5:
            GenNextPop(static_cast<int16_t>(in.Int(0, 5)), static_cast<int16_t>(in.Int(0, 4)),
                       in.Share() * 11.0, in.Share() * 1.1, static_cast<int16_t>(in.Int(0, 5)),
                       in.Double());
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
