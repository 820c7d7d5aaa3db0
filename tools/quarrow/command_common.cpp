#include "command_common.h"

#include "charts.h"
#include "column_lists.h"
#include "symbols.h"
#include "xl_column.h"

#include <algorithm>
#include <cmath>

std::set<std::string> NetworkOptionNames() {
    return {"inputs",   "outputs",    "mode",      "hidden",         "method",   "rate",
            "momentum", "noise",      "tolerance", "test-tolerance", "transfer", "gain",
            "margin",   "range",      "seed",      "window",         "step",     "split",
            "hours",    "train-rise", "test-rise"};
}

std::set<std::string> NetworkSwitchNames() {
    return {"shuffle", "auto-rate"};
}

bool ReadNetSettings(const Options& o, NetSettings* s, std::string* error) {
    *s = NetSettings();
    std::string method = o.Text("method", "double");
    if (method != "double" && method != "fixed") {
        *error = "--method \"" + method + "\": expected double or fixed";
        return false;
    }
    s->method = method == "fixed" ? CALC_FIXED16 : CALC_DOUBLE;
    if (o.Has("hidden") && !ParseHidden(o.Text("hidden"), &s->hidden, error)) return false;
    s->testTolerance = -1.0;
    bool ok = o.Number("rate", 0.0, 1.0, &s->rate, error) &&
              o.Number("momentum", 0.0, 0.999, &s->momentum, error) &&
              o.Number("noise", 0.0, 10.0, &s->noise, error) &&
              o.Number("tolerance", 0.0, 1.0, &s->trainTolerance, error) &&
              o.Number("test-tolerance", 0.0, 1.0, &s->testTolerance, error) &&
              o.Integer("transfer", 1, 6, &s->transfer, error) &&
              o.Number("gain", -100.0, 100.0, &s->gain, error) &&
              o.Number("margin", 0.0, 10.0, &s->margin, error) &&
              o.Number("range", 0.0, 100.0, &s->weightRange, error) &&
              o.Integer("seed", -32768, 32767, &s->seed, error) &&
              o.Integer("window", 1, 100, &s->window, error) &&
              o.Integer("step", 1, 1000, &s->step, error) &&
              o.Number("split", 0.0, 1.0, &s->split, error) &&
              o.Number("hours", 0.0, 1000.0, &s->hours, error) &&
              o.Number("train-rise", 0.0, 1.0, &s->trainRise, error) &&
              o.Number("test-rise", 0.0, 1.0, &s->testRise, error);
    if (!ok) return false;
    if (s->testTolerance < 0.0) s->testTolerance = s->trainTolerance;
    s->shuffle = o.On("shuffle");
    s->autoRate = o.On("auto-rate");
    if (s->shuffle && s->split < 0.0) {
        *error = "--shuffle needs --split";
        return false;
    }
    return true;
}

bool SheetRange(const Options& o, const NetSettings& s, Worksheet* sheet, ColumnChoice* choice,
                Range* range, std::string* error) {
    if (o.positional.size() != 1) {
        *error = "name one worksheet (a CSV file)";
        return false;
    }
    if (!o.Has("inputs") || !o.Has("outputs")) {
        *error = "--inputs and --outputs are needed";
        return false;
    }
    if (!LoadWorksheet(o.positional[0], sheet, error)) return false;
    if (!ResolveColumns(*sheet, o.Text("inputs"), o.Text("outputs"), o.Text("mode"), choice, error))
        return false;
    RangeRequest request;
    request.columns = *choice;
    request.window = s.window;
    request.scaleMargin = s.margin / 2.0;
    return BuildRange(*sheet, request, range, error);
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
    out << "  outputs   " << DescribeColumns(range.outputs) << "\n";
    out << "  network   " << shape << " (" << WeightCount(sizes) << " weights), "
        << (s.method == CALC_FIXED16 ? "16-bit fixed point" : "double precision") << ", window "
        << s.window << "\n";
    out << "  training  " << TransferName(s.transfer) << " gain " << ShortNumber(s.gain)
        << ", rate " << ShortNumber(s.rate) << ", momentum " << ShortNumber(s.momentum)
        << ", noise " << ShortNumber(s.noise) << ", tolerance " << ShortNumber(s.trainTolerance)
        << "\n";
}

OutputScore ScoreOutput(const Range& range, const RangeColumn& column,
                        const std::vector<Cell>& outputs, const std::set<std::string>& modes) {
    OutputScore score;
    const bool symbolic = !column.bounds.symbols.empty();
    for (int r = range.window - 1; r < range.rows(); ++r) {
        if (!range.IsDataRow(r) || !modes.count(range.mode[r]) || outputs[r].empty()) continue;
        const Cell& target = column.cells[r];
        if (range.mode[r] == "SKIP" || target.empty()) continue;
        ++score.rows;
        if (symbolic) {
            if (outputs[r].kind == CellKind::Text && target.kind == CellKind::Text &&
                UpperText(outputs[r].text) == UpperText(target.text))
                ++score.hits;
        } else if (outputs[r].kind == CellKind::Number) {
            double e = outputs[r].number - CellValue(column, target);
            score.sumSquares += e * e;
        }
    }
    return score;
}

std::string FormatScore(const RangeColumn& column, const OutputScore& score) {
    if (score.rows == 0) return "no rows";
    if (!column.bounds.symbols.empty())
        return std::to_string(score.hits) + " of " + std::to_string(score.rows) + " right (" +
               ShortNumber(100.0 * score.hits / score.rows, 4) + "%)";
    return "RMS error " + ShortNumber(std::sqrt(score.sumSquares / score.rows), 5) + " over " +
           std::to_string(score.rows) + " rows";
}

void PrintWeightHistogram(std::ostream& out, const std::vector<double>& weights, int bins) {
    if (weights.empty()) return;
    double lo = *std::min_element(weights.begin(), weights.end());
    double hi = *std::max_element(weights.begin(), weights.end());
    // Round the span outwards so that the bins have readable edges.
    lo = std::floor(lo * 10.0) / 10.0;
    hi = std::ceil(hi * 10.0) / 10.0;
    if (hi <= lo) hi = lo + 1.0;
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

Worksheet WithPredictions(const Worksheet& sheet, int columns, const Range& range,
                          const std::vector<std::vector<Cell>>& outputs) {
    Worksheet result = sheet;
    result.names.resize(columns);
    for (auto& row : result.rows)
        row.resize(columns);
    for (size_t k = 0; k < range.outputs.size(); ++k) {
        result.names.push_back(range.outputs[k].name + " predicted");
        for (int r = 0; r < result.rowCount(); ++r) {
            int at = range.RangeRowOfSheetRow(r);
            result.rows[r].push_back(at >= 0 && range.IsDataRow(at) ? outputs[k][at] : Cell());
        }
    }
    return result;
}
