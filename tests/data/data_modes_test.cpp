#include "data_fixture.h"

namespace {

class SelectDataModeTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_EQ(Build(1, 1, 10, 1, 1, 0, CALC_FIXED16), "OK"); // ten positions
    }
    XLOPER* Select(const std::vector<std::string>& texts, int method, double share) {
        cells = TextCells(texts);
        return SelectDataMode(cells->multi(), int16_t(method), share);
    }
    std::unique_ptr<OwnedCells> cells;
};

// Methods 1 and 2 split every position by a leading share; 4 and 5 read TEST and TRAIN as they
// stand or swapped; no method changes another mode. (Method 3's draws are checked against the
// host's own split.)
TEST_F(SelectDataModeTest, MethodsSplitTheTrainingAndTestingPositions) {
    const std::vector<std::string> train(10, "train");
    const std::vector<std::string> texts = {"Skip", "SYMBOL", "Test", "train", "min",
                                            "max",  "test",   "TEST", "Train", "skip"};
    const struct {
        const std::vector<std::string>& texts;
        int method;
        double share;
        Ints codes;
    } cases[] = {
        {train, 1, 0.7, {0, 0, 0, 0, 0, 0, 0, 1, 1, 1}},
        {train, 2, 0.7, {1, 1, 1, 1, 1, 1, 1, 0, 0, 0}},
        {train, 1, 0.65, {0, 0, 0, 0, 0, 0, 0, 1, 1, 1}}, // 6.5: positions 0 ... 6
        {texts, 4, 0.0, {5, 4, 1, 0, 2, 3, 1, 1, 0, 5}},
        {texts, 5, 0.0, {5, 4, 0, 1, 2, 3, 0, 0, 1, 5}},
    };
    for (const auto& c : cases) {
        const XLOPER* answer = Select(c.texts, c.method, c.share); // the caller's own cells
        EXPECT_EQ(answer->val.array.lparray, &cells->cell(0));
        EXPECT_EQ(Codes(10), c.codes) << c.method << " " << c.share;
    }
    EXPECT_EQ(cells->Text(3), "TRAIN"); // upper-cased in place
    EXPECT_EQ(gNet.dataModeActive, 1);
}

TEST_F(SelectDataModeTest, RefusedCells) {
    const std::string illegal = "Illegal mode type in Mode Flag column";
    for (const char* bad : {"TRAINS", "TRAI", "TRAIX", ""}) {
        std::vector<std::string> texts(10, "test");
        texts[4] = bad;
        EXPECT_EQ(AnswerText(Select(texts, 4, 0.0)), illegal) << bad;
    }
    cells->SetNumber(4, 0.0);
    EXPECT_EQ(AnswerText(SelectDataMode(cells->multi(), 4, 0.0)), illegal);
    EXPECT_EQ(gNet.dataModeActive, 0);

    const std::string bad = "Bad Structure in SelectDataMode";
    EXPECT_EQ(AnswerText(SelectDataMode(nullptr, 1, 0.5)), bad);
    EXPECT_EQ(AnswerText(Select(std::vector<std::string>(9, "test"), 1, 0.5)), bad);
    XLOPER noCells = *cells->multi();
    noCells.val.array.lparray = nullptr;
    EXPECT_EQ(AnswerText(SelectDataMode(&noCells, 1, 0.5)), bad);
    CleanUp();
    EXPECT_EQ(AnswerText(SelectDataMode(cells->multi(), 1, 0.5)),
              "Can't select data modes before Init");
}

TEST_F(SelectDataModeTest, BlankRowsTakeNoMode) {
    ASSERT_EQ(Build(1, 1, 6, 1, 1, 2, CALC_FIXED16), "OK");
    EXPECT_EQ(AnswerText(Select(std::vector<std::string>(6, "test"), 4, 0.0)),
              "More data rows than the network was built for");
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 1, 0, 0, 1, 0}), "OK");
    ASSERT_EQ(Select({"test", "", "train", "test", "", "skip"}, 4, 0.0)->xltype, xltypeMulti);
    cells->SetNumber(4, 3.5);
    ASSERT_EQ(SelectDataMode(cells->multi(), 4, 0.0)->xltype, xltypeMulti);
    EXPECT_EQ(Codes(4), (Ints{1, 0, 1, 5}));
    cells->SetBool(4, false);
    EXPECT_EQ(AnswerText(SelectDataMode(cells->multi(), 4, 0.0)),
              "Non-blank value in a \"blank\" row");
}

} // namespace
