#include "artwork/DeviceScale.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tarnwick::artwork {

int NearestScalePercent(double factor) {
    if (!(factor > 0) || !std::isfinite(factor)) return kScaleSteps.front();
    const double percent = factor * 100;
    int best = kScaleSteps.front();
    for (const int step : kScaleSteps)
        if (std::fabs(percent - step) <= std::fabs(percent - best)) best = step;
    return best;
}

int ScaledPixels(int logical, int percent) {
    const std::int64_t product = std::int64_t(std::llabs(logical)) * percent;
    const auto rounded = int((product + 50) / 100);
    return logical < 0 ? -rounded : rounded;
}

}  // namespace tarnwick::artwork
