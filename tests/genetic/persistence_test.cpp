// The population column (UnloadPop, ReloadPop), mask texts and GetSchema.
#include "engine/random.h"
#include "genetic/persistence.h"
#include "genetic/population.h"
#include "support/fresh_library.h"
#include "support/genetic_support.h"

#include <cmath>
#include <string>

namespace {

class PersistenceTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        InstallSettings(TestSettings(6));
        first = MakeSchema({0, 5}, 4, {3, 2});
        first.learningRate = 0.3, first.noise = 0.05, first.error = 0.125, first.epochs = 42;
        first.transferCode = 4, first.gain = 1.5, first.prune = 1, first.margin = 0.2;
        second = MakeSchema({1, 2, 3}, 2);
        Install({first, second});
    }
    void Install(const std::vector<SchemaRecord>& schemas) {
        InstallPopulation(schemas, 2);
        PopulationHeader h = Header();
        h.currentSchema = 2, h.schemaState = SCHEMA_IN_PROCESS, h.bestError = 0.125;
        h.generation = 3, h.mutationRate = 0.25, h.weightSeed = 7.0;
        SetHeader(h);
    }
    SchemaRecord first, second;
};

TEST_F(PersistenceTest, UnloadLayoutAndRoundTrip) {
    const XLOPER* x = UnloadPop();
    ASSERT_TRUE(x->xltype == xltypeMulti && x->val.array.rows == 67 && x->val.array.columns == 1);
    const XLOPER* e = x->val.array.lparray;
    // Fields of the settings (0 ... 16), the header (17 ... 32) and the schemas (17 each).
    const std::pair<int, double> numbers[] = {{0, 0.5}, {8, 4},  {16, 1},     {17, 3},
                                              {19, 2},  {22, 2}, {25, 0.25},  {31, 7},
                                              {34, 4},  {35, 3}, {48, 0.125}, {49, 42}};
    for (auto [k, v] : numbers)
        EXPECT_EQ(e[k].val.num, v) << k;
    // Bits 0 and 5 make mask byte 33: letters 64 + 1, 64 + 2, then 64 for every zero nibble.
    EXPECT_EQ(CountedText(e[33].val.str), "AB" + std::string(62, '@'));

    const SupervisorSettings settings = Settings();
    const PopulationHeader header = Header();
    ASSERT_STREQ(ReloadPop(UnloadPop()), "OK"); // the library's own column as it stands
    OwnedCells cells = CopyOf(UnloadPop());
    InstallSettings(TestSettings(1));
    InstallPopulation({MakeSchema({0}, 2)}, 1);
    ASSERT_STREQ(ReloadPop(cells.multi()), "OK");
    SupervisorSettings s = Settings();
    PopulationHeader h = Header();
    EXPECT_EQ(std::memcmp(&s, &settings, sizeof s), 0);
    EXPECT_EQ(std::memcmp(&h, &header, sizeof h), 0);
    ASSERT_EQ(Schemas().size(), 2u);
    EXPECT_TRUE(Same(Schemas()[0], first) && Same(Schemas()[1], second));
}

TEST_F(PersistenceTest, BadStructureAndBadData) {
    OwnedCells cells = CopyOf(UnloadPop());
    EXPECT_STREQ(ReloadPop(nullptr), "Bad structure in ReloadPop");
    XLOPER bad[4] = {*cells.multi(), *cells.multi(), *cells.multi(), *cells.multi()};
    bad[0].xltype = 0x1040, bad[1].val.array.columns = 2, bad[2].val.array.rows = 32;
    bad[3].val.array.lparray = nullptr;
    for (XLOPER& x : bad)
        EXPECT_STREQ(ReloadPop(&x), "Bad structure in ReloadPop");

    const std::pair<int, double> cases[] = {
        {0, 0.0},   {0, NAN},  {1, 0},    {1, 257},  {2, 1e10}, {3, NAN},   {8, 7},
        {8, 1},     {10, -1},  {13, 1.5}, {14, -.1}, {15, .15}, {17, 0},    {18, 0},
        {18, 3},    {19, NAN}, {20, -.5}, {21, -1},  {22, 0},   {22, 3854}, {23, 4},
        {24, 10.5}, {25, 1.5}, {26, 5},   {27, -1},  {33, 1},   {51, NAN},  {8, -2147483648.0}};
    const SupervisorSettings before = TestSettings(6);
    for (auto [k, v] : cases) {
        InstallSettings(before);
        Install({first, second});
        cells = CopyOf(UnloadPop());
        cells.SetNumber(size_t(k), v);
        EXPECT_STREQ(ReloadPop(cells.multi()), "Bad data in ReloadPop") << k << " " << v;
        EXPECT_EQ(Header().populationSize, int32_t(Schemas().size())) << k;
        // Refused settings never replace the live ones: every draw relies on their ranges.
        const SupervisorSettings after = Settings();
        if (k <= 16) {
            EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0) << k;
        }
    }
    cells = CopyOf(UnloadPop());
    cells.SetString(7, "text");
    EXPECT_STREQ(ReloadPop(cells.multi()), "Bad data in ReloadPop");
    for (int count : {63, 67, -1}) {
        cells = CopyOf(UnloadPop());
        cells.SetString(50, std::string(size_t(count < 0 ? 64 : count), 'A'));
        if (count < 0) cells.cell(50).val.str = nullptr;
        EXPECT_STREQ(ReloadPop(cells.multi()), "Bad data in ReloadPop") << count;
    }
    cells = CopyOf(UnloadPop());
    cells.SetString(33, cells.Text(33) + "AB"); // 66 letters: the first 64 count
    EXPECT_STREQ(ReloadPop(cells.multi()), "OK");

    FreshLibrary();
    EXPECT_STREQ(ReloadPop(cells.multi()), "Call InitSuper before ReloadPop");
    InstallSettings(TestSettings(1));
    cells.SetNumber(26, 9.0);
    EXPECT_STREQ(ReloadPop(cells.multi()), "Bad data in ReloadPop");
    EXPECT_EQ(gSuper.header, nullptr); // a header made for the reload goes with it
}

TEST_F(PersistenceTest, RowCountsDecideTheSchemaCount) {
    Install({first, second, first, second, first});
    OwnedCells five = CopyOf(UnloadPop());
    five.SetNumber(22, 3.0);
    ASSERT_STREQ(ReloadPop(five.multi()), "OK");
    std::vector<SchemaRecord> got = Schemas();
    ASSERT_EQ(got.size(), 5u);
    EXPECT_TRUE(Same(got[2], first) && !Same(got[3], second)); // the last two drawn, not read
    five.SetNumber(22, 7.0);
    five.SetNumber(18, 7.0);
    ASSERT_STREQ(ReloadPop(five.multi()), "OK");
    EXPECT_TRUE(Header().populationSize == 5 && Header().currentSchema == 5);

    for (uint16_t rows : {33, 58}) { // no schema; a schema and a half
        XLOPER x = *five.multi();
        x.val.array.rows = rows;
        EXPECT_STREQ(ReloadPop(&x), "Bad data in ReloadPop") << rows;
    }
}

TEST_F(PersistenceTest, GetSchema) {
    OwnedCells names(1);
    names.SetString(0, "A,B,C,D,E,F");
    XLOPER* x = GetSchema(&names.cell(0), 0); // mode 2: the best is the first
    ASSERT_TRUE(x->xltype == xltypeMulti && x->val.array.rows == 12);
    const XLOPER* e = x->val.array.lparray;
    EXPECT_EQ(e[0].val.str, names.cell(0).val.str); // the caller's own text, rewritten
    EXPECT_EQ(CountedText(e[0].val.str), "A,F");
    const double expected[11] = {2, 4, 3, 2, 0, 0, 0.3, 0.5, 0.05, 0.125, 42};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(e[i + 1].val.num, expected[i]) << i;
    for (auto [selector, kept] : {std::pair{2, "B,C,D"}, {-4, "A,F"}}) {
        names.SetString(0, "A,B,C,D,E,F");
        GetSchema(&names.cell(0), int16_t(selector));
        EXPECT_EQ(names.Text(0), kept);
    }
    EXPECT_EQ(AnswerText(GetSchema(&names.cell(0), 3)), "Bad selector in GetSchema");
    OwnedCells number(1);
    number.SetNumber(0, 1.0);
    EXPECT_EQ(AnswerText(GetSchema(&number.cell(0), 1)), "Bad column string in GetSchema");

    InstallSettings(TestSettings(4));
    const std::tuple<std::vector<int>, const char*, const char*> cases[] = {
        {{1, 3}, "A,B,C,D", "B,D"},      {{3}, "A,B,C,D", "D"}, {{1}, "A,B,C,D", "B"},
        {{0, 3}, "Alpha,Beta", "Alpha"}, {{2}, "A,B", ""},      {{0, 1}, "A,,C", "A,"}};
    for (const auto& [bits, text, kept] : cases) {
        InstallPopulation({MakeSchema(bits, 2)}, 2);
        names.SetString(0, text);
        GetSchema(&names.cell(0), 1);
        EXPECT_EQ(names.Text(0), kept) << text;
    }
    CleanUp();
    EXPECT_EQ(AnswerText(UnloadPop()), "Call InitPop before UnloadPop");
    EXPECT_EQ(AnswerText(GetSchema(nullptr, 0)), "Call InitPop before GetSchema");
}

} // namespace
