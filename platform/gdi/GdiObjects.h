// The objects behind GDI handles and the pixel views they draw through. Internal to platform/gdi.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GlyphCache.h"

// Where a device context's pixels are: rows from the top, each rowStep bytes after the one above
// (negative for bottom-up storage). Colour tables give indexed formats their RGB meaning.
struct PixelView {
  BYTE* topRow = nullptr;
  ptrdiff_t rowStep = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitCount = 0;
  std::array<DWORD, 3> masks{};  // red, green, blue for 16 and 32 bits
  std::array<RGBQUAD, 256> colors{};

  BYTE* Row(int32_t y) const { return topRow + y * rowStep; }
  bool Contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  bool Indexed() const { return bitCount <= 8; }
  int32_t ColorCount() const { return Indexed() ? 1 << bitCount : 0; }

  uint32_t ReadRaw(int32_t x, int32_t y) const;
  void WriteRaw(int32_t x, int32_t y, uint32_t raw) const;
  COLORREF RawToColor(uint32_t raw) const;
  // For indexed formats the nearest colour of the table (first of equal distance).
  uint32_t ColorToRaw(COLORREF color) const;
};

// Bytes per row of an uncompressed bitmap: rounded up to 4 bytes.
int64_t DibRowBytes(int64_t width, int32_t bitCount);
bool IsDibBitCount(int32_t bitCount);

// The layout an information block describes, with the offset of its colour entries.
struct DibFormat {
  int32_t width = 0;
  int32_t height = 0;  // absolute
  bool topDown = false;
  int32_t bitCount = 0;
  std::array<DWORD, 3> masks{};
  std::array<RGBQUAD, 256> colors{};
  int64_t rowBytes = 0;
};
// False for anything this platform cannot hold: compressed data, odd bit counts, sides of 0 or
// less, images above 2 GiB.
bool ParseBitmapInfo(const BITMAPINFO* info, UINT usage, DibFormat& format);
PixelView ViewOfDib(const DibFormat& format, BYTE* bits);

enum class GdiKind { Bitmap, Palette, Font, Brush, Pen, DC };

struct GdiObject {
  explicit GdiObject(GdiKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  GdiKind kind;
  HGDIOBJ handle = nullptr;
  bool stock = false;
  int selections = 0;  // device contexts holding it; such objects cannot be deleted
};

struct BitmapObject : GdiObject {
  BitmapObject() : GdiObject(GdiKind::Bitmap) {}
  std::unique_ptr<BYTE[]> memory;
  DibFormat format;
  BITMAPINFOHEADER header{};
  PixelView view;
  bool section = true;  // false for a device-dependent bitmap
};

struct PaletteObject : GdiObject {
  PaletteObject() : GdiObject(GdiKind::Palette) {}
  std::array<PALETTEENTRY, 256> entries{};
  UINT count = 0;
};

struct FontObject : GdiObject {
  FontObject() : GdiObject(GdiKind::Font) {}
  LOGFONTA font{};
  GlyphCache glyphs;
};

struct BrushObject : GdiObject {
  BrushObject() : GdiObject(GdiKind::Brush) {}
  bool hollow = false;
  COLORREF color = 0;
};

struct PenObject : GdiObject {
  PenObject() : GdiObject(GdiKind::Pen) {}
  int style = PS_SOLID;
  COLORREF color = 0;
};

struct DCObject : GdiObject {
  DCObject() : GdiObject(GdiKind::DC) {}
  BitmapObject* bitmap = nullptr;  // selected section (the stock 1x1 bitmap at first)
  PaletteObject* palette = nullptr;
  FontObject* font = nullptr;
  BrushObject* brush = nullptr;
  PenObject* pen = nullptr;
  POINT position{0, 0};
  int64_t dashPhase = 0;  // pixels of the dash pattern gone through since the pen last moved
  bool wrapsPixels = false;  // pixels owned by the creator, never a selected bitmap
  PixelView pixels;
  std::function<void(int32_t top, int32_t bottom)> rowsInUse;  // for wrapped pixels, or empty
  COLORREF textColor = 0;
  COLORREF backColor = 0xFFFFFF;
  int backMode = OPAQUE;
  int stretchMode = BLACKONWHITE;

  // The pixels drawn on, rows [top, bottom) of them (all of them for Target()) ready to read
  // and write.
  const PixelView& TargetRows(int64_t top, int64_t bottom) const {
    const PixelView& view = wrapsPixels ? pixels : bitmap->view;
    top = std::max<int64_t>(top, 0);
    bottom = std::min<int64_t>(bottom, view.height);
    if (rowsInUse && top < bottom) rowsInUse(static_cast<int32_t>(top), static_cast<int32_t>(bottom));
    return view;
  }
  const PixelView& Target() const { return TargetRows(0, INT64_MAX); }
  std::array<GdiObject*, 5> Selected() const { return {bitmap, palette, font, brush, pen}; }
};

GdiObject* LookupObject(const void* handle);
template <class T>
T* Lookup(const void* handle, GdiKind kind) {
  GdiObject* object = LookupObject(handle);
  return object && object->kind == kind ? static_cast<T*>(object) : nullptr;
}
inline DCObject* LookupDC(HDC dc) { return Lookup<DCObject>(dc, GdiKind::DC); }
HGDIOBJ AddObject(std::unique_ptr<GdiObject> object);
