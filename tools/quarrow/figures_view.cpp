#include "figures_view.h"

#include "worksheet.h"

#include <algorithm>

std::string LayerText(const std::vector<int>& layers) {
    std::string s;
    for (int units : layers)
        s += (s.empty() ? "" : "-") + std::to_string(units);
    return s;
}

int CurveEpoch(const RunFigures& run, size_t k) {
    long long every = std::max(1, run.curveEvery);
    long long epoch = (static_cast<long long>(k) + 1) * every;
    size_t points = std::max(run.trainCurve.size(), run.validationCurve.size());
    // The last stretch may be shorter than the others when training stopped inside it.
    if (k + 1 == points && run.epochsRun > 0 && run.epochsRun < epoch) epoch = run.epochsRun;
    return static_cast<int>(std::min<long long>(epoch, 2147483647));
}

std::vector<std::pair<std::string, std::string>> RunSummary(const RunFigures& run) {
    std::vector<std::pair<std::string, std::string>> rows = {
        {"command", run.command},
        {"sheet", run.sheet},
        {"inputs", std::to_string(run.inputs.size())},
        {"outputs", std::to_string(run.outputs.size())},
        {"network", LayerText(run.layers)}};
    if (run.epochsRun > 0) {
        rows.push_back({"epochs run", std::to_string(run.epochsRun)});
        rows.push_back({"weights kept from epoch", std::to_string(run.bestEpoch)});
        rows.push_back({"stopped by", run.stopRule});
        rows.push_back({"training seconds", ShortNumber(run.trainSeconds, 4)});
    }
    return rows;
}
