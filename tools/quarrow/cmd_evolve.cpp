#include "command_common.h"
#include "commands.h"
#include "csv.h"
#include "supervisor_search.h"
#include "xl_column.h"

#include <cstdio>

namespace {

constexpr int kHeaderUseSeed = 30;
constexpr int kHeaderWeightSeed = 31;
constexpr int kHeaderGeneration = 17;
constexpr int kPopulationHead = 33;
constexpr int kSchemaCells = 17;
constexpr int kSchemaEpochs = 16;
constexpr double kUntrainedEpochs = 1000000000.0;

struct PopulationHead {
    int generation = 1;
    int size = 0;
    bool trained = false; // some schema carries a score
};

// Every schema is otherwise started from clock-seeded weights; a seed in the population's
// header makes a run repeatable.
bool FixWeightSeed(int seed, PopulationHead* head, std::string* error) {
    std::vector<Cell> cells;
    if (!UnloadPopulation(&cells, error)) return false;
    if (cells.size() < kPopulationHead) {
        *error = "the population column is too short";
        return false;
    }
    for (int k : {kHeaderUseSeed, kHeaderWeightSeed}) {
        cells[k].kind = CellKind::Number;
        cells[k].number = k == kHeaderUseSeed ? 1.0 : seed;
    }
    head->generation = static_cast<int>(cells[kHeaderGeneration].number);
    head->size = static_cast<int>((cells.size() - kPopulationHead) / kSchemaCells);
    head->trained = false;
    for (size_t k = kPopulationHead + kSchemaEpochs; k < cells.size(); k += kSchemaCells)
        head->trained = head->trained || cells[k].number < kUntrainedEpochs;
    return ReloadPopulation(cells, error);
}

std::string CandidateNames(const Range& range) {
    std::string names;
    for (size_t k = 0; k < range.inputs.size(); ++k)
        names += (k ? "," : "") + range.inputs[k].name;
    bool plain = names.size() <= 255;
    for (const RangeColumn& c : range.inputs)
        plain = plain && c.name.find(',') == std::string::npos && !c.name.empty();
    if (plain) return names;
    names.clear();
    for (size_t k = 0; k < range.inputs.size(); ++k)
        names += (k ? "," : "") + ColumnLetters(range.inputs[k].sheetColumn);
    return names;
}

struct SchemaView {
    std::string inputs;
    double values[11] = {};
};

bool ShowSchema(const std::string& names, int selector, SchemaView* view, std::string* error) {
    std::unique_ptr<unsigned char[]> text = CountedString(names);
    XLOPER x{};
    x.xltype = xltypeStr;
    x.val.str = text.get();
    XLOPER* answer = GetSchema(&x, static_cast<int16_t>(selector));
    if (answer == nullptr || answer->xltype != xltypeMulti || answer->val.array.rows < 12 ||
        answer->val.array.lparray == nullptr) {
        *error = "reading schema " + std::to_string(selector) + ": " +
                 (answer ? XlText(answer) : std::string("no answer"));
        return false;
    }
    const XLOPER* cells = answer->val.array.lparray;
    view->inputs = XlText(&cells[0]);
    for (int k = 0; k < 11; ++k)
        view->values[k] = cells[k + 1].xltype == xltypeNum ? cells[k + 1].val.num : 0.0;
    return true;
}

std::string SchemaLine(const char* label, const SchemaView& v) {
    std::string hidden;
    for (int k = 0; k < 4; ++k)
        if (v.values[2 + k] > 0)
            hidden += (hidden.empty() ? "" : ",") + ShortNumber(v.values[2 + k]);
    char line[200];
    std::snprintf(line, sizeof line,
                  "  %-6s layers %.0f hidden %-9s rate %.3f momentum %.3f noise %.3f  error %.5f  "
                  "epochs %.0f   inputs ",
                  label, v.values[1], hidden.empty() ? "-" : hidden.c_str(), v.values[6],
                  v.values[7], v.values[8], v.values[9], v.values[10]);
    return line + v.inputs + "\n";
}

bool SavePopulation(const std::string& path, std::string* error) {
    std::vector<Cell> cells;
    if (!UnloadPopulation(&cells, error)) return false;
    std::string text = "population\n";
    for (const Cell& c : cells)
        text += CsvQuote(c.text) + "\n";
    return WriteTextFile(path, text, error);
}

bool LoadPopulation(const std::string& path, std::string* error) {
    Worksheet sheet;
    if (!LoadWorksheet(path, &sheet, error)) return false;
    std::vector<Cell> cells;
    for (const auto& row : sheet.rows)
        cells.push_back(row[0]);
    if (!ReloadPopulation(cells, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

} // namespace

int CommandEvolve(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::set<std::string> valueNames = NetworkOptionNames();
    valueNames.insert({"population", "generations", "epochs", "score", "breed", "crossover",
                       "mutation", "max-layers", "max-hidden", "inclusion", "min-rate",
                       "max-momentum", "max-noise", "save-pop", "load-pop"});
    Options o;
    NetSettings s;
    Worksheet sheet;
    ColumnChoice choice;
    Range range;
    std::string error;
    int population = 8, generations = 3, epochs = 100, breed = 1, maxLayers = 3, maxHidden = 8;
    double crossover = 1.0, mutation = 0.2, inclusion = 0.7, minRate = 0.1, maxMomentum = 0.9,
           maxNoise = 0.0;
    std::string score = "train";
    bool ok = ParseOptions(args, valueNames, NetworkSwitchNames(), &o, &error) &&
              ReadNetSettings(o, &s, &error) &&
              o.Integer("population", 1, 1000, &population, &error) &&
              o.Integer("generations", 1, 1000, &generations, &error) &&
              o.Integer("epochs", 1, 32767, &epochs, &error) &&
              o.Integer("breed", 1, 3, &breed, &error) &&
              o.Number("crossover", 0.0, 10.0, &crossover, &error) &&
              o.Number("mutation", 0.0, 1.0, &mutation, &error) &&
              o.Integer("max-layers", 2, 5, &maxLayers, &error) &&
              o.Integer("max-hidden", 0, 1000, &maxHidden, &error) &&
              o.Number("inclusion", 0.01, 1.0, &inclusion, &error) &&
              o.Number("min-rate", 0.0, 1.0, &minRate, &error) &&
              o.Number("max-momentum", 0.0, 1.0, &maxMomentum, &error) &&
              o.Number("max-noise", 0.0, 0.1, &maxNoise, &error);
    if (ok) {
        score = o.Text("score", "train");
        if (score != "train" && score != "test") {
            error = "--score \"" + score + "\": expected train or test";
            ok = false;
        }
    }
    if (!ok || !SheetRange(o, s, &sheet, &choice, &range, &error)) {
        err << "quarrow evolve: " << error << "\n";
        return 2;
    }
    if (score == "test" && choice.mode < 0 && s.split < 0.0) {
        err << "quarrow evolve: --score test needs TEST rows: a mode column or --split\n";
        return 2;
    }
    const int16_t trainMode = score == "test" ? 4 : 2;

    out << "Evolving networks for " << o.positional[0] << "\n";
    out << "  candidate inputs " << DescribeColumns(range.inputs) << "\n";
    out << "  outputs          " << DescribeColumns(range.outputs) << "\n";
    out << "  " << (o.Has("load-pop") ? "" : "population " + std::to_string(population) + ", ")
        << generations << (generations == 1 ? " generation, " : " generations, ") << epochs
        << " epochs per schema, scored on the " << (score == "test" ? "testing" : "training")
        << " error\n";
    // Largest hidden size drawn is maxHidden + 1 (a draw at the very top).
    const int16_t drawHidden = static_cast<int16_t>(std::max(0, maxHidden - 1));
    if (!LoadNetwork(range, s, false, &error)) {
        err << "quarrow evolve: " << error << "\n";
        return 1;
    }
    // Seeds the generator, from which the first population is drawn.
    RandomizeWeights(1, static_cast<int16_t>(s.seed), s.weightRange);
    std::string answer =
        ResultText(InitSuper(inclusion, static_cast<int16_t>(maxLayers), drawHidden, drawHidden,
                             drawHidden, drawHidden, minRate, maxMomentum, maxNoise));
    if (answer != "OK") {
        err << "quarrow evolve: starting the supervisor: " << answer << "\n";
        return 1;
    }
    if (o.Has("load-pop")) {
        if (!LoadPopulation(o.Text("load-pop"), &error)) {
            err << "quarrow evolve: " << error << "\n";
            return 1;
        }
    } else {
        answer = ResultText(InitPop(static_cast<int16_t>(population), static_cast<int16_t>(breed),
                                    trainMode, epochs));
        if (answer != "OK") {
            err << "quarrow evolve: creating the population: " << answer << "\n";
            return 1;
        }
    }
    PopulationHead head;
    if (!FixWeightSeed(s.seed, &head, &error)) {
        err << "quarrow evolve: " << error << "\n";
        return 1;
    }
    if (o.Has("load-pop")) {
        if (!o.Has("population")) population = head.size;
        out << "  population of " << head.size << " loaded from " << o.Text("load-pop") << "\n";
    }

    const std::string names = CandidateNames(range);
    SchemaView view;
    for (int generation = 1; generation <= generations; ++generation) {
        // A trained population, such as one saved at the end of a run, is the parent of the
        // next generation.
        if (generation > 1 || head.trained) {
            answer =
                ResultText(GenNextPop(static_cast<int16_t>(population), static_cast<int16_t>(breed),
                                      crossover, mutation, trainMode, epochs));
            if (answer != "OK" || !FixWeightSeed(s.seed, &head, &error)) {
                err << "quarrow evolve: breeding: " << (answer != "OK" ? answer : error) << "\n";
                return 1;
            }
        }
        out << "\nGeneration " << head.generation << "\n";
        int schema = 1;
        for (int calls = 0; calls < 100000; ++calls) {
            answer = ResultText(TrainNextSchema(static_cast<int16_t>(epochs), 0, 0.0, 0.0, 0.0));
            if (answer == "In Process") continue;
            if (answer != "OK" && answer != "Population Tested") {
                err << "quarrow evolve: training schema " << schema << ": " << answer << "\n";
                return 1;
            }
            if (!ShowSchema(names, schema, &view, &error)) {
                err << "quarrow evolve: " << error << "\n";
                return 1;
            }
            out << SchemaLine(("#" + std::to_string(schema)).c_str(), view);
            ++schema;
            if (answer == "Population Tested") break;
        }
        if (!ShowSchema(names, 0, &view, &error)) {
            err << "quarrow evolve: " << error << "\n";
            return 1;
        }
        out << SchemaLine("best", view);
    }
    out << "\nBest schema: inputs " << view.inputs << ", " << ShortNumber(view.values[1])
        << " layers, RMS error " << ShortNumber(view.values[9], 5) << "\n";
    if (o.Has("save-pop")) {
        if (!SavePopulation(o.Text("save-pop"), &error)) {
            err << "quarrow evolve: " << error << "\n";
            return 1;
        }
        out << "Saved the population to " << o.Text("save-pop") << "\n";
    }
    return 0;
}
