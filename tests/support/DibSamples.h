#pragma once
// Bitmaps and palettes with known contents, for tests and benchmarks.

#include <cstddef>

#include "dib/cDIB.h"
#include "dib/cDIBPalette.h"

namespace tarnwick::test {

// 256 distinct colours spread over the cube, none of them a grey.
TDIBPaletteEntries ColouredPaletteEntries();

// Fills every pixel, mask included, with pseudo-random values; the same seed
// gives the same pixels.
void Randomise(TAbstractSuperDIB& d, unsigned seed);

// Frees a few blocks of `bytes` filled with a pattern, so that a buffer of that
// size allocated next and never written holds the pattern, not zeros by luck.
void DirtyHeap(std::size_t bytes);

}  // namespace tarnwick::test
