// Triangle set-up and coverage: a triangle made ready to draw, and the pixels it covers row by
// row, found without testing every pixel of its box.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/d3d/CoverageRules.h"
#include "platform/d3d/Rasterizer.h"
#include "platform/d3d/TextureSampling.h"
#include "platform/ddraw/PixelCodec.h"

// The pixels a triangle may cover, within its clip; none when top is below bottom.
struct PixelBox {
  int32_t left = 0, top = 1, right = 0, bottom = 0;
};

// Where an edge meets row y, in columns from the triangle's origin pixel: atOrigin on the
// origin's row, moving by perRow from one row to the next. Worked out once, so a row is narrowed
// with a multiplication and an addition an edge.
struct RowCrossing {
  double atOrigin, perRow;

  double At(double rowsDown) const { return atOrigin + rowsDown * perRow; }
};

// Along one of the directions of kOpaqueDirection, the pixels whose texel footprint may reach a
// texel the colour key leaves: in each row, those between where the two sides of that range meet
// it, reckoned as for an edge; the two sides run side by side.
struct OpaqueReach {
  double firstAtOrigin, lastAtOrigin;  // first never right of last
  double perRow;
};

// A triangle made ready to draw: corners snapped and put clockwise, and all that stays the same
// across its pixels worked out once.
//
// What each row of it reads comes first (with the sampler, which tells how it is shaded), then
// what shading reads, so a triangle painted a few rows at a time brings few cache lines along.
struct Triangle {
  FixedPoint a, b, c;
  bool ownsBC, ownsCA, ownsAB;
  const TextureSampler* sampler;    // null: the vertex colour alone
  int64_t stepBC, stepCA, stepAB;   // what each edge function loses from one pixel to the next
  RowCrossing crossBC, crossCA, crossAB;  // where each edge crosses the rows, unless level
  int64_t minX, minY, maxX, maxY;   // the pixels it may cover, within its clip
  int64_t originX, originY;         // the pixel crossings are reckoned from
  int reachCount;                   // the reaches that bound its pixels, first in `reaches`
  OpaqueReach reaches[kOpaqueDirections];
  double inverseArea;
  const RasterStates* states;
  bool affine, flatColor, linear;
  bool white;  // one colour at every corner, full white
  double tu[3], tv[3];
  Color color[3];
  double w[3];  // read only where they differ

  PixelBox Box() const {
    return {static_cast<int32_t>(minX), static_cast<int32_t>(minY), static_cast<int32_t>(maxX),
            static_cast<int32_t>(maxY)};
  }
};

// Sets up the triangle (a, b, c) sampling the texture (null for none) through the sampler; false
// when it draws nothing: culled, without area, off the clip, or beyond the coordinates drawn at
// all.
bool SetUp(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c,
           const RasterStates& states, const TextureSource* texture,
           const TextureSampler* sampler, Triangle& triangle);

// Narrows the triangle's pixels to those whose colour-keyed texture may give them a colour: none
// beyond gets one, so painting only these paints the same. False when none is left. Only for a
// texture that stays as it is while the batch is drawn: the reach is worked out from its texels
// now.
bool NarrowToOpaqueTexels(Triangle& triangle);

// The floor and the ceiling of a value within +-1e12, without a call into the library.
inline int64_t FloorOf(double value) {
  const int64_t truncated = static_cast<int64_t>(value);
  return static_cast<double>(truncated) > value ? truncated - 1 : truncated;
}
inline int64_t CeilingOf(double value) {
  const int64_t truncated = static_cast<int64_t>(value);
  return static_cast<double>(truncated) < value ? truncated + 1 : truncated;
}

// Where the edge from a to b crosses the rows, from the origin pixel (originX, originY); nothing
// for a level edge, which bounds rows, not columns.
inline RowCrossing CrossingOf(const FixedPoint& a, const FixedPoint& b, int64_t originX,
                              int64_t originY) {
  const int64_t rise = b.y - a.y;
  if (rise == 0) return {0, 0};
  // Edge(a, b, x, y) = reach - rise * x, for x in sub-pixels.
  const double run = static_cast<double>(b.x - a.x);
  const double reach = run * static_cast<double>(originY * kSubPixels - a.y) +
                       static_cast<double>(rise) * static_cast<double>(a.x - originX * kSubPixels);
  const double perRise = 1 / static_cast<double>(rise);
  return {reach * perRise / kSubPixels, run * perRise};
}

// Cuts [start, end] down to the pixels of a row on the inner side of the edge from a to b, give
// or take one: the exact test per pixel decides the rest, so rounding here cannot lose a pixel.
// (The crossing comes from whole numbers of at most 58 bits by a few roundings, and from rows a
// target holds: it is off by far less than the pixel to spare.) The row lies rowsDown below the
// origin.
inline void NarrowToEdge(const Triangle& triangle, const FixedPoint& a, const FixedPoint& b,
                         const RowCrossing& crossing, double rowsDown, int64_t& start,
                         int64_t& end) {
  const int64_t rise = b.y - a.y;
  if (rise == 0) return;
  const double limit = crossing.At(rowsDown);
  if (rise > 0)
    end = std::min(end, triangle.originX + FloorOf(std::min(limit, 1e12)) + 1);
  else
    start = std::max(start, triangle.originX + CeilingOf(std::max(limit, -1e12)) - 1);
}

// Cuts [start, end] down to the pixels of a row within one of the triangle's reaches, give or
// take one.
inline void NarrowToReach(const Triangle& triangle, const OpaqueReach& reach, double rowsDown,
                          int64_t& start, int64_t& end) {
  const double shift = rowsDown * reach.perRow;
  start = std::max(start, triangle.originX + FloorOf(std::max(reach.firstAtOrigin + shift, -1e12)) - 1);
  end = std::min(end, triangle.originX + CeilingOf(std::min(reach.lastAtOrigin + shift, 1e12)) + 1);
}

// A range of row y holding every pixel the triangle covers there and may give a colour, give or
// take one.
inline void NarrowedRow(const Triangle& triangle, int64_t y, int64_t& start, int64_t& end) {
  start = triangle.minX;
  end = triangle.maxX;
  const double rowsDown = static_cast<double>(y - triangle.originY);
  NarrowToEdge(triangle, triangle.b, triangle.c, triangle.crossBC, rowsDown, start, end);
  NarrowToEdge(triangle, triangle.c, triangle.a, triangle.crossCA, rowsDown, start, end);
  NarrowToEdge(triangle, triangle.a, triangle.b, triangle.crossAB, rowsDown, start, end);
  for (int i = 0; i < triangle.reachCount; ++i)
    NarrowToReach(triangle, triangle.reaches[i], rowsDown, start, end);
}

// Cuts a range from NarrowedRow down to exactly the pixels of it the triangle covers, as
// [first, last]; false when it covers none.
//
// Each edge test holds on one side of a line, so along a row it holds for a run of whole x (or
// for all or none of them when the edge is level), and the pixels passing all three tests are
// one run. The range holds that run, or the part of it within the texture's reach (a range too),
// so trimming pixels that fail the exact test off both ends finds exactly the pixels of the range
// that testing each one would.
inline bool TrimToCovered(const Triangle& triangle, int64_t y, int64_t& first, int64_t& last) {
  const int64_t py = y * kSubPixels;
  auto covers = [&](int64_t x) {
    return Covers(Edge(triangle.b, triangle.c, x * kSubPixels, py), triangle.ownsBC) &&
           Covers(Edge(triangle.c, triangle.a, x * kSubPixels, py), triangle.ownsCA) &&
           Covers(Edge(triangle.a, triangle.b, x * kSubPixels, py), triangle.ownsAB);
  };
  while (first <= last && !covers(first)) ++first;
  while (last > first && !covers(last)) --last;
  return first <= last;
}

inline bool CoveredSpan(const Triangle& triangle, int64_t y, int64_t& first, int64_t& last) {
  NarrowedRow(triangle, y, first, last);
  return TrimToCovered(triangle, y, first, last);
}

// The three edge values at pixel (x, y): bc, ca and ab lose the triangle's stepBC, stepCA and
// stepAB from one pixel to the next along the row.
struct EdgeValues {
  int64_t bc, ca, ab;
};

inline EdgeValues EdgesAt(const Triangle& triangle, int64_t x, int64_t y) {
  const int64_t px = x * kSubPixels, py = y * kSubPixels;
  return {Edge(triangle.b, triangle.c, px, py), Edge(triangle.c, triangle.a, px, py),
          Edge(triangle.a, triangle.b, px, py)};
}
