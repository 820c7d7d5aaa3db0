// The results workbook read back by a reader written elsewhere (Python's openpyxl).
#include "figures_support.h"
#include "workbook_write.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";

// Prints each filled cell ("Data!A1", type, value), each chart ("chart0", sheet, kind, series)
// and each sheet's count of conditional formats.
constexpr const char* kDump = R"(import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
print("sheets\t" + ",".join(wb.sheetnames))
charts = 0
for ws in wb.worksheets:
    for row in ws.iter_rows():
        for c in row:
            if c.value is None: continue
            text = repr(c.value) if c.data_type == "n" else str(c.value)
            print("%s!%s\t%s %s" % (ws.title, c.coordinate, c.data_type, text.replace("\n", "\\n")))
    for ch in ws._charts:
        refs = [(s.val if s.val is not None else s.yVal).numRef.f for s in ch.series]
        print("chart%d\t%s %s %s" % (charts, ws.title, type(ch).__name__, " ".join(refs)))
        charts += 1
    print("cf!%s\t%d" % (ws.title, len(list(ws.conditional_formatting))))
)";

bool HasOpenpyxl() {
    return std::system((std::string(kPython) + " -c 'import openpyxl' 2>/dev/null").c_str()) == 0;
}

std::map<std::string, std::string> ReadBack(const fs::path& book) {
    const fs::path script = book.parent_path() / "dump.py", dump = book.parent_path() / "dump.txt";
    std::ofstream(script) << kDump;
    const std::string command = std::string(kPython) + " '" + script.string() + "' '" +
                                book.string() + "' > '" + dump.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::map<std::string, std::string> d;
    std::ifstream lines(dump);
    for (std::string line; std::getline(lines, line);) {
        const size_t tab = line.find('\t');
        d[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return d;
}

TEST(ResultsWorkbook, ReadsBackInAnotherReader) {
    if (!HasOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is not installed";
    fs::path book = Scratch("book_read_back") / "results.xlsx";
    std::string error;
    ASSERT_TRUE(WriteResultsWorkbook(book.string(), SampleSheet(), SampleRun(), &error)) << error;
    std::map<std::string, std::string> d = ReadBack(book);
    EXPECT_EQ(d["sheets"], "Data,Figures,Curves,Points");

    // The sheet as it came (a leading "=" is no formula, a Windows-1252 byte its character),
    // beside it the predictions, modes and flags; a curve's missing value is "not available".
    const std::pair<const char*, const char*> expected[] = {
        {"Data!A3", "n -2.25e-07"},
        {"Data!B3", "s =1+1"},
        {"Data!B4", "s caf\u00e9"},
        {"Data!F1", "s <b>&\"y\" predicted"},
        {"Data!F3", "n 2.5"},
        {"Data!G5", "s pine"},
        {"Data!H4", "s TEST"},
        {"Data!I4", "b True"},
        {"Data!I5", "b False"},
        {"Curves!A5", "n 35"},
        {"Curves!B4", "f =NA()"},
        {"Curves!C4", "n 0.2"},
        {"Points!A2", "n 1.5"},
        {"Points!D2", "n -6.5"},
        {"cf!Figures", "2"},
        {"chart0", "Figures LineChart Curves!$B$2:$B$5 Curves!$C$2:$C$5"},
        {"chart2", "Figures ScatterChart Points!$B$2:$B$3 Points!$D$2"},
    };
    for (const auto& [at, want] : expected)
        EXPECT_EQ(d[at], want) << at;
    EXPECT_EQ(d["chart1"].rfind("Figures BarChart Figures!$D$", 0), 0u) << d["chart1"];
    EXPECT_EQ(d["chart3"].rfind("Figures BarChart Figures!$B$", 0), 0u) << d["chart3"];
    EXPECT_EQ(std::count(d["chart3"].begin(), d["chart3"].end(), ' '), 3) << "a series per class";

    // Settings read as numbers where they are.
    auto holding = [&](const std::string& value) {
        for (const auto& [at, cell] : d)
            if (at.rfind("Figures!", 0) == 0 && cell == value) return at.substr(8);
        return std::string();
    };
    EXPECT_EQ(d["Figures!B" + holding("s rate").substr(1)], "n 0.3"); // beside its name in A
    for (const char* text :
         {"s Confusion: kind (test rows)", "s validation patience", "s x,colour"})
        EXPECT_NE(holding(text), "") << text;
}

// An empty record still makes a workbook; one that cannot be completed leaves the earlier file
// and no temporary behind.
TEST(ResultsWorkbook, WholeOrNotAtAll) {
    fs::path dir = Scratch("book_atomic");
    fs::path book = dir / "results.xlsx";
    std::string error;
    ASSERT_TRUE(WriteResultsWorkbook(book.string(), Worksheet{}, RunFigures{}, &error)) << error;
    std::ofstream(book) << "earlier";
    RunFigures run = SampleRun();
    run.warnings.push_back(std::string(40000, 'w')); // more than a cell holds
    EXPECT_FALSE(WriteResultsWorkbook(book.string(), SampleSheet(), run, &error));
    EXPECT_NE(error.find("Figures!A"), std::string::npos) << error;
    std::ifstream in(book);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "earlier");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    EXPECT_FALSE(WriteResultsWorkbook((dir / "no such folder" / "r.xlsx").string(), SampleSheet(),
                                      SampleRun(), &error));
    EXPECT_NE(error.find("no such folder"), std::string::npos) << error;
}

} // namespace
