#include "engine/exact_exp.h"
#include "engine/exact_exp_internal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
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
constexpr double kE = std::numbers::e;
// The largest argument with a finite result: the double just below 1024 ln 2.
constexpr double kLastFinite = 0x1.62e42fefa39efp+9;

double Up(double x) {
    return std::nextafter(x, kInf);
}
double Down(double x) {
    return std::nextafter(x, -kInf);
}

// The limits, and the arguments near 0 where e^x = 1 + x + x^2/2 crosses the midpoints 1 +
// 2^-53 and 1 - 2^-54; e^-745 = 0.57 x 2^-1074 rounds up to the smallest subnormal. The
// fallback, called on its own, settles them alike.
TEST(ExactExp, SpecialValuesAndLimits) {
    EXPECT_TRUE(std::isnan(ExactExp(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_FALSE(std::signbit(ExactExp(-kInf)));
    constexpr double kMax = std::numeric_limits<double>::max();
    const double kBelowHalfUlp = Down(0x1p-53), kBelowQuarterUlp = Down(-0x1p-54);
    const double kPastLastFinite = Up(kLastFinite), kOneUp = Up(1.0), kOneDown = Down(1.0);
    const std::pair<double, double> limits[] = {
        {kInf, kInf},        {-kInf, 0.0},           {0.0, 1.0},     {-0.0, 1.0},
        {1.0, kE},           {710.0, kInf},          {1000.0, kInf}, {kMax, kInf},
        {-746.0, 0.0},       {-1000.0, 0.0},         {-kMax, 0.0},   {709.79, kInf},
        {-745.0, 0x1p-1074}, {kPastLastFinite, kInf}};
    const std::pair<double, double> nearZero[] = {
        {0x1p-1074, 1.0},  {-0x1p-60, 1.0},      {-0x1p-54, 1.0},
        {0x1p-53, kOneUp}, {kBelowHalfUlp, 1.0}, {kBelowQuarterUlp, kOneDown}};
    std::vector<std::pair<double, double>> cases(std::begin(limits), std::end(limits));
    cases.insert(cases.end(), std::begin(nearZero), std::end(nearZero));
    for (auto [x, y] : cases) {
        EXPECT_EQ(ExactExp(x), y) << std::hexfloat << x;
        EXPECT_EQ(ExpSlowPath(x), y) << std::hexfloat << x;
    }
    // e^kLastFinite = 2^1024 (1 - 2.4e-14) is below the largest double.
    EXPECT_LT(ExactExp(kLastFinite), kInf);
    EXPECT_GT(ExactExp(kLastFinite), 0x1.fffffffffp+1023);
    EXPECT_EQ(ExpFastApproximation(1000.0).hi, kInf);
}

#if QUAR_HAVE_QUADMATH

// expq carries 113 bits; rounding it once more to a double is exact unless e^x comes within
// about 2^-110 of a midpoint, which no argument met here does.
double Reference(double x) {
    return static_cast<double>(expq(static_cast<__float128>(x)));
}

// Arguments weighted towards what the engine uses, with the whole range and its edges included.
// By i % 10: the whole range, the subnormal results, near overflow, two tiny ones (3 and 4),
// then ordinary ones.
std::vector<double> Arguments(size_t count, uint64_t seed) {
    const std::pair<double, double> ranges[] = {
        {-745.2, 709.8}, {-745.2, -708.0}, {700.0, 709.8}, {-64.0, 64.0}};
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> xs(count);
    for (size_t i = 0; i < count; ++i) {
        const double u = unit(random);
        const size_t kind = i % 10;
        const auto [lo, hi] = ranges[kind < 3 ? kind : 3];
        if (kind == 3 || kind == 4)
            xs[i] = std::ldexp(2 * u - 1, -static_cast<int>(random() % 62));
        else
            xs[i] = lo + u * (hi - lo);
    }
    return xs;
}

// A few hundred consecutive doubles around each threshold: 2^1024, 2^-1022 (last normal),
// 2^-1075 (rounds to 0 below), 3 x 2^-1075 (one or two times the smallest subnormal) and the
// midpoints near 1.
std::vector<double> AroundThresholds() {
    std::vector<double> xs;
    for (double center : {kLastFinite, -708.3964185322641, -745.1332191019411, -744.4400719213812,
                          0x1p-53, -0x1p-54, -0x1p-53, 1.0}) {
        double x = center;
        for (int i = 0; i < 200; ++i)
            x = Down(x);
        for (int i = 0; i < 400; ++i, x = Up(x))
            xs.push_back(x);
    }
    return xs;
}

// Every argument set against the reference, through the function it exercises: sampled
// arguments, consecutive ones at the thresholds, and the fixed-point fallback on its own over
// the whole range. Among the sampled ones the fallback is taken now and then, but rarely.
TEST(ExactExp, MatchesQuadPrecisionReference) {
    const size_t count = 1500000 / kSampleDivisor;
    const struct {
        const char* name;
        double (*exp)(double);
        std::vector<double> xs;
    } sets[] = {{"sampled", ExactExp, Arguments(count, 1)},
                {"thresholds", ExactExp, AroundThresholds()},
                {"fallback", ExpSlowPath, Arguments(40000 / kSampleDivisor, 7)}};
    for (const auto& set : sets) {
        const uint64_t slowBefore = ExactExpSlowPathCount();
        size_t failures = 0;
        for (double x : set.xs)
            if (set.exp(x) != Reference(x) && ++failures <= 10)
                ADD_FAILURE() << set.name << std::hexfloat << " x = " << x << ": " << set.exp(x)
                              << " != " << Reference(x);
        EXPECT_EQ(failures, 0u) << set.name;
        if (&set != &sets[0]) continue;
        const uint64_t slow = ExactExpSlowPathCount() - slowBefore;
        EXPECT_GT(slow, 0u);
        EXPECT_LT(slow, count / 1000);
    }
}

// The rounding checks rely on two bounds: the double-double within 2^-66 of e^x (relative; it
// keeps 2^-68), and the quick estimate, in the normal range, well inside 2^-58 of the scaled
// value with its error term below half a last place. Arguments: the usual mix, and both ends
// of each reduction interval (the largest |r|, where the left-out terms are largest).
TEST(ExactExp, ApproximationsStayWithinTheirBounds) {
    std::vector<double> xs = Arguments(200000 / kSampleDivisor, 3);
    const double step = std::numbers::ln2 / 256;
    for (int k = -1021 * 256; k <= 1023 * 256; k += 97)
        for (double f : {-0.49999, 0.49999, 0.0, 0.25})
            xs.push_back((k + f) * step);
    double worstFast = 0, worstQuick = 0;
    for (double x : xs) {
        if (std::fabs(x) < 0x1p-60 || x < -746.0 || x > 709.79) continue;
        const __float128 exact = expq(static_cast<__float128>(x));
        const ExpApproximation a = ExpFastApproximation(x);
        const __float128 fast = ldexpq(static_cast<__float128>(a.hi) + a.lo, a.scale);
        worstFast = std::fmax(worstFast, static_cast<double>(fabsq((fast - exact) / exact)));
        if (x < -707.0) continue;
        const ExpEstimate e = ExpQuickEstimate(x);
        const __float128 estimate = static_cast<__float128>(e.value) + e.error;
        const __float128 scaled = ldexpq(exact, -e.scale);
        worstQuick = std::fmax(worstQuick, static_cast<double>(fabsq(estimate - scaled)));
        ASSERT_EQ(e.value + e.error, e.value) << x;
    }
    EXPECT_LT(worstFast, 0x1p-68);
    EXPECT_LT(worstQuick, 0x1p-60);
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
