// Text output: visible glyphs in the text colour at every bit count, background modes, extents.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/Gdi.h"

namespace {

struct Canvas32 {
  Canvas32(int w, int h, uint32_t fill) : width(w), height(h), pixels(w * h, fill) {
    dc = CreateMemoryDCForPixels(pixels.data(), w, h, w * 4, 32, nullptr, nullptr);
  }
  ~Canvas32() { DeleteDC(dc); }
  int Count(uint32_t value, int left = 0, int right = -1) const {
    if (right < 0) right = width;
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = left; x < right; ++x) n += pixels[y * width + x] == value;
    return n;
  }
  int width, height;
  std::vector<uint32_t> pixels;
  HDC dc;
};

HFONT SelectFont(HDC dc, LONG height) {
  HFONT font = CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "MS Sans Serif");
  SelectObject(dc, font);
  return font;
}

TEST(GdiText, TransparentTextLeavesGlyphsInTheTextColourAndTheRestUntouched) {
  Canvas32 canvas(120, 30, 0x000000);
  HFONT font = SelectFont(canvas.dc, -16);
  SetTextColor(canvas.dc, RGB(255, 255, 255));
  EXPECT_EQ(SetBkMode(canvas.dc, TRANSPARENT), OPAQUE);
  ASSERT_TRUE(TextOutA(canvas.dc, 2, 2, "FPS: 30", 7));
  const int white = canvas.Count(0xFFFFFF);
  const int touched = canvas.width * canvas.height - canvas.Count(0x000000);
  EXPECT_GT(white, 40) << "fully covered glyph pixels";
  EXPECT_GT(touched, white) << "anti-aliased edges blend between the colours";
  // Nothing left of the text's start or below its cell.
  for (int y = 0; y < canvas.height; ++y) EXPECT_EQ(canvas.pixels[y * canvas.width], 0u);
  for (int x = 0; x < canvas.width; ++x) EXPECT_EQ(canvas.pixels[29 * canvas.width + x], 0u);
  SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

TEST(GdiText, OpaqueTextFillsItsCellWithTheBackgroundColour) {
  Canvas32 canvas(100, 30, 0x000000);
  HFONT font = SelectFont(canvas.dc, -16);
  SetBkColor(canvas.dc, RGB(0, 0, 255));
  SIZE extent{};
  ASSERT_TRUE(GetTextExtentPoint32A(canvas.dc, "Hi", 2, &extent));
  TextOutA(canvas.dc, 0, 0, "Hi", 2);
  EXPECT_GT(canvas.Count(0x0000FF), extent.cx * extent.cy / 2);
  EXPECT_EQ(canvas.Count(0x0000FF, extent.cx), 0) << "the cell ends with the text";
  SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

TEST(GdiText, ExtentsGrowWithTextAndFontSize) {
  Canvas32 canvas(4, 4, 0);
  HFONT small = SelectFont(canvas.dc, -12);
  SIZE one{}, two{}, empty{};
  GetTextExtentPoint32A(canvas.dc, "W", 1, &one);
  GetTextExtentPoint32A(canvas.dc, "WW", 2, &two);
  GetTextExtentPoint32A(canvas.dc, "", 0, &empty);
  EXPECT_EQ(two.cx, 2 * one.cx);
  EXPECT_EQ(empty.cx, 0);
  EXPECT_GE(one.cy, 12);
  HFONT large = SelectFont(canvas.dc, -24);
  SIZE big{};
  GetTextExtentPoint32A(canvas.dc, "W", 1, &big);
  EXPECT_GT(big.cx, one.cx);
  EXPECT_GT(big.cy, one.cy);
  SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(small);
  DeleteObject(large);
}

TEST(GdiText, DrawsIntoIndexedAndSixteenBitPixelsAndClipsAtTheEdges) {
  // 8 bits with black and white entries: glyph pixels become white, edges the nearer entry.
  RGBQUAD table[256]{};
  table[1] = {255, 255, 255, 0};
  std::vector<BYTE> indexed(40 * 20 + 64, 0);
  HDC eight = CreateMemoryDCForPixels(indexed.data(), 40, 20, 40, 8, nullptr, table);
  SelectFont(eight, -16);
  SetTextColor(eight, RGB(255, 255, 255));
  SetBkMode(eight, TRANSPARENT);
  TextOutA(eight, 30, 10, "MMMM", 4);  // runs off the right and bottom edges
  int lit = 0;
  for (int i = 0; i < 40 * 20; ++i) lit += indexed[i] == 1;
  EXPECT_GT(lit, 5);
  for (size_t i = 40 * 20; i < indexed.size(); ++i) ASSERT_EQ(indexed[i], 0) << "written past the pixels";
  HGDIOBJ font = SelectObject(eight, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
  DeleteDC(eight);

  std::vector<WORD> sixteen(30 * 20, 0);
  const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
  HDC dc = CreateMemoryDCForPixels(sixteen.data(), 30, 20, 60, 16, masks, nullptr);
  SetTextColor(dc, RGB(0, 255, 0));
  SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, 0, 0, "Ü", 2);  // UTF-8 text
  int green = 0;
  for (WORD p : sixteen) green += p == 0x07E0;
  EXPECT_GT(green, 5);
  DeleteDC(dc);
}

TEST(GdiText, TextIsUtf8WhereValidAndSingleWindows1252CharactersElsewhere) {
  Canvas32 canvas(4, 4, 0);
  HFONT font = SelectFont(canvas.dc, -16);
  auto width = [&](const std::string& text) {
    SIZE extent{};
    EXPECT_TRUE(GetTextExtentPoint32A(canvas.dc, text.data(), static_cast<int>(text.size()), &extent));
    return extent.cx;
  };
  EXPECT_GT(width("\xE2\x82\xAC"), 0);
  EXPECT_EQ(width("\xE2\x82\xAC"), width("\x80")) << "the euro sign either way";
  EXPECT_EQ(width("\xC3\xA4"), width("\xE4")) << "a-umlaut either way";
  EXPECT_NE(width("\xC3\xA4"), width("\xC3") + width("\xA4"));
  // Surrogates and overlong forms are not UTF-8: each of their bytes is a character of its own.
  EXPECT_EQ(width("\xED\xA0\x80"), width("\xED") + width("\xA0") + width("\x80"));
  EXPECT_EQ(width("\xC0\xAE"), width("\xC0") + width("\xAE"));
  // A sequence cut short by the given length is not read past it.
  EXPECT_EQ(width(std::string("\xE2\x82\xAC").substr(0, 2)), width("\xE2") + width("\x82"));
  SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

// Fonts keep the glyphs they drew. Whatever was drawn before, with this font or another (all
// share one face, sized for each), in this colour or another, text comes out as a font that has
// drawn nothing yet draws it.
TEST(GdiText, TextDrawnAgainMatchesANewFontOfTheSameDescription) {
  struct Drawing {
    LONG height;
    COLORREF color;
    std::string text;
    POINT origin{1, 1};
  };
  auto draw = [](Canvas32& canvas, HFONT font, const Drawing& drawing) {
    std::fill(canvas.pixels.begin(), canvas.pixels.end(), 0u);
    SelectObject(canvas.dc, font);
    SetTextColor(canvas.dc, drawing.color);
    SetBkMode(canvas.dc, TRANSPARENT);
    EXPECT_TRUE(TextOutA(canvas.dc, drawing.origin.x, drawing.origin.y, drawing.text.data(),
                         static_cast<int>(drawing.text.size())));
    SIZE extent{};
    EXPECT_TRUE(GetTextExtentPoint32A(canvas.dc, drawing.text.data(),
                                      static_cast<int>(drawing.text.size()), &extent));
    SelectObject(canvas.dc, GetStockObject(SYSTEM_FONT));
    return std::make_pair(canvas.pixels, std::make_pair(extent.cx, extent.cy));
  };
  auto newFont = [](LONG height) {
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "MS Sans Serif");
  };
  Canvas32 canvas(600, 400, 0);
  HFONT small = newFont(-16), large = newFont(-30), huge = newFont(-2048);
  const std::vector<std::pair<HFONT, Drawing>> sequence = {
      {small, {-16, RGB(255, 255, 255), "AB"}},
      {large, {-30, RGB(255, 255, 255), "BC"}},
      {small, {-16, RGB(255, 0, 0), "ABC"}},  // C is new to this font, after the large one
      {large, {-30, RGB(0, 128, 255), "CAB"}},
      // Glyphs this large outgrow what a font keeps: it starts again mid-text. Placed so that
      // both glyphs cross the canvas.
      {huge, {-2048, RGB(255, 255, 255), "MW", {-1500, -1400}}},
      {huge, {-2048, RGB(255, 255, 0), "WM", {-1700, -1400}}},
      {small, {-16, RGB(255, 255, 255), "BA"}},
  };
  for (size_t i = 0; i < sequence.size(); ++i) {
    const Drawing& drawing = sequence[i].second;
    const auto drawn = draw(canvas, sequence[i].first, drawing);
    HFONT fresh = newFont(drawing.height);
    const auto expected = draw(canvas, fresh, drawing);
    DeleteObject(fresh);
    EXPECT_TRUE(drawn.first == expected.first) << "drawing " << i << ": " << drawing.text;
    EXPECT_EQ(drawn.second, expected.second) << "extent of drawing " << i;
  }
  DeleteObject(small);
  DeleteObject(large);
  DeleteObject(huge);
}

}  // namespace
