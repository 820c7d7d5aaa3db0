// Whole runs of the host on small sheets, through the library's exports.
#include "commands.h"
#include "csv.h"
#include "metrics_json.h"
#include "network_file.h"
#include "recall.h"
#include "symbols.h"
#include "workbook_pack.h"
#include "worksheet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

class QuarrowRun : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quarrow_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) { return dir_ + "/" + name; }
    void Write(const std::string& name, const std::string& text) {
        std::string error;
        ASSERT_TRUE(WriteTextFile(Path(name), text, &error)) << error;
    }
    std::string Read(const std::string& name) {
        std::string text, error;
        EXPECT_TRUE(ReadTextFile(Path(name), &text, &error)) << error;
        return text;
    }
    int Run(const std::vector<std::string>& args) {
        out_.str("");
        err_.str("");
        return RunQuarrow(args, out_, err_);
    }

    std::string dir_;
    std::ostringstream out_, err_;
};

const char kColours[] = "r,g,b,colour,mode\n"
                        "0.9,0.1,0.1,red,TRAIN\n"
                        "0.1,0.8,0.2,green,TRAIN\n"
                        "0.2,0.1,0.9,blue,TRAIN\n"
                        ",,,,\n"
                        "0.8,0.2,0.2,red,TRAIN\n"
                        "0.2,0.9,0.1,green,TEST\n"
                        "0.1,0.2,0.8,blue,TRAIN\n"
                        "0.7,0.3,0.1,Red,TEST\n"
                        "0.5,0.5,0.5,,SKIP\n";

// Predicting on the training sheet gives exactly the outputs of the training run's recall:
// the saved ranges, symbols and weights bring back the same network.
TEST_F(QuarrowRun, PredictRepeatsTheTrainedNetworkInBothMethodsAndEncodings) {
    Write("colours.csv", kColours);
    struct Case {
        const char* method;
        const char* encoding;
        const char* weights; // 3-3-3 one-hot, 3-3-1 coded
    } cases[] = {{"double", "one-hot", "(24 weights)"},
                 {"fixed", "one-hot", "(24 weights)"},
                 {"double", "coded", "(16 weights)"},
                 {"fixed", "coded", "(16 weights)"}};
    for (const Case& c : cases) {
        const char* method = c.method;
        ASSERT_EQ(Run({"train",      Path("colours.csv"),
                       "--inputs",   "A:C",
                       "--outputs",  "colour",
                       "--mode",     "mode",
                       "--hidden",   "3",
                       "--epochs",   "60",
                       "--method",   method,
                       "--encoding", c.encoding,
                       "--out",      Path("trained.csv"),
                       "--save",     Path("net.csv")}),
                  0)
            << err_.str();
        EXPECT_NE(out_.str().find("Error history"), std::string::npos);
        EXPECT_NE(out_.str().find(c.weights), std::string::npos) << out_.str();
        ASSERT_EQ(Run({"predict", Path("colours.csv"), "--net", Path("net.csv"), "--out",
                       Path("predicted.csv")}),
                  0)
            << err_.str();
        EXPECT_EQ(Read("predicted.csv"), Read("trained.csv")) << method << c.encoding;
        // Scored apart by the sheet's mode words: 5 TRAIN rows, 2 TEST rows, the SKIP row left out.
        EXPECT_NE(out_.str().find("colour, training rows (5)"), std::string::npos) << out_.str();
        EXPECT_NE(out_.str().find("colour, testing rows (2)"), std::string::npos) << out_.str();

        Worksheet sheet;
        std::string error;
        ASSERT_TRUE(LoadWorksheet(Path("predicted.csv"), &sheet, &error)) << error;
        ASSERT_EQ(sheet.names.back(), "colour predicted");
        EXPECT_TRUE(sheet.at(3, 5).empty()); // the blank row stays empty
        for (int r : {0, 1, 2, 4, 5, 6, 7, 8}) {
            // A class as the sheet writes it, never the library's upper case.
            EXPECT_EQ(sheet.at(r, 5).kind, CellKind::Text) << r;
            EXPECT_NE(sheet.at(r, 5).text, UpperText(sheet.at(r, 5).text)) << r;
        }
    }
    // The last network predicts a sheet without targets, its columns in another order, and a
    // row outside the trained range is predicted and flagged; --strict refuses it.
    Write("new.csv", "b,r,g\n0.2,0.8,0.1\n0.9,0.1,0.1\n");
    ASSERT_EQ(Run({"predict", Path("new.csv"), "--net", Path("net.csv")}), 0) << err_.str();
    EXPECT_NE(out_.str().find("b,r,g,colour predicted"), std::string::npos) << out_.str();
    ASSERT_EQ(Run({"weights", Path("net.csv"), "--bins", "4"}), 0) << err_.str();
    EXPECT_NE(out_.str().find("Layer 2 (outputs)"), std::string::npos) << out_.str();

    Write("far.csv", "b,r,g\n0.2,3.5,0.1\n0.2,0.5,0.1\n");
    ASSERT_EQ(Run({"predict", Path("far.csv"), "--net", Path("net.csv"), "--out", Path("p.csv")}),
              0)
        << err_.str();
    EXPECT_NE(Read("p.csv").find("outside trained range\n0.2,3.5,0.1,"), std::string::npos)
        << Read("p.csv");
    EXPECT_NE(Read("p.csv").find(",yes\n0.2,0.5,0.1,"), std::string::npos);
    EXPECT_EQ(Run({"predict", Path("far.csv"), "--net", Path("net.csv"), "--strict"}), 2);
    EXPECT_NE(err_.str().find("row 2, column B (r): 3.5 lies outside"), std::string::npos)
        << err_.str();
}

// The same sheet as a workbook (numbers as numbers, texts inline) trains the same network and
// predicts the same rows as its CSV twin.
TEST_F(QuarrowRun, WorkbookTrainsAndPredictsAsItsCsvTwin) {
    Write("colours.csv", kColours);
    std::string xml = "<worksheet><sheetData>";
    std::istringstream lines(kColours);
    std::string line;
    for (int row = 1; std::getline(lines, line); ++row) {
        xml += "<row r=\"" + std::to_string(row) + "\">";
        std::istringstream fields(line);
        std::string field;
        for (int column = 0; std::getline(fields, field, ','); ++column) {
            const std::string ref = ColumnLetters(column) + std::to_string(row);
            if (field.empty()) continue;
            if (CellFromField(field).kind == CellKind::Number)
                xml += "<c r=\"" + ref + "\"><v>" + field + "</v></c>";
            else
                xml += "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + field + "</t></is></c>";
        }
        xml += "</row>";
    }
    Write("colours.xlsx", WorkbookAround(xml + "</sheetData></worksheet>"));
    for (const char* book : {"colours.csv", "colours.xlsx"}) {
        const std::string stem = std::string(book) + ".";
        ASSERT_EQ(Run({"train", Path(book), "--inputs", "A:C", "--outputs", "colour", "--mode",
                       "mode", "--hidden", "3", "--epochs", "40", "--save", Path(stem + "net")}),
                  0)
            << err_.str();
        ASSERT_EQ(
            Run({"predict", Path(book), "--net", Path(stem + "net"), "--out", Path(stem + "out")}),
            0)
            << err_.str();
    }
    EXPECT_EQ(Read("colours.xlsx.net"), Read("colours.csv.net"));
    EXPECT_EQ(Read("colours.xlsx.out"), Read("colours.csv.out"));
    EXPECT_NE(Run({"train", Path("colours.xlsx"), "--sheet", "Other", "--inputs", "A:C",
                   "--outputs", "colour"}),
              0);
    EXPECT_NE(err_.str().find("Hand"), std::string::npos) << err_.str(); // the sheets it has
}

TEST_F(QuarrowRun, EvolveKeepsItsPopulation) {
    Write("colours.csv", kColours);
    const std::vector<std::string> breed = {"evolve",        Path("colours.csv"),
                                            "--inputs",      "A,B,C",
                                            "--outputs",     "D",
                                            "--mode",        "E",
                                            "--search",      "breed",
                                            "--population",  "3",
                                            "--generations", "2",
                                            "--epochs",      "10",
                                            "--validate",    "0.4"};
    for (const char* name : {"pop.csv", "again.csv"}) {
        std::vector<std::string> args = breed;
        args.insert(args.end(), {"--save-pop", Path(name)});
        ASSERT_EQ(Run(args), 0) << err_.str();
    }
    EXPECT_NE(out_.str().find("gen 2 #3"), std::string::npos) << out_.str();
    std::string pop = Read("pop.csv");
    EXPECT_EQ(Read("again.csv"), pop); // the same seed gives the same run
    std::vector<std::string> lines;
    std::istringstream saved(pop);
    for (std::string line; std::getline(saved, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 1u + 33 + 17 * 3);
    auto changed = [&](std::vector<std::pair<size_t, std::string>> cells, size_t extraRows) {
        std::vector<std::string> l = lines;
        for (auto& [k, v] : cells)
            l[1 + k] = v;
        std::string text;
        for (const std::string& s : l)
            text += s + "\n";
        for (size_t k = 0; k < extraRows; ++k)
            text += "0\n";
        return text;
    };
    std::vector<std::pair<size_t, std::string>> untrainable = {{26, "2"}, {27, "1e9"}};
    for (size_t k = 33 + 16; k < 33 + 17 * 3; k += 17)
        untrainable.push_back({k, "1e9"});
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {changed(untrainable, 0), "--epochs allows 1 to 32767"},
        {changed({{26, "1"}}, 0), "training mode is 1;"},
        {changed({{22, "2000"}}, 0), "size is 2000; --population allows 1 to 1000"},
        {changed({{8, "6"}}, 0), "--max-layers allows 2 to 5"},
        {changed({{10, "70000"}}, 0), "second hidden size is 70000"},
        // 65536 more rows: cut to 16 bits the count would land on the same valid column.
        {changed({}, 65536), "at most 65535"},
    };
    std::vector<std::string> args(breed.begin(), breed.begin() + 10);
    args.insert(args.end(), {"--generations", "1", "--epochs", "10", "--validate", "0.4",
                             "--load-pop", Path("pop.csv")});
    ASSERT_EQ(Run(args), 0) << err_.str();
    EXPECT_NE(out_.str().find("population of 3 loaded"), std::string::npos);

    // A saved population is checked against the command line's limits before it is trained.
    for (const auto& c : cases) {
        Write("bad.csv", c.text);
        EXPECT_EQ(Run({"evolve", Path("colours.csv"), "--inputs", "A,B,C", "--outputs", "D",
                       "--mode", "E", "--search", "breed", "--score", "train", "--generations", "1",
                       "--epochs", "10", "--load-pop", Path("bad.csv")}),
                  1);
        EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
        EXPECT_EQ(out_.str().find("Best schema"), std::string::npos);
    }
}

// The workbook and the page as each command writes them; a page that cannot be written is a
// failure with the reason, not a silent success.
TEST_F(QuarrowRun, TrainPredictAndEvolveWriteWorkbooksAndPages) {
    Write("colours.csv", kColours);
    ASSERT_EQ(Run({"train", Path("colours.csv"), "--inputs", "A:C", "--outputs", "colour", "--mode",
                   "mode", "--epochs", "20", "--quiet", "--save", Path("net.csv"), "--xlsx",
                   Path("t.xlsx"), "--report", Path("t.html")}),
              0)
        << err_.str();
    EXPECT_EQ(Read("t.xlsx").substr(0, 2), "PK");
    EXPECT_NE(Read("t.html").find("Confusion: colour (test)"), std::string::npos);
    ASSERT_EQ(Run({"predict", Path("colours.csv"), "--net", Path("net.csv"), "--quiet", "--xlsx",
                   Path("p.xlsx"), "--report", Path("p.html")}),
              0)
        << err_.str();
    EXPECT_NE(Read("p.html").find("3-"), std::string::npos); // the network's shape
    ASSERT_EQ(Run({"evolve",        Path("colours.csv"),
                   "--inputs",      "A:C",
                   "--outputs",     "colour",
                   "--mode",        "mode",
                   "--search",      "breed",
                   "--score",       "train",
                   "--population",  "2",
                   "--generations", "1",
                   "--epochs",      "5",
                   "--report",      Path("e.html")}),
              0)
        << err_.str();
    EXPECT_NE(Read("e.html").find("gen 1 #2"), std::string::npos);
    EXPECT_EQ(Run({"predict", Path("colours.csv"), "--net", Path("net.csv"), "--quiet", "--report",
                   Path("no such folder/p.html")}),
              1);
    EXPECT_NE(err_.str().find("no such folder"), std::string::npos) << err_.str();
}

// y depends on a and b; c is noise. Every fifth row is a TEST row in the mode column, or, with
// no mode column, the last fifth of the rows (for --split 0.8).
std::string EvolveSheet(bool shuffledTestTargets, bool modeColumn = true) {
    auto isTest = [&](int r) { return modeColumn ? r % 5 == 4 : r >= 32; };
    std::vector<int> testTargets;
    for (int r = 0; r < 40; ++r)
        if (isTest(r)) testTargets.push_back((r % 6) * 3 + r % 4);
    if (shuffledTestTargets) std::reverse(testTargets.begin(), testTargets.end());
    std::string text = modeColumn ? "a,b,c,y,mode\n" : "a,b,c,y\n";
    for (int r = 0, t = 0; r < 40; ++r) {
        const int y = isTest(r) ? testTargets[t++] : (r % 6) * 3 + r % 4;
        text += std::to_string(r % 6) + "," + std::to_string(r % 4) + "," +
                std::to_string((r * 7) % 9) + "," + std::to_string(y) +
                (modeColumn ? (isTest(r) ? ",TEST\n" : ",TRAIN\n") : "\n");
    }
    return text;
}

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
    const size_t a = text.find(from);
    const size_t b = text.find(to, a == std::string::npos ? 0 : a + from.size());
    if (a == std::string::npos || b == std::string::npos) return "";
    return text.substr(a + from.size(), b - a - from.size());
}

// What the search saw and the network it chose stay the same when the TEST rows' targets are
// shuffled among themselves (the columns' ranges stay the same): the search never reads them.
TEST_F(QuarrowRun, EvolveNeverLooksAtTestRowsWhileSearching) {
    for (bool modeColumn : {true, false}) {
        std::string seen[2], nets[2];
        for (int shuffled : {0, 1}) {
            Write("sheet.csv", EvolveSheet(shuffled, modeColumn));
            std::vector<std::string> args = {
                "evolve", Path("sheet.csv"), "--inputs", "a,b,c",    "--outputs",
                "y",      "--networks",      "4",        "--epochs", "40",
                "--save", Path("net.csv")};
            if (modeColumn)
                args.insert(args.end(), {"--mode", "mode"});
            else
                args.insert(args.end(), {"--split", "0.8"});
            ASSERT_EQ(Run(args), 0) << err_.str();
            // Progress lines without their time estimates, up to the winner's training.
            std::istringstream lines(Between(out_.str(), "ranked on", "The winner, trained by"));
            for (std::string line; std::getline(lines, line);)
                seen[shuffled] += line.substr(0, line.find(" left ")) + "\n";
            nets[shuffled] = Read("net.csv");
        }
        EXPECT_NE(seen[0].find("4/4"), std::string::npos) << seen[0];
        EXPECT_NE(seen[0].find("the 8 TEST rows stay unseen"), std::string::npos) << seen[0];
        EXPECT_EQ(seen[0], seen[1]) << modeColumn;
        EXPECT_EQ(nets[0], nets[1]) << modeColumn;
    }
}

// The winner is the network that the printed train command rebuilds weight for weight, and the
// saved winner predicts the TEST rows exactly as the search's report says.
TEST_F(QuarrowRun, EvolveWinnerIsRebuiltByTrainAndPredictsAsReported) {
    Write("sheet.csv", EvolveSheet(false));
    ASSERT_EQ(Run({"evolve", Path("sheet.csv"), "--inputs", "a,b,c", "--outputs", "y", "--mode",
                   "mode", "--search", "halving", "--networks", "3", "--epochs", "45",
                   "--max-noise", "0.05", "--save", Path("winner.csv")}),
              0)
        << err_.str();
    const std::string report = out_.str();
    const std::string testFigure = Between(report, "y, testing rows (8): ", "\n");
    ASSERT_NE(testFigure, "") << report;
    std::istringstream command(Between(report, "quarrow train ", "\n"));
    std::vector<std::string> args = {"train"};
    for (std::string word; command >> word;)
        args.push_back(word);
    args.insert(args.end(), {"--save", Path("rebuilt.csv")});
    ASSERT_EQ(Run(args), 0) << err_.str();
    EXPECT_EQ(Read("rebuilt.csv"), Read("winner.csv"));

    std::string testRows = "a,b,c,y\n";
    std::istringstream rows(EvolveSheet(false));
    for (std::string row; std::getline(rows, row);)
        if (row.find(",TEST") != std::string::npos)
            testRows += row.substr(0, row.rfind(',')) + "\n";
    Write("test_rows.csv", testRows);
    ASSERT_EQ(Run({"predict", Path("test_rows.csv"), "--net", Path("winner.csv")}), 0)
        << err_.str();
    EXPECT_NE(out_.str().find("y, all rows (8): " + testFigure), std::string::npos)
        << out_.str() << testFigure;
}

// More than 5440 weights travel in two pages; a window of 2 rows and a pattern step of 2 leave
// the first row and every second position without an output.
TEST_F(QuarrowRun, LargeNetworksWindowsAndStepsRoundTrip) {
    std::string sheet = "a,b,y\n";
    for (int r = 0; r < 9; ++r)
        sheet +=
            std::to_string(r) + "," + std::to_string(r % 3) + "," + std::to_string(r * r) + "\n";
    Write("grid.csv", sheet);
    ASSERT_EQ(Run({"train", Path("grid.csv"), "--inputs", "a,b", "--outputs", "y", "--hidden",
                   "1200", "--window", "2", "--step", "2", "--epochs", "2", "--out",
                   Path("trained.csv"), "--save", Path("net.csv")}),
              0)
        << err_.str();
    EXPECT_NE(out_.str().find("(7201 weights)"), std::string::npos) << out_.str();
    ASSERT_EQ(Run({"predict", Path("grid.csv"), "--net", Path("net.csv"), "--out",
                   Path("predicted.csv")}),
              0)
        << err_.str();
    EXPECT_EQ(Read("predicted.csv"), Read("trained.csv"));
    Worksheet out;
    std::string error;
    ASSERT_TRUE(LoadWorksheet(Path("predicted.csv"), &out, &error)) << error;
    for (int r = 0; r < 9; ++r) // positions 0, 2, 4, 6 (rows 1, 3, 5, 7) carry patterns
        EXPECT_EQ(out.at(r, 3).empty(), r % 2 == 0) << r;
}

// A sheet that gives its own SYMBOL row and MIN/MAX rows as symbols: prediction on a sheet
// without them brings back the same network.
TEST_F(QuarrowRun, SheetSymbolAndRangeRowsCarryOverToPrediction) {
    Write("sizes.csv", "size,weight,fit,mode\n"
                       "\"s,m,l,xl\",,\"S,M,L,XL\",SYMBOL\n"
                       "S,40,S,MIN\n"
                       "XL,120,XL,MAX\n"
                       "s,50,S,TRAIN\n"
                       "m,70,M,TRAIN\n"
                       "L,85,L,TRAIN\n"
                       "l,95,XL,TEST\n");
    Write("new.csv", "size,weight\nm,60\nXL,110\n");
    ASSERT_EQ(
        Run({"train", Path("sizes.csv"), "--inputs", "size,weight", "--outputs", "fit", "--mode",
             "mode", "--epochs", "40", "--out", Path("trained.csv"), "--save", Path("net.csv")}),
        0)
        << err_.str();
    ASSERT_EQ(Run({"predict", Path("sizes.csv"), "--net", Path("net.csv"), "--out",
                   Path("predicted.csv")}),
              0)
        << err_.str();
    EXPECT_EQ(Read("predicted.csv"), Read("trained.csv"));
    ASSERT_EQ(Run({"predict", Path("new.csv"), "--net", Path("net.csv")}), 0) << err_.str();
    std::string net = Read("net.csv");
    EXPECT_NE(net.find("input,size,-0.2,4.2,\"s,m,l,xl\""), std::string::npos) << net;
}

// The split shares out the rows as the library did: its testing error is the one reported for
// the testing rows. Eight data rows with a share of 0.75: six train, two test.
TEST_F(QuarrowRun, SplitRowsAreReportedAsTheLibrarySplitThem) {
    std::string sheet = "x,y\n";
    for (int r = 0; r < 8; ++r)
        sheet += std::to_string(r) + "," + std::to_string(r % 2) + "\n";
    Write("split.csv", sheet);
    ASSERT_EQ(Run({"train", Path("split.csv"), "--inputs", "x", "--outputs", "y", "--split", "0.75",
                   "--epochs", "3", "--show", "8"}),
              0)
        << err_.str();
    EXPECT_NE(out_.str().find("y, training rows (6): RMSE"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("y, testing rows (2): RMSE"), std::string::npos) << out_.str();
}

TEST_F(QuarrowRun, EvolveScoredOnTestingNeedsTestingRows) {
    Write("colours.csv", kColours);
    EXPECT_EQ(Run({"evolve", Path("colours.csv"), "--inputs", "A,B", "--outputs", "D", "--mode",
                   "E", "--score", "test", "--networks", "2", "--epochs", "4"}),
              0)
        << err_.str();
    EXPECT_NE(err_.str().find("warning: --score test"), std::string::npos) << err_.str();
    Write("plain.csv", "a,b\n1,2\n2,4\n");
    EXPECT_EQ(
        Run({"evolve", Path("plain.csv"), "--inputs", "a", "--outputs", "b", "--score", "test"}),
        2);
    EXPECT_NE(err_.str().find("TEST rows"), std::string::npos) << err_.str();
}

TEST_F(QuarrowRun, BadInputGivesAMessageAndAnExitCode) {
    Write("colours.csv", kColours);
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out_.str().find("train"), std::string::npos);
    EXPECT_EQ(Run({"train", "--help"}), 0); // the command's own options
    EXPECT_NE(out_.str().find("--validate"), std::string::npos) << out_.str();
    EXPECT_EQ(out_.str().find("--population"), std::string::npos);
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_EQ(out_.str().rfind("quarrow ", 0), 0u) << out_.str();
    EXPECT_EQ(Run({"fly"}), 2);
    EXPECT_EQ(Run({"train", Path("missing.csv"), "--inputs", "A", "--outputs", "B"}), 2);
    EXPECT_NE(err_.str().find("cannot open"), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"train", Path("colours.csv"), "--inputs", "A", "--outputs", "Q"}), 2);
    EXPECT_NE(err_.str().find("the sheet's columns are A r, B g, C b, D colour, E mode"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(
        Run({"train", Path("colours.csv"), "--inputs", "A", "--outputs", "D", "--rate", "fast"}),
        2);
    EXPECT_NE(err_.str().find("--rate"), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"train", Path("colours.csv"), "--inputs", "A", "--outputs", "D", "--bogus"}), 2);
    EXPECT_EQ(Run({"predict", Path("colours.csv"), "--net", Path("colours.csv")}), 2);
    EXPECT_NE(err_.str().find("not a network"), std::string::npos) << err_.str();
}

// Each sheet is refused with its file, row and column and a non-zero exit; declaring the column
// symbolic makes a text in it a class.
TEST_F(QuarrowRun, ValuesTheNetworkCannotUseAreRefused) {
    struct Case {
        const char* sheet;
        const char* message; // empty: accepted
        bool symbolic;
    } cases[] = {
        {"x,y,m\n1,2,TEST\n2,3,TEST\n", "no TRAIN rows", false},
        {"x,y\n1,2\nlow,3\n4,5\n", "row 3, column A (x): \"low\" is text in a column", false},
        {"x,y\n1,2\nn/a,3\n", "row 3, column A (x): \"n/a\" is not a value", false},
        {"x,y\n1,2\n2,NaN\n", "row 3, column B (y): \"NaN\" is not a value the network", false},
        {"x,y\n1,2\n-inf,3\n", "row 3, column A (x): \"-inf\" is not a value", false},
        {"x,y\n1,2\n1e300,3\n", "row 3, column A (x): 1e300 is larger", false},
        {"x,y\n1,2\nn/a,3\n4,5\n", "", true},
    };
    for (const Case& c : cases) {
        Write("bad.csv", c.sheet);
        std::vector<std::string> args = {
            "train", Path("bad.csv"), "--inputs", "x",      "--outputs",
            "y",     "--epochs",      "2",        "--quiet"};
        if (std::string(c.sheet).find(",m\n") != std::string::npos)
            args.insert(args.end(), {"--mode", "m"});
        if (c.symbolic) args.insert(args.end(), {"--symbolic", "x"});
        const int code = Run(args);
        if (*c.message == 0) {
            EXPECT_EQ(code, 0) << err_.str();
            continue;
        }
        EXPECT_EQ(code, 2) << c.sheet;
        EXPECT_NE(err_.str().find(Path("bad.csv") + ": " + c.message), std::string::npos)
            << err_.str();
    }
    EXPECT_EQ(Run({"train", Path("bad.csv"), "-i", "x", "-o", "y", "--rate", "2"}), 2);
    EXPECT_NE(err_.str().find("--rate"), std::string::npos) << err_.str();
}

// Validation rows come from the TRAIN rows only, a share of each class; the weights kept are
// those of the best validation point, so the final validation error is the curve's lowest.
TEST_F(QuarrowRun, ValidationLeavesTestRowsAloneAndKeepsTheBestWeights) {
    std::string sheet = "x,y,c,m\n";
    for (int r = 0; r < 60; ++r)
        sheet += std::to_string(r % 10) + "," + std::to_string((r * 7) % 11) + "," +
                 (r % 3 == 0 ? "a" : "b") + "," + (r % 4 == 0 ? "TEST" : "TRAIN") + "\n";
    Write("v.csv", sheet);
    ASSERT_EQ(Run({"train",      Path("v.csv"), "-i",         "x",         "-o",
                   "y",          "-m",          "m",          "--margin",  "0",
                   "--validate", "0.25",        "--patience", "40",        "--chunk",
                   "5",          "--epochs",    "400",        "--hidden",  "12",
                   "--rate",     "0.9",         "--quiet",    "--metrics", Path("m.json")}),
              0)
        << err_.str();
    // The set of every sheet row, from the JSON record.
    auto modes = [&]() {
        const std::string json = Read("m.json");
        const size_t from = json.find("\"modes\":[") + 9;
        std::vector<std::string> words;
        for (size_t at = from; json[at] != ']'; at = json.find_first_of(",]", at + 1)) {
            if (json[at] == ',') ++at;
            words.push_back(json.substr(at + 1, json.find('"', at + 1) - at - 1));
        }
        return words;
    };
    std::vector<std::string> sets = modes();
    ASSERT_EQ(sets.size(), 60u);
    int validation = 0;
    for (int r = 0; r < 60; ++r) {
        validation += sets[r] == "VALIDATION";
        EXPECT_EQ(sets[r] == "TEST", r % 4 == 0) << r; // TEST rows stay TEST rows
    }
    EXPECT_EQ(validation, 11); // a quarter of the 45 TRAIN rows
    const std::string json = Read("m.json");
    EXPECT_NE(json.find("\"stopRule\":\"validation patience"), std::string::npos) << json;

    // y spans 0 .. 10 with no margin: validation RMSE / 10 is the 0..1 error.
    auto number = [&](const std::string& key, size_t from) {
        return std::stod(json.substr(json.find(key, from) + key.size()));
    };
    const size_t curve = json.find("\"validationCurve\":[") + 19;
    double lowest = 1e9;
    for (size_t at = curve; json[at - 1] != ']'; at = json.find_first_of(",]", at) + 1)
        lowest = std::min(lowest, std::stod(json.substr(at)));
    const double rmse = number("\"rmse\":", json.find("\"set\":\"validation\""));
    EXPECT_NEAR(rmse / 10.0, lowest, 1e-12);

    // The same run with the class column as output: every class gives its share.
    // TRAIN rows: 15 of class a, 30 of class b; a quarter of each, rounded.
    ASSERT_EQ(Run({"train", Path("v.csv"), "-i", "x:y", "-o", "c", "-m", "m", "--validate", "0.25",
                   "--epochs", "5", "--quiet", "--metrics", Path("m.json")}),
              0)
        << err_.str();
    sets = modes();
    int perClass[2] = {0, 0};
    for (int r = 0; r < 60; ++r)
        perClass[r % 3 == 0 ? 0 : 1] += sets[r] == "VALIDATION";
    EXPECT_EQ(perClass[0], 4);
    EXPECT_EQ(perClass[1], 8);
}

// Training resumed from a saved network continues the same arithmetic: with no momentum and no
// noise, 10 + 10 epochs give the weights of 20 epochs.
TEST_F(QuarrowRun, ResumedTrainingEqualsOneLongerRun) {
    std::string sheet = "a,b,y\n";
    for (int r = 0; r < 12; ++r)
        sheet += std::to_string(r) + "," + std::to_string(r % 4) + "," + std::to_string(r * r % 7) +
                 "\n";
    Write("r.csv", sheet);
    for (const char* method : {"double", "fixed"}) {
        auto train = [&](const char* epochs, const char* save, const char* from) {
            std::vector<std::string> args = {"train",    Path("r.csv"), "-i",         "a,b",
                                             "-o",       "y",           "--momentum", "0",
                                             "--epochs", epochs,        "--method",   method,
                                             "--quiet",  "--save",      Path(save)};
            if (from) args.insert(args.end(), {"--net", Path(from)});
            return Run(args);
        };
        ASSERT_EQ(train("20", "long.csv", nullptr), 0) << err_.str();
        ASSERT_EQ(train("10", "half.csv", nullptr), 0) << err_.str();
        ASSERT_EQ(train("10", "resumed.csv", "half.csv"), 0) << err_.str();
        EXPECT_EQ(Read("resumed.csv"), Read("long.csv")) << method;
    }
    Write("other.csv", "a,z,y\n1,2,3\n");
    EXPECT_EQ(Run({"train", Path("other.csv"), "-i", "a,z", "-o", "y", "--net", Path("long.csv")}),
              2);
    EXPECT_NE(err_.str().find("other columns"), std::string::npos) << err_.str();
}

// A symbolic input in either encoding: predict and resumed training rebuild the network's input
// units exactly as training built them, and the saved file reads back to the same text.
TEST_F(QuarrowRun, SymbolicInputsRoundTripInBothEncodings) {
    std::string sheet = "a,bark,y\n";
    const char* barks[] = {"rough", "smooth", "Flaky"};
    for (int r = 0; r < 12; ++r)
        sheet += std::to_string(r) + "," + barks[r % 3] + "," + std::to_string(r * r % 7) + "\n";
    Write("b.csv", sheet);
    struct Case {
        const char* encoding;
        const char* weights; // 4-3-1 one-hot, 2-3-1 coded
    } cases[] = {{"one-hot", "(19 weights)"}, {"coded", "(13 weights)"}};
    for (const Case& c : cases) {
        auto train = [&](const char* epochs, const char* save, const char* from) {
            std::vector<std::string> args = {"train",    Path("b.csv"), "-i",
                                             "a,bark",   "-o",          "y",
                                             "--out",    Path("t.csv"), "--epochs",
                                             epochs,     "--hidden",    "3",
                                             "--save",   Path(save),    "--input-encoding",
                                             c.encoding, "--momentum",  "0"};
            if (from) args.insert(args.end(), {"--net", Path(from)});
            return Run(args);
        };
        ASSERT_EQ(train("10", "half.csv", nullptr), 0) << err_.str();
        ASSERT_EQ(train("20", "long.csv", nullptr), 0) << err_.str();
        EXPECT_NE(out_.str().find(c.weights), std::string::npos) << c.encoding << out_.str();
        ASSERT_EQ(
            Run({"predict", Path("b.csv"), "--net", Path("long.csv"), "--out", Path("p.csv")}), 0)
            << err_.str();
        EXPECT_EQ(Read("p.csv"), Read("t.csv")) << c.encoding;
        ASSERT_EQ(train("10", "resumed.csv", "half.csv"), 0) << err_.str();
        EXPECT_EQ(Read("resumed.csv"), Read("long.csv")) << c.encoding;

        NetworkFile net;
        std::string error;
        ASSERT_TRUE(ParseNetworkFile(Read("long.csv"), &net, &error)) << error;
        EXPECT_EQ(net.settings.oneHotInputs, std::string(c.encoding) == "one-hot");
        EXPECT_EQ(NetworkFileText(net), Read("long.csv"));
    }
}

// A sheet recalled in pieces gives the outputs of one recall of the whole sheet, whatever the
// piece size, with a window, a pattern step and blank rows in the way.
TEST_F(QuarrowRun, RecallInPiecesEqualsOneRecall) {
    std::string text = "a,b,y\n";
    for (int r = 0; r < 23; ++r)
        text += r == 9 ? ",,\n"
                       : std::to_string(r % 5) + "," + std::to_string(r % 3) + "," +
                             std::to_string(r % 4) + "\n";
    Write("p.csv", text);
    ASSERT_EQ(Run({"train", Path("p.csv"), "-i", "a,b", "-o", "y", "--window", "2", "--step", "2",
                   "--epochs", "30", "--quiet", "--save", Path("net.csv")}),
              0)
        << err_.str();
    NetworkFile net;
    Worksheet sheet;
    std::string error;
    ASSERT_TRUE(LoadNetworkFile(Path("net.csv"), &net, &error)) << error;
    ASSERT_TRUE(LoadWorksheet(Path("p.csv"), &sheet, &error)) << error;
    RangeRequest request;
    request.recall = true;
    request.window = 2;
    request.columns = ColumnChoice{{0, 1}, {2}, -1};
    request.inputBounds = net.inputBounds;
    request.outputBounds = net.outputBounds;
    Range range;
    ASSERT_TRUE(BuildRange(sheet, request, &range, &error)) << error;
    std::vector<std::vector<Cell>> whole, pieces;
    ASSERT_TRUE(RecallRange(range, net.settings, net.weights, 1000, &whole, &error)) << error;
    int answered = 0;
    for (const Cell& c : whole[0])
        answered += c.kind == CellKind::Number;
    EXPECT_EQ(answered, 11);
    for (int rows : {2, 3, 7, 10}) {
        ASSERT_TRUE(RecallRange(range, net.settings, net.weights, rows, &pieces, &error)) << error;
        for (int r = 0; r < range.rows(); ++r)
            EXPECT_EQ(pieces[0][r].text, whole[0][r].text) << rows << " " << r;
    }
}

} // namespace
