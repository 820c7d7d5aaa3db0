#include "workbook_sheet.h"

#include <expat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kSheetMaxColumns = 16384; // XFD, the last column a workbook can have
constexpr int kSheetMaxRows = 1048576;

// What an element is, from its name and its parent's meaning; anything else is skipped along
// with what it holds.
enum class Tag { Other, Root, SheetData, Row, C, V, Is, Run, T };

Tag TagOf(Tag parent, const char* name) {
    const char* n = XmlLocalName(name);
    switch (parent) {
    case Tag::Root:
        return std::strcmp(n, "sheetData") == 0 ? Tag::SheetData : Tag::Other;
    case Tag::SheetData:
        return std::strcmp(n, "row") == 0 ? Tag::Row : Tag::Other;
    case Tag::Row:
        return std::strcmp(n, "c") == 0 ? Tag::C : Tag::Other;
    case Tag::C:
        return std::strcmp(n, "v") == 0 ? Tag::V : std::strcmp(n, "is") == 0 ? Tag::Is : Tag::Other;
    case Tag::Is: // phonetic runs (rPh) are skipped
        return std::strcmp(n, "t") == 0 ? Tag::T : std::strcmp(n, "r") == 0 ? Tag::Run : Tag::Other;
    case Tag::Run:
        return std::strcmp(n, "t") == 0 ? Tag::T : Tag::Other;
    default:
        return Tag::Other;
    }
}

const char* Attribute(const char** attributes, const char* local) {
    for (const char** a = attributes; *a; a += 2)
        if (std::strcmp(XmlLocalName(a[0]), local) == 0) return a[1];
    return nullptr;
}

std::string Trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// "B12" -> column 1, row 12; false for anything else or past the last cell a sheet can have.
bool ParseReference(const char* ref, int* column, int* row) {
    const char* p = ref;
    int c = 0, r = 0, letters = 0, digits = 0;
    for (; std::isalpha(static_cast<unsigned char>(*p)) && letters < 4; ++p, ++letters)
        c = c * 26 + (std::toupper(static_cast<unsigned char>(*p)) - 'A' + 1);
    for (; std::isdigit(static_cast<unsigned char>(*p)) && digits < 8; ++p, ++digits)
        r = r * 10 + (*p - '0');
    if (*p || letters == 0 || digits == 0 || c > kSheetMaxColumns || r < 1 || r > kSheetMaxRows)
        return false;
    *column = c - 1;
    *row = r;
    return true;
}

void AppendUtf8(unsigned code, std::string* out) {
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | (code >> 6));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xE0 | (code >> 12));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

const char* XmlLocalName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

std::string UnescapedText(const std::string& text) {
    std::string out;
    const size_t n = text.size();
    for (size_t k = 0; k < n;) {
        if (k + 6 < n && text[k] == '_' && text[k + 1] == 'x' && text[k + 6] == '_' &&
            std::all_of(text.begin() + k + 2, text.begin() + k + 6,
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
            unsigned code =
                static_cast<unsigned>(std::strtoul(text.substr(k + 2, 4).c_str(), nullptr, 16));
            if (code < 0xD800 || code > 0xDFFF) {
                AppendUtf8(code, &out);
                k += 7;
                continue;
            }
        }
        out += text[k++];
    }
    return out;
}

struct SheetCells::Walk {
    const std::vector<std::string>& shared;
    const WorkbookLimits& limits;
    XML_Parser parser = nullptr;
    std::vector<Tag> open; // the elements open now, innermost last
    std::string error;

    int rowNumber = 0; // of the row open now, from 1
    int column = -1;   // of the cell open now, from 0
    int cellRow = 0;
    std::string type, v, t, inlineText;

    std::vector<std::vector<Cell>> rows;
    size_t values = 0;
    size_t cells = 0; // the sum of the rows' lengths

    Walk(const std::vector<std::string>& s, const WorkbookLimits& l) : shared(s), limits(l) {}

    std::string Where() const { return ColumnLetters(column) + std::to_string(cellRow); }

    bool Fail(const std::string& message) {
        if (error.empty()) error = message;
        XML_StopParser(parser, XML_FALSE);
        return false;
    }

    void Start(const char* name, const char** attributes) {
        const Tag tag = open.empty() ? Tag::Root : TagOf(open.back(), name);
        open.push_back(tag);
        if (tag == Tag::Row) {
            const char* r = Attribute(attributes, "r");
            int ignored = 0;
            std::string ref = std::string("A") + (r ? r : "");
            if (r ? !ParseReference(ref.c_str(), &ignored, &rowNumber)
                  : ++rowNumber > kSheetMaxRows)
                Fail("the sheet is damaged (a row numbered \"" + std::string(r ? r : "") + "\")");
            column = -1;
        } else if (tag == Tag::C) {
            const char* r = Attribute(attributes, "r");
            const char* t = Attribute(attributes, "t");
            cellRow = rowNumber;
            if (r ? !ParseReference(r, &column, &cellRow) : ++column >= kSheetMaxColumns)
                Fail("the sheet is damaged (a cell named \"" + std::string(r ? r : "") + "\")");
            type = t ? t : "n";
            v.clear();
            inlineText.clear();
        } else if (tag == Tag::T) {
            t.clear();
        }
    }

    void End() {
        const Tag tag = open.back();
        open.pop_back();
        if (tag == Tag::T) {
            inlineText += UnescapedText(t);
        } else if (tag == Tag::C) {
            Cell cell;
            if (Decode(&cell) && !cell.empty()) Place(std::move(cell));
        }
    }

    void Text(const char* s, int length) {
        if (open.empty()) return;
        if (open.back() == Tag::V)
            v.append(s, static_cast<size_t>(length));
        else if (open.back() == Tag::T)
            t.append(s, static_cast<size_t>(length));
    }

    // The value of the cell just closed; an empty cell when it holds none.
    bool Decode(Cell* cell) {
        const std::string value = Trimmed(v);
        if (type == "inlineStr") {
            // Some writers put an inline string in <v> rather than <is>.
            cell->text = inlineText.empty() ? UnescapedText(v) : inlineText;
        } else if (type == "s") {
            if (value.empty()) return true;
            char* end = nullptr;
            unsigned long k = std::strtoul(value.c_str(), &end, 10);
            if (*end || value[0] == '-' || k >= shared.size())
                return Fail("cell " + Where() + " refers to shared string " + value +
                            ", which the workbook lacks");
            cell->text = shared[k];
        } else if (type == "str" || type == "e" || type == "d") {
            // Formula texts, error values (#N/A) and ISO 8601 dates are kept as they read.
            cell->text = UnescapedText(v);
        } else if (type == "b") {
            if (value == "1" || value == "true")
                cell->text = "TRUE";
            else if (value == "0" || value == "false")
                cell->text = "FALSE";
            else if (!value.empty())
                return Fail("cell " + Where() + " holds \"" + value + "\" where a boolean belongs");
        } else if (type == "n") {
            if (value.empty()) return true;
            // The nearest double, subnormal ones included; hexadecimal, infinities and NaN are
            // not numbers a workbook stores.
            char* end = nullptr;
            const double x = std::strtod(value.c_str(), &end);
            if (*end || value.find_first_not_of("0123456789.+-eE") != std::string::npos)
                return Fail("cell " + Where() + " holds \"" + value + "\" where a number belongs");
            if (!std::isfinite(x))
                return Fail("cell " + Where() + " holds " + value +
                            ", which is too large for a double");
            cell->kind = CellKind::Number;
            cell->number = x;
            cell->text = value;
            return true;
        } else {
            return Fail("cell " + Where() + " has the unknown type \"" + type + "\"");
        }
        if (!cell->text.empty()) cell->kind = CellKind::Text;
        return true;
    }

    // Refuses a value past the limits before anything is sized from it.
    void Place(Cell cell) {
        if (column >= limits.maxColumns) {
            Fail("cell " + Where() + " lies past column " + ColumnLetters(limits.maxColumns - 1) +
                 ", the last one quarrow reads");
            return;
        }
        if (cellRow > limits.maxRows) {
            Fail("cell " + Where() + " lies past row " + std::to_string(limits.maxRows) +
                 ": a sheet holds at most " + std::to_string(limits.maxRows - 1) +
                 " rows below its names");
            return;
        }
        if (rows.size() < static_cast<size_t>(cellRow)) rows.resize(cellRow);
        std::vector<Cell>& row = rows[cellRow - 1];
        if (row.size() <= static_cast<size_t>(column)) {
            cells += column + 1 - row.size();
            if (cells > limits.maxCells) {
                Fail(TooLarge());
                return;
            }
            row.resize(column + 1);
        }
        row[column] = std::move(cell);
        ++values;
    }

    std::string TooLarge() const {
        return "the sheet is too large: more than " + std::to_string(limits.maxCells) + " cells";
    }
};

namespace {

void OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    static_cast<SheetCells::Walk*>(data)->Start(name, attributes);
}
void OnEnd(void* data, const XML_Char*) {
    static_cast<SheetCells::Walk*>(data)->End();
}
void OnText(void* data, const XML_Char* s, int length) {
    static_cast<SheetCells::Walk*>(data)->Text(s, length);
}
// Entity declarations could make a few bytes expand into gigabytes: a sheet has no use for them.
void OnDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    static_cast<SheetCells::Walk*>(data)->Fail(
        "the sheet is damaged (it declares a document type)");
}

} // namespace

SheetCells::SheetCells(const std::vector<std::string>& shared, const WorkbookLimits& limits)
    : walk_(std::make_unique<Walk>(shared, limits)) {
    walk_->parser = XML_ParserCreate(nullptr);
    if (walk_->parser == nullptr) return;
    XML_SetUserData(walk_->parser, walk_.get());
    XML_SetElementHandler(walk_->parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(walk_->parser, OnText);
    XML_SetStartDoctypeDeclHandler(walk_->parser, OnDoctype);
}

SheetCells::~SheetCells() {
    if (walk_->parser) XML_ParserFree(walk_->parser);
}

bool SheetCells::Feed(const char* data, size_t size, bool last, std::string* error) {
    Walk& w = *walk_;
    if (w.parser == nullptr) {
        *error = "out of memory while reading the sheet";
        return false;
    }
    if (w.error.empty() &&
        XML_Parse(w.parser, data, static_cast<int>(size), last ? XML_TRUE : XML_FALSE) !=
            XML_STATUS_OK &&
        w.error.empty())
        w.error = std::string("the sheet is damaged (") +
                  XML_ErrorString(XML_GetErrorCode(w.parser)) + " on line " +
                  std::to_string(XML_GetCurrentLineNumber(w.parser)) + ")";
    if (!w.error.empty()) *error = w.error;
    return w.error.empty();
}

bool SheetCells::TakeRows(std::vector<std::vector<Cell>>* rows, std::string* error) {
    Walk& w = *walk_;
    // The worksheet pads every row to the names row: that is the grid to bound.
    const size_t named = w.rows.empty() ? 0 : w.rows[0].size();
    size_t grid = 0;
    for (const auto& row : w.rows)
        grid += std::max(row.size(), named);
    if (grid > w.limits.maxCells) {
        *error = w.TooLarge();
        return false;
    }
    if (grid > std::max(w.limits.gridFloor, w.limits.gridPerValue * w.values)) {
        *error = "the sheet is too sparse: " + std::to_string(w.rows.size()) + " rows by " +
                 std::to_string(named) + " named columns hold only " + std::to_string(w.values) +
                 " values";
        return false;
    }
    *rows = std::move(w.rows);
    return true;
}
