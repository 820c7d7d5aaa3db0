#include "engine/exact_exp.h"
#include "engine/exact_exp_internal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#if QUAR_HAVE_QUADMATH
extern "C" {
__float128 expq(__float128);
__float128 ldexpq(__float128, int);
__float128 fabsq(__float128);
}

namespace {

// The exponential returns its quick estimate whenever everything within 2^-58 of it rounds the
// same, so the estimate must stay well inside that. Arguments: the ends of each reduction
// interval (the largest |r|, where the left-out terms are largest) for every table entry, and
// ordinary values over the whole normal range.
TEST(ExpQuickEstimate, StaysWithinItsErrorBound) {
    std::vector<double> xs;
    const double step = std::numbers::ln2 / 256;
    for (int k = -1021 * 256; k <= 1023 * 256; k += 97)
        for (double f : {-0.49999, 0.49999, 0.0, 0.25})
            xs.push_back((k + f) * step);
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> wide(-707.0, 709.0), narrow(-40.0, 40.0);
    for (int i = 0; i < 100000; ++i)
        xs.push_back(i % 2 ? wide(random) : narrow(random));

    double worst = 0.0;
    for (double x : xs) {
        if (std::fabs(x) < 0x1p-60) continue;
        const ExpEstimate e = ExpQuickEstimate(x);
        const __float128 exact = ldexpq(expq(static_cast<__float128>(x)), -e.scale);
        const __float128 estimate = static_cast<__float128>(e.value) + e.error;
        worst = std::fmax(worst, static_cast<double>(fabsq(estimate - exact)));
        ASSERT_EQ(e.value + e.error, e.value) << x; // the error is below half a last place
    }
    EXPECT_LT(worst, 0x1p-60);
}

} // namespace
#endif
