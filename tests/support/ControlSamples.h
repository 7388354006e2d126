#pragma once
// Pictures and expected pixels for the controls' tests.

#include <cstdint>
#include <functional>

#include "dib/cDIBImageList.h"

namespace tarnwick::test {

// Adds an opaque w x h picture whose pixel (x, y) is colour(x, y) (0xRRGGBB)
// to the list; answers its index.
int AddPicture(TDIBImageList& list, int w, int h,
               const std::function<std::uint32_t(int, int)>& colour);

// Each channel blended as the row routines do, ((s·w + d·(255−w)) >> 8) + 1;
// the destination keeps its mask.
std::uint32_t Blend(std::uint32_t s, std::uint32_t d, unsigned w);

}  // namespace tarnwick::test
