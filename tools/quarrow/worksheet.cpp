#include "worksheet.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

Cell CellFromField(const std::string& field) {
    Cell cell;
    cell.text = field;
    if (field.empty()) return cell;
    const char* begin = field.c_str();
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(begin, &end);
    // Hexadecimal floats, "inf" and "nan" are texts to a person, whatever strtod thinks.
    bool plain = true;
    for (char c : field)
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
              c == 'e' || c == 'E'))
            plain = false;
    if (plain && end == begin + field.size() && std::isfinite(v) && errno != ERANGE) {
        cell.kind = CellKind::Number;
        cell.number = v;
    } else {
        cell.kind = CellKind::Text;
    }
    return cell;
}

Cell TextCell(const std::string& text) {
    Cell c;
    c.kind = CellKind::Text;
    c.text = text;
    return c;
}

Cell NumberCell(double v) {
    Cell c;
    c.kind = CellKind::Number;
    c.number = v;
    c.text = ExactNumber(v);
    return c;
}

bool BuildWorksheet(const std::vector<CsvRecord>& records, Worksheet* sheet, std::string* error) {
    std::vector<std::vector<Cell>> rows;
    rows.reserve(records.size());
    for (const CsvRecord& record : records) {
        std::vector<Cell> row;
        row.reserve(record.size());
        for (const CsvField& f : record)
            row.push_back(CellFromField(f.text));
        rows.push_back(std::move(row));
    }
    return BuildWorksheetFromCells(std::move(rows), sheet, error);
}

bool BuildWorksheetFromCells(std::vector<std::vector<Cell>> rows, Worksheet* sheet,
                             std::string* error) {
    sheet->names.clear();
    sheet->rows.clear();
    if (rows.empty()) {
        *error = "the file is empty: the first row must name the columns";
        return false;
    }
    for (const Cell& c : rows[0]) {
        if (c.text.empty()) {
            *error = "column " + ColumnLetters(static_cast<int>(sheet->names.size())) +
                     " has no name in the first row";
            return false;
        }
        sheet->names.push_back(c.text);
    }
    if (sheet->names.size() > kMaxSheetColumns) {
        *error = "the first row names " + std::to_string(sheet->names.size()) +
                 " columns; at most " + std::to_string(kMaxSheetColumns) + " are supported";
        sheet->names.clear();
        return false;
    }
    auto allEmpty = [](const std::vector<Cell>& row) {
        for (const Cell& c : row)
            if (!c.empty()) return false;
        return true;
    };
    size_t last = rows.size();
    while (last > 1 && allEmpty(rows[last - 1]))
        --last;
    const size_t width = sheet->names.size();
    // Short rows are padded to the full width: the padding must stay in proportion to what
    // the file holds, or a small file with a wide first row would exhaust memory.
    size_t fields = 0;
    for (size_t r = 1; r < last; ++r)
        fields += rows[r].size();
    const size_t cells = width * (last - 1), allowed = kPaddingPerField * fields + kFreeCells;
    if (cells > allowed) {
        *error = std::to_string(last - 1) + " rows of " + std::to_string(width) +
                 " columns would take " + std::to_string(cells) + " cells, but the file holds " +
                 std::to_string(fields) + " fields (at most " + std::to_string(allowed) +
                 " cells): write the empty cells out or leave out the unused columns";
        sheet->names.clear();
        return false;
    }
    for (size_t r = 1; r < last; ++r) {
        std::vector<Cell>& row = rows[r];
        for (size_t c = width; c < row.size(); ++c) {
            if (!row[c].empty()) {
                *error = "row " + std::to_string(r + 1) + " has a value in column " +
                         ColumnLetters(static_cast<int>(c)) + ", which has no name";
                sheet->names.clear();
                sheet->rows.clear();
                return false;
            }
        }
        row.resize(width);
        sheet->rows.push_back(std::move(row));
    }
    return true;
}

bool LoadWorksheet(const std::string& path, Worksheet* sheet, std::string* error) {
    std::string text;
    std::vector<CsvRecord> records;
    if (!ReadTextFile(path, &text, error)) return false;
    if (!ParseCsv(text, &records, error) || !BuildWorksheet(records, sheet, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

std::string WorksheetCsv(const Worksheet& sheet) {
    std::string out = CsvLine(sheet.names) + "\n";
    for (const auto& row : sheet.rows) {
        std::vector<std::string> fields;
        for (const Cell& c : row)
            fields.push_back(c.text);
        out += CsvLine(fields) + "\n";
    }
    return out;
}

std::string ColumnLetters(int index) {
    std::string s;
    for (int n = index + 1; n > 0; n = (n - 1) / 26)
        s.insert(s.begin(), static_cast<char>('A' + (n - 1) % 26));
    return s;
}

int ColumnIndexOfLetters(const std::string& letters) {
    if (letters.empty() || letters.size() > 2) return -1;
    int value = 0;
    for (char c : letters) {
        int u = std::toupper(static_cast<unsigned char>(c));
        if (u < 'A' || u > 'Z') return -1;
        value = value * 26 + (u - 'A' + 1);
    }
    return value - 1;
}

std::string ExactNumber(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    // The shortest form that reads back the same is kinder to the eye.
    for (int digits = 1; digits <= 17; ++digits) {
        char shorter[40];
        std::snprintf(shorter, sizeof shorter, "%.*g", digits, v);
        if (std::strtod(shorter, nullptr) == v) return shorter;
    }
    return buffer;
}

std::string ShortNumber(double v, int digits) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, v);
    return buffer;
}
