#include "display/Direct3DSetup.h"

#include "display/DXDrawDrivers.h"
#include "dxbase/DXClass.h"
#include "dxbase/DXConsts.h"
#include "dxbase/InterfaceQuery.h"
#include "render/DXRSurface.h"

namespace {

// Fills Target with Source's interface Iid; a missing interface is the class library's
// interface-conversion error.
template <class T>
void QueryOrRaise(IUnknown* Source, REFIID Iid, ComPtr<T>& Target) {
  QueryInto(Source, Iid, Target);
  if (!Target) throw EInvalidCast(SInvalidCast);
}

constexpr DWORD kAnyUsualBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
constexpr const char* ObjNameDevice7 = "IDirect3DDevice7";
constexpr const char* ObjNameDevice3 = "IDirect3DDevice3";
constexpr const char* ObjNameRetainedModeDevice = "IDirect3DRMDevice2";

// ---- Driver selection ----

struct DriverDevices {
  bool Found = false;
  D3DDEVICEDESC Hardware{};
  D3DDEVICEDESC Software{};
  D3DDEVICEDESC Chosen{};
};

struct DriverSelection {
  TD3DSetupFlags Flags;
  GUID** Driver;
  GUID* GUIDStorage;
  Integer BitCount;
  bool BestExists = false;
  DDCAPS BestDriverCaps{};
  DDCAPS BestHELCaps{};
  DriverDevices Best;
  DriverDevices Current;
};

HRESULT AcceptDevice(GUID*, char*, char*, D3DDEVICEDESC* Hardware, D3DDEVICEDESC* Software,
                     void* Context) {
  auto& selection = *static_cast<DriverSelection*>(Context);
  const DWORD depths = Hardware->dwDeviceRenderBitDepth;
  const bool rendersAtBitCount =
      (depths & BitCountToDDBD(selection.BitCount)) ||
      (selection.Flags.Contains(sfAnyBitCount) && (depths & kAnyUsualBitDepth));
  if (Hardware->dcmColorModel != 0 && rendersAtBitCount) {
    selection.Current = {true, *Hardware, *Software, *Hardware};
  }
  return D3DENUMRET_OK;
}

// The devices of a driver come from the version-1 Direct3D interface, whose listing separates
// hardware and software descriptions as the comparison needs, whichever DirectDraw version
// the driver offers.
void ListDriverDevices(TDirectDraw& DirectDraw, DriverSelection& Selection) {
  Selection.Current = {};
  ComPtr<IDirect3D> direct3D;
  QueryOrRaise(DirectDraw.IDDraw(), IID_IDirect3D, direct3D);
  direct3D->EnumDevices(&AcceptDevice, &Selection);
}

bool CurrentDriverWins(const DriverSelection& Selection, const DDCAPS& DriverCaps) {
  if (!Selection.Current.Found) return false;
  if (!Selection.BestExists) return true;
  if (DriverCaps.dwVidMemTotal < Selection.BestDriverCaps.dwVidMemTotal) return false;
  Integer score = CompareMatchingFlags(DriverCaps.ddsCaps.dwCaps,
                                       Selection.BestDriverCaps.ddsCaps.dwCaps,
                                       {DDSCAPS_TEXTURE, DDSCAPS_ZBUFFER, DDSCAPS_MIPMAP});
  const D3DPRIMCAPS& best = Selection.Best.Hardware.dpcLineCaps;
  const D3DPRIMCAPS& current = Selection.Current.Hardware.dpcLineCaps;
  for (DWORD D3DPRIMCAPS::*field :
       {&D3DPRIMCAPS::dwMiscCaps, &D3DPRIMCAPS::dwRasterCaps, &D3DPRIMCAPS::dwAlphaCmpCaps,
        &D3DPRIMCAPS::dwSrcBlendCaps, &D3DPRIMCAPS::dwDestBlendCaps, &D3DPRIMCAPS::dwShadeCaps,
        &D3DPRIMCAPS::dwTextureCaps, &D3DPRIMCAPS::dwTextureFilterCaps,
        &D3DPRIMCAPS::dwTextureBlendCaps, &D3DPRIMCAPS::dwTextureAddressCaps})
    score += CompareBitCounts(best.*field, current.*field);
  return score >= 0;
}

BOOL ExamineDriver(GUID* Guid, char*, char*, void* Context) {
  auto& selection = *static_cast<DriverSelection*>(Context);
  TDirectDraw directDraw(Guid, true);
  const DDCAPS& caps = directDraw.DriverCaps();
  if (!(caps.dwCaps & DDCAPS_3D) || !(caps.ddsCaps.dwCaps & DDSCAPS_TEXTURE)) return TRUE;
  ListDriverDevices(directDraw, selection);
  if (!CurrentDriverWins(selection, caps)) return TRUE;
  selection.BestExists = true;
  selection.BestDriverCaps = caps;
  selection.BestHELCaps = directDraw.HELCaps();
  selection.Best = selection.Current;
  if (Guid) {
    *selection.GUIDStorage = *Guid;
    *selection.Driver = selection.GUIDStorage;
  } else {
    *selection.Driver = nullptr;
  }
  return TRUE;
}

// ---- Device search ----

struct DeviceSearch {
  bool Found = false;
  Integer BitCount = 0;
  bool Hardware = false;
  bool HardwareAllowed = false;
  // Of the chosen device.
  GUID Guid{};
  DWORD ZBufferDepths = 0;
};

// The reference rasteriser is never taken, nor a hardware device where hardware may not be
// used, nor one that cannot render at the back surface's bit count.
bool Skips(const DeviceSearch& Search, bool Hardware, const GUID& Guid, DWORD RenderDepths) {
  return (Hardware && !Search.HardwareAllowed) || Guid == IID_IDirect3DRefDevice ||
         !(RenderDepths & BitCountToDDBD(Search.BitCount));
}

// A hardware device is always taken (a later one replaces an earlier one), a software device
// only while no hardware device is.
void Consider(DeviceSearch& Search, bool Hardware, const GUID& Guid, DWORD RenderDepths,
              DWORD ZBufferDepths) {
  if (Skips(Search, Hardware, Guid, RenderDepths) || (!Hardware && Search.Hardware)) return;
  Search.Found = true;
  Search.Hardware = Hardware;
  Search.Guid = Guid;
  Search.ZBufferDepths = ZBufferDepths;
}

HRESULT ConsiderDevice7(char*, char*, D3DDEVICEDESC7* Desc, void* Context) {
  Consider(*static_cast<DeviceSearch*>(Context), Desc->dwDevCaps & D3DDEVCAPS_HWRASTERIZATION,
           Desc->deviceGUID, Desc->dwDeviceRenderBitDepth, Desc->dwDeviceZBufferBitDepth);
  return D3DENUMRET_OK;
}

// A device of the DirectX 6 list is a hardware device when its hardware description has a
// colour model, and is judged by that description, else by its software description.
HRESULT ConsiderDevice6(GUID* Guid, char*, char*, D3DDEVICEDESC* Hardware,
                        D3DDEVICEDESC* Software, void* Context) {
  const bool hardware = Hardware->dcmColorModel != 0;
  const D3DDEVICEDESC& judged = hardware ? *Hardware : *Software;
  if (judged.dcmColorModel == D3DCOLOR_RGB)
    Consider(*static_cast<DeviceSearch*>(Context), hardware, *Guid,
             judged.dwDeviceRenderBitDepth, judged.dwDeviceZBufferBitDepth);
  return D3DENUMRET_OK;
}

// Enumerate lists the devices into the search; no device taken raises "3D device not found".
template <class Enumerate>
DeviceSearch FindDevice(Integer BitCount, bool HardwareAllowed, Enumerate enumerate) {
  DeviceSearch search;
  search.BitCount = BitCount;
  search.HardwareAllowed = HardwareAllowed;
  enumerate(search);
  if (!search.Found) throw EDXDrawError(Msg3DDeviceNotFound);
  return search;
}

// Attaches a depth buffer of the deepest-but-cheapest depth the device offers; False when it
// offers none or the buffer cannot be made or attached.
bool MakeZBuffer(TDirectDrawSurface* Surface, TDirectDrawSurface*& ZBuffer, DWORD Depths,
                 bool Hardware) {
  FreeAttachedSurface(Surface, ZBuffer);
  DWORD depth = 0;
  if (Depths & DDBD_16)
    depth = 16;
  else if (Depths & DDBD_24)
    depth = 24;
  else if (Depths & DDBD_32)
    depth = 32;
  if (depth == 0) return false;
  DDSURFACEDESC desc{};
  desc.dwSize = kDDSurfaceDescSize;
  Surface->IDDSurface()->GetSurfaceDesc(&desc);
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_ZBUFFERBITDEPTH;
  desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (Hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
  desc.dwWidth = static_cast<DWORD>(Surface->Width());
  desc.dwHeight = static_cast<DWORD>(Surface->Height());
  desc.dwZBufferBitDepth = depth;
  ZBuffer = new TDirectDrawSurface(Surface->DDraw());
  if (!ZBuffer->CreateSurface(desc) ||
      Surface->IDDSurface()->AddAttachedSurface(ZBuffer->IDDSurface()) != DD_OK) {
    FreeAndNil(ZBuffer);
    return false;
  }
  return true;
}

// The result flags of a device search, with the depth buffer made when asked.
TD3DSetupFlags PrepareDevice(const DeviceSearch& Search, TD3DSetupFlags Requested,
                             TDirectDrawSurface* Surface, TDirectDrawSurface*& ZBuffer) {
  TD3DSetupFlags result;
  if (Search.Hardware) result.Include(sfHardware);
  if (Requested.Contains(sfZBuffer) &&
      MakeZBuffer(Surface, ZBuffer, Search.ZBufferDepths, Search.Hardware))
    result.Include(sfZBuffer);
  return result;
}

// Hardware may be used for a back surface in video memory, when asked for and when the driver
// has 3D with textures.
bool HardwareMayBeUsed(TDirectDrawSurface* Surface, TD3DSetupFlags Requested) {
  const DDCAPS& caps = Surface->DDraw()->DriverCaps();
  return (Surface->SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) &&
         Requested.Contains(sfHardware) && (caps.dwCaps & DDCAPS_3D) &&
         (caps.ddsCaps.dwCaps & DDSCAPS_TEXTURE);
}

// Searches a device, prepares it and has Create make it; when that fails, searches again among
// software devices only and tries once more, then raises "<DeviceName> cannot be made". The
// flags are worked out afresh for the second device, so they never claim hardware not had.
template <class Enumerate, class Create>
TD3DSetupFlags MakeDevice(TDirectDrawSurface* Surface, TDirectDrawSurface*& ZBuffer,
                          TD3DSetupFlags Requested, const char* DeviceName, Enumerate enumerate,
                          Create create) {
  bool hardwareAllowed = HardwareMayBeUsed(Surface, Requested);
  DeviceSearch search = FindDevice(Surface->BitCount(), hardwareAllowed, enumerate);
  TD3DSetupFlags flags = PrepareDevice(search, Requested, Surface, ZBuffer);
  if (!create(search)) {
    hardwareAllowed = false;
    search = FindDevice(Surface->BitCount(), hardwareAllowed, enumerate);
    flags = PrepareDevice(search, Requested, Surface, ZBuffer);
    if (!create(search)) throw EDXDrawError(Format(MsgCannotBeMade, {DeviceName}));
  }
  if (hardwareAllowed) flags.Include(sfHardware);
  return flags;
}

// Retained mode on the DirectX 6 device: the retained-mode objects (made once), the device, and
// a scene with a camera (made once) seen through a viewport over the whole back surface.
void InitializeRetainedMode(TDirectDrawSurface* Surface, TDirectX6Objects& D3D) {
  if (!D3D.D3DRM) {
    using CreateProc = HRESULT (*)(IDirect3DRM**);
    const auto create =
        reinterpret_cast<CreateProc>(LoadLibraryProc("D3DRM.dll", "Direct3DRMCreate"));
    if (create(D3D.D3DRM.ReleaseAndGetAddressOf()) != D3DRM_OK)
      throw EDXDrawError(Format(MsgCannotBeInitialized, {ObjNameRetainedMode}));
  }
  QueryOrRaise(D3D.D3DRM.Get(), IID_IDirect3DRM2, D3D.D3DRM2);
  QueryOrRaise(D3D.D3DRM.Get(), IID_IDirect3DRM3, D3D.D3DRM3);
  if (D3D.D3DRM2->CreateDeviceFromD3D(D3D.D3D2.Get(), D3D.D3DDevice2.Get(),
                                      D3D.D3DRMDevice2.ReleaseAndGetAddressOf()) != D3DRM_OK)
    throw EDXDrawError(Format(MsgCannotBeMade, {ObjNameRetainedModeDevice}));
  QueryOrRaise(D3D.D3DRMDevice2.Get(), IID_IDirect3DRMDevice, D3D.D3DRMDevice);
  QueryOrRaise(D3D.D3DRMDevice2.Get(), IID_IDirect3DRMDevice3, D3D.D3DRMDevice3);
  IDirect3DRMDevice* device = D3D.D3DRMDevice.Get();
  device->SetBufferCount(2);
  device->SetQuality(D3DRMRENDER_GOURAUD);
  device->SetTextureQuality(D3DRMTEXTURE_NEAREST);
  device->SetDither(TRUE);
  if (Surface->BitCount() == 8) device->SetShades(8);
  D3D.D3DRM->SetDefaultTextureColors(64);
  D3D.D3DRM->SetDefaultTextureShades(32);
  if (!D3D.Scene) {
    D3D.D3DRM->CreateFrame(nullptr, D3D.Scene.ReleaseAndGetAddressOf());
    D3D.D3DRM->CreateFrame(D3D.Scene.Get(), D3D.Camera.ReleaseAndGetAddressOf());
    if (D3D.Camera) D3D.Camera->SetPosition(D3D.Scene.Get(), 0, 0, 0);
  }
  // A frame or viewport retained mode would not make leaves the scene without it; setting the
  // clipping plane of a viewport that is not there would only crash.
  D3D.D3DRM->CreateViewport(device, D3D.Camera.Get(), 0, 0, static_cast<DWORD>(Surface->Width()),
                            static_cast<DWORD>(Surface->Height()),
                            D3D.Viewport.ReleaseAndGetAddressOf());
  if (D3D.Viewport) D3D.Viewport->SetBack(5000);
}

}  // namespace

DWORD BitCountToDDBD(Integer BitCount) {
  switch (BitCount) {
    case 1: return DDBD_1;
    case 2: return DDBD_2;
    case 4: return DDBD_4;
    case 8: return DDBD_8;
    case 16: return DDBD_16;
    case 24: return DDBD_24;
    case 32: return DDBD_32;
    default: return 0;
  }
}

Integer CountMatchingFlags(DWORD Value, std::initializer_list<DWORD> Masks) {
  Integer count = 0;
  for (DWORD mask : Masks)
    if (Value & mask) ++count;
  return count;
}

Integer CompareMatchingFlags(DWORD A, DWORD B, std::initializer_list<DWORD> Masks) {
  const Integer a = CountMatchingFlags(A, Masks), b = CountMatchingFlags(B, Masks);
  return a < b ? -1 : a > b ? 1 : 0;
}

Integer CompareBitCounts(DWORD A, DWORD B) {
  const Integer difference =
      static_cast<Integer>(CountBits(A)) - static_cast<Integer>(CountBits(B));
  return difference < 0 ? -1 : difference > 0 ? 1 : 0;
}

void SelectDriver(TD3DSetupFlags Flags, Integer& BitCount, GUID*& Driver, GUID& GUIDStorage) {
  DriverSelection selection;
  selection.Flags = Flags;
  selection.Driver = &Driver;
  selection.GUIDStorage = &GUIDStorage;
  selection.BitCount = BitCount;
  if (Flags.Contains(sfSelectDriver)) {
    DirectDrawEnumerate(&ExamineDriver, &selection);
  } else {
    TDirectDraw directDraw(Driver, true);
    selection.BestDriverCaps = directDraw.DriverCaps();
    selection.BestHELCaps = directDraw.HELCaps();
    ListDriverDevices(directDraw, selection);
    if (selection.Current.Found) selection.Best.Chosen = selection.Current.Hardware;
    selection.BestExists = true;
  }
  if (selection.BestExists && Flags.Contains(sfAnyBitCount)) {
    const DWORD depths = selection.Best.Chosen.dwDeviceRenderBitDepth;
    if (!(depths & BitCountToDDBD(selection.BitCount))) {
      if (depths & DDBD_16)
        selection.BitCount = 16;
      else if (depths & DDBD_24)
        selection.BitCount = 24;
      else if (depths & DDBD_32)
        selection.BitCount = 32;
    }
  }
  BitCount = selection.BitCount;
}

void ApplyDriverSelection(TD3DSetupFlags Flags, TCustomDXDraw* DXDraw) {
  Integer bitCount = DXDraw->Display()->BitCount();
  GUID* driver = DXDraw->Driver();
  GUID storage{};
  SelectDriver(Flags, bitCount, driver, storage);
  DXDraw->SetDriver(driver);
  DXDraw->Display()->SetBitCount(bitCount);
}

void InitializeDirect3D7(TDirectDrawSurface* Surface, TDirectDrawSurface*& ZBuffer,
                         ComPtr<IDirect3D7>& D3D7, TD3DSetupFlags& Flags,
                         ComPtr<IDirect3DDevice7>& D3DDevice7) {
  D3D7.Reset();
  D3DDevice7.Reset();
  TD3DSetupFlags requested = Flags;
  requested.Exclude(sfRetainedMode);
  Flags = {};
  try {
    QueryOrRaise(Surface->DDraw()->IDDraw7(), IID_IDirect3D7, D3D7);
    Flags = MakeDevice(
        Surface, ZBuffer, requested, ObjNameDevice7,
        [&](DeviceSearch& search) { D3D7->EnumDevices(&ConsiderDevice7, &search); },
        [&](const DeviceSearch& search) {
          return D3D7->CreateDevice(search.Guid, Surface->IDDSurface7(),
                                    D3DDevice7.ReleaseAndGetAddressOf()) == D3D_OK;
        });
  } catch (...) {
    FreeAttachedSurface(Surface, ZBuffer);
    D3D7.Reset();
    D3DDevice7.Reset();
    throw;
  }
}

void InitializeDirect3D(TDirectDrawSurface* Surface, TDirectDrawSurface*& ZBuffer,
                        TDirectX6Objects& D3D, TD3DSetupFlags& Flags) {
  D3D.D3D.Reset();
  D3D.D3D2.Reset();
  D3D.D3D3.Reset();
  D3D.D3DDevice.Reset();
  D3D.D3DDevice2.Reset();
  D3D.D3DDevice3.Reset();
  D3D.D3DRMDevice.Reset();
  D3D.D3DRMDevice2.Reset();
  D3D.D3DRMDevice3.Reset();
  D3D.Viewport.Reset();
  const TD3DSetupFlags requested = Flags;
  Flags = {};
  try {
    IDirectDraw* directDraw = Surface->DDraw()->IDDraw();
    QueryOrRaise(directDraw, IID_IDirect3D, D3D.D3D);
    QueryOrRaise(directDraw, IID_IDirect3D2, D3D.D3D2);
    QueryOrRaise(directDraw, IID_IDirect3D3, D3D.D3D3);
    Flags = MakeDevice(
        Surface, ZBuffer, requested, ObjNameDevice3,
        [&](DeviceSearch& search) { D3D.D3D3->EnumDevices(&ConsiderDevice6, &search); },
        [&](const DeviceSearch& search) {
          return D3D.D3D3->CreateDevice(search.Guid, Surface->IDDSurface4(),
                                        D3D.D3DDevice3.ReleaseAndGetAddressOf(),
                                        nullptr) == D3D_OK;
        });
    QueryOrRaise(D3D.D3DDevice3.Get(), IID_IDirect3DDevice2, D3D.D3DDevice2);
    QueryOrRaise(D3D.D3DDevice3.Get(), IID_IDirect3DDevice, D3D.D3DDevice);
    const DWORD depthTest = ZBuffer ? TRUE : FALSE;
    D3D.D3DDevice3->SetRenderState(D3DRENDERSTATE_DITHERENABLE, TRUE);
    D3D.D3DDevice3->SetRenderState(D3DRENDERSTATE_ZENABLE, depthTest);
    D3D.D3DDevice3->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, depthTest);
    if (requested.Contains(sfRetainedMode)) {
      Flags.Include(sfRetainedMode);
      InitializeRetainedMode(Surface, D3D);
    }
  } catch (...) {
    FreeAttachedSurface(Surface, ZBuffer);
    D3D = {};
    throw;
  }
}

// ---- The presentation driver's entry ----

void TDXDrawDriver::Initialize3D() {
  TCustomDXDraw& dx = *FDXDraw;
  const TDXDrawOptions requested = dx.Options();
  TD3DSetupFlags flags;
  if (requested.Contains(doHardware)) flags.Include(sfHardware);
  if (dx.EffectiveOptions().Contains(doRetainedMode)) flags.Include(sfRetainedMode);
  if (requested.Contains(doSelectDriver)) flags.Include(sfSelectDriver);
  if (requested.Contains(doZBuffer)) flags.Include(sfZBuffer);
  if (requested.Contains(doDirectX7Mode))
    InitializeDirect3D7(dx.FSurface, dx.FZBuffer, dx.FD3D7, flags, dx.FD3DDevice7);
  else
    InitializeDirect3D(dx.FSurface, dx.FZBuffer, dx.FDirectX6, flags);
  dx.FEffectiveOptions =
      dx.FEffectiveOptions - TDXDrawOptions{doRetainedMode, doHardware, doSelectDriver, doZBuffer};
  if (flags.Contains(sfHardware)) dx.FEffectiveOptions.Include(doHardware);
  if (flags.Contains(sfRetainedMode)) dx.FEffectiveOptions.Include(doRetainedMode);
  if (flags.Contains(sfSelectDriver)) dx.FEffectiveOptions.Include(doSelectDriver);
  if (flags.Contains(sfZBuffer)) dx.FEffectiveOptions.Include(doZBuffer);
}
