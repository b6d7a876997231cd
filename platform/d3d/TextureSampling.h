// Textures decoded once a batch into one word a texel, and the point and bilinear sampling of the
// one-pixel shader over them.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/d3d/Rasterizer.h"
#include "platform/d3d/ShadingRules.h"

// The smallest box holding every texel the key leaves (empty: left > right).
struct OpaqueBox {
  int64_t left, top, right, bottom;

  // Whether both texel positions lie outside [low, high].
  static bool Misses(int64_t first, int64_t second, int64_t low, int64_t high) {
    return (first < low || first > high) && (second < low || second > high);
  }
};

// The directions along which a keyed triangle's pixels are narrowed to its texture's opaque
// texels, as factors of a texel's (column, row): across the columns, across the rows, and along
// both diagonals.
constexpr int kOpaqueDirections = 4;
constexpr int kOpaqueDirection[kOpaqueDirections][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};

// Along each direction, the least and the greatest column * factor + row * factor of the opaque
// texels, over the texture with a border one texel wide wrapped round from the opposite sides
// (columns -1 and width, rows -1 and height): every texel a footprint from within half a texel of
// the texture reads, at the place it reads it from.
struct OpaqueSpread {
  int64_t least[kOpaqueDirections], greatest[kOpaqueDirections];
};

// A texture's texels decoded once for a batch, a word each: the colour as four 8-bit channels
// (red in the lowest byte) in the low half, and in the high half whether the colour key takes
// the texel (kKeyedTexel set, else clear). Sampling then reads one word a texel, whatever the
// format; the colours are the very values decoding the texel where it is sampled would give.
// Each row ends with a copy of its first texel, so the texel right of any texel, wrapping round,
// is the next word.
struct DecodedTexture {
  int64_t width = 0;
  int64_t height = 0;
  int64_t stride = 0;  // words a row
  std::vector<uint64_t> texels;
  OpaqueBox opaque;
  OpaqueSpread spread;  // when the box is not empty
  // A bit for each texel position (x, y), set when the bilinear footprint from it, texels x and
  // x + 1 of rows y and y + 1 wrapping round, holds a texel the key leaves: bit x % 64 of word
  // y * footprintWords + x / 64.
  int64_t footprintWords = 0;
  std::vector<uint64_t> footprints;
};

constexpr uint64_t kKeyedTexel = 0xFFFFFFFF00000000;

// Decodes the texture into `decoded`, reusing its memory.
void Decode(const TextureSource& texture, DecodedTexture& decoded);

// Reads colours from a decoded texture, with the colour key on or off.
class TextureSampler {
 public:
  TextureSampler(const DecodedTexture& texture, bool colorKey)
      : texture_(texture), colorKey_(colorKey) {}

  const DecodedTexture& Texture() const { return texture_; }
  bool ColorKey() const { return colorKey_; }

  size_t Index(int64_t x, int64_t y) const { return static_cast<size_t>(y * texture_.stride + x); }

  // A texel, or nothing when the colour key removes it.
  std::optional<Color> Texel(int64_t x, int64_t y) const {
    const size_t at = Index(x, y);
    const uint64_t texel = texture_.texels[at];
    if (colorKey_ && (texel & kKeyedTexel)) return std::nullopt;
    const uint32_t color = static_cast<uint32_t>(texel);
    return Color{static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                 static_cast<int>((color >> 16) & 0xFF), static_cast<int>(color >> 24)};
  }

  // The texel under the coordinate once snapped to a 1/256-texel grid.
  std::optional<Color> Point(double u, double v) const {
    const DWORD width = static_cast<DWORD>(texture_.width);
    const DWORD height = static_cast<DWORD>(texture_.height);
    return Texel(WrapIndex(SnappedTexel(u, width), width),
                 WrapIndex(SnappedTexel(v, height), height));
  }

  // Bilinear: keyed texels weigh nothing, and the pixel stays transparent when they make up
  // half of the footprint or more, so keyed edges neither grow nor fringe with the key colour.
  //
  // Without branches on the key: a keyed texel's weight becomes zero and it is added all the
  // same. That gives the very sums that leaving it out gives: the weights and channels are
  // finite and not negative, so every term it adds is +0, and x + 0 is x exactly in IEEE
  // arithmetic (0 + 0 included).
  std::optional<Color> Linear(double u, double v) const {
    const DWORD width = static_cast<DWORD>(texture_.width);
    const DWORD height = static_cast<DWORD>(texture_.height);
    const double x = u * width - 0.5;
    const double y = v * height - 0.5;
    // Where the position is clamped its distance to the whole texel, and so the weights, would
    // be out of all bounds (and the channels beyond an int): such a position counts as one that
    // is not finite.
    if (!(std::fabs(x) < kFarthestTexelPosition) || !(std::fabs(y) < kFarthestTexelPosition))
      return Point(0, 0);
    const int64_t left = Whole(x), top = Whole(y);
    const int64_t columns[2] = {WrapIndex(left, width), WrapIndex(left + 1, width)};
    const int64_t rows[2] = {WrapIndex(top, height), WrapIndex(top + 1, height)};
    // A footprint wholly beside the opaque texels is keyed throughout.
    const OpaqueBox& box = texture_.opaque;
    if (colorKey_ && (box.Misses(columns[0], columns[1], box.left, box.right) ||
                      box.Misses(rows[0], rows[1], box.top, box.bottom)))
      return std::nullopt;
    const double fx = x - static_cast<double>(left), fy = y - static_cast<double>(top);
    const double weights[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    const size_t at[4] = {Index(columns[0], rows[0]), Index(columns[1], rows[0]),
                          Index(columns[0], rows[1]), Index(columns[1], rows[1])};
    double weightSum = 0, r = 0, g = 0, b = 0, a = 0;
    for (int i = 0; i < 4; ++i) {
      const uint64_t texel = texture_.texels[at[i]];
      const double weight = colorKey_ && (texel & kKeyedTexel) ? 0.0 : weights[i];
      const uint32_t color = static_cast<uint32_t>(texel);
      weightSum += weight;
      r += weight * static_cast<int>(color & 0xFF);
      g += weight * static_cast<int>((color >> 8) & 0xFF);
      b += weight * static_cast<int>((color >> 16) & 0xFF);
      a += weight * static_cast<int>(color >> 24);
    }
    if (weightSum < 0.5) return std::nullopt;
    const double scale = 1 / weightSum;
    auto average = [scale](double sum) { return RoundUp(sum * scale); };
    return Color{average(r), average(g), average(b), average(a)};
  }

 private:
  const DecodedTexture& texture_;
  bool colorKey_;
};
