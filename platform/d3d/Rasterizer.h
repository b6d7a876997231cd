// Draws transformed, lit triangle strips into locked surface memory: the pixel work behind
// IDirect3DDevice7::DrawPrimitive.
//
// Pixel centres lie on whole coordinates and edges follow the top-left rule, so a quad whose
// corners lie half a pixel up and left of a rectangle's covers exactly its pixels, and the two
// triangles of a strip never both draw a pixel of their shared edge. Positions are snapped to
// 1/256 of a pixel; triangles reaching beyond a million pixels from the origin are not drawn.
//
// A batch of strips leaves exactly the pixels that drawing its triangles one after another, in
// order, would leave. Rasterizer.cpp lists the ways a batch may be drawn and chooses one; the
// file of each way says why it keeps that true.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <span>

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

constexpr int kNoTexture = -1;

// What the render and texture stage states decide for one primitive.
struct RasterStates {
  int texture = kNoTexture;  // index into the batch's textures; none: the vertex colour alone
  bool modulate = true;      // texture times vertex colour, else texture alone
  bool linearMagnify = false;
  bool linearMinify = false;
  bool colorKey = false;
  bool alphaBlend = false;
  DWORD sourceBlend = D3DBLEND_ONE;
  DWORD destinationBlend = D3DBLEND_ZERO;
  DWORD cullMode = D3DCULL_CCW;
  RECT clip{};  // pixels that may be written, within the target
};

// One triangle strip of a batch: where its corners are in the batch's vertices (three or more)
// and what it is drawn with.
struct StripToDraw {
  size_t firstVertex = 0;
  size_t vertexCount = 0;
  RasterStates states;
};

// How many pixels of a row are shaded at once: four where the processor has AVX2, one otherwise
// or when asked. Both give the very same pixels; tests ask for each to hold both to that.
enum class ShadingWidth { OnePixel, Widest };

// Draws batches of strips, keeping its working memory from one batch to the next: a frame's
// triangles run to megabytes, and fresh memory each frame costs more than drawing them.
class Rasterizer {
 public:
  Rasterizer();
  ~Rasterizer();
  Rasterizer(const Rasterizer&) = delete;
  Rasterizer& operator=(const Rasterizer&) = delete;

  // Draws the batch: every triangle into every row of the target where it has not been drawn yet.
  // The next call starts a new batch.
  void DrawStrips(std::span<const D3DTLVERTEX> vertices, std::span<const StripToDraw> strips,
                  std::span<const TextureSource> textures, const LockedPixels& target,
                  ShadingWidth shading);
  // Draws the batch so far into rows [top, bottom) of the target (whole bands of rows, and every
  // row where the batch reads its own target), each triangle where it has not been drawn yet,
  // and keeps the batch: the next call is given the same strips and textures, with any more
  // after them, and the target as it was left here apart from the rows drawn.
  void DrawRows(std::span<const D3DTLVERTEX> vertices, std::span<const StripToDraw> strips,
                std::span<const TextureSource> textures, const LockedPixels& target,
                ShadingWidth shading, int64_t top, int64_t bottom);

 private:
  struct Work;
  std::unique_ptr<Work> work_;
};
