// The class library's graphics: colours, rectangles, fonts and brushes, the canvas that draws on
// a device context, the graphic base class and the picture holder with its registry of picture
// formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "runtime/Classes.h"
#include "runtime/Streams.h"

// ---- Rectangles and points ----

using TRect = RECT;
using TPoint = POINT;
using TSize = SIZE;

inline TRect Rect(Integer Left, Integer Top, Integer Right, Integer Bottom) {
  return {Left, Top, Right, Bottom};
}
inline TRect Bounds(Integer Left, Integer Top, Integer Width, Integer Height) {
  return {Left, Top, Left + Width, Top + Height};
}
inline TPoint Point(Integer X, Integer Y) { return {X, Y}; }
inline bool operator==(const TRect& a, const TRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// ---- Colours ----

// 0x00BBGGRR, or with the high byte 0x80 a system colour whose low byte is its index.
using TColor = Integer;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;

inline constexpr TColor clSystemColor = static_cast<TColor>(0x80000000);
inline constexpr TColor clScrollBar = clSystemColor | 0;
inline constexpr TColor clBackground = clSystemColor | 1;
inline constexpr TColor clActiveCaption = clSystemColor | 2;
inline constexpr TColor clInactiveCaption = clSystemColor | 3;
inline constexpr TColor clMenu = clSystemColor | 4;
inline constexpr TColor clWindow = clSystemColor | 5;
inline constexpr TColor clWindowFrame = clSystemColor | 6;
inline constexpr TColor clMenuText = clSystemColor | 7;
inline constexpr TColor clWindowText = clSystemColor | 8;
inline constexpr TColor clCaptionText = clSystemColor | 9;
inline constexpr TColor clActiveBorder = clSystemColor | 10;
inline constexpr TColor clInactiveBorder = clSystemColor | 11;
inline constexpr TColor clAppWorkSpace = clSystemColor | 12;
inline constexpr TColor clHighlight = clSystemColor | 13;
inline constexpr TColor clHighlightText = clSystemColor | 14;
inline constexpr TColor clBtnFace = clSystemColor | 15;
inline constexpr TColor clBtnShadow = clSystemColor | 16;
inline constexpr TColor clGrayText = clSystemColor | 17;
inline constexpr TColor clBtnText = clSystemColor | 18;
inline constexpr TColor clInactiveCaptionText = clSystemColor | 19;
inline constexpr TColor clBtnHighlight = clSystemColor | 20;
inline constexpr TColor cl3DDkShadow = clSystemColor | 21;
inline constexpr TColor cl3DLight = clSystemColor | 22;
inline constexpr TColor clInfoText = clSystemColor | 23;
inline constexpr TColor clInfoBk = clSystemColor | 24;
inline constexpr TColor clGradientActiveCaption = clSystemColor | 27;
inline constexpr TColor clGradientInactiveCaption = clSystemColor | 28;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// The RGB value of a colour: system colours resolved through the platform's colour scheme,
// any other colour unchanged.
COLORREF ColorToRGB(TColor Color);

// ---- Fonts and brushes ----

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;

// Font and brush tell their owner (a canvas) of every change through OnChange.
class TGraphicsObject : public TPersistent {
  ORVALIS_CLASS(TGraphicsObject, TPersistent)

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
};

class TFont : public TGraphicsObject {
  ORVALIS_CLASS(TFont, TGraphicsObject)

  TFont() = default;
  ~TFont() override;

  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  // Points at the screen's 96 pixels per inch; Height is the character height in pixels,
  // negative as the platform expects it.
  Integer Size() const;
  void SetSize(Integer Value);
  Integer Height() const { return FHeight; }
  void SetHeight(Integer Value);
  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);

  // Made when first asked for; a change makes a new one.
  HFONT Handle();
  void Assign(TPersistent* Source) override;

 protected:
  void Changed() override;

 private:
  TColor FColor = clWindowText;
  Integer FHeight = -11;  // 8 points
  std::string FName = "MS Sans Serif";
  TFontStyles FStyle;
  HFONT FHandle = nullptr;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
  ORVALIS_CLASS(TBrush, TGraphicsObject)

  TBrush() = default;
  ~TBrush() override;

  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  // Hatched styles fill solid here.
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value);

  HBRUSH Handle();
  void Assign(TPersistent* Source) override;

 protected:
  void Changed() override;

 private:
  void ReleaseHandle();

  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  HBRUSH FHandle = nullptr;
  bool FOwnsHandle = false;  // stock brushes are not ours to delete
};

enum TPenStyle { psSolid, psDash };

// Pens are one pixel wide here.
class TPen : public TGraphicsObject {
  ORVALIS_CLASS(TPen, TGraphicsObject)

  TPen() = default;
  ~TPen() override;

  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle Value);

  HPEN Handle();

 protected:
  void Changed() override;

 private:
  TColor FColor = clBlack;
  TPenStyle FStyle = psSolid;
  HPEN FHandle = nullptr;
};

// ---- Canvas ----

inline constexpr const char* SNoCanvasHandle = "Leinwand erlaubt kein Zeichnen";

using TCopyMode = DWORD;
inline constexpr TCopyMode cmSrcCopy = SRCCOPY;

class TGraphic;

class TCanvas : public TPersistent {
  ORVALIS_CLASS(TCanvas, TPersistent)

  TCanvas();
  ~TCanvas() override;

  // The device context, made through CreateHandle when there is none. Asking for it counts as
  // the start of drawing: OnChanging fires first. Raises EInvalidOperation "Leinwand erlaubt
  // kein Zeichnen" when no device context can be had.
  HDC Handle();
  // Attaches a device context the canvas does not own (0 detaches); the font and brush are
  // taken out of the old one first.
  void SetHandle(HDC Value);
  bool HandleAllocated() const { return FHandle != nullptr; }

  TFont* Font() const { return FFont; }
  TBrush* Brush() const { return FBrush; }
  TPen* Pen() const { return FPen; }
  TCopyMode CopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode Value) { FCopyMode = Value; }

  void Draw(Integer X, Integer Y, TGraphic* Graphic);
  void StretchDraw(const TRect& Rect, TGraphic* Graphic);
  void CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source);
  void FillRect(const TRect& Rect);
  // Lines leave their end point undrawn; it is where the next one starts.
  void MoveTo(Integer X, Integer Y);
  void LineTo(Integer X, Integer Y);
  // Outlined with the pen, filled with the brush; X2 and Y2 lie just outside.
  void Rectangle(Integer X1, Integer Y1, Integer X2, Integer Y2);
  void TextOut(Integer X, Integer Y, const std::string& Text);
  TSize TextExtent(const std::string& Text);
  Integer TextWidth(const std::string& Text) { return TextExtent(Text).cx; }
  Integer TextHeight(const std::string& Text) { return TextExtent(Text).cy; }
  TColor Pixels(Integer X, Integer Y);
  void SetPixels(Integer X, Integer Y, TColor Value);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  // Where a descendant finds its device context (a surface's, a window's); the plain canvas
  // has none of its own.
  virtual void CreateHandle() {}
  virtual void Changing();
  virtual void Changed();

 private:
  enum TCanvasStateFlag { csHandleValid, csFontValid, csBrushValid, csPenValid };
  using TCanvasState = TSet<TCanvasStateFlag>;

  void RequiredState(TCanvasState ReqState);
  void DeselectHandles();
  void FontChanged(TObject* Sender);
  void BrushChanged(TObject* Sender);
  void PenChanged(TObject* Sender);
  // Every drawing operation: OnChanging, the state it needs, the drawing, then OnChange.
  template <class Body>
  void Paint(TCanvasState ReqState, Body body);

  HDC FHandle = nullptr;
  TCanvasState FState;
  TFont* FFont;
  TBrush* FBrush;
  TPen* FPen;
  TCopyMode FCopyMode = cmSrcCopy;
};

// ---- Graphics ----

// Image data shared by several graphics: counted references, freed with the last one.
class TSharedImage {
 public:
  TSharedImage() = default;
  TSharedImage(const TSharedImage&) = delete;
  TSharedImage& operator=(const TSharedImage&) = delete;
  virtual ~TSharedImage() = default;

  void Reference() { ++FRefCount; }
  // Gives back one reference; the image is freed when none is left.
  void Release() {
    if (--FRefCount <= 0) delete this;
  }
  Integer RefCount() const { return FRefCount; }

 private:
  Integer FRefCount = 0;
};

class TGraphic : public TPersistent {
  ORVALIS_CLASS(TGraphic, TPersistent)

  TGraphic() = default;

  bool Empty() { return GetEmpty(); }
  Integer Width() { return GetWidth(); }
  void SetWidth(Integer Value) { DoSetWidth(Value); }
  Integer Height() { return GetHeight(); }
  void SetHeight(Integer Value) { DoSetHeight(Value); }
  HPALETTE Palette() { return GetPalette(); }
  void SetPalette(HPALETTE Value) { DoSetPalette(Value); }
  bool Modified() const { return FModified; }
  void SetModified(bool Value);
  bool PaletteModified() const { return FPaletteModified; }
  void SetPaletteModified(bool Value) { FPaletteModified = Value; }

  virtual void LoadFromStream(TStream& Stream) = 0;
  virtual void SaveToStream(TStream& Stream) = 0;
  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName);
  virtual void LoadFromClipboardFormat(Word AFormat, HGLOBAL AData, HPALETTE APalette) = 0;
  virtual void SaveToClipboardFormat(Word& AFormat, HGLOBAL& AData, HPALETTE& APalette) = 0;

  // A new, empty graphic of this one's class (the language's virtual constructor).
  virtual TGraphic* NewInstance() const = 0;

  TNotifyEvent OnChange;

 protected:
  friend class TCanvas;
  friend class TPicture;

  virtual void Changed(TObject* Sender);
  // The graphic's data block as the stored property "Data".
  void DefineProperties(TFiler& Filer) override;
  virtual void Draw(TCanvas* ACanvas, const TRect& Rect) = 0;
  virtual bool GetEmpty() = 0;
  virtual Integer GetHeight() = 0;
  virtual Integer GetWidth() = 0;
  virtual HPALETTE GetPalette() { return nullptr; }
  virtual void DoSetHeight(Integer Value) = 0;
  virtual void DoSetWidth(Integer Value) = 0;
  virtual void DoSetPalette(HPALETTE) {}
  virtual void ReadData(TStream& Stream) { LoadFromStream(Stream); }
  virtual void WriteData(TStream& Stream) { SaveToStream(Stream); }

 private:
  bool FModified = false;
  bool FPaletteModified = false;
};

// ---- Bitmaps ----

enum TPixelFormat { pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };
// A bitmap section, or a bitmap in the screen's own formats (monochrome, 15, 16, 24, 32 bits).
enum TBitmapHandleType { bmDIB, bmDDB };

inline constexpr const char* SBitmapStreamsUnsupported = "Bitmap-Dateien werden nicht unterstützt";
inline constexpr const char* SBitmapCannotBeMade = "Bitmap kann nicht erzeugt werden";

// The class library's bitmap: a platform bitmap selected into a memory device context of its
// own, with an optional palette. A change of size, pixel format or handle type makes a new
// bitmap, all black. What this system needs of it is the handle, the palette and drawing; its
// stored form (bitmap files, the clipboard) is not offered and raises EInvalidGraphicOperation.
class TBitmap : public TGraphic {
  ORVALIS_CLASS(TBitmap, TGraphic)

  TBitmap();
  ~TBitmap() override;
  TGraphic* NewInstance() const override { return new TBitmap(); }

  // Nil while the bitmap is empty.
  HBITMAP Handle() const { return FHandle; }
  TBitmapHandleType HandleType() const { return FHandleType; }
  void SetHandleType(TBitmapHandleType Value);
  // pf16bit sections are 5-6-5, every other 16-bit bitmap 5-5-5.
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat Value);
  // A failure to make the bitmap leaves it empty and raises EOutOfResources.
  void SetSize(Integer AWidth, Integer AHeight);
  // Drawing into the bitmap; drawing while it is empty raises the canvas error.
  TCanvas* Canvas() const { return FCanvas; }

  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  void LoadFromClipboardFormat(Word AFormat, HGLOBAL AData, HPALETTE APalette) override;
  void SaveToClipboardFormat(Word& AFormat, HGLOBAL& AData, HPALETTE& APalette) override;

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  bool GetEmpty() override { return FHandle == nullptr; }
  Integer GetHeight() override { return FHeight; }
  Integer GetWidth() override { return FWidth; }
  HPALETTE GetPalette() override { return FPalette; }
  void DoSetHeight(Integer Value) override { SetSize(FWidth, Value); }
  void DoSetWidth(Integer Value) override { SetSize(Value, FHeight); }
  // Takes the ownership of the handle; a section of up to 8 bits takes its colours.
  void DoSetPalette(HPALETTE Value) override;

 private:
  void FreeHandle();
  void MakeHandle();
  HBITMAP MakeSection() const;

  HDC FDC;
  TCanvas* FCanvas;
  HBITMAP FHandle = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
  HPALETTE FPalette = nullptr;
  TBitmapHandleType FHandleType = bmDIB;
  TPixelFormat FPixelFormat = pf24bit;
  Integer FWidth = 0;
  Integer FHeight = 0;
};

// A graphic class as the picture registry keeps it: its class information and how to make one
// (the language's virtual constructor). GraphicClassOf<TDIB>() gives the one for a class.
struct TGraphicClassRef {
  TClass ClassInfo;
  TGraphic* (*Create)();
};
using TGraphicClass = const TGraphicClassRef*;

template <class T>
TGraphicClass GraphicClassOf() {
  static const TGraphicClassRef ref{&T::StaticClassInfo(), []() -> TGraphic* { return new T(); }};
  return &ref;
}

inline constexpr Word CF_DIB = 8;

inline constexpr const char* SUnknownExtension = "Unbekannte Bilddateierweiterung (.%s)";
inline constexpr const char* SUnknownClipboardFormat = "Nicht unterstütztes Zwischenablageformat";

// Holds one graphic of any registered class.
class TPicture : public TPersistent {
  ORVALIS_CLASS(TPicture, TPersistent)

  TPicture() = default;
  ~TPicture() override;

  // nil while empty. SetGraphic stores a copy of Value made by Value's own class.
  TGraphic* Graphic() const { return FGraphic; }
  void SetGraphic(TGraphic* Value);
  Integer Width() const;
  Integer Height() const;

  // By the file's extension among the registered file formats; an unknown extension raises
  // EInvalidGraphic "Unbekannte Bilddateierweiterung (.%s)".
  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName);
  // Raises EInvalidGraphic "Nicht unterstütztes Zwischenablageformat" for an unregistered format.
  void LoadFromClipboardFormat(Word AFormat, HGLOBAL AData, HPALETTE APalette);
  void SaveToClipboardFormat(Word& AFormat, HGLOBAL& AData, HPALETTE& APalette);
  static bool SupportsClipboardFormat(Word AFormat);

  void Assign(TPersistent* Source) override;

  // The picture's stored form: the graphic's class name as a short string, then its data.
  // A class name no registered format has leaves the picture empty and the rest unread.
  void ReadData(TStream& Stream);
  void WriteData(TStream& Stream);

  // The registry, searched most recently registered first. Extensions are without the dot and
  // compared without regard to case.
  static void RegisterFileFormat(const std::string& AExtension, const std::string& ADescription,
                                 TGraphicClass AGraphicClass);
  static void RegisterClipboardFormat(Word AFormat, TGraphicClass AGraphicClass);
  static void UnregisterGraphicClass(TGraphicClass AClass);
  // The registered class of that exact name, or nil.
  static TGraphicClass FindGraphicClass(std::string_view ClassName);

  TNotifyEvent OnChange;

 protected:
  // The stored form as the property "Data".
  void DefineProperties(TFiler& Filer) override;
  virtual void Changed(TObject* Sender);

 private:
  void ReplaceGraphic(TGraphic* Value);

  TGraphic* FGraphic = nullptr;
};
