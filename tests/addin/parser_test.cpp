#include "quar1432.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
    double rows[4];
};

Parsed ParseLists(const char* a, const char* b, const char* c, const char* d) {
    FP* fp = Parse(a, b, c, d);
    EXPECT_EQ(fp->rows, 4);
    EXPECT_EQ(fp->columns, 1);
    Parsed p;
    for (int k = 0; k < 4; ++k)
        p.rows[k] = fp->array[k];
    return p;
}

std::vector<std::string> Names(int n) {
    std::vector<std::string> names;
    for (int k = 0; k < n; ++k)
        names.push_back(GetParsed());
    return names;
}

void ExpectCounts(const Parsed& p, double a, double b, double c, double d) {
    EXPECT_EQ(p.rows[0], a);
    EXPECT_EQ(p.rows[1], b);
    EXPECT_EQ(p.rows[2], c);
    EXPECT_EQ(p.rows[3], d);
}

double FirstListCount(const char* list) {
    return ParseLists(list, "", "", "").rows[0];
}

TEST(Parse, CountsAndHandsOutNamesListAfterList) {
    ExpectCounts(ParseLists("A, B,C", "", "IV", ""), 3, 0, 1, 0);
    EXPECT_EQ(Names(4), (std::vector<std::string>{"A", "B", "C", "IV"}));

    ExpectCounts(ParseLists("ab,cd", "x", "", "  z  "), 2, 1, 0, 1);
    EXPECT_EQ(Names(4), (std::vector<std::string>{"AB", "CD", "X", "Z"}));
}

TEST(Parse, TwoAdjacentLettersFormOneName) {
    ExpectCounts(ParseLists("abc", "", "", ""), 2, 0, 0, 0);
    EXPECT_EQ(Names(2), (std::vector<std::string>{"AB", "C"}));
    EXPECT_EQ(FirstListCount("abcde"), 3);
}

TEST(Parse, SpacingAndCommas) {
    EXPECT_EQ(FirstListCount("A,"), 1);
    EXPECT_EQ(FirstListCount("   "), 0);
    EXPECT_EQ(FirstListCount(""), 0);
    EXPECT_EQ(FirstListCount("  A,  B  C"), 3);
    EXPECT_EQ(FirstListCount("A,B,"), 2);
}

TEST(Parse, MalformedFirstListsAreErrors) {
    for (const char* bad : {"A,,B", ",A", "A ,B", "A1", "1", "A-B", ","}) {
        Parsed p = ParseLists(bad, "", "", "");
        EXPECT_EQ(p.rows[0], -1.0) << bad;
        EXPECT_EQ(p.rows[1], 1.0) << bad;
    }
}

TEST(Parse, LastListHoldsAtMostOneName) {
    for (const char* bad : {"A,B", "AB C", "A B", "ABC", "A,", "1"}) {
        Parsed p = ParseLists("", "", "", bad);
        EXPECT_EQ(p.rows[0], -1.0) << bad;
        EXPECT_EQ(p.rows[1], 4.0) << bad;
    }
    ExpectCounts(ParseLists("", "", "", "  "), 0, 0, 0, 0);
    ExpectCounts(ParseLists("", "", "", " iv "), 0, 0, 0, 1);
    EXPECT_EQ(GetParsed(), std::string("IV"));
}

TEST(Parse, FirstListInErrorIsReportedAndLaterRowsKept) {
    ExpectCounts(ParseLists("A", "B", "C,D", "E"), 1, 1, 2, 1);
    Parsed p = ParseLists("A", "B1", "!!", "A,B");
    EXPECT_EQ(p.rows[0], -1.0);
    EXPECT_EQ(p.rows[1], 2.0);
    EXPECT_EQ(p.rows[2], 2.0); // untouched since the last successful parse
    EXPECT_EQ(p.rows[3], 1.0);
}

TEST(Parse, AccentedLettersOfTheCodePageAreLetters) {
    ExpectCounts(ParseLists("\xE9\xE0", "", "", ""), 1, 0, 0, 0);
    EXPECT_EQ(GetParsed(), std::string("\xC9\xC0"));
}

TEST(Parse, NullTextsAreEmptyLists) {
    ExpectCounts(ParseLists(nullptr, "a", nullptr, nullptr), 0, 1, 0, 0);
    EXPECT_EQ(GetParsed(), std::string("A"));
}

TEST(Parse, OverlongTextIsAnErrorOfItsList) {
    std::string fits;
    for (int k = 0; k < 85; ++k)
        fits += "AB,";
    ASSERT_EQ(fits.size(), 255u);
    ExpectCounts(ParseLists("", fits.c_str(), "", ""), 0, 85, 0, 0);

    std::string tooLong = fits + "C";
    Parsed p = ParseLists("A", "B", tooLong.c_str(), "");
    EXPECT_EQ(p.rows[0], -1.0);
    EXPECT_EQ(p.rows[1], 3.0);
    // An earlier list in error is still the one reported.
    p = ParseLists("A1", "B", tooLong.c_str(), "");
    EXPECT_EQ(p.rows[1], 1.0);
}

TEST(GetParsed, AnswersEmptyTextPastTheLastNameAndAfterAFailure) {
    ExpectCounts(ParseLists("A", "", "", "B"), 1, 0, 0, 1);
    EXPECT_EQ(Names(4), (std::vector<std::string>{"A", "B", "", ""}));

    ParseLists("A,B", "", "", "");
    EXPECT_EQ(GetParsed(), std::string("A"));
    ParseLists("A,,B", "", "", "");
    EXPECT_EQ(GetParsed(), std::string(""));

    // A new successful parse starts a new walk.
    ParseLists("", "", "q", "");
    EXPECT_EQ(Names(2), (std::vector<std::string>{"Q", ""}));
}

TEST(Parse, CopiesTheTextsBeforeTheWalk) {
    char list[] = "ab, cd";
    ExpectCounts(ParseLists(list, "", "", ""), 2, 0, 0, 0);
    list[0] = 'z';
    list[4] = 'y';
    EXPECT_EQ(Names(2), (std::vector<std::string>{"AB", "CD"}));
}

} // namespace
