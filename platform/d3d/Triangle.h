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

// Along one of the directions of kOpaqueDirection, the pixels whose texel footprint may reach a
// texel the colour key leaves: the range of the texel position along it beyond which no pixel
// gets a colour, less the position at the origin pixel; how the position moves from one row to
// the next; and how many columns along a row move it by one.
struct OpaqueReach {
  double lowFromOrigin, highFromOrigin;
  double perRow;
  double columnsPerStep;  // 0 where a column moves it by next to nothing
};

// A triangle made ready to draw: corners snapped and put clockwise, and all that stays the same
// across its pixels worked out once.
//
// What each row of it reads comes first, then what shading reads, so a triangle painted a few rows
// at a time brings few cache lines along.
struct Triangle {
  FixedPoint a, b, c;
  bool ownsBC, ownsCA, ownsAB;
  int64_t stepBC, stepCA, stepAB;   // what each edge function loses from one pixel to the next
  double inverseRiseBC, inverseRiseCA, inverseRiseAB;  // 1 / (rise * kSubPixels), 0 when level
  int64_t minX, minY, maxX, maxY;   // the pixels it may cover, within its clip
  int64_t originX, originY;         // the pixel the reaches are reckoned from
  int reachCount;                   // the reaches that bound its pixels, first in `reaches`
  OpaqueReach reaches[kOpaqueDirections];
  double inverseArea;
  const RasterStates* states;
  const TextureSampler* sampler;    // null: the vertex colour alone
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

// 1 / (rise * kSubPixels) of the edge from a to b, 0 for a level one.
inline double InverseRise(const FixedPoint& a, const FixedPoint& b) {
  const int64_t rise = b.y - a.y;
  return rise == 0 ? 0 : 1 / (static_cast<double>(rise) * kSubPixels);
}

// Cuts [start, end] down to the pixels of row y on the inner side of the edge from a to b, give
// or take one: the exact test per pixel decides the rest, so rounding here cannot lose a pixel.
inline void NarrowToRow(const FixedPoint& a, const FixedPoint& b, double inverseRise, int64_t y,
                        int64_t& start, int64_t& end) {
  const int64_t rise = b.y - a.y;
  if (rise == 0) return;  // a level edge bounds rows, not columns
  // Edge(a, b, x, y) = reach - rise * x, for x in sub-pixels.
  const double reach = static_cast<double>(b.x - a.x) * static_cast<double>(y * kSubPixels - a.y) +
                       static_cast<double>(rise) * static_cast<double>(a.x);
  const double limit = reach * inverseRise;
  if (rise > 0)
    end = std::min(end, FloorOf(std::min(limit, 1e12)) + 1);
  else
    start = std::max(start, CeilingOf(std::max(limit, -1e12)) - 1);
}

// Cuts [start, end] down to the pixels of row y within one of the triangle's reaches, give or
// take one.
inline void NarrowToReach(const Triangle& triangle, const OpaqueReach& reach, int64_t y,
                          int64_t& start, int64_t& end) {
  const double down = reach.perRow * static_cast<double>(y - triangle.originY);
  if (reach.columnsPerStep == 0) {
    if (!(down >= reach.lowFromOrigin && down <= reach.highFromOrigin)) end = start - 1;
    return;
  }
  const double toLow = (reach.lowFromOrigin - down) * reach.columnsPerStep,
               toHigh = (reach.highFromOrigin - down) * reach.columnsPerStep;
  const double first = std::clamp(std::min(toLow, toHigh), -1e12, 1e12),
               last = std::clamp(std::max(toLow, toHigh), -1e12, 1e12);
  start = std::max(start, triangle.originX + FloorOf(first) - 1);
  end = std::min(end, triangle.originX + CeilingOf(last) + 1);
}

// A range of row y holding every pixel the triangle covers there and may give a colour, give or
// take one.
inline void NarrowedRow(const Triangle& triangle, int64_t y, int64_t& start, int64_t& end) {
  start = triangle.minX;
  end = triangle.maxX;
  NarrowToRow(triangle.b, triangle.c, triangle.inverseRiseBC, y, start, end);
  NarrowToRow(triangle.c, triangle.a, triangle.inverseRiseCA, y, start, end);
  NarrowToRow(triangle.a, triangle.b, triangle.inverseRiseAB, y, start, end);
  for (int i = 0; i < triangle.reachCount; ++i)
    NarrowToReach(triangle, triangle.reaches[i], y, start, end);
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
