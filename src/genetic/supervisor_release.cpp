#include "genetic/supervisor_release.h"

#include "genetic/supervisor_state.h"

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
    FreePinnedBlock(gSuper.unloadArray);
    gSuper.unloadCells = nullptr;
    FreePinnedBlock(gSuper.unloadMaskTexts);
    gSuper.unloadTexts = nullptr;
}
