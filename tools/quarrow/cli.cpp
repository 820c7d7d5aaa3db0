#include "cli.h"

#include "column_lists.h"
#include "commands.h"
#include "population_file.h"
#include "quar1432.h"
#include "worksheet.h"

#include <CLI/CLI.hpp>

#include <cmath>

#ifndef QUARROW_VERSION
#define QUARROW_VERSION "unknown"
#endif

namespace {

const char kDescription[] =
    "quarrow: neural networks on worksheets: CSV files or .xlsx workbooks.\n"
    "The first row of a sheet names its columns. Columns are chosen by name (\"x1,x2\"), by\n"
    "spreadsheet letter (\"A,B\") or as ranges (\"A:D\", \"height:weight\"); a name is tried\n"
    "before letters. A column of texts is symbolic: each text is one class. An empty row is a\n"
    "blank row. A mode column (--mode) may mark each row TRAIN, TEST or SKIP and hold MIN, MAX\n"
    "and SYMBOL rows that fix a column's range or its list of classes.";

// The options that shape the network and its training, shared by train and evolve.
void AddSheetOptions(CLI::App* app, SheetArgs* a, std::string* hidden, std::string* method) {
    NetSettings& s = a->settings;
    app->add_option("sheet", a->sheet, "the worksheet: a CSV file or an .xlsx workbook")
        ->required();
    app->add_option("--sheet", a->sheetName, "the workbook's sheet to read (default: the first)");
    app->add_option("--inputs,-i", a->inputs, "input columns")->required();
    app->add_option("--outputs,-o", a->outputs, "output columns")->required();
    app->add_option("--mode,-m", a->mode, "the mode column (TRAIN, TEST, SKIP, MIN, MAX, SYMBOL)");
    app->add_option("--symbolic", a->symbolic,
                    "treat every value of COLUMN as a class, numbers included")
        ->delimiter(',')
        ->allow_extra_args(false);
    app->add_option("--classes", a->classes,
                    "COLUMN=a,b,c: the order of a symbolic column's classes "
                    "(else numbers by value, then texts alphabetically)")
        ->allow_extra_args(false);
    app->add_option("--hidden", *hidden, "hidden layer sizes, e.g. 6,3 (0: none)")
        ->default_str(std::to_string(s.hidden[0]));
    app->add_option("--method", *method, "double, or fixed (16-bit fixed point)")
        ->check(CLI::IsMember({"double", "fixed"}))
        ->default_str("double");
    app->add_option("--rate", s.rate, "learning rate")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    app->add_option("--momentum", s.momentum, "momentum")
        ->check(CLI::Range(0.0, 0.999))
        ->capture_default_str();
    app->add_option("--noise", s.noise, "input noise, a share of each input's range")
        ->check(CLI::Range(0.0, 10.0));
    app->add_option("--tolerance", s.trainTolerance,
                    "an output within this share of its range counts as within tolerance")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    app->add_option("--test-tolerance", s.testTolerance, "the same for testing rows")
        ->check(CLI::Range(0.0, 1.0));
    app->add_option("--transfer", s.transfer,
                    "1 gaussian, 2 linear, 3 logistic, 4 step, 5 symmetric logistic, "
                    "6 square ratio")
        ->check(CLI::Range(1, 6))
        ->capture_default_str();
    app->add_option("--gain", s.gain, "gain of the transfer function")
        ->check(CLI::Range(-100.0, 100.0))
        ->capture_default_str();
    app->add_option("--margin", s.margin, "widens each column's range by half of it each side")
        ->check(CLI::Range(0.0, 10.0))
        ->capture_default_str();
    app->add_option("--range", s.weightRange, "initial weights are drawn from -R .. R")
        ->check(CLI::Range(0.0, 100.0))
        ->capture_default_str();
    app->add_option("--seed", s.seed, "seed of the weights, the noise and the hold-out")
        ->check(CLI::Range(-32768, 32767))
        ->capture_default_str();
    app->add_option("--window", s.window, "rows per pattern")->check(CLI::Range(1, 100));
    app->add_option("--step", s.step, "pattern step")->check(CLI::Range(1, 1000));
    app->add_option("--split", s.split, "the first share of the rows train, the rest test")
        ->check(CLI::Range(0.0, 1.0));
    app->add_flag("--shuffle", s.shuffle, "--split draws a random share instead");
    app->add_option("--hours", s.hours, "time budget of the training run")
        ->check(CLI::Range(0.0, 1000.0));
    app->add_option("--train-rise", s.trainRise, "stop when the training error rises by this")
        ->check(CLI::Range(0.0, 1.0));
    app->add_option("--test-rise", s.testRise,
                    "stop when the TEST rows' error rises by this (the TEST figures then "
                    "have seen the stopping decision; prefer --validate)")
        ->check(CLI::Range(0.0, 1.0));
    app->add_flag("--auto-rate", s.autoRate, "the learning rate follows the error");
}

// Settings that need more than one option's value.
std::string FinishSheetArgs(CLI::App* app, SheetArgs* a, const std::string& hidden,
                            const std::string& method) {
    NetSettings& s = a->settings;
    s.method = method == "fixed" ? CALC_FIXED16 : CALC_DOUBLE;
    if (!hidden.empty()) {
        std::string why = ParseHidden(hidden, &s.hidden);
        if (!why.empty()) return why;
    }
    if (app->count("--test-tolerance") == 0) s.testTolerance = s.trainTolerance;
    if (s.shuffle && s.split < 0.0) return "--shuffle needs --split";
    return "";
}

} // namespace

std::string ParseHidden(const std::string& text, std::vector<int>* sizes) {
    sizes->clear();
    std::vector<std::string> items = SplitList(text);
    if (items.size() == 1 && items[0] == "0") return "";
    if (items.empty() || items.size() > 4) return "--hidden \"" + text + "\": one to four sizes";
    for (const std::string& item : items) {
        Cell c = CellFromField(item);
        if (c.kind != CellKind::Number || c.number != std::floor(c.number) || c.number < 1 ||
            c.number > 32767)
            return "--hidden \"" + text + "\": expected sizes such as 4 or 6,3";
        sizes->push_back(static_cast<int>(c.number));
    }
    return "";
}

int RunQuarrow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App app(kDescription, "quarrow");
    app.set_version_flag("--version", std::string("quarrow ") + QUARROW_VERSION);
    app.require_subcommand(1);
    app.fallthrough(false);

    TrainArgs train;
    std::string trainHidden, trainMethod;
    CLI::App* t = app.add_subcommand("train", "train a network on a sheet");
    AddSheetOptions(t, &train.sheet, &trainHidden, &trainMethod);
    t->add_option("--epochs", train.epochs, "most epochs to train")->check(CLI::Range(1, 1000000));
    t->add_option("--chunk", train.chunk, "epochs between progress lines and validation checks")
        ->check(CLI::Range(1, 32767));
    t->add_option("--goal", train.goal, "stop once the training RMS error (0..1 scale) is below")
        ->check(CLI::Range(0.0, 1.0));
    t->add_option("--validate", train.validate,
                  "hold out this share of the TRAIN rows to stop on and keep the best weights "
                  "(0: off; default 0.2 with 40 or more TRAIN rows)")
        ->check(CLI::Range(0.0, 0.9));
    t->add_option("--patience", train.patience,
                  "stop after this many epochs without a better validation error")
        ->check(CLI::Range(1, 1000000));
    t->add_option("--encoding", train.encoding,
                  "symbolic outputs: one-hot (one 0/1 output per class, the largest wins) or "
                  "coded (one output, class k at k + 0.5)")
        ->check(CLI::IsMember({"one-hot", "coded"}));
    t->add_option("--input-encoding", train.inputEncoding,
                  "symbolic inputs: one-hot (one 0/1 input per class) or coded (one input, "
                  "class k at k + 0.5)")
        ->check(CLI::IsMember({"one-hot", "coded"}));
    t->add_option("--net", train.resume, "resume training from this saved network");
    t->add_option("--save", train.save, "save the network to this file");
    t->add_option("--out", train.out, "write the sheet with the predictions to this CSV file");
    t->add_option("--metrics", train.metrics, "write every figure of the run to this JSON file");
    t->add_option("--xlsx", train.xlsx,
                  "write a workbook: the sheet with its predictions, the figures and charts");
    t->add_option("--report", train.report, "write a report page (HTML) with the charts");
    t->add_option("--bins", train.bins, "bins of the weight histogram")->check(CLI::Range(1, 30));
    t->add_option("--show", train.show, "rows shown with their predictions")
        ->check(CLI::Range(0, 100000));
    t->add_flag("--quiet,-q", train.quiet, "no text report");

    PredictArgs predict;
    CLI::App* p = app.add_subcommand("predict", "predict a sheet with a saved network");
    p->add_option("sheet", predict.sheet, "the worksheet: a CSV file or an .xlsx workbook")
        ->required();
    p->add_option("--sheet", predict.sheetName,
                  "the workbook's sheet to read (default: the first)");
    p->add_option("--net", predict.net, "the saved network")->required();
    p->add_option("--out", predict.out, "write the sheet with the predictions to this CSV file");
    p->add_option("--inputs,-i", predict.inputs, "input columns (default: by the network's names)");
    p->add_option("--mode,-m", predict.mode, "the mode column: scores per TRAIN and TEST rows");
    p->add_flag("--strict", predict.strict, "refuse rows outside the trained range");
    p->add_option("--metrics", predict.metrics, "write the figures to this JSON file");
    p->add_option("--xlsx", predict.xlsx,
                  "write a workbook: the sheet with its predictions, the figures and charts");
    p->add_option("--report", predict.report, "write a report page (HTML) with the charts");
    p->add_flag("--quiet,-q", predict.quiet, "no text report");

    EvolveArgs evolve;
    std::string evolveHidden, evolveMethod;
    CLI::App* e = app.add_subcommand("evolve", "search network designs (inputs, layers, rate, "
                                               "momentum, noise) and train the best");
    AddSheetOptions(e, &evolve.sheet, &evolveHidden, &evolveMethod);
    e->add_option("--search", evolve.search,
                  "random, halving (successive halving) or breed (the genetic supervisor)")
        ->check(CLI::IsMember({"random", "halving", "breed"}))
        ->capture_default_str();
    e->add_option("--networks", evolve.networks, "designs tried by random search or halving")
        ->check(CLI::Range(1, 100000))
        ->capture_default_str();
    e->add_option("--validate", evolve.validate,
                  "share of the TRAIN rows held out to rank the designs (as train holds it out)")
        ->check(CLI::Range(0.05, 0.9))
        ->capture_default_str();
    e->add_option("--encoding", evolve.encoding, "symbolic outputs: one-hot or coded (as train)")
        ->check(CLI::IsMember({"one-hot", "coded"}));
    e->add_option("--save", evolve.save, "save the winning network to this file");
    e->add_flag("--drop-inputs", evolve.dropInputs,
                "then leave the winner's inputs out one at a time, each for good when the "
                "validation error is no worse");
    e->add_option("--population", evolve.plan.population, "breed: schemas per generation")
        ->check(CLI::Range(1, kMaxPopulation))
        ->capture_default_str();
    e->add_option("--generations", evolve.plan.generations, "generations")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    e->add_option("--epochs", evolve.plan.epochs, "epochs per design")
        ->check(CLI::Range(1, kMaxEpochs))
        ->capture_default_str();
    e->add_option("--score", evolve.score,
                  "which rows rank the designs (test: the TEST figures are then not honest)")
        ->check(CLI::IsMember({"validation", "train", "test"}))
        ->capture_default_str();
    e->add_option("--breed", evolve.plan.breed, "breeding rule 1, 2 or 3")
        ->check(CLI::Range(1, 3))
        ->capture_default_str();
    e->add_option("--crossover", evolve.plan.crossover, "crossover rate")
        ->check(CLI::Range(0.0, 10.0))
        ->capture_default_str();
    e->add_option("--mutation", evolve.plan.mutation, "mutation rate")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    e->add_option("--max-layers", evolve.space.maxLayers, "largest layer count")
        ->check(CLI::Range(2, 5))
        ->capture_default_str();
    e->add_option("--max-hidden", evolve.space.maxHidden, "largest hidden layer drawn")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    e->add_option("--inclusion", evolve.space.inclusion, "chance that an input is used")
        ->check(CLI::Range(0.01, 1.0))
        ->capture_default_str();
    e->add_option("--min-rate", evolve.space.minRate, "smallest learning rate drawn")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    e->add_option("--max-momentum", evolve.space.maxMomentum, "largest momentum drawn")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    e->add_option("--max-noise", evolve.space.maxNoise, "largest noise drawn")
        ->check(CLI::Range(0.0, 0.1))
        ->capture_default_str();
    e->add_option("--save-pop", evolve.savePop, "keep the population in a one-column sheet");
    e->add_option("--load-pop", evolve.loadPop, "start from a saved population");
    e->add_option("--report", evolve.report, "write a report page (HTML) of the designs");

    WeightsArgs weights;
    CLI::App* w = app.add_subcommand("weights", "show the weights of a saved network");
    w->add_option("net", weights.net, "the saved network")->required();
    w->add_option("--bins", weights.bins, "bins of the weight histogram")
        ->check(CLI::Range(1, 30))
        ->capture_default_str();

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& failure) {
        const int code = app.exit(failure, out, err);
        return code == 0 ? 0 : 2;
    }

    std::string why;
    int code = 0;
    if (t->parsed()) {
        why = FinishSheetArgs(t, &train.sheet, trainHidden, trainMethod);
        if (why.empty()) code = CommandTrain(train, out, err);
    } else if (p->parsed()) {
        code = CommandPredict(predict, out, err);
    } else if (e->parsed()) {
        why = FinishSheetArgs(e, &evolve.sheet, evolveHidden, evolveMethod);
        evolve.populationGiven = e->count("--population") > 0;
        if (why.empty()) code = CommandEvolve(evolve, out, err);
    } else {
        code = CommandWeights(weights, out, err);
    }
    if (!why.empty()) {
        err << "quarrow: " << why << "\n";
        return 2;
    }
    CleanUp();
    return code;
}
