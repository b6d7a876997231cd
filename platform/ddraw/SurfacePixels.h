// The pixel work of surfaces: fills, copies with stretching, mirroring and a source colour key,
// and the conversion of a surface to the screen's 0x00RRGGBB pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ddraw/DDraw.h"

// A rectangle of memory in one pixel size; rows are pitch bytes apart, top row first.
struct PixelBlock {
  uint8_t* bits;
  int32_t width;
  int32_t height;
  int32_t pitch;
  int32_t bytesPerPixel;
};

// Pixels whose significant bits fall in [low, high] are not copied.
struct SourceColorKey {
  DWORD low;
  DWORD high;
  DWORD significantBits;
};

// How a source rectangle maps onto a destination rectangle. Only the destination pixels inside
// visible are written; the mapping itself is that of the whole rectangles, so clipping never
// shifts or rescales the picture.
struct BlitGeometry {
  RECT dest;
  RECT source;
  RECT visible;
  bool mirrorLeftRight;
  bool mirrorUpDown;
};

bool IsEmptyRect(const RECT& rect);
// Blit rectangles: not empty, and no side longer than any surface could use, so that their
// extents never overflow.
bool IsUsableBlitRect(const RECT& rect);
RECT IntersectRects(const RECT& a, const RECT& b);
// True when inner lies wholly inside (0, 0, width, height).
bool RectInside(const RECT& inner, int32_t width, int32_t height);

// value is cut to the pixel size.
void FillPixels(const PixelBlock& block, const RECT& rect, uint32_t value);

// Source and destination may be the same memory; overlapping rectangles copy as if from a
// snapshot of the source.
void CopyPixels(const PixelBlock& dest, const PixelBlock& source, const BlitGeometry& geometry,
                const SourceColorKey* key);

// Converts a surface's pixels to 0x00RRGGBB into out (width x height, rows packed).
// Palette-indexed pixels take their colour from palette (256 entries), or from
// a grey ramp when there is none.
void ConvertToScreenPixels(const PixelBlock& block, const DDPIXELFORMAT& format,
                           const PALETTEENTRY* palette, uint32_t* out);
