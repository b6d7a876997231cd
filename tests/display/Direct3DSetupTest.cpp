#include "display/Direct3DSetup.h"

#include <functional>
#include <string>
#include <vector>

#include "DisplayTestSupport.h"
#include "display/DXDrawDrivers.h"
#include "dxbase/DXConsts.h"

namespace {

const TDXDrawOptions Windowed3D = {doCenter, do3D, doDirectX7Mode, doHardware, doSelectDriver};

D3DTestDevice WithDepths(D3DTestDevice device, DWORD renderDepths, DWORD zDepths) {
  device.desc.dwDeviceRenderBitDepth = renderDepths;
  device.desc.dwDeviceZBufferBitDepth = zDepths;
  return device;
}

D3DTestDevice Software() { return TestD3DDefaultDevices()[0]; }
D3DTestDevice Hardware() { return TestD3DDefaultDevices()[1]; }

}  // namespace

class Direct3DSetupTest : public DisplayTest {
 protected:
  void MakeDisplay(TDXDrawOptions options) {
    form = MakeForm();
    dx = MakeClientDisplay(form, options);
  }

  GUID DeviceInUse() {
    D3DDEVICEDESC7 caps{};
    dx->D3DDevice7()->GetCaps(&caps);
    return caps.deviceGUID;
  }

  void TearDown() override {
    delete form;
    DisplayTest::TearDown();
    EXPECT_EQ(TestD3DLiveObjects(), 0u);
  }

  TForm* form = nullptr;
  TDXDraw* dx = nullptr;
};

TEST_F(Direct3DSetupTest, HardwareDeviceOnAVideoMemoryBackSurface) {
  MakeDisplay(Windowed3D);
  dx->Initialize();
  ASSERT_NE(dx->D3DDevice7(), nullptr);
  EXPECT_NE(dx->D3D7(), nullptr);
  EXPECT_TRUE(DeviceInUse() == IID_IDirect3DHALDevice);
  EXPECT_TRUE(dx->EffectiveOptions().Contains(doHardware));
  EXPECT_FALSE(dx->EffectiveOptions().Contains(doSelectDriver));
  EXPECT_FALSE(dx->EffectiveOptions().Contains(doZBuffer));
  EXPECT_EQ(dx->ZBuffer(), nullptr);
  // The device draws into the back surface.
  IDirectDrawSurface7* target = nullptr;
  ASSERT_EQ(dx->D3DDevice7()->GetRenderTarget(&target), D3D_OK);
  EXPECT_EQ(target, dx->Surface()->ISurface7());
  target->Release();

  dx->Finalize();
  EXPECT_EQ(dx->D3DDevice7(), nullptr);
  EXPECT_EQ(TestD3DLiveObjects(), 0u);
}

TEST_F(Direct3DSetupTest, SystemMemoryBackSurfaceGetsTheSoftwareDevice) {
  MakeDisplay(Windowed3D + TDXDrawOptions{doSystemMemory});
  dx->Initialize();
  ASSERT_NE(dx->D3DDevice7(), nullptr);
  EXPECT_TRUE(DeviceInUse() == IID_IDirect3DRGBDevice);
  EXPECT_FALSE(dx->EffectiveOptions().Contains(doHardware));
}

TEST_F(Direct3DSetupTest, DeviceSearchPrefersTheLastHardwareDevice) {
  D3DTestDevice second = Hardware();
  second.desc.deviceGUID = IID_IDirect3DTnLHalDevice;
  TestD3DSetDevices({Hardware(), second, Software()});
  MakeDisplay(Windowed3D);
  dx->Initialize();
  EXPECT_TRUE(DeviceInUse() == IID_IDirect3DTnLHalDevice);
}

TEST_F(Direct3DSetupTest, NoUsableDeviceLeavesTheDisplayFinalised) {
  D3DTestDevice reference = Software();
  reference.desc.deviceGUID = IID_IDirect3DRefDevice;
  TestD3DSetDevices({reference, WithDepths(Hardware(), DDBD_16, DDBD_16)});
  MakeDisplay(Windowed3D);
  try {
    dx->Initialize();
    FAIL() << "no device should have been found";
  } catch (EDXDrawError& error) {
    EXPECT_EQ(error.Message(), Msg3DDeviceNotFound);
  }
  EXPECT_FALSE(dx->Initialized());
  EXPECT_EQ(dx->D3DDevice7(), nullptr);
}

TEST_F(Direct3DSetupTest, FailedHardwareDeviceFallsBackToSoftware) {
  MakeDisplay(Windowed3D);
  TestD3DRefuseNext(D3DCall::CreateDevice);
  dx->Initialize();
  EXPECT_TRUE(DeviceInUse() == IID_IDirect3DRGBDevice);
  EXPECT_FALSE(dx->EffectiveOptions().Contains(doHardware));

  TestD3DRefuseNext(D3DCall::CreateDevice, DDERR_GENERIC, 2);
  try {
    dx->Initialize();
    FAIL() << "both devices were refused";
  } catch (EDXDrawError& error) {
    EXPECT_EQ(error.Message(), "IDirect3DDevice7 cannot be made");
  }
  EXPECT_FALSE(dx->Initialized());
}

TEST_F(Direct3DSetupTest, DepthBufferTakesTheSmallestOfferedDepth) {
  TestD3DSetDevices({Software(), WithDepths(Hardware(), DDBD_16 | DDBD_24 | DDBD_32, DDBD_32 | DDBD_16)});
  MakeDisplay(Windowed3D + TDXDrawOptions{doZBuffer});
  dx->Initialize();
  ASSERT_NE(dx->ZBuffer(), nullptr);
  EXPECT_TRUE(dx->EffectiveOptions().Contains(doZBuffer));
  DDSURFACEDESC2 desc{};
  desc.dwSize = kDDSurfaceDesc2Size;
  ASSERT_EQ(dx->ZBuffer()->ISurface7()->GetSurfaceDesc(&desc), DD_OK);
  EXPECT_EQ(desc.ddpfPixelFormat.dwZBufferBitDepth, 16u);

  // A device without depth buffers: no buffer, and the option is not in effect.
  TestD3DSetDevices({Software(), WithDepths(Hardware(), DDBD_32, 0)});
  dx->Initialize();
  EXPECT_EQ(dx->ZBuffer(), nullptr);
  EXPECT_FALSE(dx->EffectiveOptions().Contains(doZBuffer));
}

TEST_F(Direct3DSetupTest, DirectX6PathMakesEveryVersionAndSetsTheDepthTest) {
  MakeDisplay({doCenter, do3D, doHardware, doZBuffer});
  dx->Initialize();
  const TDirectX6Objects& d3d = dx->DirectX6();
  EXPECT_TRUE(d3d.D3D && d3d.D3D2 && d3d.D3D3);
  ASSERT_TRUE(d3d.D3DDevice && d3d.D3DDevice2 && d3d.D3DDevice3);
  EXPECT_EQ(dx->D3DDevice7(), nullptr);
  EXPECT_EQ(dx->D3D7(), nullptr);
  EXPECT_FALSE(d3d.D3DRM);
  D3DDEVICEDESC hardware{}, software{};
  d3d.D3DDevice3->GetCaps(&hardware, &software);
  EXPECT_EQ(hardware.dcmColorModel, D3DCOLOR_RGB);  // the hardware device
  const TDXDrawOptions decidedBy3D{doHardware, doZBuffer, doRetainedMode};
  EXPECT_EQ(dx->EffectiveOptions() * decidedBy3D, (TDXDrawOptions{doHardware, doZBuffer}));
  auto state = [&](D3DRENDERSTATETYPE which) {
    DWORD value = 99;
    dx->DirectX6().D3DDevice3->GetRenderState(which, &value);
    return value;
  };
  ASSERT_NE(dx->ZBuffer(), nullptr);
  EXPECT_EQ(state(D3DRENDERSTATE_DITHERENABLE), DWORD{TRUE});
  EXPECT_EQ(state(D3DRENDERSTATE_ZENABLE), DWORD{TRUE});
  EXPECT_EQ(state(D3DRENDERSTATE_ZWRITEENABLE), DWORD{TRUE});

  // A device without depth buffers: no buffer, so no depth test either.
  TestD3DSetDevices({Software(), WithDepths(Hardware(), DDBD_16 | DDBD_32, 0)});
  dx->Initialize();
  EXPECT_EQ(dx->ZBuffer(), nullptr);
  EXPECT_EQ(state(D3DRENDERSTATE_ZENABLE), DWORD{FALSE});
  EXPECT_EQ(state(D3DRENDERSTATE_ZWRITEENABLE), DWORD{FALSE});

  dx->Finalize();
  EXPECT_FALSE(dx->DirectX6().D3D || dx->DirectX6().D3DDevice3);
  EXPECT_EQ(TestD3DLiveObjects(), 0u);
}

TEST_F(Direct3DSetupTest, RetainedModeGetsADeviceASceneWithCameraAndAViewport) {
  MakeDisplay({do3D, doRetainedMode, doHardware});
  dx->SetAutoSize(false);
  dx->SetSurfaceWidth(320);
  dx->SetSurfaceHeight(200);
  dx->Initialize();
  const TDirectX6Objects& d3d = dx->DirectX6();
  EXPECT_TRUE(dx->EffectiveOptions().Contains(doRetainedMode));
  ASSERT_TRUE(d3d.D3DRM && d3d.D3DRM2 && d3d.D3DRM3);
  ASSERT_TRUE(d3d.D3DRMDevice && d3d.D3DRMDevice2 && d3d.D3DRMDevice3);
  IDirect3DRMDevice* device = d3d.D3DRMDevice.Get();
  EXPECT_EQ(device->GetBufferCount(), 2u);
  EXPECT_EQ(device->GetQuality(), 0x89u);
  EXPECT_EQ(device->GetTextureQuality(), D3DRMTEXTURE_NEAREST);
  EXPECT_TRUE(device->GetDither());
  EXPECT_EQ(device->GetShades(), 32u);  // only an 8-bit back surface has fewer
  IDirect3DDevice2* drawsThrough = nullptr;
  device->GetDirect3DDevice2(&drawsThrough);
  EXPECT_EQ(drawsThrough, d3d.D3DDevice2.Get());
  drawsThrough->Release();
  EXPECT_EQ(d3d.D3DRM->GetDefaultTextureColors(), 64u);
  EXPECT_EQ(d3d.D3DRM->GetDefaultTextureShades(), 32u);

  ASSERT_TRUE(d3d.Scene && d3d.Camera && d3d.Viewport);
  IDirect3DRMFrame* parent = nullptr;
  d3d.Camera->GetParent(&parent);
  EXPECT_EQ(parent, d3d.Scene.Get());
  parent->Release();
  IDirect3DRMFrame* camera = nullptr;
  d3d.Viewport->GetCamera(&camera);
  EXPECT_EQ(camera, d3d.Camera.Get());
  camera->Release();
  EXPECT_EQ(d3d.Viewport->GetWidth(), 320u);
  EXPECT_EQ(d3d.Viewport->GetHeight(), 200u);
  EXPECT_EQ(d3d.Viewport->GetBack(), 5000);

  // A new back surface gets a new device and viewport, in the scene and camera it had.
  IDirect3DRMFrame* const scene = d3d.Scene.Get();
  dx->SetSize(200, 100);
  EXPECT_EQ(d3d.Scene.Get(), scene);
  ASSERT_TRUE(d3d.Viewport);
  EXPECT_EQ(d3d.Viewport->GetWidth(), 200u);
  EXPECT_EQ(d3d.D3DRMDevice->GetHeight(), 100u);

  dx->Finalize();
  EXPECT_FALSE(d3d.D3DRM || d3d.Scene || d3d.Viewport);
  EXPECT_EQ(TestD3DRMLiveObjects(), 0u);
  EXPECT_EQ(TestD3DLiveObjects(), 0u);
}

TEST_F(Direct3DSetupTest, EveryFailureOfTheDirectX6PathLeavesNothingBehind) {
  struct Failure {
    const char* refused;
    std::function<void()> refuse;
    std::string message;
  };
  const std::string cast = SInvalidCast;
  const std::vector<Failure> failures = {
      {"IDirect3D", [] { TestD3DRefuseNext(D3DCall::QueryInterface); }, cast},
      {"IDirect3D2", [] { TestD3DWithholdInterface(IID_IDirect3D2); }, cast},
      {"IDirect3D3", [] { TestD3DWithholdInterface(IID_IDirect3D3); }, cast},
      {"no device", [] { TestD3DSetDevices({WithDepths(Software(), DDBD_16, DDBD_16)}); },
       Msg3DDeviceNotFound},
      {"both devices",
       [] { TestD3DRefuseNext(D3DCall::CreateDevice, DDERR_GENERIC, 2); },
       "IDirect3DDevice3 cannot be made"},
      {"IDirect3DDevice2", [] { TestD3DWithholdInterface(IID_IDirect3DDevice2); }, cast},
      {"IDirect3DDevice", [] { TestD3DWithholdInterface(IID_IDirect3DDevice); }, cast},
      {"D3DRM.dll", [] { UnregisterBuiltinModule("D3DRM.dll"); }, "D3DRM.dll is not loaded"},
      {"Direct3DRMCreate", [] { TestD3DRMRefuseNext(D3DRMCall::Direct3DRMCreate); },
       "Direct3D RetainedMode cannot be initialized"},
      {"IDirect3DRM2", [] { TestD3DRMWithholdInterface(IID_IDirect3DRM2); }, cast},
      {"IDirect3DRM3", [] { TestD3DRMWithholdInterface(IID_IDirect3DRM3); }, cast},
      {"CreateDeviceFromD3D", [] { TestD3DRMRefuseNext(D3DRMCall::CreateDeviceFromD3D); },
       "IDirect3DRMDevice2 cannot be made"},
      {"IDirect3DRMDevice", [] { TestD3DRMWithholdInterface(IID_IDirect3DRMDevice); }, cast},
      {"IDirect3DRMDevice3", [] { TestD3DRMWithholdInterface(IID_IDirect3DRMDevice3); }, cast},
  };
  MakeDisplay({do3D, doRetainedMode, doHardware, doZBuffer});
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.refused);
    failure.refuse();
    EXPECT_EQ(MessageOf<Exception>([&] { dx->Initialize(); }), failure.message);
    EXPECT_FALSE(dx->Initialized());
    EXPECT_EQ(dx->ZBuffer(), nullptr);
    EXPECT_FALSE(dx->DirectX6().D3D || dx->DirectX6().D3DDevice || dx->DirectX6().D3DRM);
    EXPECT_EQ(TestD3DLiveObjects(), 0u);
    EXPECT_EQ(TestD3DRMLiveObjects(), 0u);
    TestD3DReset();
    TestD3DRMReset();
    RegisterRetainedModeModule();
  }
  // With the knobs back the same display initialises, on software when the hardware device
  // cannot be made.
  TestD3DRefuseNext(D3DCall::CreateDevice);
  dx->Initialize();
  EXPECT_TRUE(dx->DirectX6().Viewport);
  EXPECT_FALSE(dx->EffectiveOptions().Contains(doHardware));
}

TEST_F(Direct3DSetupTest, RetainedModeWithoutFramesOrViewportStillSetsUp) {
  // Frames and the viewport are not checked: a scene retained mode would not make is simply
  // not there, and no clipping plane is set on a viewport that is not there.
  MakeDisplay({do3D, doRetainedMode});
  TestD3DRMRefuseNext(D3DRMCall::CreateFrame, D3DRMERR_BADOBJECT, 2);
  dx->Initialize();
  EXPECT_FALSE(dx->DirectX6().Scene || dx->DirectX6().Camera || dx->DirectX6().Viewport);
  EXPECT_TRUE(dx->DirectX6().D3DRMDevice);
  EXPECT_TRUE(dx->EffectiveOptions().Contains(doRetainedMode));
}

TEST_F(Direct3DSetupTest, DriverSelectionMovesTheBitCountOnlyWhenAllowed) {
  TestD3DSetDevices({Software(), WithDepths(Hardware(), DDBD_24 | DDBD_32, DDBD_16)});
  GUID storage{};
  GUID* driver = reinterpret_cast<GUID*>(&storage);
  Integer bitCount = 16;
  SelectDriver({sfSelectDriver, sfHardware, sfAnyBitCount}, bitCount, driver, storage);
  EXPECT_EQ(bitCount, 24);
  EXPECT_EQ(driver, nullptr);  // the primary display driver won

  // Without sfAnyBitCount a device that cannot render at the bit count does not count.
  driver = &storage;
  bitCount = 16;
  SelectDriver({sfSelectDriver, sfHardware}, bitCount, driver, storage);
  EXPECT_EQ(bitCount, 16);
  EXPECT_EQ(driver, &storage);

  TestD3DSetDevices({Software(), WithDepths(Hardware(), DDBD_16 | DDBD_32, DDBD_16)});
  bitCount = 24;
  driver = nullptr;
  SelectDriver({sfHardware, sfAnyBitCount}, bitCount, driver, storage);
  EXPECT_EQ(bitCount, 16);
}

TEST_F(Direct3DSetupTest, FullScreenDisplayRunsTheDriverSelection) {
  TestD3DSetDevices({Software(), WithDepths(Hardware(), DDBD_16, DDBD_16)});
  MakeDisplay({doFullScreen, do3D, doDirectX7Mode, doHardware, doSelectDriver});
  dx->Display()->SetWidth(640);
  dx->Display()->SetHeight(480);
  dx->Display()->SetBitCount(32);
  dx->Display()->SetFixedBitCount(false);
  dx->Initialize();
  EXPECT_EQ(dx->Display()->BitCount(), 16);
  EXPECT_EQ(dx->Surface()->BitCount(), 16);
  EXPECT_TRUE(DeviceInUse() == IID_IDirect3DHALDevice);
}

// Several display drivers, each with its video memory, surface capabilities and one hardware
// device; driver n has the GUID {n, ...}, driver 0 is the primary display driver (no GUID).
class DriverSelectionTest : public Direct3DSetupTest {
 protected:
  struct Offer {
    DWORD videoMemory = 32u << 20;
    DWORD surfaceCaps = DDSCAPS_TEXTURE | DDSCAPS_ZBUFFER;
    DWORD rasterCaps = D3DPRASTERCAPS_DITHER;
    DWORD renderDepths = DDBD_16 | DDBD_32;
    bool has3D = true;
  };

  static GUID DriverGuid(uint32_t n) { return {n, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}}; }

  void OfferDrivers(const std::vector<Offer>& offers) {
    std::vector<DDrawTestDriver> drivers;
    std::vector<std::vector<D3DTestDevice>> devices;
    for (uint32_t n = 0; n < offers.size(); ++n) {
      DDrawTestDriver driver = TestDDrawDefaultDriver();
      driver.hasGuid = n > 0;
      driver.guid = DriverGuid(n);
      driver.driverCaps.dwVidMemTotal = offers[n].videoMemory;
      driver.driverCaps.ddsCaps.dwCaps = offers[n].surfaceCaps;
      if (!offers[n].has3D) driver.driverCaps.dwCaps &= ~DDCAPS_3D;
      drivers.push_back(driver);
      D3DTestDevice hardware = WithDepths(Hardware(), offers[n].renderDepths, DDBD_16);
      hardware.desc.dpcLineCaps.dwRasterCaps = offers[n].rasterCaps;
      devices.push_back({Software(), hardware});
    }
    TestDDrawSetDrivers(drivers);
    TestD3DSetDriverDevices(devices);
  }

  // The number of the driver chosen (-1: none won), with the bit count it leaves.
  int32_t Chosen(TD3DSetupFlags Flags, Integer& BitCount) {
    GUID storage{};
    GUID* driver = reinterpret_cast<GUID*>(&unchosen);
    SelectDriver(Flags + TD3DSetupFlags{sfSelectDriver, sfHardware}, BitCount, driver, storage);
    if (driver == reinterpret_cast<GUID*>(&unchosen)) return -1;
    if (!driver) return 0;
    EXPECT_EQ(driver, &storage);
    return static_cast<int32_t>(driver->Data1);
  }
  int32_t Chosen() {
    Integer bitCount = 32;
    return Chosen({}, bitCount);
  }

  GUID unchosen{};
};

TEST_F(DriverSelectionTest, LessVideoMemoryLosesAndEqualScoresGoToTheLaterDriver) {
  OfferDrivers({{.videoMemory = 64u << 20}, {.videoMemory = 32u << 20}});
  EXPECT_EQ(Chosen(), 0);
  OfferDrivers({{.videoMemory = 32u << 20}, {.videoMemory = 64u << 20}});
  EXPECT_EQ(Chosen(), 1);
  OfferDrivers({{}, {}, {}});
  EXPECT_EQ(Chosen(), 2);
}

TEST_F(DriverSelectionTest, ScoreWeighsSurfaceCapabilitiesAgainstLineCapabilities) {
  // Fewer of texture, depth buffer and mipmap surfaces loses.
  OfferDrivers({{.surfaceCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP}, {}});
  EXPECT_EQ(Chosen(), 1);  // equal: one each
  OfferDrivers({{.surfaceCaps = DDSCAPS_TEXTURE | DDSCAPS_ZBUFFER | DDSCAPS_MIPMAP}, {}});
  EXPECT_EQ(Chosen(), 0);
  // The line capabilities count the other way: a later driver with more bits in a field loses
  // a point, one with fewer gains one.
  OfferDrivers({{}, {.rasterCaps = D3DPRASTERCAPS_DITHER | 0x2}});
  EXPECT_EQ(Chosen(), 0);
  OfferDrivers({{.rasterCaps = D3DPRASTERCAPS_DITHER | 0x2},
                {.surfaceCaps = DDSCAPS_TEXTURE, .rasterCaps = 0}});
  EXPECT_EQ(Chosen(), 1);  // -1 for surfaces, +1 for raster capabilities
}

TEST_F(DriverSelectionTest, DriversWithout3DOrASuitableDeviceAreNotCounted) {
  OfferDrivers({{}, {.videoMemory = 64u << 20, .has3D = false}});
  EXPECT_EQ(Chosen(), 0);
  OfferDrivers({{.renderDepths = DDBD_16}, {.videoMemory = 16u << 20}});
  Integer bitCount = 32;
  EXPECT_EQ(Chosen({}, bitCount), 1);  // driver 0 cannot render at 32 bits
  OfferDrivers({{.renderDepths = DDBD_16}});
  bitCount = 32;
  EXPECT_EQ(Chosen({}, bitCount), -1);
  EXPECT_EQ(bitCount, 32);
}

TEST_F(DriverSelectionTest, AnyBitCountMovesToWhatTheChosenDeviceRenders) {
  // With sfAnyBitCount every device of 16, 24 or 32 bits counts; the bit count then moves to
  // the chosen device's, the lowest first.
  OfferDrivers({{.videoMemory = 64u << 20, .renderDepths = DDBD_32},
                {.renderDepths = DDBD_16 | DDBD_24}});
  Integer bitCount = 8;
  EXPECT_EQ(Chosen({sfAnyBitCount}, bitCount), 0);
  EXPECT_EQ(bitCount, 32);
  OfferDrivers({{.renderDepths = DDBD_32}, {.renderDepths = DDBD_24 | DDBD_32}});
  bitCount = 16;
  EXPECT_EQ(Chosen({sfAnyBitCount}, bitCount), 1);
  EXPECT_EQ(bitCount, 24);
  // A bit count the chosen device renders at stays.
  bitCount = 32;
  Chosen({sfAnyBitCount}, bitCount);
  EXPECT_EQ(bitCount, 32);
}

TEST_F(DriverSelectionTest, FullScreenDisplayOpensTheChosenDriver) {
  OfferDrivers({{}, {.videoMemory = 64u << 20}, {}});
  TestD3DSetDriverDevices({});  // every driver offers the default devices
  MakeDisplay({doFullScreen, do3D, doDirectX7Mode, doHardware, doSelectDriver});
  dx->Display()->SetWidth(640);
  dx->Display()->SetHeight(480);
  dx->Initialize();
  ASSERT_NE(dx->Driver(), nullptr);
  EXPECT_TRUE(*dx->Driver() == DriverGuid(1));
  EXPECT_EQ(dx->DDraw()->DriverCaps().dwVidMemTotal, 64u << 20);
}

TEST(Direct3DSetupHelpers, CountAndCompareFlags) {
  EXPECT_EQ(BitCountToDDBD(16), DDBD_16);
  EXPECT_EQ(BitCountToDDBD(1), DDBD_1);
  EXPECT_EQ(BitCountToDDBD(15), 0u);
  EXPECT_EQ(CountMatchingFlags(0x1001, {0x1, 0x1000, 0x20000}), 2);
  EXPECT_EQ(CompareMatchingFlags(0x1, 0x1001, {0x1, 0x1000}), -1);
  EXPECT_EQ(CompareMatchingFlags(0x1001, 0x1, {0x1, 0x1000}), 1);
  EXPECT_EQ(CompareMatchingFlags(0x1, 0x1000, {0x1, 0x1000}), 0);
  EXPECT_EQ(CompareBitCounts(0x7, 0x3), 1);
  EXPECT_EQ(CompareBitCounts(0x1, 0x80000000), 0);
  EXPECT_EQ(CompareBitCounts(0, 0xFF), -1);
}
