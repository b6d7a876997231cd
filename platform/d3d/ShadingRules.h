// How the device colours a covered pixel, rule by rule: vertex colours, rounding, which texel a
// texture coordinate names, when a texture counts as shrunk, modulation and blending. Shared by
// every shader and by the tests' reference; the four-pixel shader restates each rule for four
// lanes and says why it gives the same values.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/d3d/CoverageRules.h"
#include "platform/ddraw/PixelCodec.h"

inline Color FromD3DColor(D3DCOLOR value) {
  return {static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
          static_cast<int>(value & 0xFF), static_cast<int>(value >> 24)};
}

// Rounds a value known not to be negative.
inline int RoundUp(double value) { return static_cast<int>(value + 0.5); }

// A channel scaled by another, both 0..255, rounded to the nearest.
inline int Modulate(int x, int y) { return (x * y + 127) / 255; }

// A corner's 1/w; one where it is not a positive number.
inline double ReciprocalW(const D3DTLVERTEX& vertex) {
  return std::isfinite(vertex.rhw) && vertex.rhw > 0 ? vertex.rhw : 1.0;
}

// Whether the triangle (a, b, c) of twice the area `area` (in square 1/256 pixels) shrinks its
// texture: more than one texel per pixel.
inline bool Minified(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c,
                     DWORD textureWidth, DWORD textureHeight, int64_t area) {
  const double texels = std::fabs((static_cast<double>(b.tu) - a.tu) * (c.tv - a.tv) -
                                  (static_cast<double>(c.tu) - a.tu) * (b.tv - a.tv)) *
                        textureWidth * textureHeight;
  const double pixels = static_cast<double>(area) / (kSubPixels * kSubPixels);
  return texels > pixels;
}

// Texture coordinates repeat, so every integer texel position names a texel.
inline int64_t WrapIndex(int64_t whole, DWORD size) {
  const int64_t length = static_cast<int64_t>(size);
  if ((length & (length - 1)) == 0) return whole & (length - 1);  // the usual power-of-two side
  return ((whole % length) + length) % length;
}

// Texel positions further out are clamped to it: every texel is named well within it.
constexpr double kFarthestTexelPosition = 1e9;

// The floor of a texel position, clamped to the farthest position; 0 where it is not a number.
inline int64_t Whole(double position) {
  if (!std::isfinite(position)) return 0;
  // Truncation then one step down for negative fractions is the floor, without a library call.
  const double clamped = std::clamp(position, -kFarthestTexelPosition, kFarthestTexelPosition);
  const int64_t truncated = static_cast<int64_t>(clamped);
  return static_cast<double>(truncated) > clamped ? truncated - 1 : truncated;
}

constexpr int kSubTexelBits = 8;

// The whole texel a texture coordinate falls in, after rounding it to the nearest 1/256 texel,
// as hardware keeps it. Interpolated in double, a coordinate meant to lie on a texel edge can
// come out a hair short of it, and the pixel would then take the texel before: texels would get
// unequal shares.
inline int64_t SnappedTexel(double coordinate, DWORD size) {
  const int64_t snapped = Whole(coordinate * size * (1 << kSubTexelBits) + 0.5);
  return snapped >> kSubTexelBits;  // arithmetic: the floor for negative positions too
}

// What a blend factor stands for, per channel.
inline Color BlendFactor(DWORD blend, const Color& source, const Color& destination) {
  auto inverse = [](const Color& c) { return Color{255 - c.r, 255 - c.g, 255 - c.b, 255 - c.a}; };
  auto all = [](int value) { return Color{value, value, value, value}; };
  switch (blend) {
    case D3DBLEND_ONE: return all(255);
    case D3DBLEND_SRCCOLOR: return source;
    case D3DBLEND_INVSRCCOLOR: return inverse(source);
    case D3DBLEND_SRCALPHA: return all(source.a);
    case D3DBLEND_INVSRCALPHA: return all(255 - source.a);
    case D3DBLEND_DESTALPHA: return all(destination.a);
    case D3DBLEND_INVDESTALPHA: return all(255 - destination.a);
    case D3DBLEND_DESTCOLOR: return destination;
    case D3DBLEND_INVDESTCOLOR: return inverse(destination);
    default: return all(0);
  }
}

// A new colour over the one a pixel holds; the sums are clamped when encoded.
inline Color Blend(DWORD sourceBlend, DWORD destinationBlend, const Color& source,
                   const Color& destination) {
  const Color s = BlendFactor(sourceBlend, source, destination);
  const Color d = BlendFactor(destinationBlend, source, destination);
  return {Modulate(source.r, s.r) + Modulate(destination.r, d.r),
          Modulate(source.g, s.g) + Modulate(destination.g, d.g),
          Modulate(source.b, s.b) + Modulate(destination.b, d.b),
          Modulate(source.a, s.a) + Modulate(destination.a, d.a)};
}
