// Supervisor fixtures: settings and populations written straight into the supervisor's blocks.
#pragma once

#include "genetic/supervisor_state.h"
#include "support/training_net.h"

#include <cstdint>
#include <cstring>
#include <vector>

// Gene ranges: inclusion 0.5, 4 layers, hidden 5 and 3, rate from 0.2, momentum and noise up
// to 0.9 and 0.1; a double network of 10 rows and 1 output.
SupervisorSettings TestSettings(int32_t candidates = 3);
void InstallSettings(const SupervisorSettings& settings); // no saved network
SupervisorSettings Settings();
// Replaces the population under an InitPop-style header (goal 0.05 or 10 by the mode).
void InstallPopulation(const std::vector<SchemaRecord>& schemas, int32_t trainMode = 1);
std::vector<SchemaRecord> Schemas();
PopulationHeader Header();
void SetHeader(const PopulationHeader& header);
// Mask bits, layer count and hidden sizes; rate and momentum 0.5, the fresh options.
SchemaRecord MakeSchema(const std::vector<int>& bits, int32_t layerCount,
                        const std::vector<int32_t>& hidden = {});
uint32_t MaskWord(const SchemaRecord& s); // mask bits 0 ... 31
bool Same(const SchemaRecord& a, const SchemaRecord& b);
