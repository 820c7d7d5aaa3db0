#include "network_file.h"

#include "csv.h"
#include "encoding.h"
#include "symbols.h"
#include "worksheet.h"

#include <cmath>
#include <cstdlib>

namespace {

const char kMagic[] = "quarrow network";

bool ReadNumber(const std::string& field, double* v) {
    Cell c = CellFromField(field);
    if (c.kind != CellKind::Number) return false;
    *v = c.number;
    return true;
}

bool ReadInt(const std::string& field, int lo, int hi, int* v) {
    double d;
    if (!ReadNumber(field, &d) || d != std::floor(d) || d < lo || d > hi) return false;
    *v = static_cast<int>(d);
    return true;
}

} // namespace

std::string NetworkFileText(const NetworkFile& net) {
    const NetSettings& s = net.settings;
    std::string out;
    auto line = [&](const std::vector<std::string>& fields) { out += CsvLine(fields) + "\n"; };
    line({kMagic, "1"});
    line({"method", s.method == CALC_FIXED16 ? "fixed" : "double"});
    line({"window", std::to_string(s.window)});
    line({"step", std::to_string(s.step)});
    std::vector<std::string> hidden = {"hidden"};
    for (int h : s.hidden)
        hidden.push_back(std::to_string(h));
    line(hidden);
    line({"transfer", std::to_string(s.transfer)});
    line({"gain", ExactNumber(s.gain)});
    line({"rate", ExactNumber(s.rate)});
    line({"momentum", ExactNumber(s.momentum)});
    line({"noise", ExactNumber(s.noise)});
    line({"train tolerance", ExactNumber(s.trainTolerance)});
    line({"test tolerance", ExactNumber(s.testTolerance)});
    line({"mode", net.modeName});
    // Older files and coded columns go without these lines.
    if (s.oneHot) line({"encoding", "one-hot"});
    if (s.oneHotInputs) line({"input encoding", "one-hot"});
    if (s.oneHot || s.oneHotInputs) line({"margin", ExactNumber(s.margin)});
    for (size_t k = 0; k < net.inputNames.size(); ++k)
        line({"input", net.inputNames[k], ExactNumber(net.inputBounds[k].lo),
              ExactNumber(net.inputBounds[k].hi), SymbolList(net.inputBounds[k].symbols)});
    for (size_t k = 0; k < net.outputNames.size(); ++k)
        line({"output", net.outputNames[k], ExactNumber(net.outputBounds[k].lo),
              ExactNumber(net.outputBounds[k].hi), SymbolList(net.outputBounds[k].symbols)});
    line({"weights", std::to_string(net.weights.size())});
    for (size_t k = 0; k < net.weights.size(); k += 8) {
        std::vector<std::string> row;
        for (size_t j = k; j < k + 8 && j < net.weights.size(); ++j)
            row.push_back(ExactNumber(net.weights[j]));
        line(row);
    }
    return out;
}

bool ParseNetworkFile(const std::string& text, NetworkFile* net, std::string* error) {
    *net = NetworkFile();
    net->settings.hidden.clear();
    std::vector<CsvRecord> records;
    if (!ParseCsv(text, &records, error)) return false;
    if (records.empty() || records[0][0].text != kMagic) {
        *error = "not a network saved by quarrow";
        return false;
    }
    NetSettings& s = net->settings;
    bool sawWeights = false;
    size_t expected = 0;
    for (size_t i = 1; i < records.size(); ++i) {
        const CsvRecord& r = records[i];
        const std::string where = "line " + std::to_string(i + 1);
        auto field = [&](size_t k) { return k < r.size() ? r[k].text : std::string(); };
        if (sawWeights) {
            for (const CsvField& f : r) {
                if (f.text.empty()) continue;
                double v;
                if (!ReadNumber(f.text, &v)) {
                    *error = where + ": \"" + f.text + "\" is not a weight";
                    return false;
                }
                net->weights.push_back(v);
            }
            continue;
        }
        const std::string key = field(0);
        bool ok = true;
        if (key.empty()) {
            continue;
        } else if (key == "method") {
            ok = field(1) == "fixed" || field(1) == "double";
            s.method = field(1) == "fixed" ? CALC_FIXED16 : CALC_DOUBLE;
        } else if (key == "window") {
            ok = ReadInt(field(1), 1, 1000, &s.window);
        } else if (key == "step") {
            ok = ReadInt(field(1), 1, 1000, &s.step);
        } else if (key == "hidden") {
            for (size_t k = 1; k < r.size() && ok; ++k) {
                int h;
                ok = ReadInt(r[k].text, 1, 32767, &h);
                s.hidden.push_back(h);
            }
            ok = ok && s.hidden.size() <= 4;
        } else if (key == "transfer") {
            ok = ReadInt(field(1), 1, 6, &s.transfer);
        } else if (key == "gain") {
            ok = ReadNumber(field(1), &s.gain);
        } else if (key == "rate") {
            ok = ReadNumber(field(1), &s.rate);
        } else if (key == "momentum") {
            ok = ReadNumber(field(1), &s.momentum);
        } else if (key == "noise") {
            ok = ReadNumber(field(1), &s.noise) && s.noise >= 0.0;
        } else if (key == "train tolerance") {
            ok = ReadNumber(field(1), &s.trainTolerance);
        } else if (key == "test tolerance") {
            ok = ReadNumber(field(1), &s.testTolerance);
        } else if (key == "encoding") {
            ok = field(1) == "one-hot" || field(1) == "coded";
            s.oneHot = field(1) == "one-hot";
        } else if (key == "input encoding") {
            ok = field(1) == "one-hot" || field(1) == "coded";
            s.oneHotInputs = field(1) == "one-hot";
        } else if (key == "margin") {
            ok = ReadNumber(field(1), &s.margin) && s.margin >= 0.0;
        } else if (key == "mode") {
            net->modeName = field(1);
        } else if (key == "input" || key == "output") {
            ColumnBounds b;
            ok = !field(1).empty() && ReadNumber(field(2), &b.lo) && ReadNumber(field(3), &b.hi) &&
                 b.lo <= b.hi && SymbolsOfList(field(4), &b.symbols, error);
            (key == "input" ? net->inputNames : net->outputNames).push_back(field(1));
            (key == "input" ? net->inputBounds : net->outputBounds).push_back(b);
        } else if (key == "weights") {
            int n;
            ok = ReadInt(field(1), 1, 131008, &n);
            expected = static_cast<size_t>(n);
            sawWeights = true;
        } else {
            *error = where + ": unknown setting \"" + key + "\"";
            return false;
        }
        if (!ok) {
            *error = where + ": bad value for " + key;
            return false;
        }
    }
    if (net->inputNames.empty() || net->outputNames.empty()) {
        *error = "the network names no input or no output column";
        return false;
    }
    const int count =
        WeightCount(LayerSizes(s, NetworkOutputCount(net->inputBounds, s.oneHotInputs),
                               NetworkOutputCount(net->outputBounds, s.oneHot)));
    if (!sawWeights || net->weights.size() != static_cast<size_t>(count)) {
        *error = "the network should hold " + std::to_string(count) + " weights, the file has " +
                 std::to_string(net->weights.size());
        return false;
    }
    if (net->weights.size() != expected) {
        *error = "the weights line announces " + std::to_string(expected) +
                 " weights, the rows hold " + std::to_string(net->weights.size());
        return false;
    }
    return true;
}

bool SaveNetworkFile(const std::string& path, const NetworkFile& net, std::string* error) {
    return WriteTextFile(path, NetworkFileText(net), error);
}

bool LoadNetworkFile(const std::string& path, NetworkFile* net, std::string* error) {
    std::string text;
    if (!ReadTextFile(path, &text, error)) return false;
    if (!ParseNetworkFile(text, net, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}
