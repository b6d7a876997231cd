#include "display/DXDrawDrivers.h"

#include "display/Direct3DSetup.h"
#include "dxbase/DXConsts.h"
#include "dxbase/ScopeExit.h"

namespace {

// Marks a palette entry as one Direct3D must not change.
constexpr BYTE D3DPAL_READONLY = 0x40;

// The options under which the control's chosen DirectDraw driver is opened instead of the
// primary display driver: full screen with hardware, not in system memory.
bool UsesChosenDriver(TDXDrawOptions Requested) {
  return Requested.Contains(doFullScreen) && Requested.Contains(doHardware) &&
         !Requested.Contains(doSystemMemory);
}

DDSURFACEDESC EmptySurfaceDesc() {
  DDSURFACEDESC desc{};
  desc.dwSize = kDDSurfaceDescSize;
  return desc;
}

}  // namespace

void ColorTableToPaletteEntries(const TColorTable& Table, bool AllowPalette256,
                                TPaletteEntryTable& Entries) {
  ColorTableToPalette(Table, Entries);
  if (!AllowPalette256) {
    // The system keeps its 20 static colours at both ends of the palette.
    TPaletteEntryTable system;
    ReadSystemPalette(system);
    for (int i = 0; i < 10; ++i) {
      Entries[i] = system[i];
      Entries[255 - i] = system[255 - i];
    }
  }
  for (PALETTEENTRY& entry : Entries) entry.peFlags = D3DPAL_READONLY;
}

void FreeAttachedSurface(TDirectDrawSurface* Surface, TDirectDrawSurface*& ZBuffer) {
  if (!ZBuffer) return;
  if (Surface && Surface->ISurface() && ZBuffer->ISurface())
    Surface->ISurface()->DeleteAttachedSurface(0, ZBuffer->ISurface());
  FreeAndNil(ZBuffer);
}

// ---- TDXDrawDriver ----

TDXDrawDriver::TDXDrawDriver(TCustomDXDraw* ADXDraw) : FDXDraw(ADXDraw) {
  const TDXDrawOptions requested = FDXDraw->Options();
  if (UsesChosenDriver(requested) && requested.Contains(do3D)) {
    TD3DSetupFlags flags{sfHardware};
    if (requested.Contains(doSelectDriver)) flags.Include(sfSelectDriver);
    if (!FDXDraw->Display()->FixedBitCount()) flags.Include(sfAnyBitCount);
    if (requested.Contains(doRetainedMode)) flags.Include(sfRetainedMode);
    if (requested.Contains(doZBuffer)) flags.Include(sfZBuffer);
    ApplyDriverSelection(flags, FDXDraw);
  }
  FDXDraw->FDDraw = new TDirectDraw(UsesChosenDriver(requested) ? FDXDraw->Driver() : nullptr,
                                    requested.Contains(doDirectX7Mode));
}

TDXDrawDriver::~TDXDrawDriver() {
  Finalize();
  FreeAndNil(FDXDraw->FDDraw);
}

void TDXDrawDriver::Finalize() {
  TDirectX6Objects& d3d = FDXDraw->FDirectX6;
  d3d.Viewport.Reset();
  d3d.Camera.Reset();
  d3d.Scene.Reset();
  d3d.D3DRMDevice.Reset();
  d3d.D3DRMDevice2.Reset();
  d3d.D3DRMDevice3.Reset();
  d3d.D3DDevice.Reset();
  d3d.D3DDevice2.Reset();
  d3d.D3DDevice3.Reset();
  FDXDraw->FD3DDevice7.Reset();
  d3d.D3D.Reset();
  d3d.D3D2.Reset();
  d3d.D3D3.Reset();
  FDXDraw->FD3D7.Reset();
  FreeAttachedSurface(FDXDraw->FSurface, FDXDraw->FZBuffer);
  FreeAndNil(FDXDraw->FClipper);
  FreeAndNil(FDXDraw->FPalette);
  FreeAndNil(FDXDraw->FSurface);
  FreeAndNil(FDXDraw->FPrimary);
  // The retained-mode objects go last, after everything made through them.
  d3d.D3DRM3.Reset();
  d3d.D3DRM2.Reset();
  d3d.D3DRM.Reset();
}

bool TDXDrawDriver::Restore() {
  if (!FDXDraw->FPrimary->Restore() || !FDXDraw->FSurface->Restore()) return false;
  FDXDraw->FPrimary->Fill(0);
  FDXDraw->FSurface->Fill(0);
  return true;
}

bool TDXDrawDriver::SetSize(Integer, Integer) { return false; }

void TDXDrawDriver::MakePalette(DWORD Caps) {
  TPaletteEntryTable entries;
  ColorTableToPaletteEntries(FDXDraw->ColorTable(),
                             FDXDraw->EffectiveOptions().Contains(doAllowPalette256), entries);
  FDXDraw->FPalette = new TDirectDrawPalette(FDXDraw->FDDraw);
  // A display without a palette still works in every mode of more than 8 bits.
  FDXDraw->FPalette->CreatePalette(Caps, entries.data());
}

// ---- TDXDrawDriverBlt ----

void TDXDrawDriverBlt::Initialize() {
  TCustomDXDraw& dx = *FDXDraw;
  dx.FPrimary = new TDirectDrawSurface(dx.FDDraw);
  DDSURFACEDESC desc = EmptySurfaceDesc();
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (!dx.FPrimary->CreateSurface(desc))
    throw EDXDrawError(Format(MsgCannotBeMade, {ObjNamePrimarySurface}));
  dx.FSurface = new TDirectDrawSurface(dx.FDDraw);
  dx.FClipper = new TDirectDrawClipper(dx.FDDraw);
  dx.FClipper->SetHandle(dx.Handle());
  dx.FPrimary->SetClipper(dx.FClipper);
  MakePalette(DDPCAPS_8BIT | DDPCAPS_INITIALIZE |
              (dx.EffectiveOptions().Contains(doAllowPalette256) ? DDPCAPS_ALLOW256 : 0));
  dx.FPrimary->SetPalette(dx.FPalette);
  InitializeSurface();
}

void TDXDrawDriverBlt::InitializeSurface() {
  TCustomDXDraw& dx = *FDXDraw;
  dx.FSurface->SetIDDSurface(nullptr);
  dx.FEffectiveOptions.Exclude(doSystemMemory);
  DDSURFACEDESC desc = EmptySurfaceDesc();
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwWidth = static_cast<DWORD>(Max(dx.FSurfaceWidth, 1));
  desc.dwHeight = static_cast<DWORD>(Max(dx.FSurfaceHeight, 1));
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  if (dx.Options().Contains(doSystemMemory)) desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
  if (dx.EffectiveOptions().Contains(do3D)) desc.ddsCaps.dwCaps |= DDSCAPS_3DDEVICE;
  if (!dx.FSurface->CreateSurface(desc)) {
    desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    if (!dx.FSurface->CreateSurface(desc))
      throw EDXDrawError(Format(MsgCannotBeMade, {ObjNameSurface}));
  }
  if (!(dx.FSurface->SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY))
    dx.FEffectiveOptions.Include(doSystemMemory);
  dx.FSurface->SetPalette(dx.FPalette);
  dx.FSurface->Fill(0);
  if (dx.EffectiveOptions().Contains(do3D)) Initialize3D();
}

bool TDXDrawDriverBlt::SetSize(Integer AWidth, Integer AHeight) {
  TCustomDXDraw& dx = *FDXDraw;
  dx.FSurfaceWidth = Max(AWidth, 1);
  dx.FSurfaceHeight = Max(AHeight, 1);
  ++dx.FRestoreNotifyLock;
  const ScopeExit unlock([&dx] { --dx.FRestoreNotifyLock; });
  dx.BroadcastNotify(ncFinalizeSurface);
  if (dx.FSurfaceEventOwed) {
    dx.FSurfaceEventOwed = false;
    dx.DoFinalizeSurface();
  }
  InitializeSurface();
  dx.BroadcastNotify(ncInitializeSurface);
  dx.FSurfaceEventOwed = true;
  dx.DoInitializeSurface();
  return true;
}

void TDXDrawDriverBlt::Flip() {
  TCustomDXDraw& dx = *FDXDraw;
  POINT origin{0, 0};
  ClientToScreen(dx.Handle(), &origin);
  TRect dest;
  if (dx.EffectiveOptions().Contains(doStretch)) {
    dest = Bounds(origin.x, origin.y, dx.Width(), dx.Height());
  } else {
    if (dx.EffectiveOptions().Contains(doCenter)) {
      // Integer division halves toward zero, also for a back surface larger than the control.
      origin.x += (dx.Width() - dx.FSurface->Width()) / 2;
      origin.y += (dx.Height() - dx.FSurface->Height()) / 2;
    }
    dest = Bounds(origin.x, origin.y, dx.FSurface->Width(), dx.FSurface->Height());
  }
  if (dx.EffectiveOptions().Contains(doWaitVBlank))
    dx.FDDraw->SetDXResult(dx.FDDraw->IDDraw()->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr));
  DDBLTFX fx{};
  fx.dwSize = sizeof(DDBLTFX);
  const TRect source = dx.FSurface->ClientRect();
  dx.FPrimary->Blt(&dest, &source, DDBLT_WAIT, fx, dx.FSurface);
}

// ---- TDXDrawDriverFlip ----

void TDXDrawDriverFlip::Initialize() {
  TCustomDXDraw& dx = *FDXDraw;
  DDSURFACEDESC desc = EmptySurfaceDesc();
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  if (dx.EffectiveOptions().Contains(do3D)) desc.ddsCaps.dwCaps |= DDSCAPS_3DDEVICE;
  dx.FPrimary = new TDirectDrawSurface(dx.FDDraw);
  if (!dx.FPrimary->CreateSurface(desc))
    throw EDXDrawError(Format(MsgCannotBeMade, {ObjNamePrimarySurface}));
  dx.FSurface = new TDirectDrawSurface(dx.FDDraw);
  DDSCAPS backBufferCaps{DDSCAPS_BACKBUFFER};
  IDirectDrawSurface* backBuffer = nullptr;
  if (dx.FPrimary->IDDSurface()->GetAttachedSurface(&backBufferCaps, &backBuffer) == DD_OK) {
    const ComPtr<IDirectDrawSurface> attached = ComPtr<IDirectDrawSurface>::Attach(backBuffer);
    dx.FSurface->SetIDDSurface(attached.Get());
  }
  dx.FEffectiveOptions.Exclude(doSystemMemory);
  if (dx.FSurface->SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY)
    dx.FEffectiveOptions.Include(doSystemMemory);
  dx.FClipper = new TDirectDrawClipper(dx.FDDraw);
  MakePalette(DDPCAPS_8BIT | (dx.Options().Contains(doAllowPalette256) ? DDPCAPS_ALLOW256 : 0));
  dx.FPrimary->SetPalette(dx.FPalette);
  dx.FSurface->SetPalette(dx.FPalette);
  if (dx.EffectiveOptions().Contains(do3D)) Initialize3D();
}

void TDXDrawDriverFlip::Flip() {
  TCustomDXDraw& dx = *FDXDraw;
  if (dx.Form() && dx.Form()->Active())
    dx.FPrimary->SetDXResult(dx.FPrimary->IDDSurface()->Flip(nullptr, DDFLIP_WAIT));
  else
    dx.FPrimary->SetDXResult(DD_OK);
}
