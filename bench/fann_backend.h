// One build of the FANN library (double or float), loaded at run time so that both builds,
// which export the same names, can live in one process.
#pragma once

#include <vector>

struct FannBackend {
    const char* name;
    // Loads the shared library; false (with a message) when it is missing.
    bool (*load)();
    // A fully connected sigmoid network of the given layer sizes, incremental training with
    // the given rate and momentum, on `patterns` rows of inputs and targets (row by row).
    void* (*create)(const std::vector<unsigned>& layers, const std::vector<double>& inputs,
                    const std::vector<double>& targets, unsigned patterns, double rate,
                    double momentum);
    // Runs `epochs` training epochs over every pattern.
    void (*train)(void* net, int epochs);
    unsigned (*connections)(void* net);
    void (*destroy)(void* net);
};

const FannBackend& FannDouble();
const FannBackend& FannFloat();
