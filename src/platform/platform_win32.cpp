// The Windows services behind the platform layer.
#ifdef _WIN32

#include "platform/hooks.h"
#include "platform/platform.h"

#include <windows.h>

#include <ctime>

namespace {

// Every global block starts with this head; the caller's bytes follow at kHeadBytes. The head
// keeps the size asked for, since GlobalSize may answer a rounded-up size.
struct BlockHead {
    size_t bytes;
};
constexpr size_t kHeadBytes = 16;
static_assert(sizeof(BlockHead) <= kHeadBytes, "head fits its slot");

} // namespace

BlockHandle GlobalBlockAlloc(size_t bytes) {
    if (bytes > kMaxBlockBytes || AllocationShouldFail()) return nullptr;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kHeadBytes + bytes);
    if (block == nullptr) return nullptr;
    BlockHead* head = static_cast<BlockHead*>(GlobalLock(block));
    if (head == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    head->bytes = bytes;
    GlobalUnlock(block);
    CountBlockAllocated();
    return block;
}

void* GlobalBlockLock(BlockHandle block) {
    if (block == nullptr) return nullptr;
    void* head = GlobalLock(static_cast<HGLOBAL>(block));
    if (head == nullptr) return nullptr;
    return static_cast<unsigned char*>(head) + kHeadBytes;
}

void GlobalBlockUnlock(BlockHandle block) {
    if (block != nullptr) GlobalUnlock(static_cast<HGLOBAL>(block));
}

void GlobalBlockFree(BlockHandle block) {
    if (block == nullptr) return;
    GlobalFree(static_cast<HGLOBAL>(block));
    CountBlockFreed();
}

size_t GlobalBlockSize(BlockHandle block) {
    if (block == nullptr) return 0;
    const BlockHead* head = static_cast<const BlockHead*>(GlobalLock(static_cast<HGLOBAL>(block)));
    if (head == nullptr) return 0;
    const size_t bytes = head->bytes;
    GlobalUnlock(static_cast<HGLOBAL>(block));
    return bytes;
}

void* LocalBlockAlloc(size_t bytes) {
    if (bytes > kMaxBlockBytes || AllocationShouldFail()) return nullptr;
    void* p = LocalAlloc(LPTR, bytes ? bytes : 1);
    if (p != nullptr) CountBlockAllocated();
    return p;
}

void LocalBlockFree(void* block) {
    if (block == nullptr) return;
    LocalFree(static_cast<HLOCAL>(block));
    CountBlockFreed();
}

int64_t CalendarSeconds() {
    if (gHooks.clockOverride >= 0) return gHooks.clockOverride;
    return static_cast<int64_t>(std::time(nullptr));
}

void PeekMessages() {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
}

bool IsLetter(unsigned char c) {
    return IsCharAlphaA(static_cast<CHAR>(c)) != FALSE;
}

// With a zero high word CharUpperA converts the one character held in the low byte.
unsigned char UpperChar(unsigned char c) {
    LPSTR converted = CharUpperA(reinterpret_cast<LPSTR>(static_cast<uintptr_t>(c)));
    return static_cast<unsigned char>(reinterpret_cast<uintptr_t>(converted) & 0xFF);
}

#endif
