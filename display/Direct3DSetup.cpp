#include "display/Direct3DSetup.h"

#include "display/DXConsts.h"
#include "display/DXDrawDrivers.h"
#include "display/InterfaceQuery.h"
#include "render/DXRSurface.h"

namespace {

constexpr DWORD kAnyUsualBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
constexpr const char* ObjNameDevice7 = "IDirect3DDevice7";

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
  QueryInto(DirectDraw.IDDraw(), IID_IDirect3D, direct3D);
  if (!direct3D) throw EInvalidCast(SInvalidCast);
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
  D3DDEVICEDESC7 Chosen{};
  bool Hardware = false;
  bool HardwareAllowed = false;
};

HRESULT ConsiderDevice(char*, char*, D3DDEVICEDESC7* Desc, void* Context) {
  auto& search = *static_cast<DeviceSearch*>(Context);
  const bool hardware = Desc->dwDevCaps & D3DDEVCAPS_HWRASTERIZATION;
  if (hardware && !search.HardwareAllowed) return D3DENUMRET_OK;
  if (Desc->deviceGUID == IID_IDirect3DRefDevice) return D3DENUMRET_OK;
  if (!(Desc->dwDeviceRenderBitDepth & BitCountToDDBD(search.BitCount))) return D3DENUMRET_OK;
  if (hardware || !search.Hardware) {
    search.Found = true;
    search.Chosen = *Desc;
    search.Hardware = hardware;
  }
  return D3DENUMRET_OK;
}

DeviceSearch FindDevice(IDirect3D7* Direct3D, Integer BitCount, bool HardwareAllowed) {
  DeviceSearch search;
  search.BitCount = BitCount;
  search.HardwareAllowed = HardwareAllowed;
  Direct3D->EnumDevices(&ConsiderDevice, &search);
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
      MakeZBuffer(Surface, ZBuffer, Search.Chosen.dwDeviceZBufferBitDepth, Search.Hardware))
    result.Include(sfZBuffer);
  return result;
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
    QueryInto(Surface->DDraw()->IDDraw7(), IID_IDirect3D7, D3D7);
    if (!D3D7) throw EInvalidCast(SInvalidCast);
    const DDCAPS& caps = Surface->DDraw()->DriverCaps();
    bool hardwareAllowed = (Surface->SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) &&
                           requested.Contains(sfHardware) && (caps.dwCaps & DDCAPS_3D) &&
                           (caps.ddsCaps.dwCaps & DDSCAPS_TEXTURE);
    DeviceSearch search = FindDevice(D3D7.Get(), Surface->BitCount(), hardwareAllowed);
    Flags = PrepareDevice(search, requested, Surface, ZBuffer);
    IDirect3DDevice7* device = nullptr;
    if (D3D7->CreateDevice(search.Chosen.deviceGUID, Surface->IDDSurface7(), &device) != D3D_OK) {
      // The hardware device could not be made: a software device must do. The flags are
      // worked out afresh, so they never claim the hardware that was not had.
      hardwareAllowed = false;
      search = FindDevice(D3D7.Get(), Surface->BitCount(), hardwareAllowed);
      Flags = PrepareDevice(search, requested, Surface, ZBuffer);
      if (D3D7->CreateDevice(search.Chosen.deviceGUID, Surface->IDDSurface7(), &device) != D3D_OK)
        throw EDXDrawError(Format(MsgCannotBeMade, {ObjNameDevice7}));
    }
    D3DDevice7 = ComPtr<IDirect3DDevice7>::Attach(device);
    if (hardwareAllowed) Flags.Include(sfHardware);
  } catch (...) {
    FreeAttachedSurface(Surface, ZBuffer);
    D3D7.Reset();
    D3DDevice7.Reset();
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
  if (!requested.Contains(doDirectX7Mode)) {
    // The Direct3D 6 set-up needs IDirect3D2 and IDirect3D3, which this platform does not
    // offer: the interface conversion fails as on a system without them.
    FreeAttachedSurface(dx.FSurface, dx.FZBuffer);
    throw EInvalidCast(SInvalidCast);
  }
  InitializeDirect3D7(dx.FSurface, dx.FZBuffer, dx.FD3D7, flags, dx.FD3DDevice7);
  dx.FEffectiveOptions =
      dx.FEffectiveOptions - TDXDrawOptions{doRetainedMode, doHardware, doSelectDriver, doZBuffer};
  if (flags.Contains(sfHardware)) dx.FEffectiveOptions.Include(doHardware);
  if (flags.Contains(sfRetainedMode)) dx.FEffectiveOptions.Include(doRetainedMode);
  if (flags.Contains(sfSelectDriver)) dx.FEffectiveOptions.Include(doSelectDriver);
  if (flags.Contains(sfZBuffer)) dx.FEffectiveOptions.Include(doZBuffer);
}
