#include "workbook_read.h"

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kSheetMaxColumns = 16384; // XFD, the last column a workbook can have
constexpr int kSheetMaxRows = 1048576;

// ---- The zip package ---------------------------------------------------------------------

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct ZipFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

struct Package {
    std::unique_ptr<zip_t, ZipCloser> zip;
    size_t budget = 0;       // bytes that parts may still unpack to
    size_t maxTreeBytes = 0; // for the parsed tree of one part
};

std::string ZipProblem(zip_error_t* e) {
    switch (zip_error_code_zip(e)) {
    case ZIP_ER_NOZIP:
        return "not a workbook (not a zip archive)";
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_ENCRNOTSUPP:
        return "the workbook is password-protected; save an unprotected copy";
    case ZIP_ER_COMPNOTSUPP:
        return "the workbook is compressed with a method this reader does not know";
    case ZIP_ER_MEMORY:
        return "out of memory while reading the workbook";
    }
    return std::string("the workbook is damaged (") + zip_error_strerror(e) + ")";
}

bool OpenPackage(const std::string& bytes, const WorkbookLimits& limits, Package* package,
                 std::string* error) {
    zip_error_t e;
    zip_error_init(&e);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &e);
    zip_t* zip = source ? zip_open_from_source(source, ZIP_RDONLY, &e) : nullptr;
    if (zip == nullptr) {
        if (source) zip_source_free(source);
        // A file that starts as a zip but has no directory at its end was cut short.
        if (zip_error_code_zip(&e) == ZIP_ER_NOZIP && bytes.compare(0, 4, "PK\x03\x04") == 0)
            *error = "the workbook is damaged (its zip directory is missing: the file may be cut "
                     "short)";
        else
            *error = ZipProblem(&e);
        zip_error_fini(&e);
        return false;
    }
    zip_error_fini(&e);
    package->zip.reset(zip);
    package->budget = limits.maxUnpackedBytes;
    package->maxTreeBytes = limits.maxTreeBytes;
    return true;
}

bool HasPart(const Package& package, const std::string& name) {
    return zip_name_locate(package.zip.get(), name.c_str(), ZIP_FL_NOCASE) >= 0;
}

// Unpacks one part, never past the package's budget whatever its header claims.
bool ReadPart(Package& package, const std::string& name, std::string* out, std::string* error) {
    out->clear();
    zip_int64_t index = zip_name_locate(package.zip.get(), name.c_str(), ZIP_FL_NOCASE);
    if (index < 0) {
        *error = "the workbook is damaged (" + name + " is missing)";
        return false;
    }
    const std::string tooLarge = name + " is too large once unpacked (more than " +
                                 std::to_string(package.budget >> 20) + " MB left to read)";
    zip_stat_t st;
    if (zip_stat_index(package.zip.get(), index, 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE) &&
        st.size > package.budget) {
        *error = tooLarge;
        return false;
    }
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(package.zip.get(), index, 0));
    if (!file) {
        *error = ZipProblem(zip_get_error(package.zip.get()));
        return false;
    }
    char chunk[1 << 16];
    for (;;) {
        zip_int64_t n = zip_fread(file.get(), chunk, sizeof chunk);
        if (n < 0) {
            *error = ZipProblem(zip_file_get_error(file.get()));
            return false;
        }
        if (n == 0) break;
        if (static_cast<size_t>(n) > package.budget) {
            *error = tooLarge;
            return false;
        }
        package.budget -= static_cast<size_t>(n);
        out->append(chunk, static_cast<size_t>(n));
    }
    return true;
}

// ---- XML parts ---------------------------------------------------------------------------

// Element and attribute names without their namespace prefix: writers choose prefixes freely.
const char* LocalName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

bool Named(const pugi::xml_node& node, const char* local) {
    return node.type() == pugi::node_element && std::strcmp(LocalName(node.name()), local) == 0;
}

pugi::xml_node Child(const pugi::xml_node& parent, const char* local) {
    for (pugi::xml_node n : parent.children())
        if (Named(n, local)) return n;
    return pugi::xml_node();
}

const char* Attribute(const pugi::xml_node& node, const char* local) {
    for (pugi::xml_attribute a : node.attributes())
        if (std::strcmp(LocalName(a.name()), local) == 0) return a.value();
    return nullptr;
}

// Parses a part in place: `text` must outlive `doc`. The parsed tree takes more memory than the
// text (a node or an attribute for every few bytes at worst), so its size is bounded from the
// count of '<' and '=' before it is built.
bool ParsePart(Package& package, const std::string& name, std::string* text,
               pugi::xml_document* doc, std::string* error) {
    constexpr size_t kNodeBytes = 64, kAttributeBytes = 40;
    if (!ReadPart(package, name, text, error)) return false;
    const size_t tree = kNodeBytes * std::count(text->begin(), text->end(), '<') +
                        kAttributeBytes * std::count(text->begin(), text->end(), '=');
    if (tree > package.maxTreeBytes) {
        *error = name + " holds too many elements to read (about " + std::to_string(tree >> 20) +
                 " MB once parsed)";
        return false;
    }
    pugi::xml_parse_result r = doc->load_buffer_inplace(
        text->data(), text->size(),
        pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_embed_pcdata);
    if (!r) {
        *error = "the workbook is damaged (" + name + ": " + r.description() + " at byte " +
                 std::to_string(r.offset) + ")";
        return false;
    }
    return true;
}

bool EndsWith(const std::string& s, const char* tail) {
    size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// The part a relationship points at: absolute from the package root when it starts with '/',
// otherwise relative to the folder of the part that owns the relationship.
std::string ResolveTarget(const std::string& ownerPart, const std::string& target) {
    std::string joined;
    if (!target.empty() && target[0] == '/') {
        joined = target.substr(1);
    } else {
        size_t slash = ownerPart.rfind('/');
        joined = (slash == std::string::npos ? "" : ownerPart.substr(0, slash + 1)) + target;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find('/', start);
        if (end == std::string::npos) end = joined.size();
        std::string segment = joined.substr(start, end - start);
        if (segment == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!segment.empty() && segment != ".") {
            parts.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

struct Relationship {
    std::string type, target; // target resolved to a part name
};

// The relationships of `part` by id; none when it has no relationship part.
bool ReadRelationships(Package& package, const std::string& part,
                       std::map<std::string, Relationship>* out, std::string* error) {
    size_t slash = part.rfind('/');
    std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    std::string relsName = folder + "_rels/" + file + ".rels";
    out->clear();
    if (!HasPart(package, relsName)) return true;
    std::string text;
    pugi::xml_document doc;
    if (!ParsePart(package, relsName, &text, &doc, error)) return false;
    for (pugi::xml_node r : Child(doc, "Relationships").children()) {
        const char* id = Attribute(r, "Id");
        const char* type = Attribute(r, "Type");
        const char* target = Attribute(r, "Target");
        const char* mode = Attribute(r, "TargetMode");
        if (!Named(r, "Relationship") || !id || !type || !target) continue;
        if (mode && std::strcmp(mode, "External") == 0) continue;
        (*out)[id] = Relationship{type, ResolveTarget(part, target)};
    }
    return true;
}

// ---- Texts -------------------------------------------------------------------------------

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

// Workbook texts write characters XML cannot hold as _xHHHH_ (a line feed as _x000A_, an
// underscore before such a pattern as _x005F_).
std::string Unescaped(const char* text) {
    std::string out;
    for (const char* p = text; *p;) {
        if (p[0] == '_' && p[1] == 'x' && std::isxdigit(static_cast<unsigned char>(p[2])) &&
            std::isxdigit(static_cast<unsigned char>(p[3])) &&
            std::isxdigit(static_cast<unsigned char>(p[4])) &&
            std::isxdigit(static_cast<unsigned char>(p[5])) && p[6] == '_') {
            unsigned code =
                static_cast<unsigned>(std::strtoul(std::string(p + 2, 4).c_str(), nullptr, 16));
            if (code < 0xD800 || code > 0xDFFF) {
                AppendUtf8(code, &out);
                p += 7;
                continue;
            }
        }
        out += *p++;
    }
    return out;
}

// The text of a string item: its own <t>, or its runs' <t> joined (phonetic runs left out).
std::string ItemText(const pugi::xml_node& item) {
    std::string text;
    for (pugi::xml_node n : item.children()) {
        if (Named(n, "t"))
            text += Unescaped(n.text().get());
        else if (Named(n, "r"))
            text += Unescaped(Child(n, "t").text().get());
    }
    return text;
}

bool ReadSharedStrings(Package& package, const std::string& part, std::vector<std::string>* out,
                       std::string* error) {
    std::string text;
    pugi::xml_document doc;
    if (!ParsePart(package, part, &text, &doc, error)) return false;
    for (pugi::xml_node si : Child(doc, "sst").children())
        if (Named(si, "si")) out->push_back(ItemText(si));
    return true;
}

// ---- The sheet ---------------------------------------------------------------------------

std::string Trimmed(const char* text) {
    std::string s(text);
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

std::string CellName(int column, int row) {
    return ColumnLetters(column) + std::to_string(row);
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

bool ParseRowNumber(const char* text, int* row) {
    int c = 0;
    std::string ref = std::string("A") + text;
    return ParseReference(ref.c_str(), &c, row);
}

struct PlacedCell {
    int row;    // from 1
    int column; // from 0
    Cell cell;
};

// The value of one <c> element; an empty cell when it holds none.
bool DecodeCell(const pugi::xml_node& c, const std::vector<std::string>& shared,
                const std::string& where, Cell* cell, std::string* error) {
    const char* typeAttr = Attribute(c, "t");
    const std::string type = typeAttr ? typeAttr : "n";
    const std::string v = Trimmed(Child(c, "v").text().get());
    *cell = Cell();
    if (type == "inlineStr") {
        cell->text = ItemText(Child(c, "is"));
    } else if (type == "s") {
        if (v.empty()) return true;
        char* end = nullptr;
        unsigned long k = std::strtoul(v.c_str(), &end, 10);
        if (*end || v[0] == '-' || k >= shared.size()) {
            *error =
                "cell " + where + " refers to shared string " + v + ", which the workbook lacks";
            return false;
        }
        cell->text = shared[k];
    } else if (type == "str" || type == "e" || type == "d") {
        // Formula texts, error values (#N/A) and ISO 8601 dates are kept as they read.
        cell->text = Unescaped(Child(c, "v").text().get());
    } else if (type == "b") {
        if (v == "1" || v == "true")
            cell->text = "TRUE";
        else if (v == "0" || v == "false")
            cell->text = "FALSE";
        else if (!v.empty()) {
            *error = "cell " + where + " holds \"" + v + "\" where a boolean belongs";
            return false;
        }
    } else if (type == "n") {
        if (v.empty()) return true;
        // The nearest double, subnormal ones included; hexadecimal, infinities and NaN are not
        // numbers a workbook stores.
        char* end = nullptr;
        const double x = std::strtod(v.c_str(), &end);
        if (*end || v.find_first_not_of("0123456789.+-eE") != std::string::npos) {
            *error = "cell " + where + " holds \"" + v + "\" where a number belongs";
            return false;
        }
        if (!std::isfinite(x)) {
            *error = "cell " + where + " holds " + v + ", which is too large for a double";
            return false;
        }
        cell->kind = CellKind::Number;
        cell->number = x;
        cell->text = v;
        return true;
    } else {
        *error = "cell " + where + " has the unknown type \"" + type + "\"";
        return false;
    }
    if (!cell->text.empty()) cell->kind = CellKind::Text;
    return true;
}

// Every cell that holds a value, placed by its reference (or after the one before it when the
// reference is left out). Refuses a value past the limits before anything is sized from it.
bool CollectCells(const pugi::xml_node& sheetData, const std::vector<std::string>& shared,
                  const WorkbookLimits& limits, std::vector<PlacedCell>* cells,
                  std::string* error) {
    int rowNumber = 0;
    for (pugi::xml_node row : sheetData.children()) {
        if (!Named(row, "row")) continue;
        const char* r = Attribute(row, "r");
        if (r ? !ParseRowNumber(r, &rowNumber) : ++rowNumber > kSheetMaxRows) {
            *error = "the sheet is damaged (a row numbered \"" + std::string(r ? r : "") + "\")";
            return false;
        }
        int column = -1;
        for (pugi::xml_node c : row.children()) {
            if (!Named(c, "c")) continue;
            const char* ref = Attribute(c, "r");
            int cellRow = rowNumber;
            if (ref ? !ParseReference(ref, &column, &cellRow) : ++column >= kSheetMaxColumns) {
                *error =
                    "the sheet is damaged (a cell named \"" + std::string(ref ? ref : "") + "\")";
                return false;
            }
            const std::string where = CellName(column, cellRow);
            PlacedCell placed{cellRow, column, Cell()};
            if (!DecodeCell(c, shared, where, &placed.cell, error)) return false;
            if (placed.cell.empty()) continue;
            if (column >= limits.maxColumns) {
                *error = "cell " + where + " lies past column " +
                         ColumnLetters(limits.maxColumns - 1) + ", the last one quarrow reads";
                return false;
            }
            if (cellRow > limits.maxRows) {
                *error = "cell " + where + " lies past row " + std::to_string(limits.maxRows) +
                         ": a sheet holds at most " + std::to_string(limits.maxRows - 1) +
                         " rows below its names";
                return false;
            }
            cells->push_back(std::move(placed));
        }
    }
    return true;
}

// Lays the cells out as rows, each as long as its last value or the names row, whichever is
// longer, once the size of that grid is known to be within bounds.
bool GridOfCells(std::vector<PlacedCell>& cells, const WorkbookLimits& limits,
                 std::vector<std::vector<Cell>>* rows, std::string* error) {
    int lastRow = 0;
    for (const PlacedCell& p : cells)
        lastRow = std::max(lastRow, p.row);
    std::vector<int> widths(lastRow, 0);
    for (const PlacedCell& p : cells)
        widths[p.row - 1] = std::max(widths[p.row - 1], p.column + 1);
    const int named = widths.empty() ? 0 : widths[0];
    size_t gridCells = 0;
    for (int w : widths)
        gridCells += static_cast<size_t>(std::max(w, named));
    const size_t allowed = std::max(limits.gridFloor, limits.gridPerValue * cells.size());
    if (gridCells > allowed) {
        *error = "the sheet is too sparse: " + std::to_string(lastRow) + " rows by " +
                 std::to_string(named) + " named columns hold only " +
                 std::to_string(cells.size()) + " values";
        return false;
    }
    rows->assign(lastRow, std::vector<Cell>());
    for (int r = 0; r < lastRow; ++r)
        (*rows)[r].resize(widths[r]);
    for (PlacedCell& p : cells)
        (*rows)[p.row - 1][p.column] = std::move(p.cell);
    return true;
}

// ---- The workbook ------------------------------------------------------------------------

struct SheetEntry {
    std::string name;
    bool hidden = false;
    Relationship rel;
};

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

bool IsWorksheet(const SheetEntry& s) {
    return EndsWith(s.rel.type, "/worksheet");
}

bool ChooseSheet(const std::vector<SheetEntry>& sheets, const std::string& wanted,
                 const SheetEntry** chosen, std::string* error) {
    for (const SheetEntry& s : sheets) {
        if (wanted.empty() ? IsWorksheet(s) && !s.hidden : SameName(s.name, wanted)) {
            if (!IsWorksheet(s)) {
                *error = "sheet \"" + s.name + "\" is not a worksheet (" +
                         s.rel.type.substr(s.rel.type.rfind('/') + 1) + ")";
                return false;
            }
            *chosen = &s;
            return true;
        }
    }
    if (wanted.empty()) {
        *error = "the workbook has no visible worksheet";
        return false;
    }
    std::string names;
    for (const SheetEntry& s : sheets)
        names += (names.empty() ? "\"" : ", \"") + s.name + "\"";
    *error = "the workbook has no sheet \"" + wanted + "\"; its sheets are " +
             (names.empty() ? "none" : names);
    return false;
}

// The workbook part, its sheets in order and its shared strings part ("" when there is none).
bool ReadWorkbookPart(Package& package, std::vector<SheetEntry>* sheets, std::string* sharedPart,
                      std::string* error) {
    std::map<std::string, Relationship> rels;
    if (!ReadRelationships(package, "", &rels, error)) return false;
    std::string workbookPart;
    for (const auto& [id, rel] : rels)
        if (EndsWith(rel.type, "/officeDocument")) workbookPart = rel.target;
    if (workbookPart.empty()) {
        *error = "the zip archive is not an .xlsx workbook (it names no workbook part)";
        return false;
    }
    if (EndsWith(workbookPart, ".bin")) {
        *error = "the workbook is saved in the binary format (.xlsb); save it as .xlsx";
        return false;
    }
    std::string text;
    pugi::xml_document doc;
    if (!ParsePart(package, workbookPart, &text, &doc, error) ||
        !ReadRelationships(package, workbookPart, &rels, error))
        return false;
    for (const auto& [id, rel] : rels)
        if (EndsWith(rel.type, "/sharedStrings")) *sharedPart = rel.target;
    for (pugi::xml_node s : Child(Child(doc, "workbook"), "sheets").children()) {
        if (!Named(s, "sheet")) continue;
        const char* name = Attribute(s, "name");
        const char* id = Attribute(s, "id");
        const char* state = Attribute(s, "state");
        auto rel = id ? rels.find(id) : rels.end();
        if (!name || rel == rels.end()) {
            *error = "the workbook is damaged (a sheet without a name or a part)";
            return false;
        }
        sheets->push_back(
            SheetEntry{name, state && std::strcmp(state, "visible") != 0, rel->second});
    }
    return true;
}

bool ReadSheet(const std::string& bytes, const std::string& sheetName, Worksheet* sheet,
               std::string* error, const WorkbookLimits& limits) {
    Package package;
    std::vector<SheetEntry> sheets;
    std::string sharedPart;
    const SheetEntry* chosen = nullptr;
    if (!OpenPackage(bytes, limits, &package, error) ||
        !ReadWorkbookPart(package, &sheets, &sharedPart, error) ||
        !ChooseSheet(sheets, sheetName, &chosen, error))
        return false;
    std::vector<std::string> shared;
    if (!sharedPart.empty() && !ReadSharedStrings(package, sharedPart, &shared, error))
        return false;
    std::vector<std::vector<Cell>> rows;
    {
        std::string text;
        pugi::xml_document doc;
        std::vector<PlacedCell> cells;
        if (!ParsePart(package, chosen->rel.target, &text, &doc, error)) return false;
        pugi::xml_node data = Child(Child(doc, "worksheet"), "sheetData");
        if (!CollectCells(data, shared, limits, &cells, error) ||
            !GridOfCells(cells, limits, &rows, error)) {
            *error = "sheet \"" + chosen->name + "\": " + *error;
            return false;
        }
    }
    if (!BuildWorksheetFromCells(std::move(rows), sheet, error)) {
        *error = "sheet \"" + chosen->name + "\": " + *error;
        return false;
    }
    return true;
}

bool IsWorkbookName(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".xlsx" || ext == ".xlsm" || ext == ".xltx" || ext == ".xltm";
}

} // namespace

bool ReadWorkbookSheet(const std::string& bytes, const std::string& sheetName, Worksheet* sheet,
                       std::string* error, const WorkbookLimits& limits) {
    if (ReadSheet(bytes, sheetName, sheet, error, limits)) return true;
    sheet->names.clear();
    sheet->rows.clear();
    return false;
}

bool LoadWorkbookSheet(const std::string& path, const std::string& sheetName, Worksheet* sheet,
                       std::string* error) {
    const WorkbookLimits limits;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    std::string bytes;
    if (!ec && size > limits.maxFileBytes) {
        *error = path + ": the file is too large (more than " +
                 std::to_string(limits.maxFileBytes >> 20) + " MB)";
        return false;
    }
    if (!ReadTextFile(path, &bytes, error)) return false;
    if (!ReadWorkbookSheet(bytes, sheetName, sheet, error, limits)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool LoadSheetFile(const std::string& path, const std::string& sheetName, Worksheet* sheet,
                   std::string* error) {
    sheet->names.clear();
    sheet->rows.clear();
    char magic[4] = {};
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            *error = "cannot open " + path;
            return false;
        }
        in.read(magic, sizeof magic);
    }
    if (std::memcmp(magic, "\xD0\xCF\x11\xE0", 4) == 0) {
        *error = path +
                 ": the workbook is encrypted (password-protected) or in the old binary .xls "
                 "format; save an unprotected .xlsx copy";
        return false;
    }
    if (std::memcmp(magic, "PK", 2) == 0 || IsWorkbookName(path))
        return LoadWorkbookSheet(path, sheetName, sheet, error);
    if (!sheetName.empty()) {
        *error = path + " is a CSV file, which has no sheets to choose from";
        return false;
    }
    return LoadWorksheet(path, sheet, error);
}
