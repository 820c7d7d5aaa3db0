#include "workbook_write.h"

#include "figures_view.h"
#include "file_replace.h"
#include "text_utf8.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kChartColumn = 10; // charts stand to the right of the figures' tables
constexpr int kChartRows = 18;

// The open workbook and the first thing that went wrong while filling it.
struct Book {
    lxw_workbook* workbook = nullptr;
    lxw_format* bold = nullptr;
    lxw_format* heading = nullptr;
    lxw_format* predicted = nullptr;
    lxw_format* predictedHead = nullptr;
    std::string error;

    bool Check(lxw_error e, const char* sheet, int row, int column) {
        if (e != LXW_NO_ERROR && error.empty())
            error = std::string(sheet) + "!" + ColumnLetters(column) + std::to_string(row + 1) +
                    ": " + lxw_strerror(e);
        return e == LXW_NO_ERROR;
    }
};

// A place on a sheet, for the charts that draw from it.
struct Block {
    int firstRow = 0, lastRow = -1, column = 0;
};

void Text(Book* b, lxw_worksheet* ws, int row, int column, const std::string& text,
          lxw_format* format = nullptr) {
    std::string clean = Utf8Text(text);
    b->Check(worksheet_write_string(ws, row, column, clean.c_str(), format), ws->name, row, column);
}

// Values that are not finite are written as the spreadsheet's "not available", which charts
// leave out, rather than as a number no program can read.
void Number(Book* b, lxw_worksheet* ws, int row, int column, double v,
            lxw_format* format = nullptr) {
    lxw_error e = std::isfinite(v)
                      ? worksheet_write_number(ws, row, column, v, format)
                      : worksheet_write_formula_str(ws, row, column, "=NA()", format, "#N/A");
    b->Check(e, ws->name, row, column);
}

void Put(Book* b, lxw_worksheet* ws, int row, int column, const Cell& cell,
         lxw_format* format = nullptr) {
    if (cell.kind == CellKind::Number)
        Number(b, ws, row, column, cell.number, format);
    else if (cell.kind == CellKind::Text)
        Text(b, ws, row, column, cell.text, format);
}

// A value shown as text in the figures: a number when it reads as one.
void Shown(Book* b, lxw_worksheet* ws, int row, int column, const std::string& text) {
    Put(b, ws, row, column, CellFromField(text));
}

void Header(Book* b, lxw_worksheet* ws, int row, const std::vector<std::string>& names,
            int column = 0) {
    for (size_t k = 0; k < names.size(); ++k)
        Text(b, ws, row, column + static_cast<int>(k), names[k], b->bold);
}

void WriteData(Book* b, const Worksheet& sheet, const RowPredictions& p) {
    lxw_worksheet* ws = workbook_add_worksheet(b->workbook, "Data");
    int columns = sheet.columnCount();
    Header(b, ws, 0, sheet.names);
    bool predicting = !p.outputs.empty();
    if (predicting) {
        for (size_t k = 0; k < p.outputs.size(); ++k)
            Text(b, ws, 0, columns + static_cast<int>(k), p.outputs[k] + " predicted",
                 b->predictedHead);
        int extra = columns + static_cast<int>(p.outputs.size());
        Header(b, ws, 0, {"row mode", "out of range"}, extra);
    }
    worksheet_freeze_panes(ws, 1, 0);
    int last = columns - 1 + (predicting ? static_cast<int>(p.outputs.size()) + 2 : 0);
    if (last >= 0) {
        worksheet_set_column(ws, 0, last, 13, nullptr);
        b->Check(worksheet_autofilter(ws, 0, 0, sheet.rowCount(), last), "Data", 0, 0);
    }
    for (int r = 0; r < sheet.rowCount() && b->error.empty(); ++r) {
        const std::vector<Cell>& cells = sheet.rows[r];
        for (int c = 0; c < columns && c < static_cast<int>(cells.size()); ++c)
            Put(b, ws, r + 1, c, cells[c]);
        if (!predicting) continue;
        int column = columns;
        size_t r2 = static_cast<size_t>(r);
        for (size_t k = 0; k < p.outputs.size(); ++k, ++column)
            if (r2 < p.cells.size() && k < p.cells[r2].size())
                Put(b, ws, r + 1, column, p.cells[r2][k], b->predicted);
        if (r2 < p.modes.size() && !p.modes[r2].empty()) Text(b, ws, r + 1, column, p.modes[r2]);
        if (r2 < p.outOfRange.size())
            b->Check(worksheet_write_boolean(ws, r + 1, column + 1, p.outOfRange[r2], nullptr),
                     "Data", r + 1, column + 1);
    }
}

// Epoch, training error, validation error; returns the rows the curves fill.
Block WriteCurves(Book* b, const RunFigures& run) {
    lxw_worksheet* ws = workbook_add_worksheet(b->workbook, "Curves");
    Header(b, ws, 0, {"epoch", "training error", "validation error"});
    worksheet_freeze_panes(ws, 1, 0);
    size_t n = std::max(run.trainCurve.size(), run.validationCurve.size());
    for (size_t k = 0; k < n && b->error.empty(); ++k) {
        int row = static_cast<int>(k) + 1;
        Number(b, ws, row, 0, CurveEpoch(run, k));
        if (k < run.trainCurve.size()) Number(b, ws, row, 1, run.trainCurve[k]);
        if (k < run.validationCurve.size()) Number(b, ws, row, 2, run.validationCurve[k]);
    }
    return Block{1, static_cast<int>(n), 0};
}

// Per numeric output and set, the (actual, predicted) pairs a scatter chart draws.
struct PointColumns {
    std::string output, set;
    Block block; // actual in block.column, predicted in the next
};

std::vector<PointColumns> WritePoints(Book* b, const RunFigures& run) {
    std::vector<PointColumns> written;
    lxw_worksheet* ws = nullptr;
    int column = 0;
    for (const std::string& output : run.outputs)
        for (const SetFigures& set : run.sets)
            for (const OutputFigures& o : set.outputs) {
                if (o.symbolic || o.column != output || o.actual.empty()) continue;
                if (ws == nullptr) ws = workbook_add_worksheet(b->workbook, "Points");
                Header(
                    b, ws, 0,
                    {output + " actual (" + set.set + ")", output + " predicted (" + set.set + ")"},
                    column);
                size_t n = std::min(o.actual.size(), o.predicted.size());
                for (size_t k = 0; k < n && b->error.empty(); ++k) {
                    Number(b, ws, static_cast<int>(k) + 1, column, o.actual[k]);
                    Number(b, ws, static_cast<int>(k) + 1, column + 1, o.predicted[k]);
                }
                written.push_back({output, set.set, Block{1, static_cast<int>(n), column}});
                column += 2;
            }
    return written;
}

// Where the figures sheet put what the charts draw.
struct FigureBlocks {
    Block histogram; // labels in column, counts two columns on
    // per symbolic output of the set the charts show: its confusion table
    std::vector<std::pair<std::string, Block>> confusion; // rows: the actual classes
    std::vector<int> classCounts;
};

int Pairs(Book* b, lxw_worksheet* ws, int row, const char* title,
          const std::vector<std::pair<std::string, std::string>>& pairs) {
    if (pairs.empty()) return row;
    Text(b, ws, row++, 0, title, b->heading);
    for (const auto& [name, value] : pairs) {
        Text(b, ws, row, 0, name);
        Shown(b, ws, row++, 1, value);
    }
    return row + 1;
}

// The set whose tables the charts show: test rows if there are any, else validation, else the
// first.
const SetFigures* ChartSet(const RunFigures& run) {
    for (const char* name : {"test", "validation"})
        for (const SetFigures& s : run.sets)
            if (s.set == name) return &s;
    return run.sets.empty() ? nullptr : &run.sets.front();
}

int WriteConfusion(Book* b, lxw_worksheet* ws, int row, const std::string& set,
                   const OutputFigures& o, FigureBlocks* blocks, bool charted) {
    Text(b, ws, row++, 0, "Confusion: " + o.column + " (" + set + " rows)", b->heading);
    Text(b, ws, row, 0, "actual \\ predicted", b->bold);
    Header(b, ws, row++, o.classes, 1);
    int first = row, n = static_cast<int>(o.classes.size());
    for (int a = 0; a < n; ++a, ++row) {
        Text(b, ws, row, 0, o.classes[a], b->bold);
        for (int q = 0; q < n; ++q) {
            bool held = a < static_cast<int>(o.confusion.size()) &&
                        q < static_cast<int>(o.confusion[a].size());
            Number(b, ws, row, q + 1, held ? o.confusion[a][q] : 0);
        }
    }
    if (n > 0) {
        lxw_conditional_format scale{};
        scale.type = LXW_CONDITIONAL_2_COLOR_SCALE;
        scale.min_color = 0xFFFFFF;
        scale.max_color = 0x5B9BD5;
        b->Check(worksheet_conditional_format_range(ws, first, 1, row - 1, n, &scale), ws->name,
                 first, 1);
    }
    if (charted) {
        blocks->confusion.push_back({o.column, Block{first, row - 1, 0}});
        blocks->classCounts.push_back(n);
    }
    return row + 1;
}

FigureBlocks WriteFigures(Book* b, lxw_worksheet* ws, const RunFigures& run) {
    FigureBlocks blocks;
    worksheet_set_column(ws, 0, 0, 28, nullptr);
    worksheet_set_column(ws, 1, 8, 14, nullptr);
    int row = Pairs(b, ws, 0, "Run", RunSummary(run));
    row = Pairs(b, ws, row, "Settings", run.settings);
    if (!run.warnings.empty()) {
        Text(b, ws, row++, 0, "Warnings", b->heading);
        for (const std::string& w : run.warnings)
            Text(b, ws, row++, 0, w);
        ++row;
    }
    if (!run.sets.empty()) {
        Text(b, ws, row++, 0, "Figures per set of rows", b->heading);
        Header(b, ws, row++,
               {"set", "output", "rows", "accuracy", "balanced accuracy", "RMS error",
                "mean abs. error", "R\u00b2"});
        for (const SetFigures& set : run.sets)
            for (const OutputFigures& o : set.outputs) {
                Text(b, ws, row, 0, set.set);
                Text(b, ws, row, 1, o.column);
                Number(b, ws, row, 2, o.rows);
                if (o.symbolic) {
                    Number(b, ws, row, 3, o.accuracy);
                    Number(b, ws, row, 4, o.balancedAccuracy);
                } else {
                    Number(b, ws, row, 5, o.rmse);
                    Number(b, ws, row, 6, o.mae);
                    Number(b, ws, row, 7, o.r2);
                }
                ++row;
            }
        ++row;
    }
    bool classes = false;
    for (const SetFigures& set : run.sets)
        for (const OutputFigures& o : set.outputs) {
            if (o.perClass.empty()) continue;
            if (!classes) {
                Text(b, ws, row++, 0, "Figures per class", b->heading);
                Header(b, ws, row++,
                       {"set", "output", "class", "rows", "precision", "recall", "F1"});
                classes = true;
            }
            for (const ClassFigures& c : o.perClass) {
                Text(b, ws, row, 0, set.set);
                Text(b, ws, row, 1, o.column);
                Text(b, ws, row, 2, c.name);
                Number(b, ws, row, 3, c.support);
                Number(b, ws, row, 4, c.precision);
                Number(b, ws, row, 5, c.recall);
                Number(b, ws, row++, 6, c.f1);
            }
        }
    if (classes) ++row;
    const SetFigures* charted = ChartSet(run);
    for (const SetFigures& set : run.sets)
        for (const OutputFigures& o : set.outputs)
            if (o.symbolic && !o.classes.empty())
                row = WriteConfusion(b, ws, row, set.set, o, &blocks, &set == charted);
    if (!run.histogram.empty()) {
        Text(b, ws, row++, 0, "Weight histogram", b->heading);
        Header(b, ws, row++, {"bin", "from", "to", "count"});
        size_t n = run.histogram.size();
        blocks.histogram.firstRow = row;
        for (size_t k = 0; k < n; ++k, ++row) {
            double lo = run.histLo + (run.histHi - run.histLo) * k / n;
            double hi = run.histLo + (run.histHi - run.histLo) * (k + 1) / n;
            Text(b, ws, row, 0, ShortNumber(lo, 3) + " to " + ShortNumber(hi, 3));
            Number(b, ws, row, 1, lo);
            Number(b, ws, row, 2, hi);
            Number(b, ws, row, 3, static_cast<double>(run.histogram[k]));
        }
        blocks.histogram.lastRow = row - 1;
        ++row;
    }
    if (!run.schemas.empty()) {
        Text(b, ws, row++, 0, "Evolved designs", b->heading);
        Header(
            b, ws, row++,
            {"design", "hidden units", "rate", "momentum", "noise", "error", "epochs", "inputs"});
        for (const SchemaFigures& d : run.schemas) {
            Text(b, ws, row, 0, d.label);
            Text(b, ws, row, 1, d.hidden.empty() ? "-" : LayerText(d.hidden));
            Number(b, ws, row, 2, d.rate);
            Number(b, ws, row, 3, d.momentum);
            Number(b, ws, row, 4, d.noise);
            Number(b, ws, row, 5, d.error);
            Number(b, ws, row, 6, d.epochs);
            Text(b, ws, row++, 7, d.inputs);
        }
    }
    return blocks;
}

lxw_chart* NewChart(Book* b, uint8_t type, const std::string& title, const char* xName,
                    const char* yName) {
    lxw_chart* chart = workbook_add_chart(b->workbook, type);
    std::string clean = Utf8Text(title);
    chart_title_set_name(chart, clean.c_str());
    chart_axis_set_name(chart->x_axis, xName);
    chart_axis_set_name(chart->y_axis, yName);
    return chart;
}

lxw_chart_series* Series(lxw_chart* chart, const char* sheet, const Block& x, int xColumn,
                         int yColumn, const std::string& name) {
    lxw_chart_series* s = chart_add_series(chart, nullptr, nullptr);
    chart_series_set_categories(s, sheet, x.firstRow, xColumn, x.lastRow, xColumn);
    chart_series_set_values(s, sheet, x.firstRow, yColumn, x.lastRow, yColumn);
    std::string clean = Utf8Text(name);
    chart_series_set_name(s, clean.c_str());
    return s;
}

void WriteCharts(Book* b, lxw_worksheet* ws, const RunFigures& run, const Block& curves,
                 const FigureBlocks& blocks, const std::vector<PointColumns>& points) {
    int row = 0;
    auto place = [&](lxw_chart* chart) {
        b->Check(worksheet_insert_chart(ws, row, kChartColumn, chart), "Figures", row,
                 kChartColumn);
        row += kChartRows;
    };
    if (curves.lastRow >= curves.firstRow) {
        lxw_chart* chart = NewChart(b, LXW_CHART_LINE, "Error per epoch", "epoch", "error");
        if (!run.trainCurve.empty()) Series(chart, "Curves", curves, 0, 1, "training");
        if (!run.validationCurve.empty()) Series(chart, "Curves", curves, 0, 2, "validation");
        place(chart);
    }
    if (blocks.histogram.lastRow >= blocks.histogram.firstRow) {
        lxw_chart* chart = NewChart(b, LXW_CHART_COLUMN, "Weights", "weight", "count");
        Series(chart, "Figures", blocks.histogram, 0, 3, "weights");
        chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
        place(chart);
    }
    for (const std::string& output : run.outputs) {
        lxw_chart* chart = nullptr;
        for (const PointColumns& p : points) {
            if (p.output != output || p.block.lastRow < p.block.firstRow) continue;
            if (chart == nullptr)
                chart = NewChart(b, LXW_CHART_SCATTER, "Predicted against actual: " + output,
                                 "actual", "predicted");
            Series(chart, "Points", p.block, p.block.column, p.block.column + 1, p.set);
        }
        if (chart != nullptr) place(chart);
    }
    // Per actual class (across), one column per predicted class.
    for (size_t k = 0; k < blocks.confusion.size(); ++k) {
        const auto& [output, table] = blocks.confusion[k];
        lxw_chart* chart =
            NewChart(b, LXW_CHART_COLUMN, "Confusion: " + output, "actual class", "rows");
        for (int q = 0; q < blocks.classCounts[k]; ++q) {
            lxw_chart_series* s = chart_add_series(chart, nullptr, nullptr);
            chart_series_set_categories(s, "Figures", table.firstRow, 0, table.lastRow, 0);
            chart_series_set_values(s, "Figures", table.firstRow, q + 1, table.lastRow, q + 1);
            chart_series_set_name_range(s, "Figures", table.firstRow - 1, q + 1);
        }
        place(chart);
    }
}

bool Fill(Book* b, const Worksheet& sheet, const RunFigures& run) {
    size_t columns = sheet.names.size() + run.predictions.outputs.size() + 2;
    if (sheet.rows.size() + 1 > LXW_ROW_MAX || columns > LXW_COL_MAX) {
        b->error = "the sheet is larger than a workbook sheet can hold (" +
                   std::to_string(LXW_ROW_MAX) + " rows, " + std::to_string(LXW_COL_MAX) +
                   " columns)";
        return false;
    }
    b->bold = workbook_add_format(b->workbook);
    format_set_bold(b->bold);
    b->heading = workbook_add_format(b->workbook);
    format_set_bold(b->heading);
    format_set_font_size(b->heading, 13);
    b->predicted = workbook_add_format(b->workbook);
    format_set_bg_color(b->predicted, 0xE2EFDA);
    b->predictedHead = workbook_add_format(b->workbook);
    format_set_bg_color(b->predictedHead, 0xE2EFDA);
    format_set_bold(b->predictedHead);
    WriteData(b, sheet, run.predictions);
    lxw_worksheet* figures = workbook_add_worksheet(b->workbook, "Figures");
    Block curves = WriteCurves(b, run);
    std::vector<PointColumns> points = WritePoints(b, run);
    FigureBlocks blocks = WriteFigures(b, figures, run);
    if (b->error.empty()) WriteCharts(b, figures, run, curves, blocks, points);
    return b->error.empty();
}

} // namespace

bool WriteResultsWorkbook(const std::string& path, const Worksheet& sheet, const RunFigures& run,
                          std::string* error) {
    return ReplaceFile(
        path,
        [&](const std::string& temporary, std::string* cause) {
            Book b;
            b.workbook = workbook_new(temporary.c_str());
            if (b.workbook == nullptr) {
                *cause = "the workbook could not be started";
                return false;
            }
            bool filled = Fill(&b, sheet, run);
            lxw_error closed = workbook_close(b.workbook); // frees it whatever happened
            if (filled && closed != LXW_NO_ERROR) b.error = lxw_strerror(closed);
            *cause = b.error;
            return b.error.empty();
        },
        error);
}
