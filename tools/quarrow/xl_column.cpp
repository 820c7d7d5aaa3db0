#include "xl_column.h"

#include <cstring>

std::unique_ptr<unsigned char[]> CountedString(const std::string& text) {
    const size_t n = text.size() > 255 ? 255 : text.size();
    std::unique_ptr<unsigned char[]> s(new unsigned char[n + 2]());
    s[0] = static_cast<unsigned char>(n);
    std::memcpy(s.get() + 1, text.data(), n);
    return s;
}

XlColumn::XlColumn(const std::vector<Cell>& cells, size_t first) {
    for (size_t k = first; k < cells.size(); ++k) {
        const Cell& c = cells[k];
        if (c.kind == CellKind::Number)
            AddNumber(c.number);
        else if (c.kind == CellKind::Text)
            AddText(c.text);
        else
            AddEmpty();
    }
}

void XlColumn::AddNumber(double v) {
    XLOPER x{};
    x.val.num = v;
    x.xltype = xltypeNum;
    cells_.push_back(x);
}

void XlColumn::AddText(const std::string& text) {
    strings_.push_back(CountedString(text));
    XLOPER x{};
    x.val.str = strings_.back().get();
    x.xltype = xltypeStr;
    cells_.push_back(x);
}

void XlColumn::AddEmpty() {
    XLOPER x{};
    x.xltype = xltypeNil;
    cells_.push_back(x);
}

XLOPER* XlColumn::multi() {
    multi_ = XLOPER{};
    multi_.xltype = xltypeMulti;
    multi_.val.array.lparray = cells_.empty() ? nullptr : cells_.data();
    multi_.val.array.rows = static_cast<uint16_t>(cells_.size());
    multi_.val.array.columns = 1;
    return &multi_;
}

std::string XlText(const XLOPER* x) {
    if (x == nullptr || x->xltype != xltypeStr || x->val.str == nullptr) return std::string();
    return std::string(reinterpret_cast<const char*>(x->val.str + 1), x->val.str[0]);
}

std::string ResultText(const char* text) {
    return text ? std::string(text) : std::string();
}
