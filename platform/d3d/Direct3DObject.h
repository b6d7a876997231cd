// The Direct3D object of one DirectDraw object, answering as IDirect3D7 and IDirect3D. It holds
// a reference to its DirectDraw object for as long as it lives.
#pragma once

#include "platform/d3d/D3D.h"
#include "platform/kernel/ComPtr.h"

class Direct3DObject final : public IDirect3D7, public IDirect3D {
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

 private:
  ComPtr<IDirectDraw7> directDraw_;
  ULONG references_ = 1;
};
