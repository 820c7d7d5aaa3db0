// The results workbook read back by a reader written elsewhere (Python's openpyxl).
#include "figures_support.h"
#include "text_utf8.h"
#include "workbook_write.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";

// Prints one line per filled cell (sheet!A1, type, value), per chart (its kind and each
// series' ranges) and per conditional format.
constexpr const char* kDump = R"(import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
print("sheets\t" + ",".join(wb.sheetnames))
for ws in wb.worksheets:
    for row in ws.iter_rows():
        for c in row:
            if c.value is None: continue
            v = c.value
            kind = {"n": "n", "s": "s", "b": "b", "f": "f"}.get(c.data_type, c.data_type)
            text = repr(v) if kind == "n" else str(v)
            print("%s!%s\t%s\t%s" % (ws.title, c.coordinate, kind, text.replace("\n", "\\n")))
    for ch in ws._charts:
        refs = []
        for s in ch.series:
            ref = s.val.numRef.f if s.val is not None else s.yVal.numRef.f
            refs.append(ref)
        print("chart\t%s\t%s\t%s" % (ws.title, type(ch).__name__, " ".join(refs)))
    for rng in ws.conditional_formatting:
        print("cf\t%s\t%s" % (ws.title, str(rng.sqref)))
)";

struct Dump {
    std::map<std::string, std::pair<std::string, std::string>> cells; // "Data!A1" -> type, value
    std::vector<std::string> charts, formats;
    std::string sheets;

    std::string Type(const std::string& at) const {
        auto it = cells.find(at);
        return it == cells.end() ? "" : it->second.first;
    }
    std::string Value(const std::string& at) const {
        auto it = cells.find(at);
        return it == cells.end() ? "" : it->second.second;
    }
    double Number(const std::string& at) const {
        EXPECT_EQ(Type(at), "n") << at;
        return std::strtod(Value(at).c_str(), nullptr);
    }
};

bool HasOpenpyxl() {
    return std::system((std::string(kPython) + " -c 'import openpyxl' 2>/dev/null").c_str()) == 0;
}

Dump ReadBack(const fs::path& book) {
    fs::path script = book.parent_path() / "dump.py";
    std::ofstream(script) << kDump;
    std::string command =
        std::string(kPython) + " '" + script.string() + "' '" + book.string() + "'";
    Dump d;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return d;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << text;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string x; std::getline(fields, x, '\t');)
            f.push_back(x);
        if (f[0] == "sheets")
            d.sheets = f[1];
        else if (f[0] == "chart")
            d.charts.push_back(f[1] + " " + f[2] + " " + (f.size() > 3 ? f[3] : ""));
        else if (f[0] == "cf")
            d.formats.push_back(f[1] + " " + f[2]);
        else
            d.cells[f[0]] = {f[1], f.size() > 2 ? f[2] : ""};
    }
    return d;
}

fs::path Scratch(const char* name) {
    fs::path dir = fs::path(::testing::TempDir()) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

TEST(ResultsWorkbook, ReadsBackInAnotherReader) {
    if (!HasOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is not installed";
    fs::path dir = Scratch("book_read_back");
    fs::path book = dir / "results.xlsx";
    Worksheet sheet = SampleSheet();
    RunFigures run = SampleRun();
    std::string error;
    ASSERT_TRUE(WriteResultsWorkbook(book.string(), sheet, run, &error)) << error;
    Dump d = ReadBack(book);
    EXPECT_EQ(d.sheets, "Data,Figures,Curves,Points");

    // The input sheet as it was: numbers exact, texts as texts (a leading "=" is no formula,
    // a Windows-1252 byte is its character), empty cells empty.
    for (int c = 0; c < sheet.columnCount(); ++c) {
        EXPECT_EQ(d.Value("Data!" + ColumnLetters(c) + "1"), sheet.names[c]);
        for (int r = 0; r < sheet.rowCount(); ++r) {
            std::string at = "Data!" + ColumnLetters(c) + std::to_string(SheetRowNumber(r));
            const Cell& cell = sheet.at(r, c);
            bool number = cell.kind == CellKind::Number;
            EXPECT_EQ(d.Type(at), number ? "n" : cell.empty() ? "" : "s") << at;
            if (number) {
                EXPECT_EQ(d.Number(at), cell.number) << at;
            } else {
                EXPECT_EQ(d.Value(at), Utf8Text(cell.text)) << at;
            }
        }
    }
    EXPECT_EQ(d.Value("Data!B4"), "caf\u00e9");
    // Beside it each output's prediction, the row's mode and the out-of-range flag; in the
    // curves a measurement that is not a number reads as "not available".
    const std::vector<std::array<std::string, 3>> expected = {
        {"Data!F1", "s", "<b>&\"y\" predicted"},
        {"Data!G1", "s", "kind predicted"},
        {"Data!F3", "n", "2.5"},
        {"Data!G5", "s", "pine"},
        {"Data!H4", "s", "TEST"},
        {"Data!I4", "b", "True"},
        {"Data!I5", "b", "False"},
        {"Curves!A5", "n", "35"},
        {"Curves!A2", "n", "10"},
        {"Curves!B5", "n", "0.125"},
        {"Curves!B4", "f", "=NA()"},
        {"Curves!C4", "n", "0.2"},
        {"Points!A2", "n", "1.5"},
        {"Points!D2", "n", "-6.5"}};
    for (const auto& [at, type, value] : expected) {
        EXPECT_EQ(d.Type(at), type) << at;
        if (type == "n")
            EXPECT_EQ(d.Number(at), std::strtod(value.c_str(), nullptr)) << at;
        else
            EXPECT_EQ(d.Value(at), value) << at;
    }

    // Figures: settings read as numbers where they are, and the confusion tables.
    std::map<std::string, std::string> found; // value -> first cell that holds it
    for (const auto& [at, cell] : d.cells)
        if (at.rfind("Figures!", 0) == 0) found.emplace(cell.second, at);
    ASSERT_TRUE(found.count("rate"));
    std::string rateAt = found["rate"];
    EXPECT_EQ(d.Number("Figures!B" + rateAt.substr(rateAt.find('A') + 1)), 0.3);
    EXPECT_TRUE(found.count("Confusion: kind (test rows)"));
    EXPECT_TRUE(found.count("validation patience"));
    EXPECT_TRUE(found.count("x,colour"));
    EXPECT_EQ(d.formats.size(), 2u); // one per confusion table

    // One chart of each kind, drawing from the cells written above.
    ASSERT_EQ(d.charts.size(), 4u);
    EXPECT_EQ(d.charts[0], "Figures LineChart Curves!$B$2:$B$5 Curves!$C$2:$C$5");
    EXPECT_EQ(d.charts[1].rfind("Figures BarChart Figures!$D$", 0), 0u) << d.charts[1];
    EXPECT_EQ(d.charts[2], "Figures ScatterChart Points!$B$2:$B$3 Points!$D$2");
    EXPECT_EQ(d.charts[3].rfind("Figures BarChart Figures!$B$", 0), 0u) << d.charts[3];
    EXPECT_EQ(std::count(d.charts[3].begin(), d.charts[3].end(), ' '), 3) << "a series per class";
}

// An empty record still makes a workbook; one that cannot be completed leaves the earlier file
// and no temporary behind.
TEST(ResultsWorkbook, WholeOrNotAtAll) {
    fs::path dir = Scratch("book_atomic");
    fs::path book = dir / "results.xlsx";
    std::string error;
    ASSERT_TRUE(WriteResultsWorkbook(book.string(), Worksheet{}, RunFigures{}, &error)) << error;
    std::ofstream(book) << "earlier";
    Worksheet sheet = SampleSheet();
    RunFigures run = SampleRun();
    run.warnings.push_back(std::string(40000, 'w')); // more than a cell holds
    EXPECT_FALSE(WriteResultsWorkbook(book.string(), sheet, run, &error));
    EXPECT_NE(error.find("Figures!A"), std::string::npos) << error;
    std::ifstream in(book);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, "earlier");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    EXPECT_FALSE(WriteResultsWorkbook((dir / "no such folder" / "r.xlsx").string(), sheet,
                                      SampleRun(), &error));
    EXPECT_NE(error.find("no such folder"), std::string::npos) << error;
}

} // namespace
