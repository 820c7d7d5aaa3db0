// TrainNextSchema: builds, trains and scores the population's schemas one call at a time.
#include "data/column_store.h"
#include "engine/data_block.h"
#include "engine/network_build.h"
#include "engine/network_state.h"
#include "engine/params.h"
#include "engine/run_loop.h"
#include "engine/transfer.h"
#include "engine/weights.h"
#include "genetic/population.h"
#include "genetic/supervisor_ops.h"
#include "genetic/supervisor_state.h"

#include <cmath>
#include <cstring>

namespace {

struct RunOutcome {
    double rmsError;
    double epochsRun;
};

// One RunNet call; a missing result reads as a run that did nothing and learned nothing.
RunOutcome Run(int32_t train, int16_t epochs) {
    RunSummary summary;
    if (!RunEpochs(train, epochs, &summary)) return {1.0, 0.0};
    return {summary.rmsError, summary.epochsRun};
}

// True when the engine holds a network built for schema `s` under `settings`.
bool EngineHoldsSchema(const SchemaRecord& s, const SupervisorSettings& settings) {
    if (!NetworkExists()) return false;
    if (gNet.calcMethod != settings.calcMethod || gNet.inputColumns != CountMaskBits(s.inputMask) ||
        gNet.outputColumns != settings.outputColumns || gNet.window != settings.window ||
        gNet.layerCount != s.layerCount || gNet.rows + gNet.blankRows != settings.totalRows)
        return false;
    for (int32_t i = 1; i + 1 < s.layerCount && i <= 4; ++i)
        if (gNet.layerSize[i] != s.hiddenSize[i - 1]) return false;
    return true;
}

// True when the saved blocks were built with the dimensions the settings describe (a reloaded
// population may carry other ones).
bool SettingsMatchSavedNetwork(const SupervisorSettings& s) {
    const SavedGeometry& g = gSuper.saved;
    return s.candidateInputs == g.inputColumns && s.outputColumns == g.outputColumns &&
           s.totalRows == g.totalRows && s.window == g.window && s.blankRows == g.blankRows &&
           s.blankPatternRows == g.blankPatternRows && s.calcMethod == g.calcMethod;
}

// Copies the switched-on candidate columns of the saved inputs into the engine's inputBlock.
void CopyInputs(const SchemaRecord& s, int32_t n) {
    const SavedGeometry& g = gSuper.saved;
    const size_t valueBytes = size_t(ValueBytesOf(g.calcMethod));
    size_t rows = size_t(g.dataRows);
    if (n > 0) {
        size_t engineRows = size_t(DataRowsHeld(gNet.inputBlock, g.calcMethod, n));
        if (engineRows < rows) rows = engineRows;
    }
    LockedBlock<> from(gSuper.savedInputBlock);
    LockedBlock<> to(gNet.inputBlock);
    const DataBlockView fromView{from.get(), g.inputColumns};
    const DataBlockView toView{to.get(), n};
    const unsigned char* fromValues = fromView.Values<unsigned char>();
    unsigned char* toValues = toView.Values<unsigned char>();

    int32_t d = 0;
    for (int32_t c = 0; c < g.inputColumns && d < n; ++c) {
        if (!MaskBit(s.inputMask, c)) continue;
        toView.ColumnMin(d) = fromView.ColumnMin(c);
        toView.ColumnMax(d) = fromView.ColumnMax(c);
        for (size_t r = 0; r < rows; ++r)
            std::memcpy(toValues + (r * size_t(n) + size_t(d)) * valueBytes,
                        fromValues + (r * size_t(g.inputColumns) + size_t(c)) * valueBytes,
                        valueBytes);
        ++d;
    }
}

void CopyBytes(BlockHandle from, BlockHandle to, size_t bytes) {
    size_t room = GlobalBlockSize(to);
    size_t held = GlobalBlockSize(from);
    if (bytes > room) bytes = room;
    if (bytes > held) bytes = held;
    LockedBlock<unsigned char> source(from);
    LockedBlock<unsigned char> target(to);
    std::memcpy(target.get(), source.get(), bytes);
}

// Builds the engine's network for schema `s`, loads the saved data into it and sets its
// parameters and random weights. Answers InitBP's message when InitBP refuses the schema.
const char* SetUpSchema(SchemaRecord& s, const SupervisorSettings& settings,
                        const PopulationHeader& header, double hours, double trainRise,
                        double testRise) {
    int32_t n = CountMaskBits(s.inputMask);
    const char* built = BuildNetwork(
        static_cast<int16_t>(n), static_cast<int16_t>(settings.outputColumns),
        static_cast<int16_t>(settings.totalRows), static_cast<int16_t>(settings.window),
        static_cast<int16_t>(settings.patternStep), static_cast<int16_t>(settings.blankRows),
        static_cast<int16_t>(s.layerCount), static_cast<int16_t>(s.hiddenSize[0]),
        static_cast<int16_t>(s.hiddenSize[1]), static_cast<int16_t>(s.hiddenSize[2]),
        static_cast<int16_t>(s.hiddenSize[3]), static_cast<int16_t>(settings.calcMethod));
    if (std::strcmp(built, "OK") != 0) return built;
    if (!EngineHoldsSchema(s, settings)) return "Network for the schema could not be built";

    const SavedGeometry& g = gSuper.saved;
    CopyInputs(s, n);
    CopyBytes(gSuper.savedTargetBlock, gNet.targetBlock,
              size_t(DataBlockBytes(g.calcMethod, g.outputColumns, uint64_t(g.patterns))));
    CopyBytes(gSuper.savedPatternFlags, gNet.patternFlagsBlock, size_t(g.patterns) * 4);
    gNet.dataModeActive = gSuper.savedDataModeActive;
    CopyBytes(gSuper.savedBlankRowFlags, gNet.blankRowFlags, size_t(g.totalRows) * 4);
    // The positions read back with the schema's outputs follow its blank rows.
    RebuildPositionFlags();

    SetTrainingParams(header.trainTolerance, header.testTolerance, s.learningRate, s.momentum,
                      s.noise);
    SetEnhancedOptions(static_cast<int16_t>(s.transferCode), s.gain, s.prune, s.threshold,
                       s.autoRate, s.margin);
    int32_t seed = 0;
    if (!CheckedTrunc32(header.weightSeed, seed)) seed = 0;
    RandomizeNetworkWeights(header.useSeed, static_cast<int16_t>(seed), header.weightRange);
    SetRunCutoffs(hours, trainRise, testRise);
    return nullptr;
}

// Goal modes: steps of 2 training epochs until the error (training, or recall when `recall`)
// falls below the goal. Answers the schema's new state.
int32_t TrainToGoal(SchemaRecord& s, const PopulationHeader& header, int32_t epochsPerCall,
                    int32_t maxSchemaEpochs, bool recall) {
    double stepEpochs = 2.0;
    for (int32_t i = 0; i < epochsPerCall; i += 2) {
        RunOutcome step = Run(1, 2);
        stepEpochs = step.epochsRun;
        if (recall) step = Run(0, 1);
        s.epochs = AddEpochs(s.epochs, 2);
        s.error = step.rmsError;
        if (s.error < header.goal || stepEpochs < 2.0) break;
    }
    if (stepEpochs < 2.0) return SCHEMA_FINISHED;
    if (maxSchemaEpochs > 0 && s.epochs > maxSchemaEpochs) return SCHEMA_FINISHED;
    if (s.error > header.goal) return SCHEMA_IN_PROCESS;
    return SCHEMA_FINISHED;
}

// Fixed-epoch modes: one run of epochsPerCall epochs; the schema is finished once it has
// trained for `goal` epochs in all.
int32_t TrainForEpochs(SchemaRecord& s, const PopulationHeader& header, int16_t epochsPerCall,
                       int32_t maxSchemaEpochs, bool recall) {
    RunOutcome run = Run(1, epochsPerCall);
    int32_t ran = 0;
    if (!CheckedTrunc32(run.epochsRun, ran)) ran = 0;
    s.epochs = AddEpochs(s.epochs, ran);
    int32_t state = SCHEMA_FINISHED;
    if (epochsPerCall > run.epochsRun)
        state = SCHEMA_FINISHED;
    else if (maxSchemaEpochs > 0 && s.epochs > maxSchemaEpochs)
        state = SCHEMA_FINISHED;
    else if (std::trunc(header.goal) > double(s.epochs))
        state = SCHEMA_IN_PROCESS;
    s.error = recall ? Run(0, 1).rmsError : run.rmsError;
    return state;
}

const char* StateAnswer(int32_t state) {
    if (state == SCHEMA_IN_PROCESS) return "In Process";
    if (state == SCHEMA_FINISHED) return "OK";
    return "Population Tested";
}

const char* TrainCurrentSchema(int16_t epochsPerCall, int16_t maxSchemaEpochs, double hours,
                               double trainRise, double testRise) {
    LockedBlock<PopulationHeader> header(gSuper.header);
    LockedBlock<SchemaRecord> schemas(gSuper.schemas);
    LockedBlock<const SupervisorSettings> settings(gSuper.settings);

    int32_t size = gSuper.schemaCount;
    int32_t current = header->currentSchema;
    if (current > size) current = size;
    if (current < 1) current = 1;
    int32_t state = header->schemaState;
    if (state < POP_READY || state > SCHEMA_FINISHED) state = POP_READY;
    if (state == SCHEMA_FINISHED && current == size) state = POP_READY;
    if ((state == SCHEMA_STARTED || state == SCHEMA_IN_PROCESS) &&
        !EngineHoldsSchema(schemas[size_t(current - 1)], *settings))
        state = POP_READY;

    if (state == SCHEMA_FINISHED || state == POP_READY) {
        if (!SettingsMatchSavedNetwork(*settings))
            return "Population does not match the network saved by InitSuper";
        if (state == SCHEMA_FINISHED) current += 1;
        header->currentSchema = current;
        header->schemaState = SCHEMA_STARTED;
        SchemaRecord& s = schemas[size_t(current - 1)];
        s.epochs = 0;
        const char* refused = SetUpSchema(s, *settings, *header, hours, trainRise, testRise);
        if (refused) {
            s.error = 1.0;
            s.epochs = kUntrainedEpochs;
            header->schemaState = current == size ? POP_READY : SCHEMA_FINISHED;
            return refused;
        }
    }
    header->currentSchema = current;

    SchemaRecord& s = schemas[size_t(current - 1)];
    int32_t next = SCHEMA_FINISHED;
    switch (header->trainMode) {
    case MODE_TRAIN_GOAL:
        next = TrainToGoal(s, *header, epochsPerCall, maxSchemaEpochs, false);
        break;
    case MODE_TEST_GOAL:
        next = TrainToGoal(s, *header, epochsPerCall, maxSchemaEpochs, true);
        break;
    case MODE_TRAIN_EPOCHS:
        next = TrainForEpochs(s, *header, epochsPerCall, maxSchemaEpochs, false);
        break;
    default:
        next = TrainForEpochs(s, *header, epochsPerCall, maxSchemaEpochs, true);
        break;
    }
    if (next == SCHEMA_FINISHED && current == size) next = POP_READY;
    header->schemaState = next;
    return StateAnswer(next);
}

} // namespace

const char* TrainSchemaStep(int16_t epochsPerCall, int16_t maxSchemaEpochs, double hours,
                            double trainRise, double testRise) {
    if (epochsPerCall < 0 || !(hours >= 0.0) || !InRange(trainRise, 0.0, 1.0) ||
        !InRange(testRise, 0.0, 1.0))
        return "Bad Parameter in TrainNextSchema";
    if (!PopulationExists() || !SupervisorExists()) return "Call InitPop before TrainNextSchema";
    {
        LockedBlock<const PopulationHeader> header(gSuper.header);
        if (epochsPerCall == 0 && IsGoalMode(header->trainMode))
            return "Bad Parameter in TrainNextSchema";
    }
    const char* answer =
        TrainCurrentSchema(epochsPerCall, maxSchemaEpochs, hours, trainRise, testRise);
    ResetRunHistory();
    return answer;
}
