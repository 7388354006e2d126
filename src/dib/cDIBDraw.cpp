// Drawing one bitmap onto another: the row routines, clipping, rotation and
// scaling, film strips, stretching, the 3 x 3 filter and window regions.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "dib/cDIB.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define TARNWICK_DIB_SSE2 1
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TARNWICK_DIB_AVX2 1
#endif

namespace {

// ---- per-pixel formulas ----------------------------------------------------
// Blending with weight w, per colour byte: ((s*w + d*(255-w)) shr 8) + 1. The
// sum never exceeds 255*255, so 16-bit lanes hold it without overflow.

inline std::uint8_t BlendByte(unsigned s, unsigned d, unsigned w) {
    return std::uint8_t(((s * w + d * (255u - w)) >> 8) + 1u);
}

// Blends colours with weight w and keeps the destination's mask byte.
inline TDIBPixel BlendPixel(const TDIBPixel& s, const TDIBPixel& d, unsigned w) {
    return {BlendByte(s.Blue, d.Blue, w), BlendByte(s.Green, d.Green, w),
            BlendByte(s.Red, d.Red, w), d.Mask};
}

inline std::uint32_t Word(const TDIBPixel& p) {
    std::uint32_t v;
    std::memcpy(&v, &p, 4);
    return v;
}

inline TDIBPixel FromWord(std::uint32_t v) {
    TDIBPixel p;
    std::memcpy(&p, &v, 4);
    return p;
}

#ifdef TARNWICK_DIB_SSE2
// Four pixels at a time: unpack to 16-bit lanes (two pixels per register),
// blend, shift by 8, add 1, pack back. `wlo`/`whi` hold the weight of each
// lane for the low and high pixel pairs.
inline __m128i Blend4(__m128i s, __m128i d, __m128i wlo, __m128i whi) {
    // s*w + d*(255-w) = d*255 + (s-d)*w; computed modulo 2^16 the result is
    // exact because the true sum lies in 0..65025.
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi16(1);
    __m128i slo = _mm_unpacklo_epi8(s, zero), shi = _mm_unpackhi_epi8(s, zero);
    __m128i dlo = _mm_unpacklo_epi8(d, zero), dhi = _mm_unpackhi_epi8(d, zero);
    __m128i rlo = _mm_add_epi16(_mm_sub_epi16(_mm_slli_epi16(dlo, 8), dlo),
                                _mm_mullo_epi16(_mm_sub_epi16(slo, dlo), wlo));
    __m128i rhi = _mm_add_epi16(_mm_sub_epi16(_mm_slli_epi16(dhi, 8), dhi),
                                _mm_mullo_epi16(_mm_sub_epi16(shi, dhi), whi));
    rlo = _mm_add_epi16(_mm_srli_epi16(rlo, 8), one);
    rhi = _mm_add_epi16(_mm_srli_epi16(rhi, 8), one);
    return _mm_packus_epi16(rlo, rhi);
}

// The mask byte of each pixel of a pair, spread over that pixel's four lanes.
inline __m128i SpreadMask(__m128i pair16) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(pair16, 0xFF), 0xFF);
}

inline __m128i Load(const TDIBPixel* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store(TDIBPixel* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i Select(__m128i maskBits, __m128i a, __m128i b)  // maskBits ? a : b
{
    return _mm_or_si128(_mm_and_si128(maskBits, a), _mm_andnot_si128(maskBits, b));
}
#endif

#ifdef TARNWICK_DIB_AVX2
// The blends eight pixels at a time, for processors that have AVX2 (chosen
// once, at start-up). Each returns how many pixels it handled; the caller
// finishes the row.
//
// With s' = s - 128 and d' = d - 128 (signed bytes),
//   s*w + d*(255-w) = s'*w + d'*(255-w) + 128*255,
// and |s'*w + d'*(255-w)| <= 128*255 fits a signed 16-bit lane, so one
// multiply-add of the byte pairs (s', d') with the weight pairs (w, 255-w)
// gives the sum; ((sum + 128*255) shr 8) + 1 = (sum + 0x8080) shr 8, exact in
// 16 bits because the true sum is at most 65,025.
#define AVX2_FN __attribute__((target("avx2")))

// Blends the colour bytes of 8 pixels; `wlo`/`whi` are the weight pairs for
// the unpacked low and high halves. The mask byte is kept from d.
AVX2_FN inline __m256i Blend8(__m256i s, __m256i d, __m256i wlo, __m256i whi) {
    const __m256i bias = _mm256_set1_epi8(char(0x80));
    const __m256i round = _mm256_set1_epi16(short(0x8080));
    const __m256i keep = _mm256_set1_epi32(int(0xFF000000u));
    const __m256i sb = _mm256_xor_si256(s, bias), db = _mm256_xor_si256(d, bias);
    __m256i lo = _mm256_maddubs_epi16(wlo, _mm256_unpacklo_epi8(sb, db));
    __m256i hi = _mm256_maddubs_epi16(whi, _mm256_unpackhi_epi8(sb, db));
    lo = _mm256_srli_epi16(_mm256_add_epi16(lo, round), 8);
    hi = _mm256_srli_epi16(_mm256_add_epi16(hi, round), 8);
    return _mm256_blendv_epi8(_mm256_packus_epi16(lo, hi), d, keep);
}
// Weight pairs (w, 255 - w) from 16-bit lanes holding w * 257 (w in both bytes).
AVX2_FN inline __m256i WeightPairs(__m256i w257) {
    return _mm256_xor_si256(w257, _mm256_set1_epi16(short(0xFF00)));
}
// Byte `B` of each pixel (3: the mask) in both bytes of that pixel's 16-bit
// lanes, for the low (pixels 0, 1 of each 128-bit half) and high (2, 3)
// unpacked halves.
template <int B>
AVX2_FN inline __m256i PixelByteLo(__m256i v) {
    constexpr char p = B, q = B + 4;
    return _mm256_shuffle_epi8(v, _mm256_setr_epi8(p, p, p, p, p, p, p, p, q, q, q, q, q, q, q, q,
                                                   p, p, p, p, p, p, p, p, q, q, q, q, q, q, q, q));
}
template <int B>
AVX2_FN inline __m256i PixelByteHi(__m256i v) {
    constexpr char p = B + 8, q = B + 12;
    return _mm256_shuffle_epi8(v, _mm256_setr_epi8(p, p, p, p, p, p, p, p, q, q, q, q, q, q, q, q,
                                                   p, p, p, p, p, p, p, p, q, q, q, q, q, q, q, q));
}
AVX2_FN inline __m256i Load8(const TDIBPixel* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
AVX2_FN inline void Store8(TDIBPixel* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

AVX2_FN int CopyOpacityAvx2(const TDIBPixel* s, TDIBPixel* d, int n, unsigned o) {
    const __m256i w = WeightPairs(_mm256_set1_epi16(short(o * 257)));
    int i = 0;
    for (; i + 8 <= n; i += 8) Store8(d + i, Blend8(Load8(s + i), Load8(d + i), w, w));
    return i;
}

AVX2_FN int MaskedAvx2(const TDIBPixel* s, TDIBPixel* d, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i sv = Load8(s + i);
        Store8(d + i, Blend8(sv, Load8(d + i), WeightPairs(PixelByteLo<3>(sv)),
                             WeightPairs(PixelByteHi<3>(sv))));
    }
    return i;
}

AVX2_FN int MaskedOpacityAvx2(const TDIBPixel* s, TDIBPixel* d, int n, unsigned o) {
    const __m256i ov = _mm256_set1_epi16(short(o));
    const __m256i maskBytes = _mm256_set1_epi32(int(0xFF000000u));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i sv = Load8(s + i);
        // The high half of (m shl 8) * o is exactly (m * o) shr 8; it lands in
        // byte 2 of each pixel.
        const __m256i w = _mm256_mulhi_epu16(_mm256_and_si256(sv, maskBytes), ov);
        const __m256i wlo = WeightPairs(PixelByteLo<2>(w));
        const __m256i whi = WeightPairs(PixelByteHi<2>(w));
        Store8(d + i, Blend8(sv, Load8(d + i), wlo, whi));
    }
    return i;
}

AVX2_FN int TransparentAvx2(const TDIBPixel* s, TDIBPixel* d, int n, std::uint32_t key) {
    const __m256i colours = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i kv = _mm256_set1_epi32(int(key));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i s24 = _mm256_and_si256(Load8(s + i), colours);
        Store8(d + i, _mm256_blendv_epi8(s24, Load8(d + i), _mm256_cmpeq_epi32(s24, kv)));
    }
    return i;
}

AVX2_FN int TransparentOpacityAvx2(const TDIBPixel* s, TDIBPixel* d, int n, std::uint32_t key,
                                   unsigned o) {
    const __m256i colours = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i kv = _mm256_set1_epi32(int(key));
    const __m256i w = WeightPairs(_mm256_set1_epi16(short(o * 257)));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i sv = Load8(s + i), dv = Load8(d + i);
        const __m256i isKey = _mm256_cmpeq_epi32(_mm256_and_si256(sv, colours), kv);
        // Blended colours with the source's mask byte.
        const __m256i blended =
            _mm256_blendv_epi8(Blend8(sv, dv, w, w), sv, _mm256_set1_epi32(int(0xFF000000u)));
        Store8(d + i, _mm256_blendv_epi8(blended, dv, isKey));
    }
    return i;
}

// The same with AVX-512BW, sixteen pixels at a time; byte selections use mask
// registers instead of blend instructions.
#define AVX512_FN __attribute__((target("avx512f,avx512bw")))

AVX512_FN inline __m512i Blend16(__m512i s, __m512i d, __m512i wlo, __m512i whi) {
    const __m512i bias = _mm512_set1_epi8(char(0x80));
    const __m512i round = _mm512_set1_epi16(short(0x8080));
    const __m512i sb = _mm512_xor_si512(s, bias), db = _mm512_xor_si512(d, bias);
    __m512i lo = _mm512_maddubs_epi16(wlo, _mm512_unpacklo_epi8(sb, db));
    __m512i hi = _mm512_maddubs_epi16(whi, _mm512_unpackhi_epi8(sb, db));
    lo = _mm512_srli_epi16(_mm512_add_epi16(lo, round), 8);
    hi = _mm512_srli_epi16(_mm512_add_epi16(hi, round), 8);
    return _mm512_packus_epi16(lo, hi);
}
constexpr __mmask64 kMaskBytes = 0x8888888888888888ull;  // byte 3 of every pixel
AVX512_FN inline __m512i WeightPairs16(__m512i w257) {
    return _mm512_xor_si512(w257, _mm512_set1_epi16(short(0xFF00)));
}
// As PixelByteLo/Hi: each 128-bit quarter selects bytes p (8 times) then q.
template <int B>
AVX512_FN inline __m512i PixelByteLo16(__m512i v) {
    constexpr int p = B * 0x01010101, q = (B + 4) * 0x01010101;
    return _mm512_shuffle_epi8(v, _mm512_set4_epi32(q, q, p, p));
}
template <int B>
AVX512_FN inline __m512i PixelByteHi16(__m512i v) {
    constexpr int p = (B + 8) * 0x01010101, q = (B + 12) * 0x01010101;
    return _mm512_shuffle_epi8(v, _mm512_set4_epi32(q, q, p, p));
}
AVX512_FN inline __m512i Load16(const TDIBPixel* p) { return _mm512_loadu_si512(p); }
AVX512_FN inline void Store16(TDIBPixel* p, __m512i v) { _mm512_storeu_si512(p, v); }

AVX512_FN int CopyOpacityAvx512(const TDIBPixel* s, TDIBPixel* d, int n, unsigned o) {
    const __m512i w = WeightPairs16(_mm512_set1_epi16(short(o * 257)));
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i dv = Load16(d + i);
        Store16(d + i, _mm512_mask_blend_epi8(kMaskBytes, Blend16(Load16(s + i), dv, w, w), dv));
    }
    return i;
}

AVX512_FN int MaskedAvx512(const TDIBPixel* s, TDIBPixel* d, int n) {
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i sv = Load16(s + i), dv = Load16(d + i);
        const __m512i r = Blend16(sv, dv, WeightPairs16(PixelByteLo16<3>(sv)),
                                  WeightPairs16(PixelByteHi16<3>(sv)));
        Store16(d + i, _mm512_mask_blend_epi8(kMaskBytes, r, dv));
    }
    return i;
}

AVX512_FN int MaskedOpacityAvx512(const TDIBPixel* s, TDIBPixel* d, int n, unsigned o) {
    const __m512i ov = _mm512_set1_epi16(short(o));
    const __m512i maskBytes = _mm512_set1_epi32(int(0xFF000000u));
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i sv = Load16(s + i), dv = Load16(d + i);
        const __m512i w = _mm512_mulhi_epu16(_mm512_and_si512(sv, maskBytes), ov);
        const __m512i r =
            Blend16(sv, dv, WeightPairs16(PixelByteLo16<2>(w)), WeightPairs16(PixelByteHi16<2>(w)));
        Store16(d + i, _mm512_mask_blend_epi8(kMaskBytes, r, dv));
    }
    return i;
}

AVX512_FN int TransparentAvx512(const TDIBPixel* s, TDIBPixel* d, int n, std::uint32_t key) {
    const __m512i colours = _mm512_set1_epi32(0x00FFFFFF);
    const __m512i kv = _mm512_set1_epi32(int(key));
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i s24 = _mm512_and_si512(Load16(s + i), colours);
        // Pixels that are not the key are stored; the rest stay untouched.
        _mm512_mask_storeu_epi32(d + i, _mm512_cmpneq_epi32_mask(s24, kv), s24);
    }
    return i;
}

AVX512_FN int TransparentOpacityAvx512(const TDIBPixel* s, TDIBPixel* d, int n, std::uint32_t key,
                                       unsigned o) {
    const __m512i colours = _mm512_set1_epi32(0x00FFFFFF);
    const __m512i kv = _mm512_set1_epi32(int(key));
    const __m512i w = WeightPairs16(_mm512_set1_epi16(short(o * 257)));
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i sv = Load16(s + i), dv = Load16(d + i);
        const __mmask16 copy = _mm512_cmpneq_epi32_mask(_mm512_and_si512(sv, colours), kv);
        // Blended colours with the source's mask byte, stored where not the key.
        const __m512i r = _mm512_mask_blend_epi8(kMaskBytes, Blend16(sv, dv, w, w), sv);
        _mm512_mask_storeu_epi32(d + i, copy, r);
    }
    return i;
}

// 0: SSE2 and scalar only, 1: AVX2, 2: AVX-512BW.
int HighestVectorLevel() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512f")) return 2;
    return __builtin_cpu_supports("avx2") ? 1 : 0;
}
const int kHighestLevel = HighestVectorLevel();
int vectorLevel = kHighestLevel;

#define WIDE(name, args)       \
    if (vectorLevel == 2)      \
        i = name##Avx512 args; \
    else if (vectorLevel == 1) \
    i = name##Avx2 args
#else
const int kHighestLevel = 0;
int vectorLevel = 0;
#define WIDE(name, args)
#endif

// ---- rows -------------------------------------------------------------------
// Each kernel handles one row of n pixels: the widest vectors first, then four
// at a time, then one by one.

void RowCopyOpacityKernel(const TDIBPixel* s, TDIBPixel* d, int n, unsigned o) {
    int i = 0;
    WIDE(CopyOpacity, (s, d, n, o));
#ifdef TARNWICK_DIB_SSE2
    const __m128i w = _mm_set1_epi16(short(o));
    const __m128i keepMask = _mm_set1_epi32(int(0xFF000000u));
    for (; i + 4 <= n; i += 4) {
        __m128i dv = Load(d + i);
        __m128i r = Blend4(Load(s + i), dv, w, w);
        Store(d + i, Select(keepMask, dv, r));
    }
#endif
    for (; i < n; ++i) d[i] = BlendPixel(s[i], d[i], o);
}

void RowMaskedKernel(const TDIBPixel* s, TDIBPixel* d, int n) {
    int i = 0;
    WIDE(Masked, (s, d, n));
#ifdef TARNWICK_DIB_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i keepMask = _mm_set1_epi32(int(0xFF000000u));
    for (; i + 4 <= n; i += 4) {
        __m128i sv = Load(s + i), dv = Load(d + i);
        __m128i wlo = SpreadMask(_mm_unpacklo_epi8(sv, zero));
        __m128i whi = SpreadMask(_mm_unpackhi_epi8(sv, zero));
        Store(d + i, Select(keepMask, dv, Blend4(sv, dv, wlo, whi)));
    }
#endif
    for (; i < n; ++i) d[i] = BlendPixel(s[i], d[i], s[i].Mask);
}

void RowMaskedOpacityKernel(const TDIBPixel* s, TDIBPixel* d, int n, unsigned o) {
    int i = 0;
    WIDE(MaskedOpacity, (s, d, n, o));
#ifdef TARNWICK_DIB_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i ov = _mm_set1_epi16(short(o));
    const __m128i keepMask = _mm_set1_epi32(int(0xFF000000u));
    for (; i + 4 <= n; i += 4) {
        __m128i sv = Load(s + i), dv = Load(d + i);
        // (m * o) shr 8: at most 254, so the 16-bit product cannot overflow.
        __m128i wlo =
            _mm_srli_epi16(_mm_mullo_epi16(SpreadMask(_mm_unpacklo_epi8(sv, zero)), ov), 8);
        __m128i whi =
            _mm_srli_epi16(_mm_mullo_epi16(SpreadMask(_mm_unpackhi_epi8(sv, zero)), ov), 8);
        Store(d + i, Select(keepMask, dv, Blend4(sv, dv, wlo, whi)));
    }
#endif
    for (; i < n; ++i) d[i] = BlendPixel(s[i], d[i], (unsigned(s[i].Mask) * o) >> 8);
}

void RowTransparentKernel(const TDIBPixel* s, TDIBPixel* d, int n, std::uint32_t key) {
    key &= 0x00FFFFFFu;
    int i = 0;
    WIDE(Transparent, (s, d, n, key));
#ifdef TARNWICK_DIB_SSE2
    const __m128i colours = _mm_set1_epi32(0x00FFFFFF);
    const __m128i kv = _mm_set1_epi32(int(key));
    for (; i + 4 <= n; i += 4) {
        __m128i s24 = _mm_and_si128(Load(s + i), colours);
        __m128i isKey = _mm_cmpeq_epi32(s24, kv);
        Store(d + i, Select(isKey, Load(d + i), s24));
    }
#endif
    for (; i < n; ++i) {
        std::uint32_t s24 = Word(s[i]) & 0x00FFFFFFu;
        if (s24 != key) d[i] = FromWord(s24);
    }
}

void RowTransparentOpacityKernel(const TDIBPixel* s, TDIBPixel* d, int n, std::uint32_t key,
                                 unsigned o) {
    key &= 0x00FFFFFFu;
    int i = 0;
    WIDE(TransparentOpacity, (s, d, n, key, o));
#ifdef TARNWICK_DIB_SSE2
    const __m128i colours = _mm_set1_epi32(0x00FFFFFF);
    const __m128i kv = _mm_set1_epi32(int(key));
    const __m128i w = _mm_set1_epi16(short(o));
    for (; i + 4 <= n; i += 4) {
        __m128i sv = Load(s + i), dv = Load(d + i);
        __m128i isKey = _mm_cmpeq_epi32(_mm_and_si128(sv, colours), kv);
        __m128i blended = Select(colours, Blend4(sv, dv, w, w), sv);  // source mask byte
        Store(d + i, Select(isKey, dv, blended));
    }
#endif
    for (; i < n; ++i) {
        if ((Word(s[i]) & 0x00FFFFFFu) != key) {
            TDIBPixel p = BlendPixel(s[i], d[i], o);
            p.Mask = s[i].Mask;
            d[i] = p;
        }
    }
}

void RowMaskOnlyKernel(const TDIBPixel* s, TDIBPixel* d, int n) {
    for (int i = 0; i < n; ++i) d[i].Mask = s[i].Mask;
}

void RowMaskAsGreyKernel(const TDIBPixel* s, TDIBPixel* d, int n) {
    for (int i = 0; i < n; ++i) {
        std::uint8_t m = s[i].Mask;
        d[i] = {m, m, m, m};
    }
}

// Runs `row` over `rows` rows, stepping one image row down on both sides.
template <class Row>
void ForRows(const TDIBPixel* s, TDIBPixel* d, int rows, std::ptrdiff_t ss, std::ptrdiff_t ds,
             Row row) {
    for (int r = 0; r < rows; ++r) {
        row(s, d);
        if (r + 1 < rows) {
            s -= ss;
            d -= ds;
        }
    }
}

// Frees a temporary bitmap whatever happens.
using TempDIB = std::unique_ptr<TMemoryDIB>;

}  // namespace

int DIBVectorLevel() { return vectorLevel; }
int DIBHighestVectorLevel() { return kHighestLevel; }
void SetDIBVectorLevel(int Level) { vectorLevel = std::clamp(Level, 0, kHighestLevel); }

// ---- trigonometric tables ----------------------------------------------------

namespace {
// kind 0: sin a, 1: cos a, 2: sin(a + pi/2), 3: cos(a + pi/2); a in extended
// precision, rounded to nearest with ties to even.
std::array<int, 360> MakeTable(int kind) {
    const long double pi = 3.14159265358979323846264338327950288L;
    std::array<int, 360> t{};
    for (int d = 0; d < 360; ++d) {
        const long double a = (long double)d * pi / 180.0L;
        long double v = 0;
        switch (kind) {
            case 0: v = std::sin(a); break;
            case 1: v = std::cos(a); break;
            case 2: v = std::sin(a + pi / 2.0L); break;
            default: v = std::cos(a + pi / 2.0L); break;
        }
        t[d] = int(std::nearbyintl(v * 256.0L));
    }
    return t;
}
}  // namespace

const std::array<int, 360> SinTable = MakeTable(0);
const std::array<int, 360> CosTable = MakeTable(1);
const std::array<int, 360> CosQuarterTable = MakeTable(2);
const std::array<int, 360> NegSinQuarterTable = MakeTable(3);

// ---- row routines bound to a bitmap -------------------------------------------

void TAbstractSuperDIB::RowMaskAsGrey(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                      std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W](const TDIBPixel* s, TDIBPixel* d) { RowMaskAsGreyKernel(s, d, W); });
}

void TAbstractSuperDIB::RowMaskOnly(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                    std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W](const TDIBPixel* s, TDIBPixel* d) { RowMaskOnlyKernel(s, d, W); });
}

void TAbstractSuperDIB::RowCopy(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    const std::size_t bytes = std::size_t(W) * sizeof(TDIBPixel);
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [bytes](const TDIBPixel* s, TDIBPixel* d) { std::memmove(d, s, bytes); });
}

void TAbstractSuperDIB::RowCopyOpacity(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                       std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    const unsigned o = Opacity_;
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W, o](const TDIBPixel* s, TDIBPixel* d) { RowCopyOpacityKernel(s, d, W, o); });
}

void TAbstractSuperDIB::RowMasked(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                  std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W](const TDIBPixel* s, TDIBPixel* d) { RowMaskedKernel(s, d, W); });
}

void TAbstractSuperDIB::RowMaskedOpacity(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                         std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    const unsigned o = Opacity_;
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W, o](const TDIBPixel* s, TDIBPixel* d) { RowMaskedOpacityKernel(s, d, W, o); });
}

void TAbstractSuperDIB::RowTransparent(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                       std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    const std::uint32_t key = TransparentColor_;
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W, key](const TDIBPixel* s, TDIBPixel* d) { RowTransparentKernel(s, d, W, key); });
}

void TAbstractSuperDIB::RowTransparentOpacity(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                              std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    const std::uint32_t key = TransparentColor_;
    const unsigned o = Opacity_;
    ForRows(Src, Dst, Rows, SrcStride, DstStride, [W, key, o](const TDIBPixel* s, TDIBPixel* d) {
        RowTransparentOpacityKernel(s, d, W, key, o);
    });
}

void TAbstractSuperDIB::SelectDrawProc() {
    // Masked wins over Transparent.
    TDIBRowRoutine r;
    if (Opacity_ == 255)
        r = Masked_        ? &TAbstractSuperDIB::RowMasked
            : Transparent_ ? &TAbstractSuperDIB::RowTransparent
                           : &TAbstractSuperDIB::RowCopy;
    else
        r = Masked_        ? &TAbstractSuperDIB::RowMaskedOpacity
            : Transparent_ ? &TAbstractSuperDIB::RowTransparentOpacity
                           : &TAbstractSuperDIB::RowCopyOpacity;
    DrawProc_ = Bound(r);
}

// ---- Draw ---------------------------------------------------------------------

void TAbstractSuperDIB::Draw(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX,
                             int SrcY) {
    if (Angle_ != 0 || ScaleX_ != 100.0L || ScaleY_ != 100.0L)
        DrawTransformed(X, Y, W, H, Dest);
    else
        DrawPlain(X, Y, W, H, Dest, SrcX, SrcY);
}

void TAbstractSuperDIB::DrawPlain(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX,
                                  int SrcY) {
    // A bitmap without pixels (on either side) has nothing to give or take.
    if (!Dest || !Dest->Bits_ || !Bits_ || !DrawProc_.Owner) return;
    SrcX = std::uint16_t(SrcX);
    SrcY = std::uint16_t(SrcY);
    const TRect& clip = Dest->ClipRect_;
    // 64-bit so that extreme arguments cannot wrap around.
    long long x = X, y = Y, w = W, h = H, sx = SrcX, sy = SrcY;
    if (x < clip.Left) {
        long long k = clip.Left - x;
        sx += k, w -= k, x = clip.Left;
    }
    if (y < clip.Top) {
        long long k = clip.Top - y;
        sy += k, h -= k, y = clip.Top;
    }
    if (x + w > clip.Right) w = clip.Right - x + 1;
    if (y + h > clip.Bottom) h = clip.Bottom - y + 1;
    if (sx + w > Width_) w = Width_ - sx;
    if (sy + h > Height_) h = Height_ - sy;
    // Safeguard: the rectangle must lie inside Dest whatever its ClipRect says.
    if (x < 0 || y < 0) return;
    w = std::min<long long>(w, Dest->Width_ - x);
    h = std::min<long long>(h, Dest->Height_ - y);
    if (w <= 0 || h <= 0) return;

    const TDIBPixel* src = Bits_ + (Height_ - 1 - sy) * Width_ + sx;
    TDIBPixel* dst = Dest->Bits_ + (Dest->Height_ - 1 - y) * Dest->Width_ + x;
    DrawProc_(src, dst, int(h), int(w), Width_, Dest->Width_);
    Dest->Changed();
}

void TAbstractSuperDIB::DrawTransformed(int X, int Y, int W, int H, TAbstractSuperDIB* Dest) {
    if (!Dest || !Dest->Bits_ || !Bits_) return;
    TDIBSize box{W, H};
    if (AutoSize_) box = CalcRotatedSize(W, H, Angle_, double(ScaleX_), double(ScaleY_));
    if (box.Width < 0 || box.Height < 0 || box.Width > 0xFFFF || box.Height > 0xFFFF) return;

    // A zero side is one pixel, as for any new bitmap. The box starts
    // transparent black, which it keeps where the picture renders nothing (a
    // zero scale renders nothing at all).
    TempDIB temp = std::make_unique<TMemoryDIB>(std::max(box.Width, 1), std::max(box.Height, 1));
    temp->SetMasked(Masked_);
    temp->SetOpacity(Opacity_);
    temp->SetTransparent(Transparent_);
    temp->SetTransparentMode(tmFixed);
    temp->SetTransparentColor(TransparentColor());
    RenderTransformed(temp.get());
    temp->DrawProc_ = DrawProc_;  // still bound to Self: Self's opacity and key apply
    temp->DrawPlain(X, Y, temp->Width_, temp->Height_, Dest, 0, 0);
}

void TAbstractSuperDIB::DrawWithRoutine(TDIBRowRoutine Routine, bool Untransformed, int X, int Y,
                                        int W, int H, TAbstractSuperDIB* Dest, int SrcX, int SrcY) {
    struct Restore {
        TAbstractSuperDIB* self;
        TDIBDrawProc proc;
        TAngle angle;
        long double sx, sy;
        ~Restore() {
            self->DrawProc_ = proc;
            self->Angle_ = angle;
            self->ScaleX_ = sx;
            self->ScaleY_ = sy;
        }
    } restore{this, DrawProc_, Angle_, ScaleX_, ScaleY_};
    DrawProc_ = Bound(Routine);
    if (Untransformed) {
        Angle_ = 0;
        ScaleX_ = ScaleY_ = 100.0L;
    }
    Draw(X, Y, W, H, Dest, SrcX, SrcY);
}

void TAbstractSuperDIB::DrawRaw(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX,
                                int SrcY) {
    DrawWithRoutine(&TAbstractSuperDIB::RowCopy, true, X, Y, W, H, Dest, SrcX, SrcY);
}

void TAbstractSuperDIB::DrawMask(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX,
                                 int SrcY) {
    DrawWithRoutine(&TAbstractSuperDIB::RowMaskOnly, false, X, Y, W, H, Dest, SrcX, SrcY);
}

void TAbstractSuperDIB::DrawMaskAsGrey(int X, int Y, int W, int H, TAbstractSuperDIB* Dest,
                                       int SrcX, int SrcY) {
    DrawWithRoutine(&TAbstractSuperDIB::RowMaskAsGrey, false, X, Y, W, H, Dest, SrcX, SrcY);
}

// ---- rotation and scaling --------------------------------------------------------

TDIBSize CalcRotatedSize(int W, int H, int Angle, double ScaleX, double ScaleY) {
    const double pi = 3.14159265358979323846;
    const double r = double(-Angle) * pi / 180.0;
    const double w = W * ScaleX / 100.0, h = H * ScaleY / 100.0;
    auto even = [](double v) {
        // Sizes beyond any bitmap are reported as the largest int; the caller refuses them.
        if (!(v < 2147483646.0)) return std::numeric_limits<int>::max();
        int n = int(std::ceil(v));
        return (n & 1) ? n + 1 : n;
    };
    return {even(std::fabs(w * std::cos(r)) + std::fabs(h * std::sin(r))),
            even(std::fabs(w * std::sin(r)) + std::fabs(h * std::cos(r)))};
}

namespace {
// A fixed-point step, rounded to nearest with ties to even; limited so that the
// 64-bit accumulators cannot overflow however small the scale.
long long Step(int tableValue, int size, long double scaledSize) {
    long double v = std::nearbyintl((long double)(tableValue * size) / scaledSize);
    const long double limit = 1099511627776.0L;  // 2^40
    if (!(v < limit)) return (long long)limit;
    if (!(v > -limit)) return -(long long)limit;
    return (long long)v;
}
}  // namespace

void TAbstractSuperDIB::RenderTransformed(TAbstractSuperDIB* Dest) {
    if (!Dest || !Dest->Bits_ || !Bits_) return;
    const std::uint32_t fill = Masked_ ? 0u : (TransparentColor_ & 0x00FFFFFFu);
    const long double sx = ScaleX_ / 100.0L, sy = ScaleY_ / 100.0L;
    const long double sw = Width_ * sx, sh = Height_ * sy;
    if (sw == 0 || sh == 0 || std::isnan(sw) || std::isnan(sh)) return;

    const int d = Angle_ % 360;
    const long long A = Step(CosTable[d], Width_, sw);
    const long long B = Step(SinTable[d], Height_, sh);
    const long long C = Step(NegSinQuarterTable[d], Width_, sw);
    const long long D = Step(CosQuarterTable[d], Height_, sh);

    const long long hw = Width_ / 2, hh = Height_ / 2;
    const TDIBPixel* origin = Bits_ + hh * Width_ + hw;
    const long long dw2 = Dest->Width_ / 2, dh2 = Dest->Height_ / 2;
    long long uRow = -A * dw2 - C * dh2;
    long long vRow = -B * dw2 - D * dh2;
    const TDIBPixel fillPixel = FromWord(fill);

    TDIBPixel* out = Dest->Bits_;
    for (int j = 0; j < Dest->Height_; ++j) {
        long long u = uRow, v = vRow;
        for (int i = 0; i < Dest->Width_; ++i, ++out) {
            const long long yy = v / 256, xx = u / 256;  // truncation toward zero
            if (-hh < yy && yy < hh && -hw < xx && xx < hw)
                *out = origin[yy * Width_ + xx];
            else
                *out = fillPixel;
            u += A;
            v += B;
        }
        uRow += C;
        vRow += D;
    }
    Dest->Changed();
}

// ---- film strips ------------------------------------------------------------------

void DrawGlyph(TAbstractSuperDIB* Picture, int X, int Y, int Index, int NumGlyphs,
               TAbstractSuperDIB* Dest) {
    if (!Picture || NumGlyphs <= 0) return;
    const int fw = Picture->Width() / NumGlyphs;
    if (fw <= 0 || Picture->Height() <= 0) return;
    TempDIB temp = std::make_unique<TMemoryDIB>(fw, Picture->Height());
    Picture->DrawRaw(0, 0, fw, Picture->Height(), temp.get(), Index * fw, 0);
    Picture->CopyPropertiesTo(temp.get());
    temp->Draw(X, Y, fw, Picture->Height(), Dest, 0, 0);
}

void DrawGlyphTween(TAbstractSuperDIB* Picture, int X, int Y, int NumGlyphs,
                    TAbstractSuperDIB* Dest, int Min, int Max, int Position, bool Wrap) {
    if (!Picture || NumGlyphs <= 0) return;
    const int N = NumGlyphs;
    // An empty range has no fraction: it shows the first position.
    const long double f =
        Max == Min ? 0.0L
                   : (long double)(Position - (long double)Min) / ((long double)Max - Min) * N;
    // The weight comes from the fraction of the position itself. Only the
    // frame numbers are limited, to -1 .. N, which fold as any value beyond
    // would and keep Ceil and Floor representable.
    const long double frac = f - std::trunc(f);
    const long double limited = std::clamp(f, -1.0L, (long double)N);
    int hi = int(std::ceil(limited)), lo = int(std::floor(limited));
    // Below Min the fraction is negative; the weight stays a valid opacity.
    const int o = std::clamp(255 - int(std::nearbyintl(frac * 255.0L)), 0, 255);
    auto fold = [N, Wrap](int k) {
        if (k >= N) k = Wrap ? 0 : N - 1;
        if (k < 0) k = Wrap ? N - 1 : 0;
        return k;
    };
    hi = fold(hi);
    lo = fold(lo);

    const int fw = Picture->Width() / N, ph = Picture->Height();
    if (fw <= 0 || ph <= 0) return;
    TempDIB a = std::make_unique<TMemoryDIB>(fw, ph);
    TempDIB b = std::make_unique<TMemoryDIB>(fw, ph);
    Picture->DrawRaw(0, 0, fw, ph, a.get(), hi * fw, 0);
    Picture->CopyPropertiesTo(a.get());
    a->SetOpacity(255);
    Picture->DrawRaw(0, 0, fw, ph, b.get(), lo * fw, 0);
    b->SetAngle(0);
    b->SetScale(100.0L);
    b->SetOpacity(std::uint8_t(o));
    b->Draw(0, 0, fw, ph, a.get(), 0, 0);
    a->SetOpacity(Picture->Opacity());
    a->Draw(X, Y, fw, a->Height(), Dest, 0, 0);
}

// ---- stretching -------------------------------------------------------------------

void TAbstractSuperDIB::StretchFrom(TAbstractSuperDIB* Source) {
    if (!Source || !Source->Bits_ || !Bits_ || Source->Width_ == 0 || Source->Height_ == 0) return;
    const unsigned sw = Source->Width_, shgt = Source->Height_, dw = Width_, dh = Height_;
    const unsigned ix = sw / dw, fx = ((sw << 16) / dw) & 0xFFFFu;
    const unsigned iy = shgt / dh, fy = ((shgt << 16) / dh) & 0xFFFFu;
    const TDIBPixel* srcBase = Source->Bits_;
    const std::size_t lastRow = std::size_t(shgt - 1) * sw;

    std::uint16_t racc = std::uint16_t(fy);
    std::size_t rowStart = 0;
    TDIBPixel* out = Bits_;
    for (unsigned j = 0; j < dh; ++j) {
        // Started at fy, the row accumulator borrows one step early, so when
        // enlarging it can step one row past the last; that row is the last.
        const TDIBPixel* s = srcBase + std::min(rowStart, lastRow);
        std::uint16_t cacc = 0xFFFF;
        std::size_t col = 0;
        for (unsigned i = 0; i < dw; ++i) {
            *out++ = s[col];
            col += ix;
            if (cacc < fx) ++col;  // borrow
            cacc = std::uint16_t(cacc - fx);
        }
        rowStart += std::size_t(iy) * sw;
        if (racc < fy) rowStart += sw;
        racc = std::uint16_t(racc - fy);
    }
    Changed();
}

// ---- filter ------------------------------------------------------------------------

void TAbstractSuperDIB::Filter(const TDIBFilter& Description) {
    if (!Bits_) return;
    const int W = Width_, H = Height_;
    TempDIB temp = std::make_unique<TMemoryDIB>(W, H);  // starts black, mask 0

    int divisor = Description.Divisor;
    if (divisor <= 0) {
        divisor = 0;
        for (std::int16_t w : Description.Weights) divisor += w;
    }
    const std::int16_t bias[3] = {Description.BlueBias, Description.GreenBias, Description.RedBias};
    for (int y = 1; y + 1 < H; ++y) {
        const TDIBPixel* rows[3] = {ScanLine(y - 1), ScanLine(y), ScanLine(y + 1)};
        TDIBPixel* out = temp->ScanLine(y);
        for (int x = 1; x + 1 < W; ++x) {
            int result[3];
            for (int c = 0; c < 3; ++c) {
                std::int16_t sum = 0;  // sums wrap in 16 bits
                for (int r = 0; r < 3; ++r)
                    for (int k = 0; k < 3; ++k) {
                        const std::uint8_t* p = &rows[r][x - 1 + k].Blue;
                        sum =
                            std::int16_t(sum + std::int16_t(Description.Weights[r * 3 + k] * p[c]));
                    }
                sum = std::int16_t(sum + bias[c]);
                // Divided exactly, so -32768 / -1 stays positive and a divisor
                // beyond 16 bits cannot turn into zero.
                int v = divisor != 0 ? int(sum) / divisor : int(sum);
                result[c] = std::clamp(v, 0, 255);
            }
            out[x] = {std::uint8_t(result[0]), std::uint8_t(result[1]), std::uint8_t(result[2]),
                      ScanLine(y)[x].Mask};
        }
    }
    temp->SetOpacity(Description.Opacity);
    temp->DrawPlain(0, 0, W, H, this, 0, 0);
}

// ---- regions --------------------------------------------------------------------

HRGN TAbstractSuperDIB::CreateMaskRegion(std::uint8_t Threshold) const {
    return BuildRegion(true, Threshold, 0);
}

HRGN TAbstractSuperDIB::CreateColorRegion(TColor Color) const {
    return BuildRegion(false, 0, ColorToPixel(Color));
}

HRGN TAbstractSuperDIB::BuildRegion(bool ByMask, std::uint8_t Threshold, std::uint32_t Key) const {
    constexpr int kBatch = 400;
    if (!Bits_) return nullptr;
    std::vector<std::uint8_t> buffer(sizeof(RGNDATAHEADER) + kBatch * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(buffer.data());
    auto* rects = reinterpret_cast<RECT*>(buffer.data() + sizeof(RGNDATAHEADER));
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = 0;
    header->nRgnSize = 0;
    header->rcBound = {0, 0, Width_, Height_};

    HRGN result = nullptr;
    auto flush = [&] {
        HRGN part =
            ExtCreateRegion(nullptr, DWORD(sizeof(RGNDATAHEADER) + header->nCount * sizeof(RECT)),
                            reinterpret_cast<const RGNDATA*>(buffer.data()));
        if (!part) {
            if (result) DeleteObject(result);
            throw EAssertionFailed("Assertion failure");
        }
        if (!result) {
            result = part;
        } else {
            CombineRgn(result, result, part, RGN_OR);
            DeleteObject(part);
        }
        header->nCount = 0;
    };
    auto inside = [&](const TDIBPixel& p) {
        return ByMask ? p.Mask > Threshold : (Word(p) & 0x00FFFFFFu) != Key;
    };
    for (int y = 0; y < Height_; ++y) {
        const TDIBPixel* row = ScanLine(y);
        int x = 0;
        while (x < Width_) {
            while (x < Width_ && !inside(row[x])) ++x;
            if (x == Width_) break;
            const int start = x;
            while (x < Width_ && inside(row[x])) ++x;
            rects[header->nCount++] = {start, y, x, y + 1};
            if (header->nCount == kBatch) flush();
        }
    }
    if (header->nCount > 0) flush();
    return result;
}
