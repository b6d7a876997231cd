#include "platform/d3d/Direct3DObject.h"

#include <string>

#include "platform/d3d/Direct3DDevice.h"
#include "platform/d3d/Direct3DSettings.h"

namespace {

constexpr DWORD kDeviceDescSizeTag = 252;

// The version-1 form of a device's capabilities.
D3DDEVICEDESC DescribeForVersion1(const D3DDEVICEDESC7& desc) {
  D3DDEVICEDESC result{};
  result.dwSize = kDeviceDescSizeTag;
  result.dwFlags = D3DDD_COLORMODEL | D3DDD_DEVCAPS | D3DDD_LINECAPS | D3DDD_TRICAPS |
                   D3DDD_DEVICERENDERBITDEPTH | D3DDD_DEVICEZBUFFERBITDEPTH;
  result.dcmColorModel = D3DCOLOR_RGB;
  result.dwDevCaps = desc.dwDevCaps;
  result.dpcLineCaps = desc.dpcLineCaps;
  result.dpcTriCaps = desc.dpcTriCaps;
  result.dwDeviceRenderBitDepth = desc.dwDeviceRenderBitDepth;
  result.dwDeviceZBufferBitDepth = desc.dwDeviceZBufferBitDepth;
  result.dwMinTextureWidth = desc.dwMinTextureWidth;
  result.dwMinTextureHeight = desc.dwMinTextureHeight;
  result.dwMaxTextureWidth = desc.dwMaxTextureWidth;
  result.dwMaxTextureHeight = desc.dwMaxTextureHeight;
  result.dwMaxTextureRepeat = desc.dwMaxTextureRepeat;
  result.dwMaxTextureAspectRatio = desc.dwMaxTextureAspectRatio;
  result.dwMaxAnisotropy = desc.dwMaxAnisotropy;
  result.dwFVFCaps = desc.dwFVFCaps;
  result.dwTextureOpCaps = desc.dwTextureOpCaps;
  result.wMaxTextureBlendStages = desc.wMaxTextureBlendStages;
  result.wMaxSimultaneousTextures = desc.wMaxSimultaneousTextures;
  return result;
}

bool IsHardware(const D3DDEVICEDESC7& desc) {
  return (desc.dwDevCaps & D3DDEVCAPS_HWRASTERIZATION) != 0;
}

HRESULT ProvideDirect3D(IDirectDraw7* directDraw, REFIID iid, void** object) {
  if (!(iid == IID_IDirect3D7) && !(iid == IID_IDirect3D)) return E_NOINTERFACE;
  if (const HRESULT refused = Direct3DSettings::Get().TakeRefusal(D3DCall::QueryInterface))
    return refused;
  auto* direct3D = new Direct3DObject(directDraw);
  if (iid == IID_IDirect3D7)
    *object = static_cast<IDirect3D7*>(direct3D);
  else
    *object = static_cast<IDirect3D*>(direct3D);
  return S_OK;
}

}  // namespace

Direct3DObject::Direct3DObject(IDirectDraw7* directDraw) : directDraw_(directDraw) {
  ++Direct3DSettings::Get().liveObjects;
}

Direct3DObject::~Direct3DObject() { --Direct3DSettings::Get().liveObjects; }

HRESULT Direct3DObject::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirect3D7)
    *object = static_cast<IDirect3D7*>(this);
  else if (iid == IID_IDirect3D)
    *object = static_cast<IDirect3D*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG Direct3DObject::AddRef() { return ++references_; }

ULONG Direct3DObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT Direct3DObject::EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, void* context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (const HRESULT refused = Direct3DSettings::Get().TakeRefusal(D3DCall::EnumDevices))
    return refused;
  // Copies: the callback may write into what it is handed, and may change the device list.
  const std::vector<D3DTestDevice> devices = Direct3DSettings::Get().devices;
  for (D3DTestDevice device : devices)
    if (callback(device.description.data(), device.name.data(), &device.desc, context) ==
        D3DENUMRET_CANCEL)
      break;
  return D3D_OK;
}

HRESULT Direct3DObject::EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (const HRESULT refused = Direct3DSettings::Get().TakeRefusal(D3DCall::EnumDevices))
    return refused;
  const std::vector<D3DTestDevice> devices = Direct3DSettings::Get().devices;
  for (D3DTestDevice device : devices) {
    const D3DDEVICEDESC described = DescribeForVersion1(device.desc);
    D3DDEVICEDESC unused{};
    unused.dwSize = kDeviceDescSizeTag;
    D3DDEVICEDESC hardware = IsHardware(device.desc) ? described : unused;
    D3DDEVICEDESC software = IsHardware(device.desc) ? unused : described;
    GUID guid = device.desc.deviceGUID;
    if (callback(&guid, device.description.data(), device.name.data(), &hardware, &software,
                 context) == D3DENUMRET_CANCEL)
      break;
  }
  return D3D_OK;
}

HRESULT Direct3DObject::CreateDevice(REFIID deviceGuid, IDirectDrawSurface7* renderTarget,
                                     IDirect3DDevice7** device) {
  if (!device) return DDERR_INVALIDPARAMS;
  *device = nullptr;
  Direct3DSettings& settings = Direct3DSettings::Get();
  if (const HRESULT refused = settings.TakeRefusal(D3DCall::CreateDevice)) return refused;
  const D3DTestDevice* listed = settings.FindDevice(deviceGuid);
  if (!listed) return D3DERR_INVALID_DEVICE;
  if (const HRESULT unusable = Direct3DDevice::CheckRenderTarget(listed->desc, renderTarget))
    return unusable;
  if (IsHardware(listed->desc)) {
    DDSCAPS2 caps{};
    renderTarget->GetCaps(&caps);
    if (!(caps.dwCaps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;
  }
  *device = new Direct3DDevice(this, listed->desc, renderTarget);
  return D3D_OK;
}

void InstallDirect3D() { SetDirectDrawInterfaceProviders(&ProvideDirect3D, nullptr); }
