// Reading a fuzzer's bytes as the values a spreadsheet hands to the library: small integers,
// doubles, texts and XLOPER columns whose pointers are all valid for what they claim.
#pragma once

#include "quar1432.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    uint8_t Byte();                     // 0 once the input is used up
    int Int(int lo, int hi);            // lo .. hi
    double Double();                    // any bit pattern, or a small round value
    double Share();                     // 0 .. 1 in steps of 1/255
    std::string Text(size_t maxLength); // bytes, or a word the library knows

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// Cells and the strings they point at, kept alive for one fuzz input.
class CellArena {
  public:
    XLOPER Number(double v);
    XLOPER String(const std::string& text); // byte-counted, at most 255 characters
    XLOPER Cell(FuzzInput& in);             // any cell type, valid pointers
    // A multi of `rows` x `columns` cells drawn from the input.
    XLOPER* Column(FuzzInput& in, int rows, int columns = 1);
    // A multi over cells given here.
    XLOPER* Multi(std::vector<XLOPER> cells, int rows, int columns = 1);

  private:
    std::vector<std::unique_ptr<unsigned char[]>> strings_;
    std::vector<std::unique_ptr<XLOPER[]>> arrays_;
    std::vector<std::unique_ptr<XLOPER>> records_;
};

// A copy of the population UnloadPop hands out, with some cells changed and perhaps fewer or
// more rows; strings are copied, so the column never points into the library's storage.
XLOPER* ChangedPopulation(FuzzInput& in, CellArena& arena);

// The text of an XLOPER string result, touching every byte it claims.
std::string ReadResultText(const XLOPER* x);
// Reads every cell of a multi result (and the strings its cells point at).
void TouchResult(const XLOPER* x);
// Fails the run when a library call left blocks behind after CleanUp.
void ExpectNoBlocksLeft();
