// Text in and out of the host: CSV fields, worksheet cells, UTF-8 mending.
#include "csv.h"
#include "text_utf8.h"
#include "worksheet.h"

#include <gtest/gtest.h>

namespace {

using Texts = std::vector<std::vector<std::string>>;

// Each text parsed to its records' field texts, or refused with the line named.
TEST(Csv, FieldsQuotesLineEndsAndMistakes) {
    const struct {
        std::string text;
        Texts records;
        const char* message; // "": accepted
    } cases[] = {
        {"a,\"b,c\",\"say \"\"hi\"\"\",\"two\nlines\"\nx,y\n",
         {{"a", "b,c", "say \"hi\"", "two\nlines"}, {"x", "y"}},
         ""},
        // A byte-order mark goes; blanks around an unquoted field go, inside quotes they stay.
        {"\xEF\xBB\xBFn1,n2\r\n,5\r\n\r\n7,\r\n  8 , \" 9 \"",
         {{"n1", "n2"}, {"", "5"}, {""}, {"7", ""}, {"8", " 9 "}},
         ""},
        // What the writer quotes reads back as it was; a first field that starts like a
        // byte-order mark keeps it.
        {CsvLine({"\xEF\xBB\xBFname", "a,b", "q\"q", " lead", "", "x\ny"}),
         {{"\xEF\xBB\xBFname", "a,b", "q\"q", " lead", "", "x\ny"}},
         ""},
        {"a,b\n\"open,c\n", {}, "line 2: unterminated quote"},
        {"\"a\"b,c\n", {}, "line 1: text after a closing quote"},
    };
    for (const auto& c : cases) {
        std::vector<CsvRecord> records;
        std::string error;
        EXPECT_EQ(ParseCsv(c.text, &records, &error), *c.message == 0) << c.text;
        EXPECT_EQ(error, c.message);
        Texts texts;
        for (const CsvRecord& r : records) {
            texts.emplace_back();
            for (const CsvField& f : r)
                texts.back().push_back(f.text);
        }
        if (*c.message == 0) {
            EXPECT_EQ(texts, c.records);
        }
    }
}

TEST(Worksheet, CellKindsExactNumbersAndColumnLetters) {
    EXPECT_EQ(CellFromField("").kind, CellKind::Empty);
    for (const char* text : {"red", "0x10", "inf", "nan", "1,5", "1.2.3", "3 apples", "1e999"})
        EXPECT_EQ(CellFromField(text).kind, CellKind::Text) << text;
    for (double v : {0.1, 1.0 / 3.0, -2.5e-300, 123456789.125, 0.0})
        EXPECT_EQ(CellFromField(ExactNumber(v)).number, v);
    EXPECT_EQ(ExactNumber(0.1), "0.1");
    EXPECT_EQ(ColumnLetters(701), "ZZ");
    for (int index : {0, 25, 26, 701})
        EXPECT_EQ(ColumnIndexOfLetters(ColumnLetters(index)), index);
    for (const char* bad : {"", "A1", "ABC", "-"})
        EXPECT_EQ(ColumnIndexOfLetters(bad), -1) << bad;
}

// Ragged rows are padded and empty rows at the end dropped; a small file must not make the
// padding of short rows exhaust memory.
TEST(Worksheet, RowsArePaddedWithinBounds) {
    auto header = [](size_t columns) {
        std::string text = "c0";
        for (size_t k = 1; k < columns; ++k)
            text += ",c" + std::to_string(k);
        return text + "\n";
    };
    const struct {
        std::string text;
        int rows;            // the sheet's rows when accepted
        const char* message; // "": accepted
    } cases[] = {
        {"a,b,c\n1,2\n\n4,5,6,,\n,,\n\n", 3, ""},
        {"a,b\n1,2,3\n", 0, "row 2 has a value in column C, which has no name"},
        {"a,,c\n", 0, "column B has no name in the first row"},
        {"", 0, "the file is empty: the first row must name the columns"},
        {header(kMaxSheetColumns + 1) + "1\n", 0, "at most 32767 are supported"},
        {header(kMaxSheetColumns) + "1\n", 1, ""},
        {header(2000) + std::string(1000, '\n') + "1\n", 0, "write the empty cells out"},
        {header(1000) + std::string(1000, '\n') + "1\n", 1001, ""},
    };
    for (const auto& c : cases) {
        std::vector<CsvRecord> records;
        Worksheet sheet;
        std::string error;
        ASSERT_TRUE(ParseCsv(c.text, &records, &error)) << error;
        EXPECT_EQ(BuildWorksheet(records, &sheet, &error), *c.message == 0) << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_EQ(sheet.rowCount(), c.rows); // a refused sheet holds nothing
        if (c.rows == 3) {
            EXPECT_TRUE(sheet.at(1, 0).empty()); // an inner empty row stays as a blank row
            EXPECT_EQ(sheet.at(2, 2).number, 6.0);
        }
    }
}

// Well-formed UTF-8 passes unchanged; every other byte is read as Windows-1252; what no XML
// file may hold becomes U+FFFD.
TEST(Utf8Text, MendsWhatIsNotUtf8) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain \t\r\n", "plain \t\r\n"},
        {"caf\xc3\xa9 \xf0\x9f\x8c\xb3", "caf\xc3\xa9 \xf0\x9f\x8c\xb3"}, // 2- and 4-byte forms
        {"caf\xe9", "caf\xc3\xa9"},                                       // Latin-1 byte
        {"\x80", "\xe2\x82\xac"},                                         // euro sign
        {"\x81", "\xc2\x81"},                                             // unassigned: kept as is
        {"\xc0\xaf", "\xc3\x80\xc2\xaf"},                 // overlong slash: two characters
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xe2\x82\xac"}, // a surrogate is no character
        {"\xe2\x82", "\xc3\xa2\xe2\x80\x9a"},             // cut short at the end
        {std::string("a\0b\x1f", 4), "a\xef\xbf\xbd"
                                     "b\xef\xbf\xbd"},
        {"\xef\xbf\xbf", "\xef\xbf\xbd"}, // U+FFFF
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8Text(c.in), c.out) << c.in;
    EXPECT_EQ(XmlEscape("<a href='x'>&\"</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;&lt;/a&gt;");
}

} // namespace
