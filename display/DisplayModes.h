// The full-screen display mode a display control asks for, the modes DirectDraw offers (sorted)
// and the search for the nearest acceptable mode when the exact one is refused.
#pragma once

#include "platform/ddraw/DDraw.h"
#include "runtime/Classes.h"
#include "runtime/TypInfo.h"

class TCustomDXDraw;

class TDXDrawDisplayMode : public TCollectionItem {
  ORVALIS_CLASS(TDXDrawDisplayMode, TCollectionItem)

  explicit TDXDrawDisplayMode(TCollection* Collection) : TCollectionItem(Collection) {}

  // What DirectDraw reported for the mode.
  DDSURFACEDESC SurfaceDesc{};
  Integer Width() const { return static_cast<Integer>(SurfaceDesc.dwWidth); }
  Integer Height() const { return static_cast<Integer>(SurfaceDesc.dwHeight); }
  Integer BitCount() const { return static_cast<Integer>(SurfaceDesc.ddpfPixelFormat.dwRGBBitCount); }
};

class TDXDrawDisplay : public TPersistent {
  ORVALIS_CLASS(TDXDrawDisplay, TPersistent)

  explicit TDXDrawDisplay(TCustomDXDraw* ADXDraw);
  ~TDXDrawDisplay() override;

  // Copies the requested mode and its flags from another display (not the mode list).
  void Assign(TPersistent* Source) override;

  // Both load the mode list when it is empty.
  Integer Count();
  TDXDrawDisplayMode* Modes(Integer Index);
  // The first mode of exactly these values, or -1.
  Integer IndexOf(Integer AWidth, Integer AHeight, Integer ABitCount);
  // Forgets the mode list, so the next use asks DirectDraw again.
  void ClearModes() { FModes->Clear(); }

  // Sets this mode, or the nearest acceptable one; afterwards Width, Height and BitCount hold
  // the mode that was set. False when no mode could be set; never raises of its own.
  bool SetSize(Integer AWidth, Integer AHeight, Integer ABitCount);

  TCustomDXDraw* DXDraw() const { return FDXDraw; }
  Integer BitCount() const { return FBitCount; }
  // 8, 16, 24 or 32; anything else raises EDirectDrawError.
  void SetBitCount(Integer Value);
  Integer Width() const { return FWidth; }
  void SetWidth(Integer Value);
  Integer Height() const { return FHeight; }
  void SetHeight(Integer Value);
  // A fall-back mode must have exactly BitCount bits.
  bool FixedBitCount() const { return FFixedBitCount; }
  void SetFixedBitCount(bool Value) { FFixedBitCount = Value; }
  // Modes of the requested aspect ratio are tried first.
  bool FixedRatio() const { return FFixedRatio; }
  void SetFixedRatio(bool Value) { FFixedRatio = Value; }
  // A fall-back mode must have exactly the requested size.
  bool FixedSize() const { return FFixedSize; }
  void SetFixedSize(bool Value) { FFixedSize = Value; }

 private:
  void LoadDisplayModes();
  bool DoSetDisplayMode(Integer AWidth, Integer AHeight, Integer ABitCount);
  bool SetNearestMode(Integer AWidth, Integer AHeight, Integer ABitCount, bool RatioTest);

  Integer FBitCount = 16;
  TCustomDXDraw* FDXDraw;
  Integer FHeight = 480;
  TCollection* FModes;
  Integer FWidth = 640;
  bool FFixedBitCount = false;
  bool FFixedRatio = true;
  bool FFixedSize = true;
};
