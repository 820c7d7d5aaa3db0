#include "range.h"

#include "encoding.h"
#include "symbols.h"

#include <algorithm>

namespace {

const char* const kModeWords[] = {"TRAIN", "TEST", "MIN", "MAX", "SYMBOL", "SKIP"};

bool IsModeWord(const std::string& upper) {
    return std::find(std::begin(kModeWords), std::end(kModeWords), upper) != std::end(kModeWords);
}

std::string Where(const Worksheet& sheet, int column) {
    return "column " + ColumnLetters(column) + " (" + sheet.names[column] + ")";
}

// Finds the MIN, MAX and SYMBOL rows of the sheet's mode column and checks its words.
bool ReadModeColumn(const Worksheet& sheet, int column, std::vector<std::string>* words,
                    int special[3], std::string* error) {
    words->assign(sheet.rowCount(), std::string());
    special[0] = special[1] = special[2] = -1;
    if (column < 0) return true;
    const char* names[3] = {"MIN", "MAX", "SYMBOL"};
    for (int r = 0; r < sheet.rowCount(); ++r) {
        const Cell& cell = sheet.at(r, column);
        if (cell.empty()) continue;
        std::string word = UpperText(cell.text);
        if (cell.kind != CellKind::Text || !IsModeWord(word)) {
            *error = "row " + std::to_string(SheetRowNumber(r)) + ": \"" + cell.text +
                     "\" in the mode column is not one of TRAIN, TEST, SKIP, MIN, MAX, SYMBOL";
            return false;
        }
        (*words)[r] = word;
        for (int k = 0; k < 3; ++k)
            if (word == names[k]) {
                if (special[k] >= 0) {
                    *error = "rows " + std::to_string(SheetRowNumber(special[k])) + " and " +
                             std::to_string(SheetRowNumber(r)) + " are both " + names[k] + " rows";
                    return false;
                }
                special[k] = r;
            }
    }
    return true;
}

// Works out a column's symbols from the sheet: the list in its SYMBOL row cell if there is
// one, else the order asked for, else the texts of its data rows and its MIN and MAX rows
// sorted. Each symbol keeps the case of its first appearance.
bool FindSymbols(const Worksheet& sheet, int column, const std::vector<char>& dataRow,
                 const int special[3], const std::vector<std::string>* order, RangeColumn* out,
                 std::string* error) {
    const int symbolRow = special[2];
    std::vector<std::string> texts;
    for (int r = 0; r < sheet.rowCount(); ++r) {
        const Cell& cell = sheet.at(r, column);
        const bool counted = dataRow[r] || r == special[0] || r == special[1];
        if (!counted || cell.kind != CellKind::Text) continue;
        if (!CheckSymbolText(cell.text, error)) {
            *error = "row " + std::to_string(SheetRowNumber(r)) + ", " + Where(sheet, column) +
                     ": " + *error;
            return false;
        }
        if (SymbolIndex(texts, cell.text) < 0) texts.push_back(cell.text);
    }
    std::vector<std::string>& symbols = out->bounds.symbols;
    const Cell* given = symbolRow >= 0 ? &sheet.at(symbolRow, column) : nullptr;
    if (given && given->kind == CellKind::Number) {
        *error = "the SYMBOL row of " + Where(sheet, column) + " holds a number";
        return false;
    }
    if (given && given->kind == CellKind::Text && order) {
        *error = Where(sheet, column) + " has a SYMBOL row; --classes cannot reorder it";
        return false;
    }
    if (given && given->kind == CellKind::Text) {
        if (given->text.size() > kMaxSymbolListLength) {
            *error = "the symbol list of " + Where(sheet, column) + " is too long";
            return false;
        }
        if (!SymbolsOfList(given->text, &symbols, error)) {
            *error = Where(sheet, column) + ": " + *error;
            return false;
        }
        for (const std::string& t : texts)
            if (SymbolIndex(symbols, t) < 0) {
                *error = Where(sheet, column) + ": \"" + t + "\" is not in its symbol list";
                return false;
            }
        out->symbolList = given->text;
        return true;
    }
    if (order) {
        for (const std::string& t : texts)
            if (SymbolIndex(*order, t) < 0) {
                *error = Where(sheet, column) + ": \"" + t + "\" is not in its --classes list";
                return false;
            }
        for (const std::string& name : *order)
            if (!CheckSymbolText(name, error)) {
                *error = "--classes for " + Where(sheet, column) + ": " + *error;
                return false;
            }
        // The case the sheet writes wins over the case of the list.
        symbols.clear();
        for (const std::string& name : *order) {
            const int k = SymbolIndex(texts, name);
            symbols.push_back(k >= 0 ? texts[k] : name);
        }
    } else {
        symbols = texts;
        SortSymbols(&symbols);
    }
    out->symbolList = SymbolList(symbols);
    if (out->symbolList.size() > kMaxSymbolListLength) {
        *error = Where(sheet, column) + " has too many symbols for one list";
        return false;
    }
    return true;
}

// The scaling range the library works out when the column is loaded: the MIN and MAX rows, or
// the extremes of the data rows, widened by the margin on each side.
void ComputeBounds(const Range& range, RangeColumn* column, bool output, double scaleMargin) {
    const int first = output ? range.window - 1 : 0;
    std::vector<double> v(range.rows());
    for (int r = 0; r < range.rows(); ++r)
        v[r] = CellValue(*column, column->cells[r]);
    const bool symbolic = range.symbolRow >= 0 && !column->bounds.symbols.empty();
    if (symbolic && range.minRow >= 0 && column->cells[range.minRow].kind == CellKind::Text)
        v[range.minRow] -= 0.5;
    if (symbolic && range.maxRow >= 0 && column->cells[range.maxRow].kind == CellKind::Text)
        v[range.maxRow] += 0.5;
    double dataMin = 0.0, dataMax = 0.0;
    bool any = false;
    for (int r = first; r < range.rows(); ++r) {
        if (!range.IsDataRow(r)) continue;
        if (!any) {
            dataMin = dataMax = v[r];
            any = true;
        } else if (v[r] < dataMin) {
            dataMin = v[r];
        } else if (v[r] > dataMax) {
            dataMax = v[r];
        }
    }
    double lo = range.minRow >= 0 ? v[range.minRow] : dataMin;
    double hi = range.maxRow >= 0 ? v[range.maxRow] : dataMax;
    double d = hi - lo;
    column->bounds.lo = lo - d * scaleMargin;
    column->bounds.hi = hi + d * scaleMargin;
}

} // namespace

bool Range::IsDataRow(int r) const {
    return !blank[r] && r != minRow && r != maxRow && r != symbolRow;
}

int Range::dataRows() const {
    int n = 0;
    for (int r = 0; r < rows(); ++r)
        n += IsDataRow(r) ? 1 : 0;
    return n;
}

int Range::RangeRowOfSheetRow(int r) const {
    // The sheet's rows come first, in order; added rows follow them.
    return r >= 0 && r < rows() && sheetRow[r] == r ? r : -1;
}

double CellValue(const RangeColumn& column, const Cell& cell) {
    if (cell.kind == CellKind::Number) return cell.number;
    if (cell.kind == CellKind::Text) {
        int k = SymbolIndex(column.bounds.symbols, cell.text);
        return k < 0 ? 0.0 : k + 0.5;
    }
    return 0.0;
}

bool BuildRange(const Worksheet& sheet, const RangeRequest& request, Range* range,
                std::string* error) {
    *range = Range();
    range->window = request.window;
    const ColumnChoice& choice = request.columns;
    if (choice.inputs.empty() || choice.outputs.empty()) {
        *error = "choose at least one input column and one output column";
        return false;
    }
    std::vector<std::string> words;
    int special[3];
    if (!ReadModeColumn(sheet, choice.mode, &words, special, error)) return false;
    const int sheetRows = sheet.rowCount();

    // Which sheet rows hold data, and the checks a data row must pass.
    std::vector<char> dataRow(sheetRows, 0);
    std::vector<char> sheetSpecial(sheetRows, 0);
    for (int k = 0; k < 3; ++k)
        if (special[k] >= 0) sheetSpecial[special[k]] = 1;
    for (int r = 0; r < sheetRows; ++r) {
        if (sheetSpecial[r]) continue;
        bool anyValue = false;
        for (int c : choice.inputs)
            anyValue = anyValue || !sheet.at(r, c).empty();
        for (int c : choice.outputs)
            anyValue = anyValue || !sheet.at(r, c).empty();
        if (!anyValue) continue;
        for (int c : choice.inputs)
            if (sheet.at(r, c).empty()) {
                *error = "row " + std::to_string(SheetRowNumber(r)) + " has no value in input " +
                         Where(sheet, c);
                return false;
            }
        if (!request.recall && words[r] != "SKIP")
            for (int c : choice.outputs)
                if (sheet.at(r, c).empty()) {
                    *error = "row " + std::to_string(SheetRowNumber(r)) +
                             " has no value in output " + Where(sheet, c) +
                             " (mark it SKIP in the mode column to leave it out)";
                    return false;
                }
        dataRow[r] = 1;
    }
    const bool fixed = request.recall || request.fixedBounds;
    if (fixed) {
        // The sheet's own special rows do not apply to a trained network.
        for (int k = 0; k < 3; ++k)
            special[k] = -1;
    }

    // Columns and their symbols.
    auto makeColumn = [&](int c, bool output, size_t k, RangeColumn* out) -> bool {
        out->name = sheet.names[c];
        out->sheetColumn = c;
        if (fixed) {
            const auto& saved = output ? request.outputBounds : request.inputBounds;
            out->bounds = saved[k];
            out->symbolList = SymbolList(saved[k].symbols);
            return true;
        }
        const std::vector<std::string>* order = nullptr;
        for (const auto& [column, names] : request.classOrder)
            if (column == c) order = &names;
        return FindSymbols(sheet, c, dataRow, special, order, out, error);
    };
    for (size_t k = 0; k < choice.inputs.size(); ++k) {
        range->inputs.emplace_back();
        if (!makeColumn(choice.inputs[k], false, k, &range->inputs.back())) return false;
    }
    for (size_t k = 0; k < choice.outputs.size(); ++k) {
        range->outputs.emplace_back();
        if (!makeColumn(choice.outputs[k], true, k, &range->outputs.back())) return false;
    }
    bool anySymbolic = false;
    for (const auto* list : {&range->inputs, &range->outputs})
        for (const RangeColumn& col : *list)
            anySymbolic = anySymbolic || !col.bounds.symbols.empty();

    // Range rows: the sheet's rows, then the special rows quarrow adds.
    for (int r = 0; r < sheetRows; ++r) {
        range->sheetRow.push_back(r);
        range->blank.push_back(dataRow[r] || sheetSpecial[r] ? 0 : 1);
        range->mode.push_back(dataRow[r] ? (request.recall ? "TEST" : words[r]) : "");
        range->sheetWord.push_back(dataRow[r] ? words[r] : "");
    }
    if (fixed) {
        for (int r = 0; r < sheetRows; ++r)
            if (sheetSpecial[r]) range->blank[r] = 1;
    } else {
        range->minRow = special[0];
        range->maxRow = special[1];
        range->symbolRow = special[2];
        for (int k = 0; k < 3; ++k)
            if (special[k] >= 0)
                range->mode[special[k]] = k == 0 ? "MIN" : k == 1 ? "MAX" : "SYMBOL";
    }
    auto addRow = [&](const char* word) {
        range->sheetRow.push_back(-1);
        range->blank.push_back(0);
        range->mode.push_back(word);
        range->sheetWord.push_back(word);
        return range->rows() - 1;
    };
    if (fixed) {
        range->minRow = addRow("MIN");
        range->maxRow = addRow("MAX");
    }
    if (anySymbolic && range->symbolRow < 0) range->symbolRow = addRow("SYMBOL");
    range->fixedBounds = fixed;
    range->modeColumn = choice.mode >= 0 || fixed || range->symbolRow >= 0 || range->minRow >= 0 ||
                        range->maxRow >= 0;

    const int w = request.window;
    if (w < 1) {
        *error = "the window must be at least 1 row";
        return false;
    }
    for (int r = 0; r < w - 1 && r < range->rows(); ++r)
        if (range->blank[r] || r == range->minRow || r == range->maxRow || r == range->symbolRow) {
            *error = "row " + std::to_string(SheetRowNumber(r)) +
                     " lies in the first window of rows, which must hold data";
            return false;
        }
    const int data = range->dataRows();
    if (data < w) {
        *error = "the sheet has " + std::to_string(data) + " data rows; the window needs " +
                 std::to_string(w);
        return false;
    }
    if (!request.recall && range->rows() > kMostRangeRows) {
        *error = "the sheet has too many rows (at most " + std::to_string(kMostRangeRows) + ")";
        return false;
    }

    // The cells of every column.
    range->outOfRange.assign(range->rows(), 0);
    auto fill = [&](RangeColumn* col, bool output) -> bool {
        const int c = col->sheetColumn;
        Cell filler; // stands in for a missing target: a value inside the column's range
        if (fixed) {
            filler = NumberCell(col->bounds.lo);
        } else {
            for (int r = 0; r < sheetRows && filler.empty(); ++r)
                if (dataRow[r] && !sheet.at(r, c).empty()) filler = sheet.at(r, c);
        }
        col->cells.assign(range->rows(), Cell());
        for (int k = 0; k < range->rows(); ++k) {
            const int r = range->sheetRow[k];
            Cell cell;
            if (k == range->symbolRow && r < 0) {
                if (!col->bounds.symbols.empty()) cell = TextCell(col->symbolList);
            } else if (r < 0 && k == range->minRow) {
                cell = NumberCell(col->bounds.lo);
            } else if (r < 0 && k == range->maxRow) {
                cell = NumberCell(col->bounds.hi);
            } else if (r >= 0 && k == range->symbolRow) {
                cell = sheet.at(r, c);
                if (cell.empty() && !col->bounds.symbols.empty()) cell = TextCell(col->symbolList);
            } else if (r >= 0 && !range->blank[k]) {
                cell = sheet.at(r, c);
            }
            if (r >= 0 && dataRow[r]) {
                bool usable = !cell.empty();
                if (cell.kind == CellKind::Text &&
                    SymbolIndex(col->bounds.symbols, cell.text) < 0) {
                    if (!output || !request.recall) {
                        *error = "row " + std::to_string(SheetRowNumber(r)) + ", " +
                                 Where(sheet, c) + ": \"" + cell.text +
                                 "\" is not one of the column's symbols";
                        return false;
                    }
                    usable = false;
                }
                if (fixed && usable) {
                    double v = CellValue(*col, cell);
                    if (v < col->bounds.lo || v > col->bounds.hi) {
                        if (!output && !request.strict && request.recall) {
                            // Predicted at the nearest edge of the trained range, and flagged.
                            range->outOfRange[k] = 1;
                            cell = NumberCell(v < col->bounds.lo ? col->bounds.lo : col->bounds.hi);
                        } else if (!output || !request.recall) {
                            *error = "row " + std::to_string(SheetRowNumber(r)) + ", " +
                                     Where(sheet, c) + ": " + cell.text +
                                     " lies outside the range the network was trained on (" +
                                     ShortNumber(col->bounds.lo) + " to " +
                                     ShortNumber(col->bounds.hi) + ")";
                            return false;
                        } else {
                            usable = false;
                        }
                    }
                }
                if (!usable) {
                    // A SKIP row is never scored: its missing target spoils no score.
                    if (output && request.recall && words[r] != "SKIP")
                        range->targetsComplete = false;
                    cell = filler;
                }
            }
            col->cells[k] = cell;
        }
        return true;
    };
    for (RangeColumn& col : range->inputs)
        if (!fill(&col, false)) return false;
    for (RangeColumn& col : range->outputs)
        if (!fill(&col, true)) return false;
    if (request.recall && !range->targetsComplete)
        for (RangeColumn& col : range->outputs)
            for (int k = 0; k < range->rows(); ++k)
                if (range->sheetRow[k] >= 0 && dataRow[range->sheetRow[k]])
                    col.cells[k] = NumberCell(col.bounds.lo);
    if (!fixed) {
        for (RangeColumn& col : range->inputs)
            ComputeBounds(*range, &col, false, request.scaleMargin);
        for (RangeColumn& col : range->outputs)
            ComputeBounds(*range, &col, true, request.scaleMargin);
    }
    range->targets = range->outputs;
    range->outputs = OneHotColumns(*range, range->targets, request.oneHot, request.scaleMargin);
    range->inputColumns = range->inputs;
    range->inputs =
        OneHotColumns(*range, range->inputColumns, request.oneHotInputs, request.scaleMargin);
    return true;
}

Range RecallPiece(const Range& range, int first, int end) {
    Range piece;
    piece.window = range.window;
    piece.modeColumn = range.modeColumn;
    piece.fixedBounds = range.fixedBounds;
    piece.targetsComplete = range.targetsComplete;
    piece.inputColumns = range.inputColumns;
    piece.inputs = range.inputs;
    piece.outputs = range.outputs;
    piece.targets = range.targets;
    for (auto* list : {&piece.inputColumns, &piece.inputs, &piece.outputs, &piece.targets})
        for (RangeColumn& c : *list)
            c.cells.clear();
    auto take = [&](int r) {
        piece.sheetRow.push_back(range.sheetRow[r]);
        piece.blank.push_back(range.blank[r]);
        piece.mode.push_back(range.mode[r]);
        piece.sheetWord.push_back(range.sheetWord[r]);
        piece.outOfRange.push_back(range.outOfRange[r]);
        for (size_t k = 0; k < range.inputColumns.size(); ++k)
            piece.inputColumns[k].cells.push_back(range.inputColumns[k].cells[r]);
        for (size_t k = 0; k < range.inputs.size(); ++k)
            piece.inputs[k].cells.push_back(range.inputs[k].cells[r]);
        for (size_t k = 0; k < range.outputs.size(); ++k)
            piece.outputs[k].cells.push_back(range.outputs[k].cells[r]);
        for (size_t k = 0; k < range.targets.size(); ++k)
            piece.targets[k].cells.push_back(range.targets[k].cells[r]);
        return piece.rows() - 1;
    };
    for (int r = first; r < end; ++r)
        take(r);
    if (range.minRow >= 0) piece.minRow = take(range.minRow);
    if (range.maxRow >= 0) piece.maxRow = take(range.maxRow);
    if (range.symbolRow >= 0) piece.symbolRow = take(range.symbolRow);
    return piece;
}
