// Loads the Windows library with a display present and watches, from a second thread, for the
// title window that the library's entry routine shows: visible, centred on the screen, built
// from the library's dialog resource, held for two to three seconds and gone again once loading
// has returned. Prints one line; the exit code is non-zero on any failure.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr int kTitleNameItem = 101;
constexpr wchar_t kTitleName[] = L"Quarrow v1.42";

HANDLE watcherRunning;
volatile LONG stopWatching = 0;
HWND seen;
RECT seenRect;
ULONGLONG seenAt, goneAt;

BOOL CALLBACK LookAt(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    // The loading thread pumps no messages while it holds the window, so the text is read
    // without sending any.
    wchar_t name[64] = {};
    const HWND item =
        process == GetCurrentProcessId() ? GetDlgItem(window, kTitleNameItem) : nullptr;
    if (item == nullptr || InternalGetWindowText(item, name, 64) == 0 ||
        std::wcscmp(name, kTitleName) != 0 || !IsWindowVisible(window))
        return TRUE;
    seen = window;
    seenAt = GetTickCount64();
    GetWindowRect(window, &seenRect);
    return FALSE;
}

DWORD WINAPI Watch(LPVOID) {
    // The first window call of a thread may load the display driver, which would wait for the
    // loader until the entry routine has returned: make it before the load starts.
    EnumWindows(LookAt, 0);
    DestroyWindow(
        CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    SetEvent(watcherRunning);
    // Watches until the window is hidden or gone, or the load has returned.
    while (stopWatching == 0 && (seen == nullptr || IsWindowVisible(seen))) {
        if (seen == nullptr) EnumWindows(LookAt, 0);
        Sleep(20);
    }
    goneAt = GetTickCount64();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: title_check <library>\n");
        return 2;
    }
    // The watcher must be running before the load: a thread started during it waits for the
    // loader until the entry routine has returned.
    watcherRunning = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE watcher = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    if (watcher == nullptr || WaitForSingleObject(watcherRunning, 10000) != WAIT_OBJECT_0) {
        std::printf("title_check: no watcher thread\n");
        return 1;
    }
    HMODULE library = LoadLibraryA(argv[1]);
    InterlockedExchange(&stopWatching, 1);
    WaitForSingleObject(watcher, 10000);
    if (library == nullptr || seen == nullptr) {
        std::printf("FAILED: %s\n",
                    library ? "no visible title window while loading" : "no library");
        return 1;
    }
    const int width = seenRect.right - seenRect.left, height = seenRect.bottom - seenRect.top;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const bool centred =
        seenRect.left == (screenWidth - width) / 2 && seenRect.top == (screenHeight - height) / 2;
    // Held until the calendar clock has moved on three whole seconds.
    const ULONGLONG shownMilliseconds = goneAt - seenAt;
    const bool ok = centred && !IsWindow(seen) && shownMilliseconds >= 1500;
    std::printf("title window %dx%d at %ld,%ld on a %dx%d screen, shown %llu ms, %s: %s\n", width,
                height, seenRect.left, seenRect.top, screenWidth, screenHeight, shownMilliseconds,
                IsWindow(seen) ? "still open" : "closed", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
