// Loads the library as a host does (LoadLibrary on Windows, dlopen elsewhere), checks its export
// table and runs one fixed scenario through function pointers. Built with QUAR_LINKED, the
// library is linked in statically instead and its exports are looked up in a table of their
// addresses (for the 32-bit Linux build, which runs under an emulator without a 32-bit loader).
// Every result is printed, numbers as the bit patterns of their doubles, so that the printouts of
// two builds can be compared line by line. The last line is the verdict; the exit code is non-zero
// on any failure.
#include "quar1432.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#elif !defined(QUAR_LINKED)
#include <dlfcn.h>
#endif

namespace {

struct ExportEntry {
    const char* name;
    int ordinal;
};

const ExportEntry kExports[] = {{"WEP", 1},
                                {"CkArray", 2},
                                {"Init", 3},
                                {"SetWeights", 4},
                                {"RandomizeWeights", 5},
                                {"SetColumn", 6},
                                {"SetParams", 7},
                                {"RunNet", 8},
                                {"GetWeights", 9},
                                {"GetOutputs", 10},
                                {"CleanUp", 11},
                                {"Parse", 12},
                                {"GetParsed", 13},
                                {"DBWndProc", 14},
                                {"TestArray", 15},
                                {"GetBlankFlags", 16},
                                {"WeightHistStr", 17},
                                {"SetEnhanced", 18},
                                {"PlotError", 19},
                                {"SetCutoffs", 20},
                                {"InitSuper", 21},
                                {"InitPop", 22},
                                {"TrainNextSchema", 23},
                                {"GenNextPop", 24},
                                {"UnloadPop", 25},
                                {"ReloadPop", 26},
                                {"GetSchema", 27},
                                {"SelectDataMode", 28},
                                {"SetColumnEx", 29},
                                {"GetOutputsEx", 30},
                                {"InitBP", 31},
                                {"TestXLOPER", 32},
                                {"ReturnXLOPER", 33},
                                {"CountSymbols", 34},
                                {"InitQRWTitle", 35},
                                {"xSetColumn", 36}};
constexpr int kExportCount = sizeof kExports / sizeof kExports[0];

int passed = 0;
int failed = 0;

void Check(bool ok, const char* what) {
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAILED: %s\n", what);
    }
}

// ---- Loading ------------------------------------------------------------------------------

#ifdef _WIN32
using Module = HMODULE;
Module Load(const char* path) {
    return LoadLibraryA(path);
}
void* ByName(Module m, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(m, name));
}
void* ByOrdinal(Module m, int ordinal) {
    return reinterpret_cast<void*>(GetProcAddress(m, MAKEINTRESOURCEA(ordinal)));
}

// The names in the export directory: exactly the 36, none with a calling-convention decoration.
bool ExportNamesAreUndecorated(Module m) {
    const unsigned char* base = reinterpret_cast<const unsigned char*>(m);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const IMAGE_EXPORT_DIRECTORY* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    if (exports->NumberOfNames != DWORD(kExportCount) || exports->Base != 1 ||
        exports->NumberOfFunctions != DWORD(kExportCount))
        return false;
    const DWORD* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD k = 0; k < exports->NumberOfNames; ++k) {
        const char* name = reinterpret_cast<const char*>(base + names[k]);
        if (std::strchr(name, '@') != nullptr || name[0] == '_') return false;
    }
    return true;
}

// The entry routine shows the title dialog from the library's resources and holds it until the
// calendar clock has moved on three seconds: two to three seconds in all.
bool TitleShownAtLoad(Module m, ULONGLONG loadMilliseconds) {
    return FindResourceA(m, "QUARROW", RT_DIALOG) != nullptr &&
           FindResourceA(m, "QUARROW", RT_GROUP_ICON) != nullptr && loadMilliseconds >= 1500;
}
#elif defined(QUAR_LINKED)
struct LinkedExport {
    const char* name;
    void* address;
};
template <class F> LinkedExport Linked(const char* name, F address) {
    return {name, reinterpret_cast<void*>(address)};
}
#define LINKED(name) Linked(#name, &::name)
const LinkedExport kLinked[] = {LINKED(WEP),
                                LINKED(CkArray),
                                LINKED(Init),
                                LINKED(SetWeights),
                                LINKED(RandomizeWeights),
                                LINKED(SetColumn),
                                LINKED(SetParams),
                                LINKED(RunNet),
                                LINKED(GetWeights),
                                LINKED(GetOutputs),
                                LINKED(CleanUp),
                                LINKED(Parse),
                                LINKED(GetParsed),
                                LINKED(DBWndProc),
                                LINKED(TestArray),
                                LINKED(GetBlankFlags),
                                LINKED(WeightHistStr),
                                LINKED(SetEnhanced),
                                LINKED(PlotError),
                                LINKED(SetCutoffs),
                                LINKED(InitSuper),
                                LINKED(InitPop),
                                LINKED(TrainNextSchema),
                                LINKED(GenNextPop),
                                LINKED(UnloadPop),
                                LINKED(ReloadPop),
                                LINKED(GetSchema),
                                LINKED(SelectDataMode),
                                LINKED(SetColumnEx),
                                LINKED(GetOutputsEx),
                                LINKED(InitBP),
                                LINKED(TestXLOPER),
                                LINKED(ReturnXLOPER),
                                LINKED(CountSymbols),
                                LINKED(InitQRWTitle),
                                LINKED(xSetColumn)};
#undef LINKED

using Module = const LinkedExport*;
Module Load(const char*) {
    return kLinked;
}
void* ByName(Module m, const char* name) {
    for (const LinkedExport* e = m; e != m + sizeof kLinked / sizeof kLinked[0]; ++e)
        if (std::strcmp(e->name, name) == 0) return e->address;
    return nullptr;
}
#else
using Module = void*;
Module Load(const char* path) {
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}
void* ByName(Module m, const char* name) {
    return dlsym(m, name);
}
#endif

Module library;

// The function types come from the library's header, conventions included; only their names are
// looked up at run time.
template <class F> F Resolve(const char* name) {
    return reinterpret_cast<F>(ByName(library, name));
}
#define EXPORT(name) decltype(&::name) name = Resolve<decltype(&::name)>(#name)

void CheckExports() {
    int resolved = 0;
    for (const ExportEntry& e : kExports) {
        void* byName = ByName(library, e.name);
        bool ok = byName != nullptr;
#ifdef _WIN32
        ok = ok && ByOrdinal(library, e.ordinal) == byName;
#endif
        Check(ok, e.name);
        resolved += ok ? 1 : 0;
    }
    std::printf("exports: %d of %d resolved by name and ordinal\n", resolved, kExportCount);
#ifdef _WIN32
    Check(ExportNamesAreUndecorated(library), "export directory holds the 36 plain names");
#else
    Check(ByName(library, "InitBP@48") == nullptr, "no decorated names");
#endif
}

// ---- Printing -------------------------------------------------------------------------------

void PrintDouble(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    std::printf(" %08X%08X", unsigned(bits >> 32), unsigned(bits & 0xFFFFFFFFu));
}

void PrintFp(const char* what, const FP* fp, int limit) {
    if (fp == nullptr) {
        std::printf("%s: null\n", what);
        return;
    }
    const int count = fp->rows * fp->columns;
    std::printf("%s: %dx%d", what, fp->rows, fp->columns);
    for (int k = 0; k < count && k < limit; ++k)
        PrintDouble(fp->array[k]);
    std::printf("\n");
}

void PrintCell(const XLOPER& x) {
    switch (x.xltype & 0x0FFF) {
    case xltypeNum:
        PrintDouble(x.val.num);
        break;
    case xltypeStr:
        if (x.val.str == nullptr)
            std::printf(" str(null)");
        else
            std::printf(" \"%.*s\"", int(x.val.str[0]),
                        reinterpret_cast<const char*>(x.val.str + 1));
        break;
    case xltypeNil:
        std::printf(" nil");
        break;
    default:
        std::printf(" type%d", int(x.xltype));
    }
}

void PrintXloper(const char* what, const XLOPER* x) {
    std::printf("%s:", what);
    if (x == nullptr) {
        std::printf(" null\n");
        return;
    }
    if ((x->xltype & 0x0FFF) == xltypeMulti) {
        std::printf(" %dx%d", x->val.array.rows, x->val.array.columns);
        const int count = x->val.array.rows * x->val.array.columns;
        for (int k = 0; k < count && x->val.array.lparray != nullptr; ++k)
            PrintCell(x->val.array.lparray[k]);
    } else {
        PrintCell(*x);
    }
    std::printf("\n");
}

bool IsOk(const char* answer) {
    return answer != nullptr && std::strcmp(answer, "OK") == 0;
}

void Expect(const char* what, const char* answer) {
    std::printf("%s: %s\n", what, answer ? answer : "(null)");
    Check(IsOk(answer), what);
}

// ---- Worksheet columns ----------------------------------------------------------------------

constexpr int kMaxRows = 64;

struct Cells {
    XLOPER cells[kMaxRows];
    unsigned char texts[kMaxRows][64];
    XLOPER multi;
    int rows;

    explicit Cells(int n) : rows(n) {
        std::memset(cells, 0, sizeof cells);
        std::memset(&multi, 0, sizeof multi);
        for (int k = 0; k < n; ++k)
            cells[k].xltype = xltypeNil;
        multi.xltype = xltypeMulti;
        multi.val.array.lparray = cells;
        multi.val.array.rows = uint16_t(n);
        multi.val.array.columns = 1;
    }
    void Number(int k, double v) {
        cells[k].val.num = v;
        cells[k].xltype = xltypeNum;
    }
    void Text(int k, const char* s) {
        const size_t n = std::strlen(s);
        texts[k][0] = static_cast<unsigned char>(n);
        std::memcpy(texts[k] + 1, s, n);
        cells[k].val.str = texts[k];
        cells[k].xltype = xltypeStr;
    }
};

// ---- The scenario ---------------------------------------------------------------------------

struct Exports {
    EXPORT(InitBP);
    EXPORT(SetParams);
    EXPORT(SetEnhanced);
    EXPORT(SetCutoffs);
    EXPORT(SetColumnEx);
    EXPORT(RandomizeWeights);
    EXPORT(RunNet);
    EXPORT(GetOutputs);
    EXPORT(GetOutputsEx);
    EXPORT(GetWeights);
    EXPORT(WeightHistStr);
    EXPORT(PlotError);
    EXPORT(Parse);
    EXPORT(GetParsed);
    EXPORT(TestXLOPER);
    EXPORT(CleanUp);
    EXPORT(InitSuper);
    EXPORT(InitPop);
    EXPORT(TrainNextSchema);
    EXPORT(GenNextPop);
    EXPORT(UnloadPop);
    EXPORT(ReloadPop);
    EXPORT(WEP);
    EXPORT(DBWndProc);
    EXPORT(InitQRWTitle);
};

void LoadXor(const Exports& q, int method) {
    const double a[4] = {0, 0, 1, 1}, b[4] = {0, 1, 0, 1}, target[4] = {0, 1, 1, 0};
    Cells blank(4), inA(4), inB(4), out(4);
    for (int r = 0; r < 4; ++r) {
        blank.Number(r, 1.0);
        inA.Number(r, a[r]);
        inB.Number(r, b[r]);
        out.Number(r, target[r]);
    }
    Expect("InitBP", q.InitBP(2, 1, 4, 1, 1, 0, 3, 2, 0, 0, 0, int16_t(method)));
    Expect("SetParams", q.SetParams(0.1, 0.1, 0.9, 0.7, 0.0));
    Expect("SetEnhanced", q.SetEnhanced(3, 1.0, 0, 0.0, 0, 0.0));
    Expect("SetCutoffs", q.SetCutoffs(0.0, 0.0, 0.0));
    Expect("blank flags", q.SetColumnEx(COLUMN_BLANK_FLAG, 0, &blank.multi, 0));
    Expect("input A", q.SetColumnEx(COLUMN_INPUT, 0, &inA.multi, 0));
    Expect("input B", q.SetColumnEx(COLUMN_INPUT, 1, &inB.multi, 0));
    Expect("target", q.SetColumnEx(COLUMN_OUTPUT, 0, &out.multi, 0));
}

void TrainXor(const Exports& q, int method, const char* title) {
    std::printf("== exclusive-or, %s\n", title);
    LoadXor(q, method);
    std::printf("RandomizeWeights: %d\n", int(q.RandomizeWeights(1, 3, 1.0)));
    for (int round = 0; round < 4; ++round)
        PrintFp("RunNet(1, 500)", q.RunNet(1, 500), 4);
    PrintFp("RunNet(0, 1)", q.RunNet(0, 1), 4);
    PrintFp("GetOutputs(0)", q.GetOutputs(0), 16);
    PrintFp("GetWeights(0)", q.GetWeights(0), 9);
    PrintFp("PlotError", q.PlotError(), 12);
    const char* histogram = q.WeightHistStr(8, -8.0, 8.0);
    std::printf("WeightHistStr: %s\n", histogram ? histogram : "(null)");
    const FP* outputs = q.GetOutputs(0);
    bool learnt = outputs != nullptr && outputs->array[0] < 0.5 && outputs->array[1] > 0.5 &&
                  outputs->array[2] > 0.5 && outputs->array[3] < 0.5;
    Check(learnt, "exclusive-or learnt");
}

// A threshold learnt from worksheet cells with a SYMBOL row: x below 0.5 is LOW, above HIGH.
void SymbolicColumn(const Exports& q) {
    std::printf("== symbolic target column\n");
    const double xs[11] = {0.05, 0.9, 0.2, 0.75, 0.35, 0.6, 0.1, 0.95, 0.3, 0.7, 0.45};
    const int rows = 13;
    Cells blank(rows), modes(rows), inputs(rows), outputs(rows);
    modes.Text(0, "symbol");
    outputs.Text(0, "Low,High");
    for (int k = 0; k < rows; ++k)
        if (k != 1) blank.Number(k, 1.0);
    for (int k = 0; k < 11; ++k) {
        modes.Text(k + 2, "train");
        inputs.Number(k + 2, xs[k]);
        outputs.Text(k + 2, xs[k] < 0.5 ? "low" : "HIGH");
    }
    Expect("InitBP", q.InitBP(1, 1, rows, 1, 1, 1, 3, 2, 0, 0, 0, CALC_DOUBLE));
    Expect("blank flags", q.SetColumnEx(COLUMN_BLANK_FLAG, 0, &blank.multi, 0));
    Expect("modes", q.SetColumnEx(COLUMN_MODE_FLAG, 0, &modes.multi, 0));
    Expect("input", q.SetColumnEx(COLUMN_INPUT, 0, &inputs.multi, 0));
    Expect("symbols", q.SetColumnEx(COLUMN_OUTPUT, 0, &outputs.multi, 0));
    Expect("SetParams", q.SetParams(0.1, 0.1, 0.9, 0.5, 0.0));
    q.RandomizeWeights(1, 11, 0.5);
    PrintFp("RunNet(1, 3000)", q.RunNet(1, 3000), 4);
    PrintFp("RunNet(0, 1)", q.RunNet(0, 1), 4);
    const XLOPER* symbols = q.GetOutputsEx(0, 1, 0);
    PrintXloper("GetOutputsEx symbols", symbols);
    bool right = symbols != nullptr && (symbols->xltype & 0x0FFF) == xltypeMulti &&
                 symbols->val.array.rows >= rows;
    for (int k = 0; right && k < 11; ++k) {
        const XLOPER& cell = symbols->val.array.lparray[k + 2];
        const char* want = xs[k] < 0.5 ? "LOW" : "HIGH";
        right = (cell.xltype & 0x0FFF) == xltypeStr && cell.val.str[0] == std::strlen(want) &&
                std::memcmp(cell.val.str + 1, want, cell.val.str[0]) == 0;
    }
    Check(right, "symbols read back");
    PrintXloper("GetOutputsEx values", q.GetOutputsEx(0, 0, 0));
}

void ColumnLists(const Exports& q) {
    std::printf("== column lists\n");
    PrintFp("Parse", q.Parse("A, B,C", "", "IV", ""), 4);
    std::printf("GetParsed:");
    for (int k = 0; k < 4; ++k)
        std::printf(" %s", q.GetParsed());
    std::printf("\n");
    PrintFp("Parse error", q.Parse("A", "A,,B", "", ""), 2);
    const FP* r = q.Parse("ab,cd", "x", "", "  z  ");
    Check(r != nullptr && r->array[0] == 2 && r->array[1] == 1 && r->array[2] == 0 &&
              r->array[3] == 1,
          "Parse counts");
    XLOPER number;
    std::memset(&number, 0, sizeof number);
    number.val.num = 2.5;
    number.xltype = xltypeNum;
    const char* described = q.TestXLOPER(&number);
    std::printf("TestXLOPER: %s\n", described);
    Check(std::strcmp(described, "Num 2.500000") == 0, "TestXLOPER of 2.5");
    Check(q.WEP(0) == 1 && q.DBWndProc(nullptr, 0, 0, 0) == 0, "WEP and DBWndProc");
}

// A population column copied out of the library, so that it can be edited and handed back.
struct PopulationCopy {
    static constexpr int kMaxCells = 33 + 17 * 8;
    XLOPER cells[kMaxCells];
    unsigned char texts[kMaxCells][260];
    XLOPER multi;

    bool From(const XLOPER* column) {
        if (column == nullptr || (column->xltype & 0x0FFF) != xltypeMulti ||
            column->val.array.rows > kMaxCells)
            return false;
        std::memset(&multi, 0, sizeof multi);
        multi.xltype = xltypeMulti;
        multi.val.array.lparray = cells;
        multi.val.array.rows = column->val.array.rows;
        multi.val.array.columns = 1;
        for (int k = 0; k < column->val.array.rows; ++k) {
            cells[k] = column->val.array.lparray[k];
            if ((cells[k].xltype & 0x0FFF) == xltypeStr && cells[k].val.str != nullptr) {
                std::memcpy(texts[k], cells[k].val.str, size_t(cells[k].val.str[0]) + 1);
                cells[k].val.str = texts[k];
            }
        }
        return true;
    }
};

PopulationCopy population;

void Supervisor(const Exports& q) {
    std::printf("== genetic supervisor\n");
    LoadXor(q, CALC_DOUBLE);
    q.RandomizeWeights(1, 5, 1.0);
    Expect("InitSuper", q.InitSuper(0.9, 3, 3, 0, 0, 0, 0.3, 0.9, 0.0));
    Expect("InitPop", q.InitPop(4, 1, 2, 40.0));
    // Fixed weight seeds for every schema: header cells 30 (use the seed) and 31 (the seed).
    bool copied = population.From(q.UnloadPop());
    Check(copied, "UnloadPop gives a column");
    if (!copied) return;
    population.cells[30].val.num = 1.0;
    population.cells[31].val.num = 7.0;
    Expect("ReloadPop", q.ReloadPop(&population.multi));
    const char* answer = "";
    for (int calls = 0; calls < 40 && std::strcmp(answer, "Population Tested") != 0; ++calls) {
        answer = q.TrainNextSchema(40, 0, 0.0, 0.0, 0.0);
        std::printf("TrainNextSchema: %s\n", answer ? answer : "(null)");
        if (answer == nullptr) break;
    }
    Check(answer != nullptr && std::strcmp(answer, "Population Tested") == 0, "population tested");
    PrintXloper("UnloadPop tested", q.UnloadPop());
    Expect("GenNextPop", q.GenNextPop(4, 1, 1.0, 0.3, 2, 40.0));
    PrintXloper("UnloadPop next", q.UnloadPop());
}

} // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : nullptr;
    if (path == nullptr) {
        std::printf("usage: dll_check <library>\n");
        return 2;
    }
#ifdef _WIN32
    const ULONGLONG loadStart = GetTickCount64();
#endif
    library = Load(path);
    if (library == nullptr) {
        std::printf("cannot load %s\n", path);
        return 1;
    }
    CheckExports();
    Exports q;
#ifdef _WIN32
    Check(TitleShownAtLoad(library, GetTickCount64() - loadStart), "title window at load");
#else
    Check(q.InitQRWTitle() == 1, "title window call");
#endif
    TrainXor(q, CALC_DOUBLE, "double precision");
    TrainXor(q, CALC_FIXED16, "16-bit fixed point");
    SymbolicColumn(q);
    ColumnLists(q);
    Supervisor(q);
    std::printf("CleanUp: %d\n", int(q.CleanUp()));
    std::printf("dll_check: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
