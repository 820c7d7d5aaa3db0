// Whole runs of the host on small sheets, through the library's exports.
#include "commands.h"
#include "network_file.h"
#include "recall.h"
#include "sheet_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

class QuarrowRun : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = Scratch("quarrow_run").string(); }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) { return dir_ + "/" + name; }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(Path(name), std::ios::binary) << text;
    }
    std::string Read(const std::string& name) {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // A command line as typed; "@name" is that file in the test's folder.
    int Run(const std::string& command) {
        std::vector<std::string> args;
        std::istringstream words(command);
        for (std::string w; words >> w;)
            args.push_back(w[0] == '@' ? Path(w.substr(1)) : w);
        out_.str("");
        err_.str("");
        return RunQuarrow(args, out_, err_);
    }
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

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
    const size_t a = text.find(from);
    const size_t b = text.find(to, a == std::string::npos ? 0 : a + from.size());
    if (a == std::string::npos || b == std::string::npos) return "";
    return text.substr(a + from.size(), b - a - from.size());
}

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
        EXPECT_NE(Read("predicted.csv").find("\n,,,,,\n"), std::string::npos); // the blank row
        EXPECT_EQ(Read("predicted.csv").find("RED"), std::string::npos); // as the sheet writes it
    }
    // The results workbook's Data sheet trains the network its CSV twin trains.
    ASSERT_TRUE(Ok("train @t.xlsx --sheet Data -i A:C -o colour -m mode --hidden 3 --epochs 60 "
                   "--encoding coded --method fixed --save @xlsx.net"));
    EXPECT_EQ(Read("xlsx.net"), Read("net.csv"));
    EXPECT_NE(Read("t.html").find("Confusion: colour (test)"), std::string::npos);
    EXPECT_NE(Read("p.html").find("3-"), std::string::npos); // the network's shape
    // A row outside the trained range is predicted at the range's edge and flagged.
    Write("far.csv", "b,r,g\n0.2,3.5,0.1\n0.2,0.5,0.1\n");
    ASSERT_TRUE(Ok("predict @far.csv --net @net.csv --out @p.csv"));
    EXPECT_NE(Read("p.csv").find("outside trained range\n0.2,3.5,0.1,"), std::string::npos);
    EXPECT_NE(Read("p.csv").find(",yes\n0.2,0.5,0.1,"), std::string::npos) << Read("p.csv");
}

// A saved population is trained on, and checked against the command line's limits first.
TEST_F(QuarrowRun, EvolveKeepsItsPopulation) {
    Write("colours.csv", kColours);
    const std::string breed = "evolve @colours.csv -i A,B,C -o D -m E --search breed --epochs 10 ";
    ASSERT_TRUE(Ok(breed + "--population 3 --generations 2 --validate 0.4 --save-pop @pop.csv"));
    ASSERT_TRUE(Ok(breed + "--generations 1 --validate 0.4 --load-pop @pop.csv --report @e.html"));
    ExpectPrinted("population of 3 loaded");
    EXPECT_NE(Read("e.html").find("gen 1 #3"), std::string::npos);

    // The saved population with some of its cells (counted from 0 below the names row) changed.
    const std::string pop = Read("pop.csv");
    ASSERT_EQ(std::count(pop.begin(), pop.end(), '\n'), 1 + 33 + 17 * 3);
    auto changed = [&](std::vector<std::pair<int, const char*>> cells) {
        std::istringstream rows(pop);
        std::string text, row;
        for (int k = -1; std::getline(rows, row); ++k) {
            for (const auto& [at, value] : cells)
                row = at == k ? value : row;
            text += row + "\n";
        }
        return text;
    };
    std::string tooLong = pop; // cut to 16 bits the count would land on the same valid column
    for (int k = 0; k < 65536; ++k)
        tooLong += "0\n";
    // Training mode 2 with 1e9 epochs for the population and each of its three schemas.
    const auto untrainable =
        changed({{26, "2"}, {27, "1e9"}, {49, "1e9"}, {66, "1e9"}, {83, "1e9"}});
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {untrainable, "--epochs allows 1 to 32767"},
        {changed({{26, "1"}}), "training mode is 1;"},
        {changed({{22, "2000"}}), "size is 2000; --population allows 1 to 1000"},
        {changed({{8, "6"}}), "--max-layers allows 2 to 5"},
        {changed({{10, "70000"}}), "second hidden size is 70000"},
        {tooLong, "at most 65535"},
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

// Shuffling the TEST rows' targets changes nothing the search saw or chose. The printed train
// command rebuilds the winner, which predicts the TEST rows as the search's report says.
TEST_F(QuarrowRun, EvolveNeverLooksAtTestRowsAndItsWinnerIsRebuilt) {
    for (bool modeColumn : {false, true}) {
        std::string seen[2], nets[2];
        for (int shuffled : {0, 1}) {
            Write("sheet.csv", EvolveSheet(shuffled, modeColumn));
            ASSERT_TRUE(Ok(std::string("evolve @sheet.csv -i a,b,c -o y --search halving ") +
                           "--networks 3 --epochs 45 --max-noise 0.05 --save @winner.csv " +
                           (modeColumn ? "-m mode" : "--split 0.8")));
            // Progress lines without their time estimates, up to the winner's training.
            std::istringstream lines(Between(out_.str(), "ranked on", "The winner, trained by"));
            for (std::string line; std::getline(lines, line);)
                seen[shuffled] += line.substr(0, line.find(" left ")) + "\n";
            nets[shuffled] = Read("winner.csv");
        }
        EXPECT_NE(seen[0].find("the 8 TEST rows stay unseen"), std::string::npos) << seen[0];
        EXPECT_EQ(seen[0], seen[1]) << modeColumn;
        EXPECT_EQ(nets[0], nets[1]) << modeColumn;
    }
    // The last run's sheet (mode column, shuffled TEST targets) and winner stay in place.
    const std::string report = out_.str();
    ASSERT_TRUE(Ok("train " + Between(report, "quarrow train ", "\n") + " --save @rebuilt.csv"));
    EXPECT_EQ(Read("rebuilt.csv"), Read("winner.csv"));

    ASSERT_TRUE(Ok("predict @sheet.csv --net @winner.csv"));
    const std::string testFigure = Between(report, "y, testing rows (8): ", "\n");
    ASSERT_NE(testFigure, "") << report;
    ExpectPrinted("y, testing rows (8): " + testFigure);
}

// More than 5440 weights travel in two pages; with a window and a pattern step, a recall in
// pieces of any size gives the outputs of one recall.
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
    ExpectPrinted("y, all rows (");
    EXPECT_EQ(Read("predicted.csv"), Read("trained.csv"));

    NetworkFile net;
    std::string error;
    ASSERT_TRUE(LoadNetworkFile(Path("net.csv"), &net, &error)) << error;
    RangeRequest request;
    request.recall = true;
    request.window = 2;
    request.columns = ColumnChoice{{0, 1}, {2}, -1};
    request.inputBounds = net.inputBounds;
    request.outputBounds = net.outputBounds;
    Range range;
    ASSERT_TRUE(BuildRange(Sheet(text), request, &range, &error)) << error;
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

// Each run's exit code and the line that tells the user why.
TEST_F(QuarrowRun, CommandsAnswerWithTheirCodeAndMessage) {
    Write("colours.csv", kColours);
    ASSERT_TRUE(Ok("train @colours.csv -i A:C -o colour -m mode --hidden 3 --epochs 5 "
                   "--encoding coded --save @net.csv --xlsx @t.xlsx"));
    // The saved network (3-3-1, 16 weights) damaged in a few ways.
    const std::string net = Read("net.csv");
    const size_t lastRow = net.rfind('\n', net.size() - 2) + 1;
    auto edited = [&](size_t at, size_t size, const std::string& to) {
        return std::string(net).replace(at, size, to);
    };
    const std::string trainX = "train @bad.csv -i x -o y --epochs 2 ";
    const std::string predictBad = "predict @colours.csv --net @bad.csv";
    const struct {
        std::string sheet; // written to bad.csv first
        std::string command;
        int code;
        std::string message;
    } cases[] = {
        {"", "train @missing.csv -i A -o B", 2, "cannot open"},
        {"", "train @colours.csv -i A,,B -o colour", 2, "--inputs: \"A,,B\" has an empty item"},
        {"", "train @colours.csv -i A -o colour --rate 2", 2, "--rate: Value 2 not in range"},
        {"", "train @colours.csv -i A -o Q", 2,
         "the sheet's columns are A r, B g, C b, D colour, E mode"},
        {"", "train @t.xlsx --sheet Other -i A:C -o colour", 2,
         "its sheets are \"Data\", \"Figures\""},
        {"", "predict @colours.csv --net @colours.csv", 2, "not a network"},
        {"", "predict @colours.csv --net @net.csv --report @no_folder/p.html", 1, "no_folder"},
        {"", "weights @net.csv --bins 4", 0, "Layer 2 (outputs)"},
        // No targets and the columns in another order; a row outside the trained range refused.
        {"b,r,g\n0.2,0.8,0.1\n", "predict @bad.csv --net @net.csv", 0, "b,r,g,colour predicted"},
        {"b,r,g\n0.2,3.5,0.1\n", "predict @bad.csv --net @net.csv --strict", 2,
         "row 2, column B (r): 3.5 lies outside"},
        {"r,z,b,colour\n1,2,3,red\n", "train @bad.csv -i A:C -o colour --net @net.csv", 2,
         "was trained on other columns"},
        {net.substr(0, lastRow), predictBad, 2, "should hold 16 weights"},
        {edited(lastRow, 1, "z"), predictBad, 2, "is not a weight"},
        {edited(net.find("weights,16"), 10, "weights,15"), predictBad, 2,
         "announces 15 weights, the rows hold 16"},
        {edited(net.find("hidden,3"), 8, "hidden,0"), predictBad, 2, "bad value for hidden"},
        {"x,y,m\n1,2,TEST\n2,3,TEST\n", trainX + "-m m", 2, "bad.csv: no TRAIN rows"},
        {"x,y\n1,2\nlow,3\n4,5\n", trainX, 2, "bad.csv: row 3, column A (x): \"low\" is text in"},
        {"x,y\n1,2\nn/a,3\n", trainX, 2, "bad.csv: row 3, column A (x): \"n/a\" is not a value"},
        {"x,y\n1,2\n2,NaN\n", trainX, 2, "bad.csv: row 3, column B (y): \"NaN\" is not a value"},
        {"x,y\n1,2\n1e300,3\n", trainX, 2, "bad.csv: row 3, column A (x): 1e300 is larger"},
        {"x,y\n1,2\nn/a,3\n4,5\n", trainX + "--symbolic x", 0, "Error history"},
        {"", "evolve @colours.csv -i A,B -o D -m E --score test --networks 2 --epochs 4", 0,
         "warning: --score test"},
        {"a,b\n1,2\n2,4\n", "evolve @bad.csv -i a -o b --score test", 2, "TEST rows"},
        // A shuffled split draws among the seven TRAIN and TEST rows; the SKIP row stays out.
        {"", "train @colours.csv -i A:C -o colour -m mode --split 0.8 --shuffle --epochs 2", 0,
         "split     6 train"},
    };
    for (const auto& c : cases) {
        if (!c.sheet.empty()) Write("bad.csv", c.sheet);
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
    // How many of the sheet rows that `pick` accepts are validation rows.
    auto validation = [&](auto pick) {
        std::istringstream modes(Between(Read("m.json"), "\"modes\":[\"", "\"]"));
        int r = 0, n = 0;
        for (std::string w; std::getline(modes, w, '"');)
            if (w != ",") {
                EXPECT_EQ(w == "TEST", r % 4 == 0) << r; // TEST rows stay TEST rows
                n += pick(r++) && w == "VALIDATION";
            }
        EXPECT_EQ(r, 60); // every sheet row has its word
        return n;
    };
    EXPECT_EQ(validation([](int) { return true; }), 11); // a quarter of the 45 TRAIN rows
    const std::string json = Read("m.json");
    EXPECT_NE(json.find("\"stopRule\":\"validation patience"), std::string::npos) << json;
    // y spans 0 .. 10 with no margin: validation RMSE / 10 is the 0..1 error.
    std::istringstream curve(Between(json, "\"validationCurve\":[", "]"));
    double lowest = 1e9;
    for (std::string v; std::getline(curve, v, ',');)
        lowest = std::min(lowest, std::stod(v));
    const size_t rmse = json.find("\"rmse\":", json.find("\"set\":\"validation\"")) + 7;
    EXPECT_NEAR(std::stod(json.substr(rmse)) / 10.0, lowest, 1e-12);

    // A class output: a quarter of each class's TRAIN rows (15 a, 30 b), rounded.
    ASSERT_TRUE(Ok("train @v.csv -i x:y -o c -m m --validate 0.25 --epochs 5 --quiet "
                   "--metrics @m.json"));
    EXPECT_EQ(validation([](int r) { return r % 3 == 0; }), 4);
    EXPECT_EQ(validation([](int r) { return r % 3 != 0; }), 8);
}

// A symbolic input, with the sheet's own SYMBOL, MIN and MAX rows and a class that looks like a
// number: predict and resumed training (10 + 10 epochs, no momentum) rebuild the network in
// either encoding and method, and the saved file reads back to the same text.
TEST_F(QuarrowRun, SymbolicInputsRoundTripAndResumeInBothEncodings) {
    std::string sheet = "a,bark,y,m\n,\"rough,2,flaky\",,SYMBOL\n-1,rough,0,MIN\n12,Flaky,7,MAX\n";
    const char* barks[] = {"rough", "2", "Flaky"};
    for (int r = 0; r < 12; ++r)
        sheet +=
            std::to_string(r) + "," + barks[r % 3] + "," + std::to_string(r * r % 7) + ",TRAIN\n";
    Write("b.csv", sheet);
    const char* cases[][2] = {{"one-hot --method double", "(19 weights)"}, // 4-3-1
                              {"coded --method fixed", "(13 weights)"}};   // 2-3-1
    for (const auto& c : cases) {
        const std::string train = std::string("train @b.csv -i a,bark -o y -m m --out @t.csv ") +
                                  "--hidden 3 --momentum 0 --test-tolerance 0.2 --symbolic bark " +
                                  "--input-encoding " + c[0];
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
        EXPECT_EQ(NetworkFileText(net), Read("long.csv"));
        // Bark spans the bands of rough (0 to 1) to flaky (2 to 3), widened by 0.05 x 3.
        EXPECT_NE(Read("long.csv")
                      .find("input,bark," + ExactNumber(0.0 - 3 * 0.05) + "," +
                            ExactNumber(3.0 + 3 * 0.05) + ",\"rough,2,flaky\""),
                  std::string::npos);
    }
}

} // namespace
