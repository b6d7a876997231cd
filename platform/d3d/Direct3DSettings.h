// What Direct3D offers right now (devices, texture formats) and the refusals tests asked for.
#pragma once

#include <map>
#include <vector>

#include "platform/d3d/D3DTestControl.h"

struct Direct3DSettings {
  // Inline, as is TakeRefusal's common answer (nothing refused): a sprite asks for both on each
  // of its seven device calls.
  static Direct3DSettings& Get() {
    static Direct3DSettings settings;
    return settings;
  }

  // The result to fail the call with, or S_OK when it goes ahead.
  HRESULT TakeRefusal(D3DCall call) { return refusals.empty() ? S_OK : TakeListedRefusal(call); }
  // The devices the DirectDraw driver at this position of the driver list offers.
  const std::vector<D3DTestDevice>& DevicesOf(uint32_t driver) const;
  const D3DTestDevice* FindDevice(uint32_t driver, const GUID& guid) const;
  bool Offers(REFIID iid) const;
  // Calls back with each texture format (copies, which the callback may change) until it
  // cancels; answers a refusal of EnumTextureFormats.
  HRESULT ListTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context);

  std::vector<D3DTestDevice> devices = TestD3DDefaultDevices();
  std::vector<std::vector<D3DTestDevice>> devicesPerDriver;
  std::vector<GUID> withheld;
  std::vector<DDPIXELFORMAT> textureFormats = TestD3DDefaultTextureFormats();
  struct Refusal {
    HRESULT result;
    uint32_t times;
  };
  std::map<D3DCall, Refusal> refusals;
  uint32_t liveObjects = 0;
  bool rasterizing = true;

 private:
  HRESULT TakeListedRefusal(D3DCall call);
};

// A device's capabilities as the DirectX 6 interfaces describe them: the hardware description
// for a hardware device, the software one otherwise, the other left with colour model 0.
void DescribeForVersion1(const D3DDEVICEDESC7& desc, D3DDEVICEDESC& hardware,
                         D3DDEVICEDESC& software);
bool IsHardwareDevice(const D3DDEVICEDESC7& desc);
