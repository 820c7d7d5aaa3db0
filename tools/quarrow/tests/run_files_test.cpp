// The workbook and the page as the commands write them.
#include "cli.h"
#include "csv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::string text, error;
    EXPECT_TRUE(ReadTextFile(path.string(), &text, &error)) << error;
    return text;
}

TEST(RunFiles, TrainPredictAndEvolveWriteThem) {
    fs::path dir = fs::path(::testing::TempDir()) / "run_files";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string sheet = (dir / "sheet.csv").string(), error;
    std::string text = "x,y,kind,mode\n";
    for (int k = 0; k < 12; ++k)
        text += std::to_string(k % 4) + "," + std::to_string(k % 3) + "," +
                (k % 2 ? "odd" : "even") + "," + (k < 9 ? "TRAIN" : "TEST") + "\n";
    ASSERT_TRUE(WriteTextFile(sheet, text, &error)) << error;
    std::string said;
    auto run = [&](std::vector<std::string> args) {
        std::ostringstream out, err;
        int code = RunQuarrow(args, out, err);
        said = err.str();
        return code;
    };
    auto in = [&](const char* name) { return (dir / name).string(); };
    EXPECT_EQ(run({"train", sheet, "--inputs", "x,y", "--outputs", "kind", "--mode", "mode",
                   "--epochs", "20", "--quiet", "--save", in("net.csv"), "--xlsx", in("t.xlsx"),
                   "--report", in("t.html")}),
              0)
        << said;
    EXPECT_EQ(ReadAll(dir / "t.xlsx").substr(0, 2), "PK");
    EXPECT_NE(ReadAll(dir / "t.html").find("Confusion: kind (test)"), std::string::npos);
    EXPECT_EQ(run({"predict", sheet, "--net", in("net.csv"), "--quiet", "--xlsx", in("p.xlsx"),
                   "--report", in("p.html")}),
              0)
        << said;
    EXPECT_NE(ReadAll(dir / "p.html").find("2-"), std::string::npos); // the network's shape
    EXPECT_EQ(
        run({"evolve", sheet, "--inputs", "x,y", "--outputs", "kind", "--search", "breed",
             "--population", "2", "--generations", "1", "--epochs", "5", "--report", in("e.html")}),
        0)
        << said;
    EXPECT_NE(ReadAll(dir / "e.html").find("gen 1 #2"), std::string::npos);
    // A page that cannot be written is a failure with the reason, not a silent success.
    EXPECT_EQ(run({"predict", sheet, "--net", in("net.csv"), "--quiet", "--report",
                   in("no such folder/p.html")}),
              1);
    EXPECT_NE(said.find("no such folder"), std::string::npos) << said;
}

} // namespace
