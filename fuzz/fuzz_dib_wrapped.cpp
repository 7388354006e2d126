// The bitmap's "Data" record, plain or wrapped in "DIBCMP": any bytes either
// load or raise an error of the framework; nothing else may happen. A stored
// (identity) decompressor is registered so that wrapped records get past the
// registry and into the record reader.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dib/cDIB.h"
#include "dib/cDIBCompressor.h"
#include "objects/Classes.h"

namespace {

// Identifier of the test decompressor: sixteen 'S' bytes.
class TStoredDecompressor : public TDIBCompressor {
public:
    void GetID(TDIBCompressorID& id) override { id.fill('S'); }
    bool CanDecompress(const TDIBCompressorID& id) override {
        TDIBCompressorID mine;
        GetID(mine);
        return id == mine;
    }
    std::uint32_t Compress(TAbstractSuperDIB*, const std::uint8_t* s, std::uint8_t* d,
                           std::uint32_t n) override {
        if (n != 0) std::memcpy(d, s, n);
        return n;
    }
    void Decompress(TAbstractSuperDIB*, const TDIBCompressorID&, const std::uint8_t* s,
                    std::uint8_t* d, std::uint32_t n, std::uint32_t dn) override {
        if (n != dn) throw EDIBCompressError("Stored record has the wrong length.");
        if (n != 0)  // an empty record may come with no buffers at all
            std::memcpy(d, s, n);
    }
};

// Records beyond these sizes would only measure the allocator: the reader
// sizes the bitmap from the record's header, whatever follows it.
constexpr std::uint32_t kMaxUnwrapped = 64u << 20;
constexpr std::uint32_t kMaxPixels = 1u << 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool registered = [] {
        RegisterDecompressor(std::make_unique<TStoredDecompressor>());
        return true;
    }();
    (void)registered;

    std::span<const std::uint8_t> bytes(data, size);
    std::size_t record = 0;  // where the plain record starts (the stored decompressor copies)
    if (IsWrappedStream(bytes)) {
        std::uint32_t n = std::uint32_t(data[22]) | std::uint32_t(data[23]) << 8 |
                          std::uint32_t(data[24]) << 16 | std::uint32_t(data[25]) << 24;
        if (n > kMaxUnwrapped) return 0;
        record = kDIBWrapperHeaderSize;
    }
    if (size >= record + 4) {
        const std::uint32_t w = data[record] | data[record + 1] << 8;
        const std::uint32_t h = data[record + 2] | data[record + 3] << 8;
        if (w * h > kMaxPixels) return 0;
    }
    TMemoryDIB dib;
    TMemoryStream in(data, size);
    try {
        dib.ReadData(in);
    } catch (const Exception&) {
        return 0;
    }
    // A record that loaded writes back (plain) and reads again to the same pixels.
    TMemoryStream out;
    dib.WriteData(out);
    out.SetPosition(0);
    TMemoryDIB again;
    again.ReadData(out);
    if (again.Width() != dib.Width() || again.Height() != dib.Height() ||
        (dib.Bits() && std::memcmp(again.Bits(), dib.Bits(), dib.PixelCount() * 4) != 0))
        __builtin_trap();
    return 0;
}
