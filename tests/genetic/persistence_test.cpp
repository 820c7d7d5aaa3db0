// The population column (UnloadPop, ReloadPop), mask texts and GetSchema.
#include "engine/random.h"
#include "genetic/persistence.h"
#include "genetic/population.h"
#include "support/fresh_library.h"
#include "support/genetic_support.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

bool Same(const SchemaRecord& a, const SchemaRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string Message(const XLOPER* x) {
    if (!x || x->xltype != xltypeStr) return "(not a string)";
    return CountedText(x->val.str);
}

class PersistenceTest : public LibraryTest {
  protected:
    void SetUp() override {
        LibraryTest::SetUp();
        InstallSettings(TestSettings(6));
        first = MakeSchema({0, 5}, 4, {3, 2});
        first.learningRate = 0.3, first.momentum = 0.7, first.noise = 0.05;
        first.error = 0.125, first.epochs = 42, first.transferCode = 4, first.gain = 1.5;
        first.prune = 1, first.threshold = 0.01, first.autoRate = 1, first.margin = 0.2;
        second = MakeSchema({1, 2, 3}, 2);
        InstallPopulation({first, second}, 2);
        PopulationHeader h = Header();
        h.currentSchema = 2, h.schemaState = SCHEMA_IN_PROCESS, h.bestError = 0.125;
        h.bestEpochs = 42, h.crossoverRate = 2.5, h.mutationRate = 0.25, h.useSeed = 1;
        h.weightSeed = 7.0, h.weightRange = 0.5, h.generation = 3;
        SetHeader(h);
    }

    // A copy of the unloaded column that tests can change cell by cell.
    OwnedCells UnloadedColumn() {
        XLOPER* x = UnloadPop();
        EXPECT_EQ(x->xltype, xltypeMulti);
        size_t rows = x->val.array.rows;
        OwnedCells cells(rows);
        for (size_t k = 0; k < rows; ++k) {
            const XLOPER& e = x->val.array.lparray[k];
            if (e.xltype == xltypeStr)
                cells.SetString(k, CountedText(e.val.str));
            else
                cells.SetNumber(k, e.val.num);
        }
        return cells;
    }

    SchemaRecord first, second;
};

TEST(MaskTextTest, LettersCarryTheNibbles) {
    uint8_t mask[kMaskBytes] = {1};
    unsigned char text[kMaskTextBytes];
    MaskToText(mask, text);
    EXPECT_EQ(text[0], 64);
    EXPECT_EQ(text[1], 65);
    for (int i = 2; i <= 64; ++i)
        EXPECT_EQ(text[i], 64) << i;
    EXPECT_EQ(text[65], 0);

    for (int i = 0; i < kMaskBytes; ++i)
        mask[i] = static_cast<uint8_t>(37 * i + 11);
    MaskToText(mask, text);
    EXPECT_EQ(text[1], 64 + 11 % 16);
    EXPECT_EQ(text[2], 64 + 11 / 16);
    uint8_t back[kMaskBytes] = {};
    TextToMask(text, back);
    EXPECT_EQ(std::memcmp(mask, back, kMaskBytes), 0);

    // Only the low four bits of a letter count: 'a' (97) and 'Q' (81) both read as 1.
    unsigned char other[kMaskTextBytes];
    std::memset(other, '@', sizeof other);
    other[1] = 'a', other[2] = 'Q';
    TextToMask(other, back);
    EXPECT_EQ(back[0], 1 + 16 * 1);
    EXPECT_EQ(back[1], 0);
}

TEST_F(PersistenceTest, UnloadWritesTheColumnLayout) {
    XLOPER* x = UnloadPop();
    ASSERT_EQ(x->xltype, xltypeMulti);
    ASSERT_EQ(x->val.array.rows, 67);
    ASSERT_EQ(x->val.array.columns, 1);
    const XLOPER* e = x->val.array.lparray;
    for (int k = 0; k < 67; ++k)
        EXPECT_EQ(e[k].xltype, (k == 33 || k == 50) ? xltypeStr : xltypeNum) << k;
    EXPECT_EQ(e[0].val.num, 0.5);
    EXPECT_EQ(e[1].val.num, 6.0);
    EXPECT_EQ(e[8].val.num, 4.0);
    EXPECT_EQ(e[15].val.num, 0.1);
    EXPECT_EQ(e[16].val.num, 1.0);
    EXPECT_EQ(e[17].val.num, 3.0);
    EXPECT_EQ(e[19].val.num, 2.0);
    EXPECT_EQ(e[22].val.num, 2.0);
    EXPECT_EQ(e[26].val.num, 2.0);
    EXPECT_EQ(e[31].val.num, 7.0);
    // Schema 1: bits 0 and 5 are mask byte 33 = letters 65 + 2, 64 + 2.
    EXPECT_EQ(e[33].val.str[0], 64);
    EXPECT_EQ(e[33].val.str[1], 64 + 1);
    EXPECT_EQ(e[33].val.str[2], 64 + 2);
    EXPECT_EQ(e[34].val.num, 4.0);
    EXPECT_EQ(e[35].val.num, 3.0);
    EXPECT_EQ(e[39].val.num, 0.3);
    EXPECT_EQ(e[42].val.num, 4.0);
    EXPECT_EQ(e[48].val.num, 0.125);
    EXPECT_EQ(e[49].val.num, 42.0);
    EXPECT_EQ(e[66].val.num, 1000000000.0);
    // The texts are pinned until the next unload.
    EXPECT_NE(e[33].val.str, e[50].val.str);
}

TEST_F(PersistenceTest, RoundTripGivesBackTheSamePopulation) {
    const SupervisorSettings settings = Settings();
    const PopulationHeader header = Header();
    // The library's own column reloads as it stands.
    ASSERT_STREQ(ReloadPop(UnloadPop()), "OK");
    OwnedCells cells = UnloadedColumn();
    InstallSettings(TestSettings(1));
    InstallPopulation({MakeSchema({0}, 2)}, 1);
    ASSERT_STREQ(ReloadPop(cells.multi()), "OK");
    SupervisorSettings s = Settings();
    EXPECT_EQ(std::memcmp(&s, &settings, sizeof s), 0);
    PopulationHeader h = Header();
    EXPECT_EQ(std::memcmp(&h, &header, sizeof h), 0);
    ASSERT_EQ(gSuper.schemaCount, 2);
    EXPECT_TRUE(Same(Schemas()[0], first));
    EXPECT_TRUE(Same(Schemas()[1], second));
}

TEST_F(PersistenceTest, BadStructureChangesNothing) {
    OwnedCells cells = UnloadedColumn();
    const char* bad = "Bad structure in ReloadPop";
    EXPECT_STREQ(ReloadPop(nullptr), bad);
    XLOPER x = *cells.multi();
    x.xltype = xltypeMulti | 0x1000;
    EXPECT_STREQ(ReloadPop(&x), bad);
    x = *cells.multi();
    x.val.array.columns = 2;
    EXPECT_STREQ(ReloadPop(&x), bad);
    x = *cells.multi();
    x.val.array.rows = 32;
    EXPECT_STREQ(ReloadPop(&x), bad);
    x = *cells.multi();
    x.val.array.lparray = nullptr;
    EXPECT_STREQ(ReloadPop(&x), bad);
    EXPECT_EQ(Settings().inclusionProbability, 0.5);

    FreshLibrary();
    EXPECT_STREQ(ReloadPop(cells.multi()), "Call InitSuper before ReloadPop");
}

TEST_F(PersistenceTest, BadDataCases) {
    struct Case {
        const char* what;
        size_t element;
        double value;
    } cases[] = {
        {"inclusion 0", 0, 0.0},
        {"inclusion NaN", 0, std::nan("")},
        {"candidates 0", 1, 0.0},
        {"candidates 257", 1, 257.0},
        {"huge integer", 2, 1e10},
        {"NaN integer", 3, std::nan("")},
        {"max layers 7", 8, 7.0},
        {"max layers 1", 8, 1.0},
        {"max hidden -1", 10, -1.0},
        {"min rate 1.5", 13, 1.5},
        {"momentum -0.1", 14, -0.1},
        {"noise 0.15", 15, 0.15},
        {"generation 0", 17, 0.0},
        {"current 0", 18, 0.0},
        {"current 3", 18, 3.0},
        {"best error", 20, -0.5},
        {"best epochs", 21, -1.0},
        {"size 0", 22, 0.0},
        {"size 3854", 22, 3854.0},
        {"breed 4", 23, 4.0},
        {"crossover 10.5", 24, 10.5},
        {"mutation 1.5", 25, 1.5},
        {"mode 5", 26, 5.0},
        {"goal", 27, -1.0},
        {"state NaN", 19, std::nan("")},
        {"mask a number", 33, 1.0},
        {"layer count NaN", 51, std::nan("")},
    };
    for (const Case& c : cases) {
        InstallSettings(TestSettings(6));
        InstallPopulation({first, second}, 2);
        OwnedCells cells = UnloadedColumn();
        cells.SetNumber(c.element, c.value);
        EXPECT_STREQ(ReloadPop(cells.multi()), "Bad data in ReloadPop") << c.what;
        // The header never promises more records than exist.
        if (PopulationExists()) {
            EXPECT_EQ(Header().populationSize, gSuper.schemaCount) << c.what;
            EXPECT_TRUE(UnloadPop()->xltype == xltypeMulti) << c.what;
        }
    }

    InstallPopulation({first, second}, 2);
    OwnedCells cells = UnloadedColumn();
    cells.SetString(7, "text");
    EXPECT_STREQ(ReloadPop(cells.multi()), "Bad data in ReloadPop");
    cells = UnloadedColumn();
    cells.SetString(50, std::string(67, 'A'));
    EXPECT_STREQ(ReloadPop(cells.multi()), "Bad data in ReloadPop");
    cells = UnloadedColumn();
    cells.SetString(50, std::string(63, 'A'));
    EXPECT_STREQ(ReloadPop(cells.multi()), "Bad data in ReloadPop");
    cells = UnloadedColumn();
    cells.cell(50).val.str = nullptr;
    EXPECT_STREQ(ReloadPop(cells.multi()), "Bad data in ReloadPop");
    // Schema 2 failed after schema 1 was read: two records, the second zero-filled.
    ASSERT_EQ(gSuper.schemaCount, 2);
    EXPECT_EQ(Header().populationSize, 2);
    EXPECT_TRUE(Same(Schemas()[0], first));
    EXPECT_EQ(Schemas()[1].layerCount, 0);
}

TEST_F(PersistenceTest, RowCountsDecideTheSchemaCount) {
    OwnedCells full = UnloadedColumn();
    // 5 groups, header saying 3: three read, two drawn.
    OwnedCells five(33 + 17 * 5);
    for (size_t k = 0; k < 67; ++k) {
        if (full.cell(k).xltype == xltypeStr)
            five.SetString(k, full.Text(k));
        else
            five.SetNumber(k, full.cell(k).val.num);
    }
    for (size_t k = 67; k < 33 + 17 * 5; ++k) { // groups 3, 4, 5 repeat groups 1, 2, 1
        size_t from = 33 + (k - 33) % 34;
        if (full.cell(from).xltype == xltypeStr)
            five.SetString(k, full.Text(from));
        else
            five.SetNumber(k, full.cell(from).val.num);
    }
    five.SetNumber(22, 3.0);
    five.SetNumber(18, 3.0);
    SeedRandom(21);
    ASSERT_STREQ(ReloadPop(five.multi()), "OK");
    ASSERT_EQ(gSuper.schemaCount, 5);
    EXPECT_EQ(Header().populationSize, 5);
    EXPECT_TRUE(Same(Schemas()[2], first));
    SeedRandom(21);
    for (size_t i = 3; i < 5; ++i) {
        SchemaRecord drawn = {};
        NewRandomSchema(drawn, TestSettings(6));
        EXPECT_TRUE(Same(Schemas()[i], drawn)) << i;
    }

    // A header saying 7 over 5 groups: five read.
    five.SetNumber(22, 7.0);
    five.SetNumber(18, 7.0);
    ASSERT_STREQ(ReloadPop(five.multi()), "OK");
    EXPECT_EQ(gSuper.schemaCount, 5);
    EXPECT_EQ(Header().populationSize, 5);
    EXPECT_EQ(Header().currentSchema, 5); // never past the last record
    EXPECT_TRUE(Same(Schemas()[3], second));
    EXPECT_TRUE(Same(Schemas()[4], first));

    OwnedCells rows34(34), rows33(33);
    for (size_t k = 0; k < 33; ++k) {
        rows34.SetNumber(k, full.cell(k).val.num);
        rows33.SetNumber(k, full.cell(k).val.num);
    }
    rows34.SetString(33, full.Text(33));
    EXPECT_STREQ(ReloadPop(rows34.multi()), "Bad data in ReloadPop");
    EXPECT_STREQ(ReloadPop(rows33.multi()), "Bad data in ReloadPop");
    EXPECT_EQ(Header().populationSize, gSuper.schemaCount);

    // Longer mask texts are read from their first 64 letters.
    full.SetString(33, full.Text(33) + "AB");
    full.SetString(50, full.Text(50) + "A");
    ASSERT_STREQ(ReloadPop(full.multi()), "OK");
    EXPECT_TRUE(Same(Schemas()[0], first));
}

TEST_F(PersistenceTest, ReloadWithoutPopulationAndOnMemoryFailure) {
    OwnedCells cells = UnloadedColumn();
    // No population yet: a good column makes one, a bad header leaves none.
    FreshLibrary();
    InstallSettings(TestSettings(1));
    cells.SetNumber(26, 9.0);
    EXPECT_STREQ(ReloadPop(cells.multi()), "Bad data in ReloadPop");
    EXPECT_FALSE(PopulationExists());
    EXPECT_EQ(gSuper.header, nullptr);
    cells.SetNumber(26, 2.0);
    ASSERT_STREQ(ReloadPop(cells.multi()), "OK");
    EXPECT_EQ(gSuper.schemaCount, 2);
    EXPECT_EQ(Settings().candidateInputs, 6);

    const int32_t live = PlatformLiveBlocks();
    PlatformFailAllocation(1);
    EXPECT_STREQ(ReloadPop(cells.multi()), "Insufficient memory in Genetic Supervisor (12).");
    EXPECT_FALSE(PopulationExists());
    EXPECT_TRUE(SupervisorExists());
    EXPECT_EQ(PlatformLiveBlocks(), live - 2);
}

TEST_F(PersistenceTest, UnloadMessagesAndMemoryFailures) {
    const int32_t live = PlatformLiveBlocks();
    PlatformFailAllocation(1);
    EXPECT_EQ(Message(UnloadPop()), "Insufficient memory in Genetic Supervisor (10).");
    PlatformFailAllocation(2);
    EXPECT_EQ(Message(UnloadPop()), "Insufficient memory in Genetic Supervisor (11).");
    EXPECT_EQ(PlatformLiveBlocks(), live + 1); // the new array stays until the next unload
    EXPECT_EQ(gSuper.schemaCount, 2);
    EXPECT_EQ(UnloadPop()->val.array.rows, 67);
    EXPECT_EQ(PlatformLiveBlocks(), live + 2);
    CleanUp();
    EXPECT_EQ(PlatformLiveBlocks(), 0);

    XLOPER* x = UnloadPop();
    EXPECT_EQ(Message(x), "Call InitPop before UnloadPop");
    EXPECT_EQ(x->val.str[0], std::strlen("Call InitPop before UnloadPop"));
    EXPECT_EQ(Message(GetSchema(nullptr, 0)), "Call InitPop before GetSchema");
}

TEST_F(PersistenceTest, GetSchemaShowsTheChosenSchema) {
    OwnedCells names(1);
    names.SetString(0, "A,B,C,D,E,F");
    // trainMode 2: the best is the first (error 0.125 beats the untrained 1.0).
    XLOPER* x = GetSchema(&names.cell(0), 0);
    ASSERT_EQ(x->xltype, xltypeMulti);
    ASSERT_EQ(x->val.array.rows, 12);
    const XLOPER* e = x->val.array.lparray;
    EXPECT_EQ(CountedText(e[0].val.str), "A,F");
    EXPECT_EQ(e[0].val.str, names.cell(0).val.str); // the caller's own text
    const double expected[11] = {2, 4, 3, 2, 0, 0, 0.3, 0.7, 0.05, 0.125, 42};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(e[i + 1].val.num, expected[i]) << i;

    names.SetString(0, "A,B,C,D,E,F");
    x = GetSchema(&names.cell(0), 2); // the last schema
    EXPECT_EQ(CountedText(x->val.array.lparray[0].val.str), "B,C,D");
    EXPECT_EQ(x->val.array.lparray[1].val.num, 3.0);
    names.SetString(0, "A,B,C,D,E,F");
    x = GetSchema(&names.cell(0), -4); // schema 1
    EXPECT_EQ(CountedText(x->val.array.lparray[0].val.str), "A,F");

    EXPECT_EQ(Message(GetSchema(&names.cell(0), 3)), "Bad selector in GetSchema");
    PopulationHeader h = Header();
    h.bestError = 0.9, h.bestEpochs = 9;
    SetHeader(h);
    OwnedCells number(1);
    number.SetNumber(0, 1.0);
    EXPECT_EQ(Message(GetSchema(&number.cell(0), 1)), "Bad column string in GetSchema");
    EXPECT_EQ(Header().bestError, 0.125); // the best fields were brought up to date first
    EXPECT_EQ(Header().bestEpochs, 42);
    EXPECT_EQ(Message(GetSchema(nullptr, 1)), "Bad column string in GetSchema");
}

TEST_F(PersistenceTest, ColumnNameRewriting) {
    InstallSettings(TestSettings(4));
    struct Case {
        std::vector<int> bits;
        const char* names;
        const char* kept;
    } cases[] = {
        {{1, 3}, "A,B,C,D", "B,D"},
        {{3}, "A,B,C,D", "D"},
        {{1}, "A,B,C,D", "B"},
        {{0, 1, 2, 3}, "A,B,C,D", "A,B,C,D"},
        {{0, 3}, "Alpha,Beta", "Alpha"}, // fewer names than candidates
        {{2}, "A,B", ""},
        {{0}, "", ""},
        {{0, 1}, "A,,C", "A,"},
    };
    for (const Case& c : cases) {
        InstallPopulation({MakeSchema(c.bits, 2)}, 2);
        OwnedCells names(1);
        names.SetString(0, c.names);
        XLOPER* x = GetSchema(&names.cell(0), 1);
        ASSERT_EQ(x->xltype, xltypeMulti);
        EXPECT_EQ(CountedText(names.cell(0).val.str), c.kept) << c.names;
    }

    // A full 255-character text, every column kept: nothing is read or written past it.
    InstallSettings(TestSettings(256));
    SchemaRecord all = MakeSchema({}, 2);
    std::memset(all.inputMask, 0xFF, kMaskBytes);
    InstallPopulation({all}, 2);
    std::string longNames;
    while (longNames.size() < 255)
        longNames += longNames.empty() ? "N" : ",N";
    longNames.resize(255);
    OwnedCells names(1);
    names.SetString(0, longNames);
    GetSchema(&names.cell(0), 1);
    std::string kept = CountedText(names.cell(0).val.str);
    EXPECT_EQ(kept, longNames.back() == ',' ? longNames.substr(0, 254) : longNames);
}

} // namespace
