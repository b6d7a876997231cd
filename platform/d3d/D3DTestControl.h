// Knobs of Direct3D for tests: the device list, the texture formats devices offer, refusals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d/D3D.h"

// The kinds of call a refusal can be aimed at. QueryInterface covers asking a DirectDraw object
// for any Direct3D interface; CreateDevice and SetRenderState cover the devices of both versions.
enum class D3DCall {
  QueryInterface,
  EnumDevices,
  CreateDevice,
  EnumTextureFormats,
  SetRenderTarget,
  SetRenderState,
  SetTextureStageState,
  SetTexture,
  DrawPrimitive,
};

// The next `times` calls of the kind fail with `result` and do nothing else.
void TestD3DRefuseNext(D3DCall call, HRESULT result = DDERR_GENERIC, uint32_t times = 1);

// One listed device. It is a hardware device when desc.dwDevCaps holds
// D3DDEVCAPS_HWRASTERIZATION; desc.deviceGUID is what CreateDevice is asked with.
struct D3DTestDevice {
  std::string description;
  std::string name;
  D3DDEVICEDESC7 desc;
};

// The list at start: "RGB Emulation" (software) and then "Direct3D HAL" (hardware), both
// rendering at 16, 24 and 32 bits with 16-, 24- and 32-bit depth buffers, textures of powers of
// two from 1 to 2048 with colour-key transparency, point and linear filtering.
std::vector<D3DTestDevice> TestD3DDefaultDevices();
// Devices listed from now on, in this order (existing devices keep their description).
void TestD3DSetDevices(const std::vector<D3DTestDevice>& devices);

// The devices each DirectDraw driver lists, in the order of DirectDrawEnumerate's list (see
// TestDDrawSetDrivers); a driver beyond the given lists lists the devices of TestD3DSetDevices.
void TestD3DSetDriverDevices(const std::vector<std::vector<D3DTestDevice>>& devicesPerDriver);

// From now on no Direct3D object, DirectDraw object or device answers for this interface, as on
// a system whose Direct3D lacks it.
void TestD3DWithholdInterface(REFIID iid);

// The texture formats at start: 16-bit 5-6-5, X1R5G5B5, A1R5G5B5, A4R4G4B4, 32-bit X8R8G8B8 and
// A8R8G8B8, and 8-bit palette-indexed.
std::vector<DDPIXELFORMAT> TestD3DDefaultTextureFormats();
void TestD3DSetTextureFormats(const std::vector<DDPIXELFORMAT>& formats);

// While off, devices accept and check primitives but write no pixel: benchmarks fast-forward
// through frames nothing reads. On at start.
void TestD3DSetRasterizing(bool on);

// While off, the device's rasteriser shades pixels one at a time even where the processor could
// shade several at once. On for a new device.
void TestD3DSetWideShading(IDirect3DDevice7* device, bool on);

// Direct3D objects and devices alive now.
uint32_t TestD3DLiveObjects();

// Back to the state at start: no refusals, every interface offered, the default devices for
// every driver and the default texture formats, rasterizing.
void TestD3DReset();
