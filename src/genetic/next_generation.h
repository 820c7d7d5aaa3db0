// Selection and breeding of schemas.
#pragma once

#include "genetic/supervisor_state.h"

#include <cstdint>

struct BestSchema {
    int32_t index; // from 0
    int32_t epochs;
    double error;
};

// The best of `count` records by the score of `trainMode` (epochs in the goal modes, error in
// the fixed-epoch modes); the first record with the untrained score when none beats it.
BestSchema FindBestSchema(const SchemaRecord* records, int32_t count, int32_t trainMode);
// `child` holds a copy of the best schema on entry; genes come from it or from `other`.
void CrossSchemas(SchemaRecord& child, const SchemaRecord& other, double rate,
                  const SupervisorSettings& settings);
void MutateSchema(SchemaRecord& s, const SupervisorSettings& settings);
// Clears the hidden sizes beyond the layer count and draws any missing one within it.
void FitHiddenSizes(SchemaRecord& s, const SupervisorSettings& settings);
