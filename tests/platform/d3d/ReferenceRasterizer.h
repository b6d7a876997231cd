// The rasteriser as it stood before it was made fast: triangle by triangle, pixel by pixel, in
// the order drawn. Kept as the reference the production rasteriser is compared with, pixel for
// pixel; the only changes are the sound behaviour where it went wrong (bilinear weights that
// overflowed far out, a triangle reading the texels it had just written itself).
//
// Pixel centres lie on whole coordinates and edges follow the top-left rule; positions are
// snapped to 1/256 of a pixel, point-sampled texture coordinates to 1/256 of a texel.
#pragma once

#include <array>

#include "platform/d3d/D3D.h"

namespace reference {

// Locked memory of a surface with its layout.
struct LockedPixels {
  BYTE* bits = nullptr;
  LONG pitch = 0;
  DWORD width = 0;
  DWORD height = 0;
  DDPIXELFORMAT format{};
};

struct TextureSource {
  LockedPixels pixels;
  std::array<PALETTEENTRY, 256> palette{};  // for palette-indexed textures
  bool hasColorKey = false;
  DDCOLORKEY colorKey{};
};

// What the render and texture stage states decide for one primitive.
struct RasterStates {
  const TextureSource* texture = nullptr;  // null: the vertex colour alone
  bool modulate = true;                    // texture times vertex colour, else texture alone
  bool linearMagnify = false;
  bool linearMinify = false;
  bool colorKey = false;
  bool alphaBlend = false;
  DWORD sourceBlend = D3DBLEND_ONE;
  DWORD destinationBlend = D3DBLEND_ZERO;
  DWORD cullMode = D3DCULL_CCW;
  RECT clip{};  // pixels that may be written, within the target
};

void DrawTriangle(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c,
                  const RasterStates& states, const LockedPixels& target);

}  // namespace reference
