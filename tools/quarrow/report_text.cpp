#include "report_text.h"

#include "worksheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Fewer TRAIN rows than this for a class make its figures a matter of chance.
constexpr int kFewRows = 5;
// A drop of this much accuracy (or a rise of this share in RMSE) from training to testing rows.
constexpr double kAccuracyGap = 0.15;
constexpr double kErrorGapRatio = 1.5;

std::string SetName(const std::string& set) {
    if (set == "train") return "training rows";
    if (set == "validation") return "validation rows";
    if (set == "test") return "testing rows";
    return set + " rows";
}

std::string Percent(double share) {
    return ShortNumber(100.0 * share, 4) + "%";
}

std::string Cell(const std::string& text, size_t width) {
    return text.size() >= width ? " " + text : std::string(width - text.size() + 1, ' ') + text;
}

void PrintSymbolic(std::ostream& out, const OutputFigures& f) {
    out << "accuracy " << Percent(f.accuracy) << ", balanced accuracy "
        << Percent(f.balancedAccuracy) << "\n";
    size_t width = 9;
    for (const std::string& c : f.classes)
        width = std::max(width, c.size());
    out << "      confusion (rows: actual class, columns: predicted)\n      " << Cell("", width);
    for (const std::string& c : f.classes)
        out << Cell(c, width);
    out << "\n";
    for (size_t a = 0; a < f.classes.size(); ++a) {
        out << "      " << Cell(f.classes[a], width);
        for (int n : f.confusion[a])
            out << Cell(std::to_string(n), width);
        out << "\n";
    }
    out << "      " << Cell("class", width) << Cell("precision", width) << Cell("recall", width)
        << Cell("F1", width) << Cell("rows", width) << "\n";
    for (const ClassFigures& c : f.perClass)
        out << "      " << Cell(c.name, width) << Cell(ShortNumber(c.precision, 3), width)
            << Cell(ShortNumber(c.recall, 3), width) << Cell(ShortNumber(c.f1, 3), width)
            << Cell(std::to_string(c.support), width) << "\n";
}

const OutputFigures* Find(const RunFigures& run, const std::string& set, size_t k) {
    for (const SetFigures& s : run.sets)
        if (s.set == set && k < s.outputs.size() && s.outputs[k].rows > 0) return &s.outputs[k];
    return nullptr;
}

} // namespace

void PrintRunEnd(std::ostream& out, const RunFigures& run) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", run.trainSeconds);
    out << "Stopped after " << run.epochsRun << " epochs (" << seconds << " s): " << run.stopRule
        << ".";
    if (run.bestEpoch != run.epochsRun)
        out << " Kept the weights of epoch " << run.bestEpoch << ", the lowest validation error.";
    out << "\n";
}

void PrintSetFigures(std::ostream& out, const RunFigures& run) {
    for (const SetFigures& set : run.sets)
        for (const OutputFigures& f : set.outputs) {
            out << "  " << f.column << ", " << SetName(set.set) << " (" << f.rows << "): ";
            if (f.rows == 0) {
                out << "no rows\n";
            } else if (f.symbolic) {
                PrintSymbolic(out, f);
            } else {
                out << "RMSE " << ShortNumber(f.rmse, 5) << ", MAE " << ShortNumber(f.mae, 5)
                    << " (data units), R^2 "
                    << (std::isfinite(f.r2) ? ShortNumber(f.r2, 4) : std::string("undefined"))
                    << "\n";
            }
        }
}

void AddWarnings(RunFigures* run) {
    for (size_t k = 0; k < run->outputs.size(); ++k) {
        const OutputFigures* train = Find(*run, "train", k);
        const OutputFigures* test = Find(*run, "test", k);
        if (train && test) {
            if (train->symbolic && train->accuracy - test->accuracy > kAccuracyGap)
                run->warnings.push_back(run->outputs[k] + ": accuracy falls from " +
                                        Percent(train->accuracy) + " on training rows to " +
                                        Percent(test->accuracy) +
                                        " on testing rows; the network may be learning the "
                                        "training rows by heart");
            if (!train->symbolic && test->rmse > kErrorGapRatio * train->rmse && test->rmse > 0.0)
                run->warnings.push_back(run->outputs[k] + ": RMSE rises from " +
                                        ShortNumber(train->rmse, 4) + " on training rows to " +
                                        ShortNumber(test->rmse, 4) + " on testing rows");
        }
        if (train && train->symbolic)
            for (const ClassFigures& c : train->perClass)
                if (c.support < kFewRows)
                    run->warnings.push_back(run->outputs[k] + ": class \"" + c.name + "\" has " +
                                            std::to_string(c.support) +
                                            " training rows; its figures are unreliable");
    }
}
