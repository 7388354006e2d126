#include "dib/cDIBCompressor.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr std::uint8_t kMagic[6] = {'D', 'I', 'B', 'C', 'M', 'P'};

TDIBCompressor*& current() {
    static TDIBCompressor* c = nullptr;
    return c;
}

void putU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

std::uint32_t getU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

}  // namespace

std::vector<std::unique_ptr<TDIBCompressor>>& DecompressorList() {
    // Built on first use and freed with every registered object at exit.
    static std::vector<std::unique_ptr<TDIBCompressor>> list;
    return list;
}

TDIBCompressor* RegisterDecompressor(std::unique_ptr<TDIBCompressor> c) {
    TDIBCompressor* raw = c.get();
    if (raw) DecompressorList().push_back(std::move(c));
    return raw;
}

TDIBCompressor* CurrentCompressor() { return current(); }
void SetCurrentCompressor(TDIBCompressor* c) { current() = c; }

TDIBCompressorScope::TDIBCompressorScope(TDIBCompressor* c) : saved_(current()) { current() = c; }
TDIBCompressorScope::~TDIBCompressorScope() { current() = saved_; }

bool IsWrappedStream(std::span<const std::uint8_t> stream) {
    return stream.size() >= kDIBWrapperHeaderSize &&
           std::memcmp(stream.data(), kMagic, sizeof kMagic) == 0;
}

std::vector<std::uint8_t> EncodeStream(TAbstractSuperDIB* dib,
                                       std::span<const std::uint8_t> record) {
    TDIBCompressor* c = current();
    // The wrapper stores the unwrapped length in 32 bits; a record that does
    // not fit (a picture of more than about 1 G pixels) is stored plain.
    if (!c || record.size() > UINT32_MAX) return {record.begin(), record.end()};

    const auto size = std::uint32_t(record.size());
    std::vector<std::uint8_t> out(kDIBWrapperHeaderSize + size);
    std::uint32_t n = c->Compress(dib, record.data(), out.data() + kDIBWrapperHeaderSize, size);
    if (n == 0) return {record.begin(), record.end()};
    // A compressor that claims more than the room it was given cannot be
    // trusted; the record is kept plain rather than written truncated.
    if (n > size) return {record.begin(), record.end()};

    TDIBCompressorID id{};
    c->GetID(id);
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    std::memcpy(out.data() + 6, id.data(), id.size());
    putU32(out.data() + 22, size);
    out.resize(kDIBWrapperHeaderSize + n);
    return out;
}

std::vector<std::uint8_t> DecodeStream(TAbstractSuperDIB* dib,
                                       std::span<const std::uint8_t> stream) {
    if (!IsWrappedStream(stream)) return {stream.begin(), stream.end()};

    TDIBCompressorID id;
    std::copy_n(stream.data() + 6, id.size(), id.begin());
    const std::uint32_t length = getU32(stream.data() + 22);
    const auto payload = stream.subspan(kDIBWrapperHeaderSize);
    if (payload.size() > UINT32_MAX) throw EDIBCompressError("Compressed record is too large.");

    auto& list = DecompressorList();
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        TDIBCompressor* c = it->get();
        if (!c->CanDecompress(id)) continue;
        std::vector<std::uint8_t> out;
        try {
            out.resize(length);
        } catch (const std::bad_alloc&) {
            throw EDIBCompressError("Not enough memory to decompress a record.");
        }
        c->Decompress(dib, id, payload.data(), out.data(), std::uint32_t(payload.size()), length);
        return out;
    }
    throw EDIBCompressError("Could not find a suitable decompressor.");
}
