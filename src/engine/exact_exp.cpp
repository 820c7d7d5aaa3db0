// e^x = 2^m * 2^(j/256) * e^r with x = (256 m + j) ln2/256 + r and |r| <= ln2/512.
//
// Three stages, each entered only when the one before cannot settle the result. A quick
// estimate from a short chain of double operations, within 2^-60.4, settles about 97 in 100
// arguments: those where every value within 2^-58 of it rounds to the same double. The fast
// approximation carries the result as a double-double with a relative error below 2^-68, then
// checks whether every value within 2^-66 of it rounds to the same double. The rare arguments it
// cannot settle go to a 192-bit fixed-point evaluation, whose error (below 2^-170) is far
// smaller than the closest any e^x comes to a rounding boundary.
#include "engine/exact_exp.h"

#include "engine/exact_exp_internal.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

#include "engine/exact_exp_table.inc"

// Adding then subtracting 1.5 * 2^52 rounds a double of magnitude below 2^51 to an integer.
constexpr double kRoundingShift = 0x1.8p52;
// Beyond these the result is certainly +inf or rounds to 0; inside them the scaling handles the
// exact thresholds.
constexpr double kOverflowBound = 709.79;
constexpr double kUnderflowBound = -746.0;
// Below this e^x is within 2^-60 of 1.0 and rounds to it.
constexpr double kNearZero = 0x1p-60;

// How often the slow path ran: a statistic for the benchmarks, never read by the library and
// never reset, so it stays beside the code that counts.
uint64_t gSlowPathCount = 0;

// 2^e for -1074 <= e <= 1023, subnormal powers included.
double Pow2(int e) {
    if (e >= -1022) return std::bit_cast<double>(static_cast<uint64_t>(e + 1023) << 52);
    return std::bit_cast<double>(uint64_t{1} << (e + 1074));
}

// s + e == a + b exactly, for any a and b.
void TwoSum(double a, double b, double& s, double& e) {
    s = a + b;
    double bPart = s - a;
    e = (a - (s - bPart)) + (b - bPart);
}

// s + e == a + b exactly, for |a| >= |b|.
void FastTwoSum(double a, double b, double& s, double& e) {
    s = a + b;
    e = b - (s - a);
}

// hi + lo == a, each part with at most 26 significant bits.
void Split(double a, double& hi, double& lo) {
    double scaled = 134217729.0 * a; // 2^27 + 1
    hi = scaled - (scaled - a);
    lo = a - hi;
}

// p + e == a * b exactly (no fused multiply-add needed).
void TwoProduct(double a, double b, double& p, double& e) {
    p = a * b;
    double aHi, aLo, bHi, bLo;
    Split(a, aHi, aLo);
    Split(b, bHi, bLo);
    e = ((aHi * bHi - p) + aHi * bLo + aLo * bHi) + aLo * bLo;
}

// v * 2^m for v in [0.99, 2.01] and -1021 <= m <= 1024: exact, or +inf when it overflows.
double ScaleNormal(double v, int32_t m) {
    if (m > 1023) return v * Pow2(1023) * 2.0;
    return v * Pow2(m);
}

// ---- 192-bit fixed point: six fraction limbs and one integer limb, lowest limb first --------

constexpr int kWideLimbs = 7;
constexpr int kWideFractionBits = 192;

struct Wide {
    uint32_t limb[kWideLimbs];
};

bool Less(const Wide& a, const Wide& b) {
    for (int i = kWideLimbs - 1; i >= 0; --i)
        if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i];
    return false;
}

void Add(Wide& a, const Wide& b) {
    uint64_t carry = 0;
    for (int i = 0; i < kWideLimbs; ++i) {
        uint64_t t = uint64_t{a.limb[i]} + b.limb[i] + carry;
        a.limb[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
}

// a -= b, for a >= b.
void Subtract(Wide& a, const Wide& b) {
    uint32_t borrow = 0;
    for (int i = 0; i < kWideLimbs; ++i) {
        uint64_t t = uint64_t{a.limb[i]} - b.limb[i] - borrow;
        a.limb[i] = static_cast<uint32_t>(t);
        borrow = static_cast<uint32_t>(t >> 63);
    }
}

// a * b with the bits below 2^-192 dropped, for a product below 2^32.
Wide Multiply(const Wide& a, const Wide& b) {
    uint32_t full[2 * kWideLimbs] = {};
    for (int i = 0; i < kWideLimbs; ++i) {
        uint64_t carry = 0;
        for (int j = 0; j < kWideLimbs; ++j) {
            uint64_t t = uint64_t{a.limb[i]} * b.limb[j] + full[i + j] + carry;
            full[i + j] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        full[i + kWideLimbs] = static_cast<uint32_t>(carry);
    }
    Wide p;
    for (int i = 0; i < kWideLimbs; ++i)
        p.limb[i] = full[i + kWideLimbs - 1];
    return p;
}

// a >>= bits, for 0 < bits < 32.
void ShiftRight(Wide& a, int bits) {
    for (int i = 0; i < kWideLimbs - 1; ++i)
        a.limb[i] = (a.limb[i] >> bits) | (a.limb[i + 1] << (32 - bits));
    a.limb[kWideLimbs - 1] >>= bits;
}

int Bit(const Wide& a, int i) {
    if (i < 0 || i >= 32 * kWideLimbs) return 0;
    return (a.limb[i / 32] >> (i % 32)) & 1;
}

void SetBit(Wide& a, int i) {
    a.limb[i / 32] |= uint32_t{1} << (i % 32);
}

// Whether any bit below bit i (0 <= i < 224) is set.
bool AnyBitBelow(const Wide& a, int i) {
    for (int l = 0; l < i / 32; ++l)
        if (a.limb[l]) return true;
    return (a.limb[i / 32] & ((uint32_t{1} << (i % 32)) - 1)) != 0;
}

Wide FromLimbs(const uint32_t (&limbs)[kWideLimbs]) {
    Wide w;
    for (int i = 0; i < kWideLimbs; ++i)
        w.limb[i] = limbs[i];
    return w;
}

// e^(sign * magnitude) for magnitude < 1: the series at magnitude / 256 (17 terms leave out less
// than 2^-200), then squared 8 times.
Wide ExpOfSmall(Wide magnitude, bool negative) {
    constexpr int kHalvings = 8;
    constexpr int kDegree = 17;
    ShiftRight(magnitude, kHalvings);
    Wide sum = FromLimbs(kInvFactorialLimbs[kDegree]);
    for (int n = kDegree - 1; n >= 0; --n) {
        Wide product = Multiply(sum, magnitude);
        sum = FromLimbs(kInvFactorialLimbs[n]);
        // With the magnitude below 2^-9, each product stays far below the coefficient it meets.
        if (negative)
            Subtract(sum, product);
        else
            Add(sum, product);
    }
    for (int i = 0; i < kHalvings; ++i)
        sum = Multiply(sum, sum);
    return sum;
}

// value * 2^(k - 192) rounded to nearest double, subnormals and overflow included.
double RoundScaled(const Wide& value, int32_t k) {
    int lead = 32 * kWideLimbs - 1;
    while (lead >= 0 && !Bit(value, lead))
        --lead;
    if (lead < 0) return 0.0;
    int exponent = lead - kWideFractionBits + k;
    if (exponent > 1023) return std::numeric_limits<double>::infinity();
    // The lowest kept bit: 53 significant bits, or the 2^-1074 place for a subnormal result.
    int low = lead - 52;
    if (low < kWideFractionBits - 1074 - k) low = kWideFractionBits - 1074 - k;
    uint64_t mantissa = 0;
    for (int i = lead; i >= low; --i)
        mantissa = (mantissa << 1) | Bit(value, i);
    if (Bit(value, low - 1) && (AnyBitBelow(value, low - 1) || (mantissa & 1))) ++mantissa;
    // Exact, or +inf when rounding carried past the largest double.
    return static_cast<double>(mantissa) * Pow2(low - kWideFractionBits + k);
}

// x = (256 m + j) ln2/256 + r: r as the exact sum rHi + rLo (|rHi| <= ln2/512 and a little),
// k = 256 m + j, and the table entry of 2^(j/256).
struct Reduction {
    double rHi, rLo;
    const ExpTableEntry* t;
    int32_t k;
};

[[gnu::always_inline]] inline Reduction Reduce(double x) {
    const double shifted = x * kInvLn2Step + kRoundingShift;
    double kd = shifted - kRoundingShift;
    // The integer kd is also the low half of the shifted sum's bits, known a conversion sooner.
    auto k = static_cast<int32_t>(static_cast<uint32_t>(std::bit_cast<uint64_t>(shifted)));
    double r0 = x - kd * kLn2StepHi; // exact: kLn2StepHi has 32 significant bits
    Reduction red;
    TwoSum(r0, -(kd * kLn2StepLo), red.rHi, red.rLo);
    red.t = &kExpTable[k & 255];
    red.k = k;
    return red;
}

// The quick estimate: 2^(j/256) e^r = tHi + s, and its rounding y = tHi + s with
// error = s - (y - tHi), both subtractions exact (y lies within a factor 2 of tHi, and s - (y -
// tHi) is a multiple of s's last place below 2^-53). With tHi < 2 and |r| < 2^-9.5, tHi + s is
// within 2^-60.4 of the value: 2^-62 from rounding tHi rHi, 2^-62 from rounding the last sum of s,
// 2^-62.5 for the term tLo r left out, 2^-65.5 for the terms past r^5/5! and far less from the
// rest (the reduction, the table, rLo in the square, the small products).
[[gnu::always_inline]] inline double Estimate(const Reduction& red, double& error) {
    const double rHi = red.rHi;
    const double tHi = red.t->hi;
    const double r2 = rHi * rHi;
    const double q = (0.5 + rHi * kInvFactorial3) + r2 * (kInvFactorial4 + rHi * kInvFactorial5);
    const double s = tHi * rHi + ((tHi * r2) * q + (red.t->lo + tHi * red.rLo));
    const double y = tHi + s;
    error = s - (y - tHi);
    return y;
}

// The double-double approximation. Inlined into ExactExp: with the estimate, it is most of
// its time.
[[gnu::always_inline]] inline ExpApproximation Refine(const Reduction& red) {
    const double rHi = red.rHi, rLo = red.rLo;
    // e^r - 1 = r + r^2 (1/2 + r/3! + ... + r^4/6!); the terms past r^6/6! are below 2^-78.
    double poly =
        0.5 + rHi * (kInvFactorial3 +
                     rHi * (kInvFactorial4 + rHi * (kInvFactorial5 + rHi * kInvFactorial6)));
    double rest = (rHi * rHi) * poly;
    double pHi, pLo;
    FastTwoSum(rHi, rLo + rest, pHi, pLo); // |rLo + rest| < |rHi| / 2, or both are 0

    // 2^(j/256) (1 + p) in double-double.
    const ExpTableEntry& t = *red.t;
    double uHi, uLo;
    TwoProduct(t.hi, pHi, uHi, uLo);
    double low = t.lo + (uLo + (t.hi * pLo + t.lo * pHi));
    double sHi, sLo;
    FastTwoSum(t.hi, uHi, sHi, sLo);
    ExpApproximation a;
    FastTwoSum(sHi, sLo + low, a.hi, a.lo);
    a.scale = red.k >> 8;
    return a;
}

} // namespace

ExpApproximation ExpFastApproximation(double x) {
    if (!(std::fabs(x) >= kNearZero && x >= kUnderflowBound && x <= kOverflowBound))
        return {ExactExp(x), 0.0, 0};
    return Refine(Reduce(x));
}

ExpEstimate ExpQuickEstimate(double x) {
    const Reduction red = Reduce(x);
    ExpEstimate e;
    e.value = Estimate(red, e.error);
    e.scale = red.k >> 8;
    return e;
}

double ExpSlowPath(double x) {
    if (!(std::fabs(x) >= kNearZero && x >= kUnderflowBound && x <= kOverflowBound))
        return ExactExp(x); // settled there without this path
    auto bits = std::bit_cast<uint64_t>(x);
    bool negative = (bits >> 63) != 0;
    int biased = static_cast<int>((bits >> 52) & 0x7ff);
    uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    // |x| = mantissa * 2^(biased - 1075); for 2^-60 <= |x| < 2^10 it fits the 192-bit fraction.
    int lowest = biased - 1075 + kWideFractionBits;
    Wide magnitude{};
    for (int b = 0; b < 53; ++b)
        if ((mantissa >> b) & 1) SetBit(magnitude, lowest + b);

    // k = nearest integer to x / ln2, so |r| = |x - k ln2| <= ln2/2.
    double kd = (x * (kInvLn2Step * 0x1p-8) + kRoundingShift) - kRoundingShift;
    auto k = static_cast<int32_t>(kd);
    Wide kLn2{};
    uint64_t carry = 0;
    uint32_t kMagnitude = static_cast<uint32_t>(k < 0 ? -k : k);
    for (int i = 0; i < kWideLimbs; ++i) {
        uint64_t t = uint64_t{kLn2Limbs[i]} * kMagnitude + carry;
        kLn2.limb[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }

    // x and k ln2 have the same sign.
    bool rNegative = negative;
    if (Less(magnitude, kLn2)) {
        Subtract(kLn2, magnitude);
        magnitude = kLn2;
        rNegative = !negative;
    } else {
        Subtract(magnitude, kLn2);
    }
    return RoundScaled(ExpOfSmall(magnitude, rNegative), k);
}

uint64_t ExactExpSlowPathCount() {
    return gSlowPathCount;
}

double ExactExp(double x) {
    if (x != x) return x + x;
    if (x > kOverflowBound) return std::numeric_limits<double>::infinity();
    if (x < kUnderflowBound) return 0.0;
    if (std::fabs(x) < kNearZero) return 1.0;

    const Reduction red = Reduce(x);
    // Settled by the estimate when every value within kQuickBound (over 5 times its error) of
    // tHi + s rounds to y: nearly always, and then the double-double is not computed at all.
    constexpr double kQuickBound = 0x1p-58;
    if (red.k >= -1021 * 256) {
        double error;
        const double y = Estimate(red, error);
        if (__builtin_expect(y + (error + kQuickBound) == y && y + (error - kQuickBound) == y, 1))
            return ScaleNormal(y, red.k >> 8);
    }
    ExpApproximation a = Refine(red);
    constexpr double kErrorBound = 0x1p-66;
    if (a.scale >= -1021) {
        double bound = a.hi * kErrorBound;
        double up = a.hi + (a.lo + bound);
        if (up == a.hi + (a.lo - bound)) return ScaleNormal(up, a.scale);
    } else {
        // Scaled by 2^1022, a result below 2^-1022 (spaced 2^-1074) becomes a value below 1.
        double factor = Pow2(a.scale + 1022);
        double hi = a.hi * factor;
        double lo = a.lo * factor;
        if (hi > 1.0) {
            double bound = a.hi * kErrorBound;
            double up = a.hi + (a.lo + bound);
            if (up == a.hi + (a.lo - bound)) return (up * factor) * 0x1p-1022;
        } else {
            // 1 + v has the same spacing (2^-52) as v * 2^-1022 has for a subnormal result.
            double s, t;
            TwoSum(1.0, hi, s, t);
            double up = s + (t + (lo + 2 * kErrorBound));
            if (up == s + (t + (lo - 2 * kErrorBound))) return (up - 1.0) * 0x1p-1022;
        }
    }
    ++gSlowPathCount;
    return ExpSlowPath(x);
}
