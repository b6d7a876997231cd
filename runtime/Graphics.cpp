#include "runtime/Graphics.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/kernel/Arithmetic.h"
#include "runtime/ComponentStream.h"
#include "runtime/TypInfo.h"

// ---- Colours ----

namespace {

// The platform's standard colour scheme, by system colour index.
constexpr COLORREF kSystemColors[] = {
    0xC0C0C0,  // scroll bar
    0x808000,  // desktop
    0x800000,  // active caption
    0x808080,  // inactive caption
    0xC0C0C0,  // menu
    0xFFFFFF,  // window
    0x000000,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0xFFFFFF,  // caption text
    0xC0C0C0,  // active border
    0xC0C0C0,  // inactive border
    0x808080,  // application work space
    0x800000,  // highlight
    0xFFFFFF,  // highlight text
    0xC0C0C0,  // button face
    0x808080,  // button shadow
    0x808080,  // grey text
    0x000000,  // button text
    0xC0C0C0,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x000000,  // 3D dark shadow
    0xC0C0C0,  // 3D light
    0x000000,  // tool tip text
    0xE1FFFF,  // tool tip background
    0x000000,  // (unused)
    0xFF0000,  // hot light
    0xD08410,  // gradient of the active caption
    0xB5B5B5,  // gradient of the inactive caption
};

constexpr Integer kScreenPixelsPerInch = 96;

}  // namespace

COLORREF ColorToRGB(TColor Color) {
  if (Color >= 0) return static_cast<COLORREF>(Color);
  const uint32_t index = static_cast<uint32_t>(Color) & 0xFF;
  return index < std::size(kSystemColors) ? kSystemColors[index] : 0;
}

// ---- TGraphicsObject, TFont, TBrush ----

const TClassInfo& TGraphicsObject::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TGraphicsObject>();
  return info;
}

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

const TClassInfo& TFont::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TFont>();
  return info;
}

TFont::~TFont() {
  if (FHandle) DeleteObject(FHandle);
}

void TFont::SetColor(TColor Value) {
  if (FColor == Value) return;
  FColor = Value;
  Changed();
}

Integer TFont::Size() const { return -MulDiv(FHeight, 72, kScreenPixelsPerInch); }

void TFont::SetSize(Integer Value) { SetHeight(-MulDiv(Value, kScreenPixelsPerInch, 72)); }

void TFont::SetHeight(Integer Value) {
  if (FHeight == Value) return;
  FHeight = Value;
  Changed();
}

void TFont::SetName(const std::string& Value) {
  if (FName == Value || Value.empty()) return;
  FName = Value;
  Changed();
}

void TFont::SetStyle(TFontStyles Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Changed();
}

HFONT TFont::Handle() {
  if (!FHandle) {
    LOGFONTA font{};
    font.lfHeight = FHeight;
    font.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    font.lfItalic = FStyle.Contains(fsItalic);
    font.lfUnderline = FStyle.Contains(fsUnderline);
    font.lfStrikeOut = FStyle.Contains(fsStrikeOut);
    std::strncpy(font.lfFaceName, FName.c_str(), LF_FACESIZE - 1);
    FHandle = CreateFontIndirectA(&font);
  }
  return FHandle;
}

void TFont::Assign(TPersistent* Source) {
  if (auto* font = dynamic_cast<TFont*>(Source)) {
    FColor = font->FColor;
    FHeight = font->FHeight;
    FName = font->FName;
    FStyle = font->FStyle;
    Changed();
    return;
  }
  inherited::Assign(Source);
}

// The owner lets go of the old handle when told, so it can be deleted after.
void TFont::Changed() {
  inherited::Changed();
  if (FHandle) DeleteObject(FHandle);
  FHandle = nullptr;
}

const TClassInfo& TBrush::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TBrush>();
  return info;
}

TBrush::~TBrush() { ReleaseHandle(); }

void TBrush::ReleaseHandle() {
  if (FOwnsHandle) DeleteObject(FHandle);
  FHandle = nullptr;
  FOwnsHandle = false;
}

void TBrush::SetColor(TColor Value) {
  if (FColor == Value) return;
  FColor = Value;
  Changed();
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Changed();
}

HBRUSH TBrush::Handle() {
  if (!FHandle) {
    FOwnsHandle = FStyle != bsClear;
    FHandle = FOwnsHandle ? CreateSolidBrush(ColorToRGB(FColor)) : GetStockObject(NULL_BRUSH);
  }
  return FHandle;
}

void TBrush::Assign(TPersistent* Source) {
  if (auto* brush = dynamic_cast<TBrush*>(Source)) {
    FStyle = brush->FStyle;
    FColor = brush->FColor;
    Changed();
    return;
  }
  inherited::Assign(Source);
}

// As with fonts: the owner lets go first.
void TBrush::Changed() {
  inherited::Changed();
  ReleaseHandle();
}

const TClassInfo& TPen::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TPen>();
  return info;
}

TPen::~TPen() {
  if (FHandle) DeleteObject(FHandle);
}

void TPen::SetColor(TColor Value) {
  if (FColor == Value) return;
  FColor = Value;
  Changed();
}

void TPen::SetStyle(TPenStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Changed();
}

HPEN TPen::Handle() {
  if (!FHandle) FHandle = CreatePen(FStyle == psDash ? PS_DASH : PS_SOLID, 1, ColorToRGB(FColor));
  return FHandle;
}

// As with fonts: the owner lets go first.
void TPen::Changed() {
  inherited::Changed();
  if (FHandle) DeleteObject(FHandle);
  FHandle = nullptr;
}

// ---- TCanvas ----

const TClassInfo& TCanvas::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCanvas>();
  return info;
}

TCanvas::TCanvas() : FFont(new TFont()), FBrush(new TBrush()), FPen(new TPen()) {
  FFont->OnChange = MakeEvent<&TCanvas::FontChanged>(this);
  FBrush->OnChange = MakeEvent<&TCanvas::BrushChanged>(this);
  FPen->OnChange = MakeEvent<&TCanvas::PenChanged>(this);
}

TCanvas::~TCanvas() {
  SetHandle(nullptr);
  delete FFont;
  delete FBrush;
  delete FPen;
}

HDC TCanvas::Handle() {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid, csPenValid});
  return FHandle;
}

void TCanvas::SetHandle(HDC Value) {
  if (FHandle == Value) return;
  if (FHandle) {
    DeselectHandles();
    FHandle = nullptr;
    FState.Exclude(csHandleValid);
  }
  if (Value) {
    FHandle = Value;
    FState.Include(csHandleValid);
  }
}

void TCanvas::RequiredState(TCanvasState ReqState) {
  const TCanvasState needed = ReqState - FState;
  if (needed.Empty()) return;
  if (needed.Contains(csHandleValid)) {
    CreateHandle();
    if (!FHandle) throw EInvalidOperation(SNoCanvasHandle);
  }
  if (needed.Contains(csFontValid)) {
    SelectObject(FHandle, FFont->Handle());
    SetTextColor(FHandle, ColorToRGB(FFont->Color()));
    FState.Include(csFontValid);
  }
  if (needed.Contains(csBrushValid)) {
    SelectObject(FHandle, FBrush->Handle());
    const COLORREF color = ColorToRGB(FBrush->Color());
    // Text keeps its background only over a solid brush.
    SetBkColor(FHandle, FBrush->Style() == bsSolid ? color : ~color & 0xFFFFFF);
    SetBkMode(FHandle, FBrush->Style() == bsSolid ? OPAQUE : TRANSPARENT);
    FState.Include(csBrushValid);
  }
  if (needed.Contains(csPenValid)) {
    SelectObject(FHandle, FPen->Handle());
    FState.Include(csPenValid);
  }
}

// Stock objects take the place of ours so that fonts and brushes can be deleted.
void TCanvas::DeselectHandles() {
  if (FHandle && FState.Contains(csFontValid)) SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
  if (FHandle && FState.Contains(csBrushValid)) SelectObject(FHandle, GetStockObject(WHITE_BRUSH));
  if (FHandle && FState.Contains(csPenValid)) SelectObject(FHandle, GetStockObject(BLACK_PEN));
  FState.Exclude(csFontValid);
  FState.Exclude(csBrushValid);
  FState.Exclude(csPenValid);
}

void TCanvas::FontChanged(TObject*) {
  if (!FState.Contains(csFontValid)) return;
  FState.Exclude(csFontValid);
  SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
}

void TCanvas::BrushChanged(TObject*) {
  if (!FState.Contains(csBrushValid)) return;
  FState.Exclude(csBrushValid);
  SelectObject(FHandle, GetStockObject(WHITE_BRUSH));
}

void TCanvas::PenChanged(TObject*) {
  if (!FState.Contains(csPenValid)) return;
  FState.Exclude(csPenValid);
  SelectObject(FHandle, GetStockObject(BLACK_PEN));
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

template <class Body>
void TCanvas::Paint(TCanvasState ReqState, Body body) {
  Changing();
  RequiredState(ReqState);
  body();
  Changed();
}

void TCanvas::Draw(Integer X, Integer Y, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Paint({csHandleValid}, [&] {
    SetBkColor(FHandle, ColorToRGB(FBrush->Color()));
    SetTextColor(FHandle, ColorToRGB(FFont->Color()));
    Graphic->Draw(this, Rect(X, Y, X + Graphic->Width(), Y + Graphic->Height()));
  });
}

void TCanvas::StretchDraw(const TRect& Rect, TGraphic* Graphic) {
  if (!Graphic) return;
  Paint({csHandleValid}, [&] { Graphic->Draw(this, Rect); });
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source) {
  Paint({csHandleValid, csFontValid, csBrushValid}, [&] {
    Canvas->RequiredState({csHandleValid, csBrushValid});
    StretchBlt(FHandle, Dest.left, Dest.top, Dest.right - Dest.left, Dest.bottom - Dest.top,
               Canvas->FHandle, Source.left, Source.top, Source.right - Source.left,
               Source.bottom - Source.top, FCopyMode);
  });
}

void TCanvas::FillRect(const TRect& Rect) {
  Paint({csHandleValid, csBrushValid}, [&] { ::FillRect(FHandle, &Rect, FBrush->Handle()); });
}

void TCanvas::MoveTo(Integer X, Integer Y) {
  RequiredState({csHandleValid});
  MoveToEx(FHandle, X, Y, nullptr);
}

void TCanvas::LineTo(Integer X, Integer Y) {
  Paint({csHandleValid, csPenValid}, [&] { ::LineTo(FHandle, X, Y); });
}

void TCanvas::Rectangle(Integer X1, Integer Y1, Integer X2, Integer Y2) {
  Paint({csHandleValid, csPenValid, csBrushValid}, [&] { ::Rectangle(FHandle, X1, Y1, X2, Y2); });
}

void TCanvas::TextOut(Integer X, Integer Y, const std::string& Text) {
  Paint({csHandleValid, csFontValid, csBrushValid},
        [&] { TextOutA(FHandle, X, Y, Text.data(), static_cast<int>(Text.size())); });
}

TSize TCanvas::TextExtent(const std::string& Text) {
  RequiredState({csHandleValid, csFontValid});
  TSize size{0, 0};
  GetTextExtentPoint32A(FHandle, Text.data(), static_cast<int>(Text.size()), &size);
  return size;
}

TColor TCanvas::Pixels(Integer X, Integer Y) {
  RequiredState({csHandleValid});
  return static_cast<TColor>(GetPixel(FHandle, X, Y));
}

void TCanvas::SetPixels(Integer X, Integer Y, TColor Value) {
  Paint({csHandleValid}, [&] { SetPixel(FHandle, X, Y, ColorToRGB(Value)); });
}

// ---- TGraphic ----

const TClassInfo& TGraphic::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TGraphic>();
  return info;
}

void TGraphic::SetModified(bool Value) {
  if (Value)
    Changed(this);
  else
    FModified = false;
}

void TGraphic::Changed(TObject*) {
  FModified = true;
  if (OnChange) OnChange(this);
}

void TGraphic::DefineProperties(TFiler& Filer) {
  inherited::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "Data", [this](TStream& Stream) { ReadData(Stream); }, [this](TStream& Stream) { WriteData(Stream); },
      !Empty());
}

void TGraphic::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& FileName) {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(stream);
}

// ---- TBitmap ----

namespace {

Integer BitsPerPixel(TPixelFormat Format) {
  static constexpr Integer bits[] = {1, 4, 8, 16, 16, 24, 32};
  return bits[Format];
}

// The palette's colours as colour-table entries (blue, green, red), black where it has none.
std::array<RGBQUAD, 256> ColorsOf(HPALETTE Palette) {
  std::array<PALETTEENTRY, 256> entries{};
  GetPaletteEntries(Palette, 0, 256, entries.data());
  std::array<RGBQUAD, 256> colors{};
  for (size_t i = 0; i < colors.size(); ++i)
    colors[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
  return colors;
}

}  // namespace

const TClassInfo& TBitmap::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TBitmap>();
  return info;
}

TBitmap::TBitmap() : FDC(CreateCompatibleDC(nullptr)), FCanvas(new TCanvas()) {}

TBitmap::~TBitmap() {
  FreeHandle();
  delete FCanvas;
  DeleteDC(FDC);
  if (FPalette) DeleteObject(FPalette);
}

void TBitmap::SetHandleType(TBitmapHandleType Value) {
  if (FHandleType == Value) return;
  FHandleType = Value;
  MakeHandle();
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (FPixelFormat == Value) return;
  FPixelFormat = Value;
  MakeHandle();
}

void TBitmap::SetSize(Integer AWidth, Integer AHeight) {
  if (FWidth == AWidth && FHeight == AHeight) return;
  FWidth = AWidth;
  FHeight = AHeight;
  MakeHandle();
}

void TBitmap::FreeHandle() {
  if (!FHandle) return;
  FCanvas->SetHandle(nullptr);
  SelectObject(FDC, FOldBitmap);
  DeleteObject(FHandle);
  FHandle = nullptr;
}

HBITMAP TBitmap::MakeSection() const {
  // Header, the masks of a 5-6-5 section, then the colours.
  std::vector<BYTE> block(sizeof(BITMAPINFOHEADER) + 3 * sizeof(DWORD) + 256 * sizeof(RGBQUAD));
  const bool bitFields = FPixelFormat == pf16bit;
  const Integer bitCount = BitsPerPixel(FPixelFormat);
  const BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), FWidth, FHeight, 1, static_cast<WORD>(bitCount),
                                bitFields ? BI_BITFIELDS : BI_RGB, 0, 0, 0, 0, 0};
  std::memcpy(block.data(), &header, sizeof header);
  size_t colorsAt = sizeof header;
  if (bitFields) {
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(block.data() + colorsAt, masks, sizeof masks);
    colorsAt += sizeof masks;
  }
  if (bitCount <= 8) {
    const std::array<RGBQUAD, 256> colors = ColorsOf(FPalette);
    std::memcpy(block.data() + colorsAt, colors.data(), (size_t{1} << bitCount) * sizeof(RGBQUAD));
  }
  return CreateDIBSection(FDC, reinterpret_cast<const BITMAPINFO*>(block.data()), DIB_RGB_COLORS, nullptr,
                          nullptr, 0);
}

void TBitmap::MakeHandle() {
  FreeHandle();
  if (FWidth > 0 && FHeight > 0) {
    FHandle = FHandleType == bmDDB
                  ? CreateBitmap(FWidth, FHeight, 1, static_cast<UINT>(BitsPerPixel(FPixelFormat)), nullptr)
                  : MakeSection();
    if (!FHandle) throw EOutOfResources(SBitmapCannotBeMade);
    FOldBitmap = SelectObject(FDC, FHandle);
    FCanvas->SetHandle(FDC);
  }
  Changed(this);
}

void TBitmap::DoSetPalette(HPALETTE Value) {
  if (FPalette == Value) return;
  if (FPalette) DeleteObject(FPalette);
  FPalette = Value;
  // Device-dependent bitmaps and direct-colour sections have no colour table to set.
  if (FHandle) {
    const std::array<RGBQUAD, 256> colors = ColorsOf(FPalette);
    SetDIBColorTable(FDC, 0, 256, colors.data());
  }
  SetPaletteModified(true);
  Changed(this);
}

void TBitmap::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (!FHandle) return;
  HDC dc = ACanvas->Handle();
  HPALETTE oldPalette = nullptr;
  if (FPalette) {
    oldPalette = SelectPalette(dc, FPalette, FALSE);
    RealizePalette(dc);
  }
  StretchBlt(dc, Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top, FDC, 0, 0, FWidth,
             FHeight, ACanvas->CopyMode());
  if (oldPalette) SelectPalette(dc, oldPalette, FALSE);
}

void TBitmap::LoadFromStream(TStream&) { throw EInvalidGraphicOperation(SBitmapStreamsUnsupported); }
void TBitmap::SaveToStream(TStream&) { throw EInvalidGraphicOperation(SBitmapStreamsUnsupported); }
void TBitmap::LoadFromClipboardFormat(Word, HGLOBAL, HPALETTE) {
  throw EInvalidGraphicOperation(SBitmapStreamsUnsupported);
}
void TBitmap::SaveToClipboardFormat(Word&, HGLOBAL&, HPALETTE&) {
  throw EInvalidGraphicOperation(SBitmapStreamsUnsupported);
}

// ---- TPicture and the registry of picture formats ----

namespace {

struct TFileFormat {
  std::string Extension;
  std::string Description;
  TGraphicClass GraphicClass;
};

struct TClipboardFormat {
  Word Format;
  TGraphicClass GraphicClass;
};

struct TPictureFormats {
  std::vector<TFileFormat> Files;
  std::vector<TClipboardFormat> Clipboard;
};

TPictureFormats& PictureFormats() {
  static TPictureFormats formats;
  return formats;
}

std::string ExtensionOf(const std::string& FileName) {
  const size_t dot = FileName.find_last_of('.');
  const size_t separator = FileName.find_last_of("/\\");
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return "";
  return FileName.substr(dot + 1);
}

// The most recently registered entry satisfying Match, or nil.
template <class Entries, class Match>
TGraphicClass FindLatest(const Entries& entries, Match match) {
  auto found = std::find_if(entries.rbegin(), entries.rend(), match);
  return found == entries.rend() ? nullptr : found->GraphicClass;
}

TGraphicClass ClipboardClass(Word AFormat) {
  return FindLatest(PictureFormats().Clipboard, [&](const TClipboardFormat& f) { return f.Format == AFormat; });
}

}  // namespace

const TClassInfo& TPicture::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TPicture>();
  return info;
}

TPicture::~TPicture() { delete FGraphic; }

void TPicture::SetGraphic(TGraphic* Value) {
  std::unique_ptr<TGraphic> copy;
  if (Value) {
    copy.reset(Value->NewInstance());
    copy->Assign(Value);
  }
  ReplaceGraphic(copy.release());
}

void TPicture::ReplaceGraphic(TGraphic* Value) {
  delete FGraphic;
  FGraphic = Value;
  if (FGraphic) FGraphic->OnChange = MakeEvent<&TPicture::Changed>(this);
  Changed(this);
}

Integer TPicture::Width() const { return FGraphic ? FGraphic->Width() : 0; }

Integer TPicture::Height() const { return FGraphic ? FGraphic->Height() : 0; }

void TPicture::Changed(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::LoadFromFile(const std::string& FileName) {
  const std::string extension = AnsiLowerCase(ExtensionOf(FileName));
  TGraphicClass graphicClass = FindLatest(PictureFormats().Files, [&](const TFileFormat& f) {
    return AnsiLowerCase(f.Extension) == extension;
  });
  if (!graphicClass) throw EInvalidGraphic(SUnknownExtension, {extension});
  std::unique_ptr<TGraphic> graphic(graphicClass->Create());
  graphic->LoadFromFile(FileName);
  ReplaceGraphic(graphic.release());
}

void TPicture::SaveToFile(const std::string& FileName) {
  if (FGraphic) FGraphic->SaveToFile(FileName);
}

void TPicture::LoadFromClipboardFormat(Word AFormat, HGLOBAL AData, HPALETTE APalette) {
  TGraphicClass graphicClass = ClipboardClass(AFormat);
  if (!graphicClass) throw EInvalidGraphic(SUnknownClipboardFormat);
  std::unique_ptr<TGraphic> graphic(graphicClass->Create());
  graphic->LoadFromClipboardFormat(AFormat, AData, APalette);
  ReplaceGraphic(graphic.release());
}

void TPicture::SaveToClipboardFormat(Word& AFormat, HGLOBAL& AData, HPALETTE& APalette) {
  if (FGraphic) FGraphic->SaveToClipboardFormat(AFormat, AData, APalette);
}

bool TPicture::SupportsClipboardFormat(Word AFormat) { return ClipboardClass(AFormat) != nullptr; }

void TPicture::Assign(TPersistent* Source) {
  if (!Source)
    SetGraphic(nullptr);
  else if (auto* picture = dynamic_cast<TPicture*>(Source))
    SetGraphic(picture->Graphic());
  else if (auto* graphic = dynamic_cast<TGraphic*>(Source))
    SetGraphic(graphic);
  else
    inherited::Assign(Source);
}

void TPicture::DefineProperties(TFiler& Filer) {
  inherited::DefineProperties(Filer);
  Filer.DefineBinaryProperty(
      "Data", [this](TStream& Stream) { ReadData(Stream); }, [this](TStream& Stream) { WriteData(Stream); },
      FGraphic != nullptr);
}

void TPicture::ReadData(TStream& Stream) {
  unsigned char length = 0;
  std::string className;
  // An empty block names no class: it holds an empty picture.
  if (Stream.Read(&length, 1) == 1) {
    className.resize(length);
    Stream.ReadBuffer(className.data(), length);
  }
  ReplaceGraphic(nullptr);
  TGraphicClass graphicClass = FindGraphicClass(className);
  if (!graphicClass) {
    Stream.Seek(0, soFromEnd);
    return;
  }
  std::unique_ptr<TGraphic> graphic(graphicClass->Create());
  graphic->ReadData(Stream);
  ReplaceGraphic(graphic.release());
}

void TPicture::WriteData(TStream& Stream) {
  const std::string className = FGraphic ? FGraphic->ClassName() : std::string();
  const unsigned char length = static_cast<unsigned char>(std::min<size_t>(className.size(), 255));
  Stream.WriteBuffer(&length, 1);
  Stream.WriteBuffer(className.data(), length);
  if (FGraphic) FGraphic->WriteData(Stream);
}

void TPicture::RegisterFileFormat(const std::string& AExtension, const std::string& ADescription,
                                  TGraphicClass AGraphicClass) {
  PictureFormats().Files.push_back({AExtension, ADescription, AGraphicClass});
}

void TPicture::RegisterClipboardFormat(Word AFormat, TGraphicClass AGraphicClass) {
  PictureFormats().Clipboard.push_back({AFormat, AGraphicClass});
}

void TPicture::UnregisterGraphicClass(TGraphicClass AClass) {
  TPictureFormats& formats = PictureFormats();
  std::erase_if(formats.Files, [&](const TFileFormat& f) { return f.GraphicClass == AClass; });
  std::erase_if(formats.Clipboard, [&](const TClipboardFormat& f) { return f.GraphicClass == AClass; });
}

TGraphicClass TPicture::FindGraphicClass(std::string_view ClassName) {
  if (ClassName.empty()) return nullptr;
  auto named = [&](const auto& entry) { return entry.GraphicClass->ClassInfo->Name == ClassName; };
  const TPictureFormats& formats = PictureFormats();
  if (TGraphicClass found = FindLatest(formats.Files, named)) return found;
  return FindLatest(formats.Clipboard, named);
}
