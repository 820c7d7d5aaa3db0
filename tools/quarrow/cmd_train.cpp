#include "charts.h"
#include "command_common.h"
#include "commands.h"
#include "network_file.h"

#include <cstdio>

namespace {

void ProgressLine(std::ostream& out, int epoch, const RunStats& s) {
    char line[120];
    std::snprintf(line, sizeof line,
                  "  epoch %6d   RMS error %.5f   within tolerance %5.0f   outside %5.0f\n", epoch,
                  s.rms, s.within, s.outside);
    out << line;
}

// The first rows of the sheet with their targets and the network's answers.
void ShowRows(std::ostream& out, const Worksheet& sheet, const Range& range,
              const std::vector<std::vector<Cell>>& outputs, int limit) {
    if (limit <= 0) return;
    out << "\n" << Pad("row", 6) << Pad("mode", 7);
    for (const RangeColumn& c : range.outputs)
        out << Pad(c.name, 16) << Pad("network", 16);
    out << "\n";
    int shown = 0;
    for (int r = range.window - 1; r < range.rows() && shown < limit; ++r) {
        if (!range.IsDataRow(r)) continue;
        out << Pad(std::to_string(SheetRowNumber(range.sheetRow[r])), 6)
            << Pad(range.mode[r].empty() ? "TRAIN" : range.mode[r], 7);
        for (size_t k = 0; k < range.outputs.size(); ++k) {
            const Cell& target = sheet.at(range.sheetRow[r], range.outputs[k].sheetColumn);
            const Cell& answer = outputs[k][r];
            out << Pad(target.text, 16)
                << Pad(answer.kind == CellKind::Number ? ShortNumber(answer.number, 5)
                                                       : answer.text,
                       16);
        }
        out << "\n";
        ++shown;
    }
}

} // namespace

int CommandTrain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::set<std::string> valueNames = NetworkOptionNames();
    valueNames.insert({"epochs", "chunk", "goal", "save", "out", "bins", "show"});
    Options o;
    NetSettings s;
    Worksheet sheet;
    ColumnChoice choice;
    Range range;
    std::string error;
    int epochs = 500, chunk = 0, bins = 10, show = 8;
    double goal = 0.0;
    if (!ParseOptions(args, valueNames, NetworkSwitchNames(), &o, &error) ||
        !ReadNetSettings(o, &s, &error) || !o.Integer("epochs", 1, 1000000, &epochs, &error) ||
        !o.Integer("chunk", 1, 32767, &chunk, &error) ||
        !o.Number("goal", 0.0, 1.0, &goal, &error) || !o.Integer("bins", 1, 30, &bins, &error) ||
        !o.Integer("show", 0, 100000, &show, &error) ||
        !SheetRange(o, s, &sheet, &choice, &range, &error)) {
        err << "quarrow train: " << error << "\n";
        return 2;
    }
    if (chunk == 0) chunk = std::max(1, std::min(32767, epochs / 10));

    out << "Training on " << o.positional[0] << "\n";
    DescribeNetwork(out, range, s);
    if (!LoadNetwork(range, s, false, &error)) {
        err << "quarrow train: " << error << "\n";
        return 1;
    }
    MarkSplitRows(&range, s);
    RandomizeWeights(1, static_cast<int16_t>(s.seed), s.weightRange);

    out << "\n";
    int done = 0;
    RunStats stats;
    std::string ending = "the epoch count was reached";
    while (done < epochs) {
        const int ask = std::min(chunk, epochs - done);
        if (!RunEpochs(true, ask, &stats)) {
            err << "quarrow train: the network is gone\n";
            return 1;
        }
        done += std::max(0, stats.epochs);
        ProgressLine(out, done, stats);
        if (stats.epochs < ask) {
            ending = "a stop rule ended the run";
            break;
        }
        if (goal > 0.0 && stats.rms < goal) {
            ending = "the RMS error fell below " + ShortNumber(goal);
            break;
        }
    }
    out << "Stopped after " << done << " epochs: " << ending << ".\n\n";
    out << "Error history\n" << ErrorChart(ReadErrorCurve());

    RunStats recall;
    RunEpochs(false, 1, &recall);
    std::vector<std::vector<Cell>> outputs(range.outputs.size());
    for (size_t k = 0; k < range.outputs.size(); ++k)
        if (!ReadOutputs(range, static_cast<int>(k), 1, &outputs[k], &error)) {
            err << "quarrow train: " << error << "\n";
            return 1;
        }
    out << "\nRecall\n";
    for (size_t k = 0; k < range.outputs.size(); ++k) {
        const RangeColumn& c = range.outputs[k];
        OutputScore train = ScoreOutput(range, c, outputs[k], {"", "TRAIN"});
        OutputScore test = ScoreOutput(range, c, outputs[k], {"TEST"});
        out << "  " << c.name << ": training rows " << FormatScore(c, train);
        if (test.rows > 0) out << "; testing rows " << FormatScore(c, test);
        out << "\n";
    }
    ShowRows(out, sheet, range, outputs, show);

    NetworkFile net = NetworkOfRange(range, s, choice.mode >= 0 ? sheet.names[choice.mode] : "");
    const int count = WeightCount(LayerSizes(s, static_cast<int>(range.inputs.size()),
                                             static_cast<int>(range.outputs.size())));
    if (!ReadWeights(count, &net.weights, &error)) {
        err << "quarrow train: " << error << "\n";
        return 1;
    }
    out << "\n";
    PrintWeightHistogram(out, net.weights, bins);
    if (o.Has("out")) {
        if (!WriteTextFile(
                o.Text("out"),
                WorksheetCsv(WithPredictions(sheet, sheet.columnCount(), range, outputs)),
                &error)) {
            err << "quarrow train: " << error << "\n";
            return 1;
        }
        out << "Wrote the outputs to " << o.Text("out") << "\n";
    }
    if (o.Has("save")) {
        if (!SaveNetworkFile(o.Text("save"), net, &error)) {
            err << "quarrow train: " << error << "\n";
            return 1;
        }
        out << "\nSaved the network to " << o.Text("save") << "\n";
    }
    return 0;
}
