#include "support/training_net.h"

#include <gtest/gtest.h>

#include <string>

void BuildNet(int inputs, int outputs, int totalRows, int window, int step,
              const std::vector<int>& hidden, int method) {
    int h[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < hidden.size() && i < 4; ++i)
        h[i] = hidden[i];
    const char* answer =
        InitBP(int16_t(inputs), int16_t(outputs), int16_t(totalRows), int16_t(window),
               int16_t(step), 0, int16_t(hidden.size() + 2), int16_t(h[0]), int16_t(h[1]),
               int16_t(h[2]), int16_t(h[3]), int16_t(method));
    ASSERT_STREQ(answer, "OK");
}

void WriteTargetRange(const std::vector<double>& mins, const std::vector<double>& maxes) {
    std::vector<double> head(mins);
    head.insert(head.end(), maxes.begin(), maxes.end());
    WriteBlock<double>(gNet.targetBlock, 0, head);
}

void SetPatternFlags(const std::vector<int32_t>& flags, bool active) {
    WriteBlock<int32_t>(gNet.patternFlagsBlock, 0, flags);
    gNet.dataModeActive = active ? 1 : 0;
}

RunStats Stats(const FP* result) {
    EXPECT_NE(result, nullptr);
    if (result == nullptr) return {};
    EXPECT_EQ(result->rows, 4);
    EXPECT_EQ(result->columns, 1);
    return {result->array[0], result->array[1], result->array[2], result->array[3]};
}
