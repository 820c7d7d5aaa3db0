// Texts and single cells: column-letter lists, symbol lists, cell descriptions, and the
// column exports called while no network or supervisor exists.
#include "fuzz_input.h"

#include "quar1432.h"

#include <cstring>
#include <tuple>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    CellArena arena;

    std::string lists[4];
    for (std::string& list : lists)
        list = in.Text(300); // longer than the parser's buffers now and then
    FP* counts = Parse(lists[0].c_str(), lists[1].c_str(), lists[2].c_str(), lists[3].c_str());
    int names = 0;
    if (counts != nullptr && counts->array[0] >= 0.0)
        for (int k = 0; k < 4; ++k)
            names += static_cast<int>(counts->array[k]);
    for (int k = 0; k < names + in.Int(0, 2); ++k) {
        const char* name = GetParsed();
        if (name != nullptr && std::strlen(name) > 2) __builtin_trap();
    }
    (void)CountSymbols(in.Text(300).c_str());
    (void)CountSymbols(nullptr);

    XLOPER cell = arena.Cell(in);
    if (in.Byte() % 4 == 0) {
        const auto [rows, columns] = std::tuple{in.Int(0, 5), in.Int(0, 2)};
        cell = *arena.Column(in, rows, columns);
    }
    const char* description = TestXLOPER(&cell);
    if (description == nullptr || std::strlen(description) > 255) __builtin_trap();
    XLOPER* copy = ReturnXLOPER(&cell);
    if (copy == nullptr || copy->xltype != cell.xltype) __builtin_trap();

    // Without a network or a population every export answers without touching blocks.
    XLOPER* column = arena.Column(in, in.Int(0, 8));
    SetColumnEx(static_cast<int16_t>(in.Int(-1, 4)), 0, column, 0);
    TouchResult(SelectDataMode(column, static_cast<int16_t>(in.Int(0, 6)), in.Share()));
    TouchResult(GetOutputsEx(0, 0, 0));
    ReloadPop(column);
    TouchResult(GetSchema(&cell, static_cast<int16_t>(in.Int(-1, 2))));
    TouchResult(UnloadPop());
    CleanUp();
    ExpectNoBlocksLeft();
    return 0;
}
