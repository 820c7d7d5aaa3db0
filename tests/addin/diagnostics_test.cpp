#include "quar1432.h"
#include "support/fresh_library.h"

#include <cstring>
#include <string>

namespace {

std::string Describe(XLOPER x) {
    return TestXLOPER(&x);
}

XLOPER Typed(uint16_t type) {
    XLOPER x{};
    x.xltype = type;
    return x;
}

} // namespace

TEST(TestXLOPER, ScalarsAndMarkers) {
    XLOPER x = Typed(xltypeNum);
    x.val.num = 2.5;
    EXPECT_EQ(Describe(x), "Num 2.500000");
    x = Typed(xltypeBool);
    x.val.xbool = 1;
    EXPECT_EQ(Describe(x), "Bool 1");
    x = Typed(xltypeErr);
    x.val.err = 7;
    EXPECT_EQ(Describe(x), "Err 7");
    x = Typed(xltypeInt);
    x.val.w = -3;
    EXPECT_EQ(Describe(x), "Int -3");
    EXPECT_EQ(Describe(Typed(xltypeRef)), "Ref");
    EXPECT_EQ(Describe(Typed(xltypeFlow)), "Flow");
    EXPECT_EQ(Describe(Typed(xltypeMissing)), "Missing");
    EXPECT_EQ(Describe(Typed(xltypeNil)), "Nil");
    EXPECT_EQ(Describe(Typed(512)), "???");
    EXPECT_EQ(std::string(TestXLOPER(nullptr)), "???");
}

TEST(TestXLOPER, ArraysAndReferences) {
    XLOPER x = Typed(xltypeMulti);
    x.val.array.rows = 5;
    x.val.array.columns = 1;
    EXPECT_EQ(Describe(x), "Multi 5R, 1C");
    x = Typed(xltypeSRef);
    x.val.sref.count = 1;
    x.val.sref.ref.rwFirst = 0;
    x.val.sref.ref.rwLast = 4;
    x.val.sref.ref.colFirst = 1;
    x.val.sref.ref.colLast = 1;
    EXPECT_EQ(Describe(x), "SRef R0C1:R4C1");
}

TEST(TestXLOPER, StringsAreCountedAndCut) {
    OwnedCells cells(3);
    cells.SetString(0, "abc");
    cells.SetString(1, "");
    cells.SetString(2, std::string(255, 'x'));
    EXPECT_EQ(Describe(cells.cell(0)), "Str abc");
    EXPECT_EQ(Describe(cells.cell(1)), "Str  "); // a field at least one character wide
    std::string cut = Describe(cells.cell(2));
    EXPECT_EQ(cut.size(), 255u);
    EXPECT_EQ(cut, "Str " + std::string(251, 'x'));

    // Only as many characters as the count byte says, even without a terminating zero.
    unsigned char counted[] = {2, 'h', 'i', 'j', 'k'};
    XLOPER x = Typed(xltypeStr);
    x.val.str = counted;
    EXPECT_EQ(Describe(x), "Str hi");
    x.val.str = nullptr;
    EXPECT_EQ(Describe(x), "Str  ");
}

TEST(ReturnXLOPER, CopiesIntoOneStaticRecord) {
    XLOPER a = Typed(xltypeNum);
    a.val.num = -1.25;
    XLOPER* first = ReturnXLOPER(&a);
    EXPECT_NE(first, &a);
    EXPECT_EQ(std::memcmp(first, &a, sizeof(XLOPER)), 0);
    OwnedCells cells(1);
    cells.SetString(0, "text");
    XLOPER* second = ReturnXLOPER(&cells.cell(0));
    EXPECT_EQ(second, first);
    EXPECT_EQ(second->xltype, xltypeStr);
    EXPECT_EQ(second->val.str, cells.cell(0).val.str); // shallow
    XLOPER* cleared = ReturnXLOPER(nullptr);
    EXPECT_EQ(cleared, first);
    EXPECT_EQ(cleared->xltype, 0);
}

TEST(ArrayChecks, PassThrough) {
    OwnedFp fp(3, 2);
    EXPECT_EQ(TestArray(fp.get()), fp.get());
    EXPECT_EQ(TestArray(nullptr), nullptr);
    EXPECT_EQ(CkArray(nullptr), 1);
    EXPECT_EQ(CkArray(fp.get()), 1);
}
