#include "csv.h"
#include "worksheet.h"

#include <gtest/gtest.h>

namespace {

std::vector<CsvRecord> Parsed(const std::string& text) {
    std::vector<CsvRecord> records;
    std::string error;
    EXPECT_TRUE(ParseCsv(text, &records, &error)) << error;
    return records;
}

std::vector<std::string> Texts(const CsvRecord& r) {
    std::vector<std::string> t;
    for (const CsvField& f : r)
        t.push_back(f.text);
    return t;
}

TEST(Csv, QuotedFieldsKeepCommasQuotesAndLineBreaks) {
    auto records = Parsed("a,\"b,c\",\"say \"\"hi\"\"\",\"two\nlines\"\nx,y,z,w\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(Texts(records[0]),
              (std::vector<std::string>{"a", "b,c", "say \"hi\"", "two\nlines"}));
    EXPECT_TRUE(records[0][1].quoted);
    EXPECT_FALSE(records[0][0].quoted);
    EXPECT_EQ(Texts(records[1]), (std::vector<std::string>{"x", "y", "z", "w"}));
}

TEST(Csv, EmptyFieldsCrLfAndBlankLines) {
    auto records = Parsed("\xEF\xBB\xBFn1,n2\r\n,5\r\n\r\n7,\r\n  8 , \" 9 \"");
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(Texts(records[0]), (std::vector<std::string>{"n1", "n2"}));
    EXPECT_EQ(Texts(records[1]), (std::vector<std::string>{"", "5"}));
    EXPECT_EQ(Texts(records[2]), (std::vector<std::string>{""}));
    EXPECT_EQ(Texts(records[3]), (std::vector<std::string>{"7", ""}));
    // Blanks around an unquoted field go; inside quotes they stay.
    EXPECT_EQ(Texts(records[4]), (std::vector<std::string>{"8", " 9 "}));
}

TEST(Csv, MalformedQuotesAreReportedWithTheLine) {
    std::vector<CsvRecord> records;
    std::string error;
    EXPECT_FALSE(ParseCsv("a,b\n\"open,c\n", &records, &error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_FALSE(ParseCsv("\"a\"b,c\n", &records, &error));
    EXPECT_NE(error.find("after a closing quote"), std::string::npos) << error;
}

TEST(Csv, QuotingRoundTrips) {
    std::vector<std::string> fields = {"plain", "a,b", "q\"q", " lead", "", "x\ny"};
    auto records = Parsed(CsvLine(fields) + "\n");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(Texts(records[0]), fields);
    EXPECT_EQ(CsvQuote("plain"), "plain");
    // A first field that starts like a byte-order mark keeps it.
    const std::vector<std::string> marked = {"\xEF\xBB\xBFname", "b"};
    EXPECT_EQ(Texts(Parsed(CsvLine(marked) + "\n")[0]), marked);
}

TEST(Worksheet, CellKinds) {
    EXPECT_EQ(CellFromField("").kind, CellKind::Empty);
    EXPECT_EQ(CellFromField("-2.5e3").number, -2500.0);
    EXPECT_EQ(CellFromField("7").kind, CellKind::Number);
    for (const char* text : {"red", "0x10", "inf", "nan", "1,5", "1.2.3", "3 apples", "1e999"})
        EXPECT_EQ(CellFromField(text).kind, CellKind::Text) << text;
}

TEST(Worksheet, RaggedRowsAndTrailingEmptyRows) {
    auto records = Parsed("a,b,c\n1,2\n\n4,5,6,,\n,,\n\n");
    Worksheet sheet;
    std::string error;
    ASSERT_TRUE(BuildWorksheet(records, &sheet, &error)) << error;
    ASSERT_EQ(sheet.rowCount(), 3); // the empty rows at the end are dropped
    EXPECT_TRUE(sheet.at(0, 2).empty());
    EXPECT_TRUE(sheet.at(1, 0).empty()); // an inner empty row stays as a blank row
    EXPECT_EQ(sheet.at(2, 2).number, 6.0);

    records = Parsed("a,b\n1,2,3\n");
    EXPECT_FALSE(BuildWorksheet(records, &sheet, &error));
    EXPECT_NE(error.find("column C"), std::string::npos) << error;
    records = Parsed("a,,c\n");
    EXPECT_FALSE(BuildWorksheet(records, &sheet, &error));
    records.clear();
    EXPECT_FALSE(BuildWorksheet(records, &sheet, &error));
}

// A small file must not make the padding of short rows exhaust memory.
TEST(Worksheet, WideFirstRowsAreRefusedBeforeTheRowsArePadded) {
    auto header = [](size_t columns) {
        std::string text = "c0";
        for (size_t k = 1; k < columns; ++k)
            text += ",c" + std::to_string(k);
        return text + "\n";
    };
    const struct {
        std::string text;
        const char* message; // nullptr: accepted
    } cases[] = {
        {header(kMaxSheetColumns + 1) + "1\n", "at most 32767 are supported"},
        {header(kMaxSheetColumns) + "1\n", nullptr},
        {header(2000) + std::string(1000, '\n') + "1\n", "write the empty cells out"},
        {header(1000) + std::string(1000, '\n') + "1\n", nullptr},
    };
    for (const auto& c : cases) {
        std::vector<CsvRecord> records = Parsed(c.text);
        Worksheet sheet;
        std::string error;
        EXPECT_EQ(BuildWorksheet(records, &sheet, &error), c.message == nullptr) << error;
        if (c.message) {
            EXPECT_NE(error.find(c.message), std::string::npos) << error;
        }
    }
}

TEST(Worksheet, ColumnLetters) {
    const std::pair<int, const char*> cases[] = {{0, "A"},   {25, "Z"},  {26, "AA"},
                                                 {51, "AZ"}, {52, "BA"}, {701, "ZZ"}};
    for (auto [index, letters] : cases) {
        EXPECT_EQ(ColumnLetters(index), letters);
        EXPECT_EQ(ColumnIndexOfLetters(letters), index);
    }
    EXPECT_EQ(ColumnIndexOfLetters("ab"), 27);
    for (const char* bad : {"", "A1", "ABC", "-"})
        EXPECT_EQ(ColumnIndexOfLetters(bad), -1) << bad;
}

TEST(Worksheet, ExactNumbersReadBackExactly) {
    for (double v : {0.1, 1.0 / 3.0, -2.5e-300, 123456789.125, 0.0})
        EXPECT_EQ(CellFromField(ExactNumber(v)).number, v);
    EXPECT_EQ(ExactNumber(0.1), "0.1");
}

} // namespace
