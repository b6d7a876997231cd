// The DirectDraw object and its two thin companions, the palette and the clipper. A TDirectDraw
// owns every wrapper made on it (clippers, palettes, surfaces): each registers itself at creation
// and leaves the list when freed, and whatever is still registered dies with the object.
#pragma once

#include "dxbase/DXClass.h"
#include "platform/ddraw/DDraw.h"
#include "platform/kernel/ComPtr.h"
#include "runtime/Lists.h"

class TDirectDrawClipper;
class TDirectDrawPalette;
class TDirectDrawSurface;

class TDirectDraw : public TDirectX {
  ORVALIS_CLASS(TDirectDraw, TDirectX)

  // On the driver AGUID names (nil: the primary display driver) through the DirectDraw 7 entry.
  explicit TDirectDraw(GUID* AGUID) : TDirectDraw(AGUID, true) {}
  // Without DirectX7Mode through the DirectDraw 6 entry, and IDraw7 stays nil. Raises
  // EDirectDrawError when the object cannot be made or lacks an interface version.
  TDirectDraw(GUID* AGUID, bool DirectX7Mode);
  // Frees the surfaces, then the palettes, then the clippers still registered, each list from
  // its end.
  ~TDirectDraw() override;

  IDirectDraw* IDraw() const { return FIDraw.Get(); }
  IDirectDraw4* IDraw4() const { return FIDraw4.Get(); }
  IDirectDraw7* IDraw7() const { return FIDraw7.Get(); }
  // As above, but a missing interface raises EDirectDrawError "%s not made".
  IDirectDraw* IDDraw() const;
  IDirectDraw4* IDDraw4() const;
  IDirectDraw7* IDDraw7() const;

  const DDCAPS& DriverCaps() const { return FDriverCaps; }
  const DDCAPS& HELCaps() const { return FHELCaps; }

  Integer ClipperCount() const { return FClippers.Count(); }
  TDirectDrawClipper* Clippers(Integer Index) const;
  Integer PaletteCount() const { return FPalettes.Count(); }
  TDirectDrawPalette* Palettes(Integer Index) const;
  Integer SurfaceCount() const { return FSurfaces.Count(); }
  TDirectDrawSurface* Surfaces(Integer Index) const;

 private:
  friend class TDirectDrawClipper;
  friend class TDirectDrawPalette;
  friend class TDirectDrawSurface;

  ComPtr<IDirectDraw> FIDraw;
  ComPtr<IDirectDraw4> FIDraw4;
  ComPtr<IDirectDraw7> FIDraw7;
  DDCAPS FDriverCaps{};
  DDCAPS FHELCaps{};
  TList FClippers;
  TList FPalettes;
  TList FSurfaces;
};

class TDirectDrawPalette : public TDirectX {
  ORVALIS_CLASS(TDirectDrawPalette, TDirectX)

  // Registers with ADirectDraw; makes no palette yet.
  explicit TDirectDrawPalette(TDirectDraw* ADirectDraw);
  ~TDirectDrawPalette() override;

  TDirectDraw* DDraw() const { return FDDraw; }
  IDirectDrawPalette* IPalette() const { return FIPalette.Get(); }
  // Raises EDirectDrawPaletteError "%s not made" without a palette.
  IDirectDrawPalette* IDDPalette() const;
  void SetIPalette(IDirectDrawPalette* Value);

  // Drops the current palette and makes a new one; True when DirectDraw made it.
  bool CreatePalette(DWORD Caps, const PALETTEENTRY* Entries);
  bool SetEntries(Integer StartIndex, Integer NumEntries, const PALETTEENTRY* Entries);

 private:
  TDirectDraw* FDDraw;
  ComPtr<IDirectDrawPalette> FIPalette;
};

class TDirectDrawClipper : public TDirectX {
  ORVALIS_CLASS(TDirectDrawClipper, TDirectX)

  // Registers with ADirectDraw and makes the clipper; raises EDirectDrawClipperError "Clipper
  // cannot be made" (unregistered again) when DirectDraw refuses.
  explicit TDirectDrawClipper(TDirectDraw* ADirectDraw);
  ~TDirectDrawClipper() override;

  TDirectDraw* DDraw() const { return FDDraw; }
  IDirectDrawClipper* IClipper() const { return FIClipper.Get(); }
  // Raises EDirectDrawClipperError "%s not made" without a clipper.
  IDirectDrawClipper* IDDClipper() const;

  // Clips to the client area of this window.
  void SetHandle(HWND Value);

 private:
  TDirectDraw* FDDraw;
  ComPtr<IDirectDrawClipper> FIClipper;
};

// The display drivers DirectDraw knows, through the callback; bound from "DDraw.dll".
HRESULT DirectDrawEnumerate(LPDDENUMCALLBACKA Callback, void* Context);
