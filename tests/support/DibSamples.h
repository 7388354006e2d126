#pragma once
// Bitmaps and palettes with known contents, for tests and benchmarks.

#include "dib/cDIB.h"
#include "dib/cDIBPalette.h"

namespace tarnwick::test {

// 256 distinct colours spread over the cube, none of them a grey.
TDIBPaletteEntries ColouredPaletteEntries();

// Fills every pixel, mask included, with pseudo-random values; the same seed
// gives the same pixels.
void Randomise(TAbstractSuperDIB& d, unsigned seed);

}  // namespace tarnwick::test
