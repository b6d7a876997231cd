// Knobs of the DirectDraw device for tests: refuse calls, cap video memory, choose the display
// modes on offer, take mipmaps away, lose every surface. Presented frames are read back with
// ScreenLastFrame and counted with ScreenFrameCount (platform/user/Screen.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ddraw/DDraw.h"
#include "platform/user/Screen.h"

// The kinds of call a refusal can be aimed at. DirectDrawCreate covers both creation entry
// points; Blt covers colour fills too.
enum class DDrawCall {
  DirectDrawCreate,
  SetCooperativeLevel,
  SetDisplayMode,
  EnumDisplayModes,
  CreateSurface,
  CreatePalette,
  CreateClipper,
  DuplicateSurface,
  WaitForVerticalBlank,
  Blt,
  BltFast,
  Flip,
  Lock,
  GetDC,
  Restore,
  SetColorKey,
  SetClipper,
  SetPalette,
  AddAttachedSurface,
  GetAttachedSurface,
  SetEntries,
  SetHWnd,
};

// The next `times` calls of the kind fail with `result` and do nothing else.
void TestDDrawRefuseNext(DDrawCall call, HRESULT result = DDERR_GENERIC, uint32_t times = 1);

// Video memory budget in bytes (64 MiB at start). Lowering it below what is in use refuses only
// new surfaces.
void TestDDrawSetVideoMemory(uint32_t bytes);
uint32_t TestDDrawVideoMemoryUsed();

struct DDrawDisplayMode {
  int32_t width;
  int32_t height;
  int32_t bitCount;
  friend bool operator==(const DDrawDisplayMode&, const DDrawDisplayMode&) = default;
};

// The modes EnumDisplayModes lists and SetDisplayMode accepts, in this order. At start: the
// common modes from 640x480 to 1920x1200 and the host's own screen size, at 16 and 32 bits.
void TestDDrawSetDisplayModes(const std::vector<DDrawDisplayMode>& modes);
std::vector<DDrawDisplayMode> TestDDrawDisplayModes();
// The mode the display is in (the host's screen size at 32 bits until a mode is set).
DDrawDisplayMode TestDDrawCurrentDisplayMode();

// Whether the driver reports and makes mipmapped textures (it does at start). Without them,
// creating a mipmap fails with DDERR_NOMIPMAPHW.
void TestDDrawOfferMipmaps(bool offered);

// Every surface, in video or system memory, reports DDERR_SURFACELOST until restored.
void TestDDrawLoseAllSurfaces();

// Surface objects alive now, and calls of WaitForVerticalBlank so far.
uint32_t TestDDrawLiveSurfaces();
uint32_t TestDDrawVerticalBlankWaits();

// The flags the last SetCooperativeLevel call on any DirectDraw object was given, whatever came
// of it (0 before the first).
DWORD TestDDrawLastCooperativeLevel();

// One display driver DirectDrawEnumerate lists. The primary display driver is listed without a
// GUID (hasGuid false); DirectDrawCreate opens a listed driver by its GUID, and the primary one
// (or, without one, the first) for none. GetCaps answers the capabilities given here.
struct DDrawTestDriver {
  bool hasGuid = false;
  GUID guid{};
  std::string description;
  std::string name;
  DDCAPS driverCaps{};
  DDCAPS emulationCaps{};
};

// The one driver listed at start, with the capabilities it reports now.
DDrawTestDriver TestDDrawDefaultDriver();
// Drivers listed from now on, in this order; an empty list brings back the one at start. The
// devices Direct3D offers on each are set with TestD3DSetDriverDevices.
void TestDDrawSetDrivers(const std::vector<DDrawTestDriver>& drivers);

// Back to the state at start: no refusals, the default driver, budget and mode list, the host's
// mode.
// Meant to run while no DirectDraw object is alive.
void TestDDrawReset();
