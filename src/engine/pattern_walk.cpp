#include "engine/pattern_walk.h"

int32_t PeekInterval(int32_t learn) {
    int32_t interval = gNet.patterns;
    if (learn != 0) interval = gNet.weightCount > 0 ? 11000 / gNet.weightCount + 1 : 1;
    return interval > 0 ? interval : 1;
}

bool PassShapeIsSound() {
    const int32_t layers = gNet.layerCount;
    if (layers < 2 || layers > kMaxLayers) return false;
    if (gNet.layerSize[0] != gNet.inputColumns * gNet.window) return false;
    if (gNet.layerSize[layers - 1] != gNet.outputColumns) return false;
    int64_t units = 0, deltas = 0, weights = 0;
    for (int32_t l = 0; l < layers; ++l) {
        if (gNet.layerSize[l] < 1) return false;
        units += gNet.layerSize[l] + 1;
        if (l > 0) {
            deltas += gNet.layerSize[l];
            weights += int64_t(gNet.layerSize[l - 1] + 1) * gNet.layerSize[l];
        }
    }
    if (weights != gNet.weightCount || gNet.patternFlags == nullptr) return false;
    if (gNet.calcMethod == CALC_DOUBLE)
        return gNet.unitActivationsDoubleEnd - gNet.unitActivationsDouble == units &&
               gNet.unitDeltasDoubleEnd - gNet.unitDeltasDouble == deltas &&
               gNet.weightsDouble != nullptr && gNet.lastChangesDouble != nullptr &&
               gNet.inputDataDouble != nullptr && gNet.targetDataDouble != nullptr &&
               gNet.outputDataDouble != nullptr;
    return gNet.unitActivationsFixedEnd - gNet.unitActivationsFixed == units &&
           gNet.unitDeltasFixedEnd - gNet.unitDeltasFixed == deltas &&
           gNet.weightsFixed != nullptr && gNet.lastChangesFixed != nullptr &&
           gNet.inputDataFixed != nullptr && gNet.targetDataFixed != nullptr &&
           gNet.outputDataFixed != nullptr;
}
