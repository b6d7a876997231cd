#include "platform/d3d/ReferenceRasterizer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ddraw/PixelFormats.h"
#include "platform/gdi/PixelChannels.h"

namespace reference {
namespace {

constexpr int64_t kSubPixels = 256;
constexpr float kFarthestCoordinate = 1 << 20;

struct Color {
  int r = 0, g = 0, b = 0, a = 0;  // 0..255 each
};

struct FixedPoint {
  int64_t x, y;
};

// Fixed-size copies per depth: the compiler turns each into a single load or store.
uint32_t ReadRawAt(const BYTE* row, int64_t x, uint32_t bytesPerPixel) {
  uint32_t raw = 0;
  switch (bytesPerPixel) {
    case 4: std::memcpy(&raw, row + x * 4, 4); break;
    case 3: std::memcpy(&raw, row + x * 3, 3); break;
    case 2: std::memcpy(&raw, row + x * 2, 2); break;
    default: raw = row[x]; break;
  }
  return raw;
}

void WriteRawAt(BYTE* row, int64_t x, uint32_t bytesPerPixel, uint32_t raw) {
  switch (bytesPerPixel) {
    case 4: std::memcpy(row + x * 4, &raw, 4); break;
    case 3: std::memcpy(row + x * 3, &raw, 3); break;
    case 2: std::memcpy(row + x * 2, &raw, 2); break;
    default: row[x] = static_cast<BYTE>(raw); break;
  }
}

// One colour channel with its position worked out once per primitive. Channels of 8 bits or more
// take the short way; narrower ones widen as everywhere else on the platform.
struct Channel {
  explicit Channel(DWORD channelMask)
      : mask(channelMask),
        shift(channelMask ? std::countr_zero(channelMask) : 0),
        bits(channelMask ? std::popcount(channelMask >> shift) : 0),
        wideShift(bits >= 8 ? shift + bits - 8 : 0) {}

  int To8(uint32_t raw) const {
    if (bits >= 8) return static_cast<int>((raw & mask) >> wideShift);
    return ChannelTo8(raw, mask);
  }
  uint32_t From8(int value) const {
    const BYTE clamped = static_cast<BYTE>(std::clamp(value, 0, 255));
    if (bits >= 8) return (static_cast<uint32_t>(clamped) << wideShift) & mask;
    return ChannelFrom8(clamped, mask);
  }

  DWORD mask;
  int shift;
  int bits;
  int wideShift;  // from the channel's place straight to its top 8 bits
};

class PixelCodec {
 public:
  explicit PixelCodec(const DDPIXELFORMAT& format)
      : red_(format.dwRBitMask),
        green_(format.dwGBitMask),
        blue_(format.dwBBitMask),
        alpha_((format.dwFlags & DDPF_ALPHAPIXELS) ? format.dwRGBAlphaBitMask : 0) {}

  Color Decode(uint32_t raw) const {
    return {red_.To8(raw), green_.To8(raw), blue_.To8(raw), alpha_.mask ? alpha_.To8(raw) : 255};
  }
  uint32_t Encode(const Color& color) const {
    return red_.From8(color.r) | green_.From8(color.g) | blue_.From8(color.b) |
           alpha_.From8(color.a);
  }

 private:
  Channel red_, green_, blue_, alpha_;
};

Color FromD3DColor(D3DCOLOR value) {
  return {static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
          static_cast<int>(value & 0xFF), static_cast<int>(value >> 24)};
}

// Texture coordinates repeat, so every integer texel position names a texel.
int64_t WrapIndex(int64_t whole, DWORD size) {
  const int64_t length = static_cast<int64_t>(size);
  if ((length & (length - 1)) == 0) return whole & (length - 1);  // the usual power-of-two side
  return ((whole % length) + length) % length;
}

int64_t Whole(double position) {
  if (!std::isfinite(position)) return 0;
  // Truncation then one step down for negative fractions is the floor, without a library call.
  const double clamped = std::clamp(position, -1e9, 1e9);
  const int64_t truncated = static_cast<int64_t>(clamped);
  return static_cast<double>(truncated) > clamped ? truncated - 1 : truncated;
}

constexpr int kSubTexelBits = 8;

// The whole texel a texture coordinate falls in, after rounding it to the nearest 1/256 texel.
int64_t SnappedTexel(double coordinate, DWORD size) {
  const int64_t snapped = Whole(coordinate * size * (1 << kSubTexelBits) + 0.5);
  return snapped >> kSubTexelBits;  // arithmetic: the floor for negative positions too
}

// Rounds a value known not to be negative.
int RoundUp(double value) { return static_cast<int>(value + 0.5); }

// Reads colours from a texture, with its format and colour key worked out once per primitive.
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
  std::optional<Color> Texel(int64_t x, int64_t y) const { return TexelInRow(Row(y), x); }

  const BYTE* Row(int64_t y) const { return texture_.pixels.bits + y * texture_.pixels.pitch; }

  std::optional<Color> TexelInRow(const BYTE* row, int64_t x) const {
    const uint32_t raw = ReadRawAt(row, x, bytesPerPixel_);
    const uint32_t keyed = raw & keyBits_;
    // One unsigned comparison: below the range wraps round to beyond it.
    if (keyed - keyLow_ < keyCount_) return std::nullopt;
    if (paletteIndexed_) {
      const PALETTEENTRY& entry = texture_.palette[raw & 0xFF];
      return Color{entry.peRed, entry.peGreen, entry.peBlue, 255};
    }
    return codec_.Decode(raw);
  }

  // The texel under the coordinate once snapped to a 1/256-texel grid, as hardware keeps it.
  // Interpolated in double, a coordinate meant to lie on a texel edge can come out a hair short
  // of it, and the pixel would then take the texel before: texels would get unequal shares.
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
    if (!(std::fabs(x) < 1e9) || !(std::fabs(y) < 1e9)) return Point(0, 0);
    const int64_t left = Whole(x), top = Whole(y);
    const double fx = x - static_cast<double>(left), fy = y - static_cast<double>(top);
    const int64_t columns[2] = {WrapIndex(left, texture_.pixels.width),
                                WrapIndex(left + 1, texture_.pixels.width)};
    const BYTE* rows[2] = {Row(WrapIndex(top, texture_.pixels.height)),
                           Row(WrapIndex(top + 1, texture_.pixels.height))};
    double weightSum = 0, r = 0, g = 0, b = 0, a = 0;
    auto add = [&](double weight, const BYTE* row, int64_t column) {
      if (weight == 0) return;
      const std::optional<Color> texel = TexelInRow(row, column);
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

// Cuts [start, end] down to the pixels of row y on the inner side of the edge from a to b, give
// or take one: the exact test per pixel decides the rest, so rounding here cannot lose a pixel.
void NarrowToRow(const FixedPoint& a, const FixedPoint& b, int64_t y, int64_t& start,
                 int64_t& end) {
  const int64_t rise = b.y - a.y;
  if (rise == 0) return;  // a level edge bounds rows, not columns
  // Edge(a, b, x, y) = reach - rise * x, for x in sub-pixels.
  const double reach = static_cast<double>(b.x - a.x) * static_cast<double>(y * kSubPixels - a.y) +
                       static_cast<double>(rise) * static_cast<double>(a.x);
  const double limit = reach / static_cast<double>(rise) / kSubPixels;
  if (rise > 0)
    end = std::min(end, static_cast<int64_t>(std::floor(std::min(limit, 1e12))) + 1);
  else
    start = std::max(start, static_cast<int64_t>(std::ceil(std::max(limit, -1e12))) - 1);
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
  const bool linear = texture && (Minified(va, vb, vc, *texture, area) ? states.linearMinify
                                                                       : states.linearMagnify);
  const bool ownsBC = IsTopOrLeft(*pb, *pc), ownsCA = IsTopOrLeft(*pc, *pa),
             ownsAB = IsTopOrLeft(*pa, *pb);
  const double wa = ReciprocalW(va), wb = ReciprocalW(vb), wc = ReciprocalW(vc);
  const bool affine = wa == wb && wb == wc;
  const bool flatColor = va.color == vb.color && vb.color == vc.color;
  const PixelCodec targetCodec(target.format);
  const uint32_t targetBytesPerPixel = BytesPerPixel(target.format);
  const double inverseArea = 1.0 / static_cast<double>(area);
  std::optional<TextureSampler> sampler;
  if (texture) sampler.emplace(*texture, states.colorKey);
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

  const int64_t stepBC = (pc->y - pb->y) * kSubPixels, stepCA = (pa->y - pc->y) * kSubPixels,
                stepAB = (pb->y - pa->y) * kSubPixels;
  for (int64_t y = minY; y <= maxY; ++y) {
    int64_t rowStart = minX, rowEnd = maxX;
    NarrowToRow(*pb, *pc, y, rowStart, rowEnd);
    NarrowToRow(*pc, *pa, y, rowStart, rowEnd);
    NarrowToRow(*pa, *pb, y, rowStart, rowEnd);
    if (rowStart > rowEnd) continue;
    // The edge functions are linear in x: start them at the row's first pixel and step them
    // exactly, in whole numbers, from pixel to pixel.
    const int64_t py = y * kSubPixels;
    BYTE* targetRow = target.bits + y * target.pitch;
    int64_t ea = Edge(*pb, *pc, rowStart * kSubPixels, py);
    int64_t eb = Edge(*pc, *pa, rowStart * kSubPixels, py);
    int64_t ec = Edge(*pa, *pb, rowStart * kSubPixels, py);
    for (int64_t x = rowStart; x <= rowEnd;
         ++x, ea -= stepBC, eb -= stepCA, ec -= stepAB) {
      if (!Covers(ea, ownsBC) || !Covers(eb, ownsCA) || !Covers(ec, ownsAB)) continue;
      const double ba = ea * inverseArea, bb = eb * inverseArea, bc = ec * inverseArea;
      auto interpolate = [&](int first, int second, int third) {
        return RoundUp(ba * first + bb * second + bc * third);
      };
      Color color = ca;
      if (!flatColor)
        color = {interpolate(ca.r, cb.r, cc.r), interpolate(ca.g, cb.g, cc.g),
                 interpolate(ca.b, cb.b, cc.b), interpolate(ca.a, cb.a, cc.a)};
      if (texture) {
        // Equal w at every corner (sprites) makes the perspective division a no-op: w is one
        // then, and multiplying and dividing by one are exact, so they are left out.
        double u, v;
        if (affine) {
          u = ba * va.tu + bb * vb.tu + bc * vc.tu;
          v = ba * va.tv + bb * vb.tv + bc * vc.tv;
        } else {
          const double w = ba * wa + bb * wb + bc * wc;
          u = (ba * wa * va.tu + bb * wb * vb.tu + bc * wc * vc.tu) / w;
          v = (ba * wa * va.tv + bb * wb * vb.tv + bc * wc * vc.tv) / w;
        }
        const std::optional<Color> texel = linear ? sampler->Linear(u, v) : sampler->Point(u, v);
        if (!texel) continue;
        if (states.modulate) {
          color = {Modulate(texel->r, color.r), Modulate(texel->g, color.g),
                   Modulate(texel->b, color.b), texel->a};
        } else {
          color = *texel;
        }
      }
      if (states.alphaBlend)
        color = Blend(states, color,
                      targetCodec.Decode(ReadRawAt(targetRow, x, targetBytesPerPixel)));
      WriteRawAt(targetRow, x, targetBytesPerPixel, targetCodec.Encode(color));
    }
  }
}

}  // namespace reference
