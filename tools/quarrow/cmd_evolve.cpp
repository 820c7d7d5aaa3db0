#include "command_common.h"
#include "commands.h"
#include "csv.h"
#include "design_search.h"
#include "network_file.h"
#include "supervisor_search.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

struct EvolveSettings {
    std::string search = "random"; // random, halving or breed
    std::string score = "validation";
    int networks = 40, epochs = 300;
    double validation = 0.25; // share of the TRAIN rows that measures designs
    DesignSpace space;
    BreedingPlan plan;
};

// Defaults measured with bench/search_compare.py: random search at 40 networks x 300 epochs
// was never beaten by the supervisor's breeding at the same budget; 20 x 2 is the breeding
// setting that came closest.
bool ReadEvolveSettings(const Options& o, EvolveSettings* e, std::string* error) {
    e->plan.population = 20;
    e->plan.generations = 2;
    bool ok = o.Integer("networks", 1, 100000, &e->networks, error) &&
              o.Integer("population", 1, 1000, &e->plan.population, error) &&
              o.Integer("generations", 1, 1000, &e->plan.generations, error) &&
              o.Integer("epochs", 1, 32767, &e->epochs, error) &&
              o.Integer("breed", 1, 3, &e->plan.breed, error) &&
              o.Number("crossover", 0.0, 10.0, &e->plan.crossover, error) &&
              o.Number("mutation", 0.0, 1.0, &e->plan.mutation, error) &&
              o.Integer("max-layers", 2, 5, &e->space.maxLayers, error) &&
              o.Integer("max-hidden", 1, 1000, &e->space.maxHidden, error) &&
              o.Number("inclusion", 0.01, 1.0, &e->space.inclusion, error) &&
              o.Number("min-rate", 0.0, 1.0, &e->space.minRate, error) &&
              o.Number("max-momentum", 0.0, 1.0, &e->space.maxMomentum, error) &&
              o.Number("max-noise", 0.0, 0.1, &e->space.maxNoise, error) &&
              o.Number("validation", 0.05, 0.9, &e->validation, error);
    if (!ok) return false;
    e->plan.epochs = e->epochs;
    e->search = o.Text("search", "random");
    e->score = o.Text("score", "validation");
    if (e->search != "random" && e->search != "halving" && e->search != "breed") {
        *error = "--search \"" + e->search + "\": expected random, halving or breed";
        return false;
    }
    if (e->score != "validation" && e->score != "train" && e->score != "test") {
        *error = "--score \"" + e->score + "\": expected validation, train or test";
        return false;
    }
    if (e->search != "breed" && (o.Has("save-pop") || o.Has("load-pop"))) {
        *error = "--save-pop and --load-pop keep the population of --search breed";
        return false;
    }
    e->plan.trainMode = e->score == "train" ? 2 : 4;
    return true;
}

int CountRows(const Range& range, const char* word) {
    int n = 0;
    for (int r = range.window - 1; r < range.rows(); ++r)
        n += range.IsDataRow(r) && range.mode[r] == word ? 1 : 0;
    return n;
}

std::string Clock(double seconds) {
    const long s = std::lround(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

std::string DesignText(const Range& range, const Design& d) {
    std::string hidden, inputs;
    for (size_t k = 0; k < d.hidden.size(); ++k)
        hidden += (k ? "," : "") + std::to_string(d.hidden[k]);
    for (size_t k = 0; k < range.inputs.size(); ++k)
        if (d.inputs[k]) inputs += (inputs.empty() ? "" : ",") + range.inputs[k].name;
    char line[160];
    std::snprintf(line, sizeof line, "hidden %-7s rate %.4f momentum %.4f noise %.4f  inputs ",
                  hidden.empty() ? "0" : hidden.c_str(), d.rate, d.momentum, d.noise);
    return line + inputs;
}

// An option value as the shell reads it back unchanged.
std::string ShellWord(const std::string& text) {
    bool plain = !text.empty();
    for (char c : text)
        plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || strchr("+-_.,/:=@%", c));
    if (plain) return text;
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The `train` command that builds the winner again: the same rows, inputs, settings (every
// number written so that it reads back to the same double), weight range, seed and epochs.
std::string TrainCommand(const Options& o, const Range& range, const NetSettings& s,
                         const Design& d, int epochs) {
    std::string inputs, outputs, hidden;
    for (size_t k = 0; k < range.inputs.size(); ++k)
        if (d.inputs[k]) inputs += (inputs.empty() ? "" : ",") + range.inputs[k].name;
    for (const RangeColumn& c : range.outputs)
        outputs += (outputs.empty() ? "" : ",") + c.name;
    for (size_t k = 0; k < d.hidden.size(); ++k)
        hidden += (k ? "," : "") + std::to_string(d.hidden[k]);
    std::string command = "quarrow train " + ShellWord(o.positional[0]) + " --inputs " +
                          ShellWord(inputs) + " --outputs " + ShellWord(outputs);
    // Options that shape the rows and the network pass through as they were given.
    for (const char* name : {"mode", "method", "transfer", "gain", "margin", "tolerance",
                             "test-tolerance", "window", "step", "split"})
        if (o.Has(name)) command += std::string(" --") + name + " " + ShellWord(o.Text(name));
    if (s.shuffle) command += " --shuffle";
    command += " --hidden " + (hidden.empty() ? std::string("0") : hidden) + " --rate " +
               ExactNumber(d.rate) + " --momentum " + ExactNumber(d.momentum) + " --noise " +
               ExactNumber(d.noise) + " --range " + ExactNumber(s.weightRange) + " --seed " +
               std::to_string(s.seed) + " --epochs " + std::to_string(epochs);
    return command;
}

bool SavePopulation(const std::string& path, std::string* error) {
    std::vector<Cell> cells;
    if (!UnloadPopulation(&cells, error)) return false;
    std::string text = "population\n";
    for (const Cell& c : cells)
        text += CsvQuote(c.text) + "\n";
    return WriteTextFile(path, text, error);
}

bool ReadPopulation(const std::string& path, std::vector<Cell>* cells, std::string* error) {
    Worksheet sheet;
    if (!LoadWorksheet(path, &sheet, error)) return false;
    for (const auto& row : sheet.rows)
        cells->push_back(row[0]);
    return true;
}

void PrintKeptInputs(std::ostream& out, const Range& range, const std::vector<Candidate>& last,
                     const std::string& what) {
    out << "\nInputs kept across " << what << " (" << last.size() << " designs)\n";
    for (size_t k = 0; k < range.inputs.size(); ++k) {
        int kept = 0;
        for (const Candidate& c : last)
            kept += k < c.design.inputs.size() && c.design.inputs[k] ? 1 : 0;
        const int share =
            last.empty() ? 0 : static_cast<int>(std::lround(100.0 * kept / last.size()));
        out << "  " << Pad(range.inputs[k].name, 16) << Pad(std::to_string(share) + " %", 6)
            << std::string(share / 5, '=') << "\n";
    }
}

} // namespace

int CommandEvolve(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    using Clocked = std::chrono::steady_clock;
    const auto started = Clocked::now();
    std::set<std::string> valueNames = NetworkOptionNames();
    valueNames.insert({"search", "networks", "population", "generations", "epochs", "score",
                       "validation", "breed", "crossover", "mutation", "max-layers", "max-hidden",
                       "inclusion", "min-rate", "max-momentum", "max-noise", "save", "save-pop",
                       "load-pop"});
    Options o;
    NetSettings s;
    EvolveSettings e;
    Worksheet sheet;
    ColumnChoice choice;
    Range range;
    std::string error;
    std::set<std::string> switchNames = NetworkSwitchNames();
    switchNames.insert("drop-inputs");
    if (!ParseOptions(args, valueNames, switchNames, &o, &error) ||
        !ReadNetSettings(o, &s, &error) || !ReadEvolveSettings(o, &e, &error) ||
        !SheetRange(o, s, &sheet, &choice, &range, &error)) {
        err << "quarrow evolve: " << error << "\n";
        return 2;
    }
    // The rows' roles are fixed once, as `train` splits them with these settings; every network
    // of the search is then handed the same roles row by row.
    if (s.split >= 0.0) {
        if (!LoadNetwork(range, s, false, &error)) {
            err << "quarrow evolve: " << error << "\n";
            return 1;
        }
        MarkSplitRows(&range, s);
        range.modeColumn = true; // the marked roles are handed over row by row
    }
    const int testRows = CountRows(range, "TEST");
    if (e.score == "test" && testRows == 0) {
        err << "quarrow evolve: --score test needs TEST rows: a mode column or --split\n";
        return 2;
    }
    std::vector<char> validation(range.rows(), 0);
    if (e.score == "validation") validation = ChooseValidationRows(range, e.validation, s.seed);
    const Range view = e.score == "test" ? range : SearchView(range, validation);
    if (e.score == "validation" && CountRows(view, "TEST") == 0) {
        err << "quarrow evolve: too few TRAIN rows to set a validation part aside\n";
        return 2;
    }
    if (e.score == "test")
        err << "quarrow evolve: warning: --score test picks the winner by its error on the TEST "
               "rows, so the TEST figures below are not an honest estimate of new data\n";

    const int budget = e.search == "breed" ? e.plan.population * e.plan.generations : e.networks;
    out << "Evolving networks for " << o.positional[0] << "\n";
    out << "  candidate inputs " << DescribeColumns(range.inputs) << "\n";
    out << "  outputs          " << DescribeColumns(range.outputs) << "\n";
    out << "  search           "
        << (e.search == "random" ? "random designs"
            : e.search == "halving"
                ? "successive halving"
                : "genetic breeding, population " + std::to_string(e.plan.population) + " x " +
                      std::to_string(e.plan.generations) + " generations")
        << ", " << budget << " networks x " << e.epochs << " epochs\n";
    out << "  scored on        "
        << (e.score == "validation"
                ? std::to_string(CountRows(view, "TEST")) + " validation rows set aside from " +
                      std::to_string(CountRows(range, "TRAIN") + CountRows(range, "")) +
                      " TRAIN rows; the " + std::to_string(testRows) + " TEST rows stay unseen"
            : e.score == "test" ? "the " + std::to_string(testRows) + " TEST rows"
                                : "the TRAIN rows")
        << "\n\n";

    auto progress = [&](const SearchProgress& p) {
        const double spent = std::chrono::duration<double>(Clocked::now() - started).count();
        const double left =
            p.epochsDone > 0 ? spent * (p.epochsTotal - p.epochsDone) / p.epochsDone : 0.0;
        char head[96];
        const std::string stage = e.search == "random" || p.stage == 0
                                      ? ""
                                      : (e.search == "breed" ? "gen " : "rung ") +
                                            std::to_string(p.stage) + " #" +
                                            std::to_string(p.index);
        std::snprintf(head, sizeof head, "  %-10s %4d/%-4d %-14s RMS %.5f  left %s  ",
                      stage.c_str(), p.trained, p.total, FigureText(range, p.latest.figure).c_str(),
                      p.latest.error, Clock(left).c_str());
        out << head << DesignText(range, p.latest.design) << "\n";
    };
    SearchResult result;
    bool ok;
    if (e.search == "breed") {
        std::vector<Cell> loaded;
        if (o.Has("load-pop")) {
            if (!ReadPopulation(o.Text("load-pop"), &loaded, &error)) {
                err << "quarrow evolve: " << error << "\n";
                return 1;
            }
            const int size = static_cast<int>(PopulationDesigns(loaded).size());
            if (!o.Has("population") && size > 0) e.plan.population = size;
            out << "  population of " << size << " loaded from " << o.Text("load-pop") << "\n";
        }
        ok = SupervisorSearch(view, s, e.space, e.plan, s.seed,
                              o.Has("load-pop") ? &loaded : nullptr, progress, &result, &error);
    } else if (e.search == "halving") {
        ok = HalvingSearch(view, s, e.space, e.networks, e.epochs, s.seed, progress, &result,
                           &error);
    } else {
        ok =
            RandomSearch(view, s, e.space, e.networks, e.epochs, s.seed, progress, &result, &error);
    }
    if (ok && o.On("drop-inputs")) {
        out << "\nLeaving out the winner's inputs one at a time\n";
        ok = DropInputs(view, s, static_cast<int>(range.inputs.size()), progress, &result, &error);
    }
    if (!ok) {
        err << "quarrow evolve: " << error << "\n";
        return 1;
    }
    if (o.Has("save-pop")) {
        if (!SavePopulation(o.Text("save-pop"), &error)) {
            err << "quarrow evolve: " << error << "\n";
            return 1;
        }
        out << "Saved the population to " << o.Text("save-pop") << "\n";
    }
    PrintKeptInputs(out, range, result.last,
                    e.search == "breed"     ? "the last population"
                    : e.search == "halving" ? "the last rung"
                                            : "the best quarter of the designs");

    // The winner: early stopping on the validation rows picks its epoch count, then it is
    // trained afresh on every TRAIN row, exactly as the printed `train` command trains it.
    const Design& d = result.best.design;
    const NetSettings winner = DesignSettings(s, d);
    const Range winnerRange = DesignRange(range, d);
    FinalTraining final;
    const int chunk = e.score == "validation" ? std::max(1, result.best.epochs / 20) : 0;
    if (!TrainFinal(range, view, d, s, result.best.epochs, chunk, &final, &error)) {
        err << "quarrow evolve: " << error << "\n";
        return 1;
    }
    out << "\nBest design (" << FigureText(range, result.best.figure) << " on "
        << (e.score == "validation" ? "validation"
            : e.score == "test"     ? "TEST"
                                    : "TRAIN")
        << " rows while searching)\n  " << DesignText(range, d) << "\n";
    if (chunk > 0)
        out << "  early stopping on the validation rows: " << final.bestEpoch << " of "
            << result.best.epochs << " epochs\n";
    out << "\nWinner trained on all TRAIN rows\n";
    std::vector<Cell> outputs;
    for (size_t k = 0; k < winnerRange.outputs.size(); ++k) {
        if (!ReadOutputs(winnerRange, static_cast<int>(k), 1, &outputs, &error)) {
            err << "quarrow evolve: " << error << "\n";
            return 1;
        }
        const RangeColumn& c = winnerRange.outputs[k];
        out << "  " << c.name << ": training rows "
            << FormatScore(c, ScoreOutput(winnerRange, c, outputs, {"", "TRAIN"}));
        if (testRows > 0)
            out << "; testing rows "
                << FormatScore(c, ScoreOutput(winnerRange, c, outputs, {"TEST"}));
        out << "\n";
    }
    out << "\nThe same network from train:\n  " << TrainCommand(o, range, s, d, final.bestEpoch)
        << "\n";
    if (s.shuffle)
        out << "  (a shuffled split is drawn after the weights, so train splits the rows alike "
               "only for a network of "
            << s.layerCount()
            << " layers of the same sizes; a mode "
               "column fixes the rows for any network)\n";
    if (o.Has("save")) {
        NetworkFile net =
            NetworkOfRange(winnerRange, winner, choice.mode >= 0 ? sheet.names[choice.mode] : "");
        net.weights = final.weights;
        if (!SaveNetworkFile(o.Text("save"), net, &error)) {
            err << "quarrow evolve: " << error << "\n";
            return 1;
        }
        out << "Saved the winning network to " << o.Text("save") << "\n";
    }
    const double total = std::chrono::duration<double>(Clocked::now() - started).count();
    out << "\n"
        << result.trained << " networks trained (" << static_cast<long>(result.epochs)
        << " epochs) in " << Clock(total) << "\n";
    return 0;
}
