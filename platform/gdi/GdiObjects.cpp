// The handle table and the lifetime of GDI objects: device contexts, bitmap sections, palettes,
// fonts and brushes, with selection into device contexts.
#include "platform/gdi/GdiObjects.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <unordered_map>

#include "platform/gdi/GdiTestControl.h"

namespace {

struct HandleTable {
  std::unordered_map<uintptr_t, std::unique_ptr<GdiObject>> objects;
  uintptr_t nextHandle = 0x10000;
  bool refuseNextSection = false;
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

// Static colours of the screen palette: the first ten and the last ten entries.
constexpr PALETTEENTRY kStaticColors[20] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0}};

PALETTEENTRY SystemPaletteEntry(UINT index) {
  if (index < 10) return kStaticColors[index];
  if (index >= 246) return kStaticColors[index - 236];
  return {0, 0, 0, 0};
}

GdiObject* AddStock(std::unique_ptr<GdiObject> object) {
  object->stock = true;
  return LookupObject(AddObject(std::move(object)));
}

struct StockObjects {
  BitmapObject* bitmap;
  PaletteObject* palette;
  FontObject* font;
  BrushObject* whiteBrush;
  BrushObject* blackBrush;
  BrushObject* nullBrush;
  PenObject* blackPen;
};

// The 1x1 monochrome bitmap every new memory device context starts with.
std::unique_ptr<BitmapObject> MakeStockBitmap() {
  auto bitmap = std::make_unique<BitmapObject>();
  bitmap->format.width = bitmap->format.height = 1;
  bitmap->format.bitCount = 1;
  bitmap->format.rowBytes = 4;
  bitmap->format.colors[1] = {255, 255, 255, 0};
  bitmap->memory.reset(new BYTE[4]());
  bitmap->view = ViewOfDib(bitmap->format, bitmap->memory.get());
  bitmap->header = {sizeof(BITMAPINFOHEADER), 1, 1, 1, 1, BI_RGB, 4, 0, 0, 0, 0};
  return bitmap;
}

const StockObjects& Stock() {
  static const StockObjects stock = [] {
    StockObjects s{};
    s.bitmap = static_cast<BitmapObject*>(AddStock(MakeStockBitmap()));
    auto palette = std::make_unique<PaletteObject>();
    palette->count = 20;
    for (UINT i = 0; i < 20; ++i) palette->entries[i] = SystemPaletteEntry(i < 10 ? i : i + 236);
    s.palette = static_cast<PaletteObject*>(AddStock(std::move(palette)));
    auto font = std::make_unique<FontObject>();
    font->font.lfHeight = -16;
    font->font.lfWeight = FW_NORMAL;
    std::strcpy(font->font.lfFaceName, "DejaVu Sans");
    s.font = static_cast<FontObject*>(AddStock(std::move(font)));
    auto brush = [](COLORREF color, bool hollow) {
      auto b = std::make_unique<BrushObject>();
      b->color = color;
      b->hollow = hollow;
      return static_cast<BrushObject*>(AddStock(std::move(b)));
    };
    s.whiteBrush = brush(0xFFFFFF, false);
    s.blackBrush = brush(0, false);
    s.nullBrush = brush(0, true);
    s.blackPen = static_cast<PenObject*>(AddStock(std::make_unique<PenObject>()));
    return s;
  }();
  return stock;
}

// Moves a selection slot from one object to another and returns the handle of the old one.
template <class T>
HGDIOBJ Reselect(T*& slot, T* object) {
  T* old = slot;
  --old->selections;
  slot = object;
  ++object->selections;
  return old->handle;
}

HDC NewDC() {
  const StockObjects& stock = Stock();
  auto dc = std::make_unique<DCObject>();
  dc->bitmap = stock.bitmap;
  dc->palette = stock.palette;
  dc->font = stock.font;
  dc->brush = stock.whiteBrush;
  dc->pen = stock.blackPen;
  for (GdiObject* o : dc->Selected()) ++o->selections;
  return reinterpret_cast<HDC>(AddObject(std::move(dc)));
}

}  // namespace

GdiObject* LookupObject(const void* handle) {
  auto& objects = Table().objects;
  auto found = objects.find(reinterpret_cast<uintptr_t>(handle));
  return found == objects.end() ? nullptr : found->second.get();
}

HGDIOBJ AddObject(std::unique_ptr<GdiObject> object) {
  HandleTable& table = Table();
  const uintptr_t handle = table.nextHandle;
  table.nextHandle += 4;
  object->handle = reinterpret_cast<HGDIOBJ>(handle);
  table.objects.emplace(handle, std::move(object));
  return reinterpret_cast<HGDIOBJ>(handle);
}

HDC CreateCompatibleDC(HDC) { return NewDC(); }

HDC CreateMemoryDCForPixels(void* bits, int32_t width, int32_t height, int32_t pitchBytes,
                            int32_t bitCount, const DWORD* rgbMasks, const RGBQUAD* colorTable) {
  if (!bits || width <= 0 || height <= 0 || !IsDibBitCount(bitCount)) return nullptr;
  if (pitchBytes < (static_cast<int64_t>(width) * bitCount + 7) / 8) return nullptr;
  HDC handle = NewDC();
  DCObject* dc = LookupDC(handle);
  dc->wrapsPixels = true;
  PixelView& view = dc->pixels;
  view.topRow = static_cast<BYTE*>(bits);
  view.rowStep = pitchBytes;
  view.width = width;
  view.height = height;
  view.bitCount = bitCount;
  if (rgbMasks)
    std::copy(rgbMasks, rgbMasks + 3, view.masks.begin());
  else if (bitCount == 16)
    view.masks = {0x7C00, 0x03E0, 0x001F};
  else
    view.masks = {0xFF0000, 0x00FF00, 0x0000FF};
  if (colorTable)
    std::copy(colorTable, colorTable + 256, view.colors.begin());
  else
    for (int i = 0; i < 256; ++i) {
      const BYTE grey = static_cast<BYTE>(bitCount <= 8 ? i * 255 / ((1 << bitCount) - 1) : i);
      view.colors[i] = {grey, grey, grey, 0};
    }
  return handle;
}

void SetDCRowsInUse(HDC handle, std::function<void(int32_t top, int32_t bottom)> rowsInUse) {
  if (DCObject* dc = LookupDC(handle); dc && dc->wrapsPixels) dc->rowsInUse = std::move(rowsInUse);
}

BOOL DeleteDC(HDC handle) {
  DCObject* dc = LookupDC(handle);
  if (!dc) return FALSE;
  for (GdiObject* o : dc->Selected()) --o->selections;
  Table().objects.erase(reinterpret_cast<uintptr_t>(handle));
  return TRUE;
}

int GetDeviceCaps(HDC handle, int index) {
  const DCObject* dc = LookupDC(handle);
  if (!dc) return 0;
  switch (index) {
    case BITSPIXEL: return dc->Target().bitCount;
    case PLANES: return 1;
    case RASTERCAPS: return dc->Target().Indexed() ? RC_PALETTE : 0;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case SIZEPALETTE: return dc->Target().ColorCount();
    case NUMRESERVED: return dc->Target().Indexed() ? 20 : 0;
    default: return 0;
  }
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ objectHandle) {
  DCObject* dc = LookupDC(handle);
  GdiObject* object = LookupObject(objectHandle);
  if (!dc || !object) return nullptr;
  switch (object->kind) {
    case GdiKind::Bitmap: {
      // A bitmap lives in one device context at a time, and a wrapping context keeps its pixels.
      auto* bitmap = static_cast<BitmapObject*>(object);
      if (dc->wrapsPixels || (bitmap->selections > 0 && !bitmap->stock && dc->bitmap != bitmap))
        return nullptr;
      return Reselect(dc->bitmap, bitmap);
    }
    case GdiKind::Font: return Reselect(dc->font, static_cast<FontObject*>(object));
    case GdiKind::Brush: return Reselect(dc->brush, static_cast<BrushObject*>(object));
    case GdiKind::Pen: return Reselect(dc->pen, static_cast<PenObject*>(object));
    case GdiKind::Palette: return nullptr;  // palettes go through SelectPalette
    case GdiKind::DC: return nullptr;
  }
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ handle) {
  GdiObject* object = LookupObject(handle);
  if (!object || object->kind == GdiKind::DC) return FALSE;
  if (object->stock) return TRUE;
  if (object->selections > 0) return FALSE;
  Table().objects.erase(reinterpret_cast<uintptr_t>(handle));
  return TRUE;
}

int GetObjectA(HGDIOBJ handle, int size, void* buffer) {
  GdiObject* object = LookupObject(handle);
  if (!object) return 0;
  switch (object->kind) {
    case GdiKind::Bitmap: {
      const auto* bitmap = static_cast<BitmapObject*>(object);
      DIBSECTION section{};
      section.dsBm = {0, bitmap->format.width, bitmap->format.height,
                      static_cast<LONG>(bitmap->format.rowBytes), 1,
                      static_cast<WORD>(bitmap->format.bitCount), bitmap->memory.get()};
      section.dsBmih = bitmap->header;
      std::copy(bitmap->format.masks.begin(), bitmap->format.masks.end(), section.dsBitfields);
      if (!bitmap->section) {
        section.dsBm.bmBits = nullptr;  // a device's pixels are not the caller's to touch
        if (!buffer) return sizeof(BITMAP);
        if (size < static_cast<int>(sizeof(BITMAP))) return 0;
        std::memcpy(buffer, &section.dsBm, sizeof(BITMAP));
        return sizeof(BITMAP);
      }
      if (!buffer) return sizeof(DIBSECTION);
      const int written = size >= static_cast<int>(sizeof(DIBSECTION)) ? sizeof(DIBSECTION)
                          : size >= static_cast<int>(sizeof(BITMAP))   ? sizeof(BITMAP)
                                                                       : 0;
      std::memcpy(buffer, &section, written);
      return written;
    }
    case GdiKind::Palette: {
      if (!buffer) return sizeof(WORD);
      if (size < static_cast<int>(sizeof(WORD))) return 0;
      const WORD count = static_cast<WORD>(static_cast<PaletteObject*>(object)->count);
      std::memcpy(buffer, &count, sizeof count);
      return sizeof(WORD);
    }
    case GdiKind::Font: {
      if (!buffer) return sizeof(LOGFONTA);
      if (size < static_cast<int>(sizeof(LOGFONTA))) return 0;
      std::memcpy(buffer, &static_cast<FontObject*>(object)->font, sizeof(LOGFONTA));
      return sizeof(LOGFONTA);
    }
    case GdiKind::Brush:
    case GdiKind::Pen:
    case GdiKind::DC: return 0;
  }
  return 0;
}

HGDIOBJ GetStockObject(int index) {
  const StockObjects& stock = Stock();
  switch (index) {
    case WHITE_BRUSH: return stock.whiteBrush->handle;
    case BLACK_BRUSH: return stock.blackBrush->handle;
    case NULL_BRUSH: return stock.nullBrush->handle;
    case BLACK_PEN: return stock.blackPen->handle;
    case SYSTEM_FONT: return stock.font->handle;
    case DEFAULT_PALETTE: return stock.palette->handle;
    default: return nullptr;
  }
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
  if (bits) *bits = nullptr;
  HandleTable& table = Table();
  if (table.refuseNextSection) {
    table.refuseNextSection = false;
    return nullptr;
  }
  auto bitmap = std::make_unique<BitmapObject>();
  if (section || !ParseBitmapInfo(info, usage, bitmap->format)) return nullptr;
  const size_t size = static_cast<size_t>(bitmap->format.rowBytes) * bitmap->format.height;
  bitmap->memory.reset(new (std::nothrow) BYTE[size]());
  if (!bitmap->memory) return nullptr;
  bitmap->header = info->bmiHeader;
  bitmap->header.biSize = sizeof(BITMAPINFOHEADER);
  bitmap->header.biSizeImage = static_cast<DWORD>(size);
  bitmap->view = ViewOfDib(bitmap->format, bitmap->memory.get());
  if (bits) *bits = bitmap->memory.get();
  return AddObject(std::move(bitmap));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
  if (planes != 1 || width <= 0 || height <= 0) return nullptr;
  if (bitCount != 1 && bitCount != 16 && bitCount != 24 && bitCount != 32) return nullptr;
  auto bitmap = std::make_unique<BitmapObject>();
  bitmap->section = false;
  DibFormat& format = bitmap->format;
  format.width = width;
  format.height = height;
  format.topDown = true;
  format.bitCount = static_cast<int32_t>(bitCount);
  format.rowBytes = (static_cast<int64_t>(width) * bitCount + 15) / 16 * 2;
  if (format.rowBytes > INT32_MAX / height) return nullptr;
  format.masks = bitCount == 16 ? std::array<DWORD, 3>{0x7C00, 0x03E0, 0x001F}
                                : std::array<DWORD, 3>{0xFF0000, 0x00FF00, 0x0000FF};
  format.colors[1] = {255, 255, 255, 0};  // monochrome: 0 black, 1 white
  const size_t size = static_cast<size_t>(format.rowBytes) * height;
  bitmap->memory.reset(new (std::nothrow) BYTE[size]());
  if (!bitmap->memory) return nullptr;
  if (bits) std::memcpy(bitmap->memory.get(), bits, size);
  bitmap->view = ViewOfDib(format, bitmap->memory.get());
  return AddObject(std::move(bitmap));
}

namespace {

// The section selected into dc when it has a colour table; colours are its format's and view's.
BitmapObject* IndexedSection(HDC handle) {
  DCObject* dc = LookupDC(handle);
  if (!dc || dc->wrapsPixels || dc->bitmap->stock || !dc->bitmap->section || !dc->bitmap->view.Indexed())
    return nullptr;
  return dc->bitmap;
}

UINT ClampedCount(const BitmapObject& bitmap, UINT start, UINT count) {
  const UINT colors = static_cast<UINT>(bitmap.view.ColorCount());
  return start >= colors ? 0 : std::min(count, colors - start);
}

}  // namespace

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
  BitmapObject* bitmap = IndexedSection(dc);
  if (!bitmap || !colors) return 0;
  const UINT n = ClampedCount(*bitmap, start, count);
  std::copy(colors, colors + n, bitmap->view.colors.begin() + start);
  std::copy(colors, colors + n, bitmap->format.colors.begin() + start);
  return n;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
  BitmapObject* bitmap = IndexedSection(dc);
  if (!bitmap || !colors) return 0;
  const UINT n = ClampedCount(*bitmap, start, count);
  std::copy(bitmap->view.colors.begin() + start, bitmap->view.colors.begin() + start + n, colors);
  return n;
}

HPALETTE CreatePalette(const LOGPALETTE* logical) {
  if (!logical || logical->palVersion != 0x300 || logical->palNumEntries == 0 ||
      logical->palNumEntries > 256)
    return nullptr;
  auto palette = std::make_unique<PaletteObject>();
  palette->count = logical->palNumEntries;
  const auto* entries = reinterpret_cast<const PALETTEENTRY*>(
      reinterpret_cast<const BYTE*>(logical) + offsetof(LOGPALETTE, palPalEntry));
  std::copy(entries, entries + palette->count, palette->entries.begin());
  return AddObject(std::move(palette));
}

UINT GetPaletteEntries(HPALETTE handle, UINT start, UINT count, PALETTEENTRY* entries) {
  const auto* palette = Lookup<PaletteObject>(handle, GdiKind::Palette);
  if (!palette) return 0;
  if (!entries) return palette->count;
  if (start >= palette->count) return 0;
  const UINT n = std::min(count, palette->count - start);
  std::copy(palette->entries.begin() + start, palette->entries.begin() + start + n, entries);
  return n;
}

HPALETTE SelectPalette(HDC handle, HPALETTE paletteHandle, BOOL) {
  DCObject* dc = LookupDC(handle);
  auto* palette = Lookup<PaletteObject>(paletteHandle, GdiKind::Palette);
  if (!dc || !palette) return nullptr;
  return Reselect(dc->palette, palette);
}

// Bitmap sections keep their own colour tables, so realising maps nothing new.
UINT RealizePalette(HDC handle) {
  const DCObject* dc = LookupDC(handle);
  return dc ? dc->palette->count : 0;
}

UINT GetSystemPaletteEntries(HDC handle, UINT start, UINT count, PALETTEENTRY* entries) {
  if (!LookupDC(handle)) return 0;
  if (!entries) return 256;
  if (start >= 256) return 0;
  const UINT n = std::min(count, 256 - start);
  for (UINT i = 0; i < n; ++i) entries[i] = SystemPaletteEntry(start + i);
  return n;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto brush = std::make_unique<BrushObject>();
  brush->color = color & 0xFFFFFF;
  return AddObject(std::move(brush));
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if ((style != PS_SOLID && style != PS_DASH) || width > 1) return nullptr;
  auto pen = std::make_unique<PenObject>();
  pen->style = style;
  pen->color = color & 0xFFFFFF;
  return AddObject(std::move(pen));
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (!font) return nullptr;
  auto object = std::make_unique<FontObject>();
  object->font = *font;
  object->font.lfFaceName[LF_FACESIZE - 1] = '\0';
  return AddObject(std::move(object));
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName) {
  LOGFONTA font{height,
                width,
                escapement,
                orientation,
                weight,
                static_cast<BYTE>(italic),
                static_cast<BYTE>(underline),
                static_cast<BYTE>(strikeOut),
                static_cast<BYTE>(charSet),
                static_cast<BYTE>(outPrecision),
                static_cast<BYTE>(clipPrecision),
                static_cast<BYTE>(quality),
                static_cast<BYTE>(pitchAndFamily),
                {}};
  if (faceName) std::strncpy(font.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirectA(&font);
}

void GdiTestRefuseNextDIBSection() { Table().refuseNextSection = true; }

void GdiTestReset() { Table().refuseNextSection = false; }

size_t GdiTestLiveObjectCount() {
  const auto& objects = Table().objects;
  return static_cast<size_t>(
      std::count_if(objects.begin(), objects.end(), [](const auto& entry) { return !entry.second->stock; }));
}
