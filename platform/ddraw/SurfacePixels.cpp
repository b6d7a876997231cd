#include "platform/ddraw/SurfacePixels.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/ddraw/PixelCodec.h"
#include "platform/gdi/PixelChannels.h"
#include "platform/kernel/ParallelFor.h"

namespace {

uint8_t* PixelAddress(const PixelBlock& block, int32_t x, int32_t y) {
  return block.bits + static_cast<ptrdiff_t>(y) * block.pitch +
         static_cast<ptrdiff_t>(x) * block.bytesPerPixel;
}

// Source coordinate for destination offset i of a span of destLength mapped from sourceLength.
int32_t SourceCoordinate(int32_t i, int32_t destLength, int32_t sourceStart, int32_t sourceLength,
                         bool mirrored) {
  const int32_t step = static_cast<int32_t>(static_cast<int64_t>(i) * sourceLength / destLength);
  return mirrored ? sourceStart + sourceLength - 1 - step : sourceStart + step;
}

// Runs rowWork(y) for each row in [top, bottom) of rows rowBytes long. The rows of a large
// area are shared among worker threads: a frame is megabytes, which one thread alone reads and
// writes at a fraction of the memory's speed. Each row must be work of its own.
template <typename RowWork>
void ForEachRow(int32_t top, int32_t bottom, int64_t rowBytes, const RowWork& rowWork) {
  constexpr int64_t kBytesPerTask = 64 * 1024;
  const int32_t grain = static_cast<int32_t>(
      std::clamp<int64_t>(kBytesPerTask / std::max<int64_t>(rowBytes, 1), 1, INT32_MAX));
  if (bottom - top <= grain) {
    for (int32_t y = top; y < bottom; ++y) rowWork(y);
    return;
  }
  ParallelFor<int32_t>(top, bottom, grain, rowWork);
}

}  // namespace

bool IsEmptyRect(const RECT& rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

bool IsUsableBlitRect(const RECT& rect) {
  constexpr int64_t kLongestSide = int64_t{1} << 20;
  const int64_t width = int64_t{rect.right} - rect.left;
  const int64_t height = int64_t{rect.bottom} - rect.top;
  return width > 0 && height > 0 && width <= kLongestSide && height <= kLongestSide;
}

RECT IntersectRects(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

bool RectInside(const RECT& inner, int32_t width, int32_t height) {
  return inner.left >= 0 && inner.top >= 0 && inner.right <= width && inner.bottom <= height;
}

void FillPixels(const PixelBlock& block, const RECT& rect, uint32_t value) {
  const RECT area = IntersectRects(rect, RECT{0, 0, block.width, block.height});
  if (IsEmptyRect(area)) return;
  const size_t rowBytes = static_cast<size_t>(area.right - area.left) * block.bytesPerPixel;
  ForEachRow(area.top, area.bottom, static_cast<int64_t>(rowBytes), [&](int32_t y) {
    // One pixel, then what is filled copied after itself: ten block copies for a row of a
    // thousand pixels rather than a store a pixel (far cheaper under ThreadSanitizer too).
    uint8_t* row = PixelAddress(block, area.left, y);
    WriteRawPixel(row, 0, block.bytesPerPixel, value);
    for (size_t filled = static_cast<size_t>(block.bytesPerPixel); filled < rowBytes; filled *= 2)
      std::memcpy(row + filled, row, std::min(filled, rowBytes - filled));
  });
}

void CopyPixels(const PixelBlock& dest, const PixelBlock& source, const BlitGeometry& geometry,
                const SourceColorKey* key) {
  const RECT visible = IntersectRects(geometry.visible, geometry.dest);
  if (IsEmptyRect(visible)) return;

  // A blit within one surface reads from a copy of the source rectangle.
  PixelBlock from = source;
  RECT sourceRect = geometry.source;
  std::vector<uint8_t> snapshot;
  if (source.bits == dest.bits) {
    const int32_t width = sourceRect.right - sourceRect.left;
    const int32_t height = sourceRect.bottom - sourceRect.top;
    const int32_t rowBytes = width * source.bytesPerPixel;
    snapshot.resize(static_cast<size_t>(rowBytes) * height);
    for (int32_t y = 0; y < height; ++y)
      std::memcpy(snapshot.data() + static_cast<size_t>(y) * rowBytes,
                  PixelAddress(source, sourceRect.left, sourceRect.top + y), rowBytes);
    from = PixelBlock{snapshot.data(), width, height, rowBytes, source.bytesPerPixel};
    sourceRect = RECT{0, 0, width, height};
  }

  const int32_t destWidth = geometry.dest.right - geometry.dest.left;
  const int32_t destHeight = geometry.dest.bottom - geometry.dest.top;
  const int32_t sourceWidth = sourceRect.right - sourceRect.left;
  const int32_t sourceHeight = sourceRect.bottom - sourceRect.top;
  const int32_t bpp = dest.bytesPerPixel;
  const bool unstretchedRows = destWidth == sourceWidth;
  const bool plainRows = key == nullptr && !geometry.mirrorLeftRight && unstretchedRows;
  // Colour-keyed sprites at their own size are the common case: their rows walk the source
  // column by column instead of scaling every coordinate.
  const int32_t columnStep = geometry.mirrorLeftRight ? -1 : 1;
  const uint32_t keyLow = key ? key->low & key->significantBits : 0;
  const uint32_t keyHigh = key ? key->high & key->significantBits : 0;

  const int64_t rowBytes = int64_t{visible.right - visible.left} * bpp;
  ForEachRow(visible.top, visible.bottom, rowBytes, [&](int32_t y) {
    const int32_t sy = SourceCoordinate(y - geometry.dest.top, destHeight, sourceRect.top,
                                        sourceHeight, geometry.mirrorUpDown);
    uint8_t* out = PixelAddress(dest, visible.left, y);
    int32_t sx = SourceCoordinate(visible.left - geometry.dest.left, destWidth, sourceRect.left,
                                  sourceWidth, geometry.mirrorLeftRight);
    if (plainRows) {
      std::memcpy(out, PixelAddress(from, sx, sy), static_cast<size_t>(rowBytes));
      return;
    }
    const uint8_t* sourceRow = PixelAddress(from, 0, sy);
    for (int32_t x = 0; x < visible.right - visible.left; ++x, sx += columnStep) {
      if (!unstretchedRows)
        sx = SourceCoordinate(visible.left + x - geometry.dest.left, destWidth, sourceRect.left,
                              sourceWidth, geometry.mirrorLeftRight);
      const uint32_t pixel = ReadRawPixel(sourceRow, sx, bpp);
      if (key) {
        const uint32_t significant = pixel & key->significantBits;
        if (significant >= keyLow && significant <= keyHigh) continue;
      }
      WriteRawPixel(out, x, bpp, pixel);
    }
  });
}

void ConvertToScreenPixels(const PixelBlock& block, const DDPIXELFORMAT& format,
                           const PALETTEENTRY* palette, uint32_t* out) {
  const bool indexed = (format.dwFlags & DDPF_PALETTEINDEXED8) != 0;
  const bool standard32 = block.bytesPerPixel == 4 && format.dwRBitMask == 0xFF0000 &&
                          format.dwGBitMask == 0x00FF00 && format.dwBBitMask == 0x0000FF;
  ForEachRow(0, block.height, int64_t{block.width} * 4, [&](int32_t y) {
    const uint8_t* row = PixelAddress(block, 0, y);
    uint32_t* target = out + static_cast<size_t>(y) * block.width;
    if (standard32) {
      // The common case: the unused top bytes cleared.
      for (int32_t x = 0; x < block.width; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, row + 4 * x, 4);
        target[x] = pixel & 0xFFFFFF;
      }
      return;
    }
    for (int32_t x = 0; x < block.width; ++x) {
      const uint32_t pixel = ReadRawPixel(row, x, block.bytesPerPixel);
      if (indexed) {
        const uint8_t index = static_cast<uint8_t>(pixel);
        *target++ = palette ? (uint32_t{palette[index].peRed} << 16) |
                                  (uint32_t{palette[index].peGreen} << 8) | palette[index].peBlue
                            : index * 0x010101u;
      } else {
        *target++ = (ChannelTo8(pixel, format.dwRBitMask) << 16) |
                    (ChannelTo8(pixel, format.dwGBitMask) << 8) |
                    ChannelTo8(pixel, format.dwBBitMask);
      }
    }
  });
}
