#include "column_lists.h"
#include "command_common.h"
#include "commands.h"
#include "encoding.h"
#include "metrics_json.h"
#include "network_file.h"
#include "recall.h"
#include "report_text.h"
#include "run_files.h"
#include "scoring.h"
#include "sheet_checks.h"
#include "workbook_read.h"

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

// The set a row is scored in: by its mode word when the sheet has a mode column, else one set.
std::vector<std::string> PredictSets(const Range& range, bool modeColumn) {
    std::vector<std::string> sets(range.rows());
    for (int r = range.window - 1; r < range.rows(); ++r) {
        if (!range.IsDataRow(r)) continue;
        const std::string& w = range.sheetWord[r];
        if (!modeColumn)
            sets[r] = "all";
        else if (w.empty() || w == "TRAIN")
            sets[r] = "train";
        else if (w == "TEST")
            sets[r] = "test";
    }
    return sets;
}

} // namespace

int CommandPredict(const PredictArgs& a, std::ostream& out, std::ostream& err) {
    auto fail = [&](int code, const std::string& error) {
        err << "quarrow predict: " << error << "\n";
        return code;
    };
    NetworkFile net;
    Worksheet sheet;
    std::string error;
    if (!LoadNetworkFile(a.net, &net, &error) ||
        !LoadSheetFile(a.sheet, a.sheetName, &sheet, &error))
        return fail(2, error);
    const int originalColumns = sheet.columnCount();

    RangeRequest request;
    request.recall = true;
    request.strict = a.strict;
    request.window = net.settings.window;
    request.inputBounds = net.inputBounds;
    request.outputBounds = net.outputBounds;
    request.oneHot = net.settings.oneHot;
    request.oneHotInputs = net.settings.oneHotInputs;
    request.scaleMargin = net.settings.margin / 2.0;
    ColumnChoice choice;
    if (!ResolveColumns(sheet, a.inputs, "", a.mode, &choice, &error)) return fail(2, error);
    if (!a.inputs.empty()) {
        if (choice.inputs.size() != net.inputNames.size())
            return fail(2, "the network takes " + std::to_string(net.inputNames.size()) +
                               " input columns, --inputs names " +
                               std::to_string(choice.inputs.size()));
        request.columns.inputs = choice.inputs;
    } else if (!ColumnsByName(sheet, net.inputNames, &request.columns.inputs, &error)) {
        return fail(2, error + " (name the input columns with --inputs)");
    }
    // The mode column tells which rows were MIN, MAX or SYMBOL rows, and which were TRAIN or
    // TEST rows for the scores.
    request.columns.mode = choice.mode;
    if (a.mode.empty() && !net.modeName.empty())
        for (int c = 0; c < sheet.columnCount(); ++c)
            if (sheet.names[c] == net.modeName) request.columns.mode = c;
    for (const std::string& name : net.outputNames)
        request.columns.outputs.push_back(ColumnOrAdd(&sheet, name));

    std::vector<int> symbolic, numeric;
    for (size_t k = 0; k < net.inputBounds.size(); ++k)
        (net.inputBounds[k].symbols.empty() ? numeric : symbolic)
            .push_back(request.columns.inputs[k]);
    DeclareSymbolic(&sheet, symbolic);
    if (!CheckValues(a.sheet, sheet, numeric, request.columns.mode, &error)) return fail(2, error);

    Range range;
    if (!BuildRange(sheet, request, &range, &error)) return fail(2, a.sheet + ": " + error);
    std::vector<std::vector<Cell>> network;
    if (!RecallRange(range, net.settings, net.weights, kRecallPieceRows, &network, &error))
        return fail(1, error);
    const std::vector<std::vector<Cell>> outputs = TargetOutputs(range, network);

    RunFigures run;
    run.command = "predict";
    run.sheet = a.sheet;
    run.inputs = net.inputNames;
    run.outputs = net.outputNames;
    run.layers =
        LayerSizes(net.settings, NetworkOutputCount(net.inputBounds, net.settings.oneHotInputs),
                   NetworkOutputCount(net.outputBounds, net.settings.oneHot));
    const std::vector<std::string> sets = PredictSets(range, request.columns.mode >= 0);
    if (range.targetsComplete) run.sets = ScoreSets(range, outputs, sets, {"all", "train", "test"});
    run.predictions = SheetPredictions(range, sheet.rowCount(), outputs, sets);
    int flagged = 0;
    for (bool f : run.predictions.outOfRange)
        flagged += f ? 1 : 0;
    if (flagged > 0)
        run.warnings.push_back(std::to_string(flagged) +
                               " rows have inputs outside the range the network was trained on; "
                               "they were predicted at the range's edge and are flagged");

    if (!a.quiet) {
        out << "Predicted " << range.dataRows() << " rows of " << a.sheet << " with " << a.net
            << "\n";
        PrintSetFigures(out, run);
    }
    for (const std::string& w : run.warnings)
        err << "quarrow predict: warning: " << w << "\n";
    if (!a.metrics.empty() && !WriteTextFile(a.metrics, MetricsJson(run), &error))
        return fail(1, error);

    if (!a.xlsx.empty() || !a.report.empty()) {
        // The workbook shows the sheet as it came, without the output columns added for recall.
        Worksheet given = sheet;
        given.names.resize(originalColumns);
        for (auto& row : given.rows)
            row.resize(originalColumns);
        if (!WriteRunFiles(a.xlsx, a.report, given, run, a.quiet, out, &error))
            return fail(1, error);
    }
    Worksheet result = WithPredictions(sheet, originalColumns, run.predictions);
    if (a.out.empty()) { // on the terminal, short numbers read better
        for (auto& row : result.rows)
            for (size_t c = static_cast<size_t>(originalColumns); c < row.size(); ++c)
                if (row[c].kind == CellKind::Number) row[c].text = ShortNumber(row[c].number, 5);
        if (!a.quiet) out << "\n" << WorksheetCsv(result);
        return 0;
    }
    if (!WriteTextFile(a.out, WorksheetCsv(result), &error)) return fail(1, error);
    if (!a.quiet) out << "Wrote " << a.out << "\n";
    return 0;
}
