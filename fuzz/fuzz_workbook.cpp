// The workbook reader over any bytes: it answers with a sheet or a message, within its limits,
// and never leaves a half-filled sheet behind. An input that starts with '<' is taken as the XML
// of a sheet and packed into a workbook first, so that mutations reach the sheet reader instead
// of stopping at the zip's checksums.
#include "workbook_read.h"

#include <zip.h>

#include <cstdint>
#include <string>

namespace {

const char* const kRootRels =
    "<Relationships><Relationship Id=\"a\" Target=\"xl/workbook.xml\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\"/>"
    "</Relationships>";
const char* const kWorkbook =
    "<workbook><sheets><sheet name=\"Hand\" r:id=\"s\"/></sheets></workbook>";
const char* const kWorkbookRels =
    "<Relationships><Relationship Id=\"s\" Target=\"worksheets/sheet1.xml\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\"/>"
    "<Relationship Id=\"t\" Target=\"sharedStrings.xml\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\"/>"
    "</Relationships>";
const char* const kStrings =
    "<sst><si><t>a</t></si><si><r><t>b</t></r><r><t>c</t></r></si><si><t>d</t></si></sst>";

bool Add(zip_t* zip, const char* name, const std::string& text) {
    zip_source_t* s = zip_source_buffer(zip, text.data(), text.size(), 0);
    if (s && zip_file_add(zip, name, s, 0) >= 0) return true;
    zip_source_free(s);
    return false;
}

// A workbook around the given sheet XML, stored uncompressed.
std::string Package(const std::string& sheetXml) {
    std::string out;
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, nullptr);
    zip_t* zip = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, nullptr) : nullptr;
    if (zip == nullptr) {
        zip_source_free(buffer);
        return out;
    }
    zip_source_keep(buffer);
    const std::string parts[] = {kRootRels, kWorkbook, kWorkbookRels, kStrings, sheetXml};
    bool ok = Add(zip, "_rels/.rels", parts[0]) && Add(zip, "xl/workbook.xml", parts[1]) &&
              Add(zip, "xl/_rels/workbook.xml.rels", parts[2]) &&
              Add(zip, "xl/sharedStrings.xml", parts[3]) &&
              Add(zip, "xl/worksheets/sheet1.xml", parts[4]);
    for (zip_int64_t k = 0; ok && k < 5; ++k)
        zip_set_file_compression(zip, k, ZIP_CM_STORE, 0);
    if (!ok || zip_close(zip) < 0) {
        if (!ok) zip_discard(zip);
        zip_source_free(buffer);
        return out;
    }
    zip_stat_t st;
    if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
        out.resize(st.size);
        zip_int64_t n = zip_source_read(buffer, out.data(), st.size);
        out.resize(n < 0 ? 0 : static_cast<size_t>(n));
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WorkbookLimits limits;
    limits.maxUnpackedBytes = 4 << 20; // keeps each input quick; the checks are the same
    limits.maxTreeBytes = 16 << 20;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!bytes.empty() && bytes[0] == '<') bytes = Package(bytes);
    for (const char* name : {"", "hand", "other"}) {
        Worksheet sheet;
        std::string error;
        if (ReadWorkbookSheet(bytes, name, &sheet, &error, limits)) {
            if (sheet.names.empty()) __builtin_trap();
            for (const auto& row : sheet.rows)
                if (row.size() != sheet.names.size()) __builtin_trap();
        } else if (error.empty() || !sheet.names.empty() || !sheet.rows.empty()) {
            __builtin_trap();
        }
    }
    return 0;
}
