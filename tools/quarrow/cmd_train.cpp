#include "charts.h"
#include "command_common.h"
#include "commands.h"
#include "encoding.h"
#include "holdout.h"
#include "metrics_json.h"
#include "network_file.h"
#include "report_text.h"
#include "run_files.h"
#include "scoring.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// Defaults measured on tables the project keeps for that purpose (see the README).
constexpr int kDefaultEpochs = 500;           // without a validation split
constexpr int kDefaultEpochsValidated = 3000; // the ceiling when validation stops the run
constexpr int kDefaultPatience = 300;         // epochs without a better validation error
constexpr double kDefaultValidate = 0.2;      // share of TRAIN rows held out ...
constexpr int kValidateFromRows = 40;         // ... when there are at least this many
constexpr const char* kDefaultEncoding = "one-hot";
constexpr const char* kDefaultInputEncoding = "one-hot";

struct TrainPlan {
    int epochs = 0, chunk = 0, patience = 0;
    double validate = 0.0;
};

TrainPlan PlanOf(const TrainArgs& a, int trainRows) {
    TrainPlan p;
    p.validate = a.validate >= 0.0 ? a.validate
                 : (trainRows >= kValidateFromRows && a.sheet.settings.testRise == 0.0)
                     ? kDefaultValidate
                     : 0.0;
    p.epochs = a.epochs > 0       ? a.epochs
               : p.validate > 0.0 ? kDefaultEpochsValidated
                                  : kDefaultEpochs;
    p.patience = a.patience > 0 ? a.patience : kDefaultPatience;
    const int checks = p.validate > 0.0 ? std::max(1, p.patience / 10) : p.epochs / 10;
    p.chunk = a.chunk > 0 ? a.chunk : std::clamp(checks, 1, 32767);
    return p;
}

// The stop rules of the library that can end a run early, by name.
std::string LibraryStopRule(const NetSettings& s) {
    std::string rules;
    auto add = [&](const char* name) {
        rules += (rules.empty() ? "" : " or ") + std::string(name);
    };
    if (s.hours > 0.0) add("the time budget (--hours)");
    if (s.trainRise > 0.0) add("a rise of the training error (--train-rise)");
    if (s.testRise > 0.0) add("a rise of the TEST rows' error (--test-rise)");
    return rules.empty() ? "a stop rule of the library" : rules;
}

bool ReadAllOutputs(const Range& range, int mode, std::vector<std::vector<Cell>>* outputs,
                    std::string* error) {
    outputs->assign(range.outputs.size(), {});
    for (size_t k = 0; k < range.outputs.size(); ++k)
        if (!ReadOutputs(range, static_cast<int>(k), mode, &(*outputs)[k], error)) return false;
    return true;
}

// The first rows of the sheet with their targets and the network's answers.
void ShowRows(std::ostream& out, const Worksheet& sheet, const Range& range,
              const RowPredictions& p, int limit) {
    if (limit <= 0) return;
    out << "\n" << Pad("row", 6) << Pad("set", 11);
    for (const RangeColumn& c : range.targets)
        out << Pad(c.name, 16) << Pad("network", 16);
    out << "\n";
    int shown = 0;
    for (int r = 0; r < sheet.rowCount() && shown < limit; ++r) {
        if (p.modes[r].empty()) continue;
        out << Pad(std::to_string(SheetRowNumber(r)), 6) << Pad(p.modes[r], 11);
        for (size_t k = 0; k < range.targets.size(); ++k) {
            const Cell& answer = p.cells[r][k];
            out << Pad(sheet.at(r, range.targets[k].sheetColumn).text, 16)
                << Pad(answer.kind == CellKind::Number ? ShortNumber(answer.number, 5)
                                                       : answer.text,
                       16);
        }
        out << "\n";
        ++shown;
    }
}

// Takes over a saved network's shape and bounds for resumed training; its columns must be the
// ones chosen.
bool ResumeFrom(const TrainArgs& a, const Worksheet& sheet, const ColumnChoice& choice,
                NetworkFile* net, NetSettings* s, RangeRequest* request, std::string* error) {
    if (!LoadNetworkFile(a.resume, net, error)) return false;
    auto same = [&](const std::vector<int>& columns, const std::vector<std::string>& names) {
        if (columns.size() != names.size()) return false;
        for (size_t k = 0; k < columns.size(); ++k)
            if (sheet.names[columns[k]] != names[k]) return false;
        return true;
    };
    if (!same(choice.inputs, net->inputNames) || !same(choice.outputs, net->outputNames)) {
        *error = a.resume + " was trained on other columns; choose its inputs and outputs";
        return false;
    }
    const NetSettings& saved = net->settings;
    s->method = saved.method;
    s->window = saved.window;
    s->step = saved.step;
    s->hidden = saved.hidden;
    s->transfer = saved.transfer;
    s->gain = saved.gain;
    s->oneHot = saved.oneHot;
    s->oneHotInputs = saved.oneHotInputs;
    s->margin = saved.margin;
    request->fixedBounds = true;
    request->inputBounds = net->inputBounds;
    request->outputBounds = net->outputBounds;
    request->oneHot = saved.oneHot;
    request->oneHotInputs = saved.oneHotInputs;
    request->scaleMargin = saved.margin / 2.0;
    return true;
}

void RecordSettings(RunFigures* run, const NetSettings& s, const TrainPlan& plan,
                    const TrainArgs& a) {
    auto add = [&](const char* name, const std::string& v) { run->settings.emplace_back(name, v); };
    std::string hidden;
    for (int h : s.hidden)
        hidden += (hidden.empty() ? "" : ",") + std::to_string(h);
    add("hidden", hidden.empty() ? "0" : hidden);
    add("method", s.method == CALC_FIXED16 ? "fixed" : "double");
    add("rate", ShortNumber(s.rate));
    add("momentum", ShortNumber(s.momentum));
    add("noise", ShortNumber(s.noise));
    add("transfer", TransferName(s.transfer));
    add("gain", ShortNumber(s.gain));
    add("margin", ShortNumber(s.margin));
    add("seed", std::to_string(s.seed));
    add("window", std::to_string(s.window));
    add("encoding", s.oneHot ? "one-hot" : "coded");
    add("input encoding", s.oneHotInputs ? "one-hot" : "coded");
    add("epochs", std::to_string(plan.epochs));
    add("validate", ShortNumber(plan.validate));
    add("patience", plan.validate > 0.0 ? std::to_string(plan.patience) : "off");
    if (!a.resume.empty()) add("resumed from", a.resume);
}

} // namespace

int CommandTrain(const TrainArgs& a, std::ostream& out, std::ostream& err) {
    auto fail = [&](int code, const std::string& error) {
        err << "quarrow train: " << error << "\n";
        return code;
    };
    NetSettings s = a.sheet.settings;
    Worksheet sheet;
    ColumnChoice choice;
    Range range;
    RangeRequest request;
    NetworkFile resumed;
    std::string error;
    if (!LoadSheetColumns(a.sheet, &sheet, &choice, &error)) return fail(2, error);
    s.oneHot = (a.encoding.empty() ? kDefaultEncoding : a.encoding) == "one-hot";
    request.oneHot = s.oneHot;
    s.oneHotInputs =
        (a.inputEncoding.empty() ? kDefaultInputEncoding : a.inputEncoding) == "one-hot";
    request.oneHotInputs = s.oneHotInputs;
    if (!a.resume.empty() && !ResumeFrom(a, sheet, choice, &resumed, &s, &request, &error))
        return fail(2, error);
    if (!TrainingRange(a.sheet, sheet, choice, request, &range, &error)) return fail(2, error);
    if (s.testRise > 0.0 && a.validate > 0.0)
        return fail(2, "--test-rise stops on the TEST rows; with --validate the validation rows "
                       "decide, so give one of them");

    // The split is made here, as the library would make it, so that validation rows can be
    // taken from the training share afterwards.
    if (s.split >= 0.0) {
        MarkSplitRows(&range, s);
        range.modeColumn = true;
    }
    NetSettings load = s;
    load.split = -1.0;
    if (TrainRowCount(range) == 0)
        return fail(2, a.sheet.sheet + ": no TRAIN rows: every data row is marked TEST or SKIP" +
                           (choice.mode >= 0 ? " in column " + ColumnLetters(choice.mode) + " (" +
                                                   sheet.names[choice.mode] + ")"
                                             : std::string()));
    const TrainPlan plan = PlanOf(a, TrainRowCount(range));
    const int held = HoldOut(&range, plan.validate, s.seed);
    if (plan.validate > 0.0) range.modeColumn = true;

    RunFigures run = RunRecord("train", a.sheet.sheet, range);
    run.layers = LayerSizes(s, static_cast<int>(range.inputs.size()),
                            static_cast<int>(range.outputs.size()));
    RecordSettings(&run, s, plan, a);
    run.curveEvery = plan.chunk;

    if (!a.quiet) {
        out << "Training on " << a.sheet.sheet << "\n";
        DescribeNetwork(out, range, s);
        out << "  split     " << TrainRowCount(range) << " train, " << held << " validation"
            << (plan.validate > 0.0 ? " (stops after " + std::to_string(plan.patience) +
                                          " epochs without a better validation error)"
                                    : std::string(" (no early stop)"))
            << "\n\n";
    }
    if (!LoadNetwork(range, load, false, &error)) return fail(1, error);
    if (!a.resume.empty()) {
        if (!WriteWeights(resumed.weights, &error)) return fail(1, error);
    } else {
        RandomizeWeights(1, static_cast<int16_t>(s.seed), s.weightRange);
    }

    std::vector<int> validationRows;
    for (int r = 0; r < range.rows(); ++r)
        if (TrainingSet(range, r) == "validation") validationRows.push_back(r);
    const auto started = std::chrono::steady_clock::now();
    std::vector<double> best;
    double bestError = 0.0;
    int done = 0, sinceBest = 0;
    run.stopRule = "epoch limit";
    std::vector<std::vector<Cell>> outputs;
    while (done < plan.epochs) {
        const int ask = std::min(plan.chunk, plan.epochs - done);
        RunStats stats;
        if (!RunEpochs(true, ask, &stats)) return fail(1, "the network is gone");
        done += std::max(0, stats.epochs);
        run.trainCurve.push_back(stats.rms);
        bool stop = false;
        if (stats.epochs < ask) {
            run.stopRule = LibraryStopRule(s);
            stop = true;
        } else if (a.goal > 0.0 && stats.rms < a.goal) {
            run.stopRule = "training goal (RMS error below " + ShortNumber(a.goal) + ")";
            stop = true;
        }
        std::string line = "  epoch " + std::to_string(done) + "   training RMS error " +
                           ShortNumber(stats.rms, 5);
        if (!validationRows.empty()) {
            RunStats recall;
            if (!RunEpochs(false, 1, &recall) || !ReadAllOutputs(range, 0, &outputs, &error))
                return fail(1, error.empty() ? "the network is gone" : error);
            const double v = ScaledError(range, outputs, validationRows);
            run.validationCurve.push_back(v);
            line += "   validation " + ShortNumber(v, 5);
            if (best.empty() || v < bestError) {
                bestError = v;
                run.bestEpoch = done;
                sinceBest = 0;
                if (!ReadWeights(WeightCount(run.layers), &best, &error)) return fail(1, error);
            } else if ((sinceBest += std::max(0, stats.epochs)) >= plan.patience && !stop) {
                run.stopRule = "validation patience (" + std::to_string(plan.patience) +
                               " epochs without a better validation error)";
                stop = true;
            }
        } else {
            run.bestEpoch = done;
        }
        // Flushed so that a caller reading through a pipe sees each line as it comes.
        if (!a.quiet) out << line << " (0..1 scale)" << std::endl;
        if (stop) break;
    }
    run.epochsRun = done;
    run.trainSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!best.empty() && !WriteWeights(best, &error)) return fail(1, error);

    RunStats recall;
    if (!RunEpochs(false, 1, &recall) || !ReadAllOutputs(range, 1, &outputs, &error))
        return fail(1, error.empty() ? "the network is gone" : error);
    outputs = TargetOutputs(range, outputs);
    std::vector<std::string> setOfRow(range.rows());
    for (int r = 0; r < range.rows(); ++r)
        setOfRow[r] = TrainingSet(range, r);
    run.sets = ScoreSets(range, outputs, setOfRow, {"train", "validation", "test"});
    run.predictions = SheetPredictions(range, sheet.rowCount(), outputs, setOfRow);
    AddWarnings(&run);

    NetworkFile net;
    net.settings = s;
    for (const RangeColumn& c : range.inputColumns) {
        net.inputNames.push_back(c.name);
        net.inputBounds.push_back(c.bounds);
    }
    for (const RangeColumn& c : range.targets) {
        net.outputNames.push_back(c.name);
        net.outputBounds.push_back(c.bounds);
    }
    net.modeName = choice.mode >= 0 ? sheet.names[choice.mode] : "";
    if (!RecordWeights(range, s, &net.weights, &run, &error)) return fail(1, error);

    if (!a.quiet) {
        PrintRunEnd(out, run);
        ErrorCurve curve;
        curve.train = run.trainCurve;
        curve.test = run.validationCurve.empty() ? std::vector<double>(run.trainCurve.size(), 1.0)
                                                 : run.validationCurve;
        curve.bucketSize = plan.chunk;
        curve.secondName = "validation";
        out << "\nError history (RMS error on the 0..1 scale; * training, o validation)\n"
            << ErrorChart(curve);
        out << "\nResults (errors in the columns' own units)\n";
        PrintSetFigures(out, run);
        ShowRows(out, sheet, range, run.predictions, a.show);
        out << "\n";
        PrintWeightHistogram(out, net.weights, a.bins);
    }
    for (const std::string& w : run.warnings)
        err << "quarrow train: warning: " << w << "\n";
    if (!a.out.empty()) {
        if (!WriteTextFile(
                a.out, WorksheetCsv(WithPredictions(sheet, sheet.columnCount(), run.predictions)),
                &error))
            return fail(1, error);
        if (!a.quiet) out << "Wrote the outputs to " << a.out << "\n";
    }
    if (!a.metrics.empty()) {
        if (!WriteTextFile(a.metrics, MetricsJson(run), &error)) return fail(1, error);
        if (!a.quiet) out << "Wrote the figures to " << a.metrics << "\n";
    }
    if (!WriteRunFiles(a.xlsx, a.report, sheet, run, a.quiet, out, &error)) return fail(1, error);
    if (!a.save.empty()) {
        if (!SaveNetworkFile(a.save, net, &error)) return fail(1, error);
        if (!a.quiet) out << "\nSaved the network to " << a.save << "\n";
    }
    return 0;
}
