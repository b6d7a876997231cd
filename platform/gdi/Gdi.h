// The graphics device interface: memory device contexts, device-independent bitmap sections,
// palettes, stretching blits, solid fills, lines and anti-aliased text. Everything draws into
// memory; a device context either holds a selected bitmap section or wraps pixels owned by its
// creator (a DirectDraw surface).
#pragma once

#include <cstddef>
#include <functional>

#include "platform/kernel/WinTypes.h"

// Colour entry of a bitmap's colour table, in memory order blue, green, red, reserved.
struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: rows stored top row first
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// The older header; unsigned 16-bit sides and three-byte colour entries follow it.
struct BITMAPCOREHEADER {
  DWORD bcSize;
  WORD bcWidth;
  WORD bcHeight;
  WORD bcPlanes;
  WORD bcBitCount;
};
static_assert(sizeof(BITMAPCOREHEADER) == 12);

// A header followed by masks (with BI_BITFIELDS and a 40-byte header) and colour entries. The
// colours run past the declared single entry; callers allocate the whole block.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

// palNumEntries entries follow the header; callers allocate the whole block.
struct LOGPALETTE {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
};

constexpr int LF_FACESIZE = 32;
struct LOGFONTA {
  LONG lfHeight;  // negative: character height in pixels; positive: cell height
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>(c >> 8); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>(c >> 16); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Raster operations.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// Stretch modes. Every mode stretches by dropping or repeating whole pixels.
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
constexpr int STRETCH_DELETESCANS = COLORONCOLOR;

// Background modes for text.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int BLACK_PEN = 7;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_PALETTE = 15;

// GetDeviceCaps indices and flags.
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int RASTERCAPS = 38;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int SIZEPALETTE = 104;
constexpr int NUMRESERVED = 106;
constexpr int RC_PALETTE = 0x0100;

// Device contexts.
HDC CreateCompatibleDC(HDC dc);
// A device context drawing straight into memory the caller owns and keeps alive until DeleteDC.
// rgbMasks: red, green and blue masks for 16 and 32 bits, or nullptr for 5-5-5 and 8-8-8.
// colorTable: 256 entries for 8 bits or less, or nullptr for a grey ramp.
// Rows are pitchBytes apart, top row first. Null for a bit count other than 1, 4, 8, 16, 24, 32
// or a pitch too small for the width.
HDC CreateMemoryDCForPixels(void* bits, int32_t width, int32_t height, int32_t pitchBytes,
                            int32_t bitCount, const DWORD* rgbMasks, const RGBQUAD* colorTable);
// For such a context on memory its creator draws into late: rowsInUse(top, bottom) is called
// before the context reads or writes any of rows [top, bottom), so that drawing can be done first.
void SetDCRowsInUse(HDC dc, std::function<void(int32_t top, int32_t bottom)> rowsInUse);
BOOL DeleteDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);

// Objects.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
// Bitmap sections fill a BITMAP, or a DIBSECTION when size allows, device-dependent bitmaps a
// BITMAP only (and answer with its size); palettes a WORD with their entry
// count; fonts a LOGFONTA. Returns the bytes written, or the size needed when buffer is null.
int GetObjectA(HGDIOBJ object, int size, void* buffer);
inline int GetObject(HGDIOBJ object, int size, void* buffer) { return GetObjectA(object, size, buffer); }
HGDIOBJ GetStockObject(int index);

// Bitmap sections: uncompressed, 1 to 32 bits, colours as RGB entries (DIB_RGB_COLORS).
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// A device-dependent bitmap: rows word-aligned, top row first, pixels in the screen's formats
// (monochrome, or 16 bits laid out 5-5-5, 24 or 32 bits); bits (may be null) gives its first
// contents. GetObject describes it with the plain BITMAP only. Null for planes other than 1,
// any other bit count, or sides of 0 or less.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);
// Colour table of the section selected into dc (8 bits or less); returns the entries set/read.
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);

// Palettes.
HPALETTE CreatePalette(const LOGPALETTE* palette);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);
// The screen's palette: the 20 static colours at entries 0-9 and 246-255, black between.
UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries);

// Blits. Negative extents mirror; pixels outside either bitmap are left alone.
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, DWORD rop);
// Source pixels given by an information block and its bits (uncompressed). As on the original,
// for a bottom-up source sourceY counts from the bottom row. Returns the rows drawn, 0 on failure.
int StretchDIBits(HDC dest, int x, int y, int width, int height, int sourceX, int sourceY,
                  int sourceWidth, int sourceHeight, const void* bits, const BITMAPINFO* info,
                  UINT usage, DWORD rop);
// Drawing is immediate here, so there is never anything to flush.
BOOL GdiFlush();

COLORREF GetPixel(HDC dc, int x, int y);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);

// Brushes and fills.
HBRUSH CreateSolidBrush(COLORREF color);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// Pens and lines. Pens are one pixel wide. A dashed pen draws 18 pixels and leaves 6; its
// pattern runs on from one line to the next and starts again where the pen is moved.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
// Null for another style or a width above 1.
HPEN CreatePen(int style, int width, COLORREF color);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
// From the current position to (x, y), which is left undrawn and becomes the current position.
BOOL LineTo(HDC dc, int x, int y);
// The outline in the pen, running clockwise from the top left, and the inside filled with the
// brush; right and bottom lie just outside. The current position is left alone.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);

// Text, rendered from DejaVu Sans (bold for weights of FW_BOLD and more). Text is UTF-8; bytes
// that start no valid sequence are Windows-1252 characters.
HFONT CreateFontIndirectA(const LOGFONTA* font);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight,
                  DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                  DWORD outPrecision, DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily,
                  const char* faceName);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
// (x, y) is the top left of the text cell; the background fills the cell unless TRANSPARENT.
BOOL TextOutA(HDC dc, int x, int y, const char* text, int length);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size);
