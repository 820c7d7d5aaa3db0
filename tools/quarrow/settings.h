// The settings of one network as quarrow hands them to the library.
#pragma once

#include "quar1432.h"

#include <vector>

struct NetSettings {
    int method = CALC_DOUBLE;
    int window = 1;
    int step = 1;
    // Defaults measured on held-aside public tables (see the README).
    std::vector<int> hidden = {16}; // sizes of the hidden layers, at most 4
    int transfer = 3;
    double gain = 1.0;
    double rate = 0.3;
    double momentum = 0.9;
    double noise = 0.0;
    double trainTolerance = 0.1;
    double testTolerance = 0.1;
    double margin = 0.1;       // widens every column's range by half of it on each side
    bool oneHot = false;       // symbolic outputs as one 0/1 output unit per class
    bool oneHotInputs = false; // symbolic inputs as one 0/1 input unit per class
    double weightRange = 0.5;
    int seed = 1;
    bool autoRate = false;
    double hours = 0.0;
    double trainRise = 0.0;
    double testRise = 0.0;
    double split = -1.0;  // share of leading rows that train (the rest test); negative: off
    bool shuffle = false; // split at random instead of by position

    int layerCount() const { return static_cast<int>(hidden.size()) + 2; }
};

// Units per layer for a network of these settings.
std::vector<int> LayerSizes(const NetSettings& s, int inputs, int outputs);
// Weights (biases included) of such a network.
int WeightCount(const std::vector<int>& layerSizes);
