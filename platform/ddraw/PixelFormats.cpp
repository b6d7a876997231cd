#include "platform/ddraw/PixelFormats.h"

namespace {

constexpr DWORD kPaletteFlags =
    DDPF_PALETTEINDEXED1 | DDPF_PALETTEINDEXED2 | DDPF_PALETTEINDEXED4 | DDPF_PALETTEINDEXED8;

bool MasksFit(const DDPIXELFORMAT& format) {
  const uint64_t limit = uint64_t{1} << format.dwRGBBitCount;
  const DWORD masks[] = {format.dwRBitMask, format.dwGBitMask, format.dwBBitMask,
                         format.dwRGBAlphaBitMask};
  for (DWORD mask : masks)
    if (mask >= limit) return false;
  return (format.dwRBitMask & format.dwGBitMask) == 0 &&
         (format.dwRBitMask & format.dwBBitMask) == 0 &&
         (format.dwGBitMask & format.dwBBitMask) == 0 &&
         ((format.dwRBitMask | format.dwGBitMask | format.dwBBitMask) & format.dwRGBAlphaBitMask) ==
             0;
}

// The palette flag of an indexed format of that many bits; 0 for counts without one here.
DWORD IndexedFlag(uint32_t bitCount) {
  switch (bitCount) {
    case 1: return DDPF_PALETTEINDEXED1;
    case 4: return DDPF_PALETTEINDEXED4;
    case 8: return DDPF_PALETTEINDEXED8;
    default: return 0;
  }
}

DDPIXELFORMAT IndexedPixelFormat(uint32_t bitCount) {
  DDPIXELFORMAT format = RgbPixelFormat(bitCount, 0, 0, 0);
  format.dwFlags |= IndexedFlag(bitCount);
  return format;
}

}  // namespace

DDPIXELFORMAT RgbPixelFormat(uint32_t bitCount, DWORD red, DWORD green, DWORD blue, DWORD alpha) {
  DDPIXELFORMAT format{};
  format.dwSize = sizeof(DDPIXELFORMAT);
  format.dwFlags = DDPF_RGB | (alpha ? DDPF_ALPHAPIXELS : 0);
  format.dwRGBBitCount = bitCount;
  format.dwRBitMask = red;
  format.dwGBitMask = green;
  format.dwBBitMask = blue;
  format.dwRGBAlphaBitMask = alpha;
  return format;
}

DDPIXELFORMAT DisplayPixelFormat(uint32_t bitCount) {
  switch (bitCount) {
    case 8:
      return IndexedPixelFormat(8);
    case 16:
      return RgbPixelFormat(16, 0xF800, 0x07E0, 0x001F);
    case 24:
    case 32:
      return RgbPixelFormat(bitCount, 0xFF0000, 0x00FF00, 0x0000FF);
    default:
      return DDPIXELFORMAT{};
  }
}

DDPIXELFORMAT DepthPixelFormat(uint32_t depth) {
  DDPIXELFORMAT format{};
  format.dwSize = sizeof(DDPIXELFORMAT);
  format.dwFlags = DDPF_ZBUFFER;
  format.dwZBufferBitDepth = depth;
  format.dwZBitMask = depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
  return format;
}

HRESULT CompletePixelFormat(DDPIXELFORMAT& format) {
  format.dwSize = sizeof(DDPIXELFORMAT);
  if (format.dwFlags & DDPF_FOURCC) return DDERR_INVALIDPIXELFORMAT;
  if (format.dwFlags & DDPF_ZBUFFER) {
    const DWORD depth = format.dwZBufferBitDepth;
    if (depth != 16 && depth != 24 && depth != 32) return DDERR_INVALIDPIXELFORMAT;
    format = DepthPixelFormat(depth);
    return DD_OK;
  }
  if (format.dwFlags & kPaletteFlags) {
    if ((format.dwFlags & kPaletteFlags) != IndexedFlag(format.dwRGBBitCount))
      return DDERR_INVALIDPIXELFORMAT;
    format = IndexedPixelFormat(format.dwRGBBitCount);
    return DD_OK;
  }
  if (!(format.dwFlags & DDPF_RGB)) return DDERR_INVALIDPIXELFORMAT;
  const uint32_t bits = format.dwRGBBitCount;
  if (bits != 16 && bits != 24 && bits != 32) return DDERR_INVALIDPIXELFORMAT;
  if (format.dwRBitMask == 0 && format.dwGBitMask == 0 && format.dwBBitMask == 0) {
    const DDPIXELFORMAT standard = DisplayPixelFormat(bits);
    format.dwRBitMask = standard.dwRBitMask;
    format.dwGBitMask = standard.dwGBitMask;
    format.dwBBitMask = standard.dwBBitMask;
  }
  if (!(format.dwFlags & DDPF_ALPHAPIXELS)) format.dwRGBAlphaBitMask = 0;
  if (!MasksFit(format)) return DDERR_INVALIDPIXELFORMAT;
  return DD_OK;
}

uint32_t BitsPerPixel(const DDPIXELFORMAT& format) {
  if (format.dwFlags & DDPF_ZBUFFER) return format.dwZBufferBitDepth == 16 ? 16 : 32;
  return format.dwRGBBitCount;
}

uint32_t BytesPerPixel(const DDPIXELFORMAT& format) { return (BitsPerPixel(format) + 7) / 8; }

bool PacksPixelsIntoBytes(const DDPIXELFORMAT& format) {
  return IsPaletteIndexed(format) && format.dwRGBBitCount < 8;
}

DWORD SignificantBits(const DDPIXELFORMAT& format) {
  if (format.dwFlags & DDPF_ZBUFFER) return format.dwZBitMask;
  if (IsPaletteIndexed(format)) return (1u << format.dwRGBBitCount) - 1;
  return format.dwRBitMask | format.dwGBitMask | format.dwBBitMask | format.dwRGBAlphaBitMask;
}

bool IsPaletteIndexed(const DDPIXELFORMAT& format) { return (format.dwFlags & kPaletteFlags) != 0; }

bool SamePixelLayout(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
  return BytesPerPixel(a) == BytesPerPixel(b) && IsPaletteIndexed(a) == IsPaletteIndexed(b) &&
         SignificantBits(a) == SignificantBits(b) && a.dwRBitMask == b.dwRBitMask &&
         a.dwGBitMask == b.dwGBitMask && a.dwBBitMask == b.dwBBitMask;
}
