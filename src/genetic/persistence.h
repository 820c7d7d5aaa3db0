// The population's form in the worksheet: one column of cells.
#pragma once

#include <cstdint>

// Writes the 66-byte mask text of `mask` (count byte 64, 64 letters, a zero) into `text`.
void MaskToText(const uint8_t* mask, unsigned char* text);
// Reads a mask from the letters after the count byte of `text`, which holds at least 64 of them.
void TextToMask(const unsigned char* text, uint8_t* mask);
