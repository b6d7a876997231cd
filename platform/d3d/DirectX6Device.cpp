#include "platform/d3d/DirectX6Device.h"

#include "platform/d3d/Direct3DSettings.h"

DirectX6Device::DirectX6Device(const D3DDEVICEDESC7& caps, IDirectDrawSurface4* renderTarget)
    : caps_(caps), renderTarget_(renderTarget) {
  ++Direct3DSettings::Get().liveObjects;
}

DirectX6Device::~DirectX6Device() { --Direct3DSettings::Get().liveObjects; }

HRESULT DirectX6Device::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!Direct3DSettings::Get().Offers(iid)) return E_NOINTERFACE;
  if (!(iid == IID_IUnknown) && !(iid == IID_IDirect3DDevice) && !(iid == IID_IDirect3DDevice2) &&
      !(iid == IID_IDirect3DDevice3))
    return E_NOINTERFACE;
  *object = static_cast<IDirect3DDevice3*>(this);
  AddRef();
  return S_OK;
}

HRESULT DirectX6Device::GetCaps(D3DDEVICEDESC* hardwareDesc, D3DDEVICEDESC* softwareDesc) {
  if (!hardwareDesc || !softwareDesc) return DDERR_INVALIDPARAMS;
  DescribeForVersion1(caps_, *hardwareDesc, *softwareDesc);
  return D3D_OK;
}

HRESULT DirectX6Device::GetRenderTarget(IDirectDrawSurface4** surface) {
  if (!surface) return DDERR_INVALIDPARAMS;
  *surface = renderTarget_.Get();
  renderTarget_->AddRef();
  return D3D_OK;
}

HRESULT DirectX6Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (const HRESULT refused = Direct3DSettings::Get().TakeRefusal(D3DCall::SetRenderState))
    return refused;
  if (state >= kD3DRenderStateCount) return DDERR_INVALIDPARAMS;
  renderStates_[state] = value;
  return D3D_OK;
}

HRESULT DirectX6Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (!value || state >= kD3DRenderStateCount) return DDERR_INVALIDPARAMS;
  *value = renderStates_[state];
  return D3D_OK;
}

HRESULT DirectX6Device::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) {
  return Direct3DSettings::Get().ListTextureFormats(callback, context);
}
