#pragma once
// The device scales the editor is drawn at, and the one rounding from the
// form's logical pixels to a scale's device pixels that every size and
// position goes through, so that pictures, controls and the window agree.

#include <array>

namespace tarnwick::artwork {

// In percent; the first is the form's own size.
inline constexpr std::array<int, 7> kScaleSteps{100, 125, 150, 175, 200, 250, 300};

// The step nearest to a factor (1.0 = 100 %): below the first step the
// first, above the last the last; half-way between two, the larger. A
// factor that is not a number, or not positive, is 100 %.
int NearestScalePercent(double factor);

// Logical pixels at a scale in percent, rounded to the nearest device pixel,
// halves away from zero: ScaledPixels(336, 125) = 420, (-11, 125) = -14.
int ScaledPixels(int logical, int percent);

}  // namespace tarnwick::artwork
