// Reading and writing single pixels of every bit count, and the conversion between raw pixel
// values and colours.
#include <climits>
#include <cstring>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/PixelChannels.h"

int64_t DibRowBytes(int64_t width, int32_t bitCount) { return (width * bitCount + 31) / 32 * 4; }

bool IsDibBitCount(int32_t bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
         bitCount == 32;
}

uint32_t PixelView::ReadRaw(int32_t x, int32_t y) const {
  const BYTE* row = Row(y);
  switch (bitCount) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case 8: return row[x];
    case 16: return row[2 * x] | (row[2 * x + 1] << 8);
    case 24: return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
    default: {
      uint32_t value;
      std::memcpy(&value, row + 4 * x, 4);
      return value;
    }
  }
}

void PixelView::WriteRaw(int32_t x, int32_t y, uint32_t raw) const {
  BYTE* row = Row(y);
  switch (bitCount) {
    case 1: {
      const BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
      row[x >> 3] = (raw & 1) ? row[x >> 3] | bit : row[x >> 3] & ~bit;
      break;
    }
    case 4:
      row[x >> 1] = (x & 1) ? (row[x >> 1] & 0xF0) | (raw & 0x0F)
                            : (row[x >> 1] & 0x0F) | ((raw & 0x0F) << 4);
      break;
    case 8: row[x] = static_cast<BYTE>(raw); break;
    case 16:
      row[2 * x] = static_cast<BYTE>(raw);
      row[2 * x + 1] = static_cast<BYTE>(raw >> 8);
      break;
    case 24:
      row[3 * x] = static_cast<BYTE>(raw);
      row[3 * x + 1] = static_cast<BYTE>(raw >> 8);
      row[3 * x + 2] = static_cast<BYTE>(raw >> 16);
      break;
    default: std::memcpy(row + 4 * x, &raw, 4); break;
  }
}

COLORREF PixelView::RawToColor(uint32_t raw) const {
  if (Indexed()) {
    const RGBQUAD& c = colors[raw & (ColorCount() - 1)];
    return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
  }
  return RGB(ChannelTo8(raw, masks[0]), ChannelTo8(raw, masks[1]), ChannelTo8(raw, masks[2]));
}

uint32_t PixelView::ColorToRaw(COLORREF color) const {
  const int r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  if (!Indexed())
    return ChannelFrom8(static_cast<BYTE>(r), masks[0]) | ChannelFrom8(static_cast<BYTE>(g), masks[1]) |
           ChannelFrom8(static_cast<BYTE>(b), masks[2]);
  uint32_t best = 0;
  int bestDistance = INT_MAX;
  for (int i = 0; i < ColorCount(); ++i) {
    const int dr = colors[i].rgbRed - r, dg = colors[i].rgbGreen - g, db = colors[i].rgbBlue - b;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<uint32_t>(i);
      if (distance == 0) break;
    }
  }
  return best;
}

bool ParseBitmapInfo(const BITMAPINFO* info, UINT usage, DibFormat& format) {
  if (!info || usage != DIB_RGB_COLORS) return false;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biSize > 1024) return false;
  if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN) return false;
  if (!IsDibBitCount(header.biBitCount)) return false;
  const bool bitFields = header.biCompression == BI_BITFIELDS;
  if (header.biCompression != BI_RGB && !bitFields) return false;
  if (bitFields && header.biBitCount != 16 && header.biBitCount != 32) return false;

  format = DibFormat{};
  format.width = header.biWidth;
  format.height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  format.topDown = header.biHeight < 0;
  format.bitCount = header.biBitCount;
  format.rowBytes = DibRowBytes(format.width, format.bitCount);
  if (format.rowBytes * format.height > INT32_MAX) return false;

  // Masks sit right after the 40-byte header: following it, or as the fields of a longer one.
  const BYTE* block = reinterpret_cast<const BYTE*>(info);
  if (bitFields)
    std::memcpy(format.masks.data(), block + sizeof(BITMAPINFOHEADER), sizeof(format.masks));
  else if (format.bitCount == 16)
    format.masks = {0x7C00, 0x03E0, 0x001F};
  else
    format.masks = {0xFF0000, 0x00FF00, 0x0000FF};

  if (format.bitCount <= 8) {
    const size_t colorsAt = header.biSize + (bitFields && header.biSize == sizeof(BITMAPINFOHEADER) ? 12 : 0);
    uint32_t count = header.biClrUsed ? header.biClrUsed : 1u << format.bitCount;
    if (count > 256) count = 256;
    std::memcpy(format.colors.data(), block + colorsAt, count * sizeof(RGBQUAD));
  }
  return true;
}

PixelView ViewOfDib(const DibFormat& format, BYTE* bits) {
  PixelView view;
  view.width = format.width;
  view.height = format.height;
  view.bitCount = format.bitCount;
  view.masks = format.masks;
  view.colors = format.colors;
  view.rowStep = format.topDown ? format.rowBytes : -format.rowBytes;
  view.topRow = format.topDown ? bits : bits + (format.height - 1) * format.rowBytes;
  return view;
}
