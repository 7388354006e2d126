#pragma once
// Pluggable compression of a bitmap's "Data" record.
//
// A record may be stored wrapped:
//   offset 0  6 bytes  ASCII "DIBCMP"
//   offset 6  16 bytes identifier of the compressor
//   offset 22 4 bytes  length of the unwrapped record, unsigned little-endian
//   offset 26 ...      compressed bytes
// Anything else (including every stream shorter than the 26-byte header) is a
// plain record and passes through unchanged.
//
// The registry is empty in this product: records are always written plain and
// a wrapped record is refused with EDIBCompressError. The wrapper and the
// registry are kept because stored forms may carry wrapped records and a later
// build may add a compressor.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "objects/SysUtils.h"

class TAbstractSuperDIB;

using TDIBCompressorID = std::array<std::uint8_t, 16>;

// Errors of the wrapper layer.
TW_DECLARE_EXCEPTION(EDIBCompressError, Exception);

// A compressor, and at the same time a decompressor for the identifiers it
// recognises. Virtual operations in this order: GetID, CanDecompress,
// Compress, Decompress.
class TDIBCompressor {
public:
    virtual ~TDIBCompressor() = default;

    // The identifier written into records this compressor wraps.
    virtual void GetID(TDIBCompressorID& id) = 0;
    // True when this object can unwrap records carrying `id`.
    virtual bool CanDecompress(const TDIBCompressorID& id) = 0;
    // Compress `sourceSize` bytes into `dest` (room for `sourceSize` bytes).
    // Returns the compressed size, or 0 when the record is to be stored plain.
    virtual std::uint32_t Compress(TAbstractSuperDIB* dib, const std::uint8_t* source,
                                   std::uint8_t* dest, std::uint32_t sourceSize) = 0;
    // Unwrap `sourceSize` bytes into exactly `destSize` bytes at `dest`.
    virtual void Decompress(TAbstractSuperDIB* dib, const TDIBCompressorID& id,
                            const std::uint8_t* source, std::uint8_t* dest,
                            std::uint32_t sourceSize, std::uint32_t destSize) = 0;
};

// Size of the wrapper header in bytes.
inline constexpr std::size_t kDIBWrapperHeaderSize = 26;

// The registered decompressors, owned; asked from the last registered to the
// first. Empty in this product.
std::vector<std::unique_ptr<TDIBCompressor>>& DecompressorList();

// Appends `c` to DecompressorList (ownership passes to the registry) and
// returns it.
TDIBCompressor* RegisterDecompressor(std::unique_ptr<TDIBCompressor> c);

// The compressor used for writing; none (nullptr) in this product. Not owned.
TDIBCompressor* CurrentCompressor();
void SetCurrentCompressor(TDIBCompressor* c);

// Sets CurrentCompressor for the lifetime of the guard and restores the
// previous one afterwards, also when an exception passes through.
class TDIBCompressorScope {
public:
    explicit TDIBCompressorScope(TDIBCompressor* c);
    ~TDIBCompressorScope();
    TDIBCompressorScope(const TDIBCompressorScope&) = delete;
    TDIBCompressorScope& operator=(const TDIBCompressorScope&) = delete;

private:
    TDIBCompressor* saved_;
};

// Writing: returns the bytes to store for the plain `record` (Width, Height,
// pixels). With no CurrentCompressor, or when it answers 0, that is the record
// itself; otherwise the wrapped form. `dib` is handed to the compressor.
std::vector<std::uint8_t> EncodeStream(TAbstractSuperDIB* dib,
                                       std::span<const std::uint8_t> record);

// Reading: returns the plain record for the stored bytes `stream`. A wrapped
// record is handed to the last registered decompressor that accepts its
// identifier; when none does, EDIBCompressError "Could not find a suitable
// decompressor." is raised.
std::vector<std::uint8_t> DecodeStream(TAbstractSuperDIB* dib,
                                       std::span<const std::uint8_t> stream);

// True when `stream` would be read as a wrapped record.
bool IsWrappedStream(std::span<const std::uint8_t> stream);
