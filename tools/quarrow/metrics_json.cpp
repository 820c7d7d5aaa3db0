#include "metrics_json.h"

#include <cmath>
#include <cstdio>

namespace {

std::string Number(double v) {
    if (!std::isfinite(v)) return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

template <class T, class F> std::string Array(const std::vector<T>& items, F each) {
    std::string s = "[";
    for (size_t i = 0; i < items.size(); ++i)
        s += (i ? "," : "") + each(items[i]);
    return s + "]";
}

std::string Numbers(const std::vector<double>& v) {
    return Array(v, [](double x) { return Number(x); });
}

std::string Texts(const std::vector<std::string>& v) {
    return Array(v, [](const std::string& x) { return JsonString(x); });
}

std::string Field(const char* name, const std::string& value, bool last = false) {
    return JsonString(name) + ":" + value + (last ? "" : ",");
}

std::string CellJson(const Cell& c) {
    if (c.kind == CellKind::Number) return Number(c.number);
    if (c.kind == CellKind::Text) return JsonString(c.text);
    return "null";
}

std::string OutputJson(const OutputFigures& f) {
    std::string s = "{" + Field("column", JsonString(f.column)) +
                    Field("symbolic", f.symbolic ? "true" : "false") +
                    Field("rows", std::to_string(f.rows));
    if (f.symbolic) {
        s += Field("classes", Texts(f.classes));
        s += Field("confusion", Array(f.confusion, [](const std::vector<int>& row) {
                       return Array(row, [](int n) { return std::to_string(n); });
                   }));
        s += Field("perClass", Array(f.perClass, [](const ClassFigures& c) {
                       return "{" + Field("class", JsonString(c.name)) +
                              Field("support", std::to_string(c.support)) +
                              Field("precision", Number(c.precision)) +
                              Field("recall", Number(c.recall)) + Field("f1", Number(c.f1), true) +
                              "}";
                   }));
        s += Field("accuracy", Number(f.accuracy));
        s += Field("balancedAccuracy", Number(f.balancedAccuracy), true);
    } else {
        s += Field("unit", JsonString("data units"));
        s +=
            Field("rmse", Number(f.rmse)) + Field("mae", Number(f.mae)) + Field("r2", Number(f.r2));
        s += Field("predicted", Numbers(f.predicted)) + Field("actual", Numbers(f.actual), true);
    }
    return s + "}";
}

} // namespace

std::string JsonString(const std::string& text) {
    std::string s = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            s += code;
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + "\"";
}

std::string MetricsJson(const RunFigures& run) {
    std::string s = "{\n";
    s += Field("command", JsonString(run.command)) + "\n";
    s += Field("sheet", JsonString(run.sheet)) + "\n";
    s += Field(
             "settings", "{" +
                             [&] {
                                 std::string items;
                                 for (size_t i = 0; i < run.settings.size(); ++i)
                                     items += (i ? "," : "") + JsonString(run.settings[i].first) +
                                              ":" + JsonString(run.settings[i].second);
                                 return items;
                             }() +
                             "}") +
         "\n";
    s += Field("inputs", Texts(run.inputs)) + Field("outputs", Texts(run.outputs)) + "\n";
    s += Field("layers", Array(run.layers, [](int n) { return std::to_string(n); })) + "\n";
    s += Field("curveUnit", JsonString("RMS error on the 0..1 scale")) + "\n";
    s += Field("curveEvery", std::to_string(run.curveEvery)) + "\n";
    s += Field("trainCurve", Numbers(run.trainCurve)) + "\n";
    s += Field("validationCurve", Numbers(run.validationCurve)) + "\n";
    s += Field("epochsRun", std::to_string(run.epochsRun)) +
         Field("bestEpoch", std::to_string(run.bestEpoch)) +
         Field("stopRule", JsonString(run.stopRule)) +
         Field("trainSeconds", Number(run.trainSeconds)) + "\n";
    s += Field("histogram", Array(run.histogram, [](long n) { return std::to_string(n); })) +
         Field("histLo", Number(run.histLo)) + Field("histHi", Number(run.histHi)) + "\n";
    s += Field("sets", Array(run.sets,
                             [](const SetFigures& set) {
                                 return "{" + Field("set", JsonString(set.set)) +
                                        Field("outputs", Array(set.outputs, OutputJson), true) +
                                        "}";
                             })) +
         "\n";
    const RowPredictions& p = run.predictions;
    s += Field("predictions",
               "{" + Field("outputs", Texts(p.outputs)) +
                   Field("cells",
                         Array(p.cells,
                               [](const std::vector<Cell>& row) { return Array(row, CellJson); })) +
                   Field("modes", Texts(p.modes)) +
                   Field("outOfRange",
                         Array(p.outOfRange, [](bool b) { return std::string(b ? "1" : "0"); }),
                         true) +
                   "}") +
         "\n";
    s += Field("warnings", Texts(run.warnings), true) + "\n}\n";
    return s;
}
