// Texts for files that must be UTF-8 (workbooks, web pages). Sheets written by older
// spreadsheet programs often carry Windows-1252 bytes; those are kept as the characters they
// stood for rather than making the whole file unreadable.
#pragma once

#include <string>

// The text with every valid UTF-8 sequence kept and every other byte read as Windows-1252.
// Characters no XML file may hold (controls other than tab, line feed and carriage return,
// U+FFFE, U+FFFF) become U+FFFD.
std::string Utf8Text(const std::string& text);

// Utf8Text with &, <, >, " and ' written as references: safe as XML or HTML text and
// attribute values.
std::string XmlEscape(const std::string& text);
