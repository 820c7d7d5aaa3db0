/* QUAR1432: the Quarrow neural-network engine.
 *
 * The public interface of the library: the spreadsheet's two value records (FP and XLOPER,
 * declared here in their published layouts) and the 36 exports. On 32-bit Windows every export
 * uses __stdcall except xSetColumn (__cdecl); elsewhere the platform's C convention. Results
 * point into the library's own storage: the caller copies them and never frees them.
 */
#ifndef QUAR1432_H
#define QUAR1432_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define QUAR_STDCALL __stdcall
#define QUAR_CDECL __cdecl
#else
#define QUAR_STDCALL
#define QUAR_CDECL
#endif

#if defined(_WIN32)
#define QUAR_VISIBLE
#else
#define QUAR_VISIBLE __attribute__((visibility("default")))
#endif

/* A caller built by another compiler may enter with the stack aligned to 4 bytes only. */
#if defined(_WIN32) && !defined(_WIN64) && defined(__GNUC__)
#define QUAR_REALIGN __attribute__((force_align_arg_pointer))
#else
#define QUAR_REALIGN
#endif

#ifdef __cplusplus
#define QUAR_EXTERN_C extern "C"
#else
#define QUAR_EXTERN_C
#endif

#define QUAR_API(type) QUAR_EXTERN_C QUAR_VISIBLE QUAR_REALIGN type QUAR_STDCALL
#define QUAR_API_CDECL(type) QUAR_EXTERN_C QUAR_VISIBLE QUAR_REALIGN type QUAR_CDECL

/* ---- Spreadsheet value records --------------------------------------------------------- */

/* FP: a rows x columns array of doubles, row by row, from byte 8. */
typedef struct FP {
    uint16_t rows;
    uint16_t columns;
#ifdef __cplusplus
    alignas(8)
#else
    _Alignas(8)
#endif
        double array[1];
} FP;

/* The bytes an FP of rows x columns occupies when the library allocates one. */
#define QUAR_FP_BYTES(rows, columns) ((size_t)(rows) * (size_t)(columns)*8u + 16u)

enum {
    xltypeNum = 0x0001,
    xltypeStr = 0x0002,
    xltypeBool = 0x0004,
    xltypeRef = 0x0008,
    xltypeErr = 0x0010,
    xltypeFlow = 0x0020,
    xltypeMulti = 0x0040,
    xltypeMissing = 0x0080,
    xltypeNil = 0x0100,
    xltypeSRef = 0x0400,
    xltypeInt = 0x0800
};

typedef struct XLREF {
    uint16_t rwFirst;
    uint16_t rwLast;
    uint8_t colFirst;
    uint8_t colLast;
} XLREF;

typedef struct XLOPER XLOPER;

/* XLOPER: a variant cell. 32-bit builds: 8-byte value part, type code at byte 8 (16 bytes).
 * 64-bit builds: 16-byte value part, type code at byte 16 (24 bytes). Strings are
 * byte-counted: the first byte is the length. */
struct XLOPER {
    /* Aligned to 8 bytes as on Windows, also where the C convention aligns doubles to 4 (i386). */
#ifdef __cplusplus
    alignas(8)
#else
    _Alignas(8)
#endif
        union {
        double num;
        unsigned char* str;
        uint16_t xbool;
        uint16_t err;
        int16_t w;
        struct {
            uint16_t count;
            XLREF ref;
        } sref;
        struct {
            XLOPER* lparray;
            uint16_t rows;
            uint16_t columns;
        } array;
#if UINTPTR_MAX > 0xFFFFFFFFu
        unsigned char pad[16];
#endif
    } val;
    uint16_t xltype;
};

/* ---- Calculation methods, column types, modes ----------------------------------------- */

enum { CALC_FIXED16 = 0, CALC_DOUBLE = 1 };
enum { COLUMN_INPUT = 0, COLUMN_OUTPUT = 1, COLUMN_MODE_FLAG = 2, COLUMN_BLANK_FLAG = 3 };
enum { MODE_TRAIN = 0, MODE_TEST = 1, MODE_MIN = 2, MODE_MAX = 3, MODE_SYMBOL = 4, MODE_SKIP = 5 };

/* ---- The 36 exports, by ordinal ---------------------------------------------------------
 * A text answer is "OK" or a message. FP and XLOPER results point into the library's storage
 * and stay valid until the next call of the same export or CleanUp. Each export's code is in
 * src/addin/exports_<family>.cpp, one thin function naming the operation behind it. */

/* 1. Unload notice; always 1. */
QUAR_API(int32_t) WEP(int32_t code);
/* 2. Always 1. */
QUAR_API(int32_t) CkArray(void* anything);
/* 3. InitBP with the fixed-point method (calcMethod 0). */
QUAR_API(const char*)
Init(int16_t inputColumns, int16_t outputColumns, int16_t totalRows, int16_t window,
     int16_t patternStep, int16_t blankRows, int16_t layerCount, int16_t hidden1, int16_t hidden2,
     int16_t hidden3, int16_t hidden4);
/* 4. Stores weights from row firstRow (8 a row); "OK" or a message. */
QUAR_API(const char*) SetWeights(FP* weights, int16_t firstRow);
/* 5. Seeds the generator and draws every weight in -range ... range; always 1. */
QUAR_API(int32_t) RandomizeWeights(int32_t useSeed, int16_t seed, double range);
/* 6. Loads one input, output, mode flag or blank flag column; "OK" or a message. */
QUAR_API(const char*) SetColumn(int16_t type, int16_t index, FP* column);
/* 7. Tolerances, learning rate, momentum and input noise; always "OK". */
QUAR_API(const char*)
SetParams(double trainTolerance, double testTolerance, double learningRate, double momentum,
          double noise);
/* 8. Runs epochs; (within tolerance, outside, RMS error, epochs run), null without a network. */
QUAR_API(FP*) RunNet(int32_t train, int16_t epochs);
/* 9. One page of weights from row firstRow, null without a network. */
QUAR_API(FP*) GetWeights(int16_t firstRow);
/* 10. One output column in its target units per position, null when there is none. */
QUAR_API(FP*) GetOutputs(int16_t column);
/* 11. Frees the network, the supervisor and the population; always 1. */
QUAR_API(int32_t) CleanUp(void);
/* 12. Checks four lists of column names; their counts, or (-1, failing list). */
QUAR_API(FP*) Parse(const char* list1, const char* list2, const char* list3, const char* list4);
/* 13. The next parsed name, upper-cased; "" once every name is handed out. */
QUAR_API(const char*) GetParsed(void);
/* 14. The title window procedure; 0 (default handling). */
QUAR_API(int32_t) DBWndProc(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
/* 15. The array itself. */
QUAR_API(FP*) TestArray(FP* array);
/* 16. The per-position blank flags, null without a network. */
QUAR_API(FP*) GetBlankFlags(void);
/* 17. The weight histogram as "{n1,n2,...}", or a message. */
QUAR_API(const char*) WeightHistStr(int16_t bins, double lo, double hi);
/* 18. Transfer function, pruning, automatic rate and scale margin; "OK" or a message. */
QUAR_API(const char*)
SetEnhanced(int16_t code, double gain, int32_t prune, double threshold, int32_t autoRate,
            double margin);
/* 19. The error history: 256 rows of (training, testing). */
QUAR_API(FP*) PlotError(void);
/* 20. Run budget in hours and the two early stops; always "OK". */
QUAR_API(const char*) SetCutoffs(double hours, double trainRise, double testRise);
/* 21. Gene ranges of a search; saves the loaded data. "OK" or a message. */
QUAR_API(const char*)
InitSuper(double inclusionProbability, int16_t maxLayers, int16_t maxHidden1, int16_t maxHidden2,
          int16_t maxHidden3, int16_t maxHidden4, double minLearningRate, double maxMomentum,
          double maxNoise);
/* 22. A first population of random schemas; "OK" or a message. */
QUAR_API(const char*)
InitPop(int16_t populationSize, int16_t breedMethod, int16_t trainMode, double goal);
/* 23. One step of the current schema; the state reached or a message. */
QUAR_API(const char*)
TrainNextSchema(int16_t epochsPerCall, int16_t maxSchemaEpochs, double hours, double trainRise,
                double testRise);
/* 24. Breeds the next generation; "OK" or a message. */
QUAR_API(const char*)
GenNextPop(int16_t newSize, int16_t breedMethod, double crossoverRate, double mutationRate,
           int16_t trainMode, double goal);
/* 25. The population as one column of cells, or a text cell with a message. */
QUAR_API(XLOPER*) UnloadPop(void);
/* 26. Replaces the population from an unloaded column; "OK" or a message. */
QUAR_API(const char*) ReloadPop(XLOPER* column);
/* 27. One schema (0: the best) as 12 cells, or a text cell with a message. */
QUAR_API(XLOPER*) GetSchema(XLOPER* columnNames, int16_t selector);
/* 28. Per-pattern modes from a column of mode words; the column, or a text cell. */
QUAR_API(XLOPER*) SelectDataMode(XLOPER* column, int16_t method, double share);
/* 29. Loads a column of cells (numbers, symbols, words); "OK" or a message. */
QUAR_API(const char*) SetColumnEx(int16_t type, int16_t index, XLOPER* column, int16_t rowOffset);
/* 30. An output column as values, symbols or residuals, or a text cell; null without a network. */
QUAR_API(XLOPER*) GetOutputsEx(int16_t column, int32_t mode, int16_t rowOffset);
/* 31. Builds the network in calcMethod; "OK" or a message (nothing changes on a refusal). */
QUAR_API(const char*)
InitBP(int16_t inputColumns, int16_t outputColumns, int16_t totalRows, int16_t window,
       int16_t patternStep, int16_t blankRows, int16_t layerCount, int16_t hidden1, int16_t hidden2,
       int16_t hidden3, int16_t hidden4, int16_t calcMethod);
/* 32. The record's type and value as text. */
QUAR_API(const char*) TestXLOPER(XLOPER* x);
/* 33. A copy of the record (all zero for null). */
QUAR_API(XLOPER*) ReturnXLOPER(XLOPER* x);
/* 34. Items of a comma-separated list (0 for none). */
QUAR_API(int32_t) CountSymbols(const char* text);
/* 35. Shows the title window; always 1. */
QUAR_API(int32_t) InitQRWTitle(void);
/* 36. SetColumn that counts the data rows again when recount is non-zero. */
QUAR_API_CDECL(const char*) xSetColumn(int32_t type, int32_t index, FP* column, int32_t recount);

#endif /* QUAR1432_H */
