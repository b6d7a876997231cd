// Bitmap sections, device contexts over caller memory, blits between formats, palettes, lines
// and the object lifetime rules.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiTestControl.h"

namespace {

// An information block with room for 256 colours after the masks.
struct InfoBlock {
  BITMAPINFOHEADER header{};
  DWORD masks[3]{};
  RGBQUAD colors[256]{};
};
static_assert(offsetof(InfoBlock, masks) == 40);

InfoBlock MakeInfo(LONG width, LONG height, WORD bitCount, DWORD compression = BI_RGB) {
  InfoBlock info;
  info.header = {sizeof(BITMAPINFOHEADER), width, height, 1, bitCount, compression, 0, 0, 0, 0, 0};
  return info;
}

const BITMAPINFO* AsInfo(const InfoBlock& block) { return reinterpret_cast<const BITMAPINFO*>(&block); }

// Caller-owned 32-bit pixels with a guard frame of sentinel pixels around them, to prove that
// drawing stays inside.
struct GuardedPixels {
  static constexpr uint32_t kSentinel = 0xDEADBEEF;
  GuardedPixels(int w, int h) : width(w), height(h), memory((w + 2) * (h + 2), kSentinel) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) At(x, y) = 0;
    dc = CreateMemoryDCForPixels(&At(0, 0), w, h, (w + 2) * 4, 32, nullptr, nullptr);
  }
  ~GuardedPixels() { DeleteDC(dc); }
  uint32_t& At(int x, int y) { return memory[(y + 1) * (width + 2) + x + 1]; }
  bool GuardIntact() const {
    for (int y = 0; y < height + 2; ++y)
      for (int x = 0; x < width + 2; ++x)
        if ((y == 0 || x == 0 || y == height + 1 || x == width + 1) && memory[y * (width + 2) + x] != kSentinel)
          return false;
    return true;
  }
  int width, height;
  std::vector<uint32_t> memory;
  HDC dc;
};

TEST(GdiDIBSection, RowsFollowTheSignOfTheHeightAndPixelsReadBackAsColours) {
  for (LONG height : {2L, -2L}) {
    InfoBlock info = MakeInfo(2, height, 24);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, section);
    ASSERT_NE(old, nullptr);
    // First stored row: blue, green, red of pixel 0 = pure red.
    static_cast<BYTE*>(bits)[2] = 255;
    EXPECT_EQ(GetPixel(dc, 0, height > 0 ? 1 : 0), RGB(255, 0, 0)) << height;
    EXPECT_EQ(GetPixel(dc, 0, height > 0 ? 0 : 1), RGB(0, 0, 0)) << height;
    EXPECT_EQ(GetPixel(dc, 2, 0), CLR_INVALID);
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(section));
    DeleteDC(dc);
  }
}

TEST(GdiDIBSection, RefusesWhatItCannotHold) {
  void* bits = reinterpret_cast<void*>(1);
  InfoBlock odd = MakeInfo(4, 4, 5);
  EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(odd), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  InfoBlock rle = MakeInfo(4, 4, 8, BI_RLE8);
  EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(rle), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  InfoBlock empty = MakeInfo(0, 4, 8);
  EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(empty), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  InfoBlock huge = MakeInfo(65536, 65536, 32);
  EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(huge), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);

  InfoBlock fine = MakeInfo(4, 4, 8);
  GdiTestRefuseNextDIBSection();
  EXPECT_EQ(CreateDIBSection(nullptr, AsInfo(fine), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  HBITMAP next = CreateDIBSection(nullptr, AsInfo(fine), DIB_RGB_COLORS, &bits, nullptr, 0);
  EXPECT_NE(next, nullptr);
  DeleteObject(next);
}

TEST(GdiDIBSection, DescribesItselfWithMasksAndKeepsItsColourTable) {
  InfoBlock info = MakeInfo(3, 2, 16, BI_BITFIELDS);
  info.masks[0] = 0xF800;
  info.masks[1] = 0x07E0;
  info.masks[2] = 0x001F;
  HBITMAP section = CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, nullptr, nullptr, 0);
  ASSERT_NE(section, nullptr);
  DIBSECTION described{};
  ASSERT_EQ(GetObject(section, sizeof described, &described), static_cast<int>(sizeof(DIBSECTION)));
  EXPECT_EQ(described.dsBm.bmWidth, 3);
  EXPECT_EQ(described.dsBm.bmWidthBytes, 8);
  EXPECT_EQ(described.dsBm.bmBitsPixel, 16);
  EXPECT_EQ(described.dsBitfields[0], 0xF800u);
  EXPECT_EQ(described.dsBitfields[1], 0x07E0u);
  BITMAP plain{};
  EXPECT_EQ(GetObject(section, sizeof plain, &plain), static_cast<int>(sizeof(BITMAP)));

  // 5-6-5: full green widens to full scale.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, section);
  SetPixel(dc, 1, 1, RGB(0, 255, 0));
  EXPECT_EQ(static_cast<WORD*>(described.dsBm.bmBits)[1], 0x07E0);
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 255, 0));
  SelectObject(dc, old);
  DeleteObject(section);

  InfoBlock indexed = MakeInfo(8, 1, 4);
  HBITMAP four = CreateDIBSection(nullptr, AsInfo(indexed), DIB_RGB_COLORS, nullptr, nullptr, 0);
  old = SelectObject(dc, four);
  const RGBQUAD colors[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  EXPECT_EQ(SetDIBColorTable(dc, 14, 5, colors), 2u);  // only 16 entries exist
  RGBQUAD back[16]{};
  EXPECT_EQ(GetDIBColorTable(dc, 0, 256, back), 16u);
  EXPECT_EQ(back[15].rgbRed, 6);
  SetPixel(dc, 3, 0, RGB(6, 5, 4));
  EXPECT_EQ(GetPixel(dc, 3, 0), RGB(6, 5, 4));
  SelectObject(dc, old);
  DeleteObject(four);
  DeleteDC(dc);
}

TEST(GdiBlit, StretchesMirrorsAndConvertsBetweenFormats) {
  // 2x1 source at 8 bits with red and blue entries, drawn 4x2 onto 32-bit pixels.
  std::vector<BYTE> source = {0, 1, 0, 0};
  RGBQUAD table[256]{};
  table[0] = {0, 0, 255, 0};
  table[1] = {255, 0, 0, 0};
  HDC from = CreateMemoryDCForPixels(source.data(), 2, 1, 4, 8, nullptr, table);
  GuardedPixels to(4, 2);
  ASSERT_NE(from, nullptr);
  ASSERT_TRUE(StretchBlt(to.dc, 0, 0, 4, 2, from, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(to.At(0, 0), 0xFF0000u);
  EXPECT_EQ(to.At(1, 1), 0xFF0000u);
  EXPECT_EQ(to.At(2, 0), 0x0000FFu);
  EXPECT_EQ(to.At(3, 1), 0x0000FFu);

  ASSERT_TRUE(StretchBlt(to.dc, 4, 0, -4, 1, from, 0, 0, 2, 1, SRCCOPY));  // mirrored
  EXPECT_EQ(to.At(0, 0), 0x0000FFu);
  EXPECT_EQ(to.At(3, 0), 0xFF0000u);

  // Back into 8 bits: each colour finds its entry.
  std::vector<BYTE> back(4, 7);
  HDC indexed = CreateMemoryDCForPixels(back.data(), 4, 1, 4, 8, nullptr, table);
  ASSERT_TRUE(BitBlt(indexed, 0, 0, 4, 1, to.dc, 0, 1, SRCCOPY));
  EXPECT_EQ(back, (std::vector<BYTE>{0, 0, 1, 1}));
  EXPECT_FALSE(BitBlt(indexed, 0, 0, 4, 1, to.dc, 0, 0, 0x00AA0029));  // a raster operation not offered
  DeleteDC(indexed);
  DeleteDC(from);
}

TEST(GdiBlit, ClipsAgainstBothBitmapsAndNeverWritesOutside) {
  GuardedPixels source(3, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) source.At(x, y) = 0x010101u * (y * 3 + x + 1);
  GuardedPixels dest(4, 4);
  ASSERT_TRUE(BitBlt(dest.dc, -2, 2, 6, 6, source.dc, -1, 0, SRCCOPY));
  EXPECT_TRUE(dest.GuardIntact());
  EXPECT_TRUE(source.GuardIntact());
  // Destination (0, 2) takes source (1, 0); source columns left of 0 are skipped.
  EXPECT_EQ(dest.At(0, 2), 0x020202u);
  EXPECT_EQ(dest.At(1, 3), 0x060606u);
  EXPECT_EQ(dest.At(0, 0), 0u);

  RECT everything{-5, -5, 50, 50};
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_EQ(FillRect(dest.dc, &everything, brush), 1);
  EXPECT_TRUE(dest.GuardIntact());
  EXPECT_EQ(dest.At(3, 3), 0x010203u);
  DeleteObject(brush);
}

TEST(GdiBlit, StretchDIBitsCountsBottomUpSourceRowsFromTheBottom) {
  // Two rows stored bottom-up: first stored row (the bottom) green, the top row blue.
  InfoBlock info = MakeInfo(1, 2, 32);
  const uint32_t bits[2] = {0x00FF00, 0x0000FF};
  GuardedPixels dest(1, 2);
  EXPECT_EQ(StretchDIBits(dest.dc, 0, 0, 1, 2, 0, 0, 1, 2, bits, AsInfo(info), DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(dest.At(0, 0), 0x0000FFu);
  EXPECT_EQ(dest.At(0, 1), 0x00FF00u);
  // Source row 0 counted from the bottom is the green one.
  GuardedPixels single(1, 1);
  StretchDIBits(single.dc, 0, 0, 1, 1, 0, 0, 1, 1, bits, AsInfo(info), DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(single.At(0, 0), 0x00FF00u);
  InfoBlock rle = MakeInfo(1, 2, 8, BI_RLE8);
  EXPECT_EQ(StretchDIBits(dest.dc, 0, 0, 1, 2, 0, 0, 1, 2, bits, AsInfo(rle), DIB_RGB_COLORS, SRCCOPY), 0);
}

TEST(GdiPalette, CreatesReadsAndSelectsPalettes) {
  std::vector<BYTE> block(offsetof(LOGPALETTE, palPalEntry) + 3 * sizeof(PALETTEENTRY));
  auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
  logical->palVersion = 0x300;
  logical->palNumEntries = 3;
  auto* entries = reinterpret_cast<PALETTEENTRY*>(block.data() + offsetof(LOGPALETTE, palPalEntry));
  entries[2] = {10, 20, 30, 0};
  HPALETTE palette = CreatePalette(logical);
  ASSERT_NE(palette, nullptr);
  PALETTEENTRY read[256]{};
  EXPECT_EQ(GetPaletteEntries(palette, 0, 256, read), 3u);
  EXPECT_EQ(read[2].peGreen, 20);
  EXPECT_EQ(GetPaletteEntries(palette, 5, 1, read), 0u);

  HDC dc = CreateCompatibleDC(nullptr);
  HPALETTE previous = SelectPalette(dc, palette, FALSE);
  EXPECT_NE(previous, nullptr);
  EXPECT_EQ(RealizePalette(dc), 3u);
  EXPECT_FALSE(DeleteObject(palette)) << "a selected palette stays alive";
  EXPECT_EQ(SelectPalette(dc, previous, FALSE), palette);
  EXPECT_TRUE(DeleteObject(palette));
  EXPECT_FALSE(DeleteObject(palette)) << "a deleted handle is no longer known";

  logical->palVersion = 0x200;
  EXPECT_EQ(CreatePalette(logical), nullptr);
  DeleteDC(dc);
}

TEST(GdiPalette, TheSystemPaletteHoldsTheTwentyStaticColours) {
  HDC screen = CreateCompatibleDC(nullptr);
  PALETTEENTRY entries[256]{};
  ASSERT_EQ(GetSystemPaletteEntries(screen, 0, 256, entries), 256u);
  EXPECT_EQ(entries[1].peRed, 128);
  EXPECT_EQ(entries[8].peGreen, 220);
  EXPECT_EQ(entries[9].peBlue, 240);
  EXPECT_EQ(entries[249].peRed, 255);
  EXPECT_EQ(entries[249].peGreen, 0);
  EXPECT_EQ(entries[255].peBlue, 255);
  EXPECT_EQ(entries[128].peRed, 0);
  EXPECT_EQ(GetSystemPaletteEntries(screen, 250, 10, entries), 6u);
  EXPECT_EQ(entries[5].peRed, 255);  // entry 255
  DeleteDC(screen);
}

TEST(GdiLines, LinesLeaveTheirEndDashesRunOnAndRectanglesFillTheirInside) {
  GuardedPixels pixels(40, 6);
  HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  EXPECT_EQ(CreatePen(PS_SOLID, 2, 0), nullptr);
  HGDIOBJ stockPen = SelectObject(pixels.dc, red);
  MoveToEx(pixels.dc, -5, 0, nullptr);
  LineTo(pixels.dc, 3, 0);
  EXPECT_EQ(pixels.At(2, 0), 0xFF0000u);
  EXPECT_EQ(pixels.At(3, 0), 0u) << "the end point is the next line's start";

  // A dashed pen draws 18, leaves 6, and goes on where the last line ended.
  HPEN dashed = CreatePen(PS_DASH, 1, RGB(0, 0, 255));
  SelectObject(pixels.dc, dashed);
  MoveToEx(pixels.dc, 0, 1, nullptr);
  LineTo(pixels.dc, 10, 1);
  LineTo(pixels.dc, 45, 1);
  for (int x = 0; x < 40; ++x) EXPECT_EQ(pixels.At(x, 1), x % 24 < 18 ? 0x0000FFu : 0u) << x;

  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  HGDIOBJ stockBrush = SelectObject(pixels.dc, green);
  SelectObject(pixels.dc, red);
  Rectangle(pixels.dc, 45, 5, 36, 2);  // corners in any order
  EXPECT_EQ(pixels.At(36, 2), 0xFF0000u);
  EXPECT_EQ(pixels.At(39, 4), 0xFF0000u);
  EXPECT_EQ(pixels.At(37, 3), 0x00FF00u);
  EXPECT_EQ(pixels.At(36, 5), 0u);
  EXPECT_TRUE(pixels.GuardIntact());
  SelectObject(pixels.dc, stockPen);
  SelectObject(pixels.dc, stockBrush);
  for (HGDIOBJ made : {red, dashed, green}) EXPECT_TRUE(DeleteObject(made));
}

TEST(GdiObjects, SelectedObjectsOutliveDeletionAndEverythingIsGivenBack) {
  const size_t before = GdiTestLiveObjectCount();
  HDC dc = CreateCompatibleDC(nullptr);
  InfoBlock info = MakeInfo(2, 2, 8);
  HBITMAP a = CreateDIBSection(dc, AsInfo(info), DIB_RGB_COLORS, nullptr, nullptr, 0);
  HBITMAP b = CreateDIBSection(dc, AsInfo(info), DIB_RGB_COLORS, nullptr, nullptr, 0);
  HGDIOBJ stock = SelectObject(dc, a);
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, a), nullptr) << "one bitmap, one device context";
  EXPECT_FALSE(DeleteObject(a));
  EXPECT_EQ(SelectObject(dc, b), a);
  EXPECT_TRUE(DeleteObject(a));
  HFONT font = CreateFontA(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  LOGFONTA described{};
  EXPECT_EQ(GetObject(font, sizeof described, &described), static_cast<int>(sizeof(LOGFONTA)));
  EXPECT_EQ(described.lfWeight, FW_BOLD);
  EXPECT_STREQ(described.lfFaceName, "Arial");
  EXPECT_TRUE(DeleteObject(GetStockObject(NULL_BRUSH))) << "stock objects ignore deletion";
  EXPECT_NE(GetStockObject(NULL_BRUSH), nullptr);
  SelectObject(dc, stock);
  DeleteObject(b);
  DeleteObject(font);
  DeleteDC(other);
  DeleteDC(dc);
  EXPECT_EQ(GdiTestLiveObjectCount(), before);
  EXPECT_FALSE(DeleteDC(dc));
}

}  // namespace

TEST(GdiDeviceBitmap, DescribesItselfWithThePlainRecordAndDrawsLikeASection) {
  const WORD rows[2] = {0x7C00, 0x001F};  // one 16-bit pixel per word-aligned row: red, then blue
  HBITMAP bitmap = CreateBitmap(1, 2, 1, 16, rows);
  ASSERT_NE(bitmap, nullptr);
  DIBSECTION described{};
  ASSERT_EQ(GetObject(bitmap, sizeof described, &described), static_cast<int>(sizeof(BITMAP)));
  EXPECT_EQ(described.dsBm.bmWidth, 1);
  EXPECT_EQ(described.dsBm.bmHeight, 2);
  EXPECT_EQ(described.dsBm.bmWidthBytes, 2);
  EXPECT_EQ(described.dsBm.bmBitsPixel, 16);
  EXPECT_EQ(described.dsBm.bmBits, nullptr);

  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0)) << "rows run from the top";
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 255));
  const RGBQUAD color{1, 2, 3, 0};
  EXPECT_EQ(SetDIBColorTable(dc, 0, 1, &color), 0u) << "only sections have colour tables";
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);

  EXPECT_EQ(CreateBitmap(4, 4, 1, 8, nullptr), nullptr) << "no palette-device formats";
  EXPECT_EQ(CreateBitmap(4, 4, 2, 16, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(0, 4, 1, 16, nullptr), nullptr);
  EXPECT_EQ(CreateBitmap(INT32_MAX, INT32_MAX, 1, 32, nullptr), nullptr);
}
