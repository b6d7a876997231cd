// Which pixels a triangle covers: the device's definition, shared by every painter and by the
// tests' reference.
//
// Corners are snapped to 1/256 of a pixel; corners a million pixels or more from the origin (or
// not numbers) leave their triangle undrawn. Pixel centres lie on whole coordinates, and a pixel
// is covered when its centre lies inside all three edges, or on an edge the triangle owns by the
// top-left rule: so a quad whose corners lie half a pixel up and left of a rectangle's covers
// exactly its pixels, and the two triangles of a strip never both draw a pixel of their shared
// edge. All of it is whole-number arithmetic on the snapped corners, exact at any size drawn.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "platform/d3d/D3D.h"

constexpr int64_t kSubPixels = 256;
constexpr float kFarthestCoordinate = 1 << 20;

// A position in 1/256 pixels.
struct FixedPoint {
  int64_t x, y;
};

// The nearest whole number, halves away from zero (as llround), for values below 2^52 in
// magnitude: the fraction cut off by truncating is exact there.
inline int64_t RoundHalfAway(double value) {
  const int64_t whole = static_cast<int64_t>(value);
  const double fraction = value - static_cast<double>(whole);
  return whole + (fraction >= 0.5) - (fraction <= -0.5);
}

inline std::optional<FixedPoint> Snap(const D3DTLVERTEX& vertex) {
  if (!(std::fabs(vertex.sx) < kFarthestCoordinate) ||
      !(std::fabs(vertex.sy) < kFarthestCoordinate))
    return std::nullopt;
  return FixedPoint{RoundHalfAway(static_cast<double>(vertex.sx) * kSubPixels),
                    RoundHalfAway(static_cast<double>(vertex.sy) * kSubPixels)};
}

// Twice the signed area of (a, b, p); positive when the three run clockwise on the screen.
inline int64_t Edge(const FixedPoint& a, const FixedPoint& b, int64_t px, int64_t py) {
  return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
}

// For a clockwise triangle: the edges whose pixels it owns.
inline bool IsTopOrLeft(const FixedPoint& from, const FixedPoint& to) {
  return to.y < from.y || (to.y == from.y && to.x > from.x);
}

// Whether a pixel with this edge value lies on the inner side of the edge.
inline bool Covers(int64_t edge, bool topOrLeft) { return edge > 0 || (edge == 0 && topOrLeft); }

// The last pixel centre at or before a fixed-point position, and the first at or after it.
// (An arithmetic shift rounds towards minus infinity.)
inline int64_t FloorPixel(int64_t fixed) { return fixed >> 8; }
inline int64_t CeilPixel(int64_t fixed) { return -FloorPixel(-fixed); }
static_assert(kSubPixels == 1 << 8);
