// Text output: glyphs rendered by FreeType from DejaVu Sans and blended by their coverage onto
// the device context's pixels, whatever their format.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/TextEncoding.h"

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

// Text is read as everywhere on this platform: UTF-8, and single bytes where it is not valid.
// Callers have refused negative lengths.
std::vector<char32_t> CodePoints(const char* text, int length) {
  const std::string_view bytes(text, static_cast<size_t>(length));
  std::vector<char32_t> result;
  for (size_t i = 0; i < bytes.size();) {
    char32_t code;
    if (const size_t sequence = DecodeUtf8(bytes, i, code); sequence > 0) {
      result.push_back(code);
      i += sequence;
    } else {
      result.push_back(Windows1252ToUnicode(static_cast<unsigned char>(bytes[i++])));
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

// The font's text cell, worked out when the font is first used; none when the font files are
// missing.
std::optional<TextCell> CellOf(FontObject& font) {
  if (!font.glyphs.cell) {
    FT_Face face = Fonts().Face(font.font);
    if (!face) return std::nullopt;
    const FT_Size_Metrics& size = face->size->metrics;
    font.glyphs.cell = TextCell{static_cast<int>(size.ascender >> 6),
                                static_cast<int>((size.ascender - size.descender) >> 6)};
  }
  return font.glyphs.cell;
}

CachedGlyph LoadGlyph(FT_Face face, char32_t code) {
  CachedGlyph glyph;
  if (FT_Load_Char(face, code, FT_LOAD_DEFAULT) == 0)
    glyph.measuredAdvance = static_cast<int>(face->glyph->advance.x >> 6);
  if (FT_Load_Char(face, code, FT_LOAD_RENDER) == 0) {
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    GlyphDrawing& drawing = glyph.drawing.emplace();
    drawing.advance = static_cast<int>(slot->advance.x >> 6);
    drawing.left = slot->bitmap_left;
    drawing.top = slot->bitmap_top;
    // Only coverage bitmaps are drawn.
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
      drawing.width = static_cast<int>(bitmap.width);
      drawing.rows = static_cast<int>(bitmap.rows);
      drawing.coverage.resize(size_t{bitmap.width} * bitmap.rows);
      for (unsigned row = 0; row < bitmap.rows; ++row)
        std::copy_n(bitmap.buffer + row * bitmap.pitch, bitmap.width,
                    drawing.coverage.begin() + row * bitmap.width);
    }
  }
  return glyph;
}

// The font's cell must be known.
const CachedGlyph& GlyphOf(FontObject& font, char32_t code) {
  if (const CachedGlyph* kept = font.glyphs.Find(code)) return *kept;
  // The face is sized again: fonts share it, and another may have sized it since.
  return font.glyphs.Keep(code, LoadGlyph(Fonts().Face(font.font), code));
}

int MeasuredWidth(FontObject& font, const std::vector<char32_t>& text) {
  int width = 0;
  for (char32_t code : text) width += GlyphOf(font, code).measuredAdvance.value_or(0);
  return width;
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
  const std::optional<TextCell> cell = CellOf(*dc->font);
  if (!cell) return FALSE;
  *size = {MeasuredWidth(*dc->font, CodePoints(text, length)), cell->height};
  return TRUE;
}

BOOL TextOutA(HDC handle, int x, int y, const char* text, int length) {
  const DCObject* dc = LookupDC(handle);
  if (!dc || length < 0 || (length > 0 && !text)) return FALSE;
  const std::optional<TextCell> cell = CellOf(*dc->font);
  if (!cell) return FALSE;
  const std::vector<char32_t> codes = CodePoints(text, length);
  const int baseline = y + cell->ascent;
  // The rows it may touch: the cell's, and those of glyphs reaching beyond it.
  int64_t top = y, bottom = int64_t{y} + cell->height;
  for (char32_t code : codes)
    if (const std::optional<GlyphDrawing>& drawing = GlyphOf(*dc->font, code).drawing) {
      top = std::min<int64_t>(top, int64_t{baseline} - drawing->top);
      bottom = std::max<int64_t>(bottom, int64_t{baseline} - drawing->top + drawing->rows);
    }
  const PixelView& view = dc->TargetRows(top, bottom);
  if (dc->backMode == OPAQUE) {
    const int width = MeasuredWidth(*dc->font, codes);
    const uint32_t raw = view.ColorToRaw(dc->backColor);
    for (int row = std::max(y, 0); row < std::min(y + cell->height, view.height); ++row)
      for (int col = std::max(x, 0); col < std::min(x + width, view.width); ++col)
        view.WriteRaw(col, row, raw);
  }
  int penX = x;
  for (char32_t code : codes) {
    const std::optional<GlyphDrawing>& drawing = GlyphOf(*dc->font, code).drawing;
    if (!drawing) continue;
    for (int row = 0; row < drawing->rows; ++row)
      for (int col = 0; col < drawing->width; ++col)
        BlendPixel(view, penX + drawing->left + col, baseline - drawing->top + row, dc->textColor,
                   drawing->coverage[static_cast<size_t>(row * drawing->width + col)]);
    penX += drawing->advance;
  }
  return TRUE;
}
