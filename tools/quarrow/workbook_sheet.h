// The cells of one workbook sheet, read from its XML as it is unpacked: memory grows with the
// values the sheet holds, not with the size of its text.
#pragma once

#include "workbook_read.h"
#include "worksheet.h"

#include <memory>
#include <string>
#include <vector>

class SheetCells {
  public:
    // `shared` (the workbook's shared strings) must outlive the reader.
    SheetCells(const std::vector<std::string>& shared, const WorkbookLimits& limits);
    ~SheetCells();
    SheetCells(const SheetCells&) = delete;
    SheetCells& operator=(const SheetCells&) = delete;

    // Hands over the next piece of the sheet's XML; `last` with the final (possibly empty) one.
    // False with a message when the XML is malformed or a value lies past the limits.
    bool Feed(const char* data, size_t size, bool last, std::string* error);

    // After the last piece: the rows from the sheet's first, each as long as its last value,
    // once the grid padded to the names row is known to be within the limits.
    bool TakeRows(std::vector<std::vector<Cell>>* rows, std::string* error);

    struct Walk; // the parser's state, seen by its callbacks

  private:
    std::unique_ptr<Walk> walk_;
};

// An element or attribute name without its namespace prefix: writers choose prefixes freely.
const char* XmlLocalName(const char* name);

// Workbook texts write characters XML cannot hold as _xHHHH_ (a line feed as _x000A_, an
// underscore before such a pattern as _x005F_).
std::string UnescapedText(const std::string& text);
