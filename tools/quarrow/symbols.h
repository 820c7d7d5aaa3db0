// Symbolic columns: the symbol lists that quarrow hands over in a SYMBOL row, and the value a
// cell text stands for, worked out the same way the library works them out.
#pragma once

#include <string>
#include <vector>

constexpr size_t kMaxSymbolLength = 15;
constexpr size_t kMaxSymbolListLength = 255;

std::string UpperText(const std::string& text);

// The symbols a list text stands for: upper case, split at commas (runs of commas are one
// separator), leading blanks and tabs skipped, at most 15 characters kept. False with a message
// for an empty item.
bool SymbolsOfList(const std::string& list, std::vector<std::string>* symbols, std::string* error);

// Checks that a cell text can stand as a symbol of its own and be matched again.
bool CheckSymbolText(const std::string& text, std::string* error);

// The list text for the symbols, joined by commas.
std::string SymbolList(const std::vector<std::string>& symbols);

// The position of a cell text among the symbols (case ignored), or -1.
int SymbolIndex(const std::vector<std::string>& symbols, const std::string& text);
