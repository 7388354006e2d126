#include "dib/DIBRSBFormat.h"

#include <cstring>

#include "dib/cDIB.h"
#include "objects/Classes.h"

namespace {

std::uint32_t getU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void putU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

// Shift right by n, or left by -n: lines a channel's top bit up with bit 7
// also when the channels below it hold fewer than 8 bits in all.
inline std::uint32_t shiftDown(std::uint32_t v, int n) { return n >= 0 ? v >> n : v << -n; }

// The largest picture a bitmap can hold.
constexpr std::uint32_t kMaxSide = 65535;

}  // namespace

void RSBUnpack(std::uint16_t word, const TRSBHeader& h, std::uint8_t& blue, std::uint8_t& green,
               std::uint8_t& red) {
    const int r = int(h.RedBits), g = int(h.GreenBits), b = int(h.BlueBits);
    blue = std::uint8_t(shiftDown(word, b - 8));
    green = std::uint8_t(shiftDown(word, g + b - 8) & (256u - (1u << (8 - g))));
    red = std::uint8_t(shiftDown(word, r + g + b - 8) & (256u - (1u << (8 - r))));
}

std::uint16_t RSBPack(std::uint8_t blue, std::uint8_t green, std::uint8_t red, std::uint8_t mask,
                      bool masked) {
    if (masked)
        return std::uint16_t(((red >> 4) << 8) | (green & 0xF0) | ((mask >> 4) << 12) |
                             (blue >> 4));
    return std::uint16_t(((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3));
}

TRSBHeader RSBReadHeader(const std::uint8_t* head, std::uint64_t fileSize) {
    TRSBHeader h;
    h.Version = getU32(head);
    h.Width = getU32(head + 4);
    h.Height = getU32(head + 8);
    h.RedBits = getU32(head + 12);
    h.GreenBits = getU32(head + 16);
    h.BlueBits = getU32(head + 20);
    h.AlphaBits = getU32(head + 24);

    if (h.Version != 1) throw EDIBFormatError("Only RSB version 1 is supported.");
    if (h.Width == 0 || h.Height == 0 || h.Width > kMaxSide || h.Height > kMaxSide)
        throw EDIBFormatError("RSB width and height must lie between 1 and 65535.");
    // Each colour channel is widened to a byte, so holds at most 8 bits, and
    // all four must fit in the 16-bit word.
    if (h.RedBits > 8 || h.GreenBits > 8 || h.BlueBits > 8 || h.AlphaBits > 16 ||
        h.RedBits + h.GreenBits + h.BlueBits + h.AlphaBits > 16)
        throw EDIBFormatError("Unsupported RSB pixel layout.");
    if (fileSize != kRSBHeaderSize + std::uint64_t(h.Width) * h.Height * 2)
        throw EDIBFormatError("The RSB file size does not match its width and height.");
    return h;
}

TRSBPicture DecodeRSB(std::span<const std::uint8_t> file,
                      const std::function<void(int Row, int LastRow)>& onRow) {
    if (file.size() < kRSBHeaderSize)
        throw EDIBFormatError("The RSB file is shorter than its header.");
    TRSBPicture pic;
    const TRSBHeader& h = pic.Header = RSBReadHeader(file.data(), file.size());
    const std::size_t count = std::size_t(h.Width) * h.Height;
    const std::uint8_t* p = file.data();
    pic.Pixels.resize(count * 4);
    const std::uint8_t* src = p + kRSBHeaderSize;
    std::uint8_t* dst = pic.Pixels.data();
    const int lastRow = int(h.Height) - 1;
    for (int row = 0; row <= lastRow; ++row) {
        for (std::uint32_t x = 0; x < h.Width; ++x, src += 2, dst += 4) {
            RSBUnpack(std::uint16_t(src[0] | src[1] << 8), h, dst[0], dst[1], dst[2]);
            dst[3] = 0;
        }
        if (onRow) onRow(row, lastRow);
    }
    return pic;
}

TW_IMPLEMENT_CLASS(TDIBRSBFormat) {}

void TDIBRSBFormat::GetDescription(std::string& Value) { Value = "Rogue spear bitmap"; }

bool TDIBRSBFormat::CanReadExtension(const std::string& Ext) { return SameText(Ext, ".RSB"); }
bool TDIBRSBFormat::CanWriteExtension(const std::string& Ext) { return SameText(Ext, ".RSB"); }

void TDIBRSBFormat::GetOpenFilter(std::vector<std::string>& List) {
    List.push_back("Rogue spear bitmap (*.rsb)|*.rsb");
}

void TDIBRSBFormat::GetSaveFilter(std::vector<std::string>& List) {
    List.push_back("Rogue spear bitmap (*.rsb)|*.rsb");
}

void TDIBRSBFormat::LoadFromStream(TStream& Stream) {
    TAbstractSuperDIB* dib = Target();
    // The file runs from the stream's position to its end; its size is
    // checked against the header before anything is allocated for pixels.
    const std::int64_t remaining = Stream.Remaining();
    if (remaining < std::int64_t(kRSBHeaderSize))
        throw EDIBFormatError("The RSB file is shorter than its header.");
    std::uint8_t head[kRSBHeaderSize];
    Stream.ReadBuffer(head, kRSBHeaderSize);
    RSBReadHeader(head, std::uint64_t(remaining));

    std::vector<std::uint8_t> file(static_cast<std::size_t>(remaining));
    std::memcpy(file.data(), head, kRSBHeaderSize);
    Stream.ReadBuffer(file.data() + kRSBHeaderSize, remaining - std::int64_t(kRSBHeaderSize));
    TRSBPicture pic = DecodeRSB(file, [this](int row, int last) { RowDone(row, last); });
    file = {};

    const TRSBHeader& hd = pic.Header;
    dib->BeginUpdate();
    try {
        dib->SetSize(int(hd.Width), int(hd.Height));
        const std::size_t rowBytes = std::size_t(hd.Width) * 4;
        for (std::uint32_t y = 0; y < hd.Height; ++y)
            std::memcpy(dib->ScanLine(int(y)), pic.Pixels.data() + y * rowBytes, rowBytes);
        dib->SetMasked(hd.AlphaBits > 0);
    } catch (...) {
        dib->EndUpdate();
        throw;
    }
    dib->EndUpdate();  // one change event for the new picture
}

void TDIBRSBFormat::SaveToStream(TStream& Stream) {
    TAbstractSuperDIB* dib = Target();
    if (!dib->HasBits() || dib->Width() == 0 || dib->Height() == 0)
        throw EDIBFormatError("Cannot save a bitmap without pixels.");
    const int w = dib->Width(), h = dib->Height();
    const bool masked = dib->Masked();

    std::vector<std::uint8_t> out(kRSBHeaderSize + std::size_t(w) * h * 2);
    const std::uint32_t header[7] = {1,
                                     std::uint32_t(w),
                                     std::uint32_t(h),
                                     masked ? 4u : 5u,
                                     masked ? 4u : 6u,
                                     masked ? 4u : 5u,
                                     masked ? 4u : 0u};
    for (int i = 0; i < 7; ++i) putU32(out.data() + i * 4, header[i]);
    std::uint8_t* p = out.data() + kRSBHeaderSize;
    for (int y = 0; y < h; ++y) {
        const TDIBPixel* row = dib->ScanLine(y);
        for (int x = 0; x < w; ++x, p += 2) {
            const TDIBPixel& px = row[x];
            std::uint16_t word = RSBPack(px.Blue, px.Green, px.Red, px.Mask, masked);
            p[0] = std::uint8_t(word);
            p[1] = std::uint8_t(word >> 8);
        }
        RowDone(y, h - 1);
    }
    Stream.WriteBuffer(out.data(), std::int64_t(out.size()));
}
