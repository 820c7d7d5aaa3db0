// The Windows services the engine relies on: movable global blocks, fixed local blocks, the
// calendar clock, the message-queue peek and 8-bit letter handling. Windows builds call the
// real API; elsewhere a small layer of ours stands in with the same behaviour.
#pragma once

#include <cstddef>
#include <cstdint>

// A movable, zero-filled global block. 0 means "no block".
using BlockHandle = void*;

// Allocates a zero-filled movable block of `bytes` bytes, or 0 on failure. Blocks above
// kMaxBlockBytes are refused on every build, as a 32-bit process would refuse them.
BlockHandle GlobalBlockAlloc(size_t bytes);
// Locks a block and returns its address; locks nest. 0 for a 0 handle.
void* GlobalBlockLock(BlockHandle block);
void GlobalBlockUnlock(BlockHandle block);
// Frees a block (unlocked or not). A 0 handle is ignored.
void GlobalBlockFree(BlockHandle block);
// Size of a block in bytes, as allocated.
size_t GlobalBlockSize(BlockHandle block);

// Fixed local memory, zero-filled; nullptr on failure.
void* LocalBlockAlloc(size_t bytes);
void LocalBlockFree(void* block);

constexpr size_t kMaxBlockBytes = size_t(1) << 30;

// Test hook: the n-th allocation from now (1 = the next one), global or local, fails.
// 0 switches the hook off.
void PlatformFailAllocation(int32_t n);
// Blocks currently allocated (global and local), for leak checks.
int32_t PlatformLiveBlocks();

// Calendar time in whole seconds.
int64_t CalendarSeconds();
// Test hook: while set, CalendarSeconds answers this value (negative: the real clock).
void PlatformSetClock(int64_t seconds);
// Both hooks off (no failing allocation, the real clock).
void ResetPlatformHooks();

// One non-removing look at the calling thread's message queue; nothing off Windows.
void PeekMessages();

// Letters and upper case in the 8-bit code page (Windows-1252 off Windows).
bool IsLetter(unsigned char c);
unsigned char UpperChar(unsigned char c);
