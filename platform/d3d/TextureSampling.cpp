#include "platform/d3d/TextureSampling.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "platform/ddraw/PixelFormats.h"

namespace {

// The raw texel values the colour key takes; none when the texture has no key.
struct KeyedValues {
  DWORD bits;  // the bits the key compares
  uint64_t low;
  uint64_t count;  // keyed values from low on

  // One unsigned comparison: below the range wraps round to beyond it.
  bool Take(uint32_t raw) const { return (raw & bits) - low < count; }
};

KeyedValues KeyedValuesOf(const TextureSource& texture) {
  const DDPIXELFORMAT& format = texture.pixels.format;
  const DWORD bits = IsPaletteIndexed(format)
                         ? 0xFF
                         : format.dwRBitMask | format.dwGBitMask | format.dwBBitMask;
  const uint64_t low = texture.colorKey.dwColorSpaceLowValue & bits;
  const uint64_t high = texture.colorKey.dwColorSpaceHighValue & bits;
  return {bits, low, texture.hasColorKey && low <= high ? high - low + 1 : 0};
}

uint64_t TexelWord(const Color& color, bool keyed) {
  return static_cast<uint64_t>(color.r) | static_cast<uint64_t>(color.g) << 8 |
         static_cast<uint64_t>(color.b) << 16 | static_cast<uint64_t>(color.a) << 24 |
         (keyed ? kKeyedTexel : 0);
}

bool Opaque(const DecodedTexture& decoded, int64_t x, int64_t y) {
  return !(decoded.texels[static_cast<size_t>(y * decoded.stride + x)] & kKeyedTexel);
}

void MarkOpaqueFootprints(DecodedTexture& decoded) {
  const int64_t width = decoded.width, height = decoded.height;
  decoded.footprintWords = (width + 63) / 64;
  decoded.footprints.assign(static_cast<size_t>(decoded.footprintWords * height), 0);
  for (int64_t y = 0; y < height; ++y) {
    const int64_t below = y + 1 == height ? 0 : y + 1;
    uint64_t* words = &decoded.footprints[static_cast<size_t>(y * decoded.footprintWords)];
    for (int64_t x = 0; x < width; ++x) {
      const int64_t right = x + 1 == width ? 0 : x + 1;
      if (Opaque(decoded, x, y) || Opaque(decoded, right, y) || Opaque(decoded, x, below) ||
          Opaque(decoded, right, below))
        words[x / 64] |= uint64_t{1} << (x % 64);
    }
  }
}

OpaqueSpread SpreadOf(const DecodedTexture& decoded) {
  const int64_t width = decoded.width, height = decoded.height;
  OpaqueSpread spread;
  std::fill(std::begin(spread.least), std::end(spread.least), INT64_MAX);
  std::fill(std::begin(spread.greatest), std::end(spread.greatest), INT64_MIN);
  for (int64_t row = -1; row <= height; ++row) {
    const int64_t y = (row + height) % height;
    int64_t first = 0, last = width - 1;
    while (first < width && !Opaque(decoded, first, y)) ++first;
    if (first == width) continue;
    while (!Opaque(decoded, last, y)) --last;
    // Within a row the column factor (0 or 1) decides: the extremes lie at the outermost opaque
    // texels, the border's included.
    const int64_t leftmost = Opaque(decoded, width - 1, y) ? -1 : first;
    const int64_t rightmost = Opaque(decoded, 0, y) ? width : last;
    for (int d = 0; d < kOpaqueDirections; ++d) {
      const int64_t columnFactor = kOpaqueDirection[d][0], rowFactor = kOpaqueDirection[d][1];
      spread.least[d] = std::min(spread.least[d], columnFactor * leftmost + rowFactor * row);
      spread.greatest[d] = std::max(spread.greatest[d], columnFactor * rightmost + rowFactor * row);
    }
  }
  return spread;
}

}  // namespace

void Decode(const TextureSource& texture, DecodedTexture& decoded) {
  const LockedPixels& pixels = texture.pixels;
  const PixelCodec codec(pixels.format);
  const uint32_t bytesPerPixel = BytesPerPixel(pixels.format);
  const bool paletteIndexed = IsPaletteIndexed(pixels.format);
  const KeyedValues keyed = KeyedValuesOf(texture);
  decoded.width = pixels.width;
  decoded.height = pixels.height;
  decoded.stride = decoded.width + 1;
  decoded.texels.resize(static_cast<size_t>(decoded.stride * decoded.height));
  OpaqueBox& box = decoded.opaque;
  box = {decoded.width, decoded.height, -1, -1};
  for (int64_t y = 0; y < decoded.height; ++y) {
    const BYTE* row = pixels.bits + y * pixels.pitch;
    uint64_t* words = &decoded.texels[static_cast<size_t>(y * decoded.stride)];
    for (int64_t x = 0; x < decoded.width; ++x) {
      const uint32_t raw = ReadRawPixel(row, x, bytesPerPixel);
      const PALETTEENTRY& entry = texture.palette[raw & 0xFF];
      const Color color = paletteIndexed ? Color{entry.peRed, entry.peGreen, entry.peBlue, 255}
                                         : codec.Decode(raw);
      const bool key = keyed.Take(raw);
      words[x] = TexelWord(color, key);
      if (!key)
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
               std::max(box.bottom, y)};
    }
    if (decoded.width > 0) words[decoded.width] = words[0];
  }
  if (box.left <= box.right) decoded.spread = SpreadOf(decoded);
  MarkOpaqueFootprints(decoded);
}
