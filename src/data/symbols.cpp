#include "data/symbols.h"

#include "data/counted_text.h"
#include "engine/network_state.h"
#include "platform/locked_block.h"
#include "platform/platform.h"

#include <cmath>

namespace {

constexpr CountedText kOutOfRangeText("Value out of range");

const char kOk[] = "OK";
const char kInvalidColumnType[] = "Invalid column type";
const char kSymbolsBeforeInit[] = "Can't set symbols before Init";
const char kIncorrectIndex[] = "Incorrect index";
const char kMissingSymbol[] = "Missing Symbol";
const char kNoMemoryForSymbols[] = "Insufficient memory for symbols.";

// The mode words in code order, as table entries, then the end mark.
constexpr unsigned char kModeWords[7][kSymbolEntryBytes] = {{5, 'T', 'R', 'A', 'I', 'N'},
                                                            {4, 'T', 'E', 'S', 'T'},
                                                            {3, 'M', 'I', 'N'},
                                                            {3, 'M', 'A', 'X'},
                                                            {6, 'S', 'Y', 'M', 'B', 'O', 'L'},
                                                            {4, 'S', 'K', 'I', 'P'},
                                                            {0}};

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

// The handle slot of column `index` of type 0 (inputs) or 1 (outputs), or nullptr.
BlockHandle* TableSlot(int32_t type, int32_t index) {
    BlockHandle* slots = nullptr;
    int32_t count = 0;
    if (type == COLUMN_INPUT) {
        if (gNet.inputSymbolTables == nullptr) return nullptr;
        slots = gNet.inputSymbolHandles;
        count = gNet.inputSymbolTableCount;
    } else if (type == COLUMN_OUTPUT) {
        if (gNet.outputSymbolTables == nullptr) return nullptr;
        slots = gNet.outputSymbolHandles;
        count = gNet.outputSymbolTableCount;
    }
    if (slots == nullptr || index < 0 || index >= count) return nullptr;
    return slots + index;
}

// The entries of a column's table; tables stay locked while they exist, because cells handed
// to the worksheet point at their entries.
const unsigned char* TableOf(int32_t type, int32_t index) {
    BlockHandle* slot = TableSlot(type, index);
    if (slot == nullptr || *slot == nullptr) return nullptr;
    void* entries = GlobalBlockLock(*slot);
    GlobalBlockUnlock(*slot);
    return static_cast<const unsigned char*>(entries);
}

void FreeTable(BlockHandle* slot) {
    if (*slot == nullptr) return;
    GlobalBlockUnlock(*slot);
    GlobalBlockFree(*slot);
    *slot = nullptr;
}

} // namespace

const unsigned char* const kValueOutOfRange = kOutOfRangeText.bytes;

int32_t CountListItems(const char* text) {
    if (text == nullptr) return 0;
    int32_t items = 1;
    for (const char* c = text; *c != '\0'; ++c)
        if (*c == ',') ++items;
    return items;
}

const char* SetColumnSymbols(int32_t type, int32_t index, char* text) {
    if (type != COLUMN_INPUT && type != COLUMN_OUTPUT) return kInvalidColumnType;
    BlockHandle tables = type == COLUMN_INPUT ? gNet.inputSymbolTables : gNet.outputSymbolTables;
    if (tables == nullptr) return kSymbolsBeforeInit;
    BlockHandle* slot = TableSlot(type, index);
    if (slot == nullptr) return kIncorrectIndex;
    FreeTable(slot);

    int32_t items = CountListItems(text);
    if (items == 0) return kOk;
    BlockHandle table = GlobalBlockAlloc(size_t(items + 1) * kSymbolEntryBytes);
    if (table == nullptr) return kNoMemoryForSymbols;
    unsigned char* entries = static_cast<unsigned char*>(GlobalBlockLock(table));
    *slot = table;

    for (char* c = text; *c != '\0'; ++c)
        *c = static_cast<char>(UpperChar(static_cast<unsigned char>(*c)));

    unsigned char* entry = entries;
    const char* c = text;
    while (*c != '\0') {
        while (*c == ',')
            ++c;
        if (*c == '\0') break;
        const char* end = c;
        while (*end != '\0' && *end != ',')
            ++end;
        while (c < end && IsBlankOrTab(*c))
            ++c;
        if (c == end) return kMissingSymbol;
        int32_t length = int32_t(end - c);
        if (length > kSymbolMaxLength) length = kSymbolMaxLength;
        entry[0] = static_cast<unsigned char>(length);
        for (int32_t k = 0; k < length; ++k)
            entry[1 + k] = static_cast<unsigned char>(c[k]);
        entry += kSymbolEntryBytes;
        c = end;
    }
    return kOk;
}

bool SymbolMatches(const unsigned char* cellText, const unsigned char* entry) {
    if (cellText == nullptr || entry == nullptr) return false;
    int32_t length = cellText[0];
    if (length != entry[0]) return false;
    for (int32_t k = 1; k <= length; ++k)
        if (UpperChar(cellText[k]) != entry[k]) return false;
    return true;
}

double SymbolValue(int32_t type, int32_t index, const unsigned char* cellText) {
    const unsigned char* entry = nullptr;
    double value = 0.5;
    if (type == COLUMN_INPUT || type == COLUMN_OUTPUT) {
        entry = TableOf(type, index);
    } else if (type == COLUMN_MODE_FLAG) {
        entry = kModeWords[0];
        value = 0.0;
    }
    if (entry == nullptr) return 0.0;
    for (; entry[0] != 0; entry += kSymbolEntryBytes, value += 1.0)
        if (SymbolMatches(cellText, entry)) return value;
    return 0.0;
}

int32_t ModeWordCode(const unsigned char* cellText) {
    for (int32_t code = 0; kModeWords[code][0] != 0; ++code)
        if (SymbolMatches(cellText, kModeWords[code])) return code;
    return -1;
}

const unsigned char* SymbolAt(int32_t column, double value) {
    const unsigned char* entry = TableOf(COLUMN_OUTPUT, column);
    if (entry == nullptr) return nullptr;
    double n = std::trunc(value);
    if (!(n >= 0.0)) return kValueOutOfRange;
    for (double k = 0.0; k < n && entry[0] != 0; k += 1.0)
        entry += kSymbolEntryBytes;
    return entry[0] != 0 ? entry : kValueOutOfRange;
}
