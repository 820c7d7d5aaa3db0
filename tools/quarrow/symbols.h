// Symbolic columns: the symbol lists that quarrow hands over in a SYMBOL row, and the value a
// cell text stands for, worked out the same way the library works them out.
#pragma once

#include <string>
#include <vector>

constexpr size_t kMaxSymbolLength = 15;
constexpr size_t kMaxSymbolListLength = 255;

std::string UpperText(const std::string& text);

// Symbols keep the letter case the user wrote; the library and every comparison ignore it.

// The symbols a list text stands for: split at commas (runs of commas are one
// separator), leading blanks and tabs skipped, at most 15 characters kept. False with a message
// for an empty item.
bool SymbolsOfList(const std::string& list, std::vector<std::string>* symbols, std::string* error);

// Checks that a cell text can stand as a symbol of its own and be matched again.
bool CheckSymbolText(const std::string& text, std::string* error);

// The list text for the symbols, joined by commas.
std::string SymbolList(const std::vector<std::string>& symbols);

// The position of a cell text among the symbols (case ignored), or -1.
int SymbolIndex(const std::vector<std::string>& symbols, const std::string& text);

// The order classes get when nobody chose one: numbers by value first, then texts
// alphabetically with case ignored.
void SortSymbols(std::vector<std::string>* symbols);
