#include "workbook_read.h"

#include "workbook_sheet.h"

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

namespace {

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

// Unpacks one part piece by piece into `sink`, never past the package's budget whatever its
// header claims.
template <typename Sink>
bool StreamPart(Package& package, const std::string& name, Sink sink, std::string* error) {
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
    std::vector<char> chunk(1 << 16);
    for (;;) {
        zip_int64_t n = zip_fread(file.get(), chunk.data(), chunk.size());
        if (n < 0) {
            *error = ZipProblem(zip_file_get_error(file.get()));
            return false;
        }
        if (static_cast<size_t>(n) > package.budget) {
            *error = tooLarge;
            return false;
        }
        package.budget -= static_cast<size_t>(n);
        if (!sink(chunk.data(), static_cast<size_t>(n), n == 0, error)) return false;
        if (n == 0) return true;
    }
}

bool ReadPart(Package& package, const std::string& name, std::string* out, std::string* error) {
    out->clear();
    return StreamPart(
        package, name,
        [out](const char* data, size_t size, bool, std::string*) {
            out->append(data, size);
            return true;
        },
        error);
}

// ---- XML parts ---------------------------------------------------------------------------

bool Named(const pugi::xml_node& node, const char* local) {
    return node.type() == pugi::node_element && std::strcmp(XmlLocalName(node.name()), local) == 0;
}

pugi::xml_node Child(const pugi::xml_node& parent, const char* local) {
    for (pugi::xml_node n : parent.children())
        if (Named(n, local)) return n;
    return pugi::xml_node();
}

const char* Attribute(const pugi::xml_node& node, const char* local) {
    for (pugi::xml_attribute a : node.attributes())
        if (std::strcmp(XmlLocalName(a.name()), local) == 0) return a.value();
    return nullptr;
}

// Parses a part in place: `text` must outlive `doc`. The parsed tree takes more memory than the
// text (a node or an attribute for every few bytes at worst), so its size is bounded from the
// count of start tags and '=' before it is built.
bool ParsePart(Package& package, const std::string& name, std::string* text,
               pugi::xml_document* doc, std::string* error) {
    constexpr size_t kNodeBytes = 64, kAttributeBytes = 40;
    if (!ReadPart(package, name, text, error)) return false;
    size_t tree = 0;
    for (size_t k = 0; k + 1 < text->size(); ++k)
        if ((*text)[k] == '<')
            tree += (*text)[k + 1] == '/' ? 0 : kNodeBytes; // an end tag is no new node
        else if ((*text)[k] == '=')
            tree += kAttributeBytes;
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

// ---- Shared strings ----------------------------------------------------------------------

// The text of a string item: its own <t>, or its runs' <t> joined (phonetic runs left out).
std::string ItemText(const pugi::xml_node& item) {
    std::string text;
    for (pugi::xml_node n : item.children()) {
        if (Named(n, "t"))
            text += UnescapedText(n.text().get());
        else if (Named(n, "r"))
            text += UnescapedText(Child(n, "t").text().get());
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
    SheetCells cells(shared, limits);
    auto feed = [&cells](const char* data, size_t size, bool last, std::string* e) {
        return cells.Feed(data, size, last, e);
    };
    if (!StreamPart(package, chosen->rel.target, feed, error) || !cells.TakeRows(&rows, error) ||
        !BuildWorksheetFromCells(std::move(rows), sheet, error)) {
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
    // Only the whole signature of a zip's first entry: a CSV file may well start with "PK".
    if (std::memcmp(magic, "PK\x03\x04", 4) == 0 || IsWorkbookName(path))
        return LoadWorkbookSheet(path, sheetName, sheet, error);
    if (!sheetName.empty()) {
        *error = path + " is a CSV file, which has no sheets to choose from";
        return false;
    }
    return LoadWorksheet(path, sheet, error);
}
