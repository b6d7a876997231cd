// The glyphs text output has rendered with one font, kept with the font: a status line drawn every
// frame then costs blending alone, where FreeType would size the face, run the hinting program
// and rasterise each glyph again. A font's description never changes, so what FreeType made for
// it once is what it would make again. Internal to platform/gdi.
#pragma once

#include <cstddef>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/gdi/Gdi.h"

// The font's line: how far the baseline lies below the top of a text cell, and the cell's height.
struct TextCell {
  int ascent = 0;
  int height = 0;
};

// A character as drawing places it: its coverage bitmap and the pen's advance.
struct GlyphDrawing {
  int advance = 0;
  // The bitmap's top-left corner, right of the pen and above the baseline.
  int left = 0;
  int top = 0;
  int width = 0;
  int rows = 0;
  std::vector<BYTE> coverage;  // rows of width bytes, 0 = untouched, 255 = fully covered
};

// One character as measuring and drawing see it. Each comes from its own glyph load, as
// measuring and drawing always have; a load that failed leaves its part unset.
struct CachedGlyph {
  // The pen's advance when the text is measured.
  std::optional<int> measuredAdvance;
  std::optional<GlyphDrawing> drawing;

  size_t Bytes() const { return drawing ? drawing->coverage.size() : 0; }
};

class GlyphCache {
 public:
  // Large fonts or text of many different characters could otherwise hold any amount of memory:
  // past this many coverage bytes the cache starts again empty.
  static constexpr size_t kCoverageBudget = size_t{4} << 20;

  const CachedGlyph* Find(char32_t code) const;
  // Keeps the glyph of a character not kept yet; glyphs found before may be gone.
  const CachedGlyph& Keep(char32_t code, CachedGlyph glyph);

  // Known once the font's face was first sized.
  std::optional<TextCell> cell;

 private:
  std::unordered_map<char32_t, CachedGlyph> glyphs_;
  size_t bytes_ = 0;
};
