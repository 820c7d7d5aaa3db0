#include "data/symbols.h"
#include "data_fixture.h"
#include "platform/platform.h"

#include <cstring>
#include <limits>

namespace {

// A byte-counted copy of a text, as a cell holds it.
std::vector<unsigned char> Counted(const std::string& text) {
    std::vector<unsigned char> counted(text.size() + 1);
    counted[0] = static_cast<unsigned char>(text.size());
    std::memcpy(counted.data() + 1, text.data(), text.size());
    return counted;
}

double ValueOf(int type, int index, const std::string& cell) {
    return SymbolValue(type, index, Counted(cell).data());
}

std::string SetSymbols(int type, int index, std::string list) {
    std::vector<char> text(list.begin(), list.end());
    text.push_back('\0');
    return SetColumnSymbols(type, index, text.data());
}

std::string SymbolText(const unsigned char* entry) {
    return entry == nullptr ? "<numeric>" : CountedText(entry);
}

class SymbolsTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_EQ(Build(2, 2, 4, 1, 1, 0, CALC_DOUBLE), "OK");
    }
};

TEST(SymbolListTest, CountsItemsIncludingEmptyOnes) {
    EXPECT_EQ(CountSymbols(nullptr), 0);
    EXPECT_EQ(CountSymbols(""), 1);
    EXPECT_EQ(CountSymbols("A,,B"), 3);
    EXPECT_EQ(CountSymbols(",red, green,"), 4);
}

TEST_F(SymbolsTest, LeadingBlanksAreSkippedAndTrailingOnesKept) {
    ASSERT_EQ(SetSymbols(COLUMN_INPUT, 1, "red, green ,\tblue"), "OK");
    EXPECT_EQ(ValueOf(COLUMN_INPUT, 1, "RED"), 0.5);
    EXPECT_EQ(ValueOf(COLUMN_INPUT, 1, "green "), 1.5);
    EXPECT_EQ(ValueOf(COLUMN_INPUT, 1, "Green"), 0.0);
    EXPECT_EQ(ValueOf(COLUMN_INPUT, 1, "bLuE"), 2.5);
    EXPECT_EQ(ValueOf(COLUMN_INPUT, 0, "RED"), 0.0); // another column stays numeric
    EXPECT_EQ(ValueOf(COLUMN_OUTPUT, 1, "RED"), 0.0);
}

TEST_F(SymbolsTest, RunsOfCommasSeparateOnce) {
    ASSERT_EQ(SetSymbols(COLUMN_OUTPUT, 0, ",A,,B,"), "OK");
    EXPECT_EQ(ValueOf(COLUMN_OUTPUT, 0, "a"), 0.5);
    EXPECT_EQ(ValueOf(COLUMN_OUTPUT, 0, "b"), 1.5);
    EXPECT_EQ(SymbolText(SymbolAt(0, 2.0)), "Value out of range");
}

TEST_F(SymbolsTest, AnEmptyItemIsAMissingSymbolAndKeepsTheItemsBeforeIt) {
    EXPECT_EQ(SetSymbols(COLUMN_OUTPUT, 0, "A, ,B"), "Missing Symbol");
    EXPECT_EQ(ValueOf(COLUMN_OUTPUT, 0, "A"), 0.5);
    EXPECT_EQ(ValueOf(COLUMN_OUTPUT, 0, "B"), 0.0);
    EXPECT_EQ(SymbolText(SymbolAt(0, 1.2)), "Value out of range");
    EXPECT_EQ(SetSymbols(COLUMN_OUTPUT, 1, " "), "Missing Symbol");
}

TEST_F(SymbolsTest, LongSymbolsKeepTheirFirstFifteenCharacters) {
    ASSERT_EQ(SetSymbols(COLUMN_INPUT, 0, "abcdefghijklmnopqrst,x"), "OK");
    EXPECT_EQ(ValueOf(COLUMN_INPUT, 0, "abcdefghijklmnopqrst"), 0.0);
    EXPECT_EQ(ValueOf(COLUMN_INPUT, 0, "ABCDEFGHIJKLMNO"), 0.5);
    EXPECT_EQ(ValueOf(COLUMN_INPUT, 0, "X"), 1.5);
}

TEST_F(SymbolsTest, ValuesTurnBackIntoTheSymbolOfTheirBand) {
    ASSERT_EQ(SetSymbols(COLUMN_OUTPUT, 1, "A,B,C"), "OK");
    EXPECT_EQ(SymbolText(SymbolAt(1, -0.9)), "A");
    EXPECT_EQ(SymbolText(SymbolAt(1, 0.99)), "A");
    EXPECT_EQ(SymbolText(SymbolAt(1, 1.0)), "B");
    EXPECT_EQ(SymbolText(SymbolAt(1, 2.9)), "C");
    EXPECT_EQ(SymbolText(SymbolAt(1, 3.0)), "Value out of range");
    EXPECT_EQ(SymbolText(SymbolAt(1, -1.0)), "Value out of range");
    EXPECT_EQ(SymbolText(SymbolAt(1, 1e300)), "Value out of range");
    EXPECT_EQ(SymbolText(SymbolAt(1, std::numeric_limits<double>::quiet_NaN())),
              "Value out of range");
    EXPECT_EQ(SymbolText(SymbolAt(0, 1.0)), "<numeric>");
    EXPECT_EQ(SymbolText(SymbolAt(2, 1.0)), "<numeric>");
    EXPECT_EQ(SymbolText(SymbolAt(-1, 1.0)), "<numeric>");
}

TEST_F(SymbolsTest, ANewListReplacesTheTableAndNoListMakesTheColumnNumeric) {
    int32_t blocks = PlatformLiveBlocks();
    ASSERT_EQ(SetSymbols(COLUMN_OUTPUT, 0, "A,B"), "OK");
    ASSERT_EQ(SetSymbols(COLUMN_OUTPUT, 0, "X,Y,Z"), "OK");
    EXPECT_EQ(ValueOf(COLUMN_OUTPUT, 0, "A"), 0.0);
    EXPECT_EQ(ValueOf(COLUMN_OUTPUT, 0, "Z"), 2.5);
    EXPECT_EQ(PlatformLiveBlocks(), blocks + 1);
    EXPECT_STREQ(SetColumnSymbols(COLUMN_OUTPUT, 0, nullptr), "OK");
    EXPECT_EQ(SymbolAt(0, 1.0), nullptr);
    EXPECT_EQ(PlatformLiveBlocks(), blocks);
}

TEST_F(SymbolsTest, RefusalsAndAFailedAllocation) {
    char list[] = "A,B";
    EXPECT_STREQ(SetColumnSymbols(COLUMN_MODE_FLAG, 0, list), "Invalid column type");
    EXPECT_STREQ(SetColumnSymbols(COLUMN_INPUT, 2, list), "Incorrect index");
    EXPECT_STREQ(SetColumnSymbols(COLUMN_OUTPUT, -1, list), "Incorrect index");

    ASSERT_STREQ(SetColumnSymbols(COLUMN_OUTPUT, 0, list), "OK");
    int32_t blocks = PlatformLiveBlocks();
    PlatformFailAllocation(1);
    char other[] = "X,Y";
    EXPECT_STREQ(SetColumnSymbols(COLUMN_OUTPUT, 0, other), "Insufficient memory for symbols.");
    EXPECT_EQ(SymbolAt(0, 0.5), nullptr);
    EXPECT_EQ(PlatformLiveBlocks(), blocks - 1);

    CleanUp();
    EXPECT_STREQ(SetColumnSymbols(COLUMN_OUTPUT, 0, other), "Can't set symbols before Init");
    EXPECT_EQ(SymbolAt(0, 0.5), nullptr);
    EXPECT_EQ(ValueOf(COLUMN_OUTPUT, 0, "X"), 0.0);
}

TEST(ModeWordTest, ModeWordsReadAsTheirCodes) {
    EXPECT_EQ(ValueOf(COLUMN_MODE_FLAG, 0, "train"), 0.0);
    EXPECT_EQ(ValueOf(COLUMN_MODE_FLAG, 0, "Test"), 1.0);
    EXPECT_EQ(ValueOf(COLUMN_MODE_FLAG, 9, "min"), 2.0);
    EXPECT_EQ(ValueOf(COLUMN_MODE_FLAG, 0, "MAX"), 3.0);
    EXPECT_EQ(ValueOf(COLUMN_MODE_FLAG, 0, "Symbol"), 4.0);
    EXPECT_EQ(ValueOf(COLUMN_MODE_FLAG, 0, "skip"), 5.0);
    EXPECT_EQ(ValueOf(COLUMN_MODE_FLAG, 0, "SKIPPED"), 0.0);
    EXPECT_EQ(ValueOf(COLUMN_BLANK_FLAG, 0, "SKIP"), 0.0);
    EXPECT_EQ(ModeWordCode(Counted("skip").data()), 5);
    for (const char* word : {"TRAINS", "TRAI", "TRAIX", "", " TEST"})
        EXPECT_EQ(ModeWordCode(Counted(word).data()), -1) << word;
}

} // namespace
