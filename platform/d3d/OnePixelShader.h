// The one-pixel shader: the colour a triangle gives one covered pixel. This is the definition;
// every faster way of shading gives exactly these colours (FourPixelShader.cpp says why its way
// does).
#pragma once

#include <cstdint>
#include <optional>

#include "platform/d3d/ShadingRules.h"
#include "platform/d3d/TextureSampling.h"
#include "platform/d3d/Triangle.h"

// The colour the triangle gives a covered pixel, from the pixel's three edge values, before any
// blending; nothing where the colour key removes the texel. The edge values are exact whole
// numbers however they were reached, and what follows is the same sequence of IEEE operations
// for every pixel, so a pixel's colour does not depend on the order pixels are drawn in.
inline std::optional<Color> Shade(const Triangle& triangle, int64_t ea, int64_t eb, int64_t ec) {
  const double ba = ea * triangle.inverseArea, bb = eb * triangle.inverseArea,
               bc = ec * triangle.inverseArea;
  auto interpolate = [&](int first, int second, int third) {
    return RoundUp(ba * first + bb * second + bc * third);
  };
  const Color* corners = triangle.color;
  Color color = corners[0];
  if (!triangle.flatColor)
    color = {interpolate(corners[0].r, corners[1].r, corners[2].r),
             interpolate(corners[0].g, corners[1].g, corners[2].g),
             interpolate(corners[0].b, corners[1].b, corners[2].b),
             interpolate(corners[0].a, corners[1].a, corners[2].a)};
  if (!triangle.sampler) return color;
  // Equal w at every corner (sprites) makes the perspective division a no-op: w is one then, and
  // multiplying and dividing by one are exact, so they are left out.
  const double* tu = triangle.tu;
  const double* tv = triangle.tv;
  const double* w = triangle.w;
  double u, v;
  if (triangle.affine) {
    u = ba * tu[0] + bb * tu[1] + bc * tu[2];
    v = ba * tv[0] + bb * tv[1] + bc * tv[2];
  } else {
    const double wSum = ba * w[0] + bb * w[1] + bc * w[2];
    u = (ba * w[0] * tu[0] + bb * w[1] * tu[1] + bc * w[2] * tu[2]) / wSum;
    v = (ba * w[0] * tv[0] + bb * w[1] * tv[1] + bc * w[2] * tv[2]) / wSum;
  }
  const std::optional<Color> texel =
      triangle.linear ? triangle.sampler->Linear(u, v) : triangle.sampler->Point(u, v);
  if (!texel) return std::nullopt;
  // Modulating by full white gives the texel back ((x * 255 + 127) / 255 is x), as for sprites.
  if (!triangle.states->modulate || triangle.white) return *texel;
  return Color{Modulate(texel->r, color.r), Modulate(texel->g, color.g),
               Modulate(texel->b, color.b), texel->a};
}
