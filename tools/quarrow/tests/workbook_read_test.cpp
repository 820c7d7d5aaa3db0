#include "workbook_pack.h"
#include "workbook_read.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kData = QUARROW_TEST_DATA;

// A sheet as rows of cells, the names row first: a text as itself, an empty cell as "", a
// number as "=" and the shortest digits that read back to the same bits.
using Rows = std::vector<std::vector<std::string>>;
std::string N(double v) {
    return "=" + ExactNumber(v);
}
const std::string E;

Rows Shown(const Worksheet& sheet) {
    Rows rows = {sheet.names};
    for (const auto& row : sheet.rows) {
        rows.emplace_back();
        for (const Cell& c : row)
            rows.back().push_back(c.kind == CellKind::Number ? N(c.number) : c.text);
    }
    return rows;
}

Rows Load(const std::string& path, const std::string& sheetName) {
    Worksheet sheet;
    std::string error;
    EXPECT_TRUE(LoadSheetFile(path, sheetName, &sheet, &error)) << error;
    return Shown(sheet);
}

// Numbers are read as the file stores them (here with 16 digits), not as they were first typed.
TEST(WorkbookRead, CellsWrittenByAnotherLibraryKeepTheirTypes) {
    EXPECT_EQ(Load(kData + "/openpyxl.xlsx", "data SET"),
              (Rows{{"Num", "Word", "Flag", "Err", "Date", "Gap"},
                    {N(0.1), "alpha", "TRUE", "#N/A", N(43832), E},
                    {N(-2.5e-300), E, "FALSE", "#DIV/0!", E, N(7)},
                    {N(1.234567890123457e+17), "12", E, "#VALUE!", E, E},
                    {E, E, E, E, E, E},
                    {N(1.5e308), "beta", "TRUE", E, E, N(-0.0)}}));
    EXPECT_EQ(Load(kData + "/openpyxl.xlsx", ""), (Rows{{"Note"}, {"only words here"}}));
}

// Prefixed element names, a workbook and sheets outside the usual folders, shared strings with
// rich-text runs, references left out, rows out of order, formulas, far empty styled cells.
TEST(WorkbookRead, HandWrittenPackageIsPlacedCellByCell) {
    EXPECT_EQ(Load(kData + "/hand.xlsx", ""),
              (Rows{{"Name", "Value", "A & B"},
                    {"rich text", N(2), "x"},
                    {E, E, E},
                    {E, "inline", E},
                    {E, E, N(3.25)},
                    {N(1.7976931348623157e308), N(4.9406564584124654e-324), E}}));
    EXPECT_EQ(Load(kData + "/hand.xlsx", "Hidden"), (Rows{{"secret"}}));
    const std::string csv = testing::TempDir() + "pk_names.csv"; // starts like a zip, is CSV
    std::ofstream(csv) << "PKey,Value\nk1,2\n";
    EXPECT_EQ(Load(csv, ""), (Rows{{"PKey", "Value"}, {"k1", N(2)}}));
}

TEST(WorkbookRead, BrokenOrOversizedFilesAreRefusedWithAReason) {
    struct Case {
        const char* file;
        const char* sheetName;
        const char* message;
    } cases[] = {
        {"not_a_zip.xlsx", "", "not a zip archive"},
        {"encrypted.xlsx", "", "password-protected"},
        {"truncated.xlsx", "", "damaged (its zip directory is missing: the file may be cut short)"},
        {"damaged.xlsx", "", "the workbook is damaged ("},
        {"hand.xlsx", "Nope", "no sheet \"Nope\"; its sheets are \"Hidden\", \"Chart\", \"Hand\""},
        {"hand.xlsx", "chart", "sheet \"Chart\" is not a worksheet (chartsheet)"},
        {"far_cell.xlsx", "", "cell XFD1048576 lies past column ZZ"},
        {"too_many_rows.xlsx", "", "cell A40000 lies past row 32001"},
        {"sparse.xlsx", "", "too sparse: 3000 rows by 702 named columns hold only 703 values"},
        {"make_workbooks.py", "Data", "is a CSV file, which has no sheets"},
    };
    for (const Case& c : cases) {
        Worksheet sheet;
        sheet.names = {"stale"};
        std::string error;
        EXPECT_FALSE(LoadSheetFile(kData + "/" + c.file, c.sheetName, &sheet, &error)) << c.file;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.file << ": " << error;
        EXPECT_EQ(error.rfind(kData + "/" + c.file, 0), 0u) << error;
        EXPECT_TRUE(sheet.names.empty()) << c.file;
    }
}

// One value cell under a names row, and what becomes of it: its text, or the reader's message.
TEST(WorkbookRead, EachCellValueIsDecodedOrRefusedByName) {
    const struct {
        const char* cell;
        const char* text;
        const char* message;
    } cases[] = {
        {"<c r='A2' t='inlineStr'><is><t>a_x000A_b_x005F_x0041_</t></is></c>", "a\nb_x0041_", ""},
        {"<c r='A2' t='inlineStr'><v>in v</v></c>", "in v", ""},
        {"<c r='A2' t='s'><v>1</v></c>", "bc", ""},
        {"<c r='A2' t='str'><f>A1</f><v>N</v></c>", "N", ""},
        {"<c r='A2' t='d'><v>2020-01-02T00:00:00</v></c>", "2020-01-02T00:00:00", ""},
        {"<c r='A2' t='inlineStr'><is><t>x</t><rPh><t>y</t></rPh></is></c>", "x", ""},
        {"<c r='A2'><v>abc</v></c>", "", "cell A2 holds \"abc\" where a number belongs"},
        {"<c r='A2'><v>1e999</v></c>", "", "cell A2 holds 1e999, which is too large for a double"},
        {"<c r='A2' t='s'><v>3</v></c>", "", "cell A2 refers to shared string 3, which"},
        {"<c r='A2' t='b'><v>2</v></c>", "", "cell A2 holds \"2\" where a boolean belongs"},
        {"<c r='A2' t='q'><v>1</v></c>", "", "cell A2 has the unknown type \"q\""},
        {"<c r='A0'><v>1</v></c>", "", "damaged (a cell named \"A0\")"},
        {"<c r='B2'><v>1</v></c>", "", "row 2 has a value in column B, which has no name"},
        {"<c r='A2'><v>1</v>", "", "the sheet is damaged (mismatched tag on line 1)"},
    };
    for (const auto& c : cases) {
        const std::string xml = std::string("<worksheet><sheetData><row r='1'><c t='inlineStr'>"
                                            "<is><t>Name</t></is></c></row><row r='2'>") +
                                c.cell + "</row></sheetData></worksheet>";
        Worksheet sheet;
        std::string error;
        const bool ok = ReadWorkbookSheet(WorkbookAround(xml), "", &sheet, &error);
        EXPECT_EQ(ok, *c.message == 0) << c.cell << ": " << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.cell << ": " << error;
        if (ok) {
            EXPECT_EQ(Shown(sheet), (Rows{{"Name"}, {c.text}}));
        }
    }
    // A document type could declare entities that expand without end.
    Worksheet sheet;
    std::string error;
    EXPECT_FALSE(ReadWorkbookSheet(
        WorkbookAround("<!DOCTYPE w [<!ENTITY e 'x'>]><worksheet>&e;</worksheet>"), "", &sheet,
        &error));
    EXPECT_NE(error.find("declares a document type"), std::string::npos) << error;
}

// Two megabytes of blanks unpack from four kilobytes; a few kilobytes of shared strings parse
// into a tree of megabytes; the grid is bounded whatever the values.
TEST(WorkbookRead, UnpackingParsingAndTheGridStopAtTheirLimits) {
    WorkbookLimits unpacked, tree, cells;
    unpacked.maxUnpackedBytes = 1 << 20;
    tree.maxTreeBytes = 1 << 20;
    cells.maxCells = 17;
    const struct {
        const char* file;
        const WorkbookLimits& limits;
        const char* message;
    } cases[] = {
        {"bomb.xlsx", unpacked, "sheets/hand.xml is too large once unpacked"},
        {"many_strings.xlsx", tree, "book/strings.xml holds too many elements to read"},
        {"hand.xlsx", cells, "too large: more than 17 cells"},
    };
    for (const auto& c : cases) {
        std::ifstream in(kData + "/" + c.file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        Worksheet sheet;
        std::string error;
        EXPECT_FALSE(ReadWorkbookSheet(bytes, "", &sheet, &error, c.limits));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

} // namespace
