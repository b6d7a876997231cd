#include "platform/d3d/Triangle.h"

#include <algorithm>
#include <iterator>
#include <numbers>
#include <optional>
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

// The texel positions (coordinate * size) of a triangle's corners along one texture axis.
struct CornerPositions {
  double at[3];
  double lowest, highest;
};

CornerPositions CornersAlong(const double coordinates[3], int64_t size) {
  const double texels = static_cast<double>(size);
  CornerPositions corners{};
  for (int corner = 0; corner < 3; ++corner) corners.at[corner] = coordinates[corner] * texels;
  corners.lowest = std::min({corners.at[0], corners.at[1], corners.at[2]});
  corners.highest = std::max({corners.at[0], corners.at[1], corners.at[2]});
  return corners;
}

// Whether every covered pixel's footprint lies within the texture and its one-texel border: the
// texel position of each corner within half a texel of the texture, less a 64th of a texel. A
// covered pixel's position is a weighted mean of the corners' (its edge values are not negative),
// as Shade works it out give or take far less than that 64th.
bool WithinTexture(const CornerPositions& corners, int64_t size) {
  constexpr double kMargin = 0.5 - 1.0 / 64;
  return corners.lowest >= -kMargin && corners.highest <= static_cast<double>(size) + kMargin;
}

// A texel position over the triangle's pixels: at the origin pixel, and its steps.
struct TexelPosition {
  double atOrigin, perColumn, perRow;
};

// The texel position along one texture axis, from the edge values at the origin and their steps.
TexelPosition PositionOnAxis(const Triangle& triangle, const EdgeValues& atOrigin,
                             const double coordinates[3], int64_t size) {
  const FixedPoint &a = triangle.a, &b = triangle.b, &c = triangle.c;
  const double scale = triangle.inverseArea * static_cast<double>(size);
  auto weighed = [&](int64_t bc, int64_t ca, int64_t ab) {
    return (static_cast<double>(bc) * coordinates[0] + static_cast<double>(ca) * coordinates[1] +
            static_cast<double>(ab) * coordinates[2]) *
           scale;
  };
  return {weighed(atOrigin.bc, atOrigin.ca, atOrigin.ab),
          -weighed(triangle.stepBC, triangle.stepCA, triangle.stepAB),
          weighed((c.x - b.x) * kSubPixels, (a.x - c.x) * kSubPixels, (b.x - a.x) * kSubPixels)};
}

// Along a direction, the range of the texel position where a pixel may get a colour.
struct Slab {
  double low, high;
};

// How far beyond the spread along each direction a pixel's texel position may lie where the pixel
// gets a colour, below and above, by the way of sampling. Texel positions are coordinate * size.
//
// Point sampling reads column floor(x + 1/512), so a column c is read from x in [c - 1/512,
// c + 1 - 1/512); a sum of column and row from within [c + r - 1/256, c + r + 2), a difference
// from within (c - r - 1, c - r + 1). Bilinear sampling reads columns floor(x - 0.5) and the next
// and rows alike, weighs them by nearness, and gives a colour only where the opaque texels weigh
// half or more. Column left + 1 alone weighs x - 0.5 - left, which is half or more from x = left
// + 1 on; column left alone weighs half or more up to x = left + 1. So a column c colours x in
// [c, c + 1]. A sum of column and row reached by the far corner alone needs both weights' product
// to be half, so x + y at least 2 * sqrt(0.5) beyond the footprint's first texel position: sum +
// sqrt(2) - 1 at the least; mirrored for the greatest, and with a difference the same bounds fall
// one lower. Footprints nearer the spread's middle lie within these.
struct Beyond {
  double below, above;
};
constexpr Beyond kPointBeyond[kOpaqueDirections] = {{0, 1}, {0, 1}, {0, 2}, {1, 1}};
constexpr Beyond kLinearBeyond[kOpaqueDirections] = {
    {0, 1}, {0, 1}, {1 - std::numbers::sqrt2, 3 - std::numbers::sqrt2},
    {2 - std::numbers::sqrt2, 2 - std::numbers::sqrt2}};

// What the slabs add on each side, well above the rounding of the positions (far below a
// thousandth of a texel) and the 1/512 of point sampling.
constexpr double kSlabMargin = 1.0 / 8;

// The slab along direction d: where the texels of the spread give a colour (kPointBeyond,
// kLinearBeyond), widened by kSlabMargin.
Slab SlabAlong(int d, const OpaqueSpread& spread, bool linear) {
  const Beyond& beyond = (linear ? kLinearBeyond : kPointBeyond)[d];
  return {static_cast<double>(spread.least[d]) - beyond.below - kSlabMargin,
          static_cast<double>(spread.greatest[d]) + beyond.above + kSlabMargin};
}

// The texel position along direction d, from those along the columns and the rows.
TexelPosition PositionAlong(int d, const TexelPosition& columns, const TexelPosition& rows) {
  const double columnFactor = kOpaqueDirection[d][0], rowFactor = kOpaqueDirection[d][1];
  return {columnFactor * columns.atOrigin + rowFactor * rows.atOrigin,
          columnFactor * columns.perColumn + rowFactor * rows.perColumn,
          columnFactor * columns.perRow + rowFactor * rows.perRow};
}

// Whether the slab leaves out some of the triangle: along a direction the position over the
// triangle lies between its corners'.
bool CutsInto(const Slab& slab, int d, const CornerPositions& columns,
              const CornerPositions& rows) {
  double least = INFINITY, greatest = -INFINITY;
  for (int corner = 0; corner < 3; ++corner) {
    const double position = kOpaqueDirection[d][0] * columns.at[corner] +
                            kOpaqueDirection[d][1] * rows.at[corner];
    least = std::min(least, position);
    greatest = std::max(greatest, position);
  }
  return least < slab.low || greatest > slab.high;
}

// The slab as the rows are narrowed by it, for the position along its direction; nothing where a
// column moves the position by so little (or a row moves the slab's sides by so many columns)
// that the crossings could be off by a pixel: the slab then narrows nothing, which is always
// sound.
std::optional<OpaqueReach> ReachOf(const Slab& slab, const TexelPosition& position) {
  constexpr double kMostColumnsPerStep = 1 << 20, kMostColumnsPerRow = 1 << 24;
  if (!(std::fabs(position.perColumn) * kMostColumnsPerStep >= 1)) return std::nullopt;
  const double columnsPerStep = 1 / position.perColumn;
  const double perRow = -position.perRow * columnsPerStep;
  if (!(std::fabs(perRow) <= kMostColumnsPerRow)) return std::nullopt;
  const double low = (slab.low - position.atOrigin) * columnsPerStep,
               high = (slab.high - position.atOrigin) * columnsPerStep;
  return OpaqueReach{std::min(low, high), std::max(low, high), perRow};
}

// Shrinks the triangle's box to the box round the pixels within the slabs across the columns and
// across the rows: the four corners where their limits meet, a pixel more on every side. Left as
// it is where the two axes run too nearly alike on the screen for those corners to be found well.
void ShrinkBoxToSlabs(const TexelPosition& u, const Slab& columns, const TexelPosition& v,
                      const Slab& rows, Triangle& triangle) {
  const double determinant = u.perColumn * v.perRow - u.perRow * v.perColumn;
  const double scale = (std::fabs(u.perColumn) + std::fabs(u.perRow)) *
                       (std::fabs(v.perColumn) + std::fabs(v.perRow));
  if (!(std::fabs(determinant) > 1e-6 * scale)) return;
  const double inverse = 1 / determinant;
  double left = INFINITY, right = -INFINITY, top = INFINITY, bottom = -INFINITY;
  for (const double du : {columns.low - u.atOrigin, columns.high - u.atOrigin})
    for (const double dv : {rows.low - v.atOrigin, rows.high - v.atOrigin}) {
      const double x = (du * v.perRow - u.perRow * dv) * inverse;
      const double y = (u.perColumn * dv - du * v.perColumn) * inverse;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  auto within = [](double offset) { return std::clamp(offset, -1e12, 1e12); };
  triangle.minX = std::max(triangle.minX, triangle.originX + FloorOf(within(left)) - 1);
  triangle.maxX = std::min(triangle.maxX, triangle.originX + CeilingOf(within(right)) + 1);
  triangle.minY = std::max(triangle.minY, triangle.originY + FloorOf(within(top)) - 1);
  triangle.maxY = std::min(triangle.maxY, triangle.originY + CeilingOf(within(bottom)) + 1);
}

}  // namespace

bool NarrowToOpaqueTexels(Triangle& triangle) {
  if (!triangle.sampler || !triangle.sampler->ColorKey() || !triangle.affine) return true;
  const DecodedTexture& texture = triangle.sampler->Texture();
  if (texture.opaque.left > texture.opaque.right) return false;  // keyed throughout
  // Too few pixels to be worth the narrowing.
  if ((triangle.maxX - triangle.minX + 1) * (triangle.maxY - triangle.minY + 1) < 100) return true;
  const CornerPositions columnCorners = CornersAlong(triangle.tu, texture.width),
                        rowCorners = CornersAlong(triangle.tv, texture.height);
  if (!WithinTexture(columnCorners, texture.width) || !WithinTexture(rowCorners, texture.height))
    return true;
  Slab slabs[kOpaqueDirections];
  bool cuts[kOpaqueDirections];
  for (int d = 0; d < kOpaqueDirections; ++d) {
    slabs[d] = SlabAlong(d, texture.spread, triangle.linear);
    cuts[d] = CutsInto(slabs[d], d, columnCorners, rowCorners);
  }
  if (std::none_of(std::begin(cuts), std::end(cuts), [](bool cut) { return cut; })) return true;
  const EdgeValues atOrigin = EdgesAt(triangle, triangle.originX, triangle.originY);
  const TexelPosition columns = PositionOnAxis(triangle, atOrigin, triangle.tu, texture.width),
                      rows = PositionOnAxis(triangle, atOrigin, triangle.tv, texture.height);
  for (int d = 0; d < kOpaqueDirections; ++d)
    if (cuts[d])
      if (const std::optional<OpaqueReach> reach = ReachOf(slabs[d], PositionAlong(d, columns, rows)))
        triangle.reaches[triangle.reachCount++] = *reach;
  if (cuts[0] || cuts[1]) ShrinkBoxToSlabs(columns, slabs[0], rows, slabs[1], triangle);
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
  triangle.originX = triangle.minX;
  triangle.originY = triangle.minY;
  triangle.crossBC = CrossingOf(pb, pc, triangle.originX, triangle.originY);
  triangle.crossCA = CrossingOf(pc, pa, triangle.originX, triangle.originY);
  triangle.crossAB = CrossingOf(pa, pb, triangle.originX, triangle.originY);
  SetUpShading(*corners, states, texture, triangle);
  triangle.states = &states;
  triangle.sampler = sampler;
  triangle.reachCount = 0;
  return true;
}
