#include "command_common.h"
#include "commands.h"
#include "encoding.h"
#include "network_file.h"
#include "xl_column.h"

#include <cstdio>

// Shows a saved network: its layers, the weights of every unit and their histogram.
int CommandWeights(const WeightsArgs& a, std::ostream& out, std::ostream& err) {
    NetworkFile net;
    std::string error;
    const int bins = a.bins;
    if (!LoadNetworkFile(a.net, &net, &error)) {
        err << "quarrow weights: " << error << "\n";
        return 2;
    }
    const NetSettings& s = net.settings;
    const std::vector<std::string> outputNames =
        NetworkOutputNames(net.outputNames, net.outputBounds, s.oneHot);
    const int inputCount = NetworkOutputCount(net.inputBounds, s.oneHotInputs);
    std::vector<int> sizes = LayerSizes(s, inputCount, static_cast<int>(outputNames.size()));
    int16_t hidden[4] = {0, 0, 0, 0};
    for (size_t k = 0; k < s.hidden.size(); ++k)
        hidden[k] = static_cast<int16_t>(s.hidden[k]);
    // A network of one pattern is enough to hold the weights.
    std::string answer = ResultText(
        InitBP(static_cast<int16_t>(inputCount), static_cast<int16_t>(outputNames.size()),
               static_cast<int16_t>(s.window), static_cast<int16_t>(s.window), 1, 0,
               static_cast<int16_t>(s.layerCount()), hidden[0], hidden[1], hidden[2], hidden[3],
               static_cast<int16_t>(s.method)));
    if (answer != "OK") {
        err << "quarrow weights: building the network: " << answer << "\n";
        return 1;
    }
    std::vector<double> weights;
    if (!WriteWeights(net.weights, &error) || !ReadWeights(WeightCount(sizes), &weights, &error)) {
        err << "quarrow weights: " << error << "\n";
        return 1;
    }
    out << "Network " << a.net << ": ";
    for (size_t k = 0; k < sizes.size(); ++k)
        out << (k ? "-" : "") << sizes[k];
    out << ", " << (s.method == CALC_FIXED16 ? "16-bit fixed point" : "double precision") << "\n";
    size_t at = 0;
    char number[32];
    for (size_t layer = 1; layer < sizes.size(); ++layer) {
        out << "Layer " << layer << (layer + 1 == sizes.size() ? " (outputs)" : " (hidden)")
            << ": weights from the " << sizes[layer - 1] << " units below, then the bias\n";
        for (int unit = 0; unit < sizes[layer]; ++unit) {
            std::string name =
                layer + 1 == sizes.size() ? outputNames[unit] : "unit " + std::to_string(unit + 1);
            out << "  " << Pad(name, 12);
            for (int i = 0; i <= sizes[layer - 1]; ++i) {
                std::snprintf(number, sizeof number, " %9.4f", weights[at++]);
                out << number;
            }
            out << "\n";
        }
    }
    out << "\n";
    PrintWeightHistogram(out, weights, bins);
    CleanUp();
    return 0;
}
