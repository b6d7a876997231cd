// What Direct3D offers right now (devices, texture formats) and the refusals tests asked for.
#pragma once

#include <map>
#include <vector>

#include "platform/d3d/D3DTestControl.h"

struct Direct3DSettings {
  static Direct3DSettings& Get();

  // The result to fail the call with, or S_OK when it goes ahead.
  HRESULT TakeRefusal(D3DCall call);
  const D3DTestDevice* FindDevice(const GUID& guid) const;

  std::vector<D3DTestDevice> devices = TestD3DDefaultDevices();
  std::vector<DDPIXELFORMAT> textureFormats = TestD3DDefaultTextureFormats();
  struct Refusal {
    HRESULT result;
    uint32_t times;
  };
  std::map<D3DCall, Refusal> refusals;
  uint32_t liveObjects = 0;
  bool rasterizing = true;
};
