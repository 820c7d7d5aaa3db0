#include "column_lists.h"

#include "quar1432.h"

#include <algorithm>

namespace {

int NameIndex(const Worksheet& sheet, const std::string& name) {
    for (int c = 0; c < sheet.columnCount(); ++c)
        if (sheet.names[c] == name) return c;
    return -1;
}

bool AllNames(const Worksheet& sheet, const std::string& list) {
    std::vector<std::string> items = SplitList(list);
    if (items.empty()) return false;
    for (const std::string& item : items)
        if (NameIndex(sheet, item) < 0) return false;
    return true;
}

std::vector<int> ByName(const Worksheet& sheet, const std::string& list) {
    std::vector<int> columns;
    for (const std::string& item : SplitList(list))
        columns.push_back(NameIndex(sheet, item));
    return columns;
}

bool Blank(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t'; });
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

bool ResolveColumns(const Worksheet& sheet, const std::string& inputs, const std::string& outputs,
                    const std::string& mode, ColumnChoice* choice, std::string* error) {
    const std::string* lists[3] = {&inputs, &outputs, &mode};
    const char* flags[3] = {"--inputs", "--outputs", "--mode"};
    bool named[3];
    std::string letterLists[3];
    for (int k = 0; k < 3; ++k) {
        named[k] = AllNames(sheet, *lists[k]);
        if (!named[k]) letterLists[k] = *lists[k];
        if (letterLists[k].size() > 255) {
            *error = std::string(flags[k]) + ": the list is too long";
            return false;
        }
    }
    FP* counts = Parse(letterLists[0].c_str(), letterLists[1].c_str(), "", letterLists[2].c_str());
    if (counts == nullptr) {
        *error = "the column lists could not be checked";
        return false;
    }
    if (counts->array[0] < 0.0) {
        int list = static_cast<int>(counts->array[1]);
        int k = list == 4 ? 2 : list - 1;
        if (k < 0 || k > 2) k = 0;
        *error = std::string(flags[k]) + " \"" + *lists[k] +
                 "\": not a list of column names or spreadsheet letters" +
                 (k == 2 ? " (one column only)" : "");
        return false;
    }
    std::vector<int> fromLetters[4];
    for (int list = 0; list < 4; ++list) {
        int n = static_cast<int>(counts->array[list]);
        for (int i = 0; i < n; ++i) {
            std::string letters = GetParsed();
            int column = ColumnIndexOfLetters(letters);
            if (column < 0 || column >= sheet.columnCount()) {
                *error = "column " + letters + " is past the last column of the sheet (" +
                         ColumnLetters(sheet.columnCount() - 1) + ")";
                return false;
            }
            fromLetters[list].push_back(column);
        }
    }
    choice->inputs = named[0] ? ByName(sheet, inputs) : fromLetters[0];
    choice->outputs = named[1] ? ByName(sheet, outputs) : fromLetters[1];
    std::vector<int> modeList = named[2] ? ByName(sheet, mode) : fromLetters[3];
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
