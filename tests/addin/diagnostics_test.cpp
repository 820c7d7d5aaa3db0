#include "quar1432.h"
#include "support/fresh_library.h"

#include <cstring>
#include <string>

namespace {

XLOPER Typed(uint16_t type) {
    XLOPER x{};
    x.xltype = type;
    return x;
}

} // namespace

TEST(TestXLOPER, DescriptionByType) {
    XLOPER num = Typed(xltypeNum), boolean = Typed(xltypeBool), err = Typed(xltypeErr);
    XLOPER integer = Typed(xltypeInt), multi = Typed(xltypeMulti), sref = Typed(xltypeSRef);
    num.val.num = 2.5;
    boolean.val.xbool = 1;
    err.val.err = 7;
    integer.val.w = -3;
    multi.val.array.rows = 5;
    multi.val.array.columns = 1;
    sref.val.sref.ref = XLREF{0, 4, 1, 1};
    const struct {
        XLOPER x;
        const char* text;
    } cases[] = {
        {num, "Num 2.500000"},
        {boolean, "Bool 1"},
        {err, "Err 7"},
        {integer, "Int -3"},
        {multi, "Multi 5R, 1C"},
        {sref, "SRef R0C1:R4C1"},
        {Typed(xltypeRef), "Ref"},
        {Typed(xltypeFlow), "Flow"},
        {Typed(xltypeNil), "Nil"},
        {Typed(xltypeMissing), "Missing"},
        {Typed(512), "???"},
    };
    for (auto c : cases)
        EXPECT_EQ(std::string(TestXLOPER(&c.x)), c.text);
    EXPECT_EQ(std::string(TestXLOPER(nullptr)), "???");
}

TEST(TestXLOPER, StringsAreCountedAndCut) {
    unsigned char abc[] = {3, 'a', 'b', 'c', 'd'}; // no terminating zero after the count
    unsigned char empty[] = {0};
    unsigned char longest[256];
    longest[0] = 255;
    std::memset(longest + 1, 'x', 255);
    XLOPER x = Typed(xltypeStr);
    x.val.str = abc;
    EXPECT_EQ(std::string(TestXLOPER(&x)), "Str abc");
    x.val.str = empty;
    EXPECT_EQ(std::string(TestXLOPER(&x)), "Str  "); // a field at least one wide
    x.val.str = longest;
    EXPECT_EQ(std::string(TestXLOPER(&x)), "Str " + std::string(251, 'x'));
    x.val.str = nullptr;
    EXPECT_EQ(std::string(TestXLOPER(&x)), "Str  ");
}

TEST(ReturnXLOPER, CopiesIntoOneStaticRecord) {
    XLOPER a = Typed(xltypeNum);
    a.val.num = -1.25;
    XLOPER* first = ReturnXLOPER(&a);
    EXPECT_NE(first, &a);
    EXPECT_EQ(std::memcmp(first, &a, sizeof(XLOPER)), 0);
    unsigned char text[] = {1, 'z'};
    XLOPER s = Typed(xltypeStr);
    s.val.str = text;
    EXPECT_EQ(ReturnXLOPER(&s), first);
    EXPECT_EQ(first->val.str, text); // shallow
    EXPECT_EQ(ReturnXLOPER(nullptr), first);
    EXPECT_EQ(first->xltype, 0);
}
