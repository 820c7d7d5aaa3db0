// The kernels' one source, included by pass_kernels_baseline.cpp (SSE2) and
// pass_kernels_avx2.cpp (compiled for AVX2). Everything here has internal linkage and uses no
// inline function of another header, so code built for AVX2 can never stand in for baseline
// code at link time. The vector helpers below are the only part written per instruction set.
#include "engine/exact_exp.h"
#include "engine/pass_kernels.h"

#include <immintrin.h>

#include <cstdint>

namespace {

#include "engine/exact_exp_table.inc"

#if defined(__AVX2__)
using VD = __m256d;
using VI = __m256i;
constexpr int32_t kLanesD = 4;
constexpr int32_t kLanesI = 8;
inline VD LoadD(const double* p) {
    return _mm256_loadu_pd(p);
}
inline void StoreD(double* p, VD v) {
    _mm256_storeu_pd(p, v);
}
inline VD Set1D(double x) {
    return _mm256_set1_pd(x);
}
inline VD ZeroD() {
    return _mm256_setzero_pd();
}
inline VD AddD(VD a, VD b) {
    return _mm256_add_pd(a, b);
}
inline VD MulD(VD a, VD b) {
    return _mm256_mul_pd(a, b);
}
inline VD SubD(VD a, VD b) {
    return _mm256_sub_pd(a, b);
}
inline VD NegD(VD a) {
    return _mm256_xor_pd(a, _mm256_set1_pd(-0.0));
}
inline VD AndNotSignD(VD a) {
    return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a);
}
inline VD DivD(VD a, VD b) {
    return _mm256_div_pd(a, b);
}

// Lanes p[0], p[stride], p[2 stride], ...
inline VD StridedD(const double* p, int32_t stride) {
    return _mm256_set_pd(p[3 * stride], p[2 * stride], p[stride], p[0]);
}
inline VI LoadI(const int32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
inline void StoreI(int32_t* p, VI v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
inline VI Set1I(int32_t x) {
    return _mm256_set1_epi32(x);
}
inline VI ZeroI() {
    return _mm256_setzero_si256();
}
inline VI AddI(VI a, VI b) {
    return _mm256_add_epi32(a, b);
}
inline VI XorI(VI a, VI b) {
    return _mm256_xor_si256(a, b);
}
inline VI AndI(VI a, VI b) {
    return _mm256_and_si256(a, b);
}
template <int n> inline VI SraI(VI a) {
    return _mm256_srai_epi32(a, n);
}
template <int n> inline VI SllI(VI a) {
    return _mm256_slli_epi32(a, n);
}
// Lane q: lo[q] x b.low16 + hi[q] x b.high16, each a signed 16 x 16 product, summed at 32 bits.
inline VI MaddI(VI pairs, VI b) {
    return _mm256_madd_epi16(pairs, b);
}
// Lane q: lo[q] in the low half, hi[q] in the high half.
inline VI PairsI16(const int16_t* lo, const int16_t* hi) {
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lo));
    const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi));
    return _mm256_set_m128i(_mm_unpackhi_epi16(l, h), _mm_unpacklo_epi16(l, h));
}
// Lane q: p[q] in the high half, 0 in the low half.
inline VI HighI16(const int16_t* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm256_slli_epi32(_mm256_cvtepu16_epi32(v), 16);
}
// Stores each lane, known to lie in -32768 ... 32767, as 16 bits.
inline void StoreNarrowI16(int16_t* p, VI v) {
    const __m128i packed =
        _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), packed);
}
// The first `count` (1 ... 3) lanes, the others 0 on loading; nothing past them is read or
// written. Plain scalar moves rather than masked ones, which cannot take a value from a store
// still in flight, and these values were mostly stored a moment before.
inline VD LoadFirstD(const double* p, int32_t count) {
    return _mm256_set_pd(0.0, count > 2 ? p[2] : 0.0, count > 1 ? p[1] : 0.0, p[0]);
}
inline void StoreFirstD(double* p, int32_t count, VD v) {
    const __m128d low = _mm256_castpd256_pd128(v);
    _mm_store_sd(p, low);
    if (count > 1) _mm_storeh_pd(p + 1, low);
    if (count > 2) _mm_store_sd(p + 2, _mm256_extractf128_pd(v, 1));
}
// The update of the last `count` weights of a unit, in one vector step.
inline void UpdateDoubleTail(double* w, double* last, const double* a, int32_t count, VD g,
                             VD momentum, bool withMomentum) {
    VD change = MulD(LoadFirstD(a, count), g);
    if (withMomentum) change = AddD(change, MulD(LoadFirstD(last, count), momentum));
    StoreFirstD(last, count, change);
    StoreFirstD(w, count, AddD(LoadFirstD(w, count), change));
}
// The exponential's lane helpers: whole-number lanes as 32-bit integers (__m128i), one bit per
// lane of a comparison, the table entries of the index lanes, and 2^e of exponent lanes.
using VK = __m128i;
inline VK WholeLanes(VD v) {
    return _mm256_cvtpd_epi32(v);
}
inline int32_t GreaterEqualLanesD(VD a, VD b) {
    return _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_GE_OQ));
}
inline int32_t EqualLanesD(VD a, VD b) {
    return _mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_EQ_OQ));
}
inline int32_t WithinLanesK(VK v, int32_t low, int32_t high) {
    const VK outside = _mm_or_si128(_mm_cmplt_epi32(v, _mm_set1_epi32(low)),
                                    _mm_cmpgt_epi32(v, _mm_set1_epi32(high)));
    return ~_mm_movemask_ps(_mm_castsi128_ps(outside)) & 15;
}
inline VD GatherD(const double* base, VK index) {
    // Entries of two doubles; four plain loads beat a gather instruction on many CPUs.
    return _mm256_set_pd(base[2 * _mm_extract_epi32(index, 3)],
                         base[2 * _mm_extract_epi32(index, 2)],
                         base[2 * _mm_extract_epi32(index, 1)], base[2 * _mm_cvtsi128_si32(index)]);
}
inline VD Pow2D(VK exponent) {
    const __m256i biased = _mm256_cvtepi32_epi64(_mm_add_epi32(exponent, _mm_set1_epi32(1023)));
    return _mm256_castsi256_pd(_mm256_slli_epi64(biased, 52));
}
#else
using VD = __m128d;
using VI = __m128i;
constexpr int32_t kLanesD = 2;
constexpr int32_t kLanesI = 4;
inline VD LoadD(const double* p) {
    return _mm_loadu_pd(p);
}
inline void StoreD(double* p, VD v) {
    _mm_storeu_pd(p, v);
}
inline VD Set1D(double x) {
    return _mm_set1_pd(x);
}
inline VD ZeroD() {
    return _mm_setzero_pd();
}
inline VD AddD(VD a, VD b) {
    return _mm_add_pd(a, b);
}
inline VD MulD(VD a, VD b) {
    return _mm_mul_pd(a, b);
}
inline VD SubD(VD a, VD b) {
    return _mm_sub_pd(a, b);
}
inline VD NegD(VD a) {
    return _mm_xor_pd(a, _mm_set1_pd(-0.0));
}
inline VD AndNotSignD(VD a) {
    return _mm_andnot_pd(_mm_set1_pd(-0.0), a);
}
inline VD DivD(VD a, VD b) {
    return _mm_div_pd(a, b);
}

inline VD StridedD(const double* p, int32_t stride) {
    return _mm_loadh_pd(_mm_load_sd(p), p + stride);
}
inline VI LoadI(const int32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void StoreI(int32_t* p, VI v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
inline VI Set1I(int32_t x) {
    return _mm_set1_epi32(x);
}
inline VI ZeroI() {
    return _mm_setzero_si128();
}
inline VI AddI(VI a, VI b) {
    return _mm_add_epi32(a, b);
}
inline VI XorI(VI a, VI b) {
    return _mm_xor_si128(a, b);
}
inline VI AndI(VI a, VI b) {
    return _mm_and_si128(a, b);
}
template <int n> inline VI SraI(VI a) {
    return _mm_srai_epi32(a, n);
}
template <int n> inline VI SllI(VI a) {
    return _mm_slli_epi32(a, n);
}
inline VI MaddI(VI pairs, VI b) {
    return _mm_madd_epi16(pairs, b);
}
inline VI PairsI16(const int16_t* lo, const int16_t* hi) {
    const __m128i l = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lo));
    const __m128i h = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(hi));
    return _mm_unpacklo_epi16(l, h);
}
inline VI HighI16(const int16_t* p) {
    const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return _mm_unpacklo_epi16(_mm_setzero_si128(), v);
}
inline void StoreNarrowI16(int16_t* p, VI v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packs_epi32(v, v));
}
inline VD LoadFirstD(const double* p, int32_t) {
    return _mm_load_sd(p); // two lanes leave at most one
}
inline void StoreFirstD(double* p, int32_t, VD v) {
    _mm_store_sd(p, v);
}
using VK = __m128i;
inline VK WholeLanes(VD v) {
    return _mm_cvtpd_epi32(v);
}
inline int32_t GreaterEqualLanesD(VD a, VD b) {
    return _mm_movemask_pd(_mm_cmpge_pd(a, b));
}
inline int32_t EqualLanesD(VD a, VD b) {
    return _mm_movemask_pd(_mm_cmpeq_pd(a, b));
}
inline int32_t WithinLanesK(VK v, int32_t low, int32_t high) {
    const VK outside = _mm_or_si128(_mm_cmplt_epi32(v, _mm_set1_epi32(low)),
                                    _mm_cmpgt_epi32(v, _mm_set1_epi32(high)));
    return ~_mm_movemask_ps(_mm_castsi128_ps(outside)) & 3;
}
inline VD GatherD(const double* base, VK index) {
    const int32_t i0 = _mm_cvtsi128_si32(index);
    const int32_t i1 = _mm_cvtsi128_si32(_mm_srli_si128(index, 4));
    return _mm_loadh_pd(_mm_load_sd(base + 2 * i0), base + 2 * i1);
}
inline VD Pow2D(VK exponent) {
    const VK biased =
        _mm_unpacklo_epi32(_mm_add_epi32(exponent, _mm_set1_epi32(1023)), _mm_setzero_si128());
    return _mm_castsi128_pd(_mm_slli_epi64(biased, 52));
}
// The update of the last weight of a unit (two lanes leave at most one).
inline void UpdateDoubleTail(double* w, double* last, const double* a, int32_t, VD g, VD momentum,
                             bool withMomentum) {
    double change = a[0] * _mm_cvtsd_f64(g);
    if (withMomentum) change = change + last[0] * _mm_cvtsd_f64(momentum);
    last[0] = change;
    w[0] = w[0] + change;
}
#endif

// The wrapping sum of a vector's lanes.
inline int32_t SumI(VI v) {
    int32_t lanes[kLanesI];
    StoreI(lanes, v);
    uint32_t sum = 0;
    for (int32_t q = 0; q < kLanesI; ++q)
        sum += uint32_t(lanes[q]);
    return int32_t(sum);
}

// ---- Double method ------------------------------------------------------------------------

// Four vectors of units side by side (four independent chains of additions), then one vector
// of units, then single units.
void ForwardDouble(const double* below, const double* w, int32_t inputs, int32_t units,
                   double* net) {
    constexpr int32_t block = 4 * kLanesD;
    int32_t j = 0;
    for (; j + block <= units; j += block) {
        const double* row = w + int64_t(j) * inputs;
        const int64_t step = int64_t(kLanesD) * inputs;
        VD s0 = ZeroD(), s1 = ZeroD(), s2 = ZeroD(), s3 = ZeroD();
        for (int32_t i = 0; i < inputs; ++i, ++row) {
            const VD b = Set1D(below[i]);
            s0 = AddD(MulD(b, StridedD(row, inputs)), s0);
            s1 = AddD(MulD(b, StridedD(row + step, inputs)), s1);
            s2 = AddD(MulD(b, StridedD(row + 2 * step, inputs)), s2);
            s3 = AddD(MulD(b, StridedD(row + 3 * step, inputs)), s3);
        }
        StoreD(net + j, s0);
        StoreD(net + j + kLanesD, s1);
        StoreD(net + j + 2 * kLanesD, s2);
        StoreD(net + j + 3 * kLanesD, s3);
    }
    for (; j + kLanesD <= units; j += kLanesD) {
        const double* row = w + int64_t(j) * inputs;
        VD s = ZeroD();
        for (int32_t i = 0; i < inputs; ++i, ++row)
            s = AddD(MulD(Set1D(below[i]), StridedD(row, inputs)), s);
        StoreD(net + j, s);
    }
    for (; j < units; ++j) {
        const double* row = w + int64_t(j) * inputs;
        double s = 0.0;
        for (int32_t i = 0; i < inputs; ++i)
            s = below[i] * row[i] + s;
        net[j] = s;
    }
}

// Each s[j] accumulates in a register over every unit above, the weights read row by row.
void BackDouble(const double* deltaAbove, const double* w, int32_t n, int32_t above, double* s) {
    constexpr int32_t block = 4 * kLanesD;
    const int64_t stride = int64_t(n) + 1;
    int32_t j = 0;
    for (; j + block <= n; j += block) {
        VD s0 = ZeroD(), s1 = ZeroD(), s2 = ZeroD(), s3 = ZeroD();
        const double* row = w + j;
        for (int32_t k = 0; k < above; ++k, row += stride) {
            const VD d = Set1D(deltaAbove[k]);
            s0 = AddD(MulD(d, LoadD(row)), s0);
            s1 = AddD(MulD(d, LoadD(row + kLanesD)), s1);
            s2 = AddD(MulD(d, LoadD(row + 2 * kLanesD)), s2);
            s3 = AddD(MulD(d, LoadD(row + 3 * kLanesD)), s3);
        }
        StoreD(s + j, s0);
        StoreD(s + j + kLanesD, s1);
        StoreD(s + j + 2 * kLanesD, s2);
        StoreD(s + j + 3 * kLanesD, s3);
    }
    for (; j + kLanesD <= n; j += kLanesD) {
        VD s0 = ZeroD();
        const double* row = w + j;
        for (int32_t k = 0; k < above; ++k, row += stride)
            s0 = AddD(MulD(Set1D(deltaAbove[k]), LoadD(row)), s0);
        StoreD(s + j, s0);
    }
    for (; j < n; ++j) {
        double sum = 0.0;
        const double* row = w + j;
        for (int32_t k = 0; k < above; ++k, row += stride)
            sum = deltaAbove[k] * *row + sum;
        s[j] = sum;
    }
}

void UpdateDouble(double* w, double* last, const double* a, int32_t inputs, int32_t units,
                  const double* delta, double rateFactor, double momentum) {
    const VD m = Set1D(momentum);
    const int32_t vectorEnd = inputs - inputs % kLanesD;
    for (int32_t j = 0; j < units; ++j, w += inputs, last += inputs) {
        const VD g = Set1D(rateFactor * delta[j]);
        if (momentum != 0.0) {
            for (int32_t i = 0; i < vectorEnd; i += kLanesD) {
                const VD change = AddD(MulD(LoadD(a + i), g), MulD(LoadD(last + i), m));
                StoreD(last + i, change);
                StoreD(w + i, AddD(LoadD(w + i), change));
            }
        } else {
            for (int32_t i = 0; i < vectorEnd; i += kLanesD) {
                const VD change = MulD(LoadD(a + i), g);
                StoreD(last + i, change);
                StoreD(w + i, AddD(LoadD(w + i), change));
            }
        }
        if (vectorEnd < inputs)
            UpdateDoubleTail(w + vectorEnd, last + vectorEnd, a + vectorEnd, inputs - vectorEnd, g,
                             m, momentum != 0.0);
    }
}

// ---- The logistic transfer of a layer ----------------------------------------------------

// The engine's exponential, one argument per lane: its quick estimate of e^x and the check that
// every value within the estimate's error bound rounds to it. Lanes that the check cannot
// settle, or whose argument or result lies out of the plain range, go to ExactExp itself, so
// each of the first `lanes` results is the correctly rounded e^x.
[[gnu::always_inline]] inline VD ExpLanes(VD x, int32_t lanes) {
    constexpr double kRoundingShift = 0x1.8p52;
    constexpr double kQuickBound = 0x1p-58;
    const VD shift = Set1D(kRoundingShift);
    const VD kd = SubD(AddD(MulD(x, Set1D(kInvLn2Step)), shift), shift);
    const VK k = WholeLanes(kd);
    const VD r0 = SubD(x, MulD(kd, Set1D(kLn2StepHi)));
    // TwoSum(r0, -(kd x lo))
    const VD b = NegD(MulD(kd, Set1D(kLn2StepLo)));
    const VD rHi = AddD(r0, b);
    const VD bPart = SubD(rHi, r0);
    const VD rLo = AddD(SubD(r0, SubD(rHi, bPart)), SubD(b, bPart));
    const VK index = _mm_and_si128(k, _mm_set1_epi32(255));
    const VD tHi = GatherD(&kExpTable[0].hi, index);
    const VD tLo = GatherD(&kExpTable[0].lo, index);
    const VD r2 = MulD(rHi, rHi);
    const VD q = AddD(AddD(Set1D(0.5), MulD(rHi, Set1D(kInvFactorial3))),
                      MulD(r2, AddD(Set1D(kInvFactorial4), MulD(rHi, Set1D(kInvFactorial5)))));
    const VD sum = AddD(MulD(tHi, rHi), AddD(MulD(MulD(tHi, r2), q), AddD(tLo, MulD(tHi, rLo))));
    const VD y = AddD(tHi, sum);
    const VD error = SubD(sum, SubD(y, tHi));
    const VK scale = _mm_srai_epi32(k, 8);

    // |x| >= 2^-60 and -746 <= x <= 709.79 (NaN is neither), a normal result, a settled check.
    const VD magnitude = AndNotSignD(x);
    const VD bound = Set1D(kQuickBound);
    const int32_t plain =
        GreaterEqualLanesD(magnitude, Set1D(0x1p-60)) & GreaterEqualLanesD(x, Set1D(-746.0)) &
        GreaterEqualLanesD(Set1D(709.79), x) & WithinLanesK(scale, -1021, 1023) &
        EqualLanesD(y, AddD(y, AddD(error, bound))) & EqualLanesD(y, AddD(y, SubD(error, bound)));
    const VD result = MulD(y, Pow2D(scale));
    const int32_t wanted = (1 << lanes) - 1;
    if (__builtin_expect((plain & wanted) == wanted, 1)) return result;
    double values[kLanesD], arguments[kLanesD];
    StoreD(values, result);
    StoreD(arguments, x);
    for (int32_t lane = 0; lane < lanes; ++lane)
        if (!((plain >> lane) & 1)) values[lane] = ExactExp(arguments[lane]);
    return LoadD(values);
}

// net[j] becomes 1 / (1 + e^(-gain x net[j])): the logistic code of the double transfer
// function for several units at once. 1 + e^x >= 1, so the value already lies in 0 ... 1 and
// needs none of the transfer function's limits.
void LogisticDouble(double* net, int32_t count, double gain) {
    const VD negativeGain = Set1D(-gain);
    const VD one = Set1D(1.0);
    int32_t j = 0;
    for (; j + kLanesD <= count; j += kLanesD) {
        const VD e = ExpLanes(MulD(negativeGain, LoadD(net + j)), kLanesD);
        StoreD(net + j, DivD(one, AddD(one, e)));
    }
    if (j < count) {
        const int32_t lanes = count - j;
        const VD e = ExpLanes(MulD(negativeGain, LoadFirstD(net + j, lanes)), lanes);
        StoreFirstD(net + j, lanes, DivD(one, AddD(one, e)));
    }
}

// ---- Fixed method -------------------------------------------------------------------------

// (w >> 16) x x rounded to 2^-n by itself: (product + 2^(n-1)) >> n. The product of the
// weight's upper half and a 16-bit value fits in 32 bits.
template <int n> inline int32_t RoundedTerm(int32_t w, int32_t x) {
    return ((w >> 16) * x + (1 << (n - 1))) >> n;
}
// The vector form: with x in each lane's high half, madd gives (w >> 16) x x exactly.
template <int n> inline VI RoundedTerms(VI w, VI xHigh) {
    return SraI<n>(AddI(MaddI(w, xHigh), Set1I(1 << (n - 1))));
}

// The sum of one unit's rounded terms: whole vectors, then single terms.
inline int32_t ForwardFixedUnit(const int16_t* below, const int32_t* r, int32_t inputs,
                                int32_t vectorEnd) {
    uint32_t t = 0;
    if (vectorEnd > 0) {
        VI s = ZeroI();
        for (int32_t i = 0; i < vectorEnd; i += kLanesI)
            s = AddI(s, RoundedTerms<9>(LoadI(r + i), HighI16(below + i)));
        t = uint32_t(SumI(s));
    }
    for (int32_t i = vectorEnd; i < inputs; ++i)
        t += uint32_t(RoundedTerm<9>(r[i], below[i]));
    return int32_t(t);
}

// Four units at a time share each load of the activations; layers narrower than a vector
// go unit by unit.
void ForwardFixed(const int16_t* below, const int32_t* w, int32_t inputs, int32_t units,
                  int32_t* net) {
    const int32_t vectorEnd = inputs - inputs % kLanesI;
    int32_t j = 0;
    for (; vectorEnd > 0 && j + 4 <= units; j += 4) {
        const int32_t* r0 = w + int64_t(j) * inputs;
        const int32_t* r1 = r0 + inputs;
        const int32_t* r2 = r1 + inputs;
        const int32_t* r3 = r2 + inputs;
        VI s0 = ZeroI(), s1 = ZeroI(), s2 = ZeroI(), s3 = ZeroI();
        for (int32_t i = 0; i < vectorEnd; i += kLanesI) {
            const VI a = HighI16(below + i);
            s0 = AddI(s0, RoundedTerms<9>(LoadI(r0 + i), a));
            s1 = AddI(s1, RoundedTerms<9>(LoadI(r1 + i), a));
            s2 = AddI(s2, RoundedTerms<9>(LoadI(r2 + i), a));
            s3 = AddI(s3, RoundedTerms<9>(LoadI(r3 + i), a));
        }
        uint32_t t0 = uint32_t(SumI(s0)), t1 = uint32_t(SumI(s1));
        uint32_t t2 = uint32_t(SumI(s2)), t3 = uint32_t(SumI(s3));
        for (int32_t i = vectorEnd; i < inputs; ++i) {
            t0 += uint32_t(RoundedTerm<9>(r0[i], below[i]));
            t1 += uint32_t(RoundedTerm<9>(r1[i], below[i]));
            t2 += uint32_t(RoundedTerm<9>(r2[i], below[i]));
            t3 += uint32_t(RoundedTerm<9>(r3[i], below[i]));
        }
        net[j] = int32_t(t0);
        net[j + 1] = int32_t(t1);
        net[j + 2] = int32_t(t2);
        net[j + 3] = int32_t(t3);
    }
    for (; j < units; ++j)
        net[j] = ForwardFixedUnit(below, w + int64_t(j) * inputs, inputs, vectorEnd);
}

void BackFixed(const int16_t* deltaAbove, const int32_t* w, int32_t n, int32_t above, int32_t count,
               int32_t* s) {
    constexpr int32_t block = 4 * kLanesI;
    const int64_t stride = int64_t(n) + 1;
    int32_t j = 0;
    for (; j + block <= count; j += block) {
        VI s0 = ZeroI(), s1 = ZeroI(), s2 = ZeroI(), s3 = ZeroI();
        const int32_t* row = w + j;
        for (int32_t k = 0; k < above; ++k, row += stride) {
            const VI d = Set1I(int32_t(uint32_t(uint16_t(deltaAbove[k])) << 16));
            s0 = AddI(s0, RoundedTerms<10>(LoadI(row), d));
            s1 = AddI(s1, RoundedTerms<10>(LoadI(row + kLanesI), d));
            s2 = AddI(s2, RoundedTerms<10>(LoadI(row + 2 * kLanesI), d));
            s3 = AddI(s3, RoundedTerms<10>(LoadI(row + 3 * kLanesI), d));
        }
        StoreI(s + j, s0);
        StoreI(s + j + kLanesI, s1);
        StoreI(s + j + 2 * kLanesI, s2);
        StoreI(s + j + 3 * kLanesI, s3);
    }
    for (; j + kLanesI <= count; j += kLanesI) {
        VI s0 = ZeroI();
        const int32_t* row = w + j;
        for (int32_t k = 0; k < above; ++k, row += stride) {
            const VI d = Set1I(int32_t(uint32_t(uint16_t(deltaAbove[k])) << 16));
            s0 = AddI(s0, RoundedTerms<10>(LoadI(row), d));
        }
        StoreI(s + j, s0);
    }
    for (; j < count; ++j) {
        uint32_t sum = 0;
        const int32_t* row = w + j;
        for (int32_t k = 0; k < above; ++k, row += stride)
            sum += uint32_t(RoundedTerm<10>(*row, deltaAbove[k]));
        s[j] = int32_t(sum);
    }
}

constexpr int32_t kWeightLimitHigh = 1073741823; // just below 16.0; -16.0 is its complement

// One weight: c = a x g + last x momentum wrapping at 32 bits; the new last change is bits
// 16 ... 31 of 2c + 32768 (the doubling wraps); the weight moves by (c + 16) >> 5 and, once it
// has left -2^30 ... 2^30 - 1 (bits 31 and 30 differ), is held at the limit c points to.
inline void UpdateFixedWeight(int32_t& w, int16_t& last, int32_t a, int32_t g, int32_t momentum) {
    const int32_t c = int32_t(uint32_t(a * g) + uint32_t(last * momentum));
    last = int16_t(int32_t(uint32_t(c) * 2u + 32768u) >> 16);
    const int32_t moved = int32_t(uint32_t(w) + (uint32_t(int32_t(uint32_t(c) + 16u) >> 5)));
    if (((uint32_t(moved) >> 31) ^ (uint32_t(moved) >> 30)) & 1u)
        w = c >= 0 ? kWeightLimitHigh : ~kWeightLimitHigh;
    else
        w = moved;
}

void UpdateFixed(int32_t* w, int16_t* last, const int16_t* a, int32_t inputs, int32_t units,
                 const int16_t* delta, int32_t rateFactor, int32_t momentum) {
    const VI high = Set1I(kWeightLimitHigh);
    for (int32_t j = 0; j < units; ++j, w += inputs, last += inputs) {
        // g: delta x rate x 2 rounded to 2^-16, taken as 16 bits.
        const int64_t scaled = int64_t(delta[j]) * rateFactor * 2 + 32768;
        const int32_t g = int16_t(uint16_t(uint64_t(scaled >> 16) & 0xFFFFu));
        int32_t i = 0;
        for (; i + kLanesI <= inputs; i += kLanesI) {
            const VI factors = Set1I(int32_t((uint32_t(momentum) << 16) | uint16_t(g)));
            const VI c = MaddI(PairsI16(a + i, last + i), factors);
            StoreNarrowI16(last + i, SraI<16>(AddI(SllI<1>(c), Set1I(32768))));
            const VI moved = AddI(LoadI(w + i), SraI<5>(AddI(c, Set1I(16))));
            const VI left = SraI<31>(XorI(moved, SllI<1>(moved)));
            const VI limit = XorI(high, SraI<31>(c));
            StoreI(w + i, XorI(moved, AndI(left, XorI(moved, limit))));
        }
        for (; i < inputs; ++i)
            UpdateFixedWeight(w[i], last[i], a[i], g, momentum);
    }
}

// The table of this file's kernels.
constexpr PassKernels KernelSet(const char* name) {
    return {.name = name,
            .forwardDouble = ForwardDouble,
            .backDouble = BackDouble,
            .updateDouble = UpdateDouble,
            .logisticDouble = LogisticDouble,
            .forwardFixed = ForwardFixed,
            .backFixed = BackFixed,
            .updateFixed = UpdateFixed};
}

} // namespace
