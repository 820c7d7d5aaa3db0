#include "settings.h"

std::vector<int> LayerSizes(const NetSettings& s, int inputs, int outputs) {
    std::vector<int> sizes = {inputs * s.window};
    sizes.insert(sizes.end(), s.hidden.begin(), s.hidden.end());
    sizes.push_back(outputs);
    return sizes;
}

int WeightCount(const std::vector<int>& layerSizes) {
    long long n = 0;
    for (size_t i = 1; i < layerSizes.size(); ++i)
        n += static_cast<long long>(layerSizes[i - 1] + 1) * layerSizes[i];
    return n > 1000000000 ? 1000000000 : static_cast<int>(n);
}
