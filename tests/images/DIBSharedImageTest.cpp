// The pixel store: allocation rules, the data-block reader with its failures, and the
// run-length decoders, including data that tries to leave the bitmap.
#include <gtest/gtest.h>

#include "images/DIBSharedImage.h"
#include "platform/gdi/GdiTestControl.h"
#include "tests/images/ImagesTestSupport.h"

namespace {

TDIBPixelLayout Layout(int r, int g, int b) {
  TDIBPixelLayout layout;
  MakeDIBPixelLayout(r, g, b, layout);
  return layout;
}

TColorTable Greyscale() {
  TColorTable table;
  MakeGreyscaleColorTable(table);
  return table;
}

// Reads a block into a fresh store; the store is returned on success.
std::unique_ptr<TDIBSharedImage> Read(const Bytes& block, bool memoryImage = true) {
  auto store = std::make_unique<TDIBSharedImage>();
  TBytesStream stream(block);
  store->ReadData(stream, memoryImage);
  return store;
}

Bytes Rle8Block(int width, int height, const Bytes& data) {
  Bytes block = InfoHeader(width, height, 8, 1, static_cast<uint32_t>(data.size()));
  for (int i = 0; i < 256; ++i) PutLE(block, i * 0x010101u, 4);
  Append(block, data);
  return block;
}

Bytes Decoded(const TDIBSharedImage& compressed) {
  TDIBSharedImage plain;
  plain.DecompressFrom(compressed, true);
  return Bytes(plain.Bits, plain.Bits + plain.Size);
}

TEST(DIBStoreAllocation, GeometryHeaderAndColoursFollowTheBitCount) {
  TDIBSharedImage store;
  TColorTable colors = Greyscale();
  colors[1] = {9, 8, 7, 0};
  store.AllocateImage(3, 2, 4, Layout(8, 8, 8), colors, true, false);
  EXPECT_EQ(store.WidthBytes, 4);
  EXPECT_EQ(store.NextLine, -4);
  EXPECT_EQ(store.Size, 8);
  EXPECT_EQ(store.PaletteCount, 16);
  EXPECT_EQ(store.BitmapInfoSize, 40 + 64);
  EXPECT_EQ(store.ColorTablePos, 40);
  EXPECT_EQ(store.TopRowBits, store.Bits + 4);
  EXPECT_EQ(store.Header().biCompression, BI_RGB);
  EXPECT_EQ(store.BitmapInfo()->bmiColors[1].rgbRed, 7);
  EXPECT_TRUE(store.MemoryImage);

  TDIBSharedImage sixteen;
  sixteen.AllocateImage(5, 1, 16, Layout(5, 6, 5), Greyscale(), true, false);
  EXPECT_EQ(sixteen.Header().biCompression, BI_BITFIELDS);
  EXPECT_EQ(sixteen.BitmapInfoSize, 52);
  EXPECT_EQ(sixteen.PaletteCount, 0);
  const auto* masks = reinterpret_cast<const DWORD*>(reinterpret_cast<const BYTE*>(sixteen.BitmapInfo()) + 40);
  EXPECT_EQ(masks[0], 0xF800u);
  EXPECT_EQ(masks[2], 0x1Fu);
}

TEST(DIBStoreAllocation, RejectsBitCountsAndLayoutsItCannotHold) {
  TDIBSharedImage store;
  try {
    store.AllocateImage(2, 2, 15, Layout(5, 5, 5), Greyscale(), true, false);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), "Bitcount in invalid (15)");
  }
  try {
    store.AllocateImage(2, 2, 24, Layout(5, 6, 5), Greyscale(), true, false);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), "PixelFormat in invalid");
  }
  EXPECT_THROW(store.AllocateImage(2, 2, 16, Layout(6, 5, 5), Greyscale(), true, false), EInvalidGraphicOperation);
  // More pixels than a 32-bit size can count.
  EXPECT_THROW(store.AllocateImage(70000, 70000, 32, Layout(8, 8, 8), Greyscale(), true, false), EOutOfMemory);
  // Sides near 2^31: the size check must not overflow itself, nor the row size narrow.
  EXPECT_THROW(store.AllocateImage(INT32_MAX, INT32_MAX, 32, Layout(8, 8, 8), Greyscale(), true, false),
               EOutOfMemory);
  EXPECT_THROW(store.AllocateImage(INT32_MAX, 1, 24, Layout(8, 8, 8), Greyscale(), false, false), EOutOfResources);
  EXPECT_THROW(store.AllocateImage(INT32_MAX, 0, 24, Layout(8, 8, 8), Greyscale(), true, false), EOutOfMemory);
  EXPECT_EQ(store.Size, 0);
}

TEST(DIBStoreAllocation, SectionsLiveInTheirOwnDeviceContextAndAreGivenBack) {
  const size_t before = GdiTestLiveObjectCount();
  {
    TDIBSharedImage store;
    store.AllocateImage(4, 4, 8, Layout(8, 8, 8), Greyscale(), false, false);
    EXPECT_FALSE(store.MemoryImage);
    ASSERT_NE(store.DC, nullptr);
    store.Bits[0] = 200;  // bottom-left pixel
    EXPECT_EQ(GetPixel(store.DC, 0, 3), RGB(200, 200, 200));
    ASSERT_NE(store.GetPalette(), nullptr);
  }
  EXPECT_EQ(GdiTestLiveObjectCount(), before);

  GdiTestRefuseNextDIBSection();
  TDIBSharedImage refused;
  try {
    refused.AllocateImage(4, 4, 8, Layout(8, 8, 8), Greyscale(), false, false);
    FAIL();
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), "DIB cannot be made");
  }
}

TEST(DIBStoreColours, ColourTableReachesTheInformationBlockAndTheSection) {
  TDIBSharedImage store;
  store.AllocateImage(1, 1, 8, Layout(8, 8, 8), Greyscale(), false, false);
  HPALETTE first = store.GetPalette();
  EXPECT_EQ(store.GetPalette(), first) << "unchanged colours keep the palette";
  TColorTable colors = Greyscale();
  colors[0] = {0, 0, 255, 0};
  store.SetColorTable(colors);
  EXPECT_TRUE(store.PaletteChanged);
  EXPECT_EQ(store.BitmapInfo()->bmiColors[0].rgbRed, 255);
  EXPECT_EQ(GetPixel(store.DC, 0, 0), RGB(255, 0, 0));
  PALETTEENTRY entry{};
  GetPaletteEntries(store.GetPalette(), 0, 1, &entry);
  EXPECT_EQ(entry.peRed, 255);
  EXPECT_EQ(TDIBSharedImage().GetPalette(), nullptr) << "no colours at 24 bits or when empty";
}

TEST(DIBDataBlock, EmptyShortAndForeignHeaders) {
  auto empty = Read({});
  EXPECT_EQ(empty->Size, 0);
  EXPECT_TRUE(empty->MemoryImage);
  for (const Bytes& bad : {Bytes{40, 0}, Bytes{41, 0, 0, 0}, Bytes{108, 0, 0, 0}}) {
    try {
      Read(bad);
      FAIL();
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "DIB is invalid");
    }
  }
  Bytes truncated = InfoHeader(2, 2, 8);
  truncated.resize(30);
  EXPECT_THROW(Read(truncated), EReadError);
}

TEST(DIBDataBlock, NegativeHeightsStoreTheFirstRowReadAsTheTopRow) {
  Bytes block = InfoHeader(1, -2, 24);
  Append(block, {1, 2, 3, 0, 4, 5, 6, 0});
  auto store = Read(block);
  EXPECT_EQ(store->Height, 2);
  EXPECT_EQ(store->TopRowBits[0], 1);
  EXPECT_EQ(store->Bits[0], 4);
  EXPECT_EQ(store->Header().biHeight, 2) << "kept bottom-up";
}

TEST(DIBDataBlock, ZeroWidthTopDownRowsAreNotReadOneByOne) {
  // Two thousand million empty rows hold no bytes: reading them must not take a step per row.
  Bytes block = InfoHeader(0, -2000000000, 24);
  auto store = Read(block);
  EXPECT_EQ(store->Height, 2000000000);
  EXPECT_EQ(store->Size, 0);
}

TEST(DIBDataBlock, SixteenBitsWithoutBitFieldsAre555AndGetTheirMasks) {
  Bytes block = InfoHeader(2, 1, 16);
  Append(block, {0x1F, 0x7C, 0xE0, 0x03});
  auto store = Read(block);
  EXPECT_EQ(store->PixelLayout.RBitMask, 0x7C00);
  EXPECT_EQ(store->Header().biCompression, BI_BITFIELDS);
  EXPECT_EQ(store->BitmapInfoSize, 52);
}

TEST(DIBDataBlock, ColourCounts) {
  Bytes all = InfoHeader(1, 1, 8);
  for (int i = 0; i < 256; ++i) PutLE(all, 0x000100u * i, 4);
  Append(all, {7, 0, 0, 0});
  auto full = Read(all);
  EXPECT_EQ(full->ColorTable[200].rgbGreen, 200);
  EXPECT_EQ(full->Bits[0], 7);

  Bytes sixteen = InfoHeader(1, 1, 8, 0, 0, 16);
  for (int i = 0; i < 16; ++i) PutLE(sixteen, 0xFFFFFFu, 4);
  Append(sixteen, {3, 0, 0, 0});
  auto part = Read(sixteen);
  EXPECT_EQ(part->ColorTable[15].rgbRed, 255);
  EXPECT_EQ(part->ColorTable[16].rgbRed, 0);
  EXPECT_EQ(part->Bits[0], 3);

  Bytes many = InfoHeader(1, 1, 24, 0, 0, 300);
  for (int i = 0; i < 256; ++i) PutLE(many, 0, 4);
  Append(many, {9, 8, 7, 0});
  EXPECT_EQ(Read(many)->Bits[0], 9) << "at most 256 entries come before the pixels";

  // The core header: 12 bytes, unsigned 16-bit sides, three-byte colours.
  Bytes core;
  PutLE(core, 12, 4);
  PutLE(core, 2, 2);
  PutLE(core, 1, 2);
  PutLE(core, 1, 2);
  PutLE(core, 4, 2);
  for (int i = 0; i < 16; ++i) Append(core, {static_cast<unsigned char>(i), 0, 0xFF});  // blue, green, red
  Append(core, {0x5A, 0, 0, 0});
  auto four = Read(core);
  EXPECT_EQ(four->BitCount, 4);
  EXPECT_EQ(four->ColorTable[5].rgbBlue, 5);
  EXPECT_EQ(four->ColorTable[5].rgbRed, 255);
  EXPECT_EQ(four->Bits[0], 0x5A);
}

TEST(DIBDataBlock, AbsurdSizesFailBeforeAnythingIsAllocated) {
  Bytes wide = InfoHeader(60000, 60000, 32);
  EXPECT_THROW(Read(wide), EReadError);
  Bytes widest = InfoHeader(INT32_MAX, INT32_MAX, 32);  // row size times height overflows 64 bits
  EXPECT_THROW(Read(widest), EReadError);
  Bytes noRows = InfoHeader(INT32_MAX, 0, 24);  // no pixels to read, but a row no store can hold
  EXPECT_THROW(Read(noRows), EOutOfMemory);
  Bytes negative = InfoHeader(-5, 1, 8);
  for (int i = 0; i < 256; ++i) PutLE(negative, 0, 4);
  EXPECT_THROW(Read(negative), EInvalidGraphic);
  Bytes lowest = InfoHeader(1, INT32_MIN, 24);
  EXPECT_THROW(Read(lowest), EInvalidGraphic);
  Bytes rleTooLong = Rle8Block(2, 2, {0, 1});
  rleTooLong[20] = 0xFF;  // image size far beyond the data
  rleTooLong[23] = 0x7F;
  EXPECT_THROW(Read(rleTooLong), EReadError);
  Bytes strange = InfoHeader(1, 1, 8, 7);
  for (int i = 0; i < 256; ++i) PutLE(strange, 0, 4);
  Append(strange, {0, 0, 0, 0});
  EXPECT_THROW(Read(strange), EInvalidGraphic);
  // Run-length data claimed for 24-bit pixels would be taken for rows it is too short for.
  Bytes mismatched = InfoHeader(4, 4, 24, 1, 2);
  Append(mismatched, {0, 1});
  EXPECT_THROW(Read(mismatched), EInvalidGraphic);
  Bytes badMasks = InfoHeader(1, 1, 32, 3);
  PutLE(badMasks, 0xFFFFFFFFu, 4);
  PutLE(badMasks, 0xFFFFFFFFu, 4);
  PutLE(badMasks, 0xFFFFFFFFu, 4);
  Append(badMasks, {0, 0, 0, 0});
  EXPECT_THROW(Read(badMasks), EInvalidGraphicOperation);
}

TEST(RunLength, Rle8EscapesAsTheyAreDefined) {
  // (3, 7): three 7s; (0, 0): next row; (0, 2, 1, 0): one right; (0, 3, a, b, c, pad); (0, 1).
  auto store = Read(Rle8Block(6, 2, {3, 7, 0, 0, 0, 2, 1, 0, 0, 3, 1, 2, 3, 0, 0, 1}));
  EXPECT_TRUE(store->Compressed);
  EXPECT_TRUE(store->MemoryImage);
  EXPECT_EQ(store->Size, 16);
  EXPECT_EQ(Decoded(*store), (Bytes{7, 7, 7, 0, 0, 0, 0, 0, 0, 1, 2, 3, 0, 0, 0, 0}));

  // A delta of 5 right and 1 up.
  auto delta = Read(Rle8Block(8, 3, {0, 2, 5, 1, 2, 9, 0, 1}));
  const Bytes pixels = Decoded(*delta);
  EXPECT_EQ(pixels[8 + 5], 9);
  EXPECT_EQ(pixels[8 + 6], 9);
  EXPECT_EQ(pixels[8 + 7], 0);
}

TEST(RunLength, Rle4TakesNibblesHighFirstAndKeepsTheOtherNibble) {
  Bytes block = InfoHeader(8, 1, 4, 2, 8);
  for (int i = 0; i < 16; ++i) PutLE(block, 0, 4);
  // Five pixels alternating 1 and 2, then an absolute run of three pixels A, B, C.
  Append(block, {5, 0x12, 0, 3, 0xAB, 0xC0, 0, 1});
  auto store = Read(block);
  EXPECT_EQ(Decoded(*store), (Bytes{0x12, 0x12, 0x1A, 0xBC}));
  // An absolute run of five pixels reads three bytes, then skips a pad byte to stay even.
  Bytes padded = InfoHeader(8, 1, 4, 2, 10);
  for (int i = 0; i < 16; ++i) PutLE(padded, 0, 4);
  Append(padded, {0, 5, 0xDE, 0xF1, 0x20, 0, 1, 0x77, 0, 1});
  EXPECT_EQ(Decoded(*Read(padded)), (Bytes{0xDE, 0xF1, 0x27, 0}));
}

TEST(RunLength, DataThatLeavesTheBitmapWritesNothingOutside) {
  // Runs past the row end, deltas beyond the last row and an unterminated absolute run.
  const Bytes hostile = {255, 1, 0, 0, 200, 2, 0, 2, 250, 250, 9, 3, 0, 0, 0, 9, 5, 6};
  TDIBSharedImage plain;
  auto store = Read(Rle8Block(3, 2, hostile));
  plain.DecompressFrom(*store, true);
  ASSERT_EQ(plain.Size, 8);
  EXPECT_EQ(Bytes(plain.Bits, plain.Bits + 8), (Bytes{1, 1, 1, 0, 2, 2, 2, 0})) << "padding stays zero";

  // Data that ends early leaves the rest as allocated.
  auto early = Read(Rle8Block(2, 2, {2, 4}));
  EXPECT_EQ(Decoded(*early), (Bytes{4, 4, 0, 0, 0, 0, 0, 0}));

  // Straight into the decoder with a guarded output.
  Bytes output(4 + 8, 0xEE);
  const Bytes deltaOut = {0, 2, 255, 255, 3, 1, 0, 0, 0, 0, 0, 5, 1, 2, 3, 4, 5};
  DecodeRunLength(4, deltaOut.data(), deltaOut.size(), output.data(), 7, 1, 4);
  EXPECT_EQ(Bytes(output.begin() + 4, output.end()), Bytes(8, 0xEE));
}

TEST(DIBStoreCopies, CopyKeepsRunLengthDataAndDecompressDecodesIt) {
  auto compressed = Read(Rle8Block(2, 1, {2, 5, 0, 1}));
  TDIBSharedImage copy;
  copy.CopyFrom(*compressed, false);
  EXPECT_TRUE(copy.Compressed);
  EXPECT_TRUE(copy.MemoryImage) << "run-length data is never a section";
  EXPECT_EQ(copy.Size, 4);
  EXPECT_EQ(copy.Header().biSizeImage, 4u);
  EXPECT_EQ(copy.Header().biCompression, BI_RLE8);

  TDIBSharedImage section;
  section.DecompressFrom(*compressed, false);
  EXPECT_FALSE(section.Compressed);
  EXPECT_NE(section.DC, nullptr);
  EXPECT_EQ(GetPixel(section.DC, 1, 0), RGB(5, 5, 5));

  TDIBSharedImage fromEmpty;
  fromEmpty.CopyFrom(TDIBSharedImage(), false);
  EXPECT_EQ(fromEmpty.Size, 0);
  EXPECT_FALSE(fromEmpty.MemoryImage);
}

}  // namespace
