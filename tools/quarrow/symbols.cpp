#include "symbols.h"

#include "worksheet.h"

#include <algorithm>
#include <cctype>

std::string UpperText(const std::string& text) {
    std::string s = text;
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool SymbolsOfList(const std::string& list, std::vector<std::string>* symbols, std::string* error) {
    symbols->clear();
    const std::string& upper = list;
    size_t i = 0;
    while (i < upper.size()) {
        while (i < upper.size() && upper[i] == ',')
            ++i;
        if (i >= upper.size()) break;
        size_t end = upper.find(',', i);
        if (end == std::string::npos) end = upper.size();
        size_t start = i;
        while (start < end && (upper[start] == ' ' || upper[start] == '\t'))
            ++start;
        if (start == end) {
            *error = "the symbol list \"" + list + "\" has an empty symbol";
            return false;
        }
        symbols->push_back(upper.substr(start, std::min(end - start, kMaxSymbolLength)));
        i = end;
    }
    return true;
}

bool CheckSymbolText(const std::string& text, std::string* error) {
    if (text.size() > kMaxSymbolLength) {
        *error = "\"" + text + "\" is longer than 15 characters";
        return false;
    }
    if (text.find(',') != std::string::npos) {
        *error = "\"" + text + "\" holds a comma";
        return false;
    }
    if (!text.empty() && (text[0] == ' ' || text[0] == '\t')) {
        *error = "\"" + text + "\" starts with a blank";
        return false;
    }
    return true;
}

std::string SymbolList(const std::vector<std::string>& symbols) {
    std::string list;
    for (size_t k = 0; k < symbols.size(); ++k) {
        if (k) list += ',';
        list += symbols[k];
    }
    return list;
}

int SymbolIndex(const std::vector<std::string>& symbols, const std::string& text) {
    const std::string upper = UpperText(text);
    for (size_t k = 0; k < symbols.size(); ++k)
        if (UpperText(symbols[k]) == upper) return static_cast<int>(k);
    return -1;
}

void SortSymbols(std::vector<std::string>* symbols) {
    std::stable_sort(
        symbols->begin(), symbols->end(), [](const std::string& a, const std::string& b) {
            const Cell x = CellFromField(a), y = CellFromField(b);
            const bool xn = x.kind == CellKind::Number, yn = y.kind == CellKind::Number;
            if (xn != yn) return xn;
            if (xn) return x.number < y.number;
            return UpperText(a) < UpperText(b);
        });
}
