#include "quar1432.h"
#include "support/fresh_library.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

XLOPER Typed(uint16_t type) {
    XLOPER x{};
    x.xltype = type;
    return x;
}

XLOPER Number(double v) {
    XLOPER x = Typed(xltypeNum);
    x.val.num = v;
    return x;
}

XLOPER Text(unsigned char* counted) {
    XLOPER x = Typed(xltypeStr);
    x.val.str = counted;
    return x;
}

TEST(TestXLOPER, DescriptionByTypeAndReturnedCopy) {
    XLOPER multi = Typed(xltypeMulti), sref = Typed(xltypeSRef);
    XLOPER err = Typed(xltypeErr), integer = Typed(xltypeInt);
    err.val.err = 7, integer.val.w = -3;
    multi.val.array.rows = 5, multi.val.array.columns = 1;
    sref.val.sref.ref = XLREF{0, 4, 1, 1};
    unsigned char abc[] = {3, 'a', 'b', 'c', 'd'}; // no terminating zero after the count
    unsigned char longest[256];
    longest[0] = 255;
    std::memset(longest + 1, 'x', 255);
    const struct {
        XLOPER x;
        std::string text;
    } cases[] = {
        {Number(2.5), "Num 2.500000"},
        // One spelling on every build, whatever the C library prints.
        {Number(-std::numeric_limits<double>::quiet_NaN()), "Num nan"},
        {Number(-HUGE_VAL), "Num -inf"},
        {Number(HUGE_VAL), "Num inf"},
        {Text(abc), "Str abc"},
        {Text(longest), "Str " + std::string(251, 'x')},
        {Text(nullptr), "Str  "}, // a field at least one wide
        {err, "Err 7"},
        {integer, "Int -3"},
        {multi, "Multi 5R, 1C"},
        {sref, "SRef R0C1:R4C1"},
        {Typed(512), "???"},
    };
    for (auto c : cases)
        EXPECT_EQ(std::string(TestXLOPER(&c.x)), c.text);
    EXPECT_EQ(std::string(TestXLOPER(nullptr)), "???");
    // ReturnXLOPER hands back a copy in the library's own record, an empty one for no record.
    XLOPER given = Number(2.5);
    XLOPER* copy = ReturnXLOPER(&given);
    EXPECT_NE(copy, &given);
    EXPECT_EQ(std::string(TestXLOPER(copy)), "Num 2.500000");
    EXPECT_EQ(ReturnXLOPER(nullptr)->xltype, 0);
}

} // namespace
