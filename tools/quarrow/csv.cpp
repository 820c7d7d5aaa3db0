#include "csv.h"

#include "file_replace.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && IsBlank(s[a]))
        ++a;
    while (b > a && IsBlank(s[b - 1]))
        --b;
    return s.substr(a, b - a);
}

} // namespace

bool ParseCsv(const std::string& text, std::vector<CsvRecord>* records, std::string* error) {
    records->clear();
    size_t i = 0;
    const size_t n = text.size();
    int line = 1;
    // A byte-order mark from spreadsheet exports is not part of the first name.
    if (text.compare(0, 3, kByteOrderMark) == 0) i = 3;
    while (i < n) {
        CsvRecord record;
        for (;;) {
            CsvField field;
            size_t start = i;
            while (i < n && IsBlank(text[i]))
                ++i;
            if (i < n && text[i] == '"') {
                field.quoted = true;
                ++i;
                const int openedOn = line;
                for (;;) {
                    if (i >= n) {
                        *error = "line " + std::to_string(openedOn) + ": unterminated quote";
                        return false;
                    }
                    char c = text[i++];
                    if (c == '"') {
                        if (i < n && text[i] == '"') {
                            field.text += '"';
                            ++i;
                        } else {
                            break;
                        }
                    } else {
                        if (c == '\n') ++line;
                        field.text += c;
                    }
                }
                while (i < n && IsBlank(text[i]))
                    ++i;
                if (i < n && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
                    *error = "line " + std::to_string(line) + ": text after a closing quote";
                    return false;
                }
            } else {
                i = start;
                while (i < n && text[i] != ',' && text[i] != '\n' && text[i] != '\r')
                    ++i;
                field.text = Trimmed(text.substr(start, i - start));
            }
            record.push_back(std::move(field));
            if (i < n && text[i] == ',') {
                ++i;
                continue;
            }
            break;
        }
        if (i < n && text[i] == '\r') ++i;
        if (i < n && text[i] == '\n') ++i;
        ++line;
        records->push_back(std::move(record));
    }
    return true;
}

bool ReadTextFile(const std::string& path, std::string* text, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path;
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    *text = s.str();
    return true;
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string* error) {
    // A file is replaced whole, so a failed run never leaves half a network where one was;
    // a device or pipe (/dev/stdout) is written as it is.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status) || std::filesystem::is_regular_file(status))
        return ReplaceFileText(path, text, error);
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

std::string CsvQuote(const std::string& field) {
    // A leading byte-order mark is quoted, or reading the file back would take it for the
    // file's own mark.
    bool needs = !field.empty() && (IsBlank(field.front()) || IsBlank(field.back()) ||
                                    field.compare(0, 3, kByteOrderMark) == 0);
    for (char c : field)
        if (c == ',' || c == '"' || c == '\n' || c == '\r') needs = true;
    if (!needs) return field;
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t k = 0; k < fields.size(); ++k) {
        if (k) line += ',';
        line += CsvQuote(fields[k]);
    }
    return line;
}
