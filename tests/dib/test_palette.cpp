#include <gtest/gtest.h>

#include <vector>

#include "dib/cDIBPalette.h"
#include "support/DibSamples.h"

using tarnwick::test::ColouredPaletteEntries;

TEST(PaletteColours, DefaultRampRunsFromWhiteTo21) {
    TDIBPaletteEntries e = DIBDefaultPaletteEntries();
    EXPECT_EQ(e[0].Blue, 255);
    EXPECT_EQ(e[0].Green, 255);
    EXPECT_EQ(e[0].Red, 255);
    EXPECT_EQ(e[234].Blue, 21);
    EXPECT_EQ(e[234].Green, 21);
    EXPECT_EQ(e[234].Red, 21);
    EXPECT_EQ(e[100].Red, 155);
    for (const auto& x : e) EXPECT_EQ(x.Flags, 0);
}

TEST(PaletteColours, NearestIndexOfDefaultRamp) {
    TDIBPaletteEntries e = DIBDefaultPaletteEntries();
    EXPECT_EQ(DIBNearestIndex(e, 0, 0, 0), 234);
    EXPECT_EQ(DIBNearestIndex(e, 255, 255, 255), 0);
    EXPECT_EQ(DIBNearestIndex(e, 128, 128, 128), 127);
    // (252, 0, 0): (252 - v)^2 + 2 v^2 is least at v = 84, entry 171.
    EXPECT_EQ(DIBNearestIndex(e, 252, 0, 0), 171);
}

TEST(PaletteColours, TiesKeepTheLowerIndex) {
    TDIBPaletteEntries e = DIBDefaultPaletteEntries();
    // 10 and 12 are equally far from 11 in every channel.
    e[40] = {12, 12, 12, 0};
    e[50] = {10, 10, 10, 0};
    EXPECT_EQ(DIBNearestIndex(e, 11, 11, 11), 40);
    e[30] = {11, 11, 11, 0};
    e[20] = {11, 11, 11, 0};
    EXPECT_EQ(DIBNearestIndex(e, 11, 11, 11), 20);
}

TEST(PaletteTable, DefaultTableValues) {
    std::vector<std::uint8_t> t(kDIBPaletteTableSize);
    DIBBuildLookupTable(DIBDefaultPaletteEntries(), t.data());
    EXPECT_EQ(t[0], 234);                         // black
    EXPECT_EQ(t[262143], 3);                      // (252, 252, 252) is entry 3 exactly
    EXPECT_EQ(t[63], 171);                        // (252, 0, 0) in entry order
    EXPECT_EQ(t[63 * 4096], 171);                 // the same distance on the third byte
    EXPECT_EQ(t[32 * 4096 + 32 * 64 + 32], 127);  // (128, 128, 128)
    EXPECT_EQ(t[DIBLookupIndex(255, 255, 255)], 3);
}

TEST(PaletteTable, EqualsThePlainSearchEverywhere) {
    for (const TDIBPaletteEntries& e : {DIBDefaultPaletteEntries(), ColouredPaletteEntries()}) {
        std::vector<std::uint8_t> t(kDIBPaletteTableSize);
        std::vector<int> planes;
        DIBBuildLookupTable(e, t.data(), [&](int i) { planes.push_back(i); });
        ASSERT_EQ(planes.size(), 64u);
        EXPECT_EQ(planes.front(), 0);
        EXPECT_EQ(planes.back(), 63);
        int mismatches = 0;
        for (int i = 0; i < 64; ++i)
            for (int j = 0; j < 64; ++j)
                for (int k = 0; k < 64; ++k)
                    mismatches += t[i * 4096 + j * 64 + k] !=
                                  DIBNearestIndex(e, std::uint8_t(k * 4), std::uint8_t(j * 4),
                                                  std::uint8_t(i * 4));
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(PaletteTable, DuplicateEntriesResolveToTheFirst) {
    // Every entry the same colour: the whole table is 0.
    TDIBPaletteEntries e{};
    for (auto& x : e) x = {90, 40, 200, 0};
    std::vector<std::uint8_t> t(kDIBPaletteTableSize, 0xEE);
    DIBBuildLookupTable(e, t.data());
    for (std::size_t n = 0; n < t.size(); n += 4099) ASSERT_EQ(t[n], 0) << n;
}
