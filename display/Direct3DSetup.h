// Direct3D set-up of a display: choosing the DirectDraw driver (and, where allowed, the bit
// count) before the display is built, and making the Direct3D 7 device (or the DirectX 6 device
// with, on request, retained mode) on its back surface after. Devices are searched among those
// Direct3D lists; the reference rasteriser is never taken, a hardware device is preferred when
// it may be used, and a software device is tried when the hardware device cannot be made.
#pragma once

#include <initializer_list>

#include "display/DXDraw.h"
#include "platform/d3d/D3D.h"

enum TD3DSetupFlag { sfSelectDriver, sfAnyBitCount, sfHardware, sfRetainedMode, sfZBuffer };
using TD3DSetupFlags = TSet<TD3DSetupFlag>;

// DDBD_1 to DDBD_32 for 1, 2, 4, 8, 16, 24 and 32 bits; 0 for any other count.
DWORD BitCountToDDBD(Integer BitCount);
// How many of Masks share a bit with Value.
Integer CountMatchingFlags(DWORD Value, std::initializer_list<DWORD> Masks);
// -1 when B matches more of Masks than A, 1 when fewer, 0 when as many.
Integer CompareMatchingFlags(DWORD A, DWORD B, std::initializer_list<DWORD> Masks);
// The sign of CountBits(A) - CountBits(B).
Integer CompareBitCounts(DWORD A, DWORD B);

// Chooses the driver (Driver points into GUIDStorage, or is nil for the primary display driver;
// unchanged when no driver has a suitable device) and, with sfAnyBitCount, a bit count the
// chosen device renders at.
void SelectDriver(TD3DSetupFlags Flags, Integer& BitCount, GUID*& Driver, GUID& GUIDStorage);
// Runs SelectDriver for the display and gives it the chosen driver and bit count.
void ApplyDriverSelection(TD3DSetupFlags Flags, TCustomDXDraw* DXDraw);

// Makes D3D7 and D3DDevice7 on Surface, with a depth buffer attached when asked and possible;
// Flags comes back with what was achieved. Raises EDXDrawError ("3D device not found",
// "IDirect3DDevice7 cannot be made") and then leaves no depth buffer and no reference behind.
void InitializeDirect3D7(TDirectDrawSurface* Surface, TDirectDrawSurface*& ZBuffer,
                         ComPtr<IDirect3D7>& D3D7, TD3DSetupFlags& Flags,
                         ComPtr<IDirect3DDevice7>& D3DDevice7);
// The DirectX 6 counterpart: D3D to D3D3 and D3DDevice to D3DDevice3 on Surface, with dithering
// and the depth test set on the device, and with sfRetainedMode the retained-mode objects, a
// retained-mode device, a scene with its camera (both kept when they exist) and a viewport.
// Raises as InitializeDirect3D7 ("IDirect3DDevice3 cannot be made"), "Direct3D RetainedMode
// cannot be initialized", "IDirect3DRMDevice2 cannot be made", and the interface-conversion
// error for a missing interface; then leaves no depth buffer and no reference behind.
void InitializeDirect3D(TDirectDrawSurface* Surface, TDirectDrawSurface*& ZBuffer,
                        TDirectX6Objects& D3D, TD3DSetupFlags& Flags);
