// The DirectX 6 device, made by IDirect3D3::CreateDevice on a render-target surface and
// answering as IDirect3DDevice3, IDirect3DDevice2 and IDirect3DDevice. It describes itself,
// keeps the render states it is given and lists the texture formats; it holds a reference to
// its render target.
#pragma once

#include <array>

#include "platform/d3d/D3DTestControl.h"
#include "platform/kernel/ComPtr.h"
#include "platform/kernel/CountedObject.h"

class DirectX6Device final : public CountedObject<IDirect3DDevice3> {
 public:
  // The render target must have passed Direct3DDevice::CheckRenderTarget.
  DirectX6Device(const D3DDEVICEDESC7& caps, IDirectDrawSurface4* renderTarget);
  ~DirectX6Device() override;

  HRESULT QueryInterface(REFIID iid, void** object) override;

  HRESULT GetCaps(D3DDEVICEDESC* hardwareDesc, D3DDEVICEDESC* softwareDesc) override;
  HRESULT GetRenderTarget(IDirectDrawSurface4** surface) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override;

 private:
  D3DDEVICEDESC7 caps_;
  ComPtr<IDirectDrawSurface4> renderTarget_;
  std::array<DWORD, kD3DRenderStateCount> renderStates_{};
};
