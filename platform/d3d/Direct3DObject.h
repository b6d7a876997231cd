// The Direct3D object of one DirectDraw object, answering as IDirect3D7 and as IDirect3D to
// IDirect3D3. It holds a reference to its DirectDraw object for as long as it lives, and lists
// the devices of the driver that object was opened on.
#pragma once

#include "platform/d3d/D3DTestControl.h"
#include "platform/kernel/ComPtr.h"

class Direct3DObject final : public IDirect3D7, public IDirect3D3 {
 public:
  explicit Direct3DObject(IDirectDraw7* directDraw);
  ~Direct3DObject() override;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, void* context) override;
  HRESULT CreateDevice(REFIID deviceGuid, IDirectDrawSurface7* renderTarget,
                       IDirect3DDevice7** device) override;
  HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) override;
  HRESULT CreateDevice(REFIID deviceGuid, IDirectDrawSurface4* renderTarget,
                       IDirect3DDevice3** device, IUnknown* outer) override;

 private:
  // The listed device a render target may be made with, after the refusal and the checks every
  // device version shares.
  HRESULT PrepareDevice(REFIID deviceGuid, IDirectDrawSurface7* renderTarget,
                        const D3DTestDevice** listed);

  ComPtr<IDirectDraw7> directDraw_;
  uint32_t driver_;
  ULONG references_ = 1;
};
