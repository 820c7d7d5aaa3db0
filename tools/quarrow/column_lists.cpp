#include "column_lists.h"

#include <algorithm>

namespace {

int NameIndex(const Worksheet& sheet, const std::string& name) {
    for (int c = 0; c < sheet.columnCount(); ++c)
        if (sheet.names[c] == name) return c;
    return -1;
}

bool Blank(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::string SheetNames(const Worksheet& sheet) {
    std::string names;
    for (int c = 0; c < sheet.columnCount(); ++c)
        names += (c ? ", " : "") + ColumnLetters(c) + " " + sheet.names[c];
    return names;
}

// One column by name, else by letters; -1 with a message naming the sheet's columns.
int OneColumn(const Worksheet& sheet, const std::string& item, std::string* error) {
    int c = NameIndex(sheet, item);
    if (c >= 0) return c;
    c = ColumnIndexOfLetters(item);
    if (c >= 0 && c < sheet.columnCount()) return c;
    *error = "no column \"" + item + "\"; the sheet's columns are " + SheetNames(sheet);
    return -1;
}

} // namespace

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    if (Blank(list)) return items;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        std::string item = list.substr(start, comma == std::string::npos ? comma : comma - start);
        size_t a = item.find_first_not_of(" \t"), b = item.find_last_not_of(" \t");
        items.push_back(a == std::string::npos ? std::string() : item.substr(a, b - a + 1));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

bool ColumnList(const Worksheet& sheet, const std::string& list, std::vector<int>* columns,
                std::string* error) {
    columns->clear();
    for (const std::string& item : SplitList(list)) {
        if (item.empty()) {
            *error = "\"" + list + "\" has an empty item";
            return false;
        }
        const size_t colon = item.find(':');
        if (NameIndex(sheet, item) >= 0 || colon == std::string::npos) {
            int c = OneColumn(sheet, item, error);
            if (c < 0) return false;
            columns->push_back(c);
            continue;
        }
        int first = OneColumn(sheet, item.substr(0, colon), error);
        if (first < 0) return false;
        int last = OneColumn(sheet, item.substr(colon + 1), error);
        if (last < 0) return false;
        if (last < first) {
            *error = "the range \"" + item + "\" runs backwards";
            return false;
        }
        for (int c = first; c <= last; ++c)
            columns->push_back(c);
    }
    return true;
}

bool ResolveColumns(const Worksheet& sheet, const std::string& inputs, const std::string& outputs,
                    const std::string& mode, ColumnChoice* choice, std::string* error) {
    std::vector<int> modeList;
    if (!ColumnList(sheet, inputs, &choice->inputs, error)) {
        *error = "--inputs: " + *error;
        return false;
    }
    if (!ColumnList(sheet, outputs, &choice->outputs, error)) {
        *error = "--outputs: " + *error;
        return false;
    }
    if (!ColumnList(sheet, mode, &modeList, error)) {
        *error = "--mode: " + *error;
        return false;
    }
    if (modeList.size() > 1) {
        *error = "--mode names one column only";
        return false;
    }
    choice->mode = modeList.empty() ? -1 : modeList[0];

    std::vector<int> all = choice->inputs;
    all.insert(all.end(), choice->outputs.begin(), choice->outputs.end());
    if (choice->mode >= 0) all.push_back(choice->mode);
    for (size_t a = 0; a < all.size(); ++a)
        for (size_t b = a + 1; b < all.size(); ++b)
            if (all[a] == all[b]) {
                *error = "column " + ColumnLetters(all[a]) + " (" + sheet.names[all[a]] +
                         ") is chosen twice";
                return false;
            }
    return true;
}

bool ColumnsByName(const Worksheet& sheet, const std::vector<std::string>& names,
                   std::vector<int>* columns, std::string* error) {
    columns->clear();
    for (const std::string& name : names) {
        int c = NameIndex(sheet, name);
        if (c < 0) {
            *error = "the sheet has no column named \"" + name + "\"";
            return false;
        }
        columns->push_back(c);
    }
    return true;
}
