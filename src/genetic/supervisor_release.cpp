#include "genetic/supervisor_release.h"

#include "genetic/supervisor_state.h"

namespace {

void FreeBlock(BlockHandle& block) {
    if (block) GlobalBlockFree(block);
    block = nullptr;
}

} // namespace

void ReleaseSupervisor() {
    FreeBlock(gSuper.settings);
    FreeBlock(gSuper.savedInputBlock);
    FreeBlock(gSuper.savedTargetBlock);
    FreeBlock(gSuper.savedPatternFlags);
    FreeBlock(gSuper.savedBlankRowFlags);
    gSuper.saved = SavedGeometry{};
}

void ReleasePopulation() {
    FreeBlock(gSuper.header);
    FreeBlock(gSuper.schemas);
    gSuper.schemaCount = 0;
    if (gSuper.unloadArray) GlobalBlockUnlock(gSuper.unloadArray);
    FreeBlock(gSuper.unloadArray);
    gSuper.unloadCells = nullptr;
    if (gSuper.unloadMaskTexts) GlobalBlockUnlock(gSuper.unloadMaskTexts);
    FreeBlock(gSuper.unloadMaskTexts);
    gSuper.unloadTexts = nullptr;
}
