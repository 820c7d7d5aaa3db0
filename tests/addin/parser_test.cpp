#include "quar1432.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using Counts = std::array<double, 4>;

Counts ParseLists(const char* a, const char* b, const char* c, const char* d) {
    FP* fp = Parse(a, b, c, d);
    EXPECT_TRUE(fp->rows == 4 && fp->columns == 1);
    return {fp->array[0], fp->array[1], fp->array[2], fp->array[3]};
}

std::vector<std::string> Names(size_t n) {
    std::vector<std::string> names;
    for (size_t k = 0; k < n; ++k)
        names.push_back(GetParsed());
    return names;
}

// Each row parses four lists, then hands out as many names as it expects. A list in error
// answers -1 and the list's number; the walk then gives only empty texts.
TEST(Parse, CountsErrorsAndNamesListAfterList) {
    const struct {
        const char* lists[4];
        Counts counts;
        std::vector<std::string> names;
    } cases[] = {
        {{"A, B,C", "", "IV", ""}, {3, 0, 1, 0}, {"A", "B", "C", "IV", ""}},
        {{"ab,cd", "x", "", "  z  "}, {2, 1, 0, 1}, {"AB", "CD", "X", "Z", ""}},
        {{"abc", "", "", ""}, {2, 0, 0, 0}, {"AB", "C"}}, // two adjacent letters form a name
        {{"abcde", "", "", ""}, {3, 0, 0, 0}, {}},
        {{"A,", "", "", ""}, {1, 0, 0, 0}, {}},
        {{"   ", "", "", ""}, {0, 0, 0, 0}, {""}},
        {{"  A,  B  C", "", "", ""}, {3, 0, 0, 0}, {}},
        {{"A,B,", "", "", ""}, {2, 0, 0, 0}, {"A", "B", ""}},
        {{"", "", "", " iv "}, {0, 0, 0, 1}, {"IV", ""}},
        // Letters of the code page; y diaeresis upper-cases to 0x9F.
        {{"\xE9\xE0,\xFF", "", "", ""}, {2, 0, 0, 0}, {"\xC9\xC0", "\x9F"}},
        {{nullptr, "a", nullptr, nullptr}, {0, 1, 0, 0}, {"A"}},
    };
    for (const auto& c : cases) {
        const std::string where = std::string(c.lists[0] ? c.lists[0] : "(null)") + "|" +
                                  c.lists[1] + "|" + (c.lists[2] ? c.lists[2] : "(null)");
        EXPECT_EQ(ParseLists(c.lists[0], c.lists[1], c.lists[2], c.lists[3]), c.counts) << where;
        EXPECT_EQ(Names(c.names.size()), c.names) << where;
    }

    for (const char* bad : {"A,,B", ",A", "A ,B", "A1", "1", "A-B", ",", "\xD7", "A\xF7"}) {
        const Counts p = ParseLists(bad, "", "", "");
        EXPECT_TRUE(p[0] == -1.0 && p[1] == 1.0) << bad;
        EXPECT_EQ(GetParsed(), std::string()) << bad;
    }
    for (const char* bad : {"A,B", "AB C", "A B", "ABC", "A,", "1"}) { // at most one name
        const Counts p = ParseLists("", "", "", bad);
        EXPECT_TRUE(p[0] == -1.0 && p[1] == 4.0) << bad;
    }
    // The first list in error is reported; the rows after it keep the last success's counts.
    ParseLists("A", "B", "C,D", "E");
    EXPECT_EQ(ParseLists("A", "B1", "!!", "A,B"), (Counts{-1, 2, 2, 1}));
}

TEST(Parse, OverlongTextIsAnErrorOfItsList) {
    std::string fits;
    for (int k = 0; k < 85; ++k)
        fits += "AB,";
    ASSERT_EQ(fits.size(), 255u);
    EXPECT_EQ(ParseLists("", fits.c_str(), "", ""), (Counts{0, 85, 0, 0}));
    const std::string tooLong = fits + "C";
    EXPECT_EQ(ParseLists("A", "B", tooLong.c_str(), "")[1], 3.0);
    EXPECT_EQ(ParseLists("A1", "B", tooLong.c_str(), "")[1], 1.0); // the earlier list counts
}

TEST(Parse, CopiesTheTextsBeforeTheWalk) {
    char list[] = "ab, cd";
    ParseLists(list, "", "", "");
    list[0] = 'z';
    list[4] = 'y';
    EXPECT_EQ(Names(2), (std::vector<std::string>{"AB", "CD"}));
}

} // namespace
