// The structure of one pass over the patterns, shared by both calculation methods: which
// patterns are visited and selected, their order, the output copy, the error counting, when
// the weights learn and when the message queue is looked at. The arithmetic comes from a
// steps type (DoubleSteps, FixedSteps) whose static members the walk calls directly, so the
// hot loops inline.
#pragma once

#include "engine/network_state.h"
#include "platform/platform.h"

#include <cstdint>

// One pass in each method; both are entered through RunEpochPass.
void RunPassDouble(int32_t learn, int32_t testing);
void RunPassFixed(int32_t learn, int32_t testing);

// Patterns between two looks at the message queue: about one per 11000 weight updates while
// learning, once per pass otherwise.
int32_t PeekInterval(int32_t learn);

// True when the layer sizes, the work arrays and the bound weight and data pointers agree, so
// that a pass stays inside every array it walks.
bool PassShapeIsSound();

// Where each layer's units, deltas, weights and last changes start in one method's arrays.
template <class Unit, class Weight, class Change, class Rate> struct PassLayout {
    Unit* activations[kMaxLayers]; // first unit of each layer; its bias slot follows
    Unit* deltas[kMaxLayers];      // layers 1 ... layerCount - 1
    Weight* weights[kMaxLayers];   // first weight of each receiving layer
    Change* lastChanges[kMaxLayers];
    Rate rateFactor; // (1 - momentum) x learning rate in the method's format
    bool symmetric;  // code 5: outputs -1 ... 1

    void Bind(Unit* a, Unit* d, Weight* w, Change* c) {
        for (int32_t l = 0; l < gNet.layerCount; ++l) {
            activations[l] = a;
            a += gNet.layerSize[l] + 1;
            if (l == 0) continue;
            deltas[l] = d;
            d += gNet.layerSize[l];
            weights[l] = w;
            lastChanges[l] = c;
            const int32_t count = (gNet.layerSize[l - 1] + 1) * gNet.layerSize[l];
            w += count;
            c += count;
        }
    }
};

// Steps must provide:
//   BeginPass()                      pass-wide factors and layer pointers
//   Load(p, learn), Forward()        inputs with noise, forward propagation
//   StoreOutputs(p)                  output layer into output data row p
//   OutputError(p, trainTolerance)   output deltas, counts and squared errors
//   HiddenDeltas(), UpdateWeights()  back-propagation and the momentum update
//   EndPass(evaluated)               passError into a mean squared error
template <class Steps> void WalkPatterns(int32_t learn, int32_t testing) {
    const int32_t interval = PeekInterval(learn);
    const int32_t step = gNet.patternStep > 0 ? gNet.patternStep : 1;
    const bool recall = learn == 0 && testing == 0;

    gNet.outsideToleranceCount = 0;
    gNet.withinToleranceCount = 0;
    gNet.passError = 0.0;
    Steps::BeginPass();
    int32_t evaluated = 0;
    int32_t sincePeek = 0; // p % interval, kept without a division per pattern

    for (int32_t p = 0; p < gNet.patterns; p += step) {
        const bool trainFlag = gNet.patternFlags[p] == MODE_TRAIN;
        const bool selected = gNet.dataModeActive == 0 || (learn != 0 && trainFlag) ||
                              (learn == 0 && gNet.patternFlags[p] == MODE_TEST);
        if (selected) {
            Steps::Load(p, learn);
            Steps::Forward();
            Steps::StoreOutputs(p);
            Steps::OutputError(p, learn != 0 && trainFlag);
            evaluated += 1;
        }
        // A recall pass leaves outputs for every visited pattern. Without learning the load
        // draws no noise, so a selected pattern already holds exactly these outputs.
        if (recall && !selected) {
            Steps::Load(p, 0);
            Steps::Forward();
            Steps::StoreOutputs(p);
        }
        if (learn != 0 && trainFlag) {
            Steps::HiddenDeltas();
            Steps::UpdateWeights();
        }
        if (sincePeek == 0) PeekMessages();
        if (p > INT32_MAX - step) break;
        sincePeek += step;
        if (sincePeek >= interval) sincePeek %= interval;
    }
    Steps::EndPass(evaluated);
}
