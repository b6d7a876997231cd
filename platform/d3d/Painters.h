// The painters: how the triangles of a band are put on the target. In order, each pixel over
// what is there (any batch); or from the last triangle to the first, each pixel settled by the
// first triangle that gives it a colour (batches that do not blend). Rasterizer.cpp chooses.
#pragma once

#include <cstdint>
#include <span>

#include "platform/d3d/BandBinning.h"
#include "platform/d3d/Rasterizer.h"
#include "platform/d3d/Triangle.h"
#include "platform/ddraw/PixelCodec.h"

class QuadEncoder;
class SettledPixels;

// The target as the painters write it: its rows and its pixel codec.
struct Canvas {
  const LockedPixels& pixels;
  PixelCodec codec;
  uint32_t bytesPerPixel;

  BYTE* Row(int64_t y) const { return pixels.bits + y * pixels.pitch; }
};

// The pixels [first, last] of a target row that a triangle covers, with the edge values at the
// first.
struct Span {
  int64_t row;   // within the band
  BYTE* pixels;  // the target's row
  int64_t first, last;
  EdgeValues atFirst;
};

// Draws the band's triangles in the order given, each pixel over what is there: the plain
// painter's way, for batches where a pixel's new colour may depend on the old one (blending).
void PaintInOrder(const Canvas& canvas, std::span<const Triangle> triangles, const Band& band);

// Draws the band's triangles from the last to the first, each pixel taking the colour of the
// first triangle (in this order) that gives it one; for batches that do not blend. Spans are
// shaded four pixels at a time with fourAtOnce (where FourPixelShaderHandles the triangle), one
// at a time without it. Only columns [left, right) are drawn: multiples of 64, or the width.
void PaintLastToFirst(const Canvas& canvas, std::span<const Triangle> triangles, const Band& band,
                      const QuadEncoder* fourAtOnce, int64_t left, int64_t right);

// Shades the pixels x0 + k of the span for each bit k of lanes with the one-pixel shader, and
// writes and settles those that get a colour: where the four-pixel shader hands a group back.
void PaintLanesOnePixelAtATime(const Canvas& canvas, const Triangle& triangle,
                               SettledPixels& settled, const Span& span, int64_t x0, int lanes);
