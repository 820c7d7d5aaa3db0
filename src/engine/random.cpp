#include "engine/random.h"

#include "engine/network_state.h"

void SeedRandom(uint32_t seed) {
    gNet.randomState = seed;
}

int32_t NextRandom() {
    gNet.randomState = gNet.randomState * 214013u + 2531011u; // unsigned: wraps modulo 2^32
    return static_cast<int32_t>((gNet.randomState >> 16) & 32767u);
}
