#include "sheet_checks.h"

#include "symbols.h"

#include <cmath>

namespace {

// Texts that spreadsheets and other programs write for a missing or impossible number.
bool LooksLikeNonNumber(const std::string& text) {
    std::string u = UpperText(text);
    if (u == "-" || u == "?") return true;
    if (!u.empty() && (u[0] == '+' || u[0] == '-')) u.erase(0, 1);
    for (const char* word : {"NAN", "INF", "INFINITY", "1.#INF", "1.#QNAN", "#NUM!", "#DIV/0!",
                             "#VALUE!", "#N/A", "N/A", "NA", "NULL"})
        if (u == word) return true;
    return false;
}

std::string Where(const std::string& file, const Worksheet& sheet, int row, int column) {
    return file + ": row " + std::to_string(SheetRowNumber(row)) + ", column " +
           ColumnLetters(column) + " (" + sheet.names[column] + ")";
}

} // namespace

void DeclareSymbolic(Worksheet* sheet, const std::vector<int>& columns) {
    for (auto& row : sheet->rows)
        for (int c : columns)
            if (row[c].kind == CellKind::Number) row[c].kind = CellKind::Text;
}

bool CheckValues(const std::string& file, const Worksheet& sheet, const std::vector<int>& columns,
                 int modeColumn, std::string* error) {
    for (int c : columns) {
        int firstNumber = -1, firstText = -1;
        for (int r = 0; r < sheet.rowCount(); ++r) {
            if (modeColumn >= 0 && UpperText(sheet.at(r, modeColumn).text) == "SYMBOL") continue;
            const Cell& cell = sheet.at(r, c);
            if (cell.kind == CellKind::Number) {
                if (std::fabs(cell.number) > kLargestValue) {
                    *error = Where(file, sheet, r, c) + ": " + cell.text +
                             " is larger than the network can scale exactly (at most 1e15 in "
                             "size)";
                    return false;
                }
                if (firstNumber < 0) firstNumber = r;
            } else if (cell.kind == CellKind::Text && firstText < 0) {
                firstText = r;
            }
        }
        if (firstNumber < 0 || firstText < 0) continue;
        const std::string& text = sheet.at(firstText, c).text;
        *error = Where(file, sheet, firstText, c) + ": \"" + text + "\" " +
                 (LooksLikeNonNumber(text) ? "is not a value the network can hold"
                                           : "is text in a column of numbers") +
                 " (row " + std::to_string(SheetRowNumber(firstNumber)) +
                 " holds a number); give a number, or --symbolic " + sheet.names[c] +
                 " to make every value of the column a class";
        return false;
    }
    return true;
}
