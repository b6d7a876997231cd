// Blits between device contexts and from caller-held bitmap bits, with nearest-pixel stretching,
// mirroring, colour conversion between formats and the common raster operations; single pixels
// and rectangle fills.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/gdi/GdiObjects.h"

namespace {

bool SameFormat(const PixelView& a, const PixelView& b) {
  if (a.bitCount != b.bitCount) return false;
  if (!a.Indexed()) return a.masks == b.masks;
  return std::memcmp(a.colors.data(), b.colors.data(), a.ColorCount() * sizeof(RGBQUAD)) == 0;
}

bool UsesSource(DWORD rop) { return rop != BLACKNESS && rop != WHITENESS; }

bool KnownRop(DWORD rop) {
  switch (rop) {
    case SRCCOPY:
    case SRCPAINT:
    case SRCAND:
    case SRCINVERT:
    case NOTSRCCOPY:
    case BLACKNESS:
    case WHITENESS: return true;
    default: return false;
  }
}

// Raw source pixels turned into raw destination pixels, remembering the last conversion since
// neighbouring pixels are mostly equal and nearest-colour searches are costly.
class PixelConverter {
 public:
  PixelConverter(const PixelView& source, const PixelView& dest)
      : source_(source), dest_(dest), identity_(SameFormat(source, dest)) {}

  uint32_t operator()(uint32_t raw) {
    if (identity_) return raw;
    if (!valid_ || raw != lastSource_) {
      lastSource_ = raw;
      lastDest_ = dest_.ColorToRaw(source_.RawToColor(raw));
      valid_ = true;
    }
    return lastDest_;
  }

 private:
  const PixelView& source_;
  const PixelView& dest_;
  bool identity_;
  bool valid_ = false;
  uint32_t lastSource_ = 0;
  uint32_t lastDest_ = 0;
};

uint32_t ApplyRop(DWORD rop, uint32_t dest, uint32_t source, const PixelView& view) {
  const uint32_t valueMask = view.bitCount == 32 ? 0xFFFFFFFFu : (1u << view.bitCount) - 1;
  switch (rop) {
    case SRCPAINT: return dest | source;
    case SRCAND: return dest & source;
    case SRCINVERT: return dest ^ source;
    case NOTSRCCOPY: return ~source & valueMask;
    case BLACKNESS: return view.ColorToRaw(RGB(0, 0, 0));
    case WHITENESS: return view.ColorToRaw(RGB(255, 255, 255));
    default: return source;
  }
}

// One axis of a stretch: destination offset i in [0, destLength) maps to a source offset.
struct Axis {
  int destStart, destLength, sourceStart, sourceLength;
  bool mirrored;

  Axis(int dest, int destExtent, int source, int sourceExtent)
      : destStart(destExtent < 0 ? dest + destExtent : dest),
        destLength(std::abs(destExtent)),
        sourceStart(sourceExtent < 0 ? source + sourceExtent : source),
        sourceLength(std::abs(sourceExtent)),
        mirrored((destExtent < 0) != (sourceExtent < 0)) {}

  int SourceAt(int i) const {
    const int offset = static_cast<int>(static_cast<int64_t>(i) * sourceLength / destLength);
    return sourceStart + (mirrored ? sourceLength - 1 - offset : offset);
  }
};

void Stretch(const PixelView& dest, Axis xs, Axis ys, const PixelView* source, DWORD rop) {
  if (xs.destLength == 0 || ys.destLength == 0 || xs.sourceLength == 0 || ys.sourceLength == 0) return;
  const PixelView& from = source ? *source : dest;
  PixelConverter convert(from, dest);
  const int firstRow = std::max(0, -ys.destStart), endRow = std::min(ys.destLength, dest.height - ys.destStart);
  const int firstCol = std::max(0, -xs.destStart), endCol = std::min(xs.destLength, dest.width - xs.destStart);
  for (int i = firstRow; i < endRow; ++i) {
    const int sy = ys.SourceAt(i);
    if (source && (sy < 0 || sy >= source->height)) continue;
    const int y = ys.destStart + i;
    for (int j = firstCol; j < endCol; ++j) {
      const int sx = xs.SourceAt(j);
      if (source && (sx < 0 || sx >= source->width)) continue;
      const int x = xs.destStart + j;
      const uint32_t value = source ? convert(source->ReadRaw(sx, sy)) : 0;
      const uint32_t result = rop == SRCCOPY ? value : ApplyRop(rop, dest.ReadRaw(x, y), value, dest);
      dest.WriteRaw(x, y, result);
    }
  }
}

}  // namespace

int SetStretchBltMode(HDC handle, int mode) {
  DCObject* dc = LookupDC(handle);
  if (!dc || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  const int old = dc->stretchMode;
  dc->stretchMode = mode;
  return old;
}

int GetStretchBltMode(HDC handle) {
  const DCObject* dc = LookupDC(handle);
  return dc ? dc->stretchMode : 0;
}

BOOL StretchBlt(HDC destHandle, int x, int y, int width, int height, HDC sourceHandle, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, DWORD rop) {
  const DCObject* dest = LookupDC(destHandle);
  if (!dest || !KnownRop(rop)) return FALSE;
  const DCObject* source = nullptr;
  if (UsesSource(rop)) {
    source = LookupDC(sourceHandle);
    if (!source) return FALSE;
  }
  Stretch(dest->Target(), Axis(x, width, sourceX, sourceWidth), Axis(y, height, sourceY, sourceHeight),
          source ? &source->Target() : nullptr, rop);
  return TRUE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop) {
  return StretchBlt(dest, x, y, width, height, source, sourceX, sourceY, width, height, rop);
}

int StretchDIBits(HDC destHandle, int x, int y, int width, int height, int sourceX, int sourceY,
                  int sourceWidth, int sourceHeight, const void* bits, const BITMAPINFO* info,
                  UINT usage, DWORD rop) {
  const DCObject* dest = LookupDC(destHandle);
  DibFormat format;
  if (!dest || !bits || !KnownRop(rop) || !ParseBitmapInfo(info, usage, format)) return 0;
  // The bits stay the caller's and are only read.
  const PixelView source = ViewOfDib(format, static_cast<BYTE*>(const_cast<void*>(bits)));
  const int topY = format.topDown ? sourceY : format.height - sourceY - sourceHeight;
  Stretch(dest->Target(), Axis(x, width, sourceX, sourceWidth), Axis(y, height, topY, sourceHeight),
          UsesSource(rop) ? &source : nullptr, rop);
  return std::abs(height);
}

BOOL GdiFlush() { return TRUE; }

COLORREF GetPixel(HDC handle, int x, int y) {
  const DCObject* dc = LookupDC(handle);
  if (!dc || !dc->Target().Contains(x, y)) return CLR_INVALID;
  return dc->Target().RawToColor(dc->Target().ReadRaw(x, y));
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color) {
  const DCObject* dc = LookupDC(handle);
  if (!dc || !dc->Target().Contains(x, y)) return CLR_INVALID;
  const PixelView& view = dc->Target();
  const uint32_t raw = view.ColorToRaw(color);
  view.WriteRaw(x, y, raw);
  return view.RawToColor(raw);
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brushHandle) {
  const DCObject* dc = LookupDC(handle);
  const auto* brush = Lookup<BrushObject>(brushHandle, GdiKind::Brush);
  if (!dc || !rect || !brush) return 0;
  if (brush->hollow) return 1;
  const PixelView& view = dc->Target();
  const uint32_t raw = view.ColorToRaw(brush->color);
  const int left = std::max<int>(rect->left, 0), right = std::min<int>(rect->right, view.width);
  const int top = std::max<int>(rect->top, 0), bottom = std::min<int>(rect->bottom, view.height);
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) view.WriteRaw(x, y, raw);
  return 1;
}
