#include "platform/d3d/Rasterizer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ddraw/PixelFormats.h"
#include "platform/gdi/PixelChannels.h"
#include "platform/kernel/ParallelFor.h"

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

  // Red, green, blue and alpha.
  std::array<const Channel*, 4> Channels() const { return {&red_, &green_, &blue_, &alpha_}; }

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

// Texel positions further out are clamped to it: every texel is named well within it.
constexpr double kFarthestTexelPosition = 1e9;

int64_t Whole(double position) {
  if (!std::isfinite(position)) return 0;
  // Truncation then one step down for negative fractions is the floor, without a library call.
  const double clamped = std::clamp(position, -kFarthestTexelPosition, kFarthestTexelPosition);
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

// The smallest box holding every texel the key leaves (empty: left > right).
struct OpaqueBox {
  int64_t left, top, right, bottom;

  // Whether both texel positions lie outside [low, high].
  static bool Misses(int64_t first, int64_t second, int64_t low, int64_t high) {
    return (first < low || first > high) && (second < low || second > high);
  }
};

// A texture's texels decoded once for a batch, a word each: the colour as four 8-bit channels
// (red in the lowest byte) in the low half, and in the high half whether the colour key takes
// the texel (kKeyedTexel set, else clear). Sampling then reads one word a texel, whatever the
// format; the colours are the very values decoding the texel where it is sampled would give.
// Each row ends with a copy of its first texel, so the texel right of any texel, wrapping round,
// is the next word.
struct DecodedTexture {
  int64_t width = 0;
  int64_t height = 0;
  int64_t stride = 0;  // words a row
  std::vector<uint64_t> texels;
  OpaqueBox opaque;
};

constexpr uint64_t kKeyedTexel = 0xFFFFFFFF00000000;

void Decode(const TextureSource& texture, DecodedTexture& decoded) {
  const LockedPixels& pixels = texture.pixels;
  const PixelCodec codec(pixels.format);
  const uint32_t bytesPerPixel = BytesPerPixel(pixels.format);
  const bool paletteIndexed = IsPaletteIndexed(pixels.format);
  const DWORD keyBits = paletteIndexed ? 0xFF
                                       : pixels.format.dwRBitMask | pixels.format.dwGBitMask |
                                             pixels.format.dwBBitMask;
  const uint64_t keyLow = texture.colorKey.dwColorSpaceLowValue & keyBits;
  const uint64_t keyHigh = texture.colorKey.dwColorSpaceHighValue & keyBits;
  const uint64_t keyCount = texture.hasColorKey && keyLow <= keyHigh ? keyHigh - keyLow + 1 : 0;
  decoded.width = pixels.width;
  decoded.height = pixels.height;
  decoded.stride = decoded.width + 1;
  decoded.texels.resize(static_cast<size_t>(decoded.stride * decoded.height));
  decoded.opaque = {decoded.width, decoded.height, -1, -1};
  for (int64_t y = 0; y < decoded.height; ++y) {
    const BYTE* row = pixels.bits + y * pixels.pitch;
    for (int64_t x = 0; x < decoded.width; ++x) {
      const uint32_t raw = ReadRawAt(row, x, bytesPerPixel);
      Color color;
      if (paletteIndexed) {
        const PALETTEENTRY& entry = texture.palette[raw & 0xFF];
        color = {entry.peRed, entry.peGreen, entry.peBlue, 255};
      } else {
        color = codec.Decode(raw);
      }
      const size_t at = static_cast<size_t>(y * decoded.stride + x);
      // One unsigned comparison: below the range wraps round to beyond it.
      const bool keyed = (raw & keyBits) - keyLow < keyCount;
      decoded.texels[at] = static_cast<uint64_t>(color.r) | static_cast<uint64_t>(color.g) << 8 |
                           static_cast<uint64_t>(color.b) << 16 |
                           static_cast<uint64_t>(color.a) << 24 | (keyed ? kKeyedTexel : 0);
      if (!keyed) {
        OpaqueBox& box = decoded.opaque;
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
               std::max(box.bottom, y)};
      }
    }
    if (decoded.width > 0)
      decoded.texels[static_cast<size_t>(y * decoded.stride + decoded.width)] =
          decoded.texels[static_cast<size_t>(y * decoded.stride)];
  }
}

// Reads colours from a decoded texture, with the colour key on or off.
class TextureSampler {
 public:
  TextureSampler(const DecodedTexture& texture, bool colorKey)
      : texture_(texture), colorKey_(colorKey) {}

  const DecodedTexture& Texture() const { return texture_; }
  bool ColorKey() const { return colorKey_; }

  size_t Index(int64_t x, int64_t y) const { return static_cast<size_t>(y * texture_.stride + x); }

  // A texel, or nothing when the colour key removes it.
  std::optional<Color> Texel(int64_t x, int64_t y) const {
    const size_t at = Index(x, y);
    const uint64_t texel = texture_.texels[at];
    if (colorKey_ && (texel & kKeyedTexel)) return std::nullopt;
    const uint32_t color = static_cast<uint32_t>(texel);
    return Color{static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                 static_cast<int>((color >> 16) & 0xFF), static_cast<int>(color >> 24)};
  }

  // The texel under the coordinate once snapped to a 1/256-texel grid, as hardware keeps it.
  // Interpolated in double, a coordinate meant to lie on a texel edge can come out a hair short
  // of it, and the pixel would then take the texel before: texels would get unequal shares.
  std::optional<Color> Point(double u, double v) const {
    const DWORD width = static_cast<DWORD>(texture_.width);
    const DWORD height = static_cast<DWORD>(texture_.height);
    return Texel(WrapIndex(SnappedTexel(u, width), width),
                 WrapIndex(SnappedTexel(v, height), height));
  }

  // Bilinear: keyed texels weigh nothing, and the pixel stays transparent when they make up
  // half of the footprint or more, so keyed edges neither grow nor fringe with the key colour.
  //
  // Without branches on the key: a keyed texel's weight becomes zero and it is added all the
  // same. That gives the very sums that leaving it out gives: the weights and channels are
  // finite and not negative, so every term it adds is +0, and x + 0 is x exactly in IEEE
  // arithmetic (0 + 0 included).
  std::optional<Color> Linear(double u, double v) const {
    const DWORD width = static_cast<DWORD>(texture_.width);
    const DWORD height = static_cast<DWORD>(texture_.height);
    const double x = u * width - 0.5;
    const double y = v * height - 0.5;
    // Where the position is clamped its distance to the whole texel, and so the weights, would
    // be out of all bounds (and the channels beyond an int): such a position counts as one that
    // is not finite.
    if (!(std::fabs(x) < kFarthestTexelPosition) || !(std::fabs(y) < kFarthestTexelPosition))
      return Point(0, 0);
    const int64_t left = Whole(x), top = Whole(y);
    const int64_t columns[2] = {WrapIndex(left, width), WrapIndex(left + 1, width)};
    const int64_t rows[2] = {WrapIndex(top, height), WrapIndex(top + 1, height)};
    // A footprint wholly beside the opaque texels is keyed throughout.
    const OpaqueBox& box = texture_.opaque;
    if (colorKey_ && (box.Misses(columns[0], columns[1], box.left, box.right) ||
                      box.Misses(rows[0], rows[1], box.top, box.bottom)))
      return std::nullopt;
    const double fx = x - static_cast<double>(left), fy = y - static_cast<double>(top);
    const double weights[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    const size_t at[4] = {Index(columns[0], rows[0]), Index(columns[1], rows[0]),
                          Index(columns[0], rows[1]), Index(columns[1], rows[1])};
    double weightSum = 0, r = 0, g = 0, b = 0, a = 0;
    for (int i = 0; i < 4; ++i) {
      const uint64_t texel = texture_.texels[at[i]];
      const double weight = colorKey_ && (texel & kKeyedTexel) ? 0.0 : weights[i];
      const uint32_t color = static_cast<uint32_t>(texel);
      weightSum += weight;
      r += weight * static_cast<int>(color & 0xFF);
      g += weight * static_cast<int>((color >> 8) & 0xFF);
      b += weight * static_cast<int>((color >> 16) & 0xFF);
      a += weight * static_cast<int>(color >> 24);
    }
    if (weightSum < 0.5) return std::nullopt;
    const double scale = 1 / weightSum;
    auto average = [scale](double sum) { return RoundUp(sum * scale); };
    return Color{average(r), average(g), average(b), average(a)};
  }

 private:
  const DecodedTexture& texture_;
  bool colorKey_;
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

// Rows of the target one worker draws at a time. Bands share no pixel, so they can be drawn at
// once on several threads, each with the batch in its own order.
constexpr int64_t kBandRows = 8;

// The pixels a triangle may cover, within its clip; none when top is below bottom.
struct PixelBox {
  int32_t left = 0, top = 1, right = 0, bottom = 0;
};

// A triangle made ready to draw: corners snapped and put clockwise, and all that stays the same
// across its pixels worked out once.
struct Triangle {
  FixedPoint a, b, c;
  bool ownsBC, ownsCA, ownsAB;
  int64_t stepBC, stepCA, stepAB;   // what each edge function loses from one pixel to the next
  int64_t minX, minY, maxX, maxY;   // the pixels it may cover, within its clip
  double inverseArea;
  double tu[3], tv[3], w[3];
  Color color[3];
  bool affine, flatColor, linear;
  bool white;  // one colour at every corner, full white
  const RasterStates* states;
  const TextureSampler* sampler;    // null: the vertex colour alone
};

// Sets up the triangle (a, b, c); false when it draws nothing: culled, without area, off the
// clip, or beyond the coordinates drawn at all.
bool SetUp(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c,
           const RasterStates& states, const TextureSource* texture,
           const TextureSampler* sampler, Triangle& triangle) {
  std::optional<FixedPoint> pa = Snap(a), pb = Snap(b), pc = Snap(c);
  if (!pa || !pb || !pc) return false;
  const D3DTLVERTEX* vertices[3] = {&a, &b, &c};
  int64_t area = Edge(*pa, *pb, pc->x, pc->y);
  if (area == 0) return false;
  if ((states.cullMode == D3DCULL_CCW && area < 0) || (states.cullMode == D3DCULL_CW && area > 0))
    return false;
  if (area < 0) {
    std::swap(pb, pc);
    std::swap(vertices[1], vertices[2]);
    area = -area;
  }
  triangle.a = *pa;
  triangle.b = *pb;
  triangle.c = *pc;
  triangle.minX = std::max<int64_t>(CeilPixel(std::min({pa->x, pb->x, pc->x})), states.clip.left);
  triangle.minY = std::max<int64_t>(CeilPixel(std::min({pa->y, pb->y, pc->y})), states.clip.top);
  triangle.maxX =
      std::min<int64_t>(FloorPixel(std::max({pa->x, pb->x, pc->x})), states.clip.right - 1);
  triangle.maxY =
      std::min<int64_t>(FloorPixel(std::max({pa->y, pb->y, pc->y})), states.clip.bottom - 1);
  if (triangle.minX > triangle.maxX || triangle.minY > triangle.maxY) return false;

  const D3DTLVERTEX& va = *vertices[0];
  const D3DTLVERTEX& vb = *vertices[1];
  const D3DTLVERTEX& vc = *vertices[2];
  triangle.linear = texture && (Minified(va, vb, vc, *texture, area) ? states.linearMinify
                                                                     : states.linearMagnify);
  triangle.ownsBC = IsTopOrLeft(*pb, *pc);
  triangle.ownsCA = IsTopOrLeft(*pc, *pa);
  triangle.ownsAB = IsTopOrLeft(*pa, *pb);
  triangle.stepBC = (pc->y - pb->y) * kSubPixels;
  triangle.stepCA = (pa->y - pc->y) * kSubPixels;
  triangle.stepAB = (pb->y - pa->y) * kSubPixels;
  triangle.inverseArea = 1.0 / static_cast<double>(area);
  for (int corner = 0; corner < 3; ++corner) {
    const D3DTLVERTEX& vertex = *vertices[corner];
    triangle.tu[corner] = vertex.tu;
    triangle.tv[corner] = vertex.tv;
    triangle.w[corner] = ReciprocalW(vertex);
    triangle.color[corner] = FromD3DColor(vertex.color);
  }
  triangle.affine = triangle.w[0] == triangle.w[1] && triangle.w[1] == triangle.w[2];
  triangle.flatColor = va.color == vb.color && vb.color == vc.color;
  const Color& corner = triangle.color[0];
  triangle.white = triangle.flatColor && corner.r == 255 && corner.g == 255 && corner.b == 255;
  triangle.states = &states;
  triangle.sampler = sampler;
  return true;
}

// A range of row y holding every pixel the triangle covers there, give or take one.
void NarrowedRow(const Triangle& triangle, int64_t y, int64_t& start, int64_t& end) {
  start = triangle.minX;
  end = triangle.maxX;
  NarrowToRow(triangle.b, triangle.c, y, start, end);
  NarrowToRow(triangle.c, triangle.a, y, start, end);
  NarrowToRow(triangle.a, triangle.b, y, start, end);
}

// Cuts a range from NarrowedRow down to exactly the pixels of row y the triangle covers, as
// [first, last]; false when it covers none.
//
// Each edge test holds on one side of a line, so along a row it holds for a run of whole x (or
// for all or none of them when the edge is level), and the pixels passing all three tests are
// one run. The range holds that run, so trimming pixels that fail the exact test off both ends
// finds exactly the pixels that testing each one would.
bool TrimToCovered(const Triangle& triangle, int64_t y, int64_t& first, int64_t& last) {
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

bool CoveredSpan(const Triangle& triangle, int64_t y, int64_t& first, int64_t& last) {
  NarrowedRow(triangle, y, first, last);
  return TrimToCovered(triangle, y, first, last);
}

// The colour the triangle gives a covered pixel, from the pixel's three edge values, before any
// blending; nothing where the colour key removes the texel. The edge values are exact whole
// numbers however they were reached, and what follows is the same sequence of IEEE operations
// for every pixel, so a pixel's colour does not depend on the order pixels are drawn in.
std::optional<Color> Shade(const Triangle& triangle, int64_t ea, int64_t eb, int64_t ec) {
  const double ba = ea * triangle.inverseArea, bb = eb * triangle.inverseArea,
               bc = ec * triangle.inverseArea;
  auto interpolate = [&](int first, int second, int third) {
    return RoundUp(ba * first + bb * second + bc * third);
  };
  const Color* corners = triangle.color;
  Color color = corners[0];
  if (!triangle.flatColor)
    color = {interpolate(corners[0].r, corners[1].r, corners[2].r),
             interpolate(corners[0].g, corners[1].g, corners[2].g),
             interpolate(corners[0].b, corners[1].b, corners[2].b),
             interpolate(corners[0].a, corners[1].a, corners[2].a)};
  if (!triangle.sampler) return color;
  // Equal w at every corner (sprites) makes the perspective division a no-op: w is one then, and
  // multiplying and dividing by one are exact, so they are left out.
  const double* tu = triangle.tu;
  const double* tv = triangle.tv;
  const double* w = triangle.w;
  double u, v;
  if (triangle.affine) {
    u = ba * tu[0] + bb * tu[1] + bc * tu[2];
    v = ba * tv[0] + bb * tv[1] + bc * tv[2];
  } else {
    const double wSum = ba * w[0] + bb * w[1] + bc * w[2];
    u = (ba * w[0] * tu[0] + bb * w[1] * tu[1] + bc * w[2] * tu[2]) / wSum;
    v = (ba * w[0] * tv[0] + bb * w[1] * tv[1] + bc * w[2] * tv[2]) / wSum;
  }
  const std::optional<Color> texel =
      triangle.linear ? triangle.sampler->Linear(u, v) : triangle.sampler->Point(u, v);
  if (!texel) return std::nullopt;
  // Modulating by full white gives the texel back ((x * 255 + 127) / 255 is x), as for sprites.
  if (!triangle.states->modulate || triangle.white) return *texel;
  return Color{Modulate(texel->r, color.r), Modulate(texel->g, color.g),
               Modulate(texel->b, color.b), texel->a};
}

// The target as the workers write it: its rows and its pixel codec.
struct Canvas {
  const LockedPixels& pixels;
  PixelCodec codec;
  uint32_t bytesPerPixel;

  BYTE* Row(int64_t y) const { return pixels.bits + y * pixels.pitch; }
};

// Draws the band's triangles in the order given, each pixel over what is there: the plain
// painter's way, for batches where a pixel's new colour may depend on the old one (blending).
void PaintInOrder(const Canvas& canvas, std::span<const Triangle> triangles,
                  std::span<const uint32_t> band, int64_t top, int64_t bottom) {
  for (const uint32_t index : band) {
    const Triangle& triangle = triangles[index];
    const RasterStates& states = *triangle.states;
    for (int64_t y = std::max(top, triangle.minY); y <= std::min(bottom - 1, triangle.maxY); ++y) {
      int64_t first, last;
      if (!CoveredSpan(triangle, y, first, last)) continue;
      BYTE* row = canvas.Row(y);
      const int64_t px = first * kSubPixels, py = y * kSubPixels;
      int64_t ea = Edge(triangle.b, triangle.c, px, py);
      int64_t eb = Edge(triangle.c, triangle.a, px, py);
      int64_t ec = Edge(triangle.a, triangle.b, px, py);
      for (int64_t x = first; x <= last;
           ++x, ea -= triangle.stepBC, eb -= triangle.stepCA, ec -= triangle.stepAB) {
        std::optional<Color> color = Shade(triangle, ea, eb, ec);
        if (!color) continue;
        if (states.alphaBlend)
          color = Blend(states, *color,
                        canvas.codec.Decode(ReadRawAt(row, x, canvas.bytesPerPixel)));
        WriteRawAt(row, x, canvas.bytesPerPixel, canvas.codec.Encode(*color));
      }
    }
  }
}

// Which pixels of a band are already settled, a bit each, with a count per row still open.
class SettledPixels {
 public:
  SettledPixels(int64_t rows, int64_t width)
      : width_(width),
        wordsPerRow_((width + 63) / 64),
        bits_(static_cast<size_t>(rows * wordsPerRow_)),
        openPerRow_(static_cast<size_t>(rows), width),
        open_(rows * width) {}

  bool AllSettled() const { return open_ == 0; }
  bool RowSettled(int64_t row) const { return openPerRow_[row] == 0; }

  // Whether every pixel of [first, last] in the row is settled (clipped to the band's width).
  bool Settled(int64_t row, int64_t first, int64_t last) const {
    if (openPerRow_[row] == 0) return true;
    first = std::max<int64_t>(first, 0);
    last = std::min(last, width_ - 1);
    const uint64_t* words = &bits_[static_cast<size_t>(row * wordsPerRow_)];
    for (int64_t word = first / 64; word <= last / 64; ++word) {
      const uint64_t wanted = PixelsOfWord(word, first, last);
      if ((words[word] & wanted) != wanted) return false;
    }
    return true;
  }

  // Calls open(x) for each pixel of [first, last] in the row not settled yet, lowest first.
  template <class Visit>
  void ForOpen(int64_t row, int64_t first, int64_t last, Visit open) const {
    for (int64_t word = first / 64; word <= last / 64; ++word) {
      uint64_t candidates = OpenInWord(row, word, first, last);
      for (; candidates; candidates &= candidates - 1)
        open(word * 64 + std::countr_zero(candidates));
    }
  }

  void Settle(int64_t row, int64_t x) {
    bits_[static_cast<size_t>(row * wordsPerRow_ + x / 64)] |= uint64_t{1} << (x % 64);
    --openPerRow_[row];
    --open_;
  }

  // The pixels of [first, last] in the row's word not settled yet, a bit each.
  uint64_t OpenInWord(int64_t row, int64_t word, int64_t first, int64_t last) const {
    return ~bits_[static_cast<size_t>(row * wordsPerRow_ + word)] &
           PixelsOfWord(word, first, last);
  }

  // Settles pixels of the four from x0 (a multiple of four, so they lie in one word), given a bit
  // each from the lowest, none settled yet.
  void SettleGroup(int64_t row, int64_t x0, int pixels) {
    bits_[static_cast<size_t>(row * wordsPerRow_ + x0 / 64)] |=
        static_cast<uint64_t>(pixels) << (x0 % 64);
    const int count = std::popcount(static_cast<unsigned>(pixels));
    openPerRow_[row] -= count;
    open_ -= count;
  }

 private:
  // The bits of a row's word that stand for pixels of [first, last].
  static uint64_t PixelsOfWord(int64_t word, int64_t first, int64_t last) {
    uint64_t bits = ~uint64_t{0};
    if (word == first / 64) bits &= ~uint64_t{0} << (first % 64);
    if (word == last / 64 && last % 64 != 63) bits &= (uint64_t{1} << (last % 64 + 1)) - 1;
    return bits;
  }

  int64_t width_;
  int64_t wordsPerRow_;
  std::vector<uint64_t> bits_;
  std::vector<int64_t> openPerRow_;
  int64_t open_;
};

// Shades one open pixel of a span with Shade and, when it gets a colour, writes and settles it.
// ea, eb and ec are the edge values at the span's first pixel.
void PaintOpenPixel(const Canvas& canvas, const Triangle& triangle, SettledPixels& settled,
                    int64_t row, BYTE* pixels, int64_t x, int64_t first, int64_t ea, int64_t eb,
                    int64_t ec) {
  // The same whole numbers the pixel-by-pixel stepping reaches.
  const int64_t along = x - first;
  const std::optional<Color> color =
      Shade(triangle, ea - along * triangle.stepBC, eb - along * triangle.stepCA,
            ec - along * triangle.stepAB);
  if (!color) return;
  WriteRawAt(pixels, x, canvas.bytesPerPixel, canvas.codec.Encode(*color));
  settled.Settle(row, x);
}

// Four neighbouring pixels of a row shaded at once with AVX2, lane k being pixel x0 + k of a
// group whose x0 is a multiple of four (so a group never straddles two words of the settled
// mask).
//
// Why each pixel gets exactly the colour Shade gives it: every lane runs the very IEEE double
// operations Shade runs for that lane's pixel, in the same order. Packed adds, multiplies,
// divisions and comparisons round each lane as the scalar instructions round it, and nothing is
// fused: FMA is not enabled for these functions, and the library is built with
// -ffp-contract=off besides. Where the steps are not one-to-one translations:
//  - Edge values become doubles by adding them, as integers, to the bits of 2^52 + 2^51 and
//    subtracting that as a double. For whole numbers below 2^51 in magnitude both steps are
//    exact, as the plain conversion is; spans reaching larger edge values take the plain path.
//  - Whole: on a finite value, clamping, truncating and stepping down below a negative fraction
//    is the floor of the clamped value, which rounding towards minus infinity gives; where the
//    value is not finite the clamped value is replaced by 0 first, which Whole returns then.
//    Within +-1e9 the result fits a 32-bit lane, as do the texel after it, its wrap by a
//    power-of-two mask (the same low bits in two's complement) and the index of a texel in a
//    texture of at most 2^30 words. Textures of other sizes take the plain path.
//  - The whole position goes back to double by converting the 32-bit integer, as Shade converts
//    the 64-bit one: the same value, +0 for zero.
//  - RoundUp truncates value + 0.5 to 32 bits, as converting to int does.
//  - Modulate of channels x and y in [0, 255]: for n = x * y + 127 = 255q + r (0 <= r < 255,
//    n < 65536), n >> 8 is q when r >= q and q - 1 otherwise, so n + 1 + (n >> 8) lies in
//    [256q, 256q + 255] and shifting it right by 8 gives q, the quotient by 255.
//  - Encoding: see QuadEncoder.
//  - Bilinear sampling at a position that is not finite or lies beyond the farthest texel
//    position is Point(0, 0): a group where a pixel to be drawn meets that is shaded pixel by
//    pixel by Shade itself.
// Lanes beside the span or over settled pixels are worked out too and then dropped: every texel
// they read is wrapped into the texture, so they read nothing out of bounds, and nothing of
// theirs is written.
#define ORVALIS_AVX2 __attribute__((target("avx2")))

constexpr int64_t kExactDoubleLimit = int64_t{1} << 51;

// A span's edge values where they may lie furthest from zero: at its ends.
bool ExactAsDoubles(int64_t atStart, int64_t atEnd) {
  return atStart > -kExactDoubleLimit && atStart < kExactDoubleLimit &&
         atEnd > -kExactDoubleLimit && atEnd < kExactDoubleLimit;
}

struct ColorQuad {
  __m128i r, g, b, a;  // 32-bit lanes
};

ORVALIS_AVX2 inline __m256d Splat(double value) { return _mm256_set1_pd(value); }

// Whole numbers below 2^51 in magnitude as doubles.
ORVALIS_AVX2 inline __m256d ExactDoubles(__m256i whole) {
  const __m256i bias = _mm256_set1_epi64x(0x4338000000000000);  // the bits of 2^52 + 2^51
  return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_add_epi64(whole, bias)),
                       Splat(6755399441055744.0));
}

// All ones in the lanes holding a finite value.
ORVALIS_AVX2 inline __m256d FiniteLanes(__m256d value) {
  return _mm256_cmp_pd(_mm256_andnot_pd(Splat(-0.0), value), Splat(INFINITY), _CMP_LT_OQ);
}

// All ones in the lanes within the farthest texel position (so finite too).
ORVALIS_AVX2 inline __m256d NearLanes(__m256d value) {
  return _mm256_cmp_pd(_mm256_andnot_pd(Splat(-0.0), value), Splat(kFarthestTexelPosition),
                       _CMP_LT_OQ);
}

ORVALIS_AVX2 inline __m128i Whole4(__m256d position) {
  const __m256d clamped = _mm256_min_pd(
      _mm256_max_pd(position, Splat(-kFarthestTexelPosition)), Splat(kFarthestTexelPosition));
  const __m256d finite = _mm256_and_pd(clamped, FiniteLanes(position));
  return _mm256_cvttpd_epi32(_mm256_round_pd(finite, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
}

ORVALIS_AVX2 inline __m128i RoundUp4(__m256d value) {
  return _mm256_cvttpd_epi32(_mm256_add_pd(value, Splat(0.5)));
}

ORVALIS_AVX2 inline __m256d ToDoubles(__m128i whole) { return _mm256_cvtepi32_pd(whole); }

// ba * first + bb * second + bc * third, with a lane per pixel.
ORVALIS_AVX2 inline __m256d Interpolate4(const __m256d weights[3], double first, double second,
                                         double third) {
  return _mm256_add_pd(
      _mm256_add_pd(_mm256_mul_pd(weights[0], Splat(first)),
                    _mm256_mul_pd(weights[1], Splat(second))),
      _mm256_mul_pd(weights[2], Splat(third)));
}

ORVALIS_AVX2 inline __m128i Modulate4(__m128i x, __m128i y) {
  const __m128i n = _mm_add_epi32(_mm_mullo_epi32(x, y), _mm_set1_epi32(127));
  return _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(n, _mm_set1_epi32(1)), _mm_srli_epi32(n, 8)),
                        8);
}

ORVALIS_AVX2 inline ColorQuad Channels4(__m128i color) {
  const __m128i byte = _mm_set1_epi32(0xFF);
  return {_mm_and_si128(color, byte), _mm_and_si128(_mm_srli_epi32(color, 8), byte),
          _mm_and_si128(_mm_srli_epi32(color, 16), byte), _mm_srli_epi32(color, 24)};
}

// The lanes of a 32-bit lane mask, a bit each.
ORVALIS_AVX2 inline int LaneBits(__m128i mask) { return _mm_movemask_ps(_mm_castsi128_ps(mask)); }

ORVALIS_AVX2 inline __m128i Broadcast(int64_t value) {
  return _mm_set1_epi32(static_cast<int>(value));
}

ORVALIS_AVX2 inline __m128i Outside4(__m128i at, __m128i low, __m128i high) {
  return _mm_or_si128(_mm_cmpgt_epi32(low, at), _mm_cmpgt_epi32(at, high));
}

// Whether lanes are outside [low, high] at both texel positions: OpaqueBox::Misses.
ORVALIS_AVX2 inline __m128i Misses4(__m128i first, __m128i second, int64_t low, int64_t high) {
  return _mm_and_si128(Outside4(first, Broadcast(low), Broadcast(high)),
                       Outside4(second, Broadcast(low), Broadcast(high)));
}

// PixelCodec::Encode for four pixels at once, worked out once for a batch.
class QuadEncoder {
 public:
  ORVALIS_AVX2 explicit QuadEncoder(const PixelCodec& codec) {
    alignas(16) int8_t bytePlaces[16];
    std::fill(std::begin(bytePlaces), std::end(bytePlaces), -1);  // a zero byte
    for (int i = 0; i < 4; ++i) {
      const Channel& channel = *codec.Channels()[i];
      // Channel::From8: wide channels shift up to their place, narrow ones lose their low bits
      // first; a missing channel has no mask bits.
      const bool wide = channel.bits >= 8;
      rightShifts_[i] = _mm_cvtsi32_si128(wide ? 0 : 8 - channel.bits);
      leftShifts_[i] = _mm_cvtsi32_si128(wide ? channel.wideShift : channel.shift);
      masks_[i] = _mm_set1_epi32(static_cast<int>(channel.mask));
      if (channel.mask == 0) continue;
      bytewise_ = bytewise_ && channel.bits == 8 && channel.shift % 8 == 0;
      if (channel.bits == 8 && channel.shift % 8 == 0)
        for (int lane = 0; lane < 4; ++lane)
          bytePlaces[lane * 4 + channel.shift / 8] = static_cast<int8_t>(i * 4 + lane);
    }
    bytePlaces_ = _mm_load_si128(reinterpret_cast<const __m128i*>(bytePlaces));
  }

  ORVALIS_AVX2 __m128i Encode(const ColorQuad& color) const {
    if (bytewise_) {
      // Every channel a whole byte in its place, or missing. Saturating to 16 bits with sign
      // and then to unsigned bytes clamps to [0, 255] as From8 does; the shuffle puts each
      // channel's byte where its mask is and zeros elsewhere.
      const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(color.r, color.g),
                                             _mm_packs_epi32(color.b, color.a));
      return _mm_shuffle_epi8(bytes, bytePlaces_);
    }
    const __m128i channels[4] = {color.r, color.g, color.b, color.a};
    __m128i raw = _mm_setzero_si128();
    for (int i = 0; i < 4; ++i) {
      const __m128i clamped =
          _mm_min_epi32(_mm_max_epi32(channels[i], _mm_setzero_si128()), _mm_set1_epi32(255));
      const __m128i placed =
          _mm_sll_epi32(_mm_srl_epi32(clamped, rightShifts_[i]), leftShifts_[i]);
      raw = _mm_or_si128(raw, _mm_and_si128(placed, masks_[i]));
    }
    return raw;
  }

 private:
  __m128i rightShifts_[4], leftShifts_[4], masks_[4];
  // Whether every channel of the target is 8 bits at a whole byte, or missing; then where each
  // byte of the four encoded pixels comes from, among the channels' bytes packed red first.
  bool bytewise_ = true;
  __m128i bytePlaces_;
};

// Shades four pixels of a triangle at once.
class QuadShader {
 public:
  // Whether the triangle can be shaded this way at all (see above).
  static bool Handles(const Triangle& triangle) {
    if (!triangle.sampler) return true;
    const DecodedTexture& texture = triangle.sampler->Texture();
    auto powerOfTwo = [](int64_t side) { return side > 0 && (side & (side - 1)) == 0; };
    return powerOfTwo(texture.width) && powerOfTwo(texture.height) &&
           texture.stride * texture.height <= (int64_t{1} << 30);
  }

  QuadShader(const Triangle& triangle, const QuadEncoder& encoder)
      : triangle_(triangle), encoder_(encoder) {}

  // What Shade gives the four pixels with these edge values: false when a lane among `wanted`
  // needs Shade itself; otherwise their raw target values and the lanes that get a colour.
  ORVALIS_AVX2 bool Shade(__m256i ea, __m256i eb, __m256i ec, int wanted, __m128i& raw,
                          int& given) const {
    const Triangle& t = triangle_;
    const __m256d inverseArea = Splat(t.inverseArea);
    const __m256d weights[3] = {_mm256_mul_pd(ExactDoubles(ea), inverseArea),
                                _mm256_mul_pd(ExactDoubles(eb), inverseArea),
                                _mm256_mul_pd(ExactDoubles(ec), inverseArea)};
    const Color* corners = t.color;
    ColorQuad color{_mm_set1_epi32(corners[0].r), _mm_set1_epi32(corners[0].g),
                    _mm_set1_epi32(corners[0].b), _mm_set1_epi32(corners[0].a)};
    if (!t.flatColor)
      color = {RoundUp4(Interpolate4(weights, corners[0].r, corners[1].r, corners[2].r)),
               RoundUp4(Interpolate4(weights, corners[0].g, corners[1].g, corners[2].g)),
               RoundUp4(Interpolate4(weights, corners[0].b, corners[1].b, corners[2].b)),
               RoundUp4(Interpolate4(weights, corners[0].a, corners[1].a, corners[2].a))};
    given = 0xF;
    if (t.sampler) {
      __m256d u, v;
      if (t.affine) {
        u = Interpolate4(weights, t.tu[0], t.tu[1], t.tu[2]);
        v = Interpolate4(weights, t.tv[0], t.tv[1], t.tv[2]);
      } else {
        const __m256d perspective[3] = {_mm256_mul_pd(weights[0], Splat(t.w[0])),
                                        _mm256_mul_pd(weights[1], Splat(t.w[1])),
                                        _mm256_mul_pd(weights[2], Splat(t.w[2]))};
        const __m256d wSum = Interpolate4(weights, t.w[0], t.w[1], t.w[2]);
        u = _mm256_div_pd(Interpolate4(perspective, t.tu[0], t.tu[1], t.tu[2]), wSum);
        v = _mm256_div_pd(Interpolate4(perspective, t.tv[0], t.tv[1], t.tv[2]), wSum);
      }
      ColorQuad texel;
      if (t.linear ? !Linear(u, v, wanted, texel, given) : !Point(u, v, texel, given))
        return false;
      if (!(given & wanted)) {
        raw = _mm_setzero_si128();
        return true;
      }
      if (t.states->modulate && !t.white)
        color = {Modulate4(texel.r, color.r), Modulate4(texel.g, color.g),
                 Modulate4(texel.b, color.b), texel.a};
      else
        color = texel;
    }
    raw = encoder_.Encode(color);
    return true;
  }

 private:
  // The texels at four indices: their colours, and all ones in the lanes whose texel the key
  // takes (none with the key off).
  struct Texels {
    __m128i colors, keyed;
  };
  ORVALIS_AVX2 Texels Gather(const DecodedTexture& texture, __m128i at) const {
    return Split(_mm256_i32gather_epi64(
        reinterpret_cast<const long long*>(texture.texels.data()), at, 8));
  }

  // The texels at four indices and the ones right of them: two loads a lane, not gathers.
  ORVALIS_AVX2 void GatherPairs(const DecodedTexture& texture, __m128i at, Texels& here,
                                Texels& right) const {
    const uint64_t* texels = texture.texels.data();
    alignas(16) int32_t index[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(index), at);
    auto pair = [texels](int32_t i) { return reinterpret_cast<const __m128i*>(texels + i); };
    // Lanes 0 and 1 (then 2 and 3) as colour and key here, colour and key right, of one lane and
    // then the other; regrouped so that each 64 bits hold one of those for both lanes.
    const __m256i byKind = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    const __m256i low =
        _mm256_permutevar8x32_epi32(_mm256_loadu2_m128i(pair(index[1]), pair(index[0])), byKind);
    const __m256i high =
        _mm256_permutevar8x32_epi32(_mm256_loadu2_m128i(pair(index[3]), pair(index[2])), byKind);
    // The four colours here, then the four right; the same for the keys.
    const __m256i colors = _mm256_unpacklo_epi64(low, high);
    const __m256i keyed = triangle_.sampler->ColorKey() ? _mm256_unpackhi_epi64(low, high)
                                                         : _mm256_setzero_si256();
    here = {_mm256_castsi256_si128(colors), _mm256_castsi256_si128(keyed)};
    right = {_mm256_extracti128_si256(colors, 1), _mm256_extracti128_si256(keyed, 1)};
  }

  ORVALIS_AVX2 Texels Split(__m256i words) const {
    // Low halves to the low four lanes, high halves to the high four.
    const __m256i halves =
        _mm256_permutevar8x32_epi32(words, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
    return {_mm256_castsi256_si128(halves), triangle_.sampler->ColorKey()
                                                ? _mm256_extracti128_si256(halves, 1)
                                                : _mm_setzero_si128()};
  }

  // For pixels known to get no colour before their texels are read.
  ORVALIS_AVX2 static bool NoColor(ColorQuad& texel) {
    texel = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    return true;
  }

  // SnappedTexel, wrapped.
  ORVALIS_AVX2 static __m128i SnappedTexel4(__m256d coordinate, int64_t size) {
    const __m256d scaled =
        _mm256_mul_pd(_mm256_mul_pd(coordinate, Splat(static_cast<double>(size))),
                      Splat(1 << kSubTexelBits));
    return _mm_and_si128(
        _mm_srai_epi32(Whole4(_mm256_add_pd(scaled, Splat(0.5))), kSubTexelBits),
        Broadcast(size - 1));
  }

  // TextureSampler::Point.
  ORVALIS_AVX2 bool Point(__m256d u, __m256d v, ColorQuad& texel, int& given) const {
    const DecodedTexture& texture = triangle_.sampler->Texture();
    const __m128i at = _mm_add_epi32(
        _mm_mullo_epi32(SnappedTexel4(v, texture.height), Broadcast(texture.stride)),
        SnappedTexel4(u, texture.width));
    const Texels texels = Gather(texture, at);
    texel = Channels4(texels.colors);
    given &= ~LaneBits(texels.keyed);
    return true;
  }

  // TextureSampler::Linear.
  ORVALIS_AVX2 bool Linear(__m256d u, __m256d v, int wanted, ColorQuad& texel,
                           int& given) const {
    const DecodedTexture& texture = triangle_.sampler->Texture();
    const __m256d x =
        _mm256_sub_pd(_mm256_mul_pd(u, Splat(static_cast<double>(texture.width))), Splat(0.5));
    const __m256d y =
        _mm256_sub_pd(_mm256_mul_pd(v, Splat(static_cast<double>(texture.height))), Splat(0.5));
    if ((_mm256_movemask_pd(_mm256_and_pd(NearLanes(x), NearLanes(y))) & wanted) != wanted)
      return false;
    const __m128i left = Whole4(x), top = Whole4(y);
    const __m128i one = _mm_set1_epi32(1);
    const __m128i columnMask = Broadcast(texture.width - 1);
    const __m128i rowMask = Broadcast(texture.height - 1);
    const __m128i columns[2] = {_mm_and_si128(left, columnMask),
                                _mm_and_si128(_mm_add_epi32(left, one), columnMask)};
    const __m128i rows[2] = {_mm_and_si128(top, rowMask),
                             _mm_and_si128(_mm_add_epi32(top, one), rowMask)};
    if (triangle_.sampler->ColorKey()) {
      // A footprint wholly beside the opaque texels is keyed throughout: no colour, and nothing
      // to read when that holds for every pixel wanted.
      const OpaqueBox& box = texture.opaque;
      given &= ~LaneBits(_mm_or_si128(Misses4(columns[0], columns[1], box.left, box.right),
                                      Misses4(rows[0], rows[1], box.top, box.bottom)));
      if (!(given & wanted)) return NoColor(texel);
    }
    const __m256d fx = _mm256_sub_pd(x, ToDoubles(left)), fy = _mm256_sub_pd(y, ToDoubles(top));
    const __m256d restX = _mm256_sub_pd(Splat(1), fx), restY = _mm256_sub_pd(Splat(1), fy);
    const __m256d weights[4] = {_mm256_mul_pd(restX, restY), _mm256_mul_pd(fx, restY),
                                _mm256_mul_pd(restX, fy), _mm256_mul_pd(fx, fy)};
    // The second column is the word after the first in each row.
    const __m128i stride = Broadcast(texture.stride);
    Texels texels[4];
    GatherPairs(texture, _mm_add_epi32(_mm_mullo_epi32(rows[0], stride), columns[0]), texels[0],
                texels[1]);
    GatherPairs(texture, _mm_add_epi32(_mm_mullo_epi32(rows[1], stride), columns[0]), texels[2],
                texels[3]);
    // A footprint keyed throughout weighs nothing, which is less than half: no colour.
    given &= ~LaneBits(_mm_and_si128(_mm_and_si128(texels[0].keyed, texels[1].keyed),
                                     _mm_and_si128(texels[2].keyed, texels[3].keyed)));
    if (!(given & wanted)) return NoColor(texel);
    __m256d weightSum = _mm256_setzero_pd(), r = weightSum, g = weightSum, b = weightSum,
            a = weightSum;
    for (int i = 0; i < 4; ++i) {
      // A keyed texel weighs +0 and is added all the same, as in TextureSampler::Linear.
      const __m256d weight = _mm256_andnot_pd(
          _mm256_castsi256_pd(_mm256_cvtepi32_epi64(texels[i].keyed)), weights[i]);
      const ColorQuad channels = Channels4(texels[i].colors);
      weightSum = _mm256_add_pd(weightSum, weight);
      r = _mm256_add_pd(r, _mm256_mul_pd(weight, ToDoubles(channels.r)));
      g = _mm256_add_pd(g, _mm256_mul_pd(weight, ToDoubles(channels.g)));
      b = _mm256_add_pd(b, _mm256_mul_pd(weight, ToDoubles(channels.b)));
      a = _mm256_add_pd(a, _mm256_mul_pd(weight, ToDoubles(channels.a)));
    }
    given &= ~_mm256_movemask_pd(_mm256_cmp_pd(weightSum, Splat(0.5), _CMP_LT_OQ));
    const __m256d scale = _mm256_div_pd(Splat(1), weightSum);
    texel = {RoundUp4(_mm256_mul_pd(r, scale)), RoundUp4(_mm256_mul_pd(g, scale)),
             RoundUp4(_mm256_mul_pd(b, scale)), RoundUp4(_mm256_mul_pd(a, scale))};
    return true;
  }

  const Triangle& triangle_;
  const QuadEncoder& encoder_;
};


// Paints the open pixels of [first, last] in the row four at a time, as PaintOpenPixel would one
// at a time; false, having painted nothing, when the span's edge values are too large for it.
ORVALIS_AVX2 bool PaintSpanFourAtOnce(const Canvas& canvas, const QuadEncoder& encoder,
                                      const Triangle& triangle, SettledPixels& settled,
                                      int64_t row, BYTE* pixels, int64_t first, int64_t last,
                                      int64_t ea, int64_t eb, int64_t ec) {
  const int64_t start = first & ~int64_t{3}, end = last | 3;
  const int64_t edges[3] = {ea, eb, ec};
  const int64_t steps[3] = {triangle.stepBC, triangle.stepCA, triangle.stepAB};
  for (int i = 0; i < 3; ++i)
    if (!ExactAsDoubles(edges[i] - (start - first) * steps[i], edges[i] - (end - first) * steps[i]))
      return false;
  const QuadShader shader(triangle, encoder);
  // A lane's edge values from the group's first pixel's.
  __m256i laneSteps[3];
  for (int i = 0; i < 3; ++i)
    laneSteps[i] = _mm256_setr_epi64x(0, -steps[i], -2 * steps[i], -3 * steps[i]);
  // Only groups with open pixels are visited: in a crowded frame many are settled already.
  for (int64_t word = first / 64; word <= last / 64; ++word) {
    for (uint64_t open = settled.OpenInWord(row, word, first, last); open;) {
      const int64_t x0 = word * 64 + (std::countr_zero(open) & ~3);
      const int wanted = static_cast<int>(open >> (x0 % 64)) & 0xF;
      open &= ~(uint64_t{0xF} << (x0 % 64));
      __m256i lanes[3];
      for (int i = 0; i < 3; ++i)
        lanes[i] = _mm256_add_epi64(_mm256_set1_epi64x(edges[i] - (x0 - first) * steps[i]),
                                    laneSteps[i]);
      __m128i raw;
      int given;
      if (shader.Shade(lanes[0], lanes[1], lanes[2], wanted, raw, given)) {
        given &= wanted;
        if (canvas.bytesPerPixel == 4) {
          // One store of the lanes given; the others, beyond the row's end included, are not
          // touched.
          const __m128i laneBits = _mm_setr_epi32(1, 2, 4, 8);
          const __m128i store =
              _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(given), laneBits), laneBits);
          _mm_maskstore_epi32(reinterpret_cast<int*>(pixels + x0 * 4), store, raw);
        } else {
          alignas(16) uint32_t values[4];
          _mm_store_si128(reinterpret_cast<__m128i*>(values), raw);
          for (int lanesLeft = given; lanesLeft; lanesLeft &= lanesLeft - 1) {
            const int lane = std::countr_zero(static_cast<unsigned>(lanesLeft));
            WriteRawAt(pixels, x0 + lane, canvas.bytesPerPixel, values[lane]);
          }
        }
        settled.SettleGroup(row, x0, given);
      } else {
        for (int lanesLeft = wanted; lanesLeft; lanesLeft &= lanesLeft - 1)
          PaintOpenPixel(canvas, triangle, settled, row, pixels,
                         x0 + std::countr_zero(static_cast<unsigned>(lanesLeft)), first, ea, eb,
                         ec);
      }
    }
  }
  return true;
}

#undef ORVALIS_AVX2

// Draws the band's triangles from the last to the first, each pixel taking the colour of the
// first triangle (in this order) that gives it one, and no later one.
//
// Why this is the painter's result: with no blending, the colour a triangle gives a pixel does
// not depend on what the pixel held (Shade reads only the triangle and its texture), and a
// pixel drawn in order ends up with the colour of the last triangle that gave it one: the key
// leaves a pixel alone, it does not clear it. Walking the triangles backwards, the first one to
// give a pixel a colour is that last one, so once a pixel is settled nothing else may touch it.
// Triangles over settled pixels only are passed over without shading, and the band stops as soon
// as every pixel in it is settled. Spans are shaded four pixels at a time with fourAtOnce, one at
// a time without it.
void PaintLastToFirst(const Canvas& canvas, std::span<const Triangle> triangles,
                      std::span<const PixelBox> boxes, std::span<const uint32_t> band,
                      int64_t top, int64_t bottom, const QuadEncoder* fourAtOnce) {
  SettledPixels settled(bottom - top, static_cast<int64_t>(canvas.pixels.width));
  for (auto it = band.rbegin(); it != band.rend() && !settled.AllSettled(); ++it) {
    const PixelBox& box = boxes[*it];
    const int64_t firstRow = std::max<int64_t>(top, box.top),
                  lastRow = std::min<int64_t>(bottom - 1, box.bottom);
    // Hidden wholly behind what is settled: most triangles of a crowded frame, passed over
    // without finding their edges row by row, or even reading the triangle.
    bool hidden = true;
    for (int64_t y = firstRow; y <= lastRow && hidden; ++y)
      hidden = settled.Settled(y - top, box.left, box.right);
    if (hidden) continue;
    const Triangle& triangle = triangles[*it];
    const bool quads = fourAtOnce && QuadShader::Handles(triangle);
    for (int64_t y = firstRow; y <= lastRow; ++y) {
      const int64_t row = y - top;
      int64_t first, last;
      if (settled.RowSettled(row)) continue;
      NarrowedRow(triangle, y, first, last);
      if (first > last || settled.Settled(row, first, last) ||
          !TrimToCovered(triangle, y, first, last))
        continue;
      BYTE* pixels = canvas.Row(y);
      const int64_t px = first * kSubPixels, py = y * kSubPixels;
      const int64_t ea = Edge(triangle.b, triangle.c, px, py);
      const int64_t eb = Edge(triangle.c, triangle.a, px, py);
      const int64_t ec = Edge(triangle.a, triangle.b, px, py);
      if (quads && PaintSpanFourAtOnce(canvas, *fourAtOnce, triangle, settled, row, pixels, first,
                                       last, ea, eb, ec))
        continue;
      settled.ForOpen(row, first, last, [&](int64_t x) {
        PaintOpenPixel(canvas, triangle, settled, row, pixels, x, first, ea, eb, ec);
      });
    }
  }
}

}  // namespace

struct Rasterizer::Work {
  std::vector<DecodedTexture> decoded;  // never shrunk, so each keeps its memory too
  std::vector<Triangle> triangles;  // never shrunk: growing it again would clear it again
  std::vector<PixelBox> boxes;
  std::vector<size_t> firstTriangle;
  std::vector<size_t> bandStart;
  std::vector<size_t> filled;
  std::vector<uint32_t> bandTriangles;
};

Rasterizer::Rasterizer() : work_(std::make_unique<Work>()) {}
Rasterizer::~Rasterizer() = default;

void Rasterizer::DrawStrips(std::span<const D3DTLVERTEX> vertices,
                            std::span<const StripToDraw> strips,
                            std::span<const TextureSource> textures, const LockedPixels& target,
                            ShadingWidth shading) {
  // Each texture is decoded once for the batch, all of them at once, and read with the key on
  // or off.
  std::vector<DecodedTexture>& decoded = work_->decoded;
  if (decoded.size() < textures.size()) decoded.resize(textures.size());
  ParallelFor<size_t>(0, textures.size(), 1, [&](size_t i) { Decode(textures[i], decoded[i]); });
  std::vector<std::optional<TextureSampler>> samplers(textures.size() * 2);
  for (size_t i = 0; i < textures.size(); ++i) {
    samplers[i * 2].emplace(decoded[i], false);
    samplers[i * 2 + 1].emplace(decoded[i], true);
  }

  // Every triangle is set up once, on whatever worker is free; strip triangle k lands at
  // firstTriangle[strip] + k, so the batch order stays the order of the array.
  std::vector<size_t>& firstTriangle = work_->firstTriangle;
  firstTriangle.assign(strips.size() + 1, 0);
  for (size_t i = 0; i < strips.size(); ++i)
    firstTriangle[i + 1] = firstTriangle[i] + strips[i].vertexCount - 2;
  const size_t triangleCount = firstTriangle.back();
  if (work_->triangles.size() < triangleCount) work_->triangles.resize(triangleCount);
  const std::span<Triangle> triangles(work_->triangles.data(), triangleCount);
  // Kept apart from the triangles, so binning and passing over hidden triangles read a few bytes
  // a triangle.
  std::vector<PixelBox>& boxes = work_->boxes;
  boxes.resize(triangleCount);
  ParallelFor<size_t>(0, strips.size(), 256, [&](size_t i) {
    const StripToDraw& strip = strips[i];
    const RasterStates& states = strip.states;
    const TextureSource* texture =
        states.texture == kNoTexture ? nullptr : &textures[states.texture];
    const TextureSampler* sampler =
        texture ? &*samplers[static_cast<size_t>(states.texture) * 2 + states.colorKey] : nullptr;
    const D3DTLVERTEX* corners = &vertices[strip.firstVertex];
    for (size_t k = 0; k + 2 < strip.vertexCount; ++k) {
      // Every second triangle of a strip runs the other way round; swapping two corners keeps
      // the whole strip facing one way.
      const D3DTLVERTEX& first = corners[k % 2 == 0 ? k : k + 1];
      const D3DTLVERTEX& second = corners[k % 2 == 0 ? k + 1 : k];
      const size_t at = firstTriangle[i] + k;
      const bool drawn =
          SetUp(first, second, corners[k + 2], states, texture, sampler, triangles[at]);
      const Triangle& made = triangles[at];
      boxes[at] = drawn ? PixelBox{static_cast<int32_t>(made.minX), static_cast<int32_t>(made.minY),
                                   static_cast<int32_t>(made.maxX), static_cast<int32_t>(made.maxY)}
                        : PixelBox{};
    }
  });

  const Canvas canvas{target, PixelCodec(target.format), BytesPerPixel(target.format)};
  const int64_t height = static_cast<int64_t>(target.height);

  // A texture that is the target itself is read while it is written, anywhere on it: such a
  // batch is drawn in order on this thread, a triangle at a time, and that texture is decoded
  // afresh before each triangle reading it, so it reads what the triangles before left.
  bool readsTarget = false, blends = false;
  auto isTarget = [&](int texture) {
    return texture != kNoTexture && textures[texture].pixels.bits == target.bits;
  };
  for (const StripToDraw& strip : strips) {
    blends = blends || strip.states.alphaBlend;
    readsTarget = readsTarget || isTarget(strip.states.texture);
  }
  if (readsTarget) {
    for (uint32_t i = 0; i < triangleCount; ++i) {
      if (boxes[i].top > boxes[i].bottom) continue;
      const int texture = triangles[i].states->texture;
      if (isTarget(texture)) Decode(textures[texture], decoded[texture]);
      PaintInOrder(canvas, triangles, std::span(&i, 1), 0, height);
    }
    return;
  }

  // The triangles of each band, in batch order (a counting sort keeps it).
  const size_t bandCount = static_cast<size_t>((height + kBandRows - 1) / kBandRows);
  std::vector<size_t>& bandStart = work_->bandStart;
  bandStart.assign(bandCount + 1, 0);
  auto bandsOf = [&](const PixelBox& range) {
    return std::pair{static_cast<size_t>(range.top / kBandRows),
                     static_cast<size_t>(range.bottom / kBandRows)};
  };
  for (const PixelBox& range : boxes) {
    if (range.top > range.bottom) continue;
    const auto [from, to] = bandsOf(range);
    for (size_t band = from; band <= to; ++band) ++bandStart[band + 1];
  }
  for (size_t band = 0; band < bandCount; ++band) bandStart[band + 1] += bandStart[band];
  std::vector<uint32_t>& bandTriangles = work_->bandTriangles;
  bandTriangles.resize(bandStart.back());
  std::vector<size_t>& filled = work_->filled;
  filled.assign(bandStart.begin(), bandStart.end() - 1);
  for (size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i].top > boxes[i].bottom) continue;
    const auto [from, to] = bandsOf(boxes[i]);
    for (size_t band = from; band <= to; ++band)
      bandTriangles[filled[band]++] = static_cast<uint32_t>(i);
  }

  std::optional<QuadEncoder> fourAtOnce;
  if (shading == ShadingWidth::Widest && __builtin_cpu_supports("avx2"))
    fourAtOnce.emplace(canvas.codec);
  auto drawBand = [&](size_t band) {
    const std::span<const uint32_t> list(bandTriangles.data() + bandStart[band],
                                         bandStart[band + 1] - bandStart[band]);
    const int64_t top = static_cast<int64_t>(band) * kBandRows;
    const int64_t bottom = std::min(height, top + kBandRows);
    if (blends)
      PaintInOrder(canvas, triangles, list, top, bottom);
    else
      PaintLastToFirst(canvas, triangles, boxes, list, top, bottom,
                       fourAtOnce ? &*fourAtOnce : nullptr);
  };
  ParallelFor<size_t>(0, bandCount, 1, drawBand);
}
