#include "supervisor_search.h"

#include "engine_session.h"
#include "population_file.h"
#include "xl_column.h"

#include <algorithm>

namespace {

constexpr size_t kHeaderUseSeed = 30;
constexpr size_t kHeaderWeightSeed = 31;
constexpr size_t kHeaderWeightRange = 32;

double Number(const std::vector<Cell>& cells, size_t k) {
    return k < cells.size() && cells[k].kind == CellKind::Number ? cells[k].number : 0.0;
}

} // namespace

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

std::vector<Candidate> PopulationDesigns(const std::vector<Cell>& cells) {
    std::vector<Candidate> designs;
    const int candidates = static_cast<int>(Number(cells, 1));
    for (size_t at = kPopulationHead; at + kSchemaCells <= cells.size(); at += kSchemaCells) {
        Candidate c;
        // The mask text: two letters per mask byte, low half first, four bits in each.
        const std::string& mask = cells[at].text;
        c.design.inputs.assign(std::max(0, candidates), 0);
        for (int k = 0; k < candidates && k < 256; ++k) {
            const size_t letter = 2 * static_cast<size_t>(k / 8) + ((k % 8) >= 4 ? 1 : 0);
            if (letter < mask.size()) c.design.inputs[k] = (mask[letter] >> (k % 4)) & 1;
        }
        const int layers = static_cast<int>(Number(cells, at + 1));
        for (int i = 0; i < 4 && i < layers - 2; ++i)
            c.design.hidden.push_back(static_cast<int>(Number(cells, at + 2 + i)));
        c.design.rate = Number(cells, at + 6);
        c.design.momentum = Number(cells, at + 7);
        c.design.noise = Number(cells, at + 8);
        c.error = Number(cells, at + 15);
        c.epochs = static_cast<int>(Number(cells, at + 16));
        designs.push_back(c);
    }
    return designs;
}

bool FixSchemaWeights(int seed, double range, std::string* error) {
    std::vector<Cell> cells;
    if (!UnloadPopulation(&cells, error)) return false;
    if (cells.size() < kPopulationHead) {
        *error = "the population column is too short";
        return false;
    }
    const double values[3] = {1.0, static_cast<double>(seed), range};
    for (size_t k = kHeaderUseSeed; k <= kHeaderWeightRange; ++k) {
        cells[k].kind = CellKind::Number;
        cells[k].number = values[k - kHeaderUseSeed];
    }
    return ReloadPopulation(cells, error);
}

bool StartSupervisor(const Range& view, const NetSettings& base, const DesignSpace& space,
                     const BreedingPlan& plan, int drawSeed, std::string* error) {
    const NetSettings s =
        DesignSettings(base, DesignOf(base, static_cast<int>(view.inputs.size())));
    if (!LoadNetwork(view, s, false, error)) return false;
    // Hidden sizes are drawn from 1 .. maxHidden (one more, once in 32768 draws).
    const int16_t hidden = static_cast<int16_t>(space.maxHidden);
    std::string answer =
        ResultText(InitSuper(space.inclusion, static_cast<int16_t>(space.maxLayers), hidden, hidden,
                             hidden, hidden, space.minRate, space.maxMomentum, space.maxNoise));
    if (answer != "OK") {
        *error = "starting the supervisor: " + answer;
        return false;
    }
    // The first population is drawn from the library's generator.
    RandomizeWeights(1, static_cast<int16_t>(drawSeed), base.weightRange);
    answer =
        ResultText(InitPop(static_cast<int16_t>(plan.population), static_cast<int16_t>(plan.breed),
                           static_cast<int16_t>(plan.trainMode), plan.epochs));
    if (answer != "OK") {
        *error = "creating the population: " + answer;
        return false;
    }
    return FixSchemaWeights(base.seed, base.weightRange, error);
}

bool TrainPopulation(const Range& view, const BreedingPlan& plan, int generation, SearchProgress* p,
                     const ProgressFn& progress, std::vector<Candidate>* trained,
                     std::string* error) {
    trained->clear();
    // One call trains a schema its whole `epochs` (the goal), so a population of n answers
    // within n calls; the bound only guards against a library that never finishes.
    const int calls = 2 * plan.population + 2;
    const std::set<std::string> rows = MeasuredRows(view);
    for (int call = 0; call < calls; ++call) {
        const std::string answer =
            ResultText(TrainNextSchema(static_cast<int16_t>(plan.epochs), 0, 0.0, 0.0, 0.0));
        if (answer == "In Process") continue;
        const int schema = static_cast<int>(trained->size()) + 1;
        if (answer != "OK" && answer != "Population Tested") {
            *error = "training schema " + std::to_string(schema) + ": " + answer;
            return false;
        }
        std::vector<Cell> cells;
        if (!UnloadPopulation(&cells, error)) return false;
        const std::vector<Candidate> designs = PopulationDesigns(cells);
        Candidate c =
            schema <= static_cast<int>(designs.size()) ? designs[schema - 1] : Candidate();
        // The engine holds the schema just trained, on the rows of the view.
        c.figure = SheetFigure(DesignRange(view, c.design), rows);
        trained->push_back(c);
        ++p->trained;
        p->epochsDone += c.epochs;
        p->stage = generation;
        p->index = schema;
        p->latest = c;
        if (progress) progress(*p);
        if (answer == "Population Tested") return true;
    }
    *error = "the population was not tested within " + std::to_string(calls) + " calls";
    return false;
}

namespace {

bool Breed(const BreedingPlan& plan, const NetSettings& base, std::string* error) {
    const std::string answer = ResultText(GenNextPop(
        static_cast<int16_t>(plan.population), static_cast<int16_t>(plan.breed), plan.crossover,
        plan.mutation, static_cast<int16_t>(plan.trainMode), plan.epochs));
    if (answer != "OK") {
        *error = "breeding: " + answer;
        return false;
    }
    return FixSchemaWeights(base.seed, base.weightRange, error);
}

} // namespace

bool SupervisorSearch(const Range& view, const NetSettings& base, const DesignSpace& space,
                      const BreedingPlan& plan, int drawSeed, const std::vector<Cell>* loaded,
                      const ProgressFn& progress, SearchResult* result, std::string* error) {
    if (!StartSupervisor(view, base, space, plan, drawSeed, error)) return false;
    bool parent = false;
    if (loaded != nullptr) {
        if (!ReloadPopulation(*loaded, error) ||
            !FixSchemaWeights(base.seed, base.weightRange, error))
            return false;
        for (const Candidate& c : PopulationDesigns(*loaded))
            parent = parent || c.epochs < 1000000000;
    }
    SearchProgress p;
    p.total = plan.population * plan.generations;
    p.epochsTotal = static_cast<double>(p.total) * plan.epochs;
    bool first = true;
    for (int generation = 1; generation <= plan.generations; ++generation) {
        if ((generation > 1 || parent) && !Breed(plan, base, error)) return false;
        if (!TrainPopulation(view, plan, generation, &p, progress, &result->last, error))
            return false;
        // Ties keep the earlier schema, as the library's own choice of the best does.
        for (const Candidate& c : result->last)
            if (first || c.error < result->best.error) {
                result->best = c;
                first = false;
            }
    }
    result->trained = p.trained;
    result->epochs = p.epochsDone;
    return true;
}
