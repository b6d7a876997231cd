#include "platform/d3d/Triangle.h"

#include <utility>

#include "platform/d3d/ShadingRules.h"
#include "platform/d3d/TextureSampling.h"

namespace {

// A triangle's corners snapped and in clockwise order, with twice its area.
struct ClockwiseCorners {
  FixedPoint a, b, c;
  const D3DTLVERTEX* vertices[3];
  int64_t area;
};

// Nothing when the triangle is beyond the coordinates drawn, without area, or culled.
std::optional<ClockwiseCorners> SnapClockwise(const D3DTLVERTEX& a, const D3DTLVERTEX& b,
                                              const D3DTLVERTEX& c, DWORD cullMode) {
  std::optional<FixedPoint> pa = Snap(a), pb = Snap(b), pc = Snap(c);
  if (!pa || !pb || !pc) return std::nullopt;
  ClockwiseCorners corners{*pa, *pb, *pc, {&a, &b, &c}, Edge(*pa, *pb, pc->x, pc->y)};
  if (corners.area == 0) return std::nullopt;
  if ((cullMode == D3DCULL_CCW && corners.area < 0) || (cullMode == D3DCULL_CW && corners.area > 0))
    return std::nullopt;
  if (corners.area < 0) {
    std::swap(corners.b, corners.c);
    std::swap(corners.vertices[1], corners.vertices[2]);
    corners.area = -corners.area;
  }
  return corners;
}

// The corners' colours, texture coordinates and 1/w, and what follows from them for shading.
void SetUpShading(const ClockwiseCorners& corners, const RasterStates& states,
                  const TextureSource* texture, Triangle& triangle) {
  const D3DTLVERTEX& va = *corners.vertices[0];
  const D3DTLVERTEX& vb = *corners.vertices[1];
  const D3DTLVERTEX& vc = *corners.vertices[2];
  triangle.linear =
      texture && (Minified(va, vb, vc, texture->pixels.width, texture->pixels.height, corners.area)
                      ? states.linearMinify
                      : states.linearMagnify);
  triangle.inverseArea = 1.0 / static_cast<double>(corners.area);
  for (int corner = 0; corner < 3; ++corner) {
    const D3DTLVERTEX& vertex = *corners.vertices[corner];
    triangle.tu[corner] = vertex.tu;
    triangle.tv[corner] = vertex.tv;
    triangle.w[corner] = ReciprocalW(vertex);
    triangle.color[corner] = FromD3DColor(vertex.color);
  }
  triangle.affine = triangle.w[0] == triangle.w[1] && triangle.w[1] == triangle.w[2];
  triangle.flatColor = va.color == vb.color && vb.color == vc.color;
  const Color& first = triangle.color[0];
  triangle.white = triangle.flatColor && first.r == 255 && first.g == 255 && first.b == 255;
}

// Whether every covered pixel's footprint lies within the texture and its one-texel border: the
// texel position (coordinate * size) of each corner within half a texel of the texture, less a
// 64th of a texel. A covered pixel's coordinate is a weighted mean of the corners' (its edge
// values are not negative), as Shade works it out give or take far less than that 64th.
bool WithinTexture(const double coordinates[3], int64_t size) {
  const double texels = static_cast<double>(size);
  const double lowest = std::min({coordinates[0], coordinates[1], coordinates[2]}) * texels,
               highest = std::max({coordinates[0], coordinates[1], coordinates[2]}) * texels;
  constexpr double kMargin = 0.5 - 1.0 / 64;
  return lowest >= -kMargin && highest <= texels + kMargin;
}

// The texel position along one texture axis at the origin pixel and its steps, from the edge
// values there and theirs.
OpaqueReach PositionAlong(const Triangle& triangle, const double coordinates[3], int64_t size) {
  const EdgeValues atOrigin = EdgesAt(triangle, triangle.originX, triangle.originY);
  const FixedPoint &a = triangle.a, &b = triangle.b, &c = triangle.c;
  const double scale = triangle.inverseArea * static_cast<double>(size);
  auto weighed = [&](int64_t bc, int64_t ca, int64_t ab) {
    return (static_cast<double>(bc) * coordinates[0] + static_cast<double>(ca) * coordinates[1] +
            static_cast<double>(ab) * coordinates[2]) *
           scale;
  };
  OpaqueReach position{};
  position.atOrigin = weighed(atOrigin.bc, atOrigin.ca, atOrigin.ab);
  position.perColumn = -weighed(triangle.stepBC, triangle.stepCA, triangle.stepAB);
  position.perRow = weighed((c.x - b.x) * kSubPixels, (a.x - c.x) * kSubPixels,
                            (b.x - a.x) * kSubPixels);
  return position;
}

// The reach along direction d, from the texel positions along the columns and the rows.
//
// Why no pixel beyond it gets a colour. Bilinear sampling at position (x, y) reads the texels of
// columns floor(x - 0.5) and the next, and of rows alike, all within [x - 1.5, x + 0.5] and
// [y - 1.5, y + 0.5]; point sampling reads column floor(x + 1/512) and row alike, within those
// too. Where every footprint lies within the texture and its border, the texels are read from
// there, so a pixel gets a colour only if some texel so near has a value along the direction
// within the texture's spread: its own value then lies within the spread widened by how far a
// factor of 1 (or -1) can take a texel below and above it, 1.5 and 0.5 (or 0.5 and 1.5). The
// reach is that, half a texel wider on each side, far more than the rounding of any of it.
OpaqueReach ReachAlong(int d, const OpaqueReach& columns, const OpaqueReach& rows,
                       const OpaqueSpread& spread) {
  const double columnFactor = kOpaqueDirection[d][0], rowFactor = kOpaqueDirection[d][1];
  auto below = [](double factor) { return factor > 0 ? 1.5 * factor : -0.5 * factor; };
  auto above = [](double factor) { return factor > 0 ? 0.5 * factor : -1.5 * factor; };
  OpaqueReach reach;
  reach.atOrigin = columnFactor * columns.atOrigin + rowFactor * rows.atOrigin;
  reach.perColumn = columnFactor * columns.perColumn + rowFactor * rows.perColumn;
  reach.perRow = columnFactor * columns.perRow + rowFactor * rows.perRow;
  // A step too small to invert moves the position by nothing that counts along a row.
  reach.columnsPerStep = std::fabs(reach.perColumn) < 1e-200 ? 0 : 1 / reach.perColumn;
  reach.low = static_cast<double>(spread.least[d]) - above(columnFactor) - above(rowFactor) - 0.5;
  reach.high =
      static_cast<double>(spread.greatest[d]) + below(columnFactor) + below(rowFactor) + 0.5;
  return reach;
}

// Shrinks the triangle's box to the box round the pixels within the reaches across the columns
// and across the rows (the first two): the four corners where their limits meet, a pixel more on
// every side. Left as it is where the two axes run too nearly alike on the screen for those
// corners to be found well.
void ShrinkBoxToReaches(Triangle& triangle) {
  const OpaqueReach &u = triangle.reaches[0], &v = triangle.reaches[1];
  const double determinant = u.perColumn * v.perRow - u.perRow * v.perColumn;
  const double scale = (std::fabs(u.perColumn) + std::fabs(u.perRow)) *
                       (std::fabs(v.perColumn) + std::fabs(v.perRow));
  if (!(std::fabs(determinant) > 1e-6 * scale)) return;
  double left = INFINITY, right = -INFINITY, top = INFINITY, bottom = -INFINITY;
  for (const double du : {u.low - u.atOrigin, u.high - u.atOrigin})
    for (const double dv : {v.low - v.atOrigin, v.high - v.atOrigin}) {
      const double x = (du * v.perRow - u.perRow * dv) / determinant;
      const double y = (u.perColumn * dv - du * v.perColumn) / determinant;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  auto pixel = [](double offset, int64_t origin) {
    return origin + static_cast<int64_t>(std::clamp(offset, -1e12, 1e12));
  };
  triangle.minX = std::max(triangle.minX, pixel(std::floor(left), triangle.originX) - 1);
  triangle.maxX = std::min(triangle.maxX, pixel(std::ceil(right), triangle.originX) + 1);
  triangle.minY = std::max(triangle.minY, pixel(std::floor(top), triangle.originY) - 1);
  triangle.maxY = std::min(triangle.maxY, pixel(std::ceil(bottom), triangle.originY) + 1);
}

}  // namespace

bool NarrowToOpaqueTexels(Triangle& triangle) {
  if (!triangle.sampler || !triangle.sampler->ColorKey() || !triangle.affine) return true;
  const DecodedTexture& texture = triangle.sampler->Texture();
  if (texture.opaque.left > texture.opaque.right) return false;  // keyed throughout
  if (!WithinTexture(triangle.tu, texture.width) || !WithinTexture(triangle.tv, texture.height))
    return true;
  const OpaqueReach columns = PositionAlong(triangle, triangle.tu, texture.width),
                    rows = PositionAlong(triangle, triangle.tv, texture.height);
  for (int d = 0; d < kOpaqueDirections; ++d)
    triangle.reaches[d] = ReachAlong(d, columns, rows, texture.spread);
  ShrinkBoxToReaches(triangle);
  // Only the reaches that cut into the triangle are kept: along a direction the position over the
  // triangle lies between its corners'.
  for (int d = 0; d < kOpaqueDirections; ++d) {
    double least = INFINITY, greatest = -INFINITY;
    for (int corner = 0; corner < 3; ++corner) {
      const double position =
          kOpaqueDirection[d][0] * triangle.tu[corner] * static_cast<double>(texture.width) +
          kOpaqueDirection[d][1] * triangle.tv[corner] * static_cast<double>(texture.height);
      least = std::min(least, position);
      greatest = std::max(greatest, position);
    }
    const OpaqueReach& reach = triangle.reaches[d];
    if (least < reach.low || greatest > reach.high)
      triangle.reaches[triangle.reachCount++] = reach;
  }
  return triangle.minX <= triangle.maxX && triangle.minY <= triangle.maxY;
}

bool SetUp(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c,
           const RasterStates& states, const TextureSource* texture,
           const TextureSampler* sampler, Triangle& triangle) {
  const std::optional<ClockwiseCorners> corners = SnapClockwise(a, b, c, states.cullMode);
  if (!corners) return false;
  const FixedPoint &pa = corners->a, &pb = corners->b, &pc = corners->c;
  triangle.a = pa;
  triangle.b = pb;
  triangle.c = pc;
  triangle.minX = std::max<int64_t>(CeilPixel(std::min({pa.x, pb.x, pc.x})), states.clip.left);
  triangle.minY = std::max<int64_t>(CeilPixel(std::min({pa.y, pb.y, pc.y})), states.clip.top);
  triangle.maxX =
      std::min<int64_t>(FloorPixel(std::max({pa.x, pb.x, pc.x})), states.clip.right - 1);
  triangle.maxY =
      std::min<int64_t>(FloorPixel(std::max({pa.y, pb.y, pc.y})), states.clip.bottom - 1);
  if (triangle.minX > triangle.maxX || triangle.minY > triangle.maxY) return false;
  triangle.ownsBC = IsTopOrLeft(pb, pc);
  triangle.ownsCA = IsTopOrLeft(pc, pa);
  triangle.ownsAB = IsTopOrLeft(pa, pb);
  triangle.stepBC = (pc.y - pb.y) * kSubPixels;
  triangle.stepCA = (pa.y - pc.y) * kSubPixels;
  triangle.stepAB = (pb.y - pa.y) * kSubPixels;
  triangle.inverseRiseBC = InverseRise(pb, pc);
  triangle.inverseRiseCA = InverseRise(pc, pa);
  triangle.inverseRiseAB = InverseRise(pa, pb);
  SetUpShading(*corners, states, texture, triangle);
  triangle.states = &states;
  triangle.sampler = sampler;
  triangle.originX = triangle.minX;
  triangle.originY = triangle.minY;
  triangle.reachCount = 0;
  return true;
}
