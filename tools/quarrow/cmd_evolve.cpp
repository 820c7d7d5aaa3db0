#include "command_common.h"
#include "commands.h"
#include "csv.h"
#include "population_file.h"
#include "run_files.h"
#include "xl_column.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kHeaderUseSeed = 30;
constexpr int kHeaderWeightSeed = 31;
constexpr int kHeaderGeneration = 17;
constexpr int kSchemaEpochs = 16;
constexpr double kUntrainedEpochs = 1000000000.0;

// The population column as the library hands it out: numbers and mask texts.
bool UnloadPopulation(std::vector<Cell>* cells, std::string* error) {
    XLOPER* column = UnloadPop();
    if (column == nullptr || column->xltype != xltypeMulti ||
        column->val.array.lparray == nullptr) {
        *error =
            "unloading the population: " + (column ? XlText(column) : std::string("no answer"));
        return false;
    }
    cells->clear();
    for (int k = 0; k < column->val.array.rows; ++k) {
        const XLOPER& x = column->val.array.lparray[k];
        Cell c;
        if (x.xltype == xltypeNum) {
            c.kind = CellKind::Number;
            c.number = x.val.num;
            c.text = ExactNumber(x.val.num);
        } else if (x.xltype == xltypeStr) {
            c.kind = CellKind::Text;
            c.text = XlText(&x);
        }
        cells->push_back(c);
    }
    return true;
}

bool ReloadPopulation(const std::vector<Cell>& cells, std::string* error) {
    XlColumn column(cells);
    std::string answer = ResultText(ReloadPop(column.multi()));
    if (answer != "OK") {
        *error = "reloading the population: " + answer;
        return false;
    }
    return true;
}

struct PopulationHead {
    int generation = 1;
    int size = 0;
    double goal = 0.0;    // epochs each schema trains for
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
    head->goal = cells[kHeaderGoal].number;
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

// A schema as the report lists it.
SchemaFigures SchemaRecord(const std::string& label, const SchemaView& v) {
    SchemaFigures d;
    d.label = label;
    for (int k = 0; k < 4; ++k)
        if (v.values[2 + k] > 0) d.hidden.push_back(static_cast<int>(v.values[2 + k]));
    d.rate = v.values[6];
    d.momentum = v.values[7];
    d.noise = v.values[8];
    d.error = v.values[9];
    d.epochs = static_cast<int>(std::min(v.values[10], 2147483647.0));
    d.inputs = v.inputs;
    return d;
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
    std::string text;
    std::vector<Cell> cells;
    if (!ReadTextFile(path, &text, error)) return false;
    if (!ReadPopulationText(text, &cells, error) || !ReloadPopulation(cells, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

} // namespace

int CommandEvolve(const EvolveArgs& a, std::ostream& out, std::ostream& err) {
    const NetSettings& s = a.sheet.settings;
    Worksheet sheet;
    ColumnChoice choice;
    Range range;
    std::string error;
    int population = a.population;
    const int generations = a.generations, epochs = a.epochs, breed = a.breed;
    const int maxLayers = a.maxLayers, maxHidden = a.maxHidden;
    const double crossover = a.crossover, mutation = a.mutation, inclusion = a.inclusion,
                 minRate = a.minRate, maxMomentum = a.maxMomentum, maxNoise = a.maxNoise;
    const std::string& score = a.score;
    if (!LoadSheetColumns(a.sheet, &sheet, &choice, &error) ||
        !TrainingRange(a.sheet, sheet, choice, RangeRequest(), &range, &error)) {
        err << "quarrow evolve: " << error << "\n";
        return 2;
    }
    if (score == "test" && choice.mode < 0 && s.split < 0.0) {
        err << "quarrow evolve: --score test needs TEST rows: a mode column or --split\n";
        return 2;
    }
    const int16_t trainMode = score == "test" ? 4 : 2;

    out << "Evolving networks for " << a.sheet.sheet << "\n";
    out << "  candidate inputs " << DescribeColumns(range.inputs) << "\n";
    out << "  outputs          " << DescribeColumns(range.outputs) << "\n";
    out << "  " << (!a.loadPop.empty() ? "" : "population " + std::to_string(population) + ", ")
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
    if (!a.loadPop.empty()) {
        if (!LoadPopulation(a.loadPop, &error)) {
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
    if (!a.loadPop.empty()) {
        if (!a.populationGiven) population = head.size;
        out << "  population of " << head.size << " loaded from " << a.loadPop << "\n";
    }

    const std::string names = CandidateNames(range);
    SchemaView view;
    RunFigures run = RunRecord("evolve", a.sheet.sheet, range);
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
        // Each call trains `epochs` epochs: a schema that needs more calls than its goal
        // allows is not finishing, and the run stops with an error rather than a result.
        const int callsPerSchema = static_cast<int>(head.goal / epochs) + 2;
        int calls = 0;
        for (;;) {
            answer = ResultText(TrainNextSchema(static_cast<int16_t>(epochs), 0, 0.0, 0.0, 0.0));
            if (answer == "In Process") {
                if (++calls < callsPerSchema) continue;
                err << "quarrow evolve: schema " << schema << " is still training after " << calls
                    << " calls of " << epochs << " epochs (goal " << ShortNumber(head.goal)
                    << " epochs); giving up\n";
                return 1;
            }
            calls = 0;
            if (answer != "OK" && answer != "Population Tested") {
                err << "quarrow evolve: training schema " << schema << ": " << answer << "\n";
                return 1;
            }
            if (!ShowSchema(names, schema, &view, &error)) {
                err << "quarrow evolve: " << error << "\n";
                return 1;
            }
            out << SchemaLine(("#" + std::to_string(schema)).c_str(), view);
            run.schemas.push_back(SchemaRecord("generation " + std::to_string(head.generation) +
                                                   " #" + std::to_string(schema),
                                               view));
            ++schema;
            if (answer == "Population Tested") break;
        }
        if (!ShowSchema(names, 0, &view, &error)) {
            err << "quarrow evolve: " << error << "\n";
            return 1;
        }
        out << SchemaLine("best", view);
        run.schemas.push_back(
            SchemaRecord("generation " + std::to_string(head.generation) + " best", view));
    }
    out << "\nBest schema: inputs " << view.inputs << ", " << ShortNumber(view.values[1])
        << " layers, RMS error " << ShortNumber(view.values[9], 5) << "\n";
    if (!WriteRunFiles("", a.report, sheet, run, false, out, &error)) {
        err << "quarrow evolve: " << error << "\n";
        return 1;
    }
    if (!a.savePop.empty()) {
        if (!SavePopulation(a.savePop, &error)) {
            err << "quarrow evolve: " << error << "\n";
            return 1;
        }
        out << "Saved the population to " << a.savePop << "\n";
    }
    return 0;
}
