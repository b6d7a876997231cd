// The DirectDraw object: one per DirectDrawCreate, answering as IDirectDraw, IDirectDraw4 and
// IDirectDraw7. It sets the cooperative level and display mode and makes surfaces, palettes and
// clippers. Its surfaces hold it alive.
#pragma once

#include <vector>

#include "platform/ddraw/DDraw.h"

class Surface;

class DirectDrawObject final : public IDirectDraw7, public IDirectDraw4, public IDirectDraw {
 public:
  // On the driver at this position of the driver list.
  explicit DirectDrawObject(uint32_t driver) : driver_(driver) {}

  // What the built-in driver (or its emulation layer) reports.
  static void DescribeDefaultDriver(DDCAPS& caps, bool emulation);

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // Alike in every version.
  HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) override;
  HRESULT CreatePalette(DWORD flags, PALETTEENTRY* entries, IDirectDrawPalette** palette,
                        IUnknown* outer) override;
  HRESULT FlipToGDISurface() override;
  HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) override;
  HRESULT RestoreAllSurfaces() override;
  HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, void* context,
                           LPDDENUMMODESCALLBACK2 callback) override;
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitCount, DWORD refreshRate,
                         DWORD flags) override;

  // Version 7.
  HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface,
                        IUnknown* outer) override;
  HRESULT DuplicateSurface(IDirectDrawSurface7* source, IDirectDrawSurface7** duplicate) override;

  // Version 4.
  HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface,
                        IUnknown* outer) override;
  HRESULT DuplicateSurface(IDirectDrawSurface4* source, IDirectDrawSurface4** duplicate) override;

  // Version 1.
  HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface,
                        IUnknown* outer) override;
  HRESULT DuplicateSurface(IDirectDrawSurface* source, IDirectDrawSurface** duplicate) override;
  HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC* filter, void* context,
                           LPDDENUMMODESCALLBACK callback) override;
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitCount) override;

  uint32_t Driver() const { return driver_; }
  bool HasCooperativeLevel() const { return level_ != 0; }
  bool IsExclusive() const { return (level_ & DDSCL_EXCLUSIVE) != 0; }

  // Surfaces made on this object, for RestoreAllSurfaces and FlipToGDISurface.
  void AddSurface(Surface* surface) { surfaces_.push_back(surface); }
  void RemoveSurface(Surface* surface);

 private:
  ~DirectDrawObject() override;

  template <class Desc, class SurfaceInterface>
  HRESULT MakeSurface(Desc* desc, SurfaceInterface** surface, IUnknown* outer);
  template <class SurfaceInterface>
  HRESULT MakeDuplicate(SurfaceInterface* source, SurfaceInterface** duplicate);
  template <class Desc, class Callback>
  HRESULT ListModes(Desc* filter, void* context, Callback callback);

  uint32_t driver_;
  ULONG references_ = 1;
  DWORD level_ = 0;
  HWND cooperativeWindow_ = nullptr;
  bool changedMode_ = false;
  std::vector<Surface*> surfaces_;
};
