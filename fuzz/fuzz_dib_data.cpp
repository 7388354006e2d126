// The "Data" record of a bitmap as a form stores it: any bytes must either
// load as a picture of the size they announce or be refused with an
// exception, never read or write outside a buffer nor allocate more than the
// record can fill.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dib/cDIB.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Records in forms are far smaller; this keeps each run quick.
    if (size > (1u << 20)) return 0;
    TMemoryDIB dib(3, 2);
    std::memset(dib.Bits(), 0xEE, dib.PixelCount() * sizeof(TDIBPixel));
    TMemoryStream stream(data, size);
    try {
        dib.ReadData(stream);
    } catch (const Exception&) {
        return 0;  // refused: truncated, or wrapped with no decompressor
    }
    if (size >= 4) {
        const int w = data[0] | (data[1] << 8), h = data[2] | (data[3] << 8);
        if (dib.Width() != (w ? w : 1) || dib.Height() != (h ? h : 1)) __builtin_trap();
    }
    // Every pixel of the new buffer is defined: read from the record or cleared.
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < dib.PixelCount(); ++i) sum += PixelWord(dib.Bits()[i]);
    // Drawing the result exercises the loaded size against the clipping.
    TMemoryDIB dest(17, 9);
    dest.Fill(clBlack);
    dib.SetMasked(sum & 1);
    dib.Draw(-3, -2, dib.Width(), dib.Height(), &dest, 1, 1);
    // Writing it back gives the canonical record.
    TMemoryStream out;
    dib.WriteData(out);
    if (out.Size() != std::int64_t(4 + dib.PixelCount() * 4)) __builtin_trap();
    return 0;
}
