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

bool BuildWorksheet(const std::vector<CsvRecord>& records, Worksheet* sheet, std::string* error) {
    sheet->names.clear();
    sheet->rows.clear();
    if (records.empty()) {
        *error = "the file is empty: the first row must name the columns";
        return false;
    }
    for (const CsvField& f : records[0]) {
        if (f.text.empty()) {
            *error = "column " + ColumnLetters(static_cast<int>(sheet->names.size())) +
                     " has no name in the first row";
            return false;
        }
        sheet->names.push_back(f.text);
    }
    if (sheet->names.size() > kMaxSheetColumns) {
        *error = "the first row names " + std::to_string(sheet->names.size()) +
                 " columns; at most " + std::to_string(kMaxSheetColumns) + " are supported";
        sheet->names.clear();
        return false;
    }
    size_t last = records.size();
    while (last > 1) {
        bool allEmpty = true;
        for (const CsvField& f : records[last - 1])
            if (!f.text.empty()) allEmpty = false;
        if (!allEmpty) break;
        --last;
    }
    const size_t width = sheet->names.size();
    // Short rows are padded to the full width: the padding must stay in proportion to what
    // the file holds, or a small file with a wide first row would exhaust memory.
    size_t fields = 0;
    for (size_t r = 1; r < last; ++r)
        fields += records[r].size();
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
        std::vector<Cell> row(width);
        const CsvRecord& record = records[r];
        for (size_t c = 0; c < record.size(); ++c) {
            if (c >= width) {
                if (!record[c].text.empty()) {
                    *error = "row " + std::to_string(r + 1) + " has a value in column " +
                             ColumnLetters(static_cast<int>(c)) + ", which has no name";
                    return false;
                }
                continue;
            }
            row[c] = CellFromField(record[c].text);
        }
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
    if (index < 0) return s;
    if (index >= 26) {
        s += static_cast<char>('A' + (index / 26 - 1) % 26);
        index %= 26;
    }
    s += static_cast<char>('A' + index);
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
