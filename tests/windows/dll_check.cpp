// Loads the library as a host does (LoadLibrary on Windows, dlopen elsewhere), resolves its 36
// exports by name and ordinal and runs one fixed scenario through them; built with QUAR_LINKED,
// the library is linked in statically (for the 32-bit Linux build, run by an emulator without a
// 32-bit loader). Every result is printed, doubles as their bit patterns, so that two builds'
// printouts can be compared line by line. The exit code is non-zero when an export is missing,
// a step of the setup is refused or WEP or DBWndProc answers wrongly.
#include "quar1432.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#elif !defined(QUAR_LINKED)
#include <dlfcn.h>
#endif

// The exports in ordinal order (the first is ordinal 1).
#define QUAR_EXPORTS(X)                                                                            \
    X(WEP), X(CkArray), X(Init), X(SetWeights), X(RandomizeWeights), X(SetColumn), X(SetParams),   \
        X(RunNet), X(GetWeights), X(GetOutputs), X(CleanUp), X(Parse), X(GetParsed), X(DBWndProc), \
        X(TestArray), X(GetBlankFlags), X(WeightHistStr), X(SetEnhanced), X(PlotError),            \
        X(SetCutoffs), X(InitSuper), X(InitPop), X(TrainNextSchema), X(GenNextPop), X(UnloadPop),  \
        X(ReloadPop), X(GetSchema), X(SelectDataMode), X(SetColumnEx), X(GetOutputsEx), X(InitBP), \
        X(TestXLOPER), X(ReturnXLOPER), X(CountSymbols), X(InitQRWTitle), X(xSetColumn)

namespace {

#define NAME(name) #name
const char* const kExportNames[] = {QUAR_EXPORTS(NAME)};
constexpr int kExportCount = sizeof kExportNames / sizeof kExportNames[0];

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
#elif defined(QUAR_LINKED)
#define ADDRESS(name) reinterpret_cast<void*>(&::name)
void* const kLinked[] = {QUAR_EXPORTS(ADDRESS)};
using Module = void* const*;
Module Load(const char*) {
    return kLinked;
}
void* ByOrdinal(Module m, int ordinal) {
    return m[ordinal - 1];
}
void* ByName(Module m, const char* name) {
    for (int k = 0; k < kExportCount; ++k)
        if (std::strcmp(kExportNames[k], name) == 0) return m[k];
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
// A shared object has no ordinals: the name stands for them.
void* ByOrdinal(Module m, int ordinal) {
    return ByName(m, kExportNames[ordinal - 1]);
}
#endif

Module library;
int failed = 0;

// Calls go through a pointer of the header's own type, conventions included; only the name is
// looked up at run time.
template <class F> F Resolve(const char* name) {
    return reinterpret_cast<F>(ByName(library, name));
}
#define EXPORT(name) Resolve<decltype(&::name)>(#name)

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
    std::printf("%s: %dx%d", what, fp->rows, fp->columns);
    for (int k = 0; k < fp->rows * fp->columns && k < limit; ++k)
        PrintDouble(fp->array[k]);
    std::printf("\n");
}

void PrintCell(const XLOPER& x) {
    if ((x.xltype & 0x0FFF) == xltypeNum)
        PrintDouble(x.val.num);
    else if ((x.xltype & 0x0FFF) == xltypeStr && x.val.str != nullptr)
        std::printf(" \"%.*s\"", int(x.val.str[0]), reinterpret_cast<const char*>(x.val.str + 1));
    else
        std::printf(" type%d", int(x.xltype));
}

void PrintXloper(const char* what, const XLOPER* x) {
    std::printf("%s:", what);
    if (x == nullptr) {
        std::printf(" null");
    } else if ((x->xltype & 0x0FFF) == xltypeMulti && x->val.array.lparray != nullptr) {
        std::printf(" %dx%d", x->val.array.rows, x->val.array.columns);
        for (int k = 0; k < x->val.array.rows * x->val.array.columns; ++k)
            PrintCell(x->val.array.lparray[k]);
    } else {
        PrintCell(*x);
    }
    std::printf("\n");
}

void Expect(const char* what, const char* answer) {
    std::printf("%s: %s\n", what, answer ? answer : "(null)");
    if (answer == nullptr || std::strcmp(answer, "OK") != 0) ++failed;
}

// ---- Worksheet columns ----------------------------------------------------------------------

constexpr int kMaxRows = 16;

struct Cells {
    XLOPER cells[kMaxRows] = {};
    unsigned char texts[kMaxRows][16];
    XLOPER multi = {};

    // Blank cells, or the numbers given.
    explicit Cells(int rows, const double* numbers = nullptr) {
        for (int k = 0; k < rows; ++k)
            cells[k].xltype = xltypeNil;
        for (int k = 0; numbers != nullptr && k < rows; ++k)
            Number(k, numbers[k]);
        multi.xltype = xltypeMulti;
        multi.val.array.lparray = cells;
        multi.val.array.rows = uint16_t(rows);
        multi.val.array.columns = 1;
    }
    void Number(int k, double v) {
        cells[k].val.num = v;
        cells[k].xltype = xltypeNum;
    }
    void Text(int k, const char* s) {
        texts[k][0] = static_cast<unsigned char>(std::strlen(s));
        std::memcpy(texts[k] + 1, s, texts[k][0]);
        cells[k].val.str = texts[k];
        cells[k].xltype = xltypeStr;
    }
};

// ---- The scenario ---------------------------------------------------------------------------

void LoadXor(int method) {
    const double ones[4] = {1, 1, 1, 1}, a[4] = {0, 0, 1, 1}, b[4] = {0, 1, 0, 1};
    const double target[4] = {0, 1, 1, 0};
    Cells blank(4, ones), inA(4, a), inB(4, b), out(4, target);
    Expect("InitBP", EXPORT(InitBP)(2, 1, 4, 1, 1, 0, 3, 2, 0, 0, 0, int16_t(method)));
    Expect("SetParams", EXPORT(SetParams)(0.1, 0.1, 0.9, 0.7, 0.0));
    Expect("SetEnhanced", EXPORT(SetEnhanced)(3, 1.0, 0, 0.0, 0, 0.0));
    Expect("SetCutoffs", EXPORT(SetCutoffs)(0.0, 0.0, 0.0));
    Expect("blank flags", EXPORT(SetColumnEx)(COLUMN_BLANK_FLAG, 0, &blank.multi, 0));
    Expect("input A", EXPORT(SetColumnEx)(COLUMN_INPUT, 0, &inA.multi, 0));
    Expect("input B", EXPORT(SetColumnEx)(COLUMN_INPUT, 1, &inB.multi, 0));
    Expect("target", EXPORT(SetColumnEx)(COLUMN_OUTPUT, 0, &out.multi, 0));
}

void TrainXor(int method, const char* title) {
    std::printf("== exclusive-or, %s\n", title);
    LoadXor(method);
    std::printf("RandomizeWeights: %d\n", int(EXPORT(RandomizeWeights)(1, 3, 1.0)));
    for (int round = 0; round < 4; ++round)
        PrintFp("RunNet(1, 500)", EXPORT(RunNet)(1, 500), 4);
    PrintFp("RunNet(0, 1)", EXPORT(RunNet)(0, 1), 4);
    PrintFp("GetOutputs(0)", EXPORT(GetOutputs)(0), 16);
    PrintFp("GetWeights(0)", EXPORT(GetWeights)(0), 9);
    PrintFp("PlotError", EXPORT(PlotError)(), 12);
    const char* histogram = EXPORT(WeightHistStr)(8, -8.0, 8.0);
    std::printf("WeightHistStr: %s\n", histogram ? histogram : "(null)");
}

// A threshold learnt from worksheet cells with a SYMBOL row: x below 0.5 is LOW, above HIGH.
void SymbolicColumn() {
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
    Expect("InitBP", EXPORT(InitBP)(1, 1, rows, 1, 1, 1, 3, 2, 0, 0, 0, CALC_DOUBLE));
    Expect("blank flags", EXPORT(SetColumnEx)(COLUMN_BLANK_FLAG, 0, &blank.multi, 0));
    Expect("modes", EXPORT(SetColumnEx)(COLUMN_MODE_FLAG, 0, &modes.multi, 0));
    Expect("input", EXPORT(SetColumnEx)(COLUMN_INPUT, 0, &inputs.multi, 0));
    Expect("symbols", EXPORT(SetColumnEx)(COLUMN_OUTPUT, 0, &outputs.multi, 0));
    Expect("SetParams", EXPORT(SetParams)(0.1, 0.1, 0.9, 0.5, 0.0));
    EXPORT(RandomizeWeights)(1, 11, 0.5);
    PrintFp("RunNet(1, 3000)", EXPORT(RunNet)(1, 3000), 4);
    PrintFp("RunNet(0, 1)", EXPORT(RunNet)(0, 1), 4);
    PrintXloper("GetOutputsEx symbols", EXPORT(GetOutputsEx)(0, 1, 0));
    PrintXloper("GetOutputsEx values", EXPORT(GetOutputsEx)(0, 0, 0));
}

void ColumnLists() {
    std::printf("== column lists\n");
    PrintFp("Parse", EXPORT(Parse)("A, B,C", "", "IV", ""), 4);
    std::printf("GetParsed:");
    for (int k = 0; k < 4; ++k)
        std::printf(" %s", EXPORT(GetParsed)());
    std::printf("\n");
    PrintFp("Parse error", EXPORT(Parse)("A", "A,,B", "", ""), 2);
    const double twoAndAHalf = 2.5;
    Cells number(1, &twoAndAHalf);
    std::printf("TestXLOPER: %s\n", EXPORT(TestXLOPER)(number.cells));
    // Unloading is always allowed, and the title window leaves every message to the default.
    const int wep = EXPORT(WEP)(0), dbWndProc = EXPORT(DBWndProc)(nullptr, 0, 0, 0);
    std::printf("WEP: %d, DBWndProc: %d\n", wep, dbWndProc);
    if (wep != 1 || dbWndProc != 0) ++failed;
}

void Supervisor() {
    std::printf("== genetic supervisor\n");
    LoadXor(CALC_DOUBLE);
    EXPORT(RandomizeWeights)(1, 5, 1.0);
    Expect("InitSuper", EXPORT(InitSuper)(0.9, 3, 3, 0, 0, 0, 0.3, 0.9, 0.0));
    Expect("InitPop", EXPORT(InitPop)(4, 1, 2, 40.0));
    // Fixed weight seeds for every schema: header cells 30 (use the seed) and 31 (the seed).
    // ReloadPop only reads the column, so the library's own record is edited and handed back.
    XLOPER* column = EXPORT(UnloadPop)();
    if (column == nullptr || (column->xltype & 0x0FFF) != xltypeMulti ||
        column->val.array.rows < 32)
        return Expect("UnloadPop", "no population column");
    column->val.array.lparray[30].val.num = 1.0;
    column->val.array.lparray[31].val.num = 7.0;
    Expect("ReloadPop", EXPORT(ReloadPop)(column));
    for (int calls = 0; calls < 40; ++calls) {
        const char* answer = EXPORT(TrainNextSchema)(40, 0, 0.0, 0.0, 0.0);
        std::printf("TrainNextSchema: %s\n", answer ? answer : "(null)");
        if (answer == nullptr || std::strcmp(answer, "Population Tested") == 0) break;
    }
    PrintXloper("UnloadPop tested", EXPORT(UnloadPop)());
    Expect("GenNextPop", EXPORT(GenNextPop)(4, 1, 1.0, 0.3, 2, 40.0));
    PrintXloper("UnloadPop next", EXPORT(UnloadPop)());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: dll_check <library>\n");
        return 2;
    }
    library = Load(argv[1]);
    if (library == nullptr) {
        std::printf("cannot load %s\n", argv[1]);
        return 1;
    }
    int resolved = 0;
    for (int k = 0; k < kExportCount; ++k) {
        void* byName = ByName(library, kExportNames[k]);
        if (byName != nullptr && ByOrdinal(library, k + 1) == byName) ++resolved;
    }
    std::printf("exports: %d of %d resolved by name and ordinal\n", resolved, kExportCount);
    if (resolved != kExportCount) return 1;
    TrainXor(CALC_DOUBLE, "double precision");
    TrainXor(CALC_FIXED16, "16-bit fixed point");
    SymbolicColumn();
    ColumnLists();
    Supervisor();
    std::printf("CleanUp: %d\n", int(EXPORT(CleanUp)()));
    std::printf("dll_check: %d failed\n", failed);
    return failed == 0 ? 0 : 1;
}
