// The presentation drivers: the strategy by which a display control builds its surfaces and
// presents its frames. The blit driver copies an off-screen back surface onto the primary inside
// the control's screen rectangle; the flip driver builds a flipping chain of a primary and one
// back buffer. A driver keeps no state of its own: everything it builds lives in the control.
#pragma once

#include "display/DXDraw.h"

class TDXDrawDriver : public TObject {
 public:
  // Chooses the DirectDraw driver and opens DirectDraw on it.
  explicit TDXDrawDriver(TCustomDXDraw* ADXDraw);
  // Finalises, then frees the DirectDraw object with every wrapper still made on it.
  ~TDXDrawDriver() override;

  TCustomDXDraw* DXDraw() const { return FDXDraw; }

  // Releases and frees everything the driver built.
  void Finalize();
  virtual void Flip() = 0;
  // Builds the surfaces; raises EDXDrawError when a surface cannot be made.
  virtual void Initialize() = 0;
  // Restores the primary and back surfaces and clears both; False when either stays lost.
  bool Restore();
  // Resizes the back surface; False when the driver cannot.
  virtual bool SetSize(Integer AWidth, Integer AHeight);

 protected:
  // Makes the palette on DDraw with these capabilities and the control's colour table.
  void MakePalette(DWORD Caps);
  // Sets up Direct3D on the back surface and records in EffectiveOptions what it achieved.
  void Initialize3D();

  TCustomDXDraw* FDXDraw;
};

class TDXDrawDriverBlt : public TDXDrawDriver {
 public:
  using TDXDrawDriver::TDXDrawDriver;

  void Flip() override;
  void Initialize() override;
  bool SetSize(Integer AWidth, Integer AHeight) override;
  // (Re)makes the back surface at the control's stored size.
  void InitializeSurface();
};

class TDXDrawDriverFlip : public TDXDrawDriver {
 public:
  using TDXDrawDriver::TDXDrawDriver;

  void Flip() override;
  void Initialize() override;
};

// The 256 palette entries for a colour table; unless AllowPalette256, entries 0-9 and 246-255
// come from the system palette. Every entry is flagged read-only for Direct3D.
void ColorTableToPaletteEntries(const TColorTable& Table, bool AllowPalette256,
                                TPaletteEntryTable& Entries);

// Detaches ZBuffer from Surface (when both hold DirectDraw surfaces), frees it and clears it.
void FreeAttachedSurface(TDirectDrawSurface* Surface, TDirectDrawSurface*& ZBuffer);
