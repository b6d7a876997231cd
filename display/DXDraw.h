// The display control: opens DirectDraw, switches the screen mode in full screen, has its
// presentation driver build the primary and back surfaces, presents each frame, restores lost
// surfaces and tells its listeners every step of its life. It hooks its form's messages to
// initialise on the form's first showing and to finalise and re-initialise around moving and
// sizing.
#pragma once

#include <vector>

#include "display/DirectDraw.h"
#include "display/DirectDrawSurface.h"
#include "display/DisplayModes.h"
#include "dxbase/ControlSubClass.h"
#include "images/ColorTable.h"
#include "platform/d3d/D3D.h"
#include "platform/d3drm/D3DRM.h"
#include "runtime/Forms.h"

class TD2D;
class TDXDrawDriver;

enum TDXDrawOption {
  doFullScreen,
  doNoWindowChange,
  doAllowReboot,
  doWaitVBlank,
  doAllowPalette256,
  doSystemMemory,
  doStretch,
  doCenter,
  doFlip,
  do3D,
  doDirectX7Mode,
  doRetainedMode,
  doHardware,
  doSelectDriver,
  doZBuffer
};
const TTypeInfo& EnumTypeInfo(TypeTag<TDXDrawOption>);
using TDXDrawOptions = TSet<TDXDrawOption>;

enum TDisplayNotifyCode {
  ncDestroying,
  ncInitializing,
  ncInitialize,
  ncInitializeSurface,
  ncFinalize,
  ncFinalizeSurface,
  ncRestore,
  ncSetSurfaceSize
};

// The Direct3D objects of the DirectX 6 path and, with retained mode, the retained-mode objects,
// scene, camera and viewport. Scene and camera (and the retained-mode objects) outlive a new
// Direct3D set-up on a re-made back surface; the presentation driver's Finalize releases all.
struct TDirectX6Objects {
  ComPtr<IDirect3D> D3D;
  ComPtr<IDirect3D2> D3D2;
  ComPtr<IDirect3D3> D3D3;
  ComPtr<IDirect3DDevice> D3DDevice;
  ComPtr<IDirect3DDevice2> D3DDevice2;
  ComPtr<IDirect3DDevice3> D3DDevice3;
  ComPtr<IDirect3DRM> D3DRM;
  ComPtr<IDirect3DRM2> D3DRM2;
  ComPtr<IDirect3DRM3> D3DRM3;
  ComPtr<IDirect3DRMDevice> D3DRMDevice;
  ComPtr<IDirect3DRMDevice2> D3DRMDevice2;
  ComPtr<IDirect3DRMDevice3> D3DRMDevice3;
  ComPtr<IDirect3DRMFrame> Camera;
  ComPtr<IDirect3DRMFrame> Scene;
  ComPtr<IDirect3DRMViewport> Viewport;
};

class TCustomDXDraw;
using TDisplayNotifyEvent = TEvent<TCustomDXDraw*, TDisplayNotifyCode>;

// The sprite renderer of the display initialised last; surface drawing on that display's back
// surface goes through it. Nil while no display has one.
extern TD2D* CurrentD2D;
// Makes the next Flip present nothing; every Flip clears it.
extern bool SkipNextFlip;

class TCustomDXDraw : public TCustomControl {
  ORVALIS_CLASS(TCustomDXDraw, TCustomControl)

  explicit TCustomDXDraw(TComponent* AOwner);
  // Finalises, tells the listeners it is going (ncDestroying) and gives the form its message
  // procedure back.
  ~TCustomDXDraw() override;

  // Finalises first, then builds everything anew; raises EDXDrawError (and is left finalised)
  // when the display cannot be built, "Form not found" without an enclosing form.
  void Initialize();
  void Finalize();
  // Brings lost surfaces back and lets the listeners refill theirs.
  void Restore();
  // Presents the back surface, unless the frame is to be skipped or cannot be drawn.
  void Flip();
  // True when the surfaces exist and are not lost (or could be restored).
  bool CanDraw();
  // Resizes the back surface (stores the size while not initialised).
  void SetSize(Integer AWidth, Integer AHeight);

  // Listeners, called last registered first; a new one is told the current state at once.
  void AddNotifyListener(TDisplayNotifyEvent Method);
  void RemoveNotifyListener(TDisplayNotifyEvent Method);
  void BroadcastNotify(TDisplayNotifyCode Code);

  // Sets the palette's 256 entries from Table (only while initialised with a palette).
  void SetColorTable(const TColorTable& Table);
  void SetCooperativeLevel();
  // Chooses the DirectDraw driver by its GUID; nil is the primary display driver.
  void SetDriver(const GUID* Value);
  GUID* Driver() const { return FDriver; }

  bool AutoInitialize() const { return FAutoInitialize; }
  void SetAutoInitialize(bool Value) { FAutoInitialize = Value; }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  TDXDrawDisplay* Display() const { return FDisplay; }
  void SetDisplay(TDXDrawDisplay* Value) { FDisplay->Assign(Value); }
  TDXDrawOptions Options() const { return FOptions; }
  void SetOptions(TDXDrawOptions Value);
  TDXDrawOptions EffectiveOptions() const { return FEffectiveOptions; }
  // The back surface's own size while it exists, else the stored size.
  Integer SurfaceWidth() const;
  void SetSurfaceWidth(Integer Value);
  Integer SurfaceHeight() const;
  void SetSurfaceHeight(Integer Value);

  bool Initialized() const { return FInitialized; }
  TCustomForm* Form() const { return FForm; }
  TDirectDraw* DDraw() const { return FDDraw; }
  TDirectDrawSurface* Primary() const { return FPrimary; }
  TDirectDrawSurface* Surface() const { return FSurface; }
  TDirectDrawClipper* Clipper() const { return FClipper; }
  TDirectDrawPalette* Palette() const { return FPalette; }
  TDirectDrawSurface* ZBuffer() const { return FZBuffer; }
  TDXDrawDriver* DXDrawDriver() const { return FDXDrawDriver; }
  TD2D* D2D() const { return FD2D; }
  // The Direct3D 7 object and device made on the back surface; nil without 3D.
  IDirect3D7* D3D7() const { return FD3D7.Get(); }
  IDirect3DDevice7* D3DDevice7() const { return FD3DDevice7.Get(); }
  // The DirectX 6 objects; all nil on the DirectX 7 path and without 3D.
  const TDirectX6Objects& DirectX6() const { return FDirectX6; }
  TColorTable& ColorTable() { return FColorTable; }
  TColorTable& DefColorTable() { return FDefColorTable; }

  void SetParent(TWinControl* AParent) override;
  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;
  bool PaletteChanged(bool Foreground) override;
  void WndProc(TMessage& Message) override;

  TNotifyEvent OnFinalize;
  TNotifyEvent OnFinalizeSurface;
  TNotifyEvent OnInitialize;
  TNotifyEvent OnInitializeSurface;
  TNotifyEvent OnInitializing;
  TNotifyEvent OnRestoreSurface;

 protected:
  virtual void DoFinalize();
  virtual void DoFinalizeSurface();
  virtual void DoInitialize();
  virtual void DoInitializeSurface();
  virtual void DoInitializing();
  virtual void DoRestoreSurface();

  void Loaded() override;
  void Paint() override;

 private:
  friend class TDXDrawDriver;
  friend class TDXDrawDriverBlt;
  friend class TDXDrawDriverFlip;

  bool Loading() const;
  void DeriveEffectiveOptions();
  void FormWndProc(TMessage& Message, TWndMethod DefWindowProc);
  void FlipToGDISurface();
  // What a form designer shows in place of the display: its outline, its diagonals and its class.
  void PaintDesignPlaceholder();
  // At run time a paint presents the back surface again.
  void PaintFrame();

  bool FAutoInitialize = true;
  bool FAutoSize = false;
  bool FInitializeEventOwed = false;
  bool FSurfaceEventOwed = false;
  TCustomForm* FForm = nullptr;
  std::vector<TDisplayNotifyEvent> FNotifyEvents;
  bool FInitialized = false;
  bool FInitializeCalled = false;
  bool FNeedsFinalize = false;
  bool FUpdating = false;
  TControlSubClass* FSubClass = nullptr;
  TDXDrawOptions FEffectiveOptions;
  TDXDrawOptions FOptions;
  Integer FRestoreNotifyLock = 0;
  TDXDrawDriver* FDXDrawDriver = nullptr;
  GUID* FDriver = nullptr;
  GUID FDriverGUID{};
  TDirectDraw* FDDraw = nullptr;
  TDXDrawDisplay* FDisplay;
  TDirectDrawClipper* FClipper = nullptr;
  TDirectDrawPalette* FPalette = nullptr;
  TDirectDrawSurface* FPrimary = nullptr;
  TDirectDrawSurface* FSurface = nullptr;
  Integer FSurfaceWidth = 0;
  Integer FSurfaceHeight = 0;
  TDirectDrawSurface* FZBuffer = nullptr;
  ComPtr<IDirect3D7> FD3D7;
  ComPtr<IDirect3DDevice7> FD3DDevice7;
  TDirectX6Objects FDirectX6;
  TD2D* FD2D = nullptr;
  TColorTable FColorTable{};
  TColorTable FDefColorTable{};
};

class TDXDraw : public TCustomDXDraw {
  ORVALIS_CLASS(TDXDraw, TCustomDXDraw)

  using TCustomDXDraw::TCustomDXDraw;
};

// The screen's 256 system palette entries.
void ReadSystemPalette(TPaletteEntryTable& Entries);
