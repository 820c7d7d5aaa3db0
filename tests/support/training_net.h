// Direct access to a built network's blocks for training tests: scaled data written past the
// min/max heads, weights and last changes set and read back, outputs and pattern flags.
#pragma once

#include "engine/network_state.h"

#include <cstdint>
#include <vector>

// InitBP with the hidden layer sizes given (layer count = hidden + 2); expects "OK".
void BuildNet(int inputs, int outputs, int totalRows, int window, int step,
              const std::vector<int>& hidden, int method);

// Values of `count` entries of type T in a block, from byte `offset`.
template <class T> std::vector<T> ReadBlock(BlockHandle block, size_t offset, size_t count) {
    const unsigned char* base = static_cast<const unsigned char*>(GlobalBlockLock(block));
    const T* at = reinterpret_cast<const T*>(base + offset);
    std::vector<T> values(at, at + count);
    GlobalBlockUnlock(block);
    return values;
}
template <class T> void WriteBlock(BlockHandle block, size_t offset, const std::vector<T>& values) {
    unsigned char* base = static_cast<unsigned char*>(GlobalBlockLock(block));
    T* at = reinterpret_cast<T*>(base + offset);
    for (size_t i = 0; i < values.size(); ++i)
        at[i] = values[i];
    GlobalBlockUnlock(block);
}

// Scaled inputs (row by row) and targets (pattern by pattern) in the network's method.
template <class T> void WriteInputs(const std::vector<T>& values) {
    WriteBlock<T>(gNet.inputBlock, size_t(gNet.inputColumns) * 16, values);
}
template <class T> void WriteTargets(const std::vector<T>& values) {
    WriteBlock<T>(gNet.targetBlock, size_t(gNet.outputColumns) * 16, values);
}
// The min and max head of the target block for every output column.
void WriteTargetRange(const std::vector<double>& mins, const std::vector<double>& maxes);

template <class T> std::vector<T> Weights() {
    return ReadBlock<T>(gNet.weightsBlock, 0, gNet.weightCount);
}
template <class T> void SetWeights(const std::vector<T>& values) {
    WriteBlock<T>(gNet.weightsBlock, 0, values);
}
// Last changes: int16_t in the fixed method, double in the double method.
template <class T> std::vector<T> LastChanges() {
    const size_t weightBytes = gNet.calcMethod == CALC_FIXED16 ? 4 : 8;
    return ReadBlock<T>(gNet.weightsBlock, weightBytes * gNet.weightCount, gNet.weightCount);
}
template <class T> void SetLastChanges(const std::vector<T>& values) {
    const size_t weightBytes = gNet.calcMethod == CALC_FIXED16 ? 4 : 8;
    WriteBlock<T>(gNet.weightsBlock, weightBytes * gNet.weightCount, values);
}
template <class T> std::vector<T> Outputs() {
    return ReadBlock<T>(gNet.outputBlock, 0, size_t(gNet.patterns) * gNet.outputColumns);
}
template <class T> void SetOutputs(const std::vector<T>& values) {
    WriteBlock<T>(gNet.outputBlock, 0, values);
}
// Mode codes per pattern; `active` switches the data mode on.
void SetPatternFlags(const std::vector<int32_t>& flags, bool active = true);

// The four rows of a RunNet answer.
struct RunStats {
    double within, outside, rms, epochs;
};
RunStats Stats(const FP* result);
