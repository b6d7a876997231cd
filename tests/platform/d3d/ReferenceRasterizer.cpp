#include "platform/d3d/ReferenceRasterizer.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "platform/d3d/CoverageRules.h"
#include "platform/d3d/ShadingRules.h"
#include "platform/ddraw/PixelCodec.h"
#include "platform/ddraw/PixelFormats.h"

namespace reference {
namespace {

// Reads colours from a texture's memory, with its format and colour key worked out once per
// primitive.
class TextureSampler {
 public:
  TextureSampler(const TextureSource& texture, bool colorKey)
      : texture_(texture),
        codec_(texture.pixels.format),
        bytesPerPixel_(BytesPerPixel(texture.pixels.format)),
        paletteIndexed_(IsPaletteIndexed(texture.pixels.format)),
        keyBits_(paletteIndexed_ ? 0xFF
                                 : texture.pixels.format.dwRBitMask |
                                       texture.pixels.format.dwGBitMask |
                                       texture.pixels.format.dwBBitMask),
        keyLow_(texture.colorKey.dwColorSpaceLowValue & keyBits_) {
    const uint64_t keyHigh = texture.colorKey.dwColorSpaceHighValue & keyBits_;
    const bool keyed = colorKey && texture.hasColorKey;
    keyCount_ = keyed && keyLow_ <= keyHigh ? keyHigh - keyLow_ + 1 : 0;
  }

  // A texel, or nothing when the colour key removes it.
  std::optional<Color> Texel(int64_t x, int64_t y) const {
    const BYTE* row = texture_.pixels.bits + y * texture_.pixels.pitch;
    const uint32_t raw = ReadRawPixel(row, x, bytesPerPixel_);
    const uint32_t keyed = raw & keyBits_;
    // One unsigned comparison: below the range wraps round to beyond it.
    if (keyed - keyLow_ < keyCount_) return std::nullopt;
    if (paletteIndexed_) {
      const PALETTEENTRY& entry = texture_.palette[raw & 0xFF];
      return Color{entry.peRed, entry.peGreen, entry.peBlue, 255};
    }
    return codec_.Decode(raw);
  }

  std::optional<Color> Point(double u, double v) const {
    return Texel(WrapIndex(SnappedTexel(u, texture_.pixels.width), texture_.pixels.width),
                 WrapIndex(SnappedTexel(v, texture_.pixels.height), texture_.pixels.height));
  }

  // Bilinear: keyed texels weigh nothing, and the pixel stays transparent when they make up
  // half of the footprint or more, so keyed edges neither grow nor fringe with the key colour.
  std::optional<Color> Linear(double u, double v) const {
    const double x = u * texture_.pixels.width - 0.5;
    const double y = v * texture_.pixels.height - 0.5;
    // As far from the texture as Whole clamps to, the weights would overflow: taken as not finite.
    if (!(std::fabs(x) < kFarthestTexelPosition) || !(std::fabs(y) < kFarthestTexelPosition))
      return Point(0, 0);
    const int64_t left = Whole(x), top = Whole(y);
    const double fx = x - static_cast<double>(left), fy = y - static_cast<double>(top);
    const int64_t columns[2] = {WrapIndex(left, texture_.pixels.width),
                                WrapIndex(left + 1, texture_.pixels.width)};
    const int64_t rows[2] = {WrapIndex(top, texture_.pixels.height),
                             WrapIndex(top + 1, texture_.pixels.height)};
    double weightSum = 0, r = 0, g = 0, b = 0, a = 0;
    auto add = [&](double weight, int64_t row, int64_t column) {
      if (weight == 0) return;
      const std::optional<Color> texel = Texel(column, row);
      if (!texel) return;
      weightSum += weight;
      r += weight * texel->r;
      g += weight * texel->g;
      b += weight * texel->b;
      a += weight * texel->a;
    };
    add((1 - fx) * (1 - fy), rows[0], columns[0]);
    add(fx * (1 - fy), rows[0], columns[1]);
    add((1 - fx) * fy, rows[1], columns[0]);
    add(fx * fy, rows[1], columns[1]);
    if (weightSum < 0.5) return std::nullopt;
    const double scale = 1 / weightSum;
    auto average = [scale](double sum) { return RoundUp(sum * scale); };
    return Color{average(r), average(g), average(b), average(a)};
  }

 private:
  const TextureSource& texture_;
  PixelCodec codec_;
  uint32_t bytesPerPixel_;
  bool paletteIndexed_;
  DWORD keyBits_;
  uint64_t keyLow_;
  uint64_t keyCount_;  // keyed values from keyLow_ on; none when keying is off
};

// A triangle's corners, clockwise, with what the pixels between them take from them.
struct Corners {
  FixedPoint at[3];
  const D3DTLVERTEX* vertex[3];
  int64_t area;  // twice the area, in square 1/256 pixels
};

// The colour the triangle gives the pixel whose edge values (opposite each corner) are given,
// before blending; nothing where the key takes the texel.
std::optional<Color> ShadePixel(const Corners& corners, const int64_t edges[3],
                                const RasterStates& states,
                                const std::optional<TextureSampler>& sampler, bool linear) {
  const D3DTLVERTEX& va = *corners.vertex[0];
  const D3DTLVERTEX& vb = *corners.vertex[1];
  const D3DTLVERTEX& vc = *corners.vertex[2];
  const double inverseArea = 1.0 / static_cast<double>(corners.area);
  const double ba = edges[0] * inverseArea, bb = edges[1] * inverseArea,
               bc = edges[2] * inverseArea;
  const Color ca = FromD3DColor(va.color), cb = FromD3DColor(vb.color),
              cc = FromD3DColor(vc.color);
  auto interpolate = [&](int first, int second, int third) {
    return RoundUp(ba * first + bb * second + bc * third);
  };
  Color color = ca;
  if (!(va.color == vb.color && vb.color == vc.color))
    color = {interpolate(ca.r, cb.r, cc.r), interpolate(ca.g, cb.g, cc.g),
             interpolate(ca.b, cb.b, cc.b), interpolate(ca.a, cb.a, cc.a)};
  if (!sampler) return color;
  // Equal w at every corner (sprites) makes the perspective division a no-op: w is one then, and
  // multiplying and dividing by one are exact, so they are left out.
  const double wa = ReciprocalW(va), wb = ReciprocalW(vb), wc = ReciprocalW(vc);
  double u, v;
  if (wa == wb && wb == wc) {
    u = ba * va.tu + bb * vb.tu + bc * vc.tu;
    v = ba * va.tv + bb * vb.tv + bc * vc.tv;
  } else {
    const double w = ba * wa + bb * wb + bc * wc;
    u = (ba * wa * va.tu + bb * wb * vb.tu + bc * wc * vc.tu) / w;
    v = (ba * wa * va.tv + bb * wb * vb.tv + bc * wc * vc.tv) / w;
  }
  const std::optional<Color> texel = linear ? sampler->Linear(u, v) : sampler->Point(u, v);
  if (!texel || !states.modulate) return texel;
  return Color{Modulate(texel->r, color.r), Modulate(texel->g, color.g),
               Modulate(texel->b, color.b), texel->a};
}

// The corners snapped and put clockwise; nothing when the triangle is culled, has no area or
// reaches beyond the coordinates drawn.
std::optional<Corners> SnapClockwise(const D3DTLVERTEX& a, const D3DTLVERTEX& b,
                                     const D3DTLVERTEX& c, DWORD cullMode) {
  const std::optional<FixedPoint> pa = Snap(a), pb = Snap(b), pc = Snap(c);
  if (!pa || !pb || !pc) return std::nullopt;
  Corners corners{{*pa, *pb, *pc}, {&a, &b, &c}, Edge(*pa, *pb, pc->x, pc->y)};
  if (corners.area == 0) return std::nullopt;
  if ((cullMode == D3DCULL_CCW && corners.area < 0) || (cullMode == D3DCULL_CW && corners.area > 0))
    return std::nullopt;
  if (corners.area < 0) {
    std::swap(corners.at[1], corners.at[2]);
    std::swap(corners.vertex[1], corners.vertex[2]);
    corners.area = -corners.area;
  }
  return corners;
}

}  // namespace

void DrawTriangle(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c,
                  const RasterStates& states, const LockedPixels& target) {
  const std::optional<Corners> corners = SnapClockwise(a, b, c, states.cullMode);
  if (!corners) return;
  const FixedPoint &pa = corners->at[0], &pb = corners->at[1], &pc = corners->at[2];

  // A texture that is the target itself is read as it was before the triangle, as the device
  // reads it: the triangle's own pixels do not feed back into its texels.
  const TextureSource* texture = states.texture;
  TextureSource before;
  std::vector<BYTE> pixelsBefore;
  if (texture && texture->pixels.bits == target.bits) {
    before = *texture;
    pixelsBefore.assign(texture->pixels.bits,
                        texture->pixels.bits + texture->pixels.pitch * texture->pixels.height);
    before.pixels.bits = pixelsBefore.data();
    texture = &before;
  }
  std::optional<TextureSampler> sampler;
  if (texture) sampler.emplace(*texture, states.colorKey);
  const bool linear =
      texture && (Minified(*corners->vertex[0], *corners->vertex[1], *corners->vertex[2],
                           texture->pixels.width, texture->pixels.height, corners->area)
                      ? states.linearMinify
                      : states.linearMagnify);
  const bool owns[3] = {IsTopOrLeft(pb, pc), IsTopOrLeft(pc, pa), IsTopOrLeft(pa, pb)};
  const PixelCodec targetCodec(target.format);
  const uint32_t targetBytesPerPixel = BytesPerPixel(target.format);

  // Every pixel of the box round the corners, within the clip, tested on its own.
  const int64_t minX = std::max<int64_t>(CeilPixel(std::min({pa.x, pb.x, pc.x})),
                                         states.clip.left);
  const int64_t minY = std::max<int64_t>(CeilPixel(std::min({pa.y, pb.y, pc.y})),
                                         states.clip.top);
  const int64_t maxX = std::min<int64_t>(FloorPixel(std::max({pa.x, pb.x, pc.x})),
                                         states.clip.right - 1);
  const int64_t maxY = std::min<int64_t>(FloorPixel(std::max({pa.y, pb.y, pc.y})),
                                         states.clip.bottom - 1);
  for (int64_t y = minY; y <= maxY; ++y) {
    BYTE* targetRow = target.bits + y * target.pitch;
    for (int64_t x = minX; x <= maxX; ++x) {
      const int64_t px = x * kSubPixels, py = y * kSubPixels;
      const int64_t edges[3] = {Edge(pb, pc, px, py), Edge(pc, pa, px, py), Edge(pa, pb, px, py)};
      if (!Covers(edges[0], owns[0]) || !Covers(edges[1], owns[1]) || !Covers(edges[2], owns[2]))
        continue;
      std::optional<Color> color = ShadePixel(*corners, edges, states, sampler, linear);
      if (!color) continue;
      if (states.alphaBlend)
        color = Blend(states.sourceBlend, states.destinationBlend, *color,
                      targetCodec.Decode(ReadRawPixel(targetRow, x, targetBytesPerPixel)));
      WriteRawPixel(targetRow, x, targetBytesPerPixel, targetCodec.Encode(*color));
    }
  }
}

}  // namespace reference
