#include "data_fixture.h"
#include "engine/random.h"

namespace {

std::string AnswerText(const XLOPER* answer) {
    return answer != nullptr && answer->xltype == xltypeStr ? CountedText(answer->val.str)
                                                            : "<not a text>";
}

class SelectDataModeTest : public LibraryTest {
  protected:
    // Ten pattern positions, no blank rows.
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_EQ(Build(1, 1, 10, 1, 1, 0, CALC_FIXED16), "OK");
    }
    XLOPER* Select(const std::vector<std::string>& texts, int method, double share) {
        cells = std::make_unique<OwnedCells>(texts.size());
        FillTexts(*cells, texts);
        return SelectDataMode(cells->multi(), int16_t(method), share);
    }
    std::unique_ptr<OwnedCells> cells;
};

TEST_F(SelectDataModeTest, LeadingSharesGoToTrainingOrTesting) {
    std::vector<std::string> train(10, "train");
    XLOPER* answer = Select(train, 1, 0.7);
    ASSERT_EQ(answer->xltype, xltypeMulti);
    EXPECT_EQ(answer->val.array.lparray, &cells->cell(0));
    EXPECT_EQ(answer->val.array.rows, 10);
    EXPECT_EQ(answer->val.array.columns, 1);
    EXPECT_EQ(cells->Text(3), "TRAIN"); // upper-cased in place
    EXPECT_EQ(PatternCodes(10), (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(gNet.dataModeActive, 1);

    Select(train, 2, 0.7);
    EXPECT_EQ(PatternCodes(10), (std::vector<int32_t>{1, 1, 1, 1, 1, 1, 1, 0, 0, 0}));
    // 10 x 0.65 = 6.5: positions 0 ... 6 lie below it.
    Select(train, 1, 0.65);
    EXPECT_EQ(PatternCodes(10), (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0, 1, 1, 1}));
}

TEST_F(SelectDataModeTest, OtherCodesKeepTheirModeUnderEveryMethod) {
    std::vector<std::string> texts = {"Skip", "SYMBOL", "Test", "train", "min",
                                      "max",  "test",   "TEST", "Train", "skip"};
    Select(texts, 4, 0.0);
    EXPECT_EQ(PatternCodes(10), (std::vector<int32_t>{5, 4, 1, 0, 2, 3, 1, 1, 0, 5}));
    Select(texts, 5, 0.0);
    EXPECT_EQ(PatternCodes(10), (std::vector<int32_t>{5, 4, 0, 1, 2, 3, 0, 0, 1, 5}));
    Select(texts, 1, 1.0);
    EXPECT_EQ(PatternCodes(10), (std::vector<int32_t>{5, 4, 0, 0, 2, 3, 0, 0, 0, 5}));
    Select(texts, 9, 0.5);
    EXPECT_EQ(PatternCodes(10), (std::vector<int32_t>{5, 4, 1, 0, 2, 3, 1, 1, 0, 5}));
}

TEST_F(SelectDataModeTest, RandomSplitDrawsOncePerTrainingOrTestingPosition) {
    std::vector<std::string> texts = {"skip",  "train", "test", "train", "max",
                                      "train", "train", "test", "skip",  "train"};
    Select(texts, 3, 0.0);
    EXPECT_EQ(PatternCodes(10), (std::vector<int32_t>{5, 1, 1, 1, 3, 1, 1, 1, 5, 1}));
    Select(texts, 3, 32768.0);
    EXPECT_EQ(PatternCodes(10), (std::vector<int32_t>{5, 0, 0, 0, 3, 0, 0, 0, 5, 0}));

    SeedRandom(7);
    Select(texts, 3, 16384.0);
    SeedRandom(7);
    std::vector<int32_t> expected = {5, 0, 0, 0, 3, 0, 0, 0, 5, 0};
    for (int32_t i : {1, 2, 3, 5, 6, 7, 9})
        expected[size_t(i)] = NextRandom() < 16384 ? 0 : 1;
    EXPECT_EQ(PatternCodes(10), expected);
    uint32_t after = RandomState();
    SeedRandom(7);
    for (int k = 0; k < 7; ++k)
        NextRandom();
    EXPECT_EQ(RandomState(), after);
}

TEST_F(SelectDataModeTest, CellsThatAreNoModeWordAreRefused) {
    for (const char* bad : {"TRAINS", "TRAI", "TRAIX"}) {
        std::vector<std::string> texts(10, "test");
        texts[4] = bad;
        EXPECT_EQ(AnswerText(Select(texts, 4, 0.0)), "Illegal mode type in Mode Flag column");
    }
    std::vector<std::string> texts(10, "test");
    cells = std::make_unique<OwnedCells>(10);
    FillTexts(*cells, texts);
    cells->SetNumber(2, 0.0);
    EXPECT_EQ(AnswerText(SelectDataMode(cells->multi(), 4, 0.0)),
              "Illegal mode type in Mode Flag column");
    cells->SetNil(2);
    EXPECT_EQ(AnswerText(SelectDataMode(cells->multi(), 4, 0.0)),
              "Illegal mode type in Mode Flag column");
    EXPECT_EQ(gNet.dataModeActive, 0);
}

TEST_F(SelectDataModeTest, BadStructureIsRefusedBeforeAnythingChanges) {
    const std::string bad = "Bad Structure in SelectDataMode";
    EXPECT_EQ(AnswerText(SelectDataMode(nullptr, 1, 0.5)), bad);
    OwnedCells shortColumn(9);
    EXPECT_EQ(AnswerText(SelectDataMode(shortColumn.multi(), 1, 0.5)), bad);
    OwnedCells wide(10, 2);
    EXPECT_EQ(AnswerText(SelectDataMode(wide.multi(), 1, 0.5)), bad);
    OwnedCells column(10);
    XLOPER noCells = *column.multi();
    noCells.val.array.lparray = nullptr;
    EXPECT_EQ(AnswerText(SelectDataMode(&noCells, 1, 0.5)), bad);
    XLOPER number{};
    number.xltype = xltypeNum;
    EXPECT_EQ(AnswerText(SelectDataMode(&number, 1, 0.5)), bad);
    EXPECT_EQ(gNet.dataModeActive, 0);

    CleanUp();
    EXPECT_EQ(AnswerText(SelectDataMode(column.multi(), 1, 0.5)),
              "Can't select data modes before Init");
}

TEST_F(SelectDataModeTest, BlankRowsTakeNumbersOrNothingAndStoreNoCode) {
    ASSERT_EQ(Build(1, 1, 6, 1, 1, 2, CALC_FIXED16), "OK");
    ASSERT_EQ(Load(COLUMN_BLANK_FLAG, 0, {0, 1, 0, 0, 1, 0}), "OK");
    cells = std::make_unique<OwnedCells>(6);
    FillTexts(*cells, {"test", "", "train", "test", "", "skip"});
    cells->SetNumber(4, 3.5);
    ASSERT_EQ(SelectDataMode(cells->multi(), 4, 0.0)->xltype, xltypeMulti);
    EXPECT_EQ(PatternCodes(4), (std::vector<int32_t>{1, 0, 1, 5}));

    for (int type : {xltypeStr, xltypeBool, xltypeErr}) {
        if (type == xltypeStr) cells->SetString(4, "TEST");
        if (type == xltypeBool) cells->SetBool(4, false);
        if (type == xltypeErr) cells->SetError(4, 7);
        EXPECT_EQ(AnswerText(SelectDataMode(cells->multi(), 4, 0.0)),
                  "Non-blank value in a \"blank\" row");
    }
}

TEST_F(SelectDataModeTest, ALongerWindowReadsOnlyThePatternPositions) {
    ASSERT_EQ(Build(1, 1, 10, 3, 1, 0, CALC_FIXED16), "OK");
    std::vector<std::string> texts(10, "test");
    texts[8] = "not a mode";
    texts[9] = "";
    ASSERT_EQ(Select(texts, 4, 0.0)->xltype, xltypeMulti);
    EXPECT_EQ(PatternCodes(8), std::vector<int32_t>(8, 1));
    EXPECT_EQ(AnswerText(Select(std::vector<std::string>(9, "test"), 4, 0.0)),
              "Bad Structure in SelectDataMode");
}

TEST_F(SelectDataModeTest, MissingBlankFlagColumnIsRefusedWhenBlankRowsWereAnnounced) {
    ASSERT_EQ(Build(1, 1, 6, 1, 1, 1, CALC_FIXED16), "OK");
    EXPECT_EQ(AnswerText(Select(std::vector<std::string>(6, "test"), 4, 0.0)),
              "More data rows than the network was built for");
    EXPECT_EQ(PatternCodes(5), std::vector<int32_t>(5, 0));
}

TEST_F(SelectDataModeTest, BlankFlagsAfterInitAreAllZeroAndNullWithoutANetwork) {
    ASSERT_EQ(Build(1, 1, 10, 3, 1, 0, CALC_FIXED16), "OK");
    FP* flags = GetBlankFlags();
    ASSERT_NE(flags, nullptr);
    EXPECT_EQ(flags->rows, 8);
    EXPECT_EQ(flags->columns, 1);
    EXPECT_EQ(PositionFlags(), std::vector<double>(8, 0.0));
    CleanUp();
    EXPECT_EQ(GetBlankFlags(), nullptr);
}

} // namespace
