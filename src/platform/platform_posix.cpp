// Stand-ins for the Windows services on other systems.
#ifndef _WIN32

#include "platform/hooks.h"
#include "platform/platform.h"

#include <cstdlib>
#include <ctime>

namespace {

// A global block: this head, then the caller's bytes at a 16-byte aligned offset.
struct BlockHead {
    size_t bytes;
    int32_t locks;
    int32_t magic;
};
constexpr int32_t kBlockMagic = 0x51424C4B;
constexpr size_t kHeadBytes = 32;
static_assert(sizeof(BlockHead) <= kHeadBytes, "head fits its slot");

BlockHead* HeadOf(BlockHandle block) {
    return static_cast<BlockHead*>(block);
}

} // namespace

BlockHandle GlobalBlockAlloc(size_t bytes) {
    if (bytes > kMaxBlockBytes || AllocationShouldFail()) return nullptr;
    void* raw = std::calloc(1, kHeadBytes + bytes);
    if (raw == nullptr) return nullptr;
    BlockHead* head = static_cast<BlockHead*>(raw);
    head->bytes = bytes;
    head->locks = 0;
    head->magic = kBlockMagic;
    CountBlockAllocated();
    return raw;
}

void* GlobalBlockLock(BlockHandle block) {
    if (block == nullptr) return nullptr;
    HeadOf(block)->locks += 1;
    return static_cast<unsigned char*>(block) + kHeadBytes;
}

void GlobalBlockUnlock(BlockHandle block) {
    if (block != nullptr && HeadOf(block)->locks > 0) HeadOf(block)->locks -= 1;
}

void GlobalBlockFree(BlockHandle block) {
    if (block == nullptr) return;
    HeadOf(block)->magic = 0;
    std::free(block);
    CountBlockFreed();
}

size_t GlobalBlockSize(BlockHandle block) {
    return block ? HeadOf(block)->bytes : 0;
}

void* LocalBlockAlloc(size_t bytes) {
    if (bytes > kMaxBlockBytes || AllocationShouldFail()) return nullptr;
    void* p = std::calloc(1, bytes ? bytes : 1);
    if (p != nullptr) CountBlockAllocated();
    return p;
}

void LocalBlockFree(void* block) {
    if (block == nullptr) return;
    std::free(block);
    CountBlockFreed();
}

int64_t CalendarSeconds() {
    if (gHooks.clockOverride >= 0) return gHooks.clockOverride;
    return static_cast<int64_t>(std::time(nullptr));
}

void PeekMessages() {}

// Windows-1252: A-Z, a-z, and the accented letters of 0x8A..0xFF.
bool IsLetter(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c) {
    case 0x83:
    case 0x8A:
    case 0x8C:
    case 0x8E:
    case 0x9A:
    case 0x9C:
    case 0x9E:
    case 0x9F:
    case 0xAA:
    case 0xB5:
    case 0xBA:
        return true;
    default:
        break;
    }
    return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

unsigned char UpperChar(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    switch (c) {
    case 0x9A:
        return 0x8A;
    case 0x9C:
        return 0x8C;
    case 0x9E:
        return 0x8E;
    case 0xFF:
        return 0x9F;
    default:
        break;
    }
    // 0xDF (sharp s) has no single upper-case letter in the code page; it stays.
    if (c >= 0xE0 && c != 0xF7 && c <= 0xFE) return static_cast<unsigned char>(c - 32);
    return c;
}

#endif
