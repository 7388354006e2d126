#include "support/DibSamples.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <random>

namespace tarnwick::test {

TDIBPaletteEntries ColouredPaletteEntries() {
    TDIBPaletteEntries e{};
    for (int i = 0; i < kDIBPaletteColorCount; ++i)
        e[i] = {std::uint8_t(i * 37), std::uint8_t(i * 91 + 5), std::uint8_t(i * 13 + 7), 0};
    return e;
}

void Randomise(TAbstractSuperDIB& d, unsigned seed) {
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < d.PixelCount(); ++i) {
        const std::uint32_t v = rng();
        std::memcpy(&d.Bits()[i], &v, 4);
    }
}

void DirtyHeap(std::size_t bytes) {
    void* blocks[8];
    for (void*& b : blocks) b = std::memset(::operator new(bytes), 0xA5, bytes);
    for (void* b : blocks) ::operator delete(b);
}

}  // namespace tarnwick::test
