// Supervisor fixtures: settings and populations written straight into the supervisor's blocks,
// a small loaded network to initialise the supervisor from, and the generator's draws.
#pragma once

#include "genetic/supervisor_state.h"

#include <cstdint>
#include <vector>

// Values of `count` entries of type T in a global block, from byte `offset`, and back.
template <class T> std::vector<T> BlockValues(BlockHandle block, size_t offset, size_t count) {
    LockedBlock<unsigned char> base(block);
    const T* at = reinterpret_cast<const T*>(base.get() + offset);
    return std::vector<T>(at, at + count);
}
template <class T>
void PutBlockValues(BlockHandle block, size_t offset, const std::vector<T>& values) {
    LockedBlock<unsigned char> base(block);
    T* at = reinterpret_cast<T*>(base.get() + offset);
    for (size_t i = 0; i < values.size(); ++i)
        at[i] = values[i];
}

// The generator's draws from seed 1, as the recurrence gives them.
extern const int32_t kDrawsFromSeed1[20];

// Settings of a search over `candidates` columns with generous gene ranges.
SupervisorSettings TestSettings(int32_t candidates = 3);
// Replaces the supervisor's settings block (no saved network).
void InstallSettings(const SupervisorSettings& settings);
SupervisorSettings Settings();

// Replaces the population by these records under an InitPop-style header.
void InstallPopulation(const std::vector<SchemaRecord>& schemas, int32_t trainMode = 1);
std::vector<SchemaRecord> Schemas();
PopulationHeader Header();
void SetHeader(const PopulationHeader& header);

// A schema with the given mask bits, layers and hidden sizes, and the fresh options.
SchemaRecord MakeSchema(const std::vector<int>& bits, int32_t layerCount,
                        const std::vector<int32_t>& hidden = {});

// Builds and loads a CALC_DOUBLE network of `inputs` columns, 1 output and `rows` rows, window
// 1, through the column loader: input c of row r is inputs[r][c], the target targets[r].
void LoadDoubleNetwork(const std::vector<std::vector<double>>& inputs,
                       const std::vector<double>& targets, int32_t hidden = 2);
