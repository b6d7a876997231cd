// One DirectDraw surface and the canvas that draws on it through GDI. The wrapper makes
// off-screen surfaces (falling back to system memory), draws other surfaces onto itself (plain,
// colour-keyed, clipped, mirrored, rotated), fills, locks, reads and writes single pixels, and
// copies itself to and from the class library's graphics.
#pragma once

#include "display/DirectDraw.h"
#include "runtime/Graphics.h"

class TDirectDrawSurface;

class TDirectDrawSurfaceCanvas : public TCanvas {
  ORVALIS_CLASS(TDirectDrawSurfaceCanvas, TCanvas)

  explicit TDirectDrawSurfaceCanvas(TDirectDrawSurface* ASurface);
  ~TDirectDrawSurfaceCanvas() override;

  TDirectDrawSurface* Surface() const { return FSurface; }
  HDC DC() const { return FDC; }
  // Gives the device context back. DirectDraw keeps a surface locked while its device context is
  // out, so GDI drawing must end with Release before the surface is blitted, locked or shown.
  void Release();

 protected:
  // Takes the surface's device context; a refusal leaves the canvas without one.
  void CreateHandle() override;

 private:
  TDirectDrawSurface* FSurface;
  HDC FDC = nullptr;
};

class TDirectDrawSurface : public TDirectX {
  ORVALIS_CLASS(TDirectDrawSurface, TDirectX)

  // An empty wrapper, registered with ADirectDraw.
  explicit TDirectDrawSurface(TDirectDraw* ADirectDraw);
  ~TDirectDrawSurface() override;

  TDirectDraw* DDraw() const { return FDDraw; }
  IDirectDrawSurface* ISurface() const { return FISurface.Get(); }
  IDirectDrawSurface4* ISurface4() const { return FISurface4.Get(); }
  IDirectDrawSurface7* ISurface7() const { return FISurface7.Get(); }
  // As above, but an empty wrapper raises EDirectDrawSurfaceError "%s not made".
  IDirectDrawSurface* IDDSurface() const;
  IDirectDrawSurface4* IDDSurface4() const;
  IDirectDrawSurface7* IDDSurface7() const;
  // Wraps the surface (nil empties the wrapper); wrapping the one already held changes nothing.
  void SetIDDSurface(IDirectDrawSurface* Value);
  // Wraps whatever surface interface Value is.
  void SetIDDSurfaceAny(IUnknown* Value);

  // Makes a surface from Desc; True when DirectDraw made it.
  bool CreateSurface(const DDSURFACEDESC& Desc);
  // An off-screen surface of this size; a side <= 0 empties the wrapper. Falls back to system
  // memory once, then raises EDirectDrawSurfaceError "Surface cannot be made".
  void SetSize(Integer AWidth, Integer AHeight);

  bool SystemMemory() const { return FSystemMemory; }
  void SetSystemMemory(bool Value) { FSystemMemory = Value; }
  bool HasClipper() const { return FHasClipper; }
  const DDSURFACEDESC& SurfaceDesc() const { return FSurfaceDesc; }
  Integer Width() const { return static_cast<Integer>(FSurfaceDesc.dwWidth); }
  Integer Height() const { return static_cast<Integer>(FSurfaceDesc.dwHeight); }
  Integer BitCount() const { return static_cast<Integer>(FSurfaceDesc.ddpfPixelFormat.dwRGBBitCount); }
  TRect ClientRect() const { return Rect(0, 0, Width(), Height()); }
  const DDSURFACEDESC& LockDesc() const { return FLockDesc; }
  Integer LockCount() const { return FLockCount; }

  // nil rectangles stand for the whole surface.
  bool Blt(const TRect* DestRect, const TRect* SrcRect, DWORD Flags, const DDBLTFX& BltFX,
           TDirectDrawSurface* Source);
  bool BltFast(Integer X, Integer Y, const TRect& SrcRect, DWORD Flags, TDirectDrawSurface* Source);
  // SrcRect of Source at (X, Y), clipped to both surfaces; a reversed side of SrcRect mirrors.
  void Draw(Integer X, Integer Y, TRect SrcRect, TDirectDrawSurface* Source, bool Transparent);
  // SrcRect of Source scaled to Width x Height at (X, Y) and turned by Angle (1/256 turns,
  // clockwise) about the point at the fractions CenterX, CenterY of the drawn rectangle.
  void DrawRotate(Integer X, Integer Y, Integer Width, Integer Height, const TRect& SrcRect,
                  TDirectDrawSurface* Source, double CenterX, double CenterY, bool Transparent,
                  Single Angle);
  // DevColor is a pixel value of the surface's own format.
  bool Fill(DWORD DevColor);
  // Locks do not nest. Rect nil (or the whole surface) locks everything.
  bool Lock(const TRect* ARect, DDSURFACEDESC& Desc);
  void Unlock();
  // Outside the surface, or when it cannot be locked, reads give 0 and writes do nothing.
  DWORD Pixels(Integer X, Integer Y);
  void SetPixels(Integer X, Integer Y, DWORD Value);
  // The surface's pixel value for a class-library colour, as GDI converts it.
  DWORD ColorMatch(TColor Color);
  bool Restore();
  // nil detaches.
  void SetClipper(TDirectDrawClipper* Value);
  void SetPalette(TDirectDrawPalette* Value);
  void SetColorKey(DWORD Flags, const DDCOLORKEY& Key);
  // The source colour key, a pixel value of the surface's format.
  void SetTransparentColor(DWORD Value);

  TDirectDrawSurfaceCanvas* Canvas();

  void Assign(TPersistent* Source) override;
  void LoadFromGraphic(TGraphic* Graphic);
  // AWidth or AHeight 0 take the size of SrcRect.
  void LoadFromGraphicRect(TGraphic* Graphic, Integer AWidth, Integer AHeight, const TRect& SrcRect);

 protected:
  void AssignTo(TPersistent* Dest) override;

 private:
  friend class TDirectDrawSurfaceCanvas;
  void Clear();
  bool DrawsThroughSpriteRenderer();
  void DrawMirrored(Integer X, Integer Y, TRect SrcRect, TDirectDrawSurface* Source, bool Transparent);

  TDirectDrawSurfaceCanvas* FCanvas = nullptr;
  bool FHasClipper = false;
  TDirectDraw* FDDraw;
  ComPtr<IDirectDrawSurface> FISurface;
  ComPtr<IDirectDrawSurface4> FISurface4;
  ComPtr<IDirectDrawSurface7> FISurface7;
  bool FSystemMemory = false;
  DDSURFACEDESC FSurfaceDesc{};
  DDSURFACEDESC FLockDesc{};
  Integer FLockCount = 0;
};

// Cuts DestRect and SrcRect alike so that each lies inside its bounds; False when either came
// out empty.
bool ClipBltRects(TRect& DestRect, TRect& SrcRect, const TRect& DestBounds, const TRect& SrcBounds);
