#pragma once
// The 16-bit RSB picture file:
//   offset 0   7 x 4 bytes  Version (1), Width, Height, RedBits, GreenBits,
//                           BlueBits, AlphaBits, unsigned little-endian
//   offset 28  Width x Height 16-bit words, rows top to bottom, each row left
//              to right; channels packed from the least significant bit:
//              blue, green, red, alpha.
// Written as RGB 5-6-5 or, for masked bitmaps, ARGB 4-4-4-4.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "dib/cDIBFormat.h"

struct TRSBHeader {
    std::uint32_t Version = 1;
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint32_t RedBits = 0;
    std::uint32_t GreenBits = 0;
    std::uint32_t BlueBits = 0;
    std::uint32_t AlphaBits = 0;
};

inline constexpr std::size_t kRSBHeaderSize = 28;

// A decoded picture: Width x Height pixels, top row first, 4 bytes each
// (blue, green, red, mask), and whether the file carried alpha bits.
struct TRSBPicture {
    TRSBHeader Header;
    std::vector<std::uint8_t> Pixels;
};

// Reads and checks the 28-byte header of a file of `fileSize` bytes. Raises
// EDIBFormatError for a version other than 1, a size beyond 65,535 or of 0,
// an unusable bit layout, or a file size other than 28 + Width x Height x 2.
TRSBHeader RSBReadHeader(const std::uint8_t* head, std::uint64_t fileSize);

// Checks a whole RSB file and decodes it. Raises EDIBFormatError for a version
// other than 1, a size beyond 65,535 or of 0, an unusable bit layout, or a
// byte count that does not match Width x Height. `onRow(row, lastRow)` is
// called after each decoded row.
TRSBPicture DecodeRSB(std::span<const std::uint8_t> file,
                      const std::function<void(int Row, int LastRow)>& onRow = {});

// The three colour bytes of a pixel word under the given bit counts.
void RSBUnpack(std::uint16_t word, const TRSBHeader& h, std::uint8_t& blue, std::uint8_t& green,
               std::uint8_t& red);
// The pixel word written for (blue, green, red, mask).
std::uint16_t RSBPack(std::uint8_t blue, std::uint8_t green, std::uint8_t red, std::uint8_t mask,
                      bool masked);

// The RSB format object. Loading checks and decodes the whole file before the
// target bitmap is touched, so a refused file leaves the bitmap as it was.
class TDIBRSBFormat : public TAbstractDIBFormat {
    TW_CLASS(TDIBRSBFormat, TAbstractDIBFormat)

public:
    void GetDescription(std::string& Value) override;
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    bool CanReadExtension(const std::string& Ext) override;
    bool CanWriteExtension(const std::string& Ext) override;
    void GetSaveFilter(std::vector<std::string>& List) override;
    void GetOpenFilter(std::vector<std::string>& List) override;
};
