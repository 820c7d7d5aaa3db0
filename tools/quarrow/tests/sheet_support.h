// A worksheet built from CSV text and a scratch folder, for the host's tests.
#pragma once

#include "csv.h"
#include "worksheet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

inline Worksheet Sheet(const std::string& text) {
    std::vector<CsvRecord> records;
    Worksheet sheet;
    std::string error;
    EXPECT_TRUE(ParseCsv(text, &records, &error)) << error;
    EXPECT_TRUE(BuildWorksheet(records, &sheet, &error)) << error;
    return sheet;
}

// A fresh folder of its own, as other builds may run the same tests at the same time.
inline std::filesystem::path Scratch(const char* name) {
    std::string pattern = (std::filesystem::path(::testing::TempDir()) / name).string() + "_XXXXXX";
    EXPECT_NE(mkdtemp(pattern.data()), nullptr) << pattern;
    return pattern;
}
