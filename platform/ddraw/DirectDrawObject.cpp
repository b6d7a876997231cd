#include "platform/ddraw/DirectDrawObject.h"

#include <algorithm>

#include "platform/ddraw/DisplayDevice.h"
#include "platform/ddraw/PaletteAndClipper.h"
#include "platform/ddraw/PixelFormats.h"
#include "platform/ddraw/Surface.h"
#include "platform/user/Window.h"

namespace {

constexpr DWORD kRefreshRate = 60;
constexpr DWORD kCapsSizeTag = 380;

HRESULT Refusal(DDrawCall call) { return DisplayDevice::Get().TakeRefusal(call); }

bool IsSupportedBitCount(DWORD bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// What the one display driver reports: blits with stretching, mirroring, colour fill and source
// colour keys, palettes, and 3D rendering with textures, mipmaps and depth buffers.
void DescribeDriver(DDCAPS& caps, bool emulation) {
  const DWORD size = caps.dwSize;
  caps = DDCAPS{};
  caps.dwSize = size;
  caps.dwCaps = DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_BLTCOLORFILL | DDCAPS_COLORKEY |
                DDCAPS_PALETTE | DDCAPS_CANBLTSYSMEM |
                (emulation ? 0 : DDCAPS_3D | DDCAPS_BLTQUEUE);
  caps.dwCKeyCaps = DDCKEYCAPS_SRCBLT;
  caps.dwFXCaps = DDFXCAPS_BLTMIRRORLEFTRIGHT | DDFXCAPS_BLTMIRRORUPDOWN | DDFXCAPS_BLTSTRETCHX |
                  DDFXCAPS_BLTSTRETCHY;
  caps.dwPalCaps = DDPCAPS_8BIT | DDPCAPS_ALLOW256 | DDPCAPS_PRIMARYSURFACE;
  caps.dwZBufferBitDepths = DDBD_16 | DDBD_24 | DDBD_32;
  if (!emulation) {
    const DisplayDevice& device = DisplayDevice::Get();
    caps.dwVidMemTotal = device.VideoMemoryTotal();
    caps.dwVidMemFree =
        device.VideoMemoryTotal() - std::min(device.VideoMemoryUsed(), device.VideoMemoryTotal());
  }
  DWORD surfaceCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER |
                      DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PALETTE | DDSCAPS_PRIMARYSURFACE |
                      DDSCAPS_SYSTEMMEMORY | DDSCAPS_VISIBLE | DDSCAPS_ZBUFFER;
  if (!emulation)
    surfaceCaps |= DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
  if (!emulation && DisplayDevice::Get().MipmapsOffered()) surfaceCaps |= DDSCAPS_MIPMAP;
  caps.ddsOldCaps.dwCaps = surfaceCaps;
  caps.ddsCaps.dwCaps = surfaceCaps;
}

template <class Desc>
void DescribeMode(const DDrawDisplayMode& mode, Desc& desc) {
  desc = Desc{};
  desc.dwSize = kDescSizeTag<Desc>;
  desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
  desc.dwWidth = static_cast<DWORD>(mode.width);
  desc.dwHeight = static_cast<DWORD>(mode.height);
  desc.ddpfPixelFormat = DisplayPixelFormat(static_cast<uint32_t>(mode.bitCount));
  desc.lPitch = mode.width * static_cast<LONG>(BytesPerPixel(desc.ddpfPixelFormat));
  desc.dwRefreshRate = kRefreshRate;
}

template <class Desc>
bool ModeMatches(const Desc& mode, const Desc* filter) {
  if (!filter) return true;
  if ((filter->dwFlags & DDSD_WIDTH) && filter->dwWidth != mode.dwWidth) return false;
  if ((filter->dwFlags & DDSD_HEIGHT) && filter->dwHeight != mode.dwHeight) return false;
  if ((filter->dwFlags & DDSD_PIXELFORMAT) &&
      filter->ddpfPixelFormat.dwRGBBitCount != mode.ddpfPixelFormat.dwRGBBitCount)
    return false;
  if ((filter->dwFlags & DDSD_REFRESHRATE) && filter->dwRefreshRate != 0 &&
      filter->dwRefreshRate != mode.dwRefreshRate)
    return false;
  return true;
}

}  // namespace

DirectDrawObject::~DirectDrawObject() {
  DisplayDevice& device = DisplayDevice::Get();
  if (device.ExclusiveOwner() == this) device.SetExclusiveOwner(nullptr);
  // Giving up the display puts the desktop's mode back.
  if (changedMode_) device.ChangeMode(device.DesktopMode());
}

HRESULT DirectDrawObject::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirectDraw7) {
    *object = static_cast<IDirectDraw7*>(this);
  } else if (iid == IID_IDirectDraw4) {
    *object = static_cast<IDirectDraw4*>(this);
  } else if (iid == IID_IDirectDraw) {
    *object = static_cast<IDirectDraw*>(this);
  } else if (auto provider = DisplayDevice::Get().directDrawProvider) {
    return provider(static_cast<IDirectDraw7*>(this), iid, object);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG DirectDrawObject::AddRef() { return ++references_; }

ULONG DirectDrawObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

void DirectDrawObject::RemoveSurface(Surface* surface) {
  surfaces_.erase(std::remove(surfaces_.begin(), surfaces_.end(), surface), surfaces_.end());
}

// Cooperation and display modes.

HRESULT DirectDrawObject::SetCooperativeLevel(HWND window, DWORD flags) {
  DisplayDevice::Get().RecordCooperativeLevel(flags);
  if (const HRESULT refused = Refusal(DDrawCall::SetCooperativeLevel)) return refused;
  const bool exclusive = flags & DDSCL_EXCLUSIVE;
  if (exclusive == ((flags & DDSCL_NORMAL) != 0)) return DDERR_INVALIDPARAMS;
  if (exclusive && (!(flags & DDSCL_FULLSCREEN) || !window)) return DDERR_INVALIDPARAMS;
  if (window && !IsWindow(window)) return DDERR_INVALIDPARAMS;
  DisplayDevice& device = DisplayDevice::Get();
  if (exclusive) {
    if (device.ExclusiveOwner() && device.ExclusiveOwner() != this)
      return DDERR_EXCLUSIVEMODEALREADYSET;
    device.SetExclusiveOwner(this);
  } else if (device.ExclusiveOwner() == this) {
    device.SetExclusiveOwner(nullptr);
  }
  level_ = flags;
  cooperativeWindow_ = window;
  return DD_OK;
}

HRESULT DirectDrawObject::SetDisplayMode(DWORD width, DWORD height, DWORD bitCount,
                                         DWORD refreshRate, DWORD) {
  if (const HRESULT refused = Refusal(DDrawCall::SetDisplayMode)) return refused;
  if (!IsExclusive()) return DDERR_NOEXCLUSIVEMODE;
  DisplayDevice& device = DisplayDevice::Get();
  const DDrawDisplayMode mode{static_cast<int32_t>(width), static_cast<int32_t>(height),
                              static_cast<int32_t>(bitCount)};
  if (!IsSupportedBitCount(bitCount) || !device.IsListed(mode)) return DDERR_INVALIDMODE;
  if (refreshRate != 0 && refreshRate != kRefreshRate) return DDERR_INVALIDMODE;
  device.ChangeMode(mode);
  changedMode_ = true;
  // An exclusive full-screen program owns the whole screen: its window is stretched over the new
  // mode, which is how a borderless form and the controls aligned in it learn the mode's size.
  if (!(level_ & DDSCL_NOWINDOWCHANGES))
    SetWindowPos(cooperativeWindow_, nullptr, 0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  return DD_OK;
}

HRESULT DirectDrawObject::SetDisplayMode(DWORD width, DWORD height, DWORD bitCount) {
  return SetDisplayMode(width, height, bitCount, 0, 0);
}

template <class Desc, class Callback>
HRESULT DirectDrawObject::ListModes(Desc* filter, void* context, Callback callback) {
  if (const HRESULT refused = Refusal(DDrawCall::EnumDisplayModes)) return refused;
  if (!callback || (filter && !IsDescSize<Desc>(filter->dwSize))) return DDERR_INVALIDPARAMS;
  // A copy, so a callback that changes the list does not pull it from under the loop.
  const std::vector<DDrawDisplayMode> modes = DisplayDevice::Get().Modes();
  for (const DDrawDisplayMode& mode : modes) {
    Desc desc;
    DescribeMode(mode, desc);
    if (ModeMatches(desc, filter) && callback(&desc, context) == DDENUMRET_CANCEL) break;
  }
  return DD_OK;
}

HRESULT DirectDrawObject::EnumDisplayModes(DWORD, DDSURFACEDESC2* filter, void* context,
                                           LPDDENUMMODESCALLBACK2 callback) {
  return ListModes(filter, context, callback);
}

HRESULT DirectDrawObject::EnumDisplayModes(DWORD, DDSURFACEDESC* filter, void* context,
                                           LPDDENUMMODESCALLBACK callback) {
  return ListModes(filter, context, callback);
}

HRESULT DirectDrawObject::WaitForVerticalBlank(DWORD flags, HANDLE) {
  if (const HRESULT refused = Refusal(DDrawCall::WaitForVerticalBlank)) return refused;
  if (flags == DDWAITVB_BLOCKBEGINEVENT) return DDERR_UNSUPPORTED;
  if (flags != DDWAITVB_BLOCKBEGIN && flags != DDWAITVB_BLOCKEND) return DDERR_INVALIDPARAMS;
  // The host paces presented frames itself; the wait is only counted.
  DisplayDevice::Get().CountVerticalBlankWait();
  return DD_OK;
}

HRESULT DirectDrawObject::FlipToGDISurface() {
  if (!HasCooperativeLevel()) return DDERR_NOCOOPERATIVELEVELSET;
  const std::vector<Surface*> surfaces = surfaces_;
  for (Surface* surface : surfaces) surface->FlipToFirstBuffer();
  return DD_OK;
}

HRESULT DirectDrawObject::GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) {
  if (!driverCaps && !emulationCaps) return DDERR_INVALIDPARAMS;
  for (DDCAPS* caps : {driverCaps, emulationCaps})
    if (caps && caps->dwSize != kCapsSizeTag) return DDERR_INVALIDPARAMS;
  const std::vector<DDrawTestDriver>& listed = DisplayDevice::Get().ListedDrivers();
  const auto answer = [&](DDCAPS* caps, bool emulation) {
    if (!caps) return;
    const DWORD size = caps->dwSize;
    if (driver_ < listed.size())
      *caps = emulation ? listed[driver_].emulationCaps : listed[driver_].driverCaps;
    else
      DescribeDriver(*caps, emulation);
    caps->dwSize = size;
  };
  answer(driverCaps, false);
  answer(emulationCaps, true);
  return DD_OK;
}

void DirectDrawObject::DescribeDefaultDriver(DDCAPS& caps, bool emulation) {
  DescribeDriver(caps, emulation);
}

HRESULT DirectDrawObject::RestoreAllSurfaces() {
  HRESULT first = DD_OK;
  const std::vector<Surface*> surfaces = surfaces_;
  for (Surface* surface : surfaces) {
    const HRESULT result = surface->RestoreMemory();
    if (FAILED(result) && first == DD_OK) first = result;
  }
  return first;
}

// Palettes, clippers and surfaces.

HRESULT DirectDrawObject::CreateClipper(DWORD flags, IDirectDrawClipper** clipper,
                                        IUnknown* outer) {
  if (const HRESULT refused = Refusal(DDrawCall::CreateClipper)) return refused;
  if (outer) return CLASS_E_NOAGGREGATION;
  return Clipper::Create(flags, clipper);
}

HRESULT DirectDrawObject::CreatePalette(DWORD flags, PALETTEENTRY* entries,
                                        IDirectDrawPalette** palette, IUnknown* outer) {
  if (const HRESULT refused = Refusal(DDrawCall::CreatePalette)) return refused;
  if (outer) return CLASS_E_NOAGGREGATION;
  return Palette::Create(flags, entries, palette);
}

template <class Desc, class SurfaceInterface>
HRESULT DirectDrawObject::MakeSurface(Desc* desc, SurfaceInterface** surface, IUnknown* outer) {
  if (const HRESULT refused = Refusal(DDrawCall::CreateSurface)) return refused;
  if (!surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  SurfaceRequest request;
  if (const HRESULT result = ReadSurfaceRequest(desc, request)) return result;
  Surface* made;
  if (const HRESULT result = Surface::Create(this, request, &made)) return result;
  *surface = made;
  return DD_OK;
}

template <class SurfaceInterface>
HRESULT DirectDrawObject::MakeDuplicate(SurfaceInterface* source, SurfaceInterface** duplicate) {
  if (const HRESULT refused = Refusal(DDrawCall::DuplicateSurface)) return refused;
  if (!duplicate) return DDERR_INVALIDPARAMS;
  *duplicate = nullptr;
  Surface* made;
  if (const HRESULT result =
          Surface::Duplicate(this, source ? Surface::From(source) : nullptr, &made))
    return result;
  *duplicate = made;
  return DD_OK;
}

HRESULT DirectDrawObject::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface,
                                        IUnknown* outer) {
  return MakeSurface(desc, surface, outer);
}

HRESULT DirectDrawObject::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface,
                                        IUnknown* outer) {
  return MakeSurface(desc, surface, outer);
}

HRESULT DirectDrawObject::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface,
                                        IUnknown* outer) {
  return MakeSurface(desc, surface, outer);
}

HRESULT DirectDrawObject::DuplicateSurface(IDirectDrawSurface7* source,
                                           IDirectDrawSurface7** duplicate) {
  return MakeDuplicate(source, duplicate);
}

HRESULT DirectDrawObject::DuplicateSurface(IDirectDrawSurface4* source,
                                           IDirectDrawSurface4** duplicate) {
  return MakeDuplicate(source, duplicate);
}

HRESULT DirectDrawObject::DuplicateSurface(IDirectDrawSurface* source,
                                           IDirectDrawSurface** duplicate) {
  return MakeDuplicate(source, duplicate);
}
