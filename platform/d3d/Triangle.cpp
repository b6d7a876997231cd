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

// Texture coordinates this far out (in texels) stay clear of the clamping of far positions, and
// their rounding stays far below the margins of a reach.
constexpr double kFarthestReachedTexel = 1 << 20;

// The reach along one axis of a texture `size` texels long whose opaque texels lie in [first,
// last], for a triangle with these coordinates at its corners; the gradient is filled in by the
// caller.
//
// Why no pixel beyond it gets a colour. A covered pixel's coordinate is a weighted mean of the
// corners' (edge values are not negative there), as Shade works it out give or take far less
// than a hundredth of a texel. Bilinear sampling reads texels left = floor(x) and left + 1 for
// x = coordinate * size - 0.5, point sampling the texel at coordinate * size + 1/512 rounded
// down, both wrapped round the texture: some texel is opaque only when the coordinate * size
// lies in [first - 0.5, last + 1.5) + k * size for a whole k. The reach is the k = 0 stretch
// widened by half a texel on each side, and is used only where the corners' coordinates keep
// every covered pixel out of the stretches of other k, by that half texel as well.
OpaqueReach ReachAlong(const double coordinates[3], int64_t size, int64_t first, int64_t last) {
  const double texels = static_cast<double>(size);
  const double lowest = std::min({coordinates[0], coordinates[1], coordinates[2]}) * texels,
               highest = std::max({coordinates[0], coordinates[1], coordinates[2]}) * texels;
  OpaqueReach reach;
  reach.bounds = std::fabs(lowest) < kFarthestReachedTexel &&
                 std::fabs(highest) < kFarthestReachedTexel &&
                 lowest >= static_cast<double>(last + 2 - size) &&
                 highest <= static_cast<double>(first - 1 + size);
  reach.low = static_cast<double>(first - 1) / texels;
  reach.high = static_cast<double>(last + 2) / texels;
  return reach;
}

// The coordinate at the origin pixel and its steps, from the edge values there and theirs.
void Gradient(const Triangle& triangle, const double coordinates[3], OpaqueReach& reach) {
  const EdgeValues atOrigin = EdgesAt(triangle, triangle.originX, triangle.originY);
  const FixedPoint &a = triangle.a, &b = triangle.b, &c = triangle.c;
  auto weighed = [&](double bc, double ca, double ab) {
    return (bc * coordinates[0] + ca * coordinates[1] + ab * coordinates[2]) *
           triangle.inverseArea;
  };
  reach.atOrigin = weighed(static_cast<double>(atOrigin.bc), static_cast<double>(atOrigin.ca),
                           static_cast<double>(atOrigin.ab));
  reach.perColumn = -weighed(static_cast<double>(triangle.stepBC),
                             static_cast<double>(triangle.stepCA),
                             static_cast<double>(triangle.stepAB));
  reach.perRow = weighed(static_cast<double>((c.x - b.x) * kSubPixels),
                         static_cast<double>((a.x - c.x) * kSubPixels),
                         static_cast<double>((b.x - a.x) * kSubPixels));
}

// Shrinks the triangle's box to the box round the pixels within both reaches: the four corners
// where their limits meet, a pixel more on every side. Left as it is where the two axes run too
// nearly alike on the screen for those corners to be found well.
void ShrinkBoxToReaches(Triangle& triangle) {
  const OpaqueReach &u = triangle.reachU, &v = triangle.reachV;
  if (!u.bounds || !v.bounds) return;
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
  const OpaqueBox& opaque = texture.opaque;
  if (opaque.left > opaque.right) return false;  // keyed throughout
  triangle.reachU = ReachAlong(triangle.tu, texture.width, opaque.left, opaque.right);
  triangle.reachV = ReachAlong(triangle.tv, texture.height, opaque.top, opaque.bottom);
  if (triangle.reachU.bounds) Gradient(triangle, triangle.tu, triangle.reachU);
  if (triangle.reachV.bounds) Gradient(triangle, triangle.tv, triangle.reachV);
  ShrinkBoxToReaches(triangle);
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
  SetUpShading(*corners, states, texture, triangle);
  triangle.states = &states;
  triangle.sampler = sampler;
  triangle.originX = triangle.minX;
  triangle.originY = triangle.minY;
  triangle.reachU = triangle.reachV = OpaqueReach{};
  return true;
}
