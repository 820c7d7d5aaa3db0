#include "cli.h"
#include "command_common.h"
#include "commands.h"
#include "csv.h"
#include "design_search.h"
#include "holdout.h"
#include "population_file.h"
#include "run_files.h"
#include "supervisor_search.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

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

// The `train` arguments that build the winner again: the same sheet, columns and rows, the
// design's inputs and settings (every number written so that it reads back to the same double),
// the same weight range, seed, epochs and validation rows.
std::vector<std::string> TrainArguments(const EvolveArgs& a, const NetSettings& s,
                                        const Range& range, const Design& d, int epochs) {
    const NetSettings plain;
    std::string inputs, hidden;
    bool byName = true;
    for (const RangeColumn& c : range.inputs)
        byName = byName && c.name.find_first_of(",:") == std::string::npos;
    for (size_t k = 0; k < range.inputs.size(); ++k)
        if (d.inputs[k])
            inputs += (inputs.empty() ? "" : ",") +
                      (byName ? range.inputs[k].name : ColumnLetters(range.inputs[k].sheetColumn));
    for (size_t k = 0; k < d.hidden.size(); ++k)
        hidden += (k ? "," : "") + std::to_string(d.hidden[k]);
    std::vector<std::string> args = {"train", a.sheet.sheet, "--inputs",
                                     inputs,  "--outputs",   a.sheet.outputs};
    auto add = [&](const char* name, const std::string& value) {
        args.insert(args.end(), {name, value});
    };
    if (!a.sheet.mode.empty()) add("--mode", a.sheet.mode);
    for (const std::string& c : a.sheet.symbolic)
        add("--symbolic", c);
    for (const std::string& c : a.sheet.classes)
        add("--classes", c);
    if (s.method != plain.method) add("--method", "fixed");
    if (s.transfer != plain.transfer) add("--transfer", std::to_string(s.transfer));
    const std::pair<const char*, double> numbers[] = {{"--gain", s.gain},
                                                      {"--margin", s.margin},
                                                      {"--tolerance", s.trainTolerance},
                                                      {"--test-tolerance", s.testTolerance},
                                                      {"--split", s.split},
                                                      {"--hours", s.hours},
                                                      {"--train-rise", s.trainRise},
                                                      {"--test-rise", s.testRise}};
    const double defaults[] = {plain.gain,  plain.margin, plain.trainTolerance, s.trainTolerance,
                               plain.split, plain.hours,  plain.trainRise,      plain.testRise};
    for (size_t k = 0; k < std::size(numbers); ++k)
        if (numbers[k].second != defaults[k]) add(numbers[k].first, ExactNumber(numbers[k].second));
    if (s.window != plain.window) add("--window", std::to_string(s.window));
    if (s.step != plain.step) add("--step", std::to_string(s.step));
    if (s.shuffle) args.push_back("--shuffle");
    if (s.autoRate) args.push_back("--auto-rate");
    add("--encoding", s.oneHot ? "one-hot" : "coded");
    // A design keeps or leaves out a whole column, so evolve gives each symbolic input one unit.
    add("--input-encoding", "coded");
    add("--hidden", hidden.empty() ? "0" : hidden);
    add("--rate", ExactNumber(d.rate));
    add("--momentum", ExactNumber(d.momentum));
    add("--noise", ExactNumber(d.noise));
    add("--range", ExactNumber(s.weightRange));
    add("--seed", std::to_string(s.seed));
    add("--epochs", std::to_string(epochs));
    add("--validate", a.score == "validation" ? ExactNumber(a.validate) : "0");
    return args;
}

bool SavePopulation(const std::string& path, std::string* error) {
    std::vector<Cell> cells;
    if (!UnloadPopulation(&cells, error)) return false;
    std::string text = "population\n";
    for (const Cell& c : cells)
        text += CsvQuote(c.text) + "\n";
    return WriteTextFile(path, text, error);
}

// A saved population, refused when it could not have been saved with the command line's limits.
bool ReadPopulation(const std::string& path, std::vector<Cell>* cells, std::string* error) {
    std::string text;
    if (!ReadTextFile(path, &text, error)) return false;
    if (!ReadPopulationText(text, cells, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

// A design as the report page lists it.
SchemaFigures DesignFigures(const Range& range, const Candidate& c, const std::string& label) {
    SchemaFigures f;
    f.label = label;
    f.hidden = c.design.hidden;
    f.rate = c.design.rate;
    f.momentum = c.design.momentum;
    f.noise = c.design.noise;
    f.error = c.error;
    f.epochs = c.epochs;
    for (size_t k = 0; k < range.inputs.size(); ++k)
        if (c.design.inputs[k]) f.inputs += (f.inputs.empty() ? "" : ",") + range.inputs[k].name;
    return f;
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

int CommandEvolve(const EvolveArgs& a, std::ostream& out, std::ostream& err) {
    using Clocked = std::chrono::steady_clock;
    const auto started = Clocked::now();
    NetSettings s = a.sheet.settings;
    s.oneHot = a.encoding != "coded";
    Worksheet sheet;
    ColumnChoice choice;
    Range range;
    RangeRequest request;
    request.oneHot = s.oneHot;
    std::string error;
    auto fail = [&](int code, const std::string& why) {
        err << "quarrow evolve: " << why << "\n";
        return code;
    };
    if (!LoadSheetColumns(a.sheet, &sheet, &choice, &error) ||
        !TrainingRange(a.sheet, sheet, choice, request, &range, &error))
        return fail(2, error);
    if (a.search != "breed" && (!a.savePop.empty() || !a.loadPop.empty()))
        return fail(2, "--save-pop and --load-pop keep the population of --search breed");
    if (s.testRise > 0.0 && a.score == "validation")
        return fail(2, "--test-rise stops on the TEST rows; the designs are ranked on validation "
                       "rows, so leave it out");
    // The rows' roles are fixed once, as `train` fixes them; every network of the search is then
    // handed the same roles row by row.
    if (s.split >= 0.0) {
        MarkSplitRows(&range, s);
        range.modeColumn = true;
    }
    const int testRows = CountRows(range, "TEST");
    if (a.score == "test" && testRows == 0)
        return fail(2, "--score test needs TEST rows: a mode column or --split");
    if (a.score == "validation" && HoldOut(&range, a.validate, s.seed) == 0)
        return fail(2, "too few TRAIN rows to hold validation rows out");
    range.modeColumn = true;
    const Range view = a.score == "test" ? range : SearchView(range);
    if (a.score == "test")
        err << "quarrow evolve: warning: --score test picks the winner by its error on the TEST "
               "rows, so the TEST figures below are not an honest estimate of new data\n";

    BreedingPlan plan = a.plan;
    plan.trainMode = a.score == "train" ? 2 : 4;
    const DesignSpace& space = a.space;

    std::vector<Cell> loaded;
    if (!a.loadPop.empty()) {
        if (!ReadPopulation(a.loadPop, &loaded, &error)) return fail(1, error);
        const int size = static_cast<int>(PopulationDesigns(loaded).size());
        if (!a.populationGiven && size > 0) plan.population = size;
    }
    const int budget = a.search == "breed" ? plan.population * plan.generations : a.networks;
    out << "Evolving networks for " << a.sheet.sheet << "\n";
    out << "  candidate inputs " << DescribeColumns(range.inputs) << "\n";
    out << "  outputs          " << DescribeColumns(range.targets) << "\n";
    out << "  search           "
        << (a.search == "random" ? std::string("random designs")
            : a.search == "halving"
                ? std::string("successive halving")
                : "genetic breeding, population " + std::to_string(plan.population) + " x " +
                      std::to_string(plan.generations) + " generations")
        << ", " << budget << " networks x " << plan.epochs << " epochs\n";
    out << "  ranked on        "
        << (a.score == "validation" ? std::to_string(CountRows(range, "VALIDATION")) +
                                          " validation rows held out of the TRAIN rows; the " +
                                          std::to_string(testRows) + " TEST rows stay unseen"
            : a.score == "test" ? "the " + std::to_string(testRows) + " TEST rows"
                                : std::string("the TRAIN rows"))
        << "\n";
    if (!a.loadPop.empty())
        out << "  population of " << PopulationDesigns(loaded).size() << " loaded from "
            << a.loadPop << "\n";
    out << "\n";

    RunFigures run = RunRecord("evolve", a.sheet.sheet, range);
    auto progress = [&](const SearchProgress& p) {
        const double spent = std::chrono::duration<double>(Clocked::now() - started).count();
        const double left =
            p.epochsDone > 0 ? spent * (p.epochsTotal - p.epochsDone) / p.epochsDone : 0.0;
        const std::string stage = a.search == "random" || p.stage == 0
                                      ? ""
                                      : (a.search == "breed" ? "gen " : "rung ") +
                                            std::to_string(p.stage) + " #" +
                                            std::to_string(p.index);
        char head[128];
        std::snprintf(head, sizeof head, "  %-10s %4d/%-4d %-14s RMS %.5f  left %s  ",
                      stage.c_str(), p.trained, p.total, FigureText(range, p.latest.figure).c_str(),
                      p.latest.error, Clock(left).c_str());
        out << head << DesignText(range, p.latest.design) << std::endl; // seen through a pipe
        run.schemas.push_back(DesignFigures(
            range, p.latest, stage.empty() ? "#" + std::to_string(p.trained) : stage));
    };
    SearchResult result;
    bool ok;
    if (a.search == "breed")
        ok = SupervisorSearch(view, s, space, plan, s.seed, a.loadPop.empty() ? nullptr : &loaded,
                              progress, &result, &error);
    else if (a.search == "halving")
        ok = HalvingSearch(view, s, space, a.networks, plan.epochs, s.seed, progress, &result,
                           &error);
    else
        ok = RandomSearch(view, s, space, a.networks, plan.epochs, s.seed, progress, &result,
                          &error);
    if (ok && a.dropInputs) {
        out << "\nLeaving out the winner's inputs one at a time\n";
        ok = DropInputs(view, s, static_cast<int>(range.inputs.size()), progress, &result, &error);
    }
    if (!ok) return fail(1, error);
    if (!a.savePop.empty()) {
        if (!SavePopulation(a.savePop, &error)) return fail(1, error);
        out << "Saved the population to " << a.savePop << "\n";
    }
    run.schemas.push_back(DesignFigures(range, result.best, "best"));
    if (!WriteRunFiles("", a.report, sheet, run, false, out, &error)) return fail(1, error);
    PrintKeptInputs(out, range, result.last,
                    a.search == "breed"     ? "the last population"
                    : a.search == "halving" ? "the last rung"
                                            : "the best quarter of the designs");
    const Design& d = result.best.design;
    out << "\nBest design (" << FigureText(range, result.best.figure) << " on "
        << (a.score == "validation" ? "validation"
            : a.score == "test"     ? "TEST"
                                    : "TRAIN")
        << " rows while searching)\n  " << DesignText(range, d) << "\n";
    const double searched = std::chrono::duration<double>(Clocked::now() - started).count();
    out << "  " << result.trained << " networks trained (" << static_cast<long>(result.epochs)
        << " epochs) in " << Clock(searched) << "\n";

    // The winner is trained by `train` itself, so the command printed is the network reported
    // and saved, weight for weight.
    std::vector<std::string> args = TrainArguments(a, s, range, d, result.best.epochs);
    std::string command = "quarrow";
    for (const std::string& arg : args)
        command += " " + ShellWord(arg);
    out << "\nThe winner, trained by:\n  " << command << "\n";
    if (s.shuffle)
        out << "  (a shuffled split is drawn after the weights, so train splits the rows alike "
               "only for a network of the same sizes; a mode column fixes the rows for any "
               "network)\n";
    out << "\n";
    if (!a.save.empty()) args.insert(args.end(), {"--save", a.save});
    args.insert(args.end(), {"--show", "0"});
    const int code = RunQuarrow(args, out, err);
    const double total = std::chrono::duration<double>(Clocked::now() - started).count();
    out << "\nEvolve took " << Clock(total) << " in all\n";
    return code;
}
