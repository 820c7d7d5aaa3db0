#include "design_search.h"

#include "encoding.h"
#include "engine_session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

double SearchRandom::Uniform() {
    // 64-bit linear congruential step (Knuth's MMIX constants); the top 53 bits.
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state_ >> 11) * (1.0 / 9007199254740992.0);
}

int SearchRandom::Below(int n) {
    return n <= 1 ? 0 : std::min(n - 1, static_cast<int>(Uniform() * n));
}

Design DrawDesign(const DesignSpace& space, int candidates, SearchRandom* random) {
    Design d;
    d.inputs.assign(candidates, 0);
    int kept = 0;
    for (int k = 0; k < candidates; ++k)
        if (random->Uniform() < space.inclusion) {
            d.inputs[k] = 1;
            ++kept;
        }
    if (kept == 0) d.inputs[random->Below(candidates)] = 1;
    const int layers = 2 + random->Below(std::max(1, space.maxLayers - 1));
    for (int k = 0; k < layers - 2; ++k)
        d.hidden.push_back(1 + random->Below(std::max(1, space.maxHidden)));
    d.rate = space.minRate + (1.0 - space.minRate) * random->Uniform();
    d.momentum = space.maxMomentum * random->Uniform();
    d.noise = space.maxNoise * random->Uniform();
    return d;
}

Design DesignOf(const NetSettings& s, int candidates) {
    Design d;
    d.inputs.assign(candidates, 1);
    d.hidden = s.hidden;
    d.rate = s.rate;
    d.momentum = s.momentum;
    d.noise = s.noise;
    return d;
}

Range DesignRange(const Range& full, const Design& design) {
    Range r = full;
    r.inputs.clear();
    for (size_t k = 0; k < full.inputs.size(); ++k)
        if (k < design.inputs.size() && design.inputs[k]) r.inputs.push_back(full.inputs[k]);
    return r;
}

NetSettings DesignSettings(const NetSettings& base, const Design& design) {
    NetSettings s = base;
    s.hidden = design.hidden;
    s.rate = design.rate;
    s.momentum = design.momentum;
    s.noise = design.noise;
    s.split = -1.0; // the rows' roles are written into the range
    s.shuffle = false;
    return s;
}

Range SearchView(const Range& range) {
    Range view = range;
    for (int r = 0; r < view.rows(); ++r) {
        if (!view.IsDataRow(r)) continue;
        if (view.mode[r] == "VALIDATION")
            view.mode[r] = "TEST";
        else if (view.mode[r] == "TEST")
            view.mode[r] = "SKIP";
    }
    view.modeColumn = true;
    return view;
}

namespace {

// Builds the design's network on the view and sets its seeded starting weights.
bool StartDesign(const Range& view, const NetSettings& s, std::string* error) {
    if (!LoadNetwork(view, s, false, error)) return false;
    RandomizeWeights(1, static_cast<int16_t>(s.seed), s.weightRange);
    return true;
}

bool Train(int epochs, RunStats* stats, std::string* error) {
    for (int done = 0; done < epochs;) {
        const int ask = std::min(32767, epochs - done);
        if (!RunEpochs(true, ask, stats)) {
            *error = "training: the network is gone";
            return false;
        }
        done += ask;
    }
    return true;
}

bool Measure(double* rms, std::string* error) {
    RunStats stats;
    if (!RunEpochs(false, 1, &stats)) {
        *error = "measuring: the network is gone";
        return false;
    }
    *rms = stats.rms;
    return true;
}

} // namespace

std::set<std::string> MeasuredRows(const Range& view) {
    for (int r = 0; r < view.rows(); ++r)
        if (view.IsDataRow(r) && view.mode[r] == "TEST") return {"TEST"};
    return {"", "TRAIN"};
}

bool ScoreDesign(const Range& view, const NetSettings& base, const Design& design, int epochs,
                 Candidate* scored, std::string* error) {
    const NetSettings s = DesignSettings(base, design);
    RunStats stats;
    if (!StartDesign(DesignRange(view, design), s, error) || !Train(epochs, &stats, error))
        return false;
    const std::set<std::string> rows = MeasuredRows(view);
    scored->design = design;
    scored->epochs = epochs;
    scored->error = stats.rms;
    if (rows.count("TEST") && !Measure(&scored->error, error)) return false;
    // A network that diverged measures as NaN: it ranks last.
    if (!(scored->error == scored->error)) scored->error = INFINITY;
    scored->figure = SheetFigure(view, rows);
    return true;
}

namespace {

bool ScoreAll(const Range& view, const NetSettings& base, std::vector<Candidate>* pool, int epochs,
              int stage, SearchProgress* p, const ProgressFn& progress, std::string* error) {
    for (size_t k = 0; k < pool->size(); ++k) {
        Candidate& c = (*pool)[k];
        if (!ScoreDesign(view, base, c.design, epochs, &c, error)) return false;
        ++p->trained;
        p->epochsDone += epochs;
        p->stage = stage;
        p->index = static_cast<int>(k) + 1;
        p->latest = c;
        if (progress) progress(*p);
    }
    return true;
}

bool Better(const Candidate& a, const Candidate& b) {
    return a.error < b.error;
}

} // namespace

bool RandomSearch(const Range& view, const NetSettings& base, const DesignSpace& space,
                  int networks, int epochs, uint32_t seed, const ProgressFn& progress,
                  SearchResult* result, std::string* error) {
    SearchRandom random(seed);
    std::vector<Candidate> pool(networks);
    for (Candidate& c : pool)
        c.design = DrawDesign(space, static_cast<int>(view.inputs.size()), &random);
    SearchProgress p;
    p.total = networks;
    p.epochsTotal = static_cast<double>(networks) * epochs;
    if (!ScoreAll(view, base, &pool, epochs, 1, &p, progress, error)) return false;
    // Ties keep the earlier design.
    std::stable_sort(pool.begin(), pool.end(), Better);
    result->best = pool.front();
    // The best quarter stands for the "last population" whose inputs are counted.
    pool.resize(std::max<size_t>(1, pool.size() / 4));
    result->last = pool;
    result->trained = p.trained;
    result->epochs = p.epochsDone;
    return true;
}

bool HalvingSearch(const Range& view, const NetSettings& base, const DesignSpace& space,
                   int networks, int epochs, uint32_t seed, const ProgressFn& progress,
                   SearchResult* result, std::string* error) {
    // Rungs of epochs/9, epochs/3 and epochs, each keeping the best third: every rung costs
    // about a third of the budget, so the first rung holds three times `networks` designs.
    constexpr int kRungs = 3;
    int rungEpochs[kRungs];
    for (int k = 0; k < kRungs; ++k)
        rungEpochs[k] = std::max(1, epochs / static_cast<int>(std::pow(3, kRungs - 1 - k)));
    const double budget = static_cast<double>(networks) * epochs;
    int first = std::max(1, static_cast<int>(budget / (kRungs * rungEpochs[0])));
    auto planned = [&](int n) {
        double cost = 0.0;
        for (int k = 0; k < kRungs; ++k, n = std::max(1, n / 3))
            cost += static_cast<double>(n) * rungEpochs[k];
        return cost;
    };
    while (first > 1 && planned(first) > budget)
        --first;

    SearchRandom random(seed);
    std::vector<Candidate> pool(first);
    for (Candidate& c : pool)
        c.design = DrawDesign(space, static_cast<int>(view.inputs.size()), &random);
    SearchProgress p;
    p.epochsTotal = planned(first);
    for (int n = first, k = 0; k < kRungs; ++k, n = std::max(1, n / 3))
        p.total += n;
    for (int k = 0; k < kRungs; ++k) {
        if (!ScoreAll(view, base, &pool, rungEpochs[k], k + 1, &p, progress, error)) return false;
        std::stable_sort(pool.begin(), pool.end(), Better);
        if (k + 1 < kRungs) pool.resize(std::max<size_t>(1, pool.size() / 3));
    }
    result->best = pool.front();
    result->last = pool;
    result->trained = p.trained;
    result->epochs = p.epochsDone;
    return true;
}

double SheetFigure(const Range& range, const std::set<std::string>& modes) {
    std::vector<std::vector<Cell>> outputs(range.outputs.size());
    std::string error;
    for (size_t k = 0; k < outputs.size(); ++k)
        if (!ReadOutputs(range, static_cast<int>(k), 0, &outputs[k], &error)) return NAN;
    if (range.targets.empty()) return NAN;
    // A one-hot group names its class; a coded symbolic output is a number whose unit-wide
    // band names it (class k stands for k + 0.5).
    const std::vector<Cell> answers = TargetOutputs(range, outputs)[0];
    const RangeColumn& column = range.targets[0];
    const bool symbolic = !column.bounds.symbols.empty();
    int rows = 0;
    double sum = 0.0;
    for (int r = range.window - 1; r < range.rows(); ++r) {
        const Cell& answer = answers[r];
        if (!range.IsDataRow(r) || !modes.count(range.mode[r]) || column.cells[r].empty() ||
            answer.empty())
            continue;
        const double target = CellValue(column, column.cells[r]);
        ++rows;
        if (!symbolic)
            sum += (answer.number - target) * (answer.number - target);
        else if (answer.kind == CellKind::Number)
            sum += std::floor(answer.number) == std::floor(target) ? 1.0 : 0.0;
        else
            sum += std::floor(CellValue(column, answer)) == std::floor(target) ? 1.0 : 0.0;
    }
    if (rows == 0) return NAN;
    return symbolic ? sum / rows : std::sqrt(sum / rows);
}

std::string FigureText(const Range& range, double figure) {
    if (!(figure == figure)) return "-";
    char text[40];
    if (!range.targets.empty() && !range.targets[0].bounds.symbols.empty())
        std::snprintf(text, sizeof text, "%.1f %% right", 100.0 * figure);
    else
        std::snprintf(text, sizeof text, "RMSE %s", ShortNumber(figure, 5).c_str());
    return text;
}

bool DropInputs(const Range& view, const NetSettings& base, int networks,
                const ProgressFn& progress, SearchResult* result, std::string* error) {
    Candidate& best = result->best;
    SearchProgress p;
    p.total = networks;
    p.epochsTotal = static_cast<double>(networks) * best.epochs;
    for (size_t k = 0; k < best.design.inputs.size() && p.trained < networks; ++k) {
        int kept = 0;
        for (char on : best.design.inputs)
            kept += on ? 1 : 0;
        if (!best.design.inputs[k] || kept < 2) continue;
        Candidate trial;
        Design fewer = best.design;
        fewer.inputs[k] = 0;
        if (!ScoreDesign(view, base, fewer, best.epochs, &trial, error)) return false;
        ++p.trained;
        p.epochsDone += best.epochs;
        p.stage = 0; // not a stage of the search
        p.index = p.trained;
        p.latest = trial;
        if (progress) progress(p);
        if (trial.error <= best.error) best = trial;
    }
    result->trained += p.trained;
    result->epochs += p.epochsDone;
    return true;
}
