// Test fixtures: every test starts from a freshly loaded library.
#pragma once

#include "quar1432.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The library as freshly loaded: ResetLibrary().
void FreshLibrary();

class LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override { FreshLibrary(); }
    void TearDown() override { FreshLibrary(); }
};

// An FP record owned by the test, rows x columns, filled row by row.
class OwnedFp {
  public:
    OwnedFp(uint16_t rows, uint16_t columns, const std::vector<double>& values = {});
    FP* get() { return reinterpret_cast<FP*>(storage_.get()); }
    double& at(size_t k) { return get()->array[k]; }

  private:
    std::unique_ptr<double[]> storage_;
};

// A one-column FP of the given values.
OwnedFp Column(const std::vector<double>& values);

// XLOPER cells owned by the test, and a multi over them.
class OwnedCells {
  public:
    explicit OwnedCells(size_t rows, size_t columns = 1);
    XLOPER& cell(size_t k) { return cells_[k]; }
    void SetNumber(size_t k, double v);
    void SetString(size_t k, const std::string& text); // byte-counted copy kept here
    void SetBool(size_t k, bool v);
    void SetError(size_t k, uint16_t code);
    void SetNil(size_t k);
    XLOPER* multi();                  // xltypeMulti over all cells
    std::string Text(size_t k) const; // the string cell's characters

  private:
    XLOPER& Put(size_t k, uint16_t type); // a cleared cell of the type
    size_t rows_, columns_;
    std::vector<XLOPER> cells_;
    std::vector<std::unique_ptr<unsigned char[]>> strings_;
    XLOPER multi_{};
};

// A copy of a one-column answer (numbers and texts), to hand back as the caller's own cells.
OwnedCells CopyOf(const XLOPER* column);

// The characters of a byte-counted string, and of an answer that should be a text.
std::string CountedText(const unsigned char* counted);
std::string AnswerText(const XLOPER* answer);
