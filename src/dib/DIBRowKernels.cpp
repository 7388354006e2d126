// The row kernels: the per-pixel formulas of drawing, one row at a time, with
// the widest vectors the processor has (chosen once, at start-up), then SSE2
// four pixels at a time, then one by one.

#include "dib/DIBRowKernels.h"

#include <algorithm>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#define TARNWICK_DIB_SSE2 1
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TARNWICK_DIB_AVX2 1
#endif

namespace tarnwick {
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

// Runs the AVX-512 or the AVX2 variant of a kernel over the front of a row,
// as the chosen level allows, and answers how many pixels it handled (0 when
// the level has neither).
template <class... Args>
int Wide(int (*avx512)(Args...), int (*avx2)(Args...), std::type_identity_t<Args>... args) {
    switch (vectorLevel) {
        case 2: return avx512(args...);
        case 1: return avx2(args...);
        default: return 0;
    }
}
#else
const int kHighestLevel = 0;
int vectorLevel = 0;
#endif

}  // namespace

// ---- rows -------------------------------------------------------------------
// Each kernel handles one row of n pixels: the widest vectors first, then four
// at a time, then one by one.

void RowCopyOpacityKernel(const TDIBPixel* s, TDIBPixel* d, int n, unsigned o) {
    int i = 0;
#ifdef TARNWICK_DIB_AVX2
    i = Wide(CopyOpacityAvx512, CopyOpacityAvx2, s, d, n, o);
#endif
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
#ifdef TARNWICK_DIB_AVX2
    i = Wide(MaskedAvx512, MaskedAvx2, s, d, n);
#endif
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
#ifdef TARNWICK_DIB_AVX2
    i = Wide(MaskedOpacityAvx512, MaskedOpacityAvx2, s, d, n, o);
#endif
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
#ifdef TARNWICK_DIB_AVX2
    i = Wide(TransparentAvx512, TransparentAvx2, s, d, n, key);
#endif
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
#ifdef TARNWICK_DIB_AVX2
    i = Wide(TransparentOpacityAvx512, TransparentOpacityAvx2, s, d, n, key, o);
#endif
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

}  // namespace tarnwick

int DIBVectorLevel() { return tarnwick::vectorLevel; }
int DIBHighestVectorLevel() { return tarnwick::kHighestLevel; }
void SetDIBVectorLevel(int Level) {
    tarnwick::vectorLevel = std::clamp(Level, 0, tarnwick::kHighestLevel);
}
