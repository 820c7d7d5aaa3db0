#include "engine/exact_exp.h"
#include "engine/exact_exp_internal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <numbers>
#include <random>
#include <sstream>
#include <utility>
#include <vector>

#if QUAR_HAVE_QUADMATH
// From libquadmath, whose header only some compilers find on their own.
extern "C" {
__float128 expq(__float128);
__float128 ldexpq(__float128, int);
__float128 fabsq(__float128);
}
#endif
#ifdef QUAR_EXP_TABLE_FILE
#include "expgen_table.h"
#endif

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSampleDivisor = 20; // the sanitizers make every call many times slower
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kSampleDivisor = 20;
#else
constexpr int kSampleDivisor = 1;
#endif
#else
constexpr int kSampleDivisor = 1;
#endif

constexpr double kInf = std::numeric_limits<double>::infinity();
// The largest argument with a finite result: the double just below 1024 ln 2.
constexpr double kLastFinite = 0x1.62e42fefa39efp+9;

double Up(double x) {
    return std::nextafter(x, kInf);
}
double Down(double x) {
    return std::nextafter(x, -kInf);
}

TEST(ExactExp, SpecialValuesAndLimits) {
    EXPECT_TRUE(std::isnan(ExactExp(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_FALSE(std::signbit(ExactExp(-kInf)));
    constexpr double kMax = std::numeric_limits<double>::max();
    // e^-745 = 0.57 x 2^-1074 rounds up to the smallest subnormal.
    const std::pair<double, double> cases[] = {
        {kInf, kInf},           {-kInf, 0.0},   {0.0, 1.0},     {-0.0, 1.0},
        {1.0, std::numbers::e}, {710.0, kInf},  {1000.0, kInf}, {kMax, kInf},
        {-746.0, 0.0},          {-1000.0, 0.0}, {-kMax, 0.0},   {-745.0, 0x1p-1074},
        {Up(kLastFinite), kInf}};
    for (auto [x, y] : cases)
        EXPECT_EQ(ExactExp(x), y) << std::hexfloat << x;
    // e^kLastFinite = 2^1024 (1 - 2.4e-14) is below the largest double.
    EXPECT_LT(ExactExp(kLastFinite), kInf);
    EXPECT_GT(ExactExp(kLastFinite), 0x1.fffffffffp+1023);
}

// Near 0, e^x = 1 + x + x^2/2: where it crosses the midpoints 1 + 2^-53 and 1 - 2^-54.
TEST(ExactExp, ArgumentsNearZero) {
    for (double x : {0x1p-1074, -0x1p-1074, 1e-300, -1e-300, 0x1p-61, -0x1p-60, 0x1p-55})
        EXPECT_EQ(ExactExp(x), 1.0) << x;
    EXPECT_EQ(ExactExp(Down(0x1p-53)), 1.0);
    EXPECT_EQ(ExactExp(0x1p-53), 1.0 + 0x1p-52);
    EXPECT_EQ(ExactExp(-0x1p-54), 1.0);
    EXPECT_EQ(ExactExp(Down(-0x1p-54)), 1.0 - 0x1p-53);
}

#if QUAR_HAVE_QUADMATH

// expq carries 113 bits; rounding it once more to a double is exact unless e^x comes within
// about 2^-110 of a midpoint, which no argument met here does.
double Reference(double x) {
    return static_cast<double>(expq(static_cast<__float128>(x)));
}

// Arguments weighted towards what the engine uses, with the whole range and its edges included.
std::vector<double> Arguments(size_t count, uint64_t seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> xs(count);
    for (size_t i = 0; i < count; ++i) {
        double u = unit(random);
        switch (i % 10) {
        case 0:
            xs[i] = -745.2 + u * (709.8 + 745.2);
            break;
        case 1:
            xs[i] = -745.2 + u * (-708.0 + 745.2);
            break;
        case 2:
            xs[i] = 700.0 + u * 9.8;
            break;
        case 3:
        case 4:
            xs[i] = std::ldexp(2 * u - 1, -static_cast<int>(random() % 62));
            break;
        default:
            xs[i] = -64.0 + 128.0 * u;
            break;
        }
    }
    return xs;
}

// The fallback is taken now and then, but rarely, and every result matches.
TEST(ExactExp, MatchesQuadPrecisionReference) {
    size_t failures = 0;
    const size_t count = 1500000 / kSampleDivisor;
    const uint64_t slowBefore = ExactExpSlowPathCount();
    for (double x : Arguments(count, 1)) {
        double expected = Reference(x);
        if (ExactExp(x) != expected && ++failures <= 10)
            ADD_FAILURE() << std::hexfloat << "x = " << x << ": " << ExactExp(x)
                          << " != " << expected;
    }
    EXPECT_EQ(failures, 0u);
    const uint64_t slow = ExactExpSlowPathCount() - slowBefore;
    EXPECT_GT(slow, 0u);
    EXPECT_LT(slow, count / 1000);
}

// A few hundred consecutive doubles around the thresholds: 2^1024, 2^-1022 (last normal),
// 2^-1075 (rounds to 0 below) and 3 * 2^-1075 (one or two times the smallest subnormal).
TEST(ExactExp, ConsecutiveArgumentsAtThresholds) {
    for (double center : {kLastFinite, -708.3964185322641, -745.1332191019411, -744.4400719213812,
                          0x1p-53, -0x1p-54, -0x1p-53, 1.0}) {
        double x = center;
        for (int i = 0; i < 200; ++i)
            x = Down(x);
        for (int i = 0; i < 400; ++i, x = Up(x))
            ASSERT_EQ(ExactExp(x), Reference(x)) << std::hexfloat << x;
    }
}

// The fixed-point evaluation, on its own, over the whole range.
TEST(ExactExp, SlowPathMatchesReference) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> wide(-746.0, 709.79), deep(-746.0, -707.0);
    for (int i = 0; i < 40000 / kSampleDivisor; ++i) {
        double x = (i % 4 == 0) ? deep(random)
                   : (i % 4 == 1)
                       ? std::ldexp(wide(random) / 746.0, -static_cast<int>(random() % 60))
                       : wide(random);
        if (std::fabs(x) < 0x1p-60) continue;
        ASSERT_EQ(ExpSlowPath(x), Reference(x)) << std::hexfloat << x;
    }
    EXPECT_EQ(ExpSlowPath(-746.0), 0.0);
    EXPECT_EQ(ExpSlowPath(709.79), kInf);
    EXPECT_EQ(ExpSlowPath(0.0), 1.0);
    EXPECT_EQ(ExpSlowPath(-1000.0), 0.0);
    EXPECT_EQ(ExpFastApproximation(1000.0).hi, kInf);
}

// The rounding check relies on the fast approximation staying within 2^-66; it keeps 2^-68.
TEST(ExactExp, FastApproximationErrorBound) {
    double worst = 0;
    for (double x : Arguments(200000 / kSampleDivisor, 3)) {
        if (std::fabs(x) < 0x1p-60 || x < -746.0 || x > 709.79) continue;
        ExpApproximation a = ExpFastApproximation(x);
        __float128 approx = ldexpq(static_cast<__float128>(a.hi) + a.lo, a.scale);
        __float128 exact = expq(static_cast<__float128>(x));
        worst = std::fmax(worst, static_cast<double>(fabsq((approx - exact) / exact)));
        ASSERT_GE(a.hi + a.lo, 0.99);
        ASSERT_LE(a.hi + a.lo, 2.01);
    }
    EXPECT_LT(worst, 0x1p-68);
}

#endif

#ifdef QUAR_EXP_TABLE_FILE
TEST(ExactExp, CommittedTableIsTheGeneratorOutput) {
    std::ifstream file(QUAR_EXP_TABLE_FILE, std::ios::binary);
    ASSERT_TRUE(file.good());
    std::stringstream committed;
    committed << file.rdbuf();
    EXPECT_TRUE(committed.str() == ExpTableText())
        << "regenerate with: cmake --build <build dir> --target expgen_update";
}
#endif

} // namespace
