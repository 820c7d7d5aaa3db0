// The add-in's own exports, in ordinal order: load and unload, the release of everything,
// the column-name parser, the checks of the value records and the title window; and the
// library's entry routine.
#include "addin/diagnostics.h"
#include "addin/library_state.h"
#include "addin/parser.h"
#include "addin/result_records.h"
#include "addin/title_window.h"
#include "engine/network_build.h"
#include "genetic/supervisor_release.h"
#include "quar1432.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

QUAR_API(int32_t) WEP(int32_t) {
    return 1;
}

QUAR_API(int32_t) CkArray(void*) {
    return 1;
}

QUAR_API(int32_t) CleanUp(void) {
    ReleaseNetwork();
    ReleaseSupervisor();
    ReleasePopulation();
    return 1;
}

QUAR_API(FP*) Parse(const char* list1, const char* list2, const char* list3, const char* list4) {
    ParseColumnLists(list1, list2, list3, list4, gResults.parse.values);
    return FpResult(gResults.parse, kParsedLists, 1);
}

QUAR_API(const char*) GetParsed(void) {
    return NextParsedName(gResults.parsedName);
}

// Handles nothing itself: the dialog manager does the default handling of every message.
QUAR_API(int32_t) DBWndProc(void*, uint32_t, uintptr_t, intptr_t) {
    return 0;
}

QUAR_API(FP*) TestArray(FP* array) {
    return array;
}

QUAR_API(const char*) TestXLOPER(XLOPER* x) {
    return DescribeXloper(x, gResults.description, sizeof gResults.description);
}

QUAR_API(XLOPER*) ReturnXLOPER(XLOPER* x) {
    if (x == nullptr)
        std::memset(&gResults.returned, 0, sizeof gResults.returned);
    else
        std::memcpy(&gResults.returned, x, sizeof gResults.returned);
    return &gResults.returned;
}

QUAR_API(int32_t) InitQRWTitle(void) {
    ShowTitleWindow(gModuleHandle);
    return 1;
}

#ifdef _WIN32

// Unloading frees nothing: releasing the network is the add-in's call of CleanUp.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        ResetLibrary();
        gModuleHandle = module;
        InitQRWTitle();
    }
    return TRUE;
}

#endif
