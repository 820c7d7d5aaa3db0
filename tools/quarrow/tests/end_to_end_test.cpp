// Whole runs of the host on small sheets, through the library's exports.
#include "commands.h"
#include "csv.h"
#include "network_file.h"
#include "recall.h"
#include "symbols.h"
#include "workbook_pack.h"
#include "worksheet.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    // A command line as typed, its words apart at blanks; "@name" is that file in the test's
    // folder.
    int Run(const std::string& command) {
        std::vector<std::string> args;
        std::istringstream words(command);
        for (std::string w; words >> w;)
            args.push_back(w[0] == '@' ? Path(w.substr(1)) : w);
        out_.str("");
        err_.str("");
        return RunQuarrow(args, out_, err_);
    }
    // Runs a command that must succeed.
    bool Ok(const std::string& command) {
        const int code = Run(command);
        EXPECT_EQ(code, 0) << command << "\n" << err_.str();
        return code == 0;
    }
    void ExpectPrinted(const std::string& text) {
        EXPECT_NE((out_.str() + err_.str()).find(text), std::string::npos)
            << text << " in:\n"
            << out_.str() << err_.str();
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
    const char* cases[][2] = {{"double --encoding one-hot", "(24 weights)"}, // 3-3-3
                              {"fixed --encoding one-hot", "(24 weights)"},
                              {"double --encoding coded", "(16 weights)"}, // 3-3-1
                              {"fixed --encoding coded", "(16 weights)"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(Ok(std::string("train @colours.csv -i A:C -o colour -m mode --hidden 3 ") +
                       "--epochs 60 --out @trained.csv --save @net.csv --xlsx @t.xlsx " +
                       "--report @t.html --method " + c[0]));
        ExpectPrinted(c[1]);
        ASSERT_TRUE(
            Ok("predict @colours.csv --net @net.csv --out @predicted.csv --report @p.html"));
        EXPECT_EQ(Read("predicted.csv"), Read("trained.csv")) << c[0];
        // Scored apart by the sheet's mode words: 5 TRAIN rows, 2 TEST rows, the SKIP row left out.
        ExpectPrinted("colour, training rows (5)");
        ExpectPrinted("colour, testing rows (2)");
        Worksheet sheet;
        std::string error;
        ASSERT_TRUE(LoadWorksheet(Path("predicted.csv"), &sheet, &error)) << error;
        EXPECT_TRUE(sheet.at(3, 5).empty());   // the blank row stays empty
        for (int r : {0, 1, 2, 4, 5, 6, 7, 8}) // a class as the sheet writes it, not upper case
            EXPECT_NE(sheet.at(r, 5).text, UpperText(sheet.at(r, 5).text)) << r;
    }
    EXPECT_EQ(Read("t.xlsx").substr(0, 2), "PK");
    EXPECT_NE(Read("t.html").find("Confusion: colour (test)"), std::string::npos);
    EXPECT_NE(Read("p.html").find("3-"), std::string::npos); // the network's shape
    EXPECT_EQ(Run("predict @colours.csv --net @net.csv --report @no_folder/p.html"), 1);
    ExpectPrinted("no_folder");

    // The last network predicts a sheet without targets, its columns in another order, and a
    // row outside the trained range is predicted and flagged; --strict refuses it.
    Write("new.csv", "b,r,g\n0.2,0.8,0.1\n0.9,0.1,0.1\n");
    ASSERT_TRUE(Ok("predict @new.csv --net @net.csv"));
    ExpectPrinted("b,r,g,colour predicted");
    ASSERT_TRUE(Ok("weights @net.csv --bins 4"));
    ExpectPrinted("Layer 2 (outputs)");
    Write("far.csv", "b,r,g\n0.2,3.5,0.1\n0.2,0.5,0.1\n");
    ASSERT_TRUE(Ok("predict @far.csv --net @net.csv --out @p.csv"));
    EXPECT_NE(Read("p.csv").find("outside trained range\n0.2,3.5,0.1,"), std::string::npos);
    EXPECT_NE(Read("p.csv").find(",yes\n0.2,0.5,0.1,"), std::string::npos) << Read("p.csv");
    EXPECT_EQ(Run("predict @far.csv --net @net.csv --strict"), 2);
    ExpectPrinted("row 2, column B (r): 3.5 lies outside");
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
    for (const std::string book : {"colours.csv", "colours.xlsx"}) {
        ASSERT_TRUE(Ok("train @" + book + " -i A:C -o colour -m mode --hidden 3 --epochs 40 " +
                       "--save @" + book + ".net"));
        ASSERT_TRUE(Ok("predict @" + book + " --net @" + book + ".net --out @" + book + ".out"));
    }
    EXPECT_EQ(Read("colours.xlsx.net"), Read("colours.csv.net"));
    EXPECT_EQ(Read("colours.xlsx.out"), Read("colours.csv.out"));
    EXPECT_EQ(Run("train @colours.xlsx --sheet Other -i A:C -o colour"), 2);
    ExpectPrinted("\"Hand\""); // the sheets it has
}

// A saved population is trained on, and checked against the command line's limits first.
TEST_F(QuarrowRun, EvolveKeepsItsPopulation) {
    Write("colours.csv", kColours);
    const std::string breed = "evolve @colours.csv -i A,B,C -o D -m E --search breed --epochs 10 ";
    ASSERT_TRUE(Ok(breed + "--population 3 --generations 2 --validate 0.4 --save-pop @pop.csv"));
    ExpectPrinted("gen 2 #3");
    ASSERT_TRUE(Ok(breed + "--generations 1 --validate 0.4 --load-pop @pop.csv --report @e.html"));
    ExpectPrinted("population of 3 loaded");
    EXPECT_NE(Read("e.html").find("gen 1 #3"), std::string::npos);

    std::vector<std::string> lines;
    std::istringstream saved(Read("pop.csv"));
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
    for (const auto& c : cases) {
        Write("bad.csv", c.text);
        EXPECT_EQ(Run(breed + "--score train --generations 1 --load-pop @bad.csv"), 1);
        ExpectPrinted(c.message);
    }
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
            ASSERT_TRUE(
                Ok(std::string("evolve @sheet.csv -i a,b,c -o y --networks 4 --epochs 40 ") +
                   "--save @net.csv " + (modeColumn ? "-m mode" : "--split 0.8")));
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
    ASSERT_TRUE(Ok("evolve @sheet.csv -i a,b,c -o y -m mode --search halving --networks 3 "
                   "--epochs 45 --max-noise 0.05 --save @winner.csv"));
    const std::string report = out_.str();
    const std::string testFigure = Between(report, "y, testing rows (8): ", "\n");
    ASSERT_NE(testFigure, "") << report;
    ASSERT_TRUE(Ok("train " + Between(report, "quarrow train ", "\n") + " --save @rebuilt.csv"));
    EXPECT_EQ(Read("rebuilt.csv"), Read("winner.csv"));

    std::string testRows = "a,b,c,y\n";
    std::istringstream rows(EvolveSheet(false));
    for (std::string row; std::getline(rows, row);)
        if (row.find(",TEST") != std::string::npos)
            testRows += row.substr(0, row.rfind(',')) + "\n";
    Write("test_rows.csv", testRows);
    ASSERT_TRUE(Ok("predict @test_rows.csv --net @winner.csv"));
    ExpectPrinted("y, all rows (8): " + testFigure);
}

// More than 5440 weights travel in two pages; a window of 2 rows and a pattern step of 2 leave
// the first row and every second position without an output. Recalled in pieces, the sheet
// gives the outputs of one recall, whatever the piece size, with a blank row in the way.
TEST_F(QuarrowRun, LargeNetworksWindowsStepsAndPiecesRoundTrip) {
    std::string text = "a,b,y\n";
    for (int r = 0; r < 23; ++r)
        text += r == 9 ? ",,\n"
                       : std::to_string(r % 5) + "," + std::to_string(r % 3) + "," +
                             std::to_string(r % 4) + "\n";
    Write("p.csv", text);
    ASSERT_TRUE(Ok("train @p.csv -i a,b -o y --hidden 1200 --window 2 --step 2 --epochs 2 "
                   "--out @trained.csv --save @net.csv"));
    ExpectPrinted("(7201 weights)");
    ASSERT_TRUE(Ok("predict @p.csv --net @net.csv --out @predicted.csv"));
    EXPECT_EQ(Read("predicted.csv"), Read("trained.csv"));

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
    for (int r = 0; r < 9; ++r) // rows 1, 3, 5, 7 carry patterns
        EXPECT_EQ(whole[0][r].empty(), r % 2 == 0) << r;
    for (int rows : {2, 3, 7, 10}) {
        ASSERT_TRUE(RecallRange(range, net.settings, net.weights, rows, &pieces, &error)) << error;
        for (int r = 0; r < range.rows(); ++r)
            EXPECT_EQ(pieces[0][r].text, whole[0][r].text) << rows << " " << r;
    }
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
    ASSERT_TRUE(Ok("train @sizes.csv -i size,weight -o fit -m mode --epochs 40 --out @trained.csv "
                   "--save @net.csv"));
    ASSERT_TRUE(Ok("predict @sizes.csv --net @net.csv --out @predicted.csv"));
    EXPECT_EQ(Read("predicted.csv"), Read("trained.csv"));
    ASSERT_TRUE(Ok("predict @new.csv --net @net.csv"));
    EXPECT_NE(Read("net.csv").find("input,size,-0.2,4.2,\"s,m,l,xl\""), std::string::npos);
}

// Each run's exit code and the line that tells the user why; a value the network cannot use is
// named with its file, row and column.
TEST_F(QuarrowRun, CommandsAnswerWithTheirCodeAndMessage) {
    Write("colours.csv", kColours);
    Write("plain.csv", "a,b\n1,2\n2,4\n");
    std::string split = "x,y\n"; // eight data rows with a share of 0.75: six train, two test
    for (int r = 0; r < 8; ++r)
        split += std::to_string(r) + "," + std::to_string(r % 2) + "\n";
    Write("split.csv", split);
    const std::string trainX = "train @bad.csv -i x -o y --epochs 2 ";
    const struct {
        const char* sheet; // written to bad.csv first
        std::string command;
        int code;
        std::string message;
    } cases[] = {
        {"", "", 2, ""},
        {"", "train --help", 0, "--validate"}, // the command's own options
        {"", "--version", 0, "quarrow "},
        {"", "fly", 2, ""},
        {"", "train @missing.csv -i A -o B", 2, "cannot open"},
        {"", "train @colours.csv -i A -o Q", 2,
         "the sheet's columns are A r, B g, C b, D colour, E mode"},
        {"", "train @colours.csv -i A -o D --rate fast", 2, "--rate"},
        {"", "train @colours.csv -i A -o D --rate 2", 2, "--rate"},
        {"", "train @colours.csv -i A -o D --bogus", 2, ""},
        {"", "predict @colours.csv --net @colours.csv", 2, "not a network"},
        {"x,y,m\n1,2,TEST\n2,3,TEST\n", trainX + "-m m", 2, "bad.csv: no TRAIN rows"},
        {"x,y\n1,2\nlow,3\n4,5\n", trainX, 2, "bad.csv: row 3, column A (x): \"low\" is text in"},
        {"x,y\n1,2\nn/a,3\n", trainX, 2, "bad.csv: row 3, column A (x): \"n/a\" is not a value"},
        {"x,y\n1,2\n2,NaN\n", trainX, 2, "bad.csv: row 3, column B (y): \"NaN\" is not a value"},
        {"x,y\n1,2\n-inf,3\n", trainX, 2, "bad.csv: row 3, column A (x): \"-inf\" is not a value"},
        {"x,y\n1,2\n1e300,3\n", trainX, 2, "bad.csv: row 3, column A (x): 1e300 is larger"},
        {"x,y\n1,2\nn/a,3\n4,5\n", trainX + "--symbolic x", 0, "Error history"},
        {"", "evolve @colours.csv -i A,B -o D -m E --score test --networks 2 --epochs 4", 0,
         "warning: --score test"},
        {"", "evolve @plain.csv -i a -o b --score test", 2, "TEST rows"},
        {"", "train @split.csv -i x -o y --split 0.75 --epochs 3", 0, "y, testing rows (2): RMSE"},
    };
    for (const auto& c : cases) {
        if (*c.sheet) Write("bad.csv", c.sheet);
        EXPECT_EQ(Run(c.command), c.code) << c.command << "\n" << err_.str();
        ExpectPrinted(c.message);
    }
}

// Validation rows come from the TRAIN rows only, a share of each class; the weights kept are
// those of the best validation point, so the final validation error is the curve's lowest.
TEST_F(QuarrowRun, ValidationLeavesTestRowsAloneAndKeepsTheBestWeights) {
    std::string sheet = "x,y,c,m\n";
    for (int r = 0; r < 60; ++r)
        sheet += std::to_string(r % 10) + "," + std::to_string((r * 7) % 11) + "," +
                 (r % 3 == 0 ? "a" : "b") + "," + (r % 4 == 0 ? "TEST" : "TRAIN") + "\n";
    Write("v.csv", sheet);
    ASSERT_TRUE(Ok("train @v.csv -i x -o y -m m --margin 0 --validate 0.25 --patience 40 "
                   "--chunk 5 --epochs 400 --hidden 12 --rate 0.9 --quiet --metrics @m.json"));
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
    const size_t curve = json.find("\"validationCurve\":[") + 19;
    double lowest = 1e9;
    for (size_t at = curve; json[at - 1] != ']'; at = json.find_first_of(",]", at) + 1)
        lowest = std::min(lowest, std::stod(json.substr(at)));
    const size_t rmse = json.find("\"rmse\":", json.find("\"set\":\"validation\"")) + 7;
    EXPECT_NEAR(std::stod(json.substr(rmse)) / 10.0, lowest, 1e-12);

    // The same run with the class column as output: every class gives its share.
    // TRAIN rows: 15 of class a, 30 of class b; a quarter of each, rounded.
    ASSERT_TRUE(Ok("train @v.csv -i x:y -o c -m m --validate 0.25 --epochs 5 --quiet "
                   "--metrics @m.json"));
    sets = modes();
    int perClass[2] = {0, 0};
    for (int r = 0; r < 60; ++r)
        perClass[r % 3 == 0 ? 0 : 1] += sets[r] == "VALIDATION";
    EXPECT_EQ(perClass[0], 4);
    EXPECT_EQ(perClass[1], 8);
}

// A symbolic input in either encoding and method: predict and resumed training rebuild the
// network exactly as training built it (with no momentum and no noise, 10 + 10 epochs give the
// weights of 20), and the saved file reads back to the same text.
TEST_F(QuarrowRun, SymbolicInputsRoundTripAndResumeInBothEncodings) {
    std::string sheet = "a,bark,y\n";
    const char* barks[] = {"rough", "smooth", "Flaky"};
    for (int r = 0; r < 12; ++r)
        sheet += std::to_string(r) + "," + barks[r % 3] + "," + std::to_string(r * r % 7) + "\n";
    Write("b.csv", sheet);
    const char* cases[][2] = {{"one-hot --method double", "(19 weights)"}, // 4-3-1
                              {"coded --method fixed", "(13 weights)"}};   // 2-3-1
    for (const auto& c : cases) {
        const std::string train = std::string("train @b.csv -i a,bark -o y --out @t.csv ") +
                                  "--hidden 3 --momentum 0 --input-encoding " + c[0];
        ASSERT_TRUE(Ok(train + " --epochs 10 --save @half.csv"));
        ASSERT_TRUE(Ok(train + " --epochs 20 --save @long.csv"));
        ExpectPrinted(c[1]);
        ASSERT_TRUE(Ok("predict @b.csv --net @long.csv --out @p.csv"));
        EXPECT_EQ(Read("p.csv"), Read("t.csv")) << c[0];
        ASSERT_TRUE(Ok(train + " --epochs 10 --save @resumed.csv --net @half.csv"));
        EXPECT_EQ(Read("resumed.csv"), Read("long.csv")) << c[0];

        NetworkFile net;
        std::string error;
        ASSERT_TRUE(ParseNetworkFile(Read("long.csv"), &net, &error)) << error;
        EXPECT_EQ(net.settings.oneHotInputs, c[0][0] == 'o');
        EXPECT_EQ(NetworkFileText(net), Read("long.csv"));
    }
    Write("other.csv", "a,z,y\n1,2,3\n");
    EXPECT_EQ(Run("train @other.csv -i a,z -o y --net @long.csv"), 2);
    ExpectPrinted("other columns");
}

} // namespace
