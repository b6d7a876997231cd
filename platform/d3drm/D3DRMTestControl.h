// Knobs of retained mode for tests: refusals, interfaces withheld, objects alive.
#pragma once

#include <cstdint>

#include "platform/d3drm/D3DRM.h"

enum class D3DRMCall {
  Direct3DRMCreate,
  CreateDeviceFromD3D,
  CreateFrame,
  CreateViewport,
};

// The next `times` calls of the kind fail with `result` and do nothing else.
void TestD3DRMRefuseNext(D3DRMCall call, HRESULT result = D3DRMERR_BADOBJECT, uint32_t times = 1);

// From now on no retained-mode object answers for this interface.
void TestD3DRMWithholdInterface(REFIID iid);

// Retained-mode objects, devices, frames and viewports alive now.
uint32_t TestD3DRMLiveObjects();

// Back to the state at start: no refusals, every interface offered.
void TestD3DRMReset();
