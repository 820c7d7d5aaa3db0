// The constants are computed in binary fixed point with 384 fraction bits, far more than any of
// them needs, and each is rounded to nearest once from that value. A value whose rounding the
// working precision could not settle stops the generator instead of producing a doubtful table.
#include "expgen_table.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kFracLimbs = 12;
constexpr int kLimbs = kFracLimbs + 1;
constexpr int kFracBits = 32 * kFracLimbs;
// Each constant is correct to well within 2^-360: bits below that are not trusted for rounding.
constexpr int kTrustedLowBit = kFracBits - 360;

// Non-negative fixed-point number: limb 0 is the lowest, the last limb the integer part.
using Fix = std::array<uint32_t, kLimbs>;

Fix FromInt(uint32_t n) {
    Fix v{};
    v[kFracLimbs] = n;
    return v;
}

bool IsZero(const Fix& a) {
    for (uint32_t limb : a)
        if (limb) return false;
    return true;
}

int Compare(const Fix& a, const Fix& b) {
    for (int i = kLimbs - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

Fix Add(const Fix& a, const Fix& b) {
    Fix s{};
    uint64_t carry = 0;
    for (int i = 0; i < kLimbs; ++i) {
        uint64_t t = uint64_t{a[i]} + b[i] + carry;
        s[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    return s;
}

// a - b for a >= b.
Fix Sub(const Fix& a, const Fix& b) {
    Fix d{};
    int64_t borrow = 0;
    for (int i = 0; i < kLimbs; ++i) {
        int64_t t = int64_t{a[i]} - b[i] - borrow;
        borrow = t < 0;
        d[i] = static_cast<uint32_t>(t + (borrow << 32));
    }
    return d;
}

// Product truncated to the working precision.
Fix Mul(const Fix& a, const Fix& b) {
    std::array<uint32_t, 2 * kLimbs> wide{};
    for (int i = 0; i < kLimbs; ++i) {
        uint64_t carry = 0;
        for (int j = 0; j < kLimbs; ++j) {
            uint64_t t = uint64_t{a[i]} * b[j] + wide[i + j] + carry;
            wide[i + j] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        wide[i + kLimbs] = static_cast<uint32_t>(carry);
    }
    Fix p{};
    for (int i = 0; i < kLimbs; ++i)
        p[i] = wide[i + kFracLimbs];
    return p;
}

Fix MulSmall(const Fix& a, uint32_t n) {
    Fix p{};
    uint64_t carry = 0;
    for (int i = 0; i < kLimbs; ++i) {
        uint64_t t = uint64_t{a[i]} * n + carry;
        p[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    return p;
}

// Quotient truncated to the working precision.
Fix DivSmall(const Fix& a, uint32_t n) {
    Fix q{};
    uint64_t rest = 0;
    for (int i = kLimbs - 1; i >= 0; --i) {
        uint64_t t = (rest << 32) | a[i];
        q[i] = static_cast<uint32_t>(t / n);
        rest = t % n;
    }
    return q;
}

int Bit(const Fix& a, int i) {
    return i < 0 ? 0 : (a[i / 32] >> (i % 32)) & 1;
}

int LeadingBit(const Fix& a) {
    for (int i = 32 * kLimbs - 1; i >= 0; --i)
        if (Bit(a, i)) return i;
    return -1;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "expgen: %s\n", what);
    std::exit(1);
}

// A double that the working precision holds exactly.
Fix FromDouble(double d) {
    int exponent = 0;
    double fraction = std::frexp(d, &exponent);
    auto mant = static_cast<uint64_t>(std::ldexp(fraction, 53));
    int shift = exponent - 53 + kFracBits;
    if (d < 0 || shift < 0) Fail("value outside the working range");
    Fix v{};
    for (int b = 0; b < 53; ++b)
        if ((mant >> b) & 1) v[(shift + b) / 32] |= uint32_t{1} << ((shift + b) % 32);
    return v;
}

// a rounded to nearest with the given number of significant bits.
double RoundToBits(const Fix& a, int bits) {
    int lead = LeadingBit(a);
    if (lead < 0) return 0.0;
    int low = lead - bits + 1;
    if (low - 1 <= kTrustedLowBit) Fail("value too small for the working precision");
    uint64_t mant = 0;
    for (int i = lead; i >= low; --i)
        mant = (mant << 1) | Bit(a, i);
    int half = Bit(a, low - 1);
    bool allZero = true, allOne = true;
    for (int i = low - 2; i >= kTrustedLowBit; --i) {
        if (Bit(a, i))
            allZero = false;
        else
            allOne = false;
    }
    if ((half && allZero) || (!half && allOne)) Fail("rounding not settled at this precision");
    if (half) ++mant; // not a tie (checked above), so the half bit alone decides
    return std::ldexp(static_cast<double>(mant), low - kFracBits);
}

double RoundToDouble(const Fix& a) {
    return RoundToBits(a, 53);
}

// The part of a that the double d leaves, rounded to nearest (either sign).
double RoundedRemainder(const Fix& a, double d) {
    Fix dd = FromDouble(d);
    return Compare(a, dd) >= 0 ? RoundToDouble(Sub(a, dd)) : -RoundToDouble(Sub(dd, a));
}

// ln 2 = 2 atanh(1/3) = 2 (sum over odd n of 1 / (n 3^n)).
Fix Ln2() {
    Fix sum{};
    Fix power = DivSmall(FromInt(1), 3);
    for (uint32_t n = 1; !IsZero(power); n += 2) {
        sum = Add(sum, DivSmall(power, n));
        power = DivSmall(power, 9);
    }
    return MulSmall(sum, 2);
}

// e^y for 0 <= y < 1 from its Taylor series.
Fix Exp(const Fix& y) {
    Fix sum = FromInt(1);
    Fix term = FromInt(1);
    for (uint32_t n = 1;; ++n) {
        term = DivSmall(Mul(term, y), n);
        if (IsZero(term)) break;
        sum = Add(sum, term);
    }
    return sum;
}

// 1 / a by Newton's iteration y <- y (2 - a y), from a double start.
Fix Reciprocal(const Fix& a, double start) {
    Fix y = FromDouble(start);
    for (int i = 0; i < 6; ++i)
        y = Mul(y, Sub(FromInt(2), Mul(a, y)));
    return y;
}

std::string Hex(double d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%a", d);
    return buffer;
}

std::string Line(const char* format, const std::string& a, const std::string& b = {}) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, a.c_str(), b.c_str());
    return buffer;
}

// The top 192 fraction bits and the integer limb of a, as a braced list of 32-bit limbs.
std::string WideText(const Fix& a) {
    std::string text = "{";
    for (int i = kFracLimbs - 6; i < kLimbs; ++i) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%s0x%08xu", i > kFracLimbs - 6 ? ", " : "", a[i]);
        text += buffer;
    }
    return text + "}";
}

} // namespace

std::string ExpTableText() {
    constexpr uint32_t kSteps = 256;
    const Fix ln2 = Ln2();
    std::string text;
    text +=
        "// Generated by tools/expgen (target expgen_update) from exact integer arithmetic: do not "
        "edit.\n\n";
    text += "struct ExpTableEntry {\n    double hi, lo;\n};\n\n";
    text += "// 2^(j/256) for j = 0..255 as the unevaluated sum hi + lo, each part rounded to "
            "nearest.\n";
    text += "static constexpr ExpTableEntry kExpTable[256] = {\n";
    for (uint32_t j = 0; j < kSteps; ++j) {
        Fix value = Exp(DivSmall(MulSmall(ln2, j), kSteps));
        double hi = RoundToDouble(value);
        double lo = RoundedRemainder(value, hi);
        text += Line("    {%s, %s},\n", Hex(hi), Hex(lo));
    }
    text += "};\n\n";

    const Fix ln2Step = DivSmall(ln2, kSteps);
    // 32 significant bits: k * hi is exact for every |k| < 2^21.
    double ln2StepHi = RoundToBits(ln2Step, 32);
    double ln2StepLo = RoundedRemainder(ln2Step, ln2StepHi);
    double inverseStep = RoundToDouble(MulSmall(Reciprocal(ln2, 1.4426950408889634), kSteps));
    text += "// 256 / ln 2, and ln 2 / 256 as hi + lo with k * hi exact for |k| < 2^21.\n";
    text += Line("static constexpr double kInvLn2Step = %s;\n", Hex(inverseStep));
    text += Line("static constexpr double kLn2StepHi = %s;\n", Hex(ln2StepHi));
    text += Line("static constexpr double kLn2StepLo = %s;\n\n", Hex(ln2StepLo));

    text += "// 1/n! for n = 3..6.\n";
    Fix factorial = DivSmall(FromInt(1), 2);
    for (uint32_t n = 3; n <= 6; ++n) {
        factorial = DivSmall(factorial, n);
        text += Line("static constexpr double kInvFactorial%s = %s;\n", std::to_string(n),
                     Hex(RoundToDouble(factorial)));
    }

    text +=
        "\n// ln 2, and 1/n! for n = 0..17, truncated to 192 fraction bits: 32-bit limbs, lowest "
        "first,\n// the last one the integer part.\n";
    text += "static constexpr uint32_t kLn2Limbs[7] = " + WideText(ln2) + ";\n";
    text += "static constexpr uint32_t kInvFactorialLimbs[18][7] = {\n";
    Fix inverse = FromInt(1);
    for (uint32_t n = 0; n <= 17; ++n) {
        if (n > 0) inverse = DivSmall(inverse, n);
        text += "    " + WideText(inverse) + ",\n";
    }
    text += "};\n";
    return text;
}
