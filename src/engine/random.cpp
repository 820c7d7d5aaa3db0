#include "engine/random.h"

namespace {
uint32_t generatorState = 1;
} // namespace

void SeedRandom(uint32_t seed) {
    generatorState = seed;
}

int32_t NextRandom() {
    generatorState = generatorState * 214013u + 2531011u; // unsigned: wraps modulo 2^32
    return static_cast<int32_t>((generatorState >> 16) & 32767u);
}

uint32_t RandomState() {
    return generatorState;
}
