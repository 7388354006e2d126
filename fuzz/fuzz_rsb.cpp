// RSB picture files: any bytes either load into the bitmap completely or are
// refused with EDIBFormatError, leaving the bitmap as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dib/DIBRSBFormat.h"
#include "dib/cDIB.h"
#include "objects/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TMemoryDIB dib(2, 3);
    std::memset(dib.Bits(), 0x5A, dib.PixelCount() * 4);
    TDIBRSBFormat format;
    format.SetDIB(&dib);
    TMemoryStream in(data, size);
    try {
        format.LoadFromStream(in);
    } catch (const EDIBFormatError&) {
        // Refused: the bitmap must be untouched.
        if (dib.Width() != 2 || dib.Height() != 3) std::abort();
        for (std::size_t i = 0; i < dib.PixelCount() * 4; ++i)
            if (reinterpret_cast<const std::uint8_t*>(dib.Bits())[i] != 0x5A) std::abort();
        return 0;
    }
    // Loaded: the picture saves again to a file of the size its header gives.
    TMemoryStream out;
    format.SaveToStream(out);
    if (out.Size() != std::int64_t(kRSBHeaderSize) + std::int64_t(dib.PixelCount()) * 2)
        std::abort();
    return 0;
}
