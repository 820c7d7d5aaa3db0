// A worksheet built from CSV text, for the host's tests.
#pragma once

#include "csv.h"
#include "worksheet.h"

#include <gtest/gtest.h>

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
