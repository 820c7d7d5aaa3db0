// Design searches compared at the same budget: the genetic supervisor with given breeding
// settings, plain random search and successive halving over the same design space, and the
// single network of `train`'s defaults. For every seed the sheet's rows are split at random into
// TRAIN and TEST rows; a search sees only the TRAIN rows (a validation fifth of them measures
// each design); the winner is trained as `train` trains it (early stopping on the validation
// rows, the best weights kept) and scored once on the TEST rows. One line per seed,
// tab-separated:
//   method  seed  validation-rms  test-figure  inputs-kept  noise-inputs-kept  networks  epochs
// The test figure is the share of rows right for a symbolic output, the RMS error in data
// units for a numeric one.
#include "design_search.h"
#include "engine_session.h"
#include "holdout.h"
#include "supervisor_search.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

namespace {

struct Args {
    std::string sheet, output, method = "random";
    int seeds = 10, firstSeed = 1, networks = 40, epochs = 300;
    double testShare = 0.3, validationShare = 0.2;
    DesignSpace space;
    BreedingPlan plan;
};

bool ReadArgs(int argc, char** argv, Args* a) {
    std::map<std::string, std::string> v;
    for (int k = 1; k < argc; ++k) {
        std::string name = argv[k];
        if (name.rfind("--", 0) != 0 || k + 1 >= argc) {
            if (a->sheet.empty() && name.rfind("--", 0) != 0) {
                a->sheet = name;
                continue;
            }
            return false;
        }
        v[name.substr(2)] = argv[++k];
    }
    auto num = [&](const char* n, double* out) {
        if (v.count(n)) *out = std::atof(v[n].c_str());
    };
    auto integer = [&](const char* n, int* out) {
        if (v.count(n)) *out = std::atoi(v[n].c_str());
    };
    a->output = v["output"];
    if (v.count("method")) a->method = v["method"];
    integer("seeds", &a->seeds);
    integer("first-seed", &a->firstSeed);
    integer("networks", &a->networks);
    integer("epochs", &a->epochs);
    num("test-share", &a->testShare);
    num("validation", &a->validationShare);
    num("inclusion", &a->space.inclusion);
    integer("max-layers", &a->space.maxLayers);
    integer("max-hidden", &a->space.maxHidden);
    num("min-rate", &a->space.minRate);
    num("max-momentum", &a->space.maxMomentum);
    num("max-noise", &a->space.maxNoise);
    integer("population", &a->plan.population);
    integer("generations", &a->plan.generations);
    integer("breed", &a->plan.breed);
    num("crossover", &a->plan.crossover);
    num("mutation", &a->plan.mutation);
    a->plan.epochs = a->epochs;
    integer("schema-epochs", &a->plan.epochs);
    return !a->sheet.empty() && !a->output.empty();
}

// Every column but the output is a candidate input; classes as one output unit each, as
// `train` learns them by default.
bool LoadRange(const Args& a, Range* range, std::string* error) {
    Worksheet sheet;
    if (!LoadWorksheet(a.sheet, &sheet, error)) return false;
    RangeRequest request;
    request.scaleMargin = NetSettings().margin / 2.0;
    request.oneHot = true;
    for (int c = 0; c < sheet.columnCount(); ++c)
        (sheet.names[c] == a.output ? request.columns.outputs : request.columns.inputs)
            .push_back(c);
    return BuildRange(sheet, request, range, error);
}

// The seed's TRAIN/TEST split of the data rows (stratified by class, as the hold-out is).
Range SplitForSeed(const Range& range, double testShare, int seed) {
    Range split = range;
    HoldOut(&split, testShare, seed * 7919 + 17);
    for (std::string& word : split.mode)
        if (word == "VALIDATION") word = "TEST";
    split.modeColumn = true;
    return split;
}

// The winner trained as `train` trains it: on the TRAIN rows outside the validation part, its
// validation error measured every 30 epochs, stopped after 300 epochs without a better one; the
// weights of the best point are kept. Answers the TEST figure.
bool TrainFinal(const Range& marked, const Design& d, const NetSettings& base, int epochs,
                double* validation, double* figure, std::string* error) {
    constexpr int kChunk = 30, kPatience = 300;
    const NetSettings s = DesignSettings(base, d);
    const Range view = DesignRange(SearchView(marked), d);
    const int count = WeightCount(
        LayerSizes(s, static_cast<int>(view.inputs.size()), static_cast<int>(view.outputs.size())));
    if (!LoadNetwork(view, s, false, error)) return false;
    RandomizeWeights(1, static_cast<int16_t>(s.seed), s.weightRange);
    std::vector<double> weights, best;
    for (int done = 0, since = 0; done < epochs && since < kPatience;) {
        const int ask = std::min(kChunk, epochs - done);
        RunStats stats, recall;
        if (!RunEpochs(true, ask, &stats) || !ReadWeights(count, &weights, error) ||
            !RunEpochs(false, 1, &recall))
            return false;
        done += ask;
        since += ask;
        if (best.empty() || recall.rms < *validation) {
            *validation = recall.rms;
            best = weights;
            since = 0;
        }
    }
    const Range scored = DesignRange(marked, d);
    RunStats recall;
    if (!LoadNetwork(scored, s, false, error) || !WriteWeights(best, error) ||
        !RunEpochs(false, 1, &recall))
        return false;
    *figure = SheetFigure(scored, {"TEST"});
    return true;
}

bool RunSeed(const Args& a, const Range& full, int seed, std::string* error) {
    Range marked = SplitForSeed(full, a.testShare, seed);
    HoldOut(&marked, a.validationShare, seed);
    const Range view = SearchView(marked);
    NetSettings base;
    base.oneHot = true;
    const int candidates = static_cast<int>(marked.inputs.size());
    SearchResult result;
    bool ok = true;
    if (a.method == "random")
        ok = RandomSearch(view, base, a.space, a.networks, a.epochs, seed, nullptr, &result, error);
    else if (a.method == "random+drop")
        // The budget is shared: one network per candidate input is kept for the dropping.
        ok = RandomSearch(view, base, a.space, std::max(1, a.networks - candidates), a.epochs, seed,
                          nullptr, &result, error) &&
             DropInputs(view, base, a.networks - result.trained, nullptr, &result, error);
    else if (a.method == "halving")
        ok =
            HalvingSearch(view, base, a.space, a.networks, a.epochs, seed, nullptr, &result, error);
    else if (a.method == "breed")
        ok = SupervisorSearch(view, base, a.space, a.plan, seed, nullptr, nullptr, &result, error);
    else if (a.method == "defaults") {
        // `train` with its defaults: every input, up to 3000 epochs.
        result.best.design = DesignOf(base, candidates);
        result.best.epochs = 3000;
        result.trained = 1;
    } else {
        *error = "unknown method " + a.method;
        return false;
    }
    if (!ok) return false;
    const Design& d = result.best.design;
    double validation = 1.0, figure = 0.0;
    if (!TrainFinal(marked, d, base, result.best.epochs, &validation, &figure, error)) return false;
    int kept = 0, noise = 0;
    for (int k = 0; k < candidates; ++k)
        if (d.inputs[k]) {
            ++kept;
            noise += marked.inputs[k].name.rfind("noise", 0) == 0 ? 1 : 0;
        }
    std::printf("%s\t%d\t%.6f\t%.6f\t%d\t%d\t%d\t%.0f\n", a.method.c_str(), seed,
                a.method == "defaults" ? validation : result.best.error, figure, kept, noise,
                result.trained, result.epochs);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Args a;
    if (!ReadArgs(argc, argv, &a)) {
        std::cerr
            << "usage: search_compare SHEET.csv --output NAME [--method "
               "random|random+drop|halving|breed|defaults] [--seeds N] [--networks N] [--epochs N] "
               "[breeding and space settings]\n";
        return 2;
    }
    Range full;
    std::string error;
    if (!LoadRange(a, &full, &error)) {
        std::cerr << "search_compare: " << error << "\n";
        return 1;
    }
    for (int seed = a.firstSeed; seed < a.firstSeed + a.seeds; ++seed)
        if (!RunSeed(a, full, seed, &error)) {
            std::cerr << "search_compare: seed " << seed << ": " << error << "\n";
            return 1;
        }
    CleanUp();
    return 0;
}
