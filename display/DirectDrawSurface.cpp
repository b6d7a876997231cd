#include "display/DirectDrawSurface.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "display/D2D.h"
#include "dxbase/DXConsts.h"
#include "dxbase/InterfaceQuery.h"
#include "dxbase/ScopeExit.h"
#include "images/DIB.h"
#include "render/DXRLock.h"
#include "render/DXRRotate.h"
#include "runtime/TypInfo.h"

namespace {

// Flags of Draw, by its Transparent argument.
constexpr DWORD BltFastFlags[2] = {DDBLTFAST_WAIT, DDBLTFAST_WAIT | DDBLTFAST_SRCCOLORKEY};
constexpr DWORD BltFlags[2] = {DDBLT_WAIT, DDBLT_WAIT | DDBLT_KEYSRC};

DDBLTFX EmptyBltFX() {
  DDBLTFX fx{};
  fx.dwSize = sizeof(DDBLTFX);
  return fx;
}

}  // namespace

// ---- TDirectDrawSurfaceCanvas ----

const TClassInfo& TDirectDrawSurfaceCanvas::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDirectDrawSurfaceCanvas>();
  return info;
}

TDirectDrawSurfaceCanvas::TDirectDrawSurfaceCanvas(TDirectDrawSurface* ASurface)
    : FSurface(ASurface) {}

TDirectDrawSurfaceCanvas::~TDirectDrawSurfaceCanvas() {
  Release();
  FSurface->FCanvas = nullptr;
}

void TDirectDrawSurfaceCanvas::CreateHandle() {
  FSurface->SetDXResult(FSurface->IDDSurface()->GetDC(&FDC));
  if (FSurface->DXResult() == DD_OK)
    SetHandle(FDC);
  else
    FDC = nullptr;
}

void TDirectDrawSurfaceCanvas::Release() {
  if (FSurface->ISurface() && FDC) {
    SetHandle(nullptr);
    FSurface->ISurface()->ReleaseDC(FDC);
    FDC = nullptr;
  }
}

// ---- TDirectDrawSurface: wrapping ----

const TClassInfo& TDirectDrawSurface::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDirectDrawSurface>();
  return info;
}

TDirectDrawSurface::TDirectDrawSurface(TDirectDraw* ADirectDraw) : FDDraw(ADirectDraw) {
  FDDraw->FSurfaces.Add(this);
}

TDirectDrawSurface::~TDirectDrawSurface() {
  delete FCanvas;
  SetIDDSurface(nullptr);
  FDDraw->FSurfaces.Remove(this);
}

IDirectDrawSurface* TDirectDrawSurface::IDDSurface() const {
  if (!FISurface) throw EDirectDrawSurfaceError(Format(MsgNotMade, {"IDirectDrawSurface"}));
  return FISurface.Get();
}

IDirectDrawSurface4* TDirectDrawSurface::IDDSurface4() const {
  if (!FISurface4) throw EDirectDrawSurfaceError(Format(MsgNotMade, {"IDirectDrawSurface4"}));
  return FISurface4.Get();
}

IDirectDrawSurface7* TDirectDrawSurface::IDDSurface7() const {
  if (!FISurface7) throw EDirectDrawSurfaceError(Format(MsgNotMade, {"IDirectDrawSurface7"}));
  return FISurface7.Get();
}

void TDirectDrawSurface::Clear() {
  // A device context still out belongs to the surface being let go.
  if (FCanvas) FCanvas->Release();
  FISurface.Reset();
  FISurface4.Reset();
  FISurface7.Reset();
  FHasClipper = false;
  FLockCount = 0;
  FSurfaceDesc = DDSURFACEDESC{};
}

void TDirectDrawSurface::SetIDDSurface(IDirectDrawSurface* Value) {
  if (!Value) {
    Clear();
    return;
  }
  ComPtr<IDirectDrawSurface> surface;
  QueryInto(Value, IID_IDirectDrawSurface, surface);
  if (surface == FISurface) return;
  Clear();
  FISurface = surface;
  QueryInto(Value, IID_IDirectDrawSurface4, FISurface4);
  if (FDDraw->IDraw7()) QueryInto(Value, IID_IDirectDrawSurface7, FISurface7);
  IDirectDrawClipper* clipper = nullptr;
  FHasClipper = FISurface->GetClipper(&clipper) == DD_OK && clipper;
  if (clipper) clipper->Release();
  FSurfaceDesc.dwSize = kDDSurfaceDescSize;
  FISurface->GetSurfaceDesc(&FSurfaceDesc);
}

void TDirectDrawSurface::SetIDDSurfaceAny(IUnknown* Value) {
  if (!Value) {
    SetIDDSurface(nullptr);
    return;
  }
  ComPtr<IDirectDrawSurface> surface;
  QueryInto(Value, IID_IDirectDrawSurface, surface);
  SetIDDSurface(surface.Get());
}

bool TDirectDrawSurface::CreateSurface(const DDSURFACEDESC& Desc) {
  SetIDDSurface(nullptr);
  DDSURFACEDESC desc = Desc;
  IDirectDrawSurface* surface = nullptr;
  FDDraw->SetDXResult(FDDraw->IDDraw()->CreateSurface(&desc, &surface, nullptr));
  FDXResult = FDDraw->DXResult();
  if (FDXResult != DD_OK) return false;
  const ComPtr<IDirectDrawSurface> made = ComPtr<IDirectDrawSurface>::Attach(surface);
  SetIDDSurface(made.Get());
  SetTransparentColor(0);
  return true;
}

void TDirectDrawSurface::SetSize(Integer AWidth, Integer AHeight) {
  if (AWidth <= 0 || AHeight <= 0) {
    SetIDDSurface(nullptr);
    return;
  }
  DDSURFACEDESC desc{};
  desc.dwSize = kDDSurfaceDescSize;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwWidth = static_cast<DWORD>(AWidth);
  desc.dwHeight = static_cast<DWORD>(AHeight);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | (FSystemMemory ? DDSCAPS_SYSTEMMEMORY : 0);
  if (CreateSurface(desc)) return;
  if (!FSystemMemory) {
    desc.ddsCaps.dwCaps = (desc.ddsCaps.dwCaps & ~DDSCAPS_VIDEOMEMORY) | DDSCAPS_SYSTEMMEMORY;
    if (CreateSurface(desc)) {
      FSystemMemory = true;
      return;
    }
  }
  throw EDirectDrawSurfaceError(Format(MsgCannotBeMade, {ObjNameSurface}));
}

// ---- Blits ----

bool TDirectDrawSurface::Blt(const TRect* DestRect, const TRect* SrcRect, DWORD Flags,
                             const DDBLTFX& BltFX, TDirectDrawSurface* Source) {
  if (!FISurface) return false;
  // DirectDraw only reads these; its signature predates const.
  TRect dest = DestRect ? *DestRect : TRect{};
  TRect src = SrcRect ? *SrcRect : TRect{};
  DDBLTFX fx = BltFX;
  SetDXResult(FISurface->Blt(DestRect ? &dest : nullptr, Source ? Source->ISurface() : nullptr,
                             SrcRect ? &src : nullptr, Flags, &fx));
  return DXResult() == DD_OK;
}

bool TDirectDrawSurface::BltFast(Integer X, Integer Y, const TRect& SrcRect, DWORD Flags,
                                 TDirectDrawSurface* Source) {
  if (!FISurface) return false;
  TRect src = SrcRect;
  SetDXResult(FISurface->BltFast(static_cast<DWORD>(X), static_cast<DWORD>(Y),
                                 Source ? Source->ISurface() : nullptr, &src, Flags));
  return DXResult() == DD_OK;
}

bool ClipBltRects(TRect& DestRect, TRect& SrcRect, const TRect& DestBounds, const TRect& SrcBounds) {
  if (DestBounds.left > DestRect.left) {
    SrcRect.left += DestBounds.left - DestRect.left;
    DestRect.left = DestBounds.left;
  }
  if (DestBounds.top > DestRect.top) {
    SrcRect.top += DestBounds.top - DestRect.top;
    DestRect.top = DestBounds.top;
  }
  if (SrcBounds.left > SrcRect.left) {
    DestRect.left += SrcBounds.left - SrcRect.left;
    SrcRect.left = SrcBounds.left;
  }
  if (SrcBounds.top > SrcRect.top) {
    DestRect.top += SrcBounds.top - SrcRect.top;
    SrcRect.top = SrcBounds.top;
  }
  if (DestBounds.right < DestRect.right) {
    SrcRect.right -= DestRect.right - DestBounds.right;
    DestRect.right = DestBounds.right;
  }
  if (DestBounds.bottom < DestRect.bottom) {
    SrcRect.bottom -= DestRect.bottom - DestBounds.bottom;
    DestRect.bottom = DestBounds.bottom;
  }
  if (SrcBounds.right < SrcRect.right) {
    DestRect.right -= SrcRect.right - SrcBounds.right;
    SrcRect.right = SrcBounds.right;
  }
  if (SrcBounds.bottom < SrcRect.bottom) {
    DestRect.bottom -= SrcRect.bottom - SrcBounds.bottom;
    SrcRect.bottom = SrcBounds.bottom;
  }
  return DestRect.left < DestRect.right && DestRect.top < DestRect.bottom &&
         SrcRect.left < SrcRect.right && SrcRect.top < SrcRect.bottom;
}

// The back surface of the display initialised last takes its drawing as textured quads.
bool TDirectDrawSurface::DrawsThroughSpriteRenderer() {
  return CurrentD2D && CurrentD2D->CanRender() && CurrentD2D->DXDraw()->Surface() == this;
}

void TDirectDrawSurface::Draw(Integer X, Integer Y, TRect SrcRect, TDirectDrawSurface* Source,
                              bool Transparent) {
  if (!Source || X > Width() || Y > Height()) return;
  if (DrawsThroughSpriteRenderer()) {
    CurrentD2D->RenderSurface(
        Source, Bounds(X, Y, SrcRect.right - SrcRect.left, SrcRect.bottom - SrcRect.top),
        Transparent);
    return;
  }
  if (SrcRect.left > SrcRect.right || SrcRect.top > SrcRect.bottom) {
    DrawMirrored(X, Y, SrcRect, Source, Transparent);
    return;
  }
  TRect dest = Bounds(X, Y, SrcRect.right - SrcRect.left, SrcRect.bottom - SrcRect.top);
  if (!ClipBltRects(dest, SrcRect, ClientRect(), Source->ClientRect())) return;
  if (!FHasClipper) {
    // BltFast is the quicker blit, but it cannot clip against a clipper.
    BltFast(dest.left, dest.top, SrcRect, BltFastFlags[Transparent], Source);
    if (DXResult() != DDERR_BLTFASTCANTCLIP) return;
    // A clipper was attached behind the wrapper's back: remember it and blit the other way.
    IDirectDrawClipper* clipper = nullptr;
    if (FISurface->GetClipper(&clipper) == DD_OK && clipper) {
      FHasClipper = true;
      clipper->Release();
    }
  }
  Blt(&dest, &SrcRect, BltFlags[Transparent], EmptyBltFX(), Source);
}

void TDirectDrawSurface::DrawMirrored(Integer X, Integer Y, TRect SrcRect, TDirectDrawSurface* Source,
                                      bool Transparent) {
  if (X + std::abs(SrcRect.left - SrcRect.right) <= 0 || Y + std::abs(SrcRect.top - SrcRect.bottom) <= 0)
    return;
  DDBLTFX fx = EmptyBltFX();
  const bool leftRight = SrcRect.left > SrcRect.right;
  const bool upDown = SrcRect.top > SrcRect.bottom;
  if (leftRight) {
    std::swap(SrcRect.left, SrcRect.right);
    fx.dwDDFX |= DDBLTFX_MIRRORLEFTRIGHT;
  }
  if (upDown) {
    std::swap(SrcRect.top, SrcRect.bottom);
    fx.dwDDFX |= DDBLTFX_MIRRORUPDOWN;
  }
  TRect dest = Bounds(X, Y, SrcRect.right - SrcRect.left, SrcRect.bottom - SrcRect.top);
  if (!ClipBltRects(dest, SrcRect, ClientRect(), Source->ClientRect())) return;
  // The clipped part was cut from the mirrored picture: find it in the unmirrored source.
  if (leftRight) {
    const Integer left = SrcRect.left;
    SrcRect.left = Source->Width() - SrcRect.right;
    SrcRect.right = Source->Width() - left;
  }
  if (upDown) {
    const Integer top = SrcRect.top;
    SrcRect.top = Source->Height() - SrcRect.bottom;
    SrcRect.bottom = Source->Height() - top;
  }
  Blt(&dest, &SrcRect, BltFlags[Transparent] | DDBLT_DDFX, fx, Source);
}

void TDirectDrawSurface::DrawRotate(Integer X, Integer Y, Integer Width, Integer Height,
                                    const TRect& SrcRect, TDirectDrawSurface* Source, double CenterX,
                                    double CenterY, bool Transparent, Single Angle) {
  if (this->Width() == 0 || this->Height() == 0 || Width == 0 || Height == 0 || !Source ||
      Source->Width() == 0 || Source->Height() == 0)
    return;
  if (DrawsThroughSpriteRenderer()) {
    CurrentD2D->RenderSurfaceRotate(Source, Transparent, X, Y, Width, Height, CenterX, CenterY,
                                    Angle);
    return;
  }
  TDXRSurface dest{};
  if (!LockSurface(IDDSurface(), dest)) return;
  const ScopeExit unlockDest([&] { UnlockSurface(IDDSurface(), dest); });
  TDXRSurface src{};
  DDSURFACEDESC srcDesc{};
  if (!LockSurfaceDesc(Source->IDDSurface(), srcDesc, src)) return;
  const ScopeExit unlockSrc([&] { UnlockSurface(Source->IDDSurface(), src); });
  DrawRotatedBlend(*RenderMachine(), dest, src, X, Y, Width, Height, SrcRect, CenterX, CenterY,
                   static_cast<int32_t>(Round(static_cast<double>(Angle))), BlendSource1, 0,
                   Transparent, srcDesc.ddckCKSrcBlt.dwColorSpaceLowValue);
}

bool TDirectDrawSurface::Fill(DWORD DevColor) {
  DDBLTFX fx = EmptyBltFX();
  fx.dwFillColor = DevColor;
  return Blt(nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, fx, nullptr);
}

// ---- Locks and pixels ----

bool TDirectDrawSurface::Lock(const TRect* ARect, DDSURFACEDESC& Desc) {
  if (!FISurface || FLockCount > 0) return false;
  FLockDesc.dwSize = kDDSurfaceDescSize;
  if (ARect && !(*ARect == ClientRect())) {
    TRect area = *ARect;
    SetDXResult(FISurface->Lock(&area, &FLockDesc, DDLOCK_WAIT, nullptr));
  } else {
    SetDXResult(FISurface->Lock(nullptr, &FLockDesc, DDLOCK_WAIT, nullptr));
  }
  if (DXResult() != DD_OK) return false;
  FLockCount = 1;
  Desc = FLockDesc;
  return true;
}

void TDirectDrawSurface::Unlock() {
  if (!FISurface || FLockCount <= 0) return;
  if (--FLockCount == 0) SetDXResult(FISurface->Unlock(FLockDesc.lpSurface));
}

namespace {

BYTE* PixelRow(const DDSURFACEDESC& desc, Integer Y) {
  return static_cast<BYTE*>(desc.lpSurface) + static_cast<ptrdiff_t>(Y) * desc.lPitch;
}

}  // namespace

DWORD TDirectDrawSurface::Pixels(Integer X, Integer Y) {
  DDSURFACEDESC desc;
  if (X < 0 || X >= Width() || Y < 0 || Y >= Height() || !Lock(nullptr, desc)) return 0;
  const BYTE* row = PixelRow(desc, Y);
  DWORD value = 0;
  switch (desc.ddpfPixelFormat.dwRGBBitCount) {
    case 1:
      value = (row[X / 8] >> (7 - X % 8)) & 1;
      break;
    case 4:
      value = X % 2 == 0 ? row[X / 2] >> 4 : row[X / 2] & 0x0F;
      break;
    case 8:
      value = row[X];
      break;
    case 16:
      value = static_cast<DWORD>(row[2 * X]) | static_cast<DWORD>(row[2 * X + 1]) << 8;
      break;
    case 24:
      value = static_cast<DWORD>(row[3 * X]) | static_cast<DWORD>(row[3 * X + 1]) << 8 |
              static_cast<DWORD>(row[3 * X + 2]) << 16;
      break;
    case 32:
      std::memcpy(&value, row + 4 * X, 4);
      break;
    default:
      break;
  }
  Unlock();
  return value;
}

void TDirectDrawSurface::SetPixels(Integer X, Integer Y, DWORD Value) {
  DDSURFACEDESC desc;
  if (X < 0 || X >= Width() || Y < 0 || Y >= Height() || !Lock(nullptr, desc)) return;
  BYTE* row = PixelRow(desc, Y);
  switch (desc.ddpfPixelFormat.dwRGBBitCount) {
    case 1: {
      const BYTE bit = static_cast<BYTE>(0x80 >> (X % 8));
      row[X / 8] = Value ? (row[X / 8] | bit) : (row[X / 8] & ~bit);
      break;
    }
    case 4:
      row[X / 2] = X % 2 == 0 ? static_cast<BYTE>((row[X / 2] & 0x0F) | (Value & 0x0F) << 4)
                              : static_cast<BYTE>((row[X / 2] & 0xF0) | (Value & 0x0F));
      break;
    case 8:
      row[X] = static_cast<BYTE>(Value);
      break;
    case 16:
      row[2 * X] = static_cast<BYTE>(Value);
      row[2 * X + 1] = static_cast<BYTE>(Value >> 8);
      break;
    case 24:
      row[3 * X] = static_cast<BYTE>(Value);
      row[3 * X + 1] = static_cast<BYTE>(Value >> 8);
      row[3 * X + 2] = static_cast<BYTE>(Value >> 16);
      break;
    case 32:
      std::memcpy(row + 4 * X, &Value, 4);
      break;
    default:
      break;
  }
  Unlock();
}

DWORD TDirectDrawSurface::ColorMatch(TColor Color) {
  if (!FISurface) return 0;
  const DWORD kept = Pixels(0, 0);
  {
    TDIB dib;
    dib.SetSize(1, 1, 8);
    const COLORREF rgb = ColorToRGB(Color);
    dib.ColorTable()[0] = PackRGBQuad(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
    dib.ApplyColorTable();
    dib.SetPixels(0, 0, 0);
    Canvas()->Draw(0, 0, &dib);
    Canvas()->Release();
  }
  const DWORD matched = Pixels(0, 0);
  SetPixels(0, 0, kept);
  return matched;
}

// ---- Surface state ----

bool TDirectDrawSurface::Restore() {
  if (!FISurface) return false;
  SetDXResult(FISurface->Restore());
  return DXResult() == DD_OK;
}

void TDirectDrawSurface::SetClipper(TDirectDrawClipper* Value) {
  if (!FISurface) return;
  SetDXResult(FISurface->SetClipper(Value ? Value->IClipper() : nullptr));
  FHasClipper = Value && DXResult() == DD_OK;
}

void TDirectDrawSurface::SetPalette(TDirectDrawPalette* Value) {
  if (!FISurface) return;
  SetDXResult(FISurface->SetPalette(Value ? Value->IPalette() : nullptr));
}

void TDirectDrawSurface::SetColorKey(DWORD Flags, const DDCOLORKEY& Key) {
  if (!FISurface) return;
  DDCOLORKEY key = Key;
  SetDXResult(FISurface->SetColorKey(Flags, &key));
}

void TDirectDrawSurface::SetTransparentColor(DWORD Value) {
  SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{Value, Value});
}

TDirectDrawSurfaceCanvas* TDirectDrawSurface::Canvas() {
  if (!FCanvas) FCanvas = new TDirectDrawSurfaceCanvas(this);
  return FCanvas;
}

// ---- Copies to and from graphics ----

void TDirectDrawSurface::Assign(TPersistent* Source) {
  if (!Source) {
    SetIDDSurface(nullptr);
  } else if (auto* graphic = dynamic_cast<TGraphic*>(Source)) {
    LoadFromGraphic(graphic);
  } else if (auto* picture = dynamic_cast<TPicture*>(Source)) {
    LoadFromGraphic(picture->Graphic());
  } else if (auto* surface = dynamic_cast<TDirectDrawSurface*>(Source)) {
    if (!surface->ISurface()) {
      SetIDDSurface(nullptr);
      return;
    }
    IDirectDrawSurface* duplicate = nullptr;
    FDDraw->SetDXResult(FDDraw->IDDraw()->DuplicateSurface(surface->ISurface(), &duplicate));
    if (FDDraw->DXResult() == DD_OK) {
      const ComPtr<IDirectDrawSurface> made = ComPtr<IDirectDrawSurface>::Attach(duplicate);
      SetIDDSurface(made.Get());
    }
  } else {
    TDirectX::Assign(Source);
  }
}

void TDirectDrawSurface::AssignTo(TPersistent* Dest) {
  auto* dib = dynamic_cast<TDIB*>(Dest);
  if (!dib) {
    TDirectX::AssignTo(Dest);
    return;
  }
  // A new image, whatever layout the bitmap's last one had.
  MakeDIBPixelLayout(8, 8, 8, dib->PixelLayout());
  dib->SetSize(Width(), Height(), 24);
  const ScopeExit release([this] { Canvas()->Release(); });
  dib->Canvas()->CopyRect(Rect(0, 0, dib->Width(), dib->Height()), Canvas(), ClientRect());
}

void TDirectDrawSurface::LoadFromGraphic(TGraphic* Graphic) {
  LoadFromGraphicRect(Graphic, 0, 0, Bounds(0, 0, Graphic->Width(), Graphic->Height()));
}

void TDirectDrawSurface::LoadFromGraphicRect(TGraphic* Graphic, Integer AWidth, Integer AHeight,
                                             const TRect& SrcRect) {
  const Integer srcWidth = SrcRect.right - SrcRect.left;
  const Integer srcHeight = SrcRect.bottom - SrcRect.top;
  if (AWidth == 0) AWidth = srcWidth;
  if (AHeight == 0) AHeight = srcHeight;
  SetSize(AWidth, AHeight);
  const ScopeExit release([this] { Canvas()->Release(); });
  if (auto* dib = dynamic_cast<TDIB*>(Graphic)) {
    StretchBlt(Canvas()->Handle(), 0, 0, AWidth, AHeight, dib->Canvas()->Handle(), SrcRect.left,
               SrcRect.top, srcWidth, srcHeight, SRCCOPY);
  } else if (AWidth == srcWidth && AHeight == srcHeight) {
    Canvas()->Draw(-SrcRect.left, -SrcRect.top, Graphic);
  } else {
    TDIB part;
    part.SetSize(srcWidth, srcHeight, 24);
    part.Canvas()->Draw(-SrcRect.left, -SrcRect.top, Graphic);
    Canvas()->StretchDraw(Rect(0, 0, AWidth, AHeight), &part);
  }
}
