// Load and unload of the library: the entry routine, the title window export, the exit
// procedure and the title window's procedure.
#include "addin/title_window.h"
#include "engine/network_state.h"
#include "quar1432.h"

#ifdef _WIN32
#include <windows.h>
#endif

QUAR_API(int32_t) WEP(int32_t) {
    return 1;
}

// Handles nothing itself: the dialog manager does the default handling of every message.
QUAR_API(int32_t) DBWndProc(void*, uint32_t, uintptr_t, intptr_t) {
    return 0;
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
