// Worksheet columns of any cells, mode words and symbol lists, loaded into a small network in
// any order, then run and read back.
#include "fuzz_input.h"

#include "quar1432.h"

#include <cstring>
#include <tuple>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    CellArena arena;
    const int inputs = in.Int(1, 3);
    const int outputs = in.Int(1, 2);
    const int rows = in.Int(1, 24);
    const int window = in.Int(1, 3);
    const int step = in.Int(1, 3);
    const int layers = in.Int(2, 4);
    const int method = in.Int(0, 1);
    if (rows - window + 1 < 1) return 0; // the builder asks for at least one pattern
    const char* built =
        InitBP(static_cast<int16_t>(inputs), static_cast<int16_t>(outputs),
               static_cast<int16_t>(rows), static_cast<int16_t>(window), static_cast<int16_t>(step),
               0, static_cast<int16_t>(layers), static_cast<int16_t>(in.Int(1, 4)),
               static_cast<int16_t>(in.Int(1, 4)), 1, 1, static_cast<int16_t>(method));
    if (std::strcmp(built, "OK") != 0) {
        CleanUp();
        return 0;
    }
    // Arguments are read in order (braced lists are evaluated left to right), so that an input
    // means the same calls on every compiler.
    std::apply(SetParams,
               std::tuple{in.Share(), in.Share(), in.Share(), in.Share() * 0.9, in.Share()});
    std::apply(SetEnhanced,
               std::tuple{static_cast<int16_t>(in.Int(0, 7)), in.Double(), int32_t(in.Byte() & 1),
                          in.Share(), int32_t(in.Byte() & 1), in.Double()});
    std::apply(SetCutoffs, std::tuple{0.0, in.Share(), in.Share()});

    for (int op = 0; op < 16 && !in.empty(); ++op) {
        switch (in.Byte() % 9) {
        case 0:
        case 1:
        case 2: {
            const int type = in.Int(-1, 4);
            const int index = in.Int(-1, 3);
            const int length = in.Int(0, rows + 2);
            const int width = (in.Byte() % 16 == 0) ? 2 : 1;
            const int16_t offset = (in.Byte() % 16 == 0) ? 1 : 0;
            SetColumnEx(static_cast<int16_t>(type), static_cast<int16_t>(index),
                        arena.Column(in, length, width), offset);
            break;
        }
        case 3: {
            const int length = in.Int(0, rows + 2);
            XLOPER* column = arena.Column(in, length);
            TouchResult(std::apply(SelectDataMode,
                                   std::tuple{column, static_cast<int16_t>(in.Int(0, 6)),
                                              in.Byte() & 1 ? in.Share() : in.Share() * 40000.0}));
            break;
        }
        case 4:
            std::apply(RunNet,
                       std::tuple{int32_t(in.Byte() & 1), static_cast<int16_t>(in.Int(-1, 3))});
            break;
        case 5:
            TouchResult(
                std::apply(GetOutputsEx, std::tuple{static_cast<int16_t>(in.Int(0, outputs - 1)),
                                                    in.Int(0, 2), int16_t(0)}));
            break;
        case 6: {
            FP* flags = GetBlankFlags();
            if (flags != nullptr)
                for (int k = 0; k < flags->rows * flags->columns; ++k)
                    (void)flags->array[k];
            break;
        }
        case 7:
            RandomizeWeights(1, static_cast<int16_t>(in.Int(-5, 5)), in.Share() * 2.0);
            break;
        default:
            (void)WeightHistStr(static_cast<int16_t>(in.Int(1, 12)), -1.0, 1.0);
            break;
        }
    }
    CleanUp();
    ExpectNoBlocksLeft();
    return 0;
}
