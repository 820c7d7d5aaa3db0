#include "holdout.h"

#include "symbols.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>

namespace {

bool IsTrainRow(const Range& range, int r) {
    return r >= range.window - 1 && range.IsDataRow(r) &&
           (range.mode[r].empty() || range.mode[r] == "TRAIN");
}

// A small generator of our own: the standard library's distributions differ between builds.
uint64_t NextRandom(uint64_t* state) {
    uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

int TrainRowCount(const Range& range) {
    int n = 0;
    for (int r = 0; r < range.rows(); ++r)
        n += IsTrainRow(range, r) ? 1 : 0;
    return n;
}

int HoldOut(Range* range, double share, int seed) {
    if (share <= 0.0) return 0;
    const RangeColumn* stratum = range->targets.empty() || range->targets[0].bounds.symbols.empty()
                                     ? nullptr
                                     : &range->targets[0];
    std::map<int, std::vector<int>> groups;
    for (int r = 0; r < range->rows(); ++r)
        if (IsTrainRow(*range, r))
            groups[stratum ? SymbolIndex(stratum->bounds.symbols, stratum->cells[r].text) : 0]
                .push_back(r);
    uint64_t state = static_cast<uint64_t>(static_cast<int64_t>(seed));
    int marked = 0;
    for (auto& [key, rows] : groups) {
        const int n = static_cast<int>(rows.size());
        for (int i = n - 1; i > 0; --i) // Fisher-Yates
            std::swap(rows[i], rows[NextRandom(&state) % static_cast<uint64_t>(i + 1)]);
        const int take = std::min(n - 1, static_cast<int>(std::lround(n * share)));
        for (int i = 0; i < take; ++i)
            range->mode[rows[i]] = "VALIDATION";
        marked += std::max(0, take);
    }
    return marked;
}
