#include "platform/d3d/Rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/gdi/PixelChannels.h"

namespace {

constexpr int64_t kSubPixels = 256;
constexpr float kFarthestCoordinate = 1 << 20;

struct Color {
  int r = 0, g = 0, b = 0, a = 0;  // 0..255 each
};

struct FixedPoint {
  int64_t x, y;
};

uint32_t BytesPerPixel(const DDPIXELFORMAT& format) { return format.dwRGBBitCount / 8; }

uint32_t ReadRaw(const LockedPixels& pixels, int64_t x, int64_t y) {
  const uint32_t bytes = BytesPerPixel(pixels.format);
  uint32_t raw = 0;
  std::memcpy(&raw, pixels.bits + y * pixels.pitch + x * bytes, bytes);
  return raw;
}

void WriteRaw(const LockedPixels& pixels, int64_t x, int64_t y, uint32_t raw) {
  std::memcpy(pixels.bits + y * pixels.pitch + x * BytesPerPixel(pixels.format), &raw,
              BytesPerPixel(pixels.format));
}

bool IsPaletteIndexed(const DDPIXELFORMAT& format) {
  return (format.dwFlags & DDPF_PALETTEINDEXED8) != 0;
}

Color Decode(uint32_t raw, const DDPIXELFORMAT& format) {
  const bool hasAlpha = (format.dwFlags & DDPF_ALPHAPIXELS) && format.dwRGBAlphaBitMask;
  return {ChannelTo8(raw, format.dwRBitMask), ChannelTo8(raw, format.dwGBitMask),
          ChannelTo8(raw, format.dwBBitMask),
          hasAlpha ? ChannelTo8(raw, format.dwRGBAlphaBitMask) : 255};
}

uint32_t Encode(const Color& color, const DDPIXELFORMAT& format) {
  auto channel = [](int value) { return static_cast<BYTE>(std::clamp(value, 0, 255)); };
  uint32_t raw = ChannelFrom8(channel(color.r), format.dwRBitMask) |
                 ChannelFrom8(channel(color.g), format.dwGBitMask) |
                 ChannelFrom8(channel(color.b), format.dwBBitMask);
  if (format.dwFlags & DDPF_ALPHAPIXELS)
    raw |= ChannelFrom8(channel(color.a), format.dwRGBAlphaBitMask);
  return raw;
}

Color FromD3DColor(D3DCOLOR value) {
  return {static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
          static_cast<int>(value & 0xFF), static_cast<int>(value >> 24)};
}

// Texture coordinates repeat, so every integer texel position names a texel.
int64_t Wrap(double position, DWORD size) {
  if (!std::isfinite(position)) return 0;
  const int64_t whole = static_cast<int64_t>(std::floor(std::clamp(position, -1e9, 1e9)));
  const int64_t length = static_cast<int64_t>(size);
  return ((whole % length) + length) % length;
}

// A texel, or nothing when the colour key removes it.
std::optional<Color> Texel(const TextureSource& texture, bool colorKey, int64_t x, int64_t y) {
  const LockedPixels& pixels = texture.pixels;
  const uint32_t raw = ReadRaw(pixels, x, y);
  if (IsPaletteIndexed(pixels.format)) {
    const uint32_t index = raw & 0xFF;
    if (colorKey && texture.hasColorKey && index >= (texture.colorKey.dwColorSpaceLowValue & 0xFF) &&
        index <= (texture.colorKey.dwColorSpaceHighValue & 0xFF))
      return std::nullopt;
    const PALETTEENTRY& entry = texture.palette[index];
    return Color{entry.peRed, entry.peGreen, entry.peBlue, 255};
  }
  if (colorKey && texture.hasColorKey) {
    const DWORD colorBits =
        pixels.format.dwRBitMask | pixels.format.dwGBitMask | pixels.format.dwBBitMask;
    const uint32_t value = raw & colorBits;
    if (value >= (texture.colorKey.dwColorSpaceLowValue & colorBits) &&
        value <= (texture.colorKey.dwColorSpaceHighValue & colorBits))
      return std::nullopt;
  }
  return Decode(raw, pixels.format);
}

std::optional<Color> SamplePoint(const TextureSource& texture, bool colorKey, double u, double v) {
  return Texel(texture, colorKey, Wrap(u * texture.pixels.width, texture.pixels.width),
               Wrap(v * texture.pixels.height, texture.pixels.height));
}

// Bilinear: keyed texels weigh nothing, and the pixel stays transparent when they make up half
// of the footprint or more, so keyed edges neither grow nor fringe with the key colour.
std::optional<Color> SampleLinear(const TextureSource& texture, bool colorKey, double u,
                                  double v) {
  const double x = u * texture.pixels.width - 0.5;
  const double y = v * texture.pixels.height - 0.5;
  if (!std::isfinite(x) || !std::isfinite(y)) return SamplePoint(texture, colorKey, 0, 0);
  const double left = std::floor(x), top = std::floor(y);
  const double fx = x - left, fy = y - top;
  double weightSum = 0, r = 0, g = 0, b = 0, a = 0;
  for (int dy = 0; dy < 2; ++dy)
    for (int dx = 0; dx < 2; ++dx) {
      const double weight = (dx ? fx : 1 - fx) * (dy ? fy : 1 - fy);
      const std::optional<Color> texel =
          Texel(texture, colorKey, Wrap(left + dx, texture.pixels.width),
                Wrap(top + dy, texture.pixels.height));
      if (!texel || weight == 0) continue;
      weightSum += weight;
      r += weight * texel->r;
      g += weight * texel->g;
      b += weight * texel->b;
      a += weight * texel->a;
    }
  if (weightSum < 0.5) return std::nullopt;
  auto average = [weightSum](double sum) { return static_cast<int>(std::lround(sum / weightSum)); };
  return Color{average(r), average(g), average(b), average(a)};
}

int Modulate(int x, int y) { return (x * y + 127) / 255; }

Color BlendFactor(DWORD blend, const Color& source, const Color& destination) {
  auto inverse = [](const Color& c) { return Color{255 - c.r, 255 - c.g, 255 - c.b, 255 - c.a}; };
  auto all = [](int value) { return Color{value, value, value, value}; };
  switch (blend) {
    case D3DBLEND_ONE: return all(255);
    case D3DBLEND_SRCCOLOR: return source;
    case D3DBLEND_INVSRCCOLOR: return inverse(source);
    case D3DBLEND_SRCALPHA: return all(source.a);
    case D3DBLEND_INVSRCALPHA: return all(255 - source.a);
    case D3DBLEND_DESTALPHA: return all(destination.a);
    case D3DBLEND_INVDESTALPHA: return all(255 - destination.a);
    case D3DBLEND_DESTCOLOR: return destination;
    case D3DBLEND_INVDESTCOLOR: return inverse(destination);
    default: return all(0);
  }
}

Color Blend(const RasterStates& states, const Color& source, const Color& destination) {
  const Color s = BlendFactor(states.sourceBlend, source, destination);
  const Color d = BlendFactor(states.destinationBlend, source, destination);
  return {Modulate(source.r, s.r) + Modulate(destination.r, d.r),
          Modulate(source.g, s.g) + Modulate(destination.g, d.g),
          Modulate(source.b, s.b) + Modulate(destination.b, d.b),
          Modulate(source.a, s.a) + Modulate(destination.a, d.a)};
}

std::optional<FixedPoint> Snap(const D3DTLVERTEX& vertex) {
  if (!(std::fabs(vertex.sx) < kFarthestCoordinate) ||
      !(std::fabs(vertex.sy) < kFarthestCoordinate))
    return std::nullopt;
  return FixedPoint{std::llround(static_cast<double>(vertex.sx) * kSubPixels),
                    std::llround(static_cast<double>(vertex.sy) * kSubPixels)};
}

// Twice the signed area of (a, b, p); positive when the three run clockwise on the screen.
int64_t Edge(const FixedPoint& a, const FixedPoint& b, int64_t px, int64_t py) {
  return (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
}

// For a clockwise triangle: the edges whose pixels it owns.
bool IsTopOrLeft(const FixedPoint& from, const FixedPoint& to) {
  return to.y < from.y || (to.y == from.y && to.x > from.x);
}

int64_t FloorPixel(int64_t fixed) {
  return fixed >= 0 ? fixed / kSubPixels : -((-fixed + kSubPixels - 1) / kSubPixels);
}

int64_t CeilPixel(int64_t fixed) { return -FloorPixel(-fixed); }

bool Covers(int64_t edge, bool topOrLeft) { return edge > 0 || (edge == 0 && topOrLeft); }

double ReciprocalW(const D3DTLVERTEX& vertex) {
  return std::isfinite(vertex.rhw) && vertex.rhw > 0 ? vertex.rhw : 1.0;
}

// More than one texel per pixel means the texture is shrunk.
bool Minified(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c,
              const TextureSource& texture, int64_t area) {
  const double texels = std::fabs((static_cast<double>(b.tu) - a.tu) * (c.tv - a.tv) -
                                  (static_cast<double>(c.tu) - a.tu) * (b.tv - a.tv)) *
                        texture.pixels.width * texture.pixels.height;
  const double pixels = static_cast<double>(area) / (kSubPixels * kSubPixels);
  return texels > pixels;
}

}  // namespace

void DrawTriangle(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c,
                  const RasterStates& states, const LockedPixels& target) {
  std::optional<FixedPoint> pa = Snap(a), pb = Snap(b), pc = Snap(c);
  if (!pa || !pb || !pc) return;
  const D3DTLVERTEX* vertices[3] = {&a, &b, &c};
  int64_t area = Edge(*pa, *pb, pc->x, pc->y);
  if (area == 0) return;
  if ((states.cullMode == D3DCULL_CCW && area < 0) || (states.cullMode == D3DCULL_CW && area > 0))
    return;
  if (area < 0) {
    std::swap(pb, pc);
    std::swap(vertices[1], vertices[2]);
    area = -area;
  }
  const D3DTLVERTEX& va = *vertices[0];
  const D3DTLVERTEX& vb = *vertices[1];
  const D3DTLVERTEX& vc = *vertices[2];

  const bool linear =
      states.texture && (Minified(va, vb, vc, *states.texture, area) ? states.linearMinify
                                                                     : states.linearMagnify);
  const bool ownsBC = IsTopOrLeft(*pb, *pc), ownsCA = IsTopOrLeft(*pc, *pa),
             ownsAB = IsTopOrLeft(*pa, *pb);
  const double wa = ReciprocalW(va), wb = ReciprocalW(vb), wc = ReciprocalW(vc);
  const Color ca = FromD3DColor(va.color), cb = FromD3DColor(vb.color),
              cc = FromD3DColor(vc.color);

  const int64_t minX = std::max<int64_t>(CeilPixel(std::min({pa->x, pb->x, pc->x})),
                                         states.clip.left);
  const int64_t minY = std::max<int64_t>(CeilPixel(std::min({pa->y, pb->y, pc->y})),
                                         states.clip.top);
  const int64_t maxX = std::min<int64_t>(FloorPixel(std::max({pa->x, pb->x, pc->x})),
                                         states.clip.right - 1);
  const int64_t maxY = std::min<int64_t>(FloorPixel(std::max({pa->y, pb->y, pc->y})),
                                         states.clip.bottom - 1);

  for (int64_t y = minY; y <= maxY; ++y) {
    for (int64_t x = minX; x <= maxX; ++x) {
      const int64_t px = x * kSubPixels, py = y * kSubPixels;
      const int64_t ea = Edge(*pb, *pc, px, py), eb = Edge(*pc, *pa, px, py),
                    ec = Edge(*pa, *pb, px, py);
      if (!Covers(ea, ownsBC) || !Covers(eb, ownsCA) || !Covers(ec, ownsAB)) continue;
      const double ba = static_cast<double>(ea) / area, bb = static_cast<double>(eb) / area,
                   bc = static_cast<double>(ec) / area;
      auto interpolate = [&](int first, int second, int third) {
        return static_cast<int>(std::lround(ba * first + bb * second + bc * third));
      };
      Color color{interpolate(ca.r, cb.r, cc.r), interpolate(ca.g, cb.g, cc.g),
                  interpolate(ca.b, cb.b, cc.b), interpolate(ca.a, cb.a, cc.a)};
      if (states.texture) {
        const double w = ba * wa + bb * wb + bc * wc;
        const double u = (ba * wa * va.tu + bb * wb * vb.tu + bc * wc * vc.tu) / w;
        const double v = (ba * wa * va.tv + bb * wb * vb.tv + bc * wc * vc.tv) / w;
        const std::optional<Color> texel =
            linear ? SampleLinear(*states.texture, states.colorKey, u, v)
                   : SamplePoint(*states.texture, states.colorKey, u, v);
        if (!texel) continue;
        if (states.modulate) {
          color = {Modulate(texel->r, color.r), Modulate(texel->g, color.g),
                   Modulate(texel->b, color.b), texel->a};
        } else {
          color = *texel;
        }
      }
      if (states.alphaBlend)
        color = Blend(states, color, Decode(ReadRaw(target, x, y), target.format));
      WriteRaw(target, x, y, Encode(color, target.format));
    }
  }
}
