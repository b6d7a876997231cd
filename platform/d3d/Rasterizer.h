// Draws transformed, lit triangles into locked surface memory: the pixel work behind
// IDirect3DDevice7::DrawPrimitive.
//
// Pixel centres lie on whole coordinates and edges follow the top-left rule, so a quad whose
// corners lie half a pixel up and left of a rectangle's covers exactly its pixels, and the two
// triangles of a strip never both draw a pixel of their shared edge. Positions are snapped to
// 1/256 of a pixel; triangles reaching beyond a million pixels from the origin are not drawn.
#pragma once

#include <array>

#include "platform/d3d/D3D.h"

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
