#include "support/fresh_library.h"

#include "addin/library_state.h"

#include <cstring>

void FreshLibrary() {
    ResetLibrary();
}

OwnedFp::OwnedFp(uint16_t rows, uint16_t columns, const std::vector<double>& values)
    : storage_(new double[QUAR_FP_BYTES(rows, columns) / sizeof(double)]()) {
    FP* fp = get();
    fp->rows = rows;
    fp->columns = columns;
    for (size_t k = 0; k < values.size() && k < size_t(rows) * columns; ++k)
        fp->array[k] = values[k];
}

OwnedFp Column(const std::vector<double>& values) {
    return OwnedFp(static_cast<uint16_t>(values.size()), 1, values);
}

OwnedCells::OwnedCells(size_t rows, size_t columns)
    : rows_(rows), columns_(columns), cells_(rows * columns) {
    for (auto& c : cells_)
        c.xltype = xltypeNil;
}

XLOPER& OwnedCells::Put(size_t k, uint16_t type) {
    cells_[k] = XLOPER{};
    cells_[k].xltype = type;
    return cells_[k];
}

void OwnedCells::SetNumber(size_t k, double v) {
    Put(k, xltypeNum).val.num = v;
}

void OwnedCells::SetString(size_t k, const std::string& text) {
    size_t n = text.size() > 255 ? 255 : text.size();
    std::unique_ptr<unsigned char[]> s(new unsigned char[n + 2]());
    s[0] = static_cast<unsigned char>(n);
    std::memcpy(s.get() + 1, text.data(), n);
    Put(k, xltypeStr).val.str = s.get();
    strings_.push_back(std::move(s));
}

void OwnedCells::SetBool(size_t k, bool v) {
    Put(k, xltypeBool).val.xbool = v ? 1 : 0;
}

void OwnedCells::SetError(size_t k, uint16_t code) {
    Put(k, xltypeErr).val.err = code;
}

void OwnedCells::SetNil(size_t k) {
    Put(k, xltypeNil);
}

XLOPER* OwnedCells::multi() {
    multi_ = XLOPER{};
    multi_.val.array.lparray = cells_.data();
    multi_.val.array.rows = static_cast<uint16_t>(rows_);
    multi_.val.array.columns = static_cast<uint16_t>(columns_);
    multi_.xltype = xltypeMulti;
    return &multi_;
}

std::string OwnedCells::Text(size_t k) const {
    return CountedText(cells_[k].val.str);
}

OwnedCells CopyOf(const XLOPER* column) {
    OwnedCells cells(column->val.array.rows);
    for (size_t k = 0; k < column->val.array.rows; ++k) {
        const XLOPER& c = column->val.array.lparray[k];
        if (c.xltype == xltypeStr)
            cells.SetString(k, CountedText(c.val.str));
        else
            cells.SetNumber(k, c.val.num);
    }
    return cells;
}

std::string CountedText(const unsigned char* counted) {
    if (counted == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(counted + 1), counted[0]);
}

std::string AnswerText(const XLOPER* answer) {
    return answer != nullptr && answer->xltype == xltypeStr ? CountedText(answer->val.str)
                                                            : "<not a text>";
}
