// Whole runs of the host on small sheets, through the library's exports.
#include "commands.h"
#include "csv.h"
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
TEST_F(QuarrowRun, PredictRepeatsTheTrainedNetworkInBothMethods) {
    Write("colours.csv", kColours);
    for (const char* method : {"double", "fixed"}) {
        ASSERT_EQ(Run({"train", Path("colours.csv"), "--inputs", "A,B,C", "--outputs", "colour",
                       "--mode", "mode", "--hidden", "3", "--epochs", "60", "--method", method,
                       "--out", Path("trained.csv"), "--save", Path("net.csv")}),
                  0)
            << err_.str();
        EXPECT_NE(out_.str().find("Error history"), std::string::npos);
        EXPECT_NE(out_.str().find("Weight histogram (16 weights)"), std::string::npos)
            << out_.str();
        ASSERT_EQ(Run({"predict", Path("colours.csv"), "--net", Path("net.csv"), "--out",
                       Path("predicted.csv")}),
                  0)
            << err_.str();
        EXPECT_EQ(Read("predicted.csv"), Read("trained.csv")) << method;

        Worksheet sheet;
        std::string error;
        ASSERT_TRUE(LoadWorksheet(Path("predicted.csv"), &sheet, &error)) << error;
        ASSERT_EQ(sheet.names.back(), "colour predicted");
        EXPECT_TRUE(sheet.at(3, 5).empty()); // the blank row stays empty
        for (int r : {0, 1, 2, 4, 5, 6, 7, 8})
            EXPECT_EQ(sheet.at(r, 5).kind, CellKind::Text) << r;
    }
}

TEST_F(QuarrowRun, PredictWithoutTargetsAndWeightsListing) {
    Write("colours.csv", kColours);
    Write("new.csv", "b,r,g\n0.2,0.8,0.1\n0.9,0.1,0.1\n");
    ASSERT_EQ(Run({"train", Path("colours.csv"), "--inputs", "r,g,b", "--outputs", "colour",
                   "--mode", "E", "--hidden", "0", "--epochs", "20", "--save", Path("net.csv")}),
              0)
        << err_.str();
    ASSERT_EQ(Run({"predict", Path("new.csv"), "--net", Path("net.csv")}), 0) << err_.str();
    EXPECT_NE(out_.str().find("b,r,g,colour predicted"), std::string::npos) << out_.str();
    ASSERT_EQ(Run({"weights", Path("net.csv"), "--bins", "4"}), 0) << err_.str();
    EXPECT_NE(out_.str().find("Layer 1 (outputs)"), std::string::npos) << out_.str();

    Write("far.csv", "b,r,g\n0.2,3.5,0.1\n");
    EXPECT_EQ(Run({"predict", Path("far.csv"), "--net", Path("net.csv")}), 1);
    EXPECT_NE(err_.str().find("outside the range"), std::string::npos) << err_.str();
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
                                            "--validation",  "0.4"};
    for (const char* name : {"pop.csv", "again.csv"}) {
        std::vector<std::string> args = breed;
        args.insert(args.end(), {"--save-pop", Path(name)});
        ASSERT_EQ(Run(args), 0) << err_.str();
    }
    EXPECT_NE(out_.str().find("gen 2 #3"), std::string::npos) << out_.str();
    std::string pop = Read("pop.csv");
    EXPECT_EQ(std::count(pop.begin(), pop.end(), '\n'), 1 + 33 + 17 * 3);
    EXPECT_EQ(Read("again.csv"), pop); // the same seed gives the same run
    std::vector<std::string> args(breed.begin(), breed.begin() + 10);
    args.insert(args.end(), {"--generations", "1", "--epochs", "10", "--validation", "0.4",
                             "--load-pop", Path("pop.csv")});
    ASSERT_EQ(Run(args), 0) << err_.str();
    EXPECT_NE(out_.str().find("population of 3 loaded"), std::string::npos);
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
            EXPECT_EQ(err_.str(), "");
            // Progress lines without their time estimates, up to the winner's training rows.
            std::istringstream lines(Between(out_.str(), "scored on", "testing rows"));
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
    const std::string testFigure = Between(report, "; testing rows ", "\n");
    ASSERT_NE(testFigure, "") << report;
    std::istringstream command(Between(report, "quarrow train ", "\n"));
    std::vector<std::string> args = {"train"};
    for (std::string word; command >> word;)
        args.push_back(word);
    args.insert(args.end(), {"--save", Path("rebuilt.csv")});
    ASSERT_EQ(Run(args), 0) << err_.str();
    EXPECT_EQ(Read("rebuilt.csv"), Read("winner.csv"));
    EXPECT_EQ(Between(out_.str(), "; testing rows ", "\n"), testFigure);

    std::string testRows = "a,b,c,y\n";
    std::istringstream rows(EvolveSheet(false));
    for (std::string row; std::getline(rows, row);)
        if (row.find(",TEST") != std::string::npos)
            testRows += row.substr(0, row.rfind(',')) + "\n";
    Write("test_rows.csv", testRows);
    ASSERT_EQ(Run({"predict", Path("test_rows.csv"), "--net", Path("winner.csv")}), 0)
        << err_.str();
    EXPECT_NE(out_.str().find("y: " + testFigure), std::string::npos) << out_.str() << testFigure;
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
    for (const char* method : {"double", "fixed"}) {
        ASSERT_EQ(Run({"train", Path("sizes.csv"), "--inputs", "size,weight", "--outputs", "fit",
                       "--mode", "mode", "--epochs", "40", "--method", method, "--out",
                       Path("trained.csv"), "--save", Path("net.csv")}),
                  0)
            << err_.str();
        ASSERT_EQ(Run({"predict", Path("sizes.csv"), "--net", Path("net.csv"), "--out",
                       Path("predicted.csv")}),
                  0)
            << err_.str();
        EXPECT_EQ(Read("predicted.csv"), Read("trained.csv")) << method;
        ASSERT_EQ(Run({"predict", Path("new.csv"), "--net", Path("net.csv")}), 0) << err_.str();
    }
    std::string net = Read("net.csv");
    EXPECT_NE(net.find("input,size,-0.2,4.2,\"S,M,L,XL\""), std::string::npos) << net;
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
    EXPECT_NE(out_.str().find("training rows RMS error"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("over 6 rows; testing rows"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("over 2 rows\n"), std::string::npos) << out_.str();
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
    EXPECT_NE(out_.str().find("quarrow train"), std::string::npos);
    EXPECT_EQ(Run({"fly"}), 2);
    EXPECT_EQ(Run({"train", Path("missing.csv"), "--inputs", "A", "--outputs", "B"}), 2);
    EXPECT_NE(err_.str().find("cannot open"), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"train", Path("colours.csv"), "--inputs", "A", "--outputs", "Q"}), 2);
    EXPECT_NE(err_.str().find("past the last column"), std::string::npos) << err_.str();
    EXPECT_EQ(
        Run({"train", Path("colours.csv"), "--inputs", "A", "--outputs", "D", "--rate", "fast"}),
        2);
    EXPECT_NE(err_.str().find("--rate"), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"train", Path("colours.csv"), "--inputs", "A", "--outputs", "D", "--bogus"}), 2);
    EXPECT_EQ(Run({"predict", Path("colours.csv"), "--net", Path("colours.csv")}), 2);
    EXPECT_NE(err_.str().find("not a network"), std::string::npos) << err_.str();
}

} // namespace
