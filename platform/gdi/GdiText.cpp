// Text output: glyphs rendered by FreeType from DejaVu Sans and blended by their coverage onto
// the device context's pixels, whatever their format.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/gdi/GdiObjects.h"

namespace {

constexpr const char* kRegularFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kBoldFace = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// The library and the two faces, loaded on first use and given back at exit.
class FontLibrary {
 public:
  FontLibrary() {
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return;
    }
    if (FT_New_Face(library_, kRegularFace, 0, &regular_) != 0) regular_ = nullptr;
    if (FT_New_Face(library_, kBoldFace, 0, &bold_) != 0) bold_ = regular_;
  }
  ~FontLibrary() {
    if (bold_ && bold_ != regular_) FT_Done_Face(bold_);
    if (regular_) FT_Done_Face(regular_);
    if (library_) FT_Done_FreeType(library_);
  }
  FontLibrary(const FontLibrary&) = delete;
  FontLibrary& operator=(const FontLibrary&) = delete;

  // The face for a font, sized; null when the font files are missing.
  FT_Face Face(const LOGFONTA& font) {
    FT_Face face = font.lfWeight >= FW_BOLD ? bold_ : regular_;
    if (!face) return nullptr;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(EmPixels(face, font.lfHeight)));
    return face;
  }

 private:
  // Negative heights give the character (em) height, positive ones the whole cell height.
  static long EmPixels(FT_Face face, LONG height) {
    if (height < 0) return std::min<long>(-static_cast<long>(height), 2048);
    if (height == 0) return 16;
    const long cell = face->ascender - face->descender;
    return std::clamp<long>(height * face->units_per_EM / (cell > 0 ? cell : face->units_per_EM), 1, 2048);
  }

  FT_Library library_ = nullptr;
  FT_Face regular_ = nullptr;
  FT_Face bold_ = nullptr;
};

FontLibrary& Fonts() {
  static FontLibrary fonts;
  return fonts;
}

// Windows-1252 characters 0x80-0x9F; the other single bytes are Latin-1.
constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

// Text is UTF-8; a byte that does not start a valid sequence is a Windows-1252 character.
std::vector<char32_t> CodePoints(const char* text, int length) {
  std::vector<char32_t> result;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  for (int i = 0; i < length;) {
    const unsigned char lead = bytes[i];
    const int extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : 0;
    char32_t code = extra == 3 ? lead & 0x07 : extra == 2 ? lead & 0x0F : lead & 0x1F;
    bool valid = extra > 0 && lead < 0xF5;
    for (int k = 1; valid && k <= extra; ++k) {
      if (i + k >= length || (bytes[i + k] & 0xC0) != 0x80) valid = false;
      else code = (code << 6) | (bytes[i + k] & 0x3F);
    }
    if (valid) {
      result.push_back(code);
      i += extra + 1;
    } else {
      result.push_back(lead >= 0x80 && lead < 0xA0 ? kWindows1252High[lead - 0x80] : lead);
      ++i;
    }
  }
  return result;
}

BYTE Blend(BYTE under, BYTE over, unsigned coverage) {
  return static_cast<BYTE>((under * (255 - coverage) + over * coverage + 127) / 255);
}

void BlendPixel(const PixelView& view, int x, int y, COLORREF color, unsigned coverage) {
  if (!view.Contains(x, y) || coverage == 0) return;
  COLORREF result = color;
  if (coverage < 255) {
    const COLORREF under = view.RawToColor(view.ReadRaw(x, y));
    result = RGB(Blend(GetRValue(under), GetRValue(color), coverage),
                 Blend(GetGValue(under), GetGValue(color), coverage),
                 Blend(GetBValue(under), GetBValue(color), coverage));
  }
  view.WriteRaw(x, y, view.ColorToRaw(result));
}

struct TextMetrics {
  int width = 0;
  int ascent = 0;
  int height = 0;
};

// Advances of the text's glyphs and the cell's height.
TextMetrics Measure(FT_Face face, const std::vector<char32_t>& text) {
  TextMetrics metrics;
  metrics.ascent = static_cast<int>(face->size->metrics.ascender >> 6);
  metrics.height = static_cast<int>((face->size->metrics.ascender - face->size->metrics.descender) >> 6);
  for (char32_t code : text)
    if (FT_Load_Char(face, code, FT_LOAD_DEFAULT) == 0)
      metrics.width += static_cast<int>(face->glyph->advance.x >> 6);
  return metrics;
}

}  // namespace

COLORREF SetTextColor(HDC handle, COLORREF color) {
  DCObject* dc = LookupDC(handle);
  if (!dc) return CLR_INVALID;
  const COLORREF old = dc->textColor;
  dc->textColor = color & 0xFFFFFF;
  return old;
}

COLORREF GetTextColor(HDC handle) {
  const DCObject* dc = LookupDC(handle);
  return dc ? dc->textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC handle, COLORREF color) {
  DCObject* dc = LookupDC(handle);
  if (!dc) return CLR_INVALID;
  const COLORREF old = dc->backColor;
  dc->backColor = color & 0xFFFFFF;
  return old;
}

COLORREF GetBkColor(HDC handle) {
  const DCObject* dc = LookupDC(handle);
  return dc ? dc->backColor : CLR_INVALID;
}

int SetBkMode(HDC handle, int mode) {
  DCObject* dc = LookupDC(handle);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int old = dc->backMode;
  dc->backMode = mode;
  return old;
}

int GetBkMode(HDC handle) {
  const DCObject* dc = LookupDC(handle);
  return dc ? dc->backMode : 0;
}

BOOL GetTextExtentPoint32A(HDC handle, const char* text, int length, SIZE* size) {
  const DCObject* dc = LookupDC(handle);
  if (!dc || !size || length < 0 || (length > 0 && !text)) return FALSE;
  FT_Face face = Fonts().Face(dc->font->font);
  if (!face) return FALSE;
  const TextMetrics metrics = Measure(face, CodePoints(text, length));
  *size = {metrics.width, metrics.height};
  return TRUE;
}

BOOL TextOutA(HDC handle, int x, int y, const char* text, int length) {
  const DCObject* dc = LookupDC(handle);
  if (!dc || length < 0 || (length > 0 && !text)) return FALSE;
  FT_Face face = Fonts().Face(dc->font->font);
  if (!face) return FALSE;
  const PixelView& view = dc->Target();
  const std::vector<char32_t> codes = CodePoints(text, length);
  const TextMetrics metrics = Measure(face, codes);
  if (dc->backMode == OPAQUE) {
    const uint32_t raw = view.ColorToRaw(dc->backColor);
    for (int row = std::max(y, 0); row < std::min(y + metrics.height, view.height); ++row)
      for (int col = std::max(x, 0); col < std::min(x + metrics.width, view.width); ++col)
        view.WriteRaw(col, row, raw);
  }
  const int baseline = y + metrics.ascent;
  int penX = x;
  for (char32_t code : codes) {
    if (FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot glyph = face->glyph;
    const FT_Bitmap& bitmap = glyph->bitmap;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
      for (unsigned row = 0; row < bitmap.rows; ++row)
        for (unsigned col = 0; col < bitmap.width; ++col)
          BlendPixel(view, penX + glyph->bitmap_left + static_cast<int>(col),
                     baseline - glyph->bitmap_top + static_cast<int>(row), dc->textColor,
                     bitmap.buffer[row * bitmap.pitch + col]);
    }
    penX += static_cast<int>(glyph->advance.x >> 6);
  }
  return TRUE;
}
