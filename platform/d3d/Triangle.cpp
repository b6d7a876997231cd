#include "platform/d3d/Triangle.h"

#include <utility>

#include "platform/d3d/ShadingRules.h"

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

}  // namespace

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
  return true;
}
