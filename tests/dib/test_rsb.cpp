#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dib/DIBRSBFormat.h"
#include "dib/cDIB.h"
#include "dib/cDIBFormat.h"
#include "objects/Classes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
}

std::uint32_t get32(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

std::uint16_t word(const Bytes& b, int n) {
    return std::uint16_t(b[28 + 2 * n] | b[29 + 2 * n] << 8);
}

Bytes header(std::uint32_t w, std::uint32_t h, std::uint32_t r, std::uint32_t g, std::uint32_t bl,
             std::uint32_t a, std::uint32_t version = 1) {
    Bytes b;
    for (std::uint32_t v : {version, w, h, r, g, bl, a}) put32(b, v);
    return b;
}

TDIBPixel& px(TAbstractSuperDIB& d, int x, int y) { return d.ScanLine(y)[x]; }

Bytes save(TAbstractSuperDIB& d, std::vector<int>* progress = nullptr) {
    TDIBRSBFormat f;
    f.SetDIB(&d);
    if (progress) f.SetOnProgress([progress](TObject*, int p) { progress->push_back(p); });
    TMemoryStream s;
    f.SaveToStream(s);
    return s.Bytes();
}

void load(TAbstractSuperDIB& d, const Bytes& file, std::vector<int>* progress = nullptr) {
    TDIBRSBFormat f;
    f.SetDIB(&d);
    if (progress) f.SetOnProgress([progress](TObject*, int p) { progress->push_back(p); });
    TMemoryStream s(file.data(), file.size());
    f.LoadFromStream(s);
}

std::string refusal(const Bytes& file) {
    TMemoryDIB d(2, 2);
    d.Fill(0x00123456);
    int changes = 0;
    d.SetOnChange([&](TObject*) { ++changes; });
    try {
        load(d, file);
    } catch (const EDIBFormatError& e) {
        // Nothing of a refused file reaches the bitmap.
        EXPECT_EQ(d.Width(), 2);
        EXPECT_EQ(d.Height(), 2);
        EXPECT_EQ(px(d, 1, 1).Red, 0x56);
        EXPECT_EQ(changes, 0);
        return e.Message();
    }
    return "accepted";
}

}  // namespace

TEST(RSBFormat, RgbRoundTripKeepsTopBitsAndRowOrder) {
    TMemoryDIB d(3, 2);
    d.Fill(0);
    px(d, 0, 0) = {0x10, 0x80, 0xFF, 0xFF};  // top-left: B, G, R, M
    px(d, 2, 1) = {0xEF, 0x37, 0x0A, 0x40};  // bottom-right
    Bytes f = save(d);
    ASSERT_EQ(f.size(), 28u + 3 * 2 * 2);
    EXPECT_EQ(get32(f, 0), 1u);
    EXPECT_EQ(get32(f, 4), 3u);
    EXPECT_EQ(get32(f, 8), 2u);
    EXPECT_EQ(get32(f, 12), 5u);
    EXPECT_EQ(get32(f, 16), 6u);
    EXPECT_EQ(get32(f, 20), 5u);
    EXPECT_EQ(get32(f, 24), 0u);
    EXPECT_EQ(word(f, 0), 0xFC02);  // (0x1F << 11) | (0x20 << 5) | 0x02: top row first
    EXPECT_EQ(word(f, 5), (0x01 << 11) | (0x0D << 5) | 0x1D);

    TMemoryDIB back;
    load(back, f);
    ASSERT_EQ(back.Width(), 3);
    ASSERT_EQ(back.Height(), 2);
    EXPECT_FALSE(back.Masked());
    const TDIBPixel& a = px(back, 0, 0);
    EXPECT_EQ(a.Blue, 0x10);
    EXPECT_EQ(a.Green, 0x80);
    EXPECT_EQ(a.Red, 0xF8);
    EXPECT_EQ(a.Mask, 0);
    const TDIBPixel& b = px(back, 2, 1);
    EXPECT_EQ(b.Blue, 0xE8);
    EXPECT_EQ(b.Green, 0x34);
    EXPECT_EQ(b.Red, 0x08);
    EXPECT_EQ(b.Mask, 0);
}

TEST(RSBFormat, MaskedPicturesUseArgb4444AndLoadMasked) {
    TMemoryDIB d(1, 1);
    d.SetMasked(true);
    px(d, 0, 0) = {0xEF, 0xCD, 0xAB, 0x9A};
    Bytes f = save(d);
    for (int i = 3; i < 7; ++i) EXPECT_EQ(get32(f, i * 4), 4u);
    EXPECT_EQ(word(f, 0), 0x9ACE);

    TMemoryDIB back;
    load(back, f);
    EXPECT_TRUE(back.Masked());
    const TDIBPixel& p = px(back, 0, 0);
    EXPECT_EQ(p.Blue, 0xE0);
    EXPECT_EQ(p.Green, 0xC0);
    EXPECT_EQ(p.Red, 0xA0);
    EXPECT_EQ(p.Mask, 0);  // alpha bits are not turned into mask bytes
}

TEST(RSBFormat, OtherBitLayoutsFollowTheShiftRules) {
    // 1-5-5-5: red 5 bits at 10, green 5 at 5, blue 5 at 0.
    Bytes f = header(1, 1, 5, 5, 5, 1);
    std::uint16_t w = (0x1F << 10) | (0x10 << 5) | 0x01;
    f.push_back(std::uint8_t(w));
    f.push_back(std::uint8_t(w >> 8));
    TMemoryDIB d;
    load(d, f);
    EXPECT_EQ(px(d, 0, 0).Blue, 0x08);
    EXPECT_EQ(px(d, 0, 0).Green, 0x80);
    EXPECT_EQ(px(d, 0, 0).Red, 0xF8);
    EXPECT_TRUE(d.Masked());
}

TEST(RSBFormat, MalformedFilesAreRefusedWholly) {
    Bytes good = header(2, 1, 5, 6, 5, 0);
    good.resize(good.size() + 4, 0xFF);
    EXPECT_EQ(refusal(good), "accepted");

    Bytes v2 = good;
    v2[0] = 2;
    EXPECT_EQ(refusal(v2), "Only RSB version 1 is supported.");

    Bytes shortFile = good;
    shortFile.pop_back();
    EXPECT_EQ(refusal(shortFile), "The RSB file size does not match its width and height.");
    Bytes longFile = good;
    longFile.push_back(0);
    EXPECT_EQ(refusal(longFile), "The RSB file size does not match its width and height.");

    // 65,536 wide: more than a bitmap can hold, refused before any pixel is read.
    Bytes wide = header(65536, 1, 5, 6, 5, 0);
    wide.resize(wide.size() + 65536 * 2);
    EXPECT_EQ(refusal(wide), "RSB width and height must lie between 1 and 65535.");
    EXPECT_EQ(refusal(header(0, 5, 5, 6, 5, 0)),
              "RSB width and height must lie between 1 and 65535.");
    // A huge height with a tiny file: the size check fails, nothing is allocated.
    EXPECT_EQ(refusal(header(65535, 65535, 5, 6, 5, 0)),
              "The RSB file size does not match its width and height.");

    Bytes nineBits = header(1, 1, 9, 6, 1, 0);
    nineBits.resize(30);
    EXPECT_EQ(refusal(nineBits), "Unsupported RSB pixel layout.");
    Bytes tooMany = header(1, 1, 8, 8, 8, 0);
    tooMany.resize(30);
    EXPECT_EQ(refusal(tooMany), "Unsupported RSB pixel layout.");

    EXPECT_EQ(refusal(Bytes(27, 1)), "The RSB file is shorter than its header.");
}

TEST(RSBFormat, ProgressReportsHundredOnTheLastRowOnly) {
    TMemoryDIB d(2, 3);
    d.Fill(0);
    std::vector<int> saved, loaded;
    Bytes f = save(d, &saved);
    EXPECT_EQ(saved, (std::vector<int>{0, 0, 100}));
    load(d, f, &loaded);
    EXPECT_EQ(loaded, (std::vector<int>{0, 0, 100}));

    TMemoryDIB one(4, 1);
    one.Fill(0);
    std::vector<int> single;
    load(one, save(one), &single);
    EXPECT_EQ(single, (std::vector<int>{100}));
}

TEST(RSBFormat, LoadingRaisesOneChangeEvent) {
    TMemoryDIB d(1, 1);
    int changes = 0;
    d.SetOnChange([&](TObject*) { ++changes; });
    Bytes f = header(2, 2, 4, 4, 4, 4);
    f.resize(f.size() + 8, 0x11);
    load(d, f);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(d.Width(), 2);
    EXPECT_TRUE(d.Masked());
}

TEST(RSBFormat, RefusesToSaveWithoutPicture) {
    TMemoryDIB empty;
    EXPECT_THROW(save(empty), EDIBFormatError);
    TDIBRSBFormat f;
    TMemoryStream s;
    EXPECT_THROW(f.SaveToStream(s), EDIBFormatError);  // no bitmap assigned
}

TEST(RSBFormat, RegistryOffersTheRsbFormat) {
    ASSERT_EQ(FormatList().size(), 1u);
    TAbstractDIBFormat* f = FormatList()[0].get();
    EXPECT_EQ(f->ClassName(), "TDIBRSBFormat");
    EXPECT_EQ(FindReadFormat(".rsb"), f);
    EXPECT_EQ(FindWriteFormat(".RsB"), f);
    EXPECT_EQ(FindReadFormat(".bmp"), nullptr);
    EXPECT_EQ(FindReadFormat("rsb"), nullptr);
    std::string desc;
    f->GetDescription(desc);
    EXPECT_EQ(desc, "Rogue spear bitmap");
    std::vector<std::string> open, saveList;
    f->GetOpenFilter(open);
    f->GetSaveFilter(saveList);
    EXPECT_EQ(open, std::vector<std::string>{"Rogue spear bitmap (*.rsb)|*.rsb"});
    EXPECT_EQ(saveList, open);
    bool can = false;
    f->CanRead(can);
    EXPECT_TRUE(can);
    EXPECT_EQ(f->GetAuthor(), "");
}
