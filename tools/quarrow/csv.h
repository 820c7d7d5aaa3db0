// Reading and writing comma-separated worksheets.
#pragma once

#include <string>
#include <vector>

struct CsvField {
    std::string text;
    bool quoted = false; // written between double quotes in the file
};

using CsvRecord = std::vector<CsvField>;

// Splits CSV text into records. Fields are separated by commas and records by LF or CRLF; a
// field in double quotes may hold commas, line breaks and doubled quotes. Unquoted fields are
// taken with their surrounding blanks trimmed. A final line break does not start a record, and
// a line that is entirely empty is kept as a record of one empty field. Returns false with a
// message for an unterminated quote or text after a closing quote.
bool ParseCsv(const std::string& text, std::vector<CsvRecord>* records, std::string* error);

// Reads a whole file; false with a message when it cannot be opened.
bool ReadTextFile(const std::string& path, std::string* text, std::string* error);
bool WriteTextFile(const std::string& path, const std::string& text, std::string* error);

// One field as it must appear in a file: quoted when it holds a comma, quote, line break or
// leading/trailing blank.
std::string CsvQuote(const std::string& field);
// A whole record, without the line break.
std::string CsvLine(const std::vector<std::string>& fields);
