// GenNextPop: elitism, crossover with the best schema, mutation and fresh schemas.
#include "genetic/next_generation.h"
#include "genetic/supervisor_ops.h"

#include "genetic/population.h"
#include "genetic/supervisor_release.h"

#include <cmath>

namespace {

// The switch interval (candidates + 8) / rate truncated toward zero; of a quotient beyond the
// 32-bit range only the low 32 bits of its integer part remain.
int32_t SwitchInterval(int32_t candidates, double rate) {
    if (rate == 0.0) return 0;
    double q = std::trunc((double(candidates) + 8.0) / rate);
    if (!std::isfinite(q)) return 0;
    double low = std::fmod(q, 4294967296.0); // exact
    if (low < 0.0) low += 4294967296.0;
    return static_cast<int32_t>(static_cast<uint32_t>(low));
}

bool Switches(int32_t interval) {
    return RandomInt(interval) == 0;
}

// The first schema with the largest score above 0 (epochs or error); schema 0 when none.
int32_t FindWorstSchema(const SchemaRecord* records, int32_t count, int32_t trainMode) {
    int32_t worst = 0;
    bool found = false;
    int32_t worstEpochs = 0;
    double worstError = 0.0;
    for (int32_t i = 0; i < count; ++i) {
        if (IsGoalMode(trainMode)) {
            if (records[i].epochs > worstEpochs) {
                worst = i, worstEpochs = records[i].epochs, found = true;
            }
        } else if (records[i].error > worstError) {
            worst = i, worstError = records[i].error, found = true;
        }
    }
    return found ? worst : 0;
}

} // namespace

BestSchema FindBestSchema(const SchemaRecord* records, int32_t count, int32_t trainMode) {
    BestSchema best = {0, kUntrainedEpochs, 1.0};
    for (int32_t i = 0; i < count; ++i) {
        const SchemaRecord& r = records[i];
        if (IsGoalMode(trainMode) ? r.epochs < best.epochs : r.error < best.error)
            best = {i, r.epochs, r.error};
    }
    return best;
}

void FitHiddenSizes(SchemaRecord& s, const SupervisorSettings& settings) {
    for (int32_t i = 0; i < 4; ++i)
        if (s.layerCount < i + 3) s.hiddenSize[i] = 0;
    for (int32_t i = 0; i < 4; ++i)
        if (s.layerCount >= i + 3 && s.hiddenSize[i] == 0)
            s.hiddenSize[i] = WrapAdd32(RandomInt(settings.maxHidden[i]), 1);
}

void CrossSchemas(SchemaRecord& child, const SchemaRecord& other, double rate,
                  const SupervisorSettings& settings) {
    int32_t m = SwitchInterval(settings.candidateInputs, rate);
    int32_t flag = 0;
    for (int32_t k = 0; k < kMaskBits; ++k) {
        if (k < settings.candidateInputs && flag == 1)
            SetMaskBit(child.inputMask, k, MaskBit(other.inputMask, k));
        if (Switches(m)) flag = 1 - flag;
    }
    if (CountMaskBits(child.inputMask) == 0) SetMaskBit(child.inputMask, 0, true);

    // From here on flag 0 takes the gene from the other parent.
    if (flag == 0) child.layerCount = other.layerCount;
    for (int32_t i = 0; i < 4; ++i) {
        if (Switches(m)) flag = 1 - flag;
        if (flag == 0) child.hiddenSize[i] = other.hiddenSize[i];
    }
    FitHiddenSizes(child, settings);
    if (Switches(m)) flag = 1 - flag;
    if (flag == 0) child.learningRate = other.learningRate;
    if (Switches(m)) flag = 1 - flag;
    if (flag == 0) child.momentum = other.momentum;
    if (Switches(m)) flag = 1 - flag;
    if (flag == 0) child.noise = other.noise;
    SetFreshOptions(child);
}

void MutateSchema(SchemaRecord& s, const SupervisorSettings& settings) {
    int64_t wide = int64_t(s.layerCount) + 3;
    int32_t n = wide > INT32_MAX ? INT32_MAX : static_cast<int32_t>(wide);
    int32_t changed = 0;

    if (RandomInt(n) == 0) {
        int32_t old = s.layerCount;
        s.layerCount = RandomInt(settings.maxLayers - 1) + 2;
        if (s.layerCount < old) {
            for (int32_t i = 0; i < 4; ++i)
                if (s.layerCount < i + 3) s.hiddenSize[i] = 0;
            changed += 1;
        } else if (s.layerCount > old) {
            for (int32_t i = 0; i < 4; ++i)
                if (s.layerCount >= i + 3 && s.hiddenSize[i] == 0)
                    s.hiddenSize[i] = WrapAdd32(RandomInt(settings.maxHidden[i]), 1);
            changed += 1;
        }
    }
    for (int32_t i = 0; i < 4; ++i) {
        if (s.layerCount >= i + 3 && RandomInt(n) == 0) {
            s.hiddenSize[i] = WrapAdd32(RandomInt(settings.maxHidden[i]), 1);
            changed += 1;
        }
    }
    if (RandomInt(n) == 0) {
        s.learningRate = RandomUniform(settings.minLearningRate, 1.0);
        changed += 1;
    }
    if (RandomInt(n) == 0) {
        s.momentum = RandomUniform(0.0, settings.maxMomentum);
        changed += 1;
    }
    if (RandomInt(n) == 0) {
        s.noise = RandomUniform(0.0, settings.maxNoise);
        changed += 1;
    }
    if (changed == 0 || RandomInt(n) == 0) {
        for (int32_t k = 0; k < settings.candidateInputs && k < kMaskBits; ++k)
            if (RandomInt(settings.candidateInputs) == 0)
                SetMaskBit(s.inputMask, k, !MaskBit(s.inputMask, k));
    }
    if (CountMaskBits(s.inputMask) == 0) SetMaskBit(s.inputMask, 0, true);
    SetFreshOptions(s);
}

const char* BreedNextPopulation(int16_t newSize, int16_t breedMethod, double crossoverRate,
                                double mutationRate, int16_t trainMode, double goal) {
    if (newSize < 1 || newSize > kMaxPopulationSize || breedMethod < 1 || breedMethod > 3 ||
        !InRange(crossoverRate, 0.0, 10.0) || !InRange(mutationRate, 0.0, 1.0) || trainMode < 1 ||
        trainMode > 4 || !(goal >= 0.0))
        return "Bad Parameter in GenNextPop";
    if (!PopulationExists() || !SupervisorExists()) return "Call InitPop before GenNextPop";

    int32_t oldSize = gSuper.schemaCount;
    {
        LockedBlock<PopulationHeader> header(gSuper.header);
        header->breedMethod = breedMethod;
        header->crossoverRate = crossoverRate;
        header->mutationRate = mutationRate;
        SetGenerationTraining(*header, trainMode, goal);
        header->generation = WrapAdd32(header->generation, 1);
        header->currentSchema = 1;
        header->schemaState = POP_READY;
    }

    BlockHandle oldCopy = GlobalBlockAlloc(sizeof(SchemaRecord) * size_t(oldSize));
    if (!oldCopy) {
        ReleasePopulation();
        return "Insufficient memory in Genetic Supervisor (8).";
    }
    {
        LockedBlock<const SchemaRecord> from(gSuper.schemas);
        LockedBlock<SchemaRecord> to(oldCopy);
        for (int32_t i = 0; i < oldSize; ++i)
            CopySchema(to[i], from[i]);
    }
    if (newSize != oldSize) {
        GlobalBlockFree(gSuper.schemas);
        gSuper.schemas = nullptr;
        gSuper.schemaCount = 0;
        gSuper.schemas = GlobalBlockAlloc(sizeof(SchemaRecord) * size_t(newSize));
        if (!gSuper.schemas) {
            GlobalBlockFree(oldCopy);
            ReleasePopulation();
            return "Insufficient memory in Genetic Supervisor (9).";
        }
    }
    gSuper.schemaCount = newSize;

    {
        LockedBlock<PopulationHeader> header(gSuper.header);
        LockedBlock<const SupervisorSettings> settings(gSuper.settings);
        LockedBlock<SchemaRecord> old(oldCopy);
        LockedBlock<SchemaRecord> fresh(gSuper.schemas);
        header->populationSize = newSize;

        BestSchema best = FindBestSchema(old.get(), oldSize, trainMode);
        CopySchema(fresh[0], old[size_t(best.index)]);
        header->bestEpochs = best.epochs;
        header->bestError = best.error;

        int32_t filled = 1;
        if (breedMethod == BREED_FRESH) {
            for (; filled < newSize; ++filled)
                NewRandomSchema(fresh[size_t(filled)], *settings);
        } else {
            if (breedMethod == BREED_REPLACE_WORST)
                NewRandomSchema(old[size_t(FindWorstSchema(old.get(), oldSize, trainMode))],
                                *settings);
            const SchemaRecord& base = old[size_t(best.index)];
            int32_t visits = newSize < oldSize ? newSize : oldSize;
            for (int32_t v = 0; v < visits && filled < newSize; ++v) {
                if (v == best.index) continue;
                SchemaRecord& child = fresh[size_t(filled++)];
                if (RandomUniform(0.0, 1.0) < mutationRate) {
                    CopySchema(child, old[size_t(v)]);
                    MutateSchema(child, *settings);
                } else {
                    CopySchema(child, base);
                    CrossSchemas(child, old[size_t(v)], crossoverRate, *settings);
                }
            }
            // Extra mutants of a grown population, from old schema 1 on, cycling.
            for (int32_t source = 0; filled < newSize; source = (source + 1) % oldSize) {
                SchemaRecord& child = fresh[size_t(filled++)];
                CopySchema(child, old[size_t(source)]);
                MutateSchema(child, *settings);
            }
        }
    }
    GlobalBlockFree(oldCopy);
    return "OK";
}
