// InitSuper: the gene ranges of a search and a saved copy of the network currently loaded.
#include "engine/data_block.h"
#include "engine/network_state.h"
#include "genetic/supervisor_ops.h"
#include "genetic/supervisor_release.h"
#include "genetic/supervisor_state.h"

#include <cstring>

namespace {

// Allocates a block of `bytes` and fills it from the engine's block `source`, copying no more
// than the engine's block holds (the rest stays zero).
BlockHandle SaveCopy(BlockHandle source, size_t bytes) {
    BlockHandle copy = GlobalBlockAlloc(bytes > 0 ? bytes : 1);
    if (!copy || !source) return copy;
    size_t available = GlobalBlockSize(source);
    LockedBlock<unsigned char> from(source);
    LockedBlock<unsigned char> to(copy);
    std::memcpy(to.get(), from.get(), bytes < available ? bytes : available);
    return copy;
}

int32_t AtLeastZero(int32_t x) {
    return x > 0 ? x : 0;
}

} // namespace

const char* InitSupervisor(double inclusionProbability, int16_t maxLayers, int16_t maxHidden1,
                           int16_t maxHidden2, int16_t maxHidden3, int16_t maxHidden4,
                           double minLearningRate, double maxMomentum, double maxNoise) {
    if (!(inclusionProbability > 0.0 && inclusionProbability <= 1.0) || maxLayers < 2 ||
        maxLayers > 6 || maxHidden1 < 0 || maxHidden2 < 0 || maxHidden3 < 0 || maxHidden4 < 0 ||
        !InRange(minLearningRate, 0.0, 1.0) || !InRange(maxMomentum, 0.0, 1.0) ||
        !InRange(maxNoise, 0.0, 0.1))
        return "Bad Parameter in InitSuper";
    if (!NetworkExists()) return "Call InitBP and load the data before InitSuper";
    if (gNet.inputColumns > kMaskBits) return "More than 256 input columns in InitSuper";

    ReleaseSupervisor();
    ReleasePopulation();

    SavedGeometry g = {};
    g.inputColumns = gNet.inputColumns;
    g.outputColumns = gNet.outputColumns;
    g.totalRows = gNet.rows + gNet.blankRows;
    g.window = gNet.window;
    g.blankRows = gNet.blankRows;
    g.blankPatternRows = gNet.blankPatternRows;
    g.calcMethod = gNet.calcMethod;
    g.dataRows = AtLeastZero(g.totalRows - g.blankRows);
    g.patterns = AtLeastZero(g.totalRows - g.blankPatternRows - g.window + 1);

    gSuper.settings = GlobalBlockAlloc(sizeof(SupervisorSettings));
    if (!gSuper.settings) {
        ReleaseSupervisor();
        return "Insufficient memory in Genetic Supervisor (1).";
    }
    gSuper.savedInputBlock =
        SaveCopy(gNet.inputBlock,
                 size_t(DataBlockBytes(g.calcMethod, g.inputColumns, uint64_t(g.dataRows))));
    if (!gSuper.savedInputBlock) {
        ReleaseSupervisor();
        return "Insufficient memory in Genetic Supervisor (2).";
    }
    gSuper.savedTargetBlock =
        SaveCopy(gNet.targetBlock,
                 size_t(DataBlockBytes(g.calcMethod, g.outputColumns, uint64_t(g.patterns))));
    if (!gSuper.savedTargetBlock) {
        ReleaseSupervisor();
        return "Insufficient memory in Genetic Supervisor (3).";
    }
    gSuper.savedPatternFlags = SaveCopy(gNet.patternFlagsBlock, size_t(g.patterns) * 4);
    if (!gSuper.savedPatternFlags) {
        ReleaseSupervisor();
        return "Insufficient memory in Genetic Supervisor (4).";
    }
    gSuper.savedBlankRowFlags = SaveCopy(gNet.blankRowFlags, size_t(AtLeastZero(g.totalRows)) * 4);
    if (!gSuper.savedBlankRowFlags) {
        ReleaseSupervisor();
        return "Insufficient memory in Genetic Supervisor (5).";
    }
    gSuper.savedDataModeActive = gNet.dataModeActive;
    gSuper.saved = g;

    LockedBlock<SupervisorSettings> s(gSuper.settings);
    s->inclusionProbability = inclusionProbability;
    s->candidateInputs = g.inputColumns;
    s->outputColumns = g.outputColumns;
    s->totalRows = g.totalRows;
    s->window = g.window;
    s->patternStep = gNet.patternStep;
    s->blankRows = g.blankRows;
    s->blankPatternRows = g.blankPatternRows;
    s->maxLayers = maxLayers;
    s->maxHidden[0] = maxHidden1;
    s->maxHidden[1] = maxHidden2;
    s->maxHidden[2] = maxHidden3;
    s->maxHidden[3] = maxHidden4;
    s->minLearningRate = minLearningRate;
    s->maxMomentum = maxMomentum;
    s->maxNoise = maxNoise;
    s->calcMethod = g.calcMethod;
    return "OK";
}
