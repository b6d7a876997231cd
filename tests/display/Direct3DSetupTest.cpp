#include "display/Direct3DSetup.h"

#include "DisplayTestSupport.h"
#include "display/DXConsts.h"
#include "display/DXDrawDrivers.h"

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

TEST_F(Direct3DSetupTest, WithoutDirectX7ModeTheMissingInterfacesStopTheSetUp) {
  MakeDisplay({doCenter, do3D, doHardware});
  EXPECT_THROW(dx->Initialize(), EInvalidCast);
  EXPECT_FALSE(dx->Initialized());
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
