#pragma once
// The row kernels of drawing: each blends, keys or copies one row of n pixels
// from s onto d by the formulas of its routine (see cDIBDraw.cpp), using the
// widest vectors the processor has (DIBVectorLevel), then SSE2 four pixels at
// a time, then one pixel at a time. All widths give identical pixels.
//
// Internal to the bitmap library.

#include <cstdint>
#include <cstring>

#include "dib/cDIB.h"

namespace tarnwick {

// A pixel as its little-endian word 0xMMRRGGBB, and back.
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

// Blends the colours with weight o; the destination's mask byte stays.
void RowCopyOpacityKernel(const TDIBPixel* s, TDIBPixel* d, int n, unsigned o);
// Blends the colours with each source pixel's mask byte as weight.
void RowMaskedKernel(const TDIBPixel* s, TDIBPixel* d, int n);
// Blends the colours with weight (mask * o) shr 8.
void RowMaskedOpacityKernel(const TDIBPixel* s, TDIBPixel* d, int n, unsigned o);
// Copies the colours with mask 0 where the source's colour is not `key`.
void RowTransparentKernel(const TDIBPixel* s, TDIBPixel* d, int n, std::uint32_t key);
// Blends with weight o and takes the source's mask where the colour is not `key`.
void RowTransparentOpacityKernel(const TDIBPixel* s, TDIBPixel* d, int n, std::uint32_t key,
                                 unsigned o);
// Copies the mask byte only.
void RowMaskOnlyKernel(const TDIBPixel* s, TDIBPixel* d, int n);
// Writes the source's mask byte into all four bytes.
void RowMaskAsGreyKernel(const TDIBPixel* s, TDIBPixel* d, int n);

}  // namespace tarnwick
