// Loads the Windows library with a display present and watches, from a second thread, for the
// title window that the library's entry routine shows: visible, centred on the screen, built
// from the library's dialog resource, and gone again once loading has returned. Prints one line
// per finding; the exit code is non-zero on any failure.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr int kTitleNameItem = 101;
constexpr wchar_t kTitleName[] = L"Quarrow v1.42";

struct Sighting {
    HWND window;
    RECT rect;
    bool visible;
};

HANDLE watcherRunning;
volatile LONG stopWatching = 0;
Sighting sighting;

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
    sighting.window = window;
    sighting.visible = true;
    GetWindowRect(window, &sighting.rect);
    return FALSE;
}

DWORD WINAPI Watch(LPVOID) {
    // The first window call of a thread may load the display driver, which would wait for the
    // loader until the entry routine has returned: make it before the load starts.
    EnumWindows(LookAt, 0);
    DestroyWindow(
        CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    SetEvent(watcherRunning);
    while (stopWatching == 0 && sighting.window == nullptr) {
        EnumWindows(LookAt, 0);
        Sleep(20);
    }
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
    const ULONGLONG start = GetTickCount64();
    HMODULE library = LoadLibraryA(argv[1]);
    const ULONGLONG loadMilliseconds = GetTickCount64() - start;
    InterlockedExchange(&stopWatching, 1);
    WaitForSingleObject(watcher, 10000);
    if (library == nullptr) {
        std::printf("title_check: cannot load %s\n", argv[1]);
        return 1;
    }

    int failed = 0;
    if (sighting.window == nullptr) {
        std::printf("FAILED: no visible title window while loading\n");
        return 1;
    }
    const int width = sighting.rect.right - sighting.rect.left;
    const int height = sighting.rect.bottom - sighting.rect.top;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    std::printf("title window %dx%d at %ld,%ld on a %dx%d screen\n", width, height,
                sighting.rect.left, sighting.rect.top, screenWidth, screenHeight);
    if (sighting.rect.left != (screenWidth - width) / 2 ||
        sighting.rect.top != (screenHeight - height) / 2) {
        std::printf("FAILED: title window not centred\n");
        ++failed;
    }
    if (IsWindow(sighting.window)) {
        std::printf("FAILED: title window still there after loading\n");
        ++failed;
    }
    // Held until the calendar clock has moved on three whole seconds.
    if (loadMilliseconds < 1500) {
        std::printf("FAILED: loading took only %llu ms\n", loadMilliseconds);
        ++failed;
    }
    std::printf("title_check: %s\n",
                failed == 0 ? "shown centred while loading, then closed" : "failed");
    return failed == 0 ? 0 : 1;
}
