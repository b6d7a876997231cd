// Pixel layouts, colour-table conversions and the shared palette cache.
#include <gtest/gtest.h>

#include <cstring>

#include "images/ColorTable.h"
#include "images/PaletteManager.h"
#include "platform/gdi/GdiTestControl.h"

namespace {

DWORD EntryValue(const RGBQUAD& entry) {
  DWORD value;
  std::memcpy(&value, &entry, 4);
  return value;
}

TEST(PixelLayout, MasksAndShiftsFollowTheBitCounts) {
  TDIBPixelLayout l;
  MakeDIBPixelLayout(5, 5, 5, l);
  EXPECT_EQ(l.RBitMask, 0x7C00);
  EXPECT_EQ(l.GBitMask, 0x3E0);
  EXPECT_EQ(l.BBitMask, 0x1F);
  EXPECT_EQ(l.RShift, 7);
  EXPECT_EQ(l.GShift, 2);
  EXPECT_EQ(l.BShift, 3);
  EXPECT_EQ(l.GBitLoss, 3);
  MakeDIBPixelLayout(5, 6, 5, l);
  EXPECT_EQ(l.RBitMask, 0xF800);
  EXPECT_EQ(l.GBitMask, 0x7E0);
  EXPECT_EQ(l.BBitMask, 0x1F);
  EXPECT_EQ(l.RShift, 8);
  EXPECT_EQ(l.GShift, 3);
  EXPECT_EQ(l.BShift, 3);
  EXPECT_EQ(l.GBitLoss, 2);
  MakeDIBPixelLayout(8, 8, 8, l);
  EXPECT_EQ(l.RShift, 16);
  EXPECT_EQ(l.GShift, 8);
  EXPECT_EQ(l.BShift, 0);
  EXPECT_EQ(l.RBitMask, 0xFF0000);
}

TEST(PixelLayout, MasksGiveOnlyTheirBitCountsWhateverTheirOrder) {
  TDIBPixelLayout l;
  MakeDIBPixelLayoutFromMasks(0xFF, 0xFF00, 0xFF0000, l);
  EXPECT_EQ(l.RBitMask, 0xFF0000);
  EXPECT_EQ(l.GBitMask, 0xFF00);
  EXPECT_EQ(l.BBitMask, 0xFF);
  // Full-width masks stay defined even though they cannot form a pixel.
  MakeDIBPixelLayoutFromMasks(-1, -1, -1, l);
  EXPECT_EQ(l.BBitMask, -1);
  EXPECT_EQ(l.RBitMask, 0);
}

TEST(PixelLayout, CountMaskBitsCountsTheRunFromTheLowestSetBit) {
  EXPECT_EQ(CountMaskBits(0), 0);
  EXPECT_EQ(CountMaskBits(0x80000000u), 1);
  EXPECT_EQ(CountMaskBits(0x7E0), 6);
  EXPECT_EQ(CountMaskBits(0xFFFFFFFFu), 32);
  EXPECT_EQ(CountMaskBits(0x0F0F), 4) << "the run stops at the first clear bit";
}

TEST(ColorTables, ConversionsSwapRedAndBlueAndClearTheFourthByte) {
  EXPECT_EQ(EntryValue(PackRGBQuad(0x12, 0x34, 0x56)), 0x123456u);
  EXPECT_EQ(PaletteEntryToColor(0xAA112233u), 0x00332211u);
  EXPECT_EQ(ColorToPaletteEntry(0x00332211u), 0x00112233u);

  TColorTable grey;
  MakeGreyscaleColorTable(grey);
  EXPECT_EQ(EntryValue(grey[0x7F]), 0x7F7F7Fu);
  EXPECT_EQ(grey[255].rgbReserved, 0);

  TPaletteEntryTable entries{};
  entries[3] = {10, 20, 30, 0x04};  // flags become the reserved byte, cleared
  TColorTable table;
  PaletteToColorTable(entries, table);
  EXPECT_EQ(table[3].rgbRed, 10);
  EXPECT_EQ(table[3].rgbBlue, 30);
  EXPECT_EQ(table[3].rgbReserved, 0);
  TPaletteEntryTable back;
  ColorTableToPalette(table, back);
  EXPECT_EQ(back[3].peRed, 10);
  EXPECT_EQ(back[3].peBlue, 30);
  EXPECT_EQ(back[3].peFlags, 0);
}

class PaletteCache : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeGreyscaleColorTable(table);
    objectsBefore = GdiTestLiveObjectCount();
  }
  TColorTable table;
  size_t objectsBefore = 0;
};

TEST_F(PaletteCache, EqualColoursShareOneHandleUntilTheLastRelease) {
  TPaletteManager& cache = PaletteManager();
  HPALETTE first = cache.AcquirePalette(table, 16);
  HPALETTE second = cache.AcquirePalette(table, 16);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  PALETTEENTRY entries[256];
  EXPECT_EQ(GetPaletteEntries(first, 0, 256, entries), 16u);
  EXPECT_EQ(entries[9].peGreen, 9);

  HPALETTE fewer = cache.AcquirePalette(table, 2);
  EXPECT_NE(fewer, first) << "the count is part of the key";
  cache.ReleasePalette(fewer);
  EXPECT_EQ(fewer, nullptr);

  cache.ReleasePalette(first);
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(GetPaletteEntries(second, 0, 1, entries), 1u) << "one reference still holds it";
  HPALETTE kept = second;
  cache.ReleasePalette(second);
  EXPECT_EQ(GetPaletteEntries(kept, 0, 1, entries), 0u) << "deleted with the last reference";
  EXPECT_EQ(GdiTestLiveObjectCount(), objectsBefore);

  HPALETTE again = cache.AcquirePalette(table, 16);
  EXPECT_NE(again, nullptr);
  cache.ReleasePalette(again);
}

TEST_F(PaletteCache, ReservedBytesTellEqualChecksumsApart) {
  TPaletteManager& cache = PaletteManager();
  TColorTable marked = table;
  marked[0].rgbReserved = 1;
  HPALETTE plain = cache.AcquirePalette(table, 256);
  HPALETTE other = cache.AcquirePalette(marked, 256);
  EXPECT_NE(plain, other);
  cache.ReleasePalette(plain);
  cache.ReleasePalette(other);
}

TEST_F(PaletteCache, UnknownHandlesAndNilAreLeftAlone) {
  TPaletteManager& cache = PaletteManager();
  const Integer items = cache.ItemCount();
  HPALETTE none = nullptr;
  cache.ReleasePalette(none);
  HPALETTE foreign = GetStockObject(DEFAULT_PALETTE);
  HPALETTE copy = foreign;
  cache.ReleasePalette(copy);
  EXPECT_EQ(copy, foreign);
  EXPECT_EQ(cache.ItemCount(), items);
}

}  // namespace
