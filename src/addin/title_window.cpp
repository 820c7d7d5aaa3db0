#include "addin/title_window.h"

#include "addin/resource.h"
#include "platform/platform.h"
#include "quar1432.h"

#ifdef _WIN32
#include <windows.h>
#endif

// Kept by the entry routine for the life of the process; a reset of the library keeps it.
void* gModuleHandle = nullptr;

WindowOrigin CentredOrigin(int32_t screenWidth, int32_t screenHeight, int32_t windowWidth,
                           int32_t windowHeight) {
    return WindowOrigin{(screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 2};
}

#ifdef _WIN32

namespace {

// The window stays until the calendar clock has moved on three seconds. The wait sleeps in
// short steps instead of spinning, and ends early if the clock is set back.
void HoldTitle() {
    const int64_t start = CalendarSeconds();
    for (;;) {
        const int64_t now = CalendarSeconds();
        if (now >= start + 3 || now < start) return;
        Sleep(50);
    }
}

} // namespace

void ShowTitleWindow(void* module) {
    HWND window =
        CreateDialogParamA(static_cast<HINSTANCE>(module), kTitleDialogName, nullptr,
                           reinterpret_cast<DLGPROC>(reinterpret_cast<void (*)()>(DBWndProc)), 0);
    RECT rect;
    if (window != nullptr && GetWindowRect(window, &rect)) {
        const int32_t width = rect.right - rect.left;
        const int32_t height = rect.bottom - rect.top;
        const WindowOrigin origin = CentredOrigin(GetSystemMetrics(SM_CXSCREEN),
                                                  GetSystemMetrics(SM_CYSCREEN), width, height);
        MoveWindow(window, origin.left, origin.top, width, height, FALSE);
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
    }
    HoldTitle();
    if (window != nullptr) DestroyWindow(window);
}

#else

void ShowTitleWindow(void*) {}

#endif
