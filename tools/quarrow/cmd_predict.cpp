#include "column_lists.h"
#include "command_common.h"
#include "commands.h"
#include "network_file.h"

namespace {

// The sheet's column of that name, added empty at the right when the sheet has none.
int ColumnOrAdd(Worksheet* sheet, const std::string& name) {
    for (int c = 0; c < sheet->columnCount(); ++c)
        if (sheet->names[c] == name) return c;
    sheet->names.push_back(name);
    for (auto& row : sheet->rows)
        row.emplace_back();
    return sheet->columnCount() - 1;
}

} // namespace

int CommandPredict(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    NetworkFile net;
    Worksheet sheet;
    std::string error;
    if (!ParseOptions(args, {"net", "out", "inputs", "mode"}, {}, &o, &error)) {
        err << "quarrow predict: " << error << "\n";
        return 2;
    }
    if (o.positional.size() != 1 || !o.Has("net")) {
        err << "quarrow predict: name one worksheet and the network (--net net.csv)\n";
        return 2;
    }
    if (!LoadNetworkFile(o.Text("net"), &net, &error) ||
        !LoadWorksheet(o.positional[0], &sheet, &error)) {
        err << "quarrow predict: " << error << "\n";
        return 2;
    }
    const int originalColumns = sheet.columnCount();

    RangeRequest request;
    request.recall = true;
    request.window = net.settings.window;
    request.inputBounds = net.inputBounds;
    request.outputBounds = net.outputBounds;
    ColumnChoice choice;
    if (!ResolveColumns(sheet, o.Text("inputs"), "", o.Text("mode"), &choice, &error)) {
        err << "quarrow predict: " << error << "\n";
        return 2;
    }
    if (o.Has("inputs")) {
        if (choice.inputs.size() != net.inputNames.size()) {
            err << "quarrow predict: the network takes " << net.inputNames.size()
                << " input columns, --inputs names " << choice.inputs.size() << "\n";
            return 2;
        }
        request.columns.inputs = choice.inputs;
    } else if (!ColumnsByName(sheet, net.inputNames, &request.columns.inputs, &error)) {
        err << "quarrow predict: " << error << " (name the input columns with --inputs)\n";
        return 2;
    }
    // The mode column only tells which rows were MIN, MAX or SYMBOL rows of the training sheet.
    request.columns.mode = choice.mode;
    if (!o.Has("mode") && !net.modeName.empty())
        for (int c = 0; c < sheet.columnCount(); ++c)
            if (sheet.names[c] == net.modeName) request.columns.mode = c;
    for (const std::string& name : net.outputNames)
        request.columns.outputs.push_back(ColumnOrAdd(&sheet, name));

    Range range;
    if (!BuildRange(sheet, request, &range, &error)) {
        err << "quarrow predict: " << error << "\n";
        return 1;
    }
    if (!LoadNetwork(range, net.settings, true, &error) || !WriteWeights(net.weights, &error)) {
        err << "quarrow predict: " << error << "\n";
        return 1;
    }
    RunStats stats;
    RunEpochs(false, 1, &stats);
    std::vector<std::vector<Cell>> outputs(range.outputs.size());
    for (size_t k = 0; k < range.outputs.size(); ++k)
        if (!ReadOutputs(range, static_cast<int>(k), 1, &outputs[k], &error)) {
            err << "quarrow predict: " << error << "\n";
            return 1;
        }

    out << "Predicted " << range.dataRows() << " rows of " << o.positional[0] << " with "
        << o.Text("net") << "\n";
    if (range.targetsComplete) {
        for (size_t k = 0; k < range.outputs.size(); ++k) {
            const RangeColumn& c = range.outputs[k];
            out << "  " << c.name << ": "
                << FormatScore(c, ScoreOutput(range, c, outputs[k], {"TEST"})) << "\n";
        }
    }

    Worksheet result = WithPredictions(sheet, originalColumns, range, outputs);
    if (!o.Has("out")) // on the terminal, short numbers read better
        for (auto& row : result.rows)
            for (size_t c = static_cast<size_t>(originalColumns); c < row.size(); ++c)
                if (row[c].kind == CellKind::Number) row[c].text = ShortNumber(row[c].number, 5);
    const std::string text = WorksheetCsv(result);
    if (o.Has("out")) {
        if (!WriteTextFile(o.Text("out"), text, &error)) {
            err << "quarrow predict: " << error << "\n";
            return 1;
        }
        out << "Wrote " << o.Text("out") << "\n";
    } else {
        out << "\n" << text;
    }
    return 0;
}
