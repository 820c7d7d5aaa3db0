#include "report_html.h"

#include "figures_view.h"
#include "file_replace.h"
#include "svg_chart.h"
#include "text_utf8.h"
#include "worksheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The page is also well-formed XML, so any XML tool can read it and its charts.
constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:24px;color:#222;max-width:1100px}"
    "h1{font-size:22px}h2{font-size:18px;margin-top:28px;border-bottom:1px solid #ccc}"
    "h3{font-size:15px}table{border-collapse:collapse;margin:8px 0}"
    "td,th{border:1px solid #ccc;padding:3px 8px;text-align:left}"
    "td.n{text-align:right;font-variant-numeric:tabular-nums}th{background:#f0f0f0}"
    "svg{display:block;margin:8px 0}.warn{color:#9b2c2c}";

const char* SetColour(const std::string& set) {
    return set == "test" ? "#2b6cb0" : set == "validation" ? "#dd8a1e" : "#777";
}

std::string Esc(const std::string& text) {
    return XmlEscape(text);
}

std::string Num(double v) {
    return std::isfinite(v) ? ShortNumber(v, 5) : std::string("n/a");
}

std::string Cells(const std::vector<std::string>& cells, const char* tag = "td") {
    std::string s = "<tr>";
    for (const std::string& c : cells) {
        bool number = tag[1] == 'd' && !c.empty() && CellFromField(c).kind == CellKind::Number;
        s += std::string("<") + tag + (number ? " class=\"n\">" : ">") + Esc(c) + "</" + tag + ">";
    }
    return s + "</tr>";
}

std::string Table(const std::vector<std::string>& head,
                  const std::vector<std::vector<std::string>>& rows) {
    std::string s = "<table>" + (head.empty() ? "" : Cells(head, "th"));
    for (const auto& row : rows)
        s += Cells(row);
    return s + "</table>";
}

std::string Summary(const RunFigures& run) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& [name, value] : RunSummary(run))
        rows.push_back({name, value});
    std::string s = "<h2>Run</h2>" + Table({}, rows);
    if (!run.warnings.empty()) {
        s += "<h3>Warnings</h3><ul>";
        for (const std::string& w : run.warnings)
            s += "<li class=\"warn\">" + Esc(w) + "</li>";
        s += "</ul>";
    }
    if (!run.settings.empty()) {
        std::vector<std::vector<std::string>> settings;
        for (const auto& [name, value] : run.settings)
            settings.push_back({name, value});
        s += "<h2>Settings</h2>" + Table({"setting", "value"}, settings);
    }
    return s;
}

std::string Curves(const RunFigures& run) {
    if (run.trainCurve.empty() && run.validationCurve.empty()) return "";
    ChartFrame f{"Error per epoch", "epoch", "error (0..1 scale)", 900, 320};
    std::vector<double> epochs;
    for (size_t k = 0; k < std::max(run.trainCurve.size(), run.validationCurve.size()); ++k)
        epochs.push_back(CurveEpoch(run, k));
    return "<h2>Error curves</h2>" +
           SvgLineChart(f,
                        {{"training", SetColour("train"), run.trainCurve, epochs},
                         {"validation", SetColour("validation"), run.validationCurve, epochs}},
                        run.bestEpoch, "kept");
}

std::string SetSection(const SetFigures& set) {
    std::string s = "<h2>Figures: " + Esc(set.set) + " rows</h2>";
    std::vector<std::vector<std::string>> numeric, symbolic;
    for (const OutputFigures& o : set.outputs) {
        if (o.symbolic)
            symbolic.push_back(
                {o.column, std::to_string(o.rows), Num(o.accuracy), Num(o.balancedAccuracy)});
        else
            numeric.push_back(
                {o.column, std::to_string(o.rows), Num(o.rmse), Num(o.mae), Num(o.r2)});
    }
    if (!numeric.empty())
        s += Table({"output", "rows", "RMS error", "mean abs. error", "R\u00b2"}, numeric);
    if (!symbolic.empty())
        s += Table({"output", "rows", "accuracy", "balanced accuracy"}, symbolic);
    for (const OutputFigures& o : set.outputs) {
        if (!o.symbolic) continue;
        std::vector<std::vector<std::string>> classes;
        for (const ClassFigures& c : o.perClass)
            classes.push_back(
                {c.name, std::to_string(c.support), Num(c.precision), Num(c.recall), Num(c.f1)});
        s += "<h3>" + Esc(o.column) + "</h3>" +
             Table({"class", "rows", "precision", "recall", "F1"}, classes);
        s += SvgConfusionChart("Confusion: " + o.column + " (" + set.set + ")", o.classes,
                               o.confusion);
    }
    return s;
}

// One chart per numeric output, the points of every set together.
std::string Scatters(const RunFigures& run) {
    std::string s;
    for (const std::string& column : run.outputs) {
        std::vector<PointSeries> series;
        for (const SetFigures& set : run.sets)
            for (const OutputFigures& o : set.outputs)
                if (!o.symbolic && o.column == column && !o.actual.empty())
                    series.push_back({set.set, SetColour(set.set), o.actual, o.predicted});
        if (series.empty()) continue;
        ChartFrame f{"Predicted against actual: " + column, "actual", "predicted", 560, 520};
        s += SvgScatterChart(f, series);
    }
    return s.empty() ? s : "<h2>Predictions</h2>" + s;
}

std::string Histogram(const RunFigures& run) {
    if (run.histogram.empty()) return "";
    std::vector<std::string> labels;
    std::vector<double> counts;
    size_t n = run.histogram.size();
    for (size_t k = 0; k < n; ++k) {
        double lo = run.histLo + (run.histHi - run.histLo) * k / n;
        double hi = run.histLo + (run.histHi - run.histLo) * (k + 1) / n;
        labels.push_back(ShortNumber(lo, 3) + " to " + ShortNumber(hi, 3));
        counts.push_back(static_cast<double>(run.histogram[k]));
    }
    ChartFrame f{"Weights", "weight", "count", 900, 280};
    return "<h2>Weight histogram</h2>" + SvgColumnChart(f, labels, counts);
}

std::string Schemas(const RunFigures& run) {
    if (run.schemas.empty()) return "";
    std::vector<std::vector<std::string>> rows;
    for (const SchemaFigures& d : run.schemas) {
        std::string hidden;
        for (int units : d.hidden)
            hidden += (hidden.empty() ? "" : ",") + std::to_string(units);
        rows.push_back({d.label, hidden.empty() ? "-" : hidden, Num(d.rate), Num(d.momentum),
                        Num(d.noise), Num(d.error), std::to_string(d.epochs), d.inputs});
    }
    return "<h2>Evolved designs</h2>" + Table({"design", "hidden units", "rate", "momentum",
                                               "noise", "error", "epochs", "inputs"},
                                              rows);
}

} // namespace

std::string HtmlReport(const RunFigures& run) {
    std::string title = "quarrow " + run.command + ": " + run.sheet;
    std::string s = "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" "
                    "lang=\"en\"><head><meta charset=\"utf-8\"/><title>" +
                    Esc(title) + "</title><style>" + kStyle + "</style></head><body><h1>" +
                    Esc(title) + "</h1>";
    s += Summary(run);
    if (run.layers.size() >= 2) s += "<h2>Network</h2>" + SvgNetworkShape(run.layers);
    s += Curves(run);
    for (const SetFigures& set : run.sets)
        s += SetSection(set);
    s += Scatters(run) + Histogram(run) + Schemas(run);
    return s + "</body></html>\n";
}

bool WriteHtmlReport(const std::string& path, const RunFigures& run, std::string* error) {
    return ReplaceFileText(path, HtmlReport(run), error);
}
