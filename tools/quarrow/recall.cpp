#include "recall.h"

#include "engine_session.h"

#include <algorithm>

bool RecallRange(const Range& range, const NetSettings& s, const std::vector<double>& weights,
                 int pieceRows, std::vector<std::vector<Cell>>* outputs, std::string* error) {
    int sheetRows = 0;
    while (sheetRows < range.rows() && range.sheetRow[sheetRows] >= 0)
        ++sheetRows;
    outputs->assign(range.outputs.size(), std::vector<Cell>(range.rows()));
    // The library leaves blank rows out: windows and the pattern step count the other rows.
    std::vector<int> before(sheetRows + 1, 0);
    for (int r = 0; r < sheetRows; ++r)
        before[r + 1] = before[r] + (range.blank[r] ? 0 : 1);
    const int step = std::max(1, s.step);
    for (int start = 0; start < sheetRows; start += pieceRows) {
        const int end = std::min(sheetRows, start + pieceRows);
        int first = start;
        while (first > 0 &&
               (range.blank[first] || before[start] - before[first] < range.window - 1 ||
                before[first] % step != 0))
            --first;
        bool patterns = false;
        for (int r = std::max(start, first + range.window - 1); r < end; ++r)
            patterns = patterns || range.IsDataRow(r);
        if (!patterns) continue;
        Range piece = RecallPiece(range, first, end);
        RunStats stats;
        if (!LoadNetwork(piece, s, true, error) || !WriteWeights(weights, error)) return false;
        if (!RunEpochs(false, 1, &stats)) {
            *error = "the network is gone";
            return false;
        }
        for (size_t k = 0; k < range.outputs.size(); ++k) {
            std::vector<Cell> cells;
            if (!ReadOutputs(piece, static_cast<int>(k), 1, &cells, error)) return false;
            for (int r = start; r < end; ++r)
                (*outputs)[k][r] = cells[r - first];
        }
    }
    return true;
}
