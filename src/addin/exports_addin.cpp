// The add-in's own exports, in ordinal order: load and unload, the release of everything,
// the column-name parser, the checks of the value records and the title window; and the
// library's entry routine.
#include "addin/diagnostics.h"
#include "addin/parser.h"
#include "addin/title_window.h"
#include "engine/network_build.h"
#include "engine/network_state.h"
#include "genetic/supervisor_release.h"
#include "quar1432.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

XLOPER returnedRecord;

} // namespace

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
    return ParseColumnLists(list1, list2, list3, list4);
}

QUAR_API(const char*) GetParsed(void) {
    return NextParsedName();
}

// Handles nothing itself: the dialog manager does the default handling of every message.
QUAR_API(int32_t) DBWndProc(void*, uint32_t, uintptr_t, intptr_t) {
    return 0;
}

QUAR_API(FP*) TestArray(FP* array) {
    return array;
}

QUAR_API(const char*) TestXLOPER(XLOPER* x) {
    return DescribeXloper(x);
}

QUAR_API(XLOPER*) ReturnXLOPER(XLOPER* x) {
    if (x == nullptr)
        std::memset(&returnedRecord, 0, sizeof returnedRecord);
    else
        std::memcpy(&returnedRecord, x, sizeof returnedRecord);
    return &returnedRecord;
}

QUAR_API(int32_t) InitQRWTitle(void) {
    ShowTitleWindow(gModuleHandle);
    return 1;
}

#ifdef _WIN32

// Unloading frees nothing: releasing the network is the add-in's call of CleanUp.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModuleHandle = module;
        InitQRWTitle();
        gNet.transferCode = 3;
        gNet.transferGain = 1.0;
    }
    return TRUE;
}

#endif
