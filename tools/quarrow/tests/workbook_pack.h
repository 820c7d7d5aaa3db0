// A workbook packed in memory around one sheet's XML, for the reader's tests and fuzz target.
#pragma once

#include <zip.h>

#include <string>

inline bool AddPart(zip_t* zip, const char* name, const std::string& text) {
    zip_source_t* s = zip_source_buffer(zip, text.data(), text.size(), 0);
    if (s && zip_file_add(zip, name, s, 0) >= 0) return true;
    zip_source_free(s);
    return false;
}

// A workbook around the given sheet XML (sheet "Hand", shared strings "a", "bc", "d"), stored
// uncompressed.
inline std::string WorkbookAround(const std::string& sheetXml) {
    std::string out;
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, nullptr);
    zip_t* zip = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, nullptr) : nullptr;
    if (zip == nullptr) {
        zip_source_free(buffer);
        return out;
    }
    zip_source_keep(buffer);
    const std::string rootRels = "<Relationships><Relationship Id=\"a\" Target=\"xl/workbook.xml\" "
                                 "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                                 "relationships/officeDocument\"/>"
                                 "</Relationships>";
    const std::string workbook =
        "<workbook><sheets><sheet name=\"Hand\" r:id=\"s\"/></sheets></workbook>";
    const std::string workbookRels =
        "<Relationships><Relationship Id=\"s\" Target=\"worksheets/sheet1.xml\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\"/>"
        "<Relationship Id=\"t\" Target=\"sharedStrings.xml\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "sharedStrings\"/>"
        "</Relationships>";
    const std::string strings =
        "<sst><si><t>a</t></si><si><r><t>b</t></r><r><t>c</t></r></si><si><t>d</t></si></sst>";
    bool ok = AddPart(zip, "_rels/.rels", rootRels) && AddPart(zip, "xl/workbook.xml", workbook) &&
              AddPart(zip, "xl/_rels/workbook.xml.rels", workbookRels) &&
              AddPart(zip, "xl/sharedStrings.xml", strings) &&
              AddPart(zip, "xl/worksheets/sheet1.xml", sheetXml);
    for (zip_int64_t k = 0; ok && k < 5; ++k)
        zip_set_file_compression(zip, k, ZIP_CM_STORE, 0);
    if (!ok || zip_close(zip) < 0) {
        zip_discard(zip);
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
