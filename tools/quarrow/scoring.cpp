#include "scoring.h"

#include "symbols.h"

#include <cmath>

namespace {

// `support` counts the scored rows of each actual class, those predicted off every class too.
void ClassFiguresOf(const std::vector<int>& support, OutputFigures* f) {
    const size_t k = f->classes.size();
    int hits = 0;
    double recallSum = 0.0;
    int present = 0;
    for (size_t a = 0; a < k; ++a) {
        ClassFigures c;
        c.name = f->classes[a];
        c.support = support[a];
        int predicted = 0;
        for (size_t b = 0; b < k; ++b)
            predicted += f->confusion[b][a];
        const int tp = f->confusion[a][a];
        hits += tp;
        c.precision = predicted ? static_cast<double>(tp) / predicted : 0.0;
        c.recall = c.support ? static_cast<double>(tp) / c.support : 0.0;
        c.f1 = c.precision + c.recall > 0.0
                   ? 2.0 * c.precision * c.recall / (c.precision + c.recall)
                   : 0.0;
        if (c.support) {
            recallSum += c.recall;
            ++present;
        }
        f->perClass.push_back(c);
    }
    // Rows whose output fell on no class count against the accuracy.
    f->accuracy = f->rows ? static_cast<double>(hits) / f->rows : 0.0;
    f->balancedAccuracy = present ? recallSum / present : 0.0;
}

} // namespace

OutputFigures ScoreColumn(const RangeColumn& column, const std::vector<Cell>& outputs,
                          const std::vector<int>& rows) {
    OutputFigures f;
    f.column = column.name;
    f.symbolic = !column.bounds.symbols.empty();
    std::vector<int> support(column.bounds.symbols.size(), 0);
    if (f.symbolic) {
        f.classes = column.bounds.symbols;
        f.confusion.assign(f.classes.size(), std::vector<int>(f.classes.size(), 0));
    }
    for (int r : rows) {
        const Cell& target = column.cells[r];
        const Cell& output = outputs[r];
        if (target.empty() || output.empty()) continue;
        if (f.symbolic) {
            const int actual = SymbolIndex(f.classes, target.text);
            if (actual < 0) continue;
            ++f.rows;
            ++support[actual];
            const int predicted =
                output.kind == CellKind::Text ? SymbolIndex(f.classes, output.text) : -1;
            if (predicted >= 0) ++f.confusion[actual][predicted];
        } else if (output.kind == CellKind::Number) {
            ++f.rows;
            f.predicted.push_back(output.number);
            f.actual.push_back(CellValue(column, target));
        }
    }
    if (f.symbolic) {
        ClassFiguresOf(support, &f);
        return f;
    }
    const size_t n = f.actual.size();
    if (n == 0) return f;
    double squares = 0.0, absolute = 0.0, mean = 0.0, spread = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double e = f.predicted[i] - f.actual[i];
        squares += e * e;
        absolute += std::fabs(e);
        mean += f.actual[i];
    }
    mean /= static_cast<double>(n);
    for (double a : f.actual)
        spread += (a - mean) * (a - mean);
    f.rmse = std::sqrt(squares / static_cast<double>(n));
    f.mae = absolute / static_cast<double>(n);
    // Targets without spread leave R^2 undefined.
    f.r2 = spread > 0.0 ? 1.0 - squares / spread : std::nan("");
    return f;
}

std::vector<SetFigures> ScoreSets(const Range& range, const std::vector<std::vector<Cell>>& outputs,
                                  const std::vector<std::string>& setOfRow,
                                  const std::vector<std::string>& sets) {
    std::vector<SetFigures> result;
    for (const std::string& set : sets) {
        std::vector<int> rows;
        for (int r = 0; r < range.rows(); ++r)
            if (setOfRow[r] == set) rows.push_back(r);
        if (rows.empty()) continue;
        SetFigures figures;
        figures.set = set;
        for (size_t k = 0; k < range.targets.size(); ++k)
            figures.outputs.push_back(ScoreColumn(range.targets[k], outputs[k], rows));
        result.push_back(figures);
    }
    return result;
}

std::string TrainingSet(const Range& range, int r) {
    if (r < range.window - 1 || !range.IsDataRow(r)) return "";
    const std::string& m = range.mode[r];
    if (m.empty() || m == "TRAIN") return "train";
    if (m == "VALIDATION") return "validation";
    if (m == "TEST") return "test";
    return "";
}

double ScaledError(const Range& range, const std::vector<std::vector<Cell>>& outputs,
                   const std::vector<int>& rows) {
    double sum = 0.0;
    long n = 0;
    for (size_t k = 0; k < range.outputs.size(); ++k) {
        const RangeColumn& c = range.outputs[k];
        const double span = c.bounds.hi > c.bounds.lo ? c.bounds.hi - c.bounds.lo : 1.0;
        for (int r : rows) {
            const Cell& o = outputs[k][r];
            if (o.kind != CellKind::Number || c.cells[r].empty()) continue;
            const double e = (o.number - CellValue(c, c.cells[r])) / span;
            sum += e * e;
            ++n;
        }
    }
    return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

RowPredictions SheetPredictions(const Range& range, int sheetRows,
                                const std::vector<std::vector<Cell>>& outputs,
                                const std::vector<std::string>& setOfRow) {
    RowPredictions p;
    for (const RangeColumn& c : range.targets)
        p.outputs.push_back(c.name);
    p.cells.assign(sheetRows, std::vector<Cell>(range.targets.size()));
    p.modes.assign(sheetRows, "");
    p.outOfRange.assign(sheetRows, false);
    for (int r = 0; r < sheetRows; ++r) {
        const int at = range.RangeRowOfSheetRow(r);
        if (at < 0 || !range.IsDataRow(at)) continue;
        for (size_t k = 0; k < outputs.size(); ++k)
            p.cells[r][k] = outputs[k][at];
        const std::string& set = setOfRow[at];
        if (!set.empty() && set != "all")
            p.modes[r] = UpperText(set);
        else if (range.sheetWord[at] == "SKIP")
            p.modes[r] = "SKIP";
        p.outOfRange[r] = range.outOfRange[at] != 0;
    }
    return p;
}
