#include "platform/gdi/GlyphCache.h"

#include <utility>

const CachedGlyph* GlyphCache::Find(char32_t code) const {
  const auto found = glyphs_.find(code);
  return found == glyphs_.end() ? nullptr : &found->second;
}

const CachedGlyph& GlyphCache::Keep(char32_t code, CachedGlyph glyph) {
  if (bytes_ + glyph.Bytes() > kCoverageBudget) {
    glyphs_.clear();
    bytes_ = 0;
  }
  bytes_ += glyph.Bytes();
  return glyphs_.emplace(code, std::move(glyph)).first->second;
}
