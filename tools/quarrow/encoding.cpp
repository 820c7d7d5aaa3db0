#include "encoding.h"

#include "symbols.h"

std::vector<RangeColumn> OneHotColumns(const Range& range,
                                       const std::vector<RangeColumn>& columnsIn, bool oneHot,
                                       double scaleMargin) {
    std::vector<RangeColumn> columns;
    for (size_t t = 0; t < columnsIn.size(); ++t) {
        const RangeColumn& target = columnsIn[t];
        if (!oneHot || target.bounds.symbols.empty()) {
            columns.push_back(target);
            columns.back().target = static_cast<int>(t);
            continue;
        }
        for (size_t j = 0; j < target.bounds.symbols.size(); ++j) {
            RangeColumn c;
            c.name = target.name + "=" + target.bounds.symbols[j];
            c.sheetColumn = target.sheetColumn;
            c.target = static_cast<int>(t);
            c.targetClass = static_cast<int>(j);
            c.bounds.lo = -scaleMargin;
            c.bounds.hi = 1.0 + scaleMargin;
            c.cells.resize(range.rows());
            for (int k = 0; k < range.rows(); ++k) {
                Cell& cell = c.cells[k];
                double v;
                if (k == range.minRow)
                    v = range.fixedBounds ? c.bounds.lo : 0.0;
                else if (k == range.maxRow)
                    v = range.fixedBounds ? c.bounds.hi : 1.0;
                else if (range.IsDataRow(k) && target.cells[k].kind == CellKind::Text)
                    v = SymbolIndex(target.bounds.symbols, target.cells[k].text) ==
                                static_cast<int>(j)
                            ? 1.0
                            : 0.0;
                else if (range.IsDataRow(k))
                    v = 0.0;
                else
                    continue;
                cell.kind = CellKind::Number;
                cell.number = v;
                cell.text = ExactNumber(v);
            }
            columns.push_back(c);
        }
    }
    return columns;
}

int NetworkOutputCount(const std::vector<ColumnBounds>& targets, bool oneHot) {
    int n = 0;
    for (const ColumnBounds& b : targets)
        n += oneHot && !b.symbols.empty() ? static_cast<int>(b.symbols.size()) : 1;
    return n;
}

std::vector<std::string> NetworkOutputNames(const std::vector<std::string>& names,
                                            const std::vector<ColumnBounds>& targets, bool oneHot) {
    std::vector<std::string> result;
    for (size_t t = 0; t < targets.size(); ++t) {
        if (!oneHot || targets[t].symbols.empty()) {
            result.push_back(names[t]);
            continue;
        }
        for (const std::string& symbol : targets[t].symbols)
            result.push_back(names[t] + "=" + symbol);
    }
    return result;
}

std::vector<std::vector<Cell>> TargetOutputs(const Range& range,
                                             const std::vector<std::vector<Cell>>& network) {
    std::vector<std::vector<Cell>> cells(range.targets.size());
    for (size_t k = 0; k < range.outputs.size(); ++k) {
        const RangeColumn& c = range.outputs[k];
        std::vector<Cell>& out = cells[c.target];
        if (c.targetClass < 0) {
            out = network[k];
            continue;
        }
        if (c.targetClass > 0) continue; // the group is decoded at its first column
        const std::vector<std::string>& symbols = range.targets[c.target].bounds.symbols;
        out.assign(range.rows(), Cell());
        for (int r = 0; r < range.rows(); ++r) {
            int best = -1;
            for (size_t j = 0; j < symbols.size(); ++j) {
                const Cell& v = network[k + j][r];
                if (v.kind != CellKind::Number) {
                    best = -1;
                    break;
                }
                if (best < 0 || v.number > network[k + best][r].number) best = static_cast<int>(j);
            }
            if (best < 0) continue;
            out[r].kind = CellKind::Text;
            out[r].text = symbols[best];
        }
    }
    return cells;
}
