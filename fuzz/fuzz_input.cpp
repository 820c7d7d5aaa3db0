#include "fuzz_input.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kWords[] = {
    "TRAIN", "test",  "MIN", "Max", "SYMBOL", "skip", "A,B,C", "red, green ,blue",
    "x,,y",  "a, ,b", "",    " ",   "A",      "B",    "C",     "IV",
    "ab, c", "A1"};

volatile unsigned char gSink;

} // namespace

uint8_t FuzzInput::Byte() {
    return at_ < size_ ? data_[at_++] : 0;
}

int FuzzInput::Int(int lo, int hi) {
    const int span = hi - lo + 1;
    int v = Byte();
    if (span > 256) v = v * 256 + Byte();
    return lo + v % span;
}

double FuzzInput::Double() {
    const uint8_t kind = Byte();
    if (kind < 200) return (kind % 41) * 0.25 - 2.0; // -2 .. 8 in quarters
    uint64_t bits = 0;
    for (int k = 0; k < 8; ++k)
        bits = bits << 8 | Byte();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double FuzzInput::Share() {
    return Byte() / 255.0;
}

std::string FuzzInput::Text(size_t maxLength) {
    const uint8_t kind = Byte();
    if (kind < 128) return kWords[kind % (sizeof kWords / sizeof kWords[0])];
    size_t n = Byte() % (maxLength + 1);
    if (kind >= 250) n = maxLength; // now and then a text of the greatest length
    std::string text;
    for (size_t k = 0; k < n; ++k) {
        char c = static_cast<char>(Byte());
        text += c == 0 ? ',' : c;
    }
    return text;
}

XLOPER CellArena::Number(double v) {
    XLOPER x{};
    x.val.num = v;
    x.xltype = xltypeNum;
    return x;
}

XLOPER CellArena::String(const std::string& text) {
    const size_t n = text.size() > 255 ? 255 : text.size();
    strings_.emplace_back(new unsigned char[n + 1]);
    unsigned char* s = strings_.back().get();
    s[0] = static_cast<unsigned char>(n);
    std::memcpy(s + 1, text.data(), n);
    XLOPER x{};
    x.val.str = s;
    x.xltype = xltypeStr;
    return x;
}

XLOPER CellArena::Cell(FuzzInput& in) {
    XLOPER x{};
    switch (in.Byte() % 12) {
    case 0:
    case 1:
    case 2:
        return Number(in.Double());
    case 3:
    case 4:
    case 5:
        return String(in.Text(40));
    case 6:
        x.xltype = xltypeNil;
        return x;
    case 7:
        x.val.xbool = in.Byte() & 1;
        x.xltype = xltypeBool;
        return x;
    case 8:
        x.val.err = static_cast<uint16_t>(in.Int(0, 42));
        x.xltype = xltypeErr;
        return x;
    case 9:
        x.val.w = static_cast<int16_t>(in.Int(-3, 7));
        x.xltype = xltypeInt;
        return x;
    case 10:
        x.xltype = xltypeMissing;
        return x;
    default: {
        // An empty nested array, or a type code the library does not know.
        if (in.Byte() & 1) {
            x.xltype = xltypeMulti;
            x.val.array.lparray = nullptr;
            return x;
        }
        const uint16_t odd[] = {0x0200, 0x2000, 0x0003, 0x1001, 0xFFFF, 0};
        x.xltype = odd[in.Byte() % 6];
        return x;
    }
    }
}

XLOPER* CellArena::Column(FuzzInput& in, int rows, int columns) {
    std::vector<XLOPER> cells(static_cast<size_t>(rows) * columns);
    for (XLOPER& c : cells)
        c = Cell(in);
    return Multi(std::move(cells), rows, columns);
}

XLOPER* CellArena::Multi(std::vector<XLOPER> cells, int rows, int columns) {
    const size_t n = static_cast<size_t>(rows) * columns;
    arrays_.emplace_back(n ? new XLOPER[n] : nullptr);
    for (size_t k = 0; k < n; ++k)
        arrays_.back()[k] = k < cells.size() ? cells[k] : XLOPER{};
    records_.emplace_back(new XLOPER{});
    XLOPER* multi = records_.back().get();
    multi->xltype = xltypeMulti;
    multi->val.array.lparray = arrays_.back().get();
    multi->val.array.rows = static_cast<uint16_t>(rows);
    multi->val.array.columns = static_cast<uint16_t>(columns);
    return multi;
}

std::string ReadResultText(const XLOPER* x) {
    if (x == nullptr || x->xltype != xltypeStr || x->val.str == nullptr) return std::string();
    return std::string(reinterpret_cast<const char*>(x->val.str + 1), x->val.str[0]);
}

void TouchResult(const XLOPER* x) {
    if (x == nullptr) return;
    if (x->xltype == xltypeStr) {
        gSink = static_cast<unsigned char>(ReadResultText(x).size());
        return;
    }
    if (x->xltype != xltypeMulti || x->val.array.lparray == nullptr) return;
    const size_t n = static_cast<size_t>(x->val.array.rows) * x->val.array.columns;
    for (size_t k = 0; k < n; ++k) {
        const XLOPER& cell = x->val.array.lparray[k];
        if (cell.xltype == xltypeStr)
            gSink = static_cast<unsigned char>(ReadResultText(&cell).size());
        else if (cell.xltype == xltypeNum)
            gSink = static_cast<unsigned char>(cell.val.num == cell.val.num);
    }
}

void ExpectNoBlocksLeft() {
    if (PlatformLiveBlocks() != 0) {
        std::fprintf(stderr, "%d blocks left after CleanUp\n", PlatformLiveBlocks());
        std::abort();
    }
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
