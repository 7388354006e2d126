#include "support/ControlSamples.h"

namespace tarnwick::test {

int AddPicture(TDIBImageList& list, int w, int h,
               const std::function<std::uint32_t(int, int)>& colour) {
    TDIBImagesItem* item = list.DIBImages()->Add();
    TMemoryDIB* dib = item->StoredDIB();
    dib->SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = colour(x, y);
            dib->ScanLine(y)[x] = {std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16),
                                   255};
        }
    return item->Index();
}

std::uint32_t Blend(std::uint32_t s, std::uint32_t d, unsigned w) {
    std::uint32_t out = d & 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const unsigned sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
        out |= (((sc * w + dc * (255 - w)) >> 8) + 1) << shift;
    }
    return out;
}

}  // namespace tarnwick::test
