// Design searches compared at the same budget: the genetic supervisor with given breeding
// settings, plain random search and successive halving over the same design space, and the
// single network of `train`'s defaults. For every seed the sheet's rows are split at random into
// TRAIN and TEST rows; a search sees only the TRAIN rows (a validation part of them measures each
// design); early stopping on the validation part picks the winner's epoch count, it is trained
// afresh for that long on all TRAIN rows and scored once on the TEST rows. One line per seed,
// tab-separated:
//   method  seed  validation-rms  test-figure  inputs-kept  noise-inputs-kept  networks  epochs
// The test figure is the share of rows right for a symbolic output, the RMS error in data
// units for a numeric one.
#include "design_search.h"
#include "supervisor_search.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

namespace {

struct Args {
    std::string sheet, output, method = "random";
    int seeds = 10, firstSeed = 1, networks = 40, epochs = 300;
    double testShare = 0.3, validationShare = 0.25;
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

// Every column but the output is a candidate input.
bool LoadRange(const Args& a, Range* range, std::string* error) {
    Worksheet sheet;
    if (!LoadWorksheet(a.sheet, &sheet, error)) return false;
    RangeRequest request;
    request.scaleMargin = NetSettings().margin / 2.0;
    for (int c = 0; c < sheet.columnCount(); ++c)
        (sheet.names[c] == a.output ? request.columns.outputs : request.columns.inputs)
            .push_back(c);
    return BuildRange(sheet, request, range, error);
}

// The seed's TRAIN/TEST split of the data rows.
Range SplitForSeed(const Range& range, double testShare, int seed) {
    Range split = range;
    const std::vector<char> test =
        ChooseValidationRows(range, testShare, static_cast<uint32_t>(seed) * 7919u + 17u);
    for (int r = 0; r < split.rows(); ++r)
        if (IsTrainRow(range, r)) split.mode[r] = test[r] ? "TEST" : "TRAIN";
    split.modeColumn = true;
    return split;
}

bool RunSeed(const Args& a, const Range& full, int seed, std::string* error) {
    const Range range = SplitForSeed(full, a.testShare, seed);
    const Range view = SearchView(range, ChooseValidationRows(range, a.validationShare, seed));
    NetSettings base;
    const int candidates = static_cast<int>(range.inputs.size());
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
        result.best.design = DesignOf(base, candidates);
        result.best.epochs = 500;
        result.trained = 1;
    } else {
        *error = "unknown method " + a.method;
        return false;
    }
    if (!ok) return false;
    const Design& d = result.best.design;
    FinalTraining final;
    if (!TrainFinal(range, view, d, base, result.best.epochs, std::max(1, result.best.epochs / 10),
                    &final, error))
        return false;
    const double figure = SheetFigure(DesignRange(range, d), {"TEST"});
    int kept = 0, noise = 0;
    for (int k = 0; k < candidates; ++k)
        if (d.inputs[k]) {
            ++kept;
            noise += range.inputs[k].name.rfind("noise", 0) == 0 ? 1 : 0;
        }
    std::printf("%s\t%d\t%.6f\t%.6f\t%d\t%d\t%d\t%.0f\n", a.method.c_str(), seed,
                a.method == "defaults" ? final.validation : result.best.error, figure, kept, noise,
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
