// XLOPER cells as the spreadsheet hands them to the library, owned by quarrow.
#pragma once

#include "quar1432.h"
#include "worksheet.h"

#include <memory>
#include <string>
#include <vector>

class XlColumn {
  public:
    XlColumn() = default;
    // Cells first .. end of `cells`: numbers, byte-counted strings (at most 255 characters) and
    // empty cells (xltypeNil).
    explicit XlColumn(const std::vector<Cell>& cells, size_t first = 0);
    XlColumn(const XlColumn&) = delete;
    XlColumn& operator=(const XlColumn&) = delete;

    void AddNumber(double v);
    void AddText(const std::string& text);
    void AddEmpty();
    // The multi of one column over the cells; valid until the next Add.
    XLOPER* multi();
    size_t size() const { return cells_.size(); }

  private:
    std::vector<XLOPER> cells_;
    std::vector<std::unique_ptr<unsigned char[]>> strings_;
    XLOPER multi_{};
};

// A byte-counted string owned by the caller: first byte the length.
std::unique_ptr<unsigned char[]> CountedString(const std::string& text);

// The characters of a library XLOPER string; "" for anything else.
std::string XlText(const XLOPER* x);
// A library result string or XLOPER message as text ("" for a null pointer).
std::string ResultText(const char* text);
