// Searching for a network design: which candidate inputs a network keeps, its hidden layers, and
// the rate, momentum and noise it trains with. Every design is trained through the library's
// exports exactly as `train` would train it, from the same seeded weights, so the design that a
// search reports is the network that `train` rebuilds from it.
#pragma once

#include "range.h"
#include "search_settings.h"
#include "settings.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

struct Design {
    std::vector<char> inputs; // per candidate input column: kept
    std::vector<int> hidden;  // hidden layer sizes, at most four
    double rate = 0.5, momentum = 0.0, noise = 0.0;
};

// The host's own generator for drawing designs and rows (the library's generator is reseeded
// for every network, so it cannot serve a whole search).
class SearchRandom {
  public:
    explicit SearchRandom(uint32_t seed) : state_(seed * 2654435761u + 1u) {}
    double Uniform(); // [0, 1)
    int Below(int n); // 0 .. n-1
  private:
    uint64_t state_;
};

Design DrawDesign(const DesignSpace& space, int candidates, SearchRandom* random);
// The design that `train` builds from these settings with every candidate input.
Design DesignOf(const NetSettings& settings, int candidates);

// The range and settings of one design: the range keeps only the design's inputs.
Range DesignRange(const Range& full, const Design& design);
NetSettings DesignSettings(const NetSettings& base, const Design& design);

// The rows as a search sees them: the validation rows (marked VALIDATION, as HoldOut marks
// them) are handed to the library as TEST rows and measure each design; the real TEST rows are
// left out (SKIP).
Range SearchView(const Range& range);

struct Candidate {
    Design design;
    double error = 1.0;  // validation RMS error, 0..1 scale
    double figure = 0.0; // the same in the sheet's units (SheetFigure)
    int epochs = 0;      // epochs the design was trained for that score
};

// Trains one design from seeded weights for `epochs` epochs on the view's TRAIN rows and
// measures it: the RMS error (on the library's 0..1 scale) of a recall of the view's TEST rows,
// or of the training run itself when the view has none; `figure` the same in the sheet's units.
bool ScoreDesign(const Range& view, const NetSettings& base, const Design& design, int epochs,
                 Candidate* scored, std::string* message);
// The rows a view measures designs on: its TEST rows, or its TRAIN rows when it has none.
std::set<std::string> MeasuredRows(const Range& view);

struct SearchProgress {
    int stage = 0;              // generation or rung, from 1; 0 outside the search
    int index = 0;              // network within the stage, from 1
    int trained = 0, total = 0; // networks trained so far, of all planned
    double epochsDone = 0.0, epochsTotal = 0.0;
    Candidate latest;
};
using ProgressFn = std::function<void(const SearchProgress&)>;

struct SearchResult {
    Candidate best;
    std::vector<Candidate> last; // the final generation or rung, to count kept inputs
    int trained = 0;             // networks trained
    double epochs = 0.0;         // epochs trained in all
};

// `networks` random designs, each trained `epochs` epochs; the best validation error wins.
bool RandomSearch(const Range& view, const NetSettings& base, const DesignSpace& space,
                  int networks, int epochs, uint32_t seed, const ProgressFn& progress,
                  SearchResult* result, std::string* error);

// Successive halving at the budget of `networks` x `epochs` epochs: many designs trained
// briefly, the best third trained three times as long, and so on up to `epochs`.
bool HalvingSearch(const Range& view, const NetSettings& base, const DesignSpace& space,
                   int networks, int epochs, uint32_t seed, const ProgressFn& progress,
                   SearchResult* result, std::string* error);

// The figure of the first target column on the range's rows whose mode word is in `modes`, in
// the sheet's units, for the network loaded now: the share of rows right (0..1) for a symbolic
// column, the RMS error in data units for a numeric one. Reads de-scaled numbers, so it needs no
// symbol table in the library (a schema's network has none). NaN when no row is scored.
double SheetFigure(const Range& range, const std::set<std::string>& modes);
// "81.3 % right" or "RMSE 12.6".
std::string FigureText(const Range& range, double figure);

// Backward elimination from a search's winner: each kept input in turn is left out and the
// design trained again; it stays out when the validation error is no worse. Stops after
// `networks` networks. Updates `result` (best, trained, epochs).
bool DropInputs(const Range& view, const NetSettings& base, int networks,
                const ProgressFn& progress, SearchResult* result, std::string* error);
