#include "command_common.h"

#include "charts.h"
#include "column_lists.h"
#include "sheet_checks.h"
#include "symbols.h"
#include "workbook_read.h"
#include "xl_column.h"

#include <algorithm>
#include <cmath>

bool LoadSheetColumns(const SheetArgs& a, Worksheet* sheet, ColumnChoice* choice,
                      std::string* error) {
    if (!LoadSheetFile(a.sheet, a.sheetName, sheet, error)) return false;
    if (!ResolveColumns(*sheet, a.inputs, a.outputs, a.mode, choice, error)) return false;
    std::vector<int> symbolic;
    for (const std::string& name : a.symbolic) {
        std::vector<int> columns;
        if (!ColumnList(*sheet, name, &columns, error)) {
            *error = "--symbolic: " + *error;
            return false;
        }
        symbolic.insert(symbolic.end(), columns.begin(), columns.end());
    }
    DeclareSymbolic(sheet, symbolic);
    std::vector<int> used = choice->inputs;
    used.insert(used.end(), choice->outputs.begin(), choice->outputs.end());
    return CheckValues(a.sheet, *sheet, used, choice->mode, error);
}

bool TrainingRange(const SheetArgs& a, const Worksheet& sheet, const ColumnChoice& choice,
                   RangeRequest request, Range* range, std::string* error) {
    for (const std::string& item : a.classes) {
        const size_t eq = item.find('=');
        std::vector<int> column;
        if (eq == std::string::npos || !ColumnList(sheet, item.substr(0, eq), &column, error) ||
            column.size() != 1) {
            *error = "--classes \"" + item + "\": expected COLUMN=a,b,c" +
                     (eq == std::string::npos ? "" : " (" + *error + ")");
            return false;
        }
        std::vector<std::string> names;
        if (!SymbolsOfList(item.substr(eq + 1), &names, error)) {
            *error = "--classes: " + *error;
            return false;
        }
        request.classOrder.emplace_back(column[0], names);
    }
    request.columns = choice;
    request.window = a.settings.window;
    request.scaleMargin = a.settings.margin / 2.0;
    if (!BuildRange(sheet, request, range, error)) {
        *error = a.sheet + ": " + *error;
        return false;
    }
    return true;
}

std::string TransferName(int code) {
    switch (code) {
    case 1:
        return "gaussian";
    case 2:
        return "linear";
    case 3:
        return "logistic";
    case 4:
        return "step";
    case 5:
        return "symmetric logistic";
    case 6:
        return "square ratio";
    }
    return "?";
}

std::string DescribeColumns(const std::vector<RangeColumn>& columns) {
    std::string text;
    for (size_t k = 0; k < columns.size(); ++k) {
        if (k) text += ", ";
        text += columns[k].name;
        if (!columns[k].bounds.symbols.empty())
            text += " [" + SymbolList(columns[k].bounds.symbols) + "]";
    }
    return text;
}

void DescribeNetwork(std::ostream& out, const Range& range, const NetSettings& s) {
    std::vector<int> sizes = LayerSizes(s, static_cast<int>(range.inputs.size()),
                                        static_cast<int>(range.outputs.size()));
    std::string shape;
    for (size_t k = 0; k < sizes.size(); ++k)
        shape += (k ? "-" : "") + std::to_string(sizes[k]);
    out << "  rows      " << range.rows() << " (" << range.dataRows() << " with data)\n";
    out << "  inputs    " << DescribeColumns(range.inputs) << "\n";
    out << "  outputs   " << DescribeColumns(range.targets)
        << (range.outputs.size() > range.targets.size() ? " (one output unit per class)" : "")
        << "\n";
    out << "  network   " << shape << " (" << WeightCount(sizes) << " weights), "
        << (s.method == CALC_FIXED16 ? "16-bit fixed point" : "double precision") << ", window "
        << s.window << "\n";
    out << "  training  " << TransferName(s.transfer) << " gain " << ShortNumber(s.gain)
        << ", rate " << ShortNumber(s.rate) << ", momentum " << ShortNumber(s.momentum)
        << ", noise " << ShortNumber(s.noise) << ", tolerance " << ShortNumber(s.trainTolerance)
        << "\n";
}

namespace {

// The weights' span rounded outwards, so that the bins have readable edges.
void HistogramSpan(const std::vector<double>& weights, double* lo, double* hi) {
    *lo = std::floor(*std::min_element(weights.begin(), weights.end()) * 10.0) / 10.0;
    *hi = std::ceil(*std::max_element(weights.begin(), weights.end()) * 10.0) / 10.0;
    if (*hi <= *lo) *hi = *lo + 1.0;
}

} // namespace

void PrintWeightHistogram(std::ostream& out, const std::vector<double>& weights, int bins) {
    if (weights.empty()) return;
    double lo, hi;
    HistogramSpan(weights, &lo, &hi);
    std::string text = ResultText(WeightHistStr(static_cast<int16_t>(bins), lo, hi));
    std::vector<long> counts;
    if (!HistogramCounts(text, &counts)) {
        out << "  weight histogram: " << (text.empty() ? "no answer" : text) << "\n";
        return;
    }
    out << "Weight histogram (" << weights.size() << " weights) " << text << "\n";
    out << HistogramChart(counts, lo, hi);
}

std::string Pad(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

Worksheet WithPredictions(const Worksheet& sheet, int columns, const RowPredictions& p) {
    Worksheet result = sheet;
    result.names.resize(columns);
    for (auto& row : result.rows)
        row.resize(columns);
    for (size_t k = 0; k < p.outputs.size(); ++k) {
        result.names.push_back(p.outputs[k] + " predicted");
        for (int r = 0; r < result.rowCount(); ++r)
            result.rows[r].push_back(p.cells[r][k]);
    }
    if (std::find(p.outOfRange.begin(), p.outOfRange.end(), true) != p.outOfRange.end()) {
        result.names.push_back("outside trained range");
        for (int r = 0; r < result.rowCount(); ++r) {
            Cell flag;
            if (p.outOfRange[r]) {
                flag.kind = CellKind::Text;
                flag.text = "yes";
            }
            result.rows[r].push_back(flag);
        }
    }
    return result;
}

RunFigures RunRecord(const std::string& command, const std::string& sheet, const Range& range) {
    RunFigures run;
    run.command = command;
    run.sheet = sheet;
    for (const RangeColumn& c : range.inputs)
        run.inputs.push_back(c.name);
    for (const RangeColumn& c : range.targets)
        run.outputs.push_back(c.name);
    return run;
}

bool RecordWeights(const Range& range, const NetSettings& s, std::vector<double>* weights,
                   RunFigures* run, std::string* error) {
    const int count = WeightCount(LayerSizes(s, static_cast<int>(range.inputs.size()),
                                             static_cast<int>(range.outputs.size())));
    if (!ReadWeights(count, weights, error)) return false;
    if (weights->empty()) return true;
    HistogramSpan(*weights, &run->histLo, &run->histHi);
    std::string text = ResultText(WeightHistStr(10, run->histLo, run->histHi));
    if (!HistogramCounts(text, &run->histogram)) run->histogram.clear();
    return true;
}
