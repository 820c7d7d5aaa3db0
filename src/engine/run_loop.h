// One pass over the patterns in the network's calculation method.
#pragma once

#include <cstdint>

// learn != 0: a learning pass; learn == 0 and testing != 0: a testing pass; both 0: recall.
void RunEpochPass(int32_t learn, int32_t testing);
