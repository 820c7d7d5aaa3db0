// Symbol tables: a symbolic column's list of symbols, the translation of cell texts into
// numbers and of output values back into symbols, and the built-in table of mode words.
#pragma once

#include <cstdint>

// One table entry: a count byte (1 ... 15, 0 ends the table) and up to 15 upper-case
// characters, zero-filled. An entry is itself a byte-counted text.
constexpr int32_t kSymbolEntryBytes = 16;
constexpr int32_t kSymbolMaxLength = 15;

// "Value out of range" as a counted text.
extern const unsigned char* const kValueOutOfRange;

// 0 for no text, otherwise 1 + the commas in it.
int32_t CountListItems(const char* text);
// Replaces the table of input (type 0) or output (type 1) column `index` with the symbols of
// `text` (upper-cased in place); a null text makes the column numeric.
const char* SetColumnSymbols(int32_t type, int32_t index, char* text);
// The value a counted cell text stands for: symbol k of an input/output column is k + 0.5,
// mode word k of a mode flag column (type 2) is k; anything unknown is 0.0.
double SymbolValue(int32_t type, int32_t index, const unsigned char* cellText);
// Whether a counted cell text, upper-cased character by character, equals a table entry.
bool SymbolMatches(const unsigned char* cellText, const unsigned char* entry);
// The entry of output column `column` whose unit band holds `value`, kValueOutOfRange, or
// nullptr when the column is numeric.
const unsigned char* SymbolAt(int32_t column, double value);
// The mode code (0 ... 5) of a counted text that is exactly a mode word, else -1.
int32_t ModeWordCode(const unsigned char* cellText);

// Marks output column `column`'s table as pointed at by the translated output cells just
// written (and frees a table those cells pointed at before); a table replaced while it is lent
// stays allocated until the next LendOutputTable or until the network is released.
void LendOutputTable(int32_t column);
