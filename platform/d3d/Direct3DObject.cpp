#include "platform/d3d/Direct3DObject.h"

#include <string>

#include "platform/d3d/Direct3DDevice.h"
#include "platform/d3d/Direct3DSettings.h"
#include "platform/d3d/DirectX6Device.h"

namespace {

bool IsDirect3DInterface(REFIID iid) {
  return iid == IID_IDirect3D7 || iid == IID_IDirect3D || iid == IID_IDirect3D2 ||
         iid == IID_IDirect3D3;
}

HRESULT ProvideDirect3D(IDirectDraw7* directDraw, REFIID iid, void** object) {
  if (!IsDirect3DInterface(iid) || !Direct3DSettings::Get().Offers(iid)) return E_NOINTERFACE;
  if (const HRESULT refused = Direct3DSettings::Get().TakeRefusal(D3DCall::QueryInterface))
    return refused;
  auto* direct3D = new Direct3DObject(directDraw);
  const HRESULT result = direct3D->QueryInterface(iid, object);
  direct3D->Release();
  return result;
}

}  // namespace

Direct3DObject::Direct3DObject(IDirectDraw7* directDraw)
    : directDraw_(directDraw), driver_(DirectDrawDriverOf(directDraw)) {
  ++Direct3DSettings::Get().liveObjects;
}

Direct3DObject::~Direct3DObject() { --Direct3DSettings::Get().liveObjects; }

HRESULT Direct3DObject::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!Direct3DSettings::Get().Offers(iid)) return E_NOINTERFACE;
  if (iid == IID_IUnknown || iid == IID_IDirect3D7)
    *object = static_cast<IDirect3D7*>(this);
  else if (iid == IID_IDirect3D || iid == IID_IDirect3D2 || iid == IID_IDirect3D3)
    *object = static_cast<IDirect3D3*>(this);
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
  const std::vector<D3DTestDevice> devices = Direct3DSettings::Get().DevicesOf(driver_);
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
  const std::vector<D3DTestDevice> devices = Direct3DSettings::Get().DevicesOf(driver_);
  for (const D3DTestDevice& device : devices) {
    D3DDEVICEDESC hardware, software;
    DescribeForVersion1(device.desc, hardware, software);
    std::string description = device.description, name = device.name;
    GUID guid = device.desc.deviceGUID;
    if (callback(&guid, description.data(), name.data(), &hardware, &software, context) ==
        D3DENUMRET_CANCEL)
      break;
  }
  return D3D_OK;
}

HRESULT Direct3DObject::PrepareDevice(REFIID deviceGuid, IDirectDrawSurface7* renderTarget,
                                      const D3DTestDevice** listed) {
  Direct3DSettings& settings = Direct3DSettings::Get();
  if (const HRESULT refused = settings.TakeRefusal(D3DCall::CreateDevice)) return refused;
  *listed = settings.FindDevice(driver_, deviceGuid);
  if (!*listed) return D3DERR_INVALID_DEVICE;
  if (const HRESULT unusable = Direct3DDevice::CheckRenderTarget((*listed)->desc, renderTarget))
    return unusable;
  if (IsHardwareDevice((*listed)->desc)) {
    DDSCAPS2 caps{};
    renderTarget->GetCaps(&caps);
    if (!(caps.dwCaps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;
  }
  return D3D_OK;
}

HRESULT Direct3DObject::CreateDevice(REFIID deviceGuid, IDirectDrawSurface7* renderTarget,
                                     IDirect3DDevice7** device) {
  if (!device) return DDERR_INVALIDPARAMS;
  *device = nullptr;
  const D3DTestDevice* listed = nullptr;
  if (const HRESULT result = PrepareDevice(deviceGuid, renderTarget, &listed)) return result;
  *device = new Direct3DDevice(this, listed->desc, renderTarget);
  return D3D_OK;
}

HRESULT Direct3DObject::CreateDevice(REFIID deviceGuid, IDirectDrawSurface4* renderTarget,
                                     IDirect3DDevice3** device, IUnknown* outer) {
  if (!device) return DDERR_INVALIDPARAMS;
  *device = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  // Every surface answers for every version, so the checks of the version-7 device serve.
  ComPtr<IDirectDrawSurface7> target;
  void* asVersion7 = nullptr;
  if (renderTarget && renderTarget->QueryInterface(IID_IDirectDrawSurface7, &asVersion7) == S_OK)
    target = ComPtr<IDirectDrawSurface7>::Attach(static_cast<IDirectDrawSurface7*>(asVersion7));
  const D3DTestDevice* listed = nullptr;
  if (const HRESULT result = PrepareDevice(deviceGuid, target.Get(), &listed)) return result;
  *device = new DirectX6Device(listed->desc, renderTarget);
  return D3D_OK;
}

void InstallDirect3D() { SetDirectDrawInterfaceProviders(&ProvideDirect3D, nullptr); }
