// The rasteriser as it stood before it was made fast: triangle by triangle, in the order drawn,
// every pixel of a triangle's box tested and shaded on its own, texels read straight from the
// texture's memory. Kept as the reference the device's rasteriser is compared with, pixel for
// pixel; the only changes are the sound behaviour where it went wrong (bilinear weights that
// overflowed far out, a triangle reading the texels it had just written itself).
//
// It shares with the device only the device's rules: the pixel codec (PixelCodec.h), which
// pixels a triangle covers (CoverageRules.h) and the arithmetic of colours and texel positions
// (ShadingRules.h). How the device finds covered pixels, samples and shades them, and in which
// order it paints them, it does its own way.
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
