#include "engine_session.h"

#include "symbols.h"
#include "xl_column.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kPageRows = 680;

bool Ok(const char* result, const std::string& what, std::string* error) {
    std::string text = ResultText(result);
    if (text == "OK") return true;
    *error = what + ": " + (text.empty() ? "no answer" : text);
    return false;
}

std::string ColumnWhat(const char* kind, const RangeColumn& c) {
    return std::string("loading ") + kind + " column \"" + c.name + "\"";
}

bool LoadColumn(int type, int index, const std::vector<Cell>& cells, size_t first,
                const std::string& what, std::string* error) {
    XlColumn column(cells, first);
    return Ok(
        SetColumnEx(static_cast<int16_t>(type), static_cast<int16_t>(index), column.multi(), 0),
        what, error);
}

bool SplitRows(const Range& range, const NetSettings& s, std::string* error) {
    XlColumn column;
    for (int r = range.window - 1; r < range.rows(); ++r) {
        if (!range.IsDataRow(r))
            column.AddEmpty();
        else
            column.AddText(range.mode[r].empty() ? "TRAIN" : range.mode[r]);
    }
    while (static_cast<int>(column.size()) < range.rows())
        column.AddEmpty();
    // The random split draws from the generator: seeding it first makes the split repeatable.
    if (s.shuffle) RandomizeWeights(1, static_cast<int16_t>(s.seed), s.weightRange);
    const int16_t method = s.shuffle ? 3 : 1;
    const double share = s.shuffle ? s.split * 32767.0 : s.split;
    XLOPER* answer = SelectDataMode(column.multi(), method, share);
    if (answer == nullptr) {
        *error = "splitting the rows: no answer";
        return false;
    }
    if (answer->xltype != xltypeMulti) {
        *error = "splitting the rows: " + XlText(answer);
        return false;
    }
    return true;
}

} // namespace

bool LoadNetwork(const Range& range, const NetSettings& s, bool recall, std::string* error) {
    const int n = range.rows();
    const int w = range.window;
    if (!Ok(SetParams(s.trainTolerance, s.testTolerance, s.rate, s.momentum, s.noise),
            "setting the parameters", error))
        return false;
    if (!Ok(SetEnhanced(static_cast<int16_t>(s.transfer), s.gain, 0, 0.0, s.autoRate ? 1 : 0,
                        recall || range.fixedBounds ? 0.0 : s.margin),
            "setting the transfer function", error))
        return false;
    if (!Ok(recall ? SetCutoffs(0.0, 0.0, 0.0) : SetCutoffs(s.hours, s.trainRise, s.testRise),
            "setting the cut-offs", error))
        return false;
    int16_t hidden[4] = {0, 0, 0, 0};
    for (size_t k = 0; k < s.hidden.size() && k < 4; ++k)
        hidden[k] = static_cast<int16_t>(s.hidden[k]);
    if (!Ok(InitBP(static_cast<int16_t>(range.inputs.size()),
                   static_cast<int16_t>(range.outputs.size()), static_cast<int16_t>(n),
                   static_cast<int16_t>(w), static_cast<int16_t>(s.step), 0,
                   static_cast<int16_t>(s.layerCount()), hidden[0], hidden[1], hidden[2], hidden[3],
                   static_cast<int16_t>(s.method)),
            "building the network", error))
        return false;

    std::vector<Cell> flags(n);
    for (int r = 0; r < n; ++r)
        if (!range.blank[r]) {
            flags[r].kind = CellKind::Number;
            flags[r].number = 1.0;
        }
    if (!LoadColumn(COLUMN_BLANK_FLAG, 0, flags, 0, "loading the blank rows", error)) return false;
    if (range.modeColumn) {
        std::vector<Cell> modes(n);
        for (int r = 0; r < n; ++r)
            if (!range.mode[r].empty()) {
                // Validation rows are kept out of training the way TEST rows are.
                modes[r].kind = CellKind::Text;
                modes[r].text = range.mode[r] == "VALIDATION" ? "TEST" : range.mode[r];
            }
        if (!LoadColumn(COLUMN_MODE_FLAG, 0, modes, w - 1, "loading the mode column", error))
            return false;
    }
    if (!recall && s.split >= 0.0 && !SplitRows(range, s, error)) return false;
    for (size_t k = 0; k < range.inputs.size(); ++k)
        if (!LoadColumn(COLUMN_INPUT, static_cast<int>(k), range.inputs[k].cells, 0,
                        ColumnWhat("input", range.inputs[k]), error))
            return false;
    for (size_t k = 0; k < range.outputs.size(); ++k)
        if (!LoadColumn(COLUMN_OUTPUT, static_cast<int>(k), range.outputs[k].cells, w - 1,
                        ColumnWhat("output", range.outputs[k]), error))
            return false;
    return true;
}

bool RunEpochs(bool train, int epochs, RunStats* stats) {
    FP* result = RunNet(train ? 1 : 0, static_cast<int16_t>(std::min(epochs, 32767)));
    if (result == nullptr || result->rows < 4 || result->columns < 1) return false;
    stats->within = result->array[0];
    stats->outside = result->array[1];
    stats->rms = result->array[2];
    stats->epochs = static_cast<int>(result->array[3]);
    return true;
}

bool ReadOutputs(const Range& range, int column, int mode, std::vector<Cell>* cells,
                 std::string* error) {
    XLOPER* answer = GetOutputsEx(static_cast<int16_t>(column), mode, 0);
    if (answer == nullptr) {
        *error = "reading the outputs: no network";
        return false;
    }
    if (answer->xltype != xltypeMulti || answer->val.array.lparray == nullptr) {
        *error = "reading the outputs: " + XlText(answer);
        return false;
    }
    cells->assign(range.rows(), Cell());
    const int first = range.window - 1;
    const int count = std::min<int>(answer->val.array.rows, range.rows() - first);
    // Positions without a pattern stay empty, as the add-in leaves their cells.
    const FP* flags = GetBlankFlags();
    for (int i = 0; i < count; ++i) {
        if (flags != nullptr && i < flags->rows && flags->array[i] != 0.0) continue;
        const XLOPER& x = answer->val.array.lparray[i];
        Cell& cell = (*cells)[first + i];
        if (x.xltype == xltypeNum) {
            cell.kind = CellKind::Number;
            cell.number = x.val.num;
            cell.text = ExactNumber(x.val.num);
        } else if (x.xltype == xltypeStr && x.val.str && x.val.str[0] > 0) {
            cell.kind = CellKind::Text;
            cell.text = XlText(&x);
            // The library answers in upper case; the user sees the case of the sheet.
            const std::vector<std::string>& symbols = range.outputs[column].bounds.symbols;
            const int k = SymbolIndex(symbols, cell.text);
            if (k >= 0) cell.text = symbols[k];
        }
    }
    return true;
}

bool ReadWeights(int weightCount, std::vector<double>* weights, std::string* error) {
    weights->clear();
    for (int first = 0; first * 8 < weightCount; first += kPageRows) {
        FP* page = GetWeights(static_cast<int16_t>(first));
        if (page == nullptr || page->columns != 8) {
            *error = "reading the weights: no network";
            return false;
        }
        const int n = std::min(weightCount - first * 8, page->rows * 8);
        weights->insert(weights->end(), page->array, page->array + n);
    }
    return true;
}

bool WriteWeights(const std::vector<double>& weights, std::string* error) {
    const int count = static_cast<int>(weights.size());
    int pageRows = std::min((count + 7) / 8, kPageRows);
    std::vector<double> storage(QUAR_FP_BYTES(pageRows, 8) / sizeof(double));
    FP* page = reinterpret_cast<FP*>(storage.data());
    for (int first = 0; first * 8 < count; first += kPageRows) {
        page->rows = static_cast<uint16_t>(pageRows);
        page->columns = 8;
        std::fill(page->array, page->array + pageRows * 8, 0.0);
        const int n = std::min(count - first * 8, pageRows * 8);
        std::copy(weights.begin() + first * 8, weights.begin() + first * 8 + n, page->array);
        if (!Ok(SetWeights(page, static_cast<int16_t>(first)), "loading the weights", error))
            return false;
    }
    return true;
}

ErrorCurve ReadErrorCurve() {
    ErrorCurve curve;
    FP* plot = PlotError();
    if (plot == nullptr || plot->columns != 2 || plot->rows < 3) return curve;
    const double* v = plot->array;
    int count = static_cast<int>(v[0]);
    curve.bucketSize = static_cast<int>(v[2]);
    count = std::max(0, std::min(count, plot->rows - 3));
    for (int i = 0; i < count; ++i) {
        curve.train.push_back(v[(i + 2) * 2]);
        curve.test.push_back(v[(i + 2) * 2 + 1]);
    }
    // The open bucket's mean, when epochs are waiting in it.
    const int last = count + 2;
    if (last < plot->rows && (v[last * 2] != 0.0 || v[last * 2 + 1] != 0.0)) {
        curve.train.push_back(v[last * 2]);
        curve.test.push_back(v[last * 2 + 1]);
    }
    return curve;
}

void MarkSplitRows(Range* range, const NetSettings& s) {
    if (s.split < 0.0) return;
    const int first = range->window - 1;
    const int positions = range->rows() - first;
    // The generator was seeded, then drew once for every weight, before the split drew.
    uint32_t state = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(s.seed)));
    const int weights = WeightCount(LayerSizes(s, static_cast<int>(range->inputs.size()),
                                               static_cast<int>(range->outputs.size())));
    for (int k = 0; k < weights; ++k)
        state = state * 214013u + 2531011u;
    for (int i = 0; i < positions; ++i) {
        const int r = first + i;
        std::string& word = range->mode[r];
        if (!range->IsDataRow(r) || !(word.empty() || word == "TRAIN" || word == "TEST")) continue;
        bool train;
        if (s.shuffle) {
            state = state * 214013u + 2531011u;
            train = static_cast<double>((state >> 16) & 32767u) < s.split * 32767.0;
        } else {
            train = i < positions * s.split;
        }
        word = train ? "TRAIN" : "TEST";
    }
}
