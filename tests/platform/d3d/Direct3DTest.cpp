#include <string>
#include <vector>

#include "platform/d3d/D3DTestSupport.h"

namespace {

struct ListedDevice {
  std::string name;
  D3DDEVICEDESC7 desc;
};

HRESULT CollectDevice(char*, char* name, D3DDEVICEDESC7* desc, void* context) {
  static_cast<std::vector<ListedDevice>*>(context)->push_back({name, *desc});
  return D3DENUMRET_OK;
}

struct ListedVersion1Device {
  GUID guid;
  D3DDEVICEDESC hardware;
  D3DDEVICEDESC software;
};

HRESULT CollectVersion1Device(GUID* guid, char*, char*, D3DDEVICEDESC* hardware,
                              D3DDEVICEDESC* software, void* context) {
  static_cast<std::vector<ListedVersion1Device>*>(context)->push_back(
      {*guid, *hardware, *software});
  return D3DENUMRET_OK;
}

HRESULT StopAtFirst(char*, char*, D3DDEVICEDESC7*, void* context) {
  ++*static_cast<int*>(context);
  return D3DENUMRET_CANCEL;
}

HRESULT CollectFormat(DDPIXELFORMAT* format, void* context) {
  static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*format);
  return D3DENUMRET_OK;
}

// The current reference count, read by taking and dropping one.
ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

}  // namespace

using Direct3DSetupTest = D3DFixture;

TEST_F(Direct3DSetupTest, DirectDrawAnswersForEveryDirect3DVersionUnlessWithheld) {
  for (const GUID& iid : {IID_IDirect3D, IID_IDirect3D2, IID_IDirect3D3}) {
    void* object = nullptr;
    ASSERT_EQ(dd->QueryInterface(iid, &object), S_OK);
    static_cast<IUnknown*>(object)->Release();
  }
  TestD3DWithholdInterface(IID_IDirect3D2);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(dd->QueryInterface(IID_IDirect3D2, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(d3d->QueryInterface(IID_IDirect3D2, &object), E_NOINTERFACE);
  ASSERT_EQ(d3d->QueryInterface(IID_IDirect3D3, &object), S_OK);
  static_cast<IDirect3D3*>(object)->Release();
}

TEST_F(Direct3DSetupTest, Direct3DKeepsItsDirectDrawObjectAlive) {
  const ULONG before = References(dd.Get());
  void* object = nullptr;
  ASSERT_EQ(dd->QueryInterface(IID_IDirect3D7, &object), S_OK);
  EXPECT_EQ(References(dd.Get()), before + 1);
  static_cast<IDirect3D7*>(object)->Release();
  EXPECT_EQ(References(dd.Get()), before);
}

TEST_F(Direct3DSetupTest, ListsSoftwareThenHardwareDevice) {
  std::vector<ListedDevice> devices;
  ASSERT_EQ(d3d->EnumDevices(&CollectDevice, &devices), D3D_OK);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].name, "RGB Emulation");
  EXPECT_TRUE(devices[0].desc.deviceGUID == IID_IDirect3DRGBDevice);
  EXPECT_EQ(devices[0].desc.dwDevCaps & D3DDEVCAPS_HWRASTERIZATION, 0u);
  EXPECT_EQ(devices[1].name, "Direct3D HAL");
  EXPECT_TRUE(devices[1].desc.deviceGUID == IID_IDirect3DHALDevice);
  EXPECT_NE(devices[1].desc.dwDevCaps & D3DDEVCAPS_HWRASTERIZATION, 0u);
  EXPECT_NE(devices[1].desc.dwDeviceRenderBitDepth & DDBD_32, 0u);
  EXPECT_NE(devices[1].desc.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_TRANSPARENCY, 0u);

  int calls = 0;
  ASSERT_EQ(d3d->EnumDevices(&StopAtFirst, &calls), D3D_OK);
  EXPECT_EQ(calls, 1);
}

TEST_F(Direct3DSetupTest, Version1ListingSeparatesHardwareAndSoftwareDescriptions) {
  void* object = nullptr;
  ASSERT_EQ(dd->QueryInterface(IID_IDirect3D, &object), S_OK);
  ComPtr<IDirect3D> version1 = ComPtr<IDirect3D>::Attach(static_cast<IDirect3D*>(object));
  std::vector<ListedVersion1Device> devices;
  ASSERT_EQ(version1->EnumDevices(&CollectVersion1Device, &devices), D3D_OK);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_TRUE(devices[0].guid == IID_IDirect3DRGBDevice);
  EXPECT_EQ(devices[0].hardware.dcmColorModel, 0u);
  EXPECT_EQ(devices[0].software.dcmColorModel, D3DCOLOR_RGB);
  EXPECT_TRUE(devices[1].guid == IID_IDirect3DHALDevice);
  EXPECT_EQ(devices[1].hardware.dcmColorModel, D3DCOLOR_RGB);
  EXPECT_EQ(devices[1].software.dcmColorModel, 0u);
  EXPECT_EQ(devices[1].hardware.dwSize, 252u);
  EXPECT_EQ(devices[1].hardware.dwDeviceRenderBitDepth, DDBD_16 | DDBD_24 | DDBD_32);
  EXPECT_EQ(devices[1].hardware.dpcTriCaps.dwTextureCaps,
            TestD3DDefaultDevices()[1].desc.dpcTriCaps.dwTextureCaps);
}

TEST_F(Direct3DSetupTest, DeviceListCanBeReplaced) {
  std::vector<D3DTestDevice> list = TestD3DDefaultDevices();
  list[1].desc.dwDeviceRenderBitDepth = DDBD_16;
  list.push_back(list[0]);
  list.back().desc.deviceGUID = IID_IDirect3DRefDevice;
  TestD3DSetDevices(list);
  std::vector<ListedDevice> devices;
  ASSERT_EQ(d3d->EnumDevices(&CollectDevice, &devices), D3D_OK);
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[1].desc.dwDeviceRenderBitDepth, DDBD_16);
  EXPECT_TRUE(devices[2].desc.deviceGUID == IID_IDirect3DRefDevice);

  // A device only renders at its bit depths.
  ComPtr<IDirectDrawSurface7> target = MakeTarget(8, 8, 32);
  IDirect3DDevice7* device = nullptr;
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target.Get(), &device),
            DDERR_INVALIDPIXELFORMAT);
  EXPECT_EQ(device, nullptr);
}

TEST_F(Direct3DSetupTest, CreateDeviceChecksDeviceAndRenderTarget) {
  IDirect3DDevice7* device = nullptr;
  ComPtr<IDirectDrawSurface7> video = MakeTarget(8, 8, 32, DDSCAPS_VIDEOMEMORY);
  ComPtr<IDirectDrawSurface7> system = MakeTarget(8, 8, 32, DDSCAPS_SYSTEMMEMORY);
  ComPtr<IDirectDrawSurface7> plain = MakeSurface(8, 8, DDSCAPS_OFFSCREENPLAIN, 32);
  ComPtr<IDirectDrawSurface7> indexed = MakeTarget(8, 8, 8, DDSCAPS_SYSTEMMEMORY);

  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRefDevice, video.Get(), &device),
            D3DERR_INVALID_DEVICE);
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, nullptr, &device), DDERR_INVALIDPARAMS);
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, plain.Get(), &device), DDERR_INVALIDCAPS);
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, indexed.Get(), &device),
            DDERR_INVALIDPIXELFORMAT);
  // Hardware renders only into video memory; the software device anywhere.
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, system.Get(), &device), DDERR_INVALIDCAPS);
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(TestD3DLiveObjects(), 1u);

  ComPtr<IDirect3DDevice7> software = MakeDevice(system.Get(), IID_IDirect3DRGBDevice);
  ComPtr<IDirect3DDevice7> hardware = MakeDevice(video.Get(), IID_IDirect3DHALDevice);
  ASSERT_TRUE(software && hardware);
  D3DDEVICEDESC7 caps{};
  ASSERT_EQ(hardware->GetCaps(&caps), D3D_OK);
  EXPECT_TRUE(caps.deviceGUID == IID_IDirect3DHALDevice);
  D3DVIEWPORT7 viewport{};
  ASSERT_EQ(hardware->GetViewport(&viewport), D3D_OK);
  EXPECT_EQ(viewport.dwWidth, 8u);
  EXPECT_EQ(viewport.dwHeight, 8u);
}

TEST_F(Direct3DSetupTest, DeviceHoldsItsDirect3DTargetAndTextures) {
  ComPtr<IDirectDrawSurface7> target = MakeTarget(4, 4);
  ComPtr<IDirectDrawSurface7> texture = MakeTexture(2, 2, {1, 2, 3, 4});
  const ULONG d3dBefore = References(d3d.Get());
  const ULONG targetBefore = References(target.Get());
  const ULONG textureBefore = References(texture.Get());
  {
    ComPtr<IDirect3DDevice7> device = MakeDevice(target.Get());
    EXPECT_EQ(References(d3d.Get()), d3dBefore + 1);
    EXPECT_EQ(References(target.Get()), targetBefore + 1);
    ASSERT_EQ(device->SetTexture(0, texture.Get()), D3D_OK);
    EXPECT_EQ(References(texture.Get()), textureBefore + 1);
    ASSERT_EQ(device->SetTexture(0, texture.Get()), D3D_OK);
    EXPECT_EQ(References(texture.Get()), textureBefore + 1);
    ASSERT_EQ(device->SetTexture(0, nullptr), D3D_OK);
    EXPECT_EQ(References(texture.Get()), textureBefore);
    ASSERT_EQ(device->SetTexture(0, texture.Get()), D3D_OK);
  }
  EXPECT_EQ(References(d3d.Get()), d3dBefore);
  EXPECT_EQ(References(target.Get()), targetBefore);
  EXPECT_EQ(References(texture.Get()), textureBefore);
}

TEST_F(Direct3DSetupTest, RenderTargetCanBeSwitched) {
  ComPtr<IDirectDrawSurface7> first = MakeTarget(4, 4);
  ComPtr<IDirectDrawSurface7> second = MakeTarget(6, 5);
  ComPtr<IDirectDrawSurface7> plain = MakeSurface(6, 5, DDSCAPS_OFFSCREENPLAIN, 32);
  ComPtr<IDirect3DDevice7> device = MakeDevice(first.Get());
  EXPECT_EQ(device->SetRenderTarget(plain.Get(), 0), DDERR_INVALIDCAPS);
  ASSERT_EQ(device->SetRenderTarget(second.Get(), 0), D3D_OK);
  IDirectDrawSurface7* current = nullptr;
  ASSERT_EQ(device->GetRenderTarget(&current), D3D_OK);
  EXPECT_EQ(current, second.Get());
  current->Release();
  D3DVIEWPORT7 viewport{};
  ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
  EXPECT_EQ(viewport.dwWidth, 6u);
  EXPECT_EQ(viewport.dwHeight, 5u);

  TestDDrawLoseAllSurfaces();
  EXPECT_EQ(device->SetRenderTarget(first.Get(), 0), DDERR_SURFACELOST);
}

TEST_F(Direct3DSetupTest, StatesAreCheckedAndKept) {
  ComPtr<IDirectDrawSurface7> target = MakeTarget(4, 4);
  ComPtr<IDirect3DDevice7> device = MakeDevice(target.Get());
  DWORD value = 0;
  ASSERT_EQ(device->GetRenderState(D3DRENDERSTATE_SRCBLEND, &value), D3D_OK);
  EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_ONE));
  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1), D3D_OK);
  ASSERT_EQ(device->GetRenderState(D3DRENDERSTATE_COLORKEYENABLE, &value), D3D_OK);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(kD3DRenderStateCount), 1),
            DDERR_INVALIDPARAMS);

  ASSERT_EQ(device->GetTextureStageState(0, D3DTSS_MAGFILTER, &value), D3D_OK);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTFG_POINT));
  ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR), D3D_OK);
  ASSERT_EQ(device->GetTextureStageState(0, D3DTSS_MAGFILTER, &value), D3D_OK);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTFG_LINEAR));
  EXPECT_EQ(device->SetTextureStageState(kD3DTextureStageCount, D3DTSS_MAGFILTER, 1),
            DDERR_INVALIDPARAMS);

  // Only texture surfaces can be set as textures.
  ComPtr<IDirectDrawSurface7> plain = MakeSurface(2, 2, DDSCAPS_OFFSCREENPLAIN, 32);
  EXPECT_EQ(device->SetTexture(0, plain.Get()), DDERR_INVALIDCAPS);
  EXPECT_EQ(device->SetTexture(kD3DTextureStageCount, nullptr), DDERR_INVALIDPARAMS);

  EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
  EXPECT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
  EXPECT_EQ(device->EndScene(), D3D_OK);
}

TEST_F(Direct3DSetupTest, ListsTheTextureFormats) {
  ComPtr<IDirectDrawSurface7> target = MakeTarget(4, 4);
  ComPtr<IDirect3DDevice7> device = MakeDevice(target.Get());
  std::vector<DDPIXELFORMAT> formats;
  ASSERT_EQ(device->EnumTextureFormats(&CollectFormat, &formats), D3D_OK);
  ASSERT_EQ(formats.size(), TestD3DDefaultTextureFormats().size());
  bool hasArgb = false, hasPalette = false;
  for (const DDPIXELFORMAT& format : formats) {
    hasArgb |= format.dwRGBBitCount == 32 && format.dwRGBAlphaBitMask == 0xFF000000;
    hasPalette |= (format.dwFlags & DDPF_PALETTEINDEXED8) != 0;
  }
  EXPECT_TRUE(hasArgb);
  EXPECT_TRUE(hasPalette);

  // Every listed format makes a texture surface.
  for (const DDPIXELFORMAT& format : formats) {
    DDSURFACEDESC2 desc = OffscreenDesc(4, 4, DDSCAPS_TEXTURE);
    desc.dwFlags |= DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat = format;
    IDirectDrawSurface7* surface = nullptr;
    EXPECT_EQ(dd->CreateSurface(&desc, &surface, nullptr), DD_OK) << format.dwRGBBitCount;
    if (surface) surface->Release();
  }

  TestD3DSetTextureFormats({formats[4]});
  formats.clear();
  ASSERT_EQ(device->EnumTextureFormats(&CollectFormat, &formats), D3D_OK);
  ASSERT_EQ(formats.size(), 1u);
  EXPECT_EQ(formats[0].dwRGBBitCount, 32u);
}

TEST_F(Direct3DSetupTest, RefusedCallsFailOnceAndDoNothing) {
  ComPtr<IDirectDrawSurface7> target = MakeTarget(4, 4);
  ComPtr<IDirectDrawSurface7> texture = MakeTexture(1, 1, {0xFFFFFF});

  void* object = nullptr;
  TestD3DRefuseNext(D3DCall::QueryInterface, E_FAIL);
  EXPECT_EQ(dd->QueryInterface(IID_IDirect3D7, &object), E_FAIL);
  EXPECT_EQ(object, nullptr);

  std::vector<ListedDevice> devices;
  TestD3DRefuseNext(D3DCall::EnumDevices, DDERR_GENERIC);
  EXPECT_EQ(d3d->EnumDevices(&CollectDevice, &devices), DDERR_GENERIC);
  EXPECT_TRUE(devices.empty());

  IDirect3DDevice7* raw = nullptr;
  TestD3DRefuseNext(D3DCall::CreateDevice, DDERR_OUTOFVIDEOMEMORY, 2);
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target.Get(), &raw),
            DDERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, target.Get(), &raw),
            DDERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(raw, nullptr);
  ComPtr<IDirect3DDevice7> device = MakeDevice(target.Get());
  ASSERT_TRUE(device);

  std::vector<DDPIXELFORMAT> formats;
  TestD3DRefuseNext(D3DCall::EnumTextureFormats);
  EXPECT_EQ(device->EnumTextureFormats(&CollectFormat, &formats), DDERR_GENERIC);
  EXPECT_TRUE(formats.empty());

  TestD3DRefuseNext(D3DCall::SetTexture);
  EXPECT_EQ(device->SetTexture(0, texture.Get()), DDERR_GENERIC);
  IDirectDrawSurface7* current = nullptr;
  ASSERT_EQ(device->GetTexture(0, &current), D3D_OK);
  EXPECT_EQ(current, nullptr);

  TestD3DRefuseNext(D3DCall::SetRenderState);
  EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1), DDERR_GENERIC);
  DWORD value = 1;
  ASSERT_EQ(device->GetRenderState(D3DRENDERSTATE_COLORKEYENABLE, &value), D3D_OK);
  EXPECT_EQ(value, 0u);

  TestD3DRefuseNext(D3DCall::SetTextureStageState);
  EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR), DDERR_GENERIC);
  ASSERT_EQ(device->GetTextureStageState(0, D3DTSS_MINFILTER, &value), D3D_OK);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTFN_POINT));

  ComPtr<IDirectDrawSurface7> other = MakeTarget(4, 4);
  TestD3DRefuseNext(D3DCall::SetRenderTarget);
  EXPECT_EQ(device->SetRenderTarget(other.Get(), 0), DDERR_GENERIC);
  ASSERT_EQ(device->GetRenderTarget(&current), D3D_OK);
  EXPECT_EQ(current, target.Get());
  current->Release();

  ASSERT_EQ(Fill(target.Get(), 0x123456), DD_OK);
  auto quad = Quad(0, 0, 4, 4);
  TestD3DRefuseNext(D3DCall::DrawPrimitive);
  EXPECT_EQ(DrawStrip(device.Get(), quad), DDERR_GENERIC);
  EXPECT_EQ(ReadPixels(target.Get()), std::vector<uint32_t>(16, 0x123456));
  // The refusal is used up.
  EXPECT_EQ(DrawStrip(device.Get(), quad), D3D_OK);
  EXPECT_EQ(ReadPixels(target.Get()), std::vector<uint32_t>(16, 0xFFFFFF));
}

TEST_F(Direct3DSetupTest, DirectX6DeviceDescribesItselfAndKeepsItsStates) {
  void* object = nullptr;
  ASSERT_EQ(dd->QueryInterface(IID_IDirect3D3, &object), S_OK);
  const ComPtr<IDirect3D3> version3 = ComPtr<IDirect3D3>::Attach(static_cast<IDirect3D3*>(object));
  ComPtr<IDirectDrawSurface7> inSystemMemory = MakeTarget(64, 32, 32, DDSCAPS_SYSTEMMEMORY);
  ComPtr<IDirectDrawSurface7> inVideoMemory = MakeTarget(64, 32);
  auto asVersion4 = [](IDirectDrawSurface7* surface) {
    void* result = nullptr;
    surface->QueryInterface(IID_IDirectDrawSurface4, &result);
    return ComPtr<IDirectDrawSurface4>::Attach(static_cast<IDirectDrawSurface4*>(result));
  };

  // The checks of the version-7 device hold: hardware renders only into video memory.
  IDirect3DDevice3* made = nullptr;
  EXPECT_EQ(version3->CreateDevice(IID_IDirect3DHALDevice, asVersion4(inSystemMemory.Get()).Get(),
                                   &made, nullptr),
            DDERR_INVALIDCAPS);
  EXPECT_EQ(made, nullptr);
  const ComPtr<IDirectDrawSurface4> target = asVersion4(inVideoMemory.Get());
  ASSERT_EQ(version3->CreateDevice(IID_IDirect3DHALDevice, target.Get(), &made, nullptr), D3D_OK);
  const ComPtr<IDirect3DDevice3> device = ComPtr<IDirect3DDevice3>::Attach(made);

  D3DDEVICEDESC hardware{}, software{};
  ASSERT_EQ(device->GetCaps(&hardware, &software), D3D_OK);
  EXPECT_EQ(hardware.dcmColorModel, D3DCOLOR_RGB);
  EXPECT_EQ(software.dcmColorModel, 0u);
  EXPECT_EQ(hardware.dwDeviceZBufferBitDepth, DDBD_16 | DDBD_24 | DDBD_32);

  IDirectDrawSurface4* renderTarget = nullptr;
  ASSERT_EQ(device->GetRenderTarget(&renderTarget), D3D_OK);
  EXPECT_EQ(renderTarget, target.Get());
  renderTarget->Release();

  ASSERT_EQ(device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, TRUE), D3D_OK);
  TestD3DRefuseNext(D3DCall::SetRenderState);
  EXPECT_EQ(device->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE), DDERR_GENERIC);
  DWORD dither = 0, depthTest = 1;
  device->GetRenderState(D3DRENDERSTATE_DITHERENABLE, &dither);
  device->GetRenderState(D3DRENDERSTATE_ZENABLE, &depthTest);
  EXPECT_EQ(dither, DWORD{TRUE});
  EXPECT_EQ(depthTest, DWORD{FALSE});

  // One object answers for the three device versions, until a version is withheld.
  ASSERT_EQ(device->QueryInterface(IID_IDirect3DDevice, &object), S_OK);
  EXPECT_EQ(object, static_cast<void*>(device.Get()));
  static_cast<IDirect3DDevice*>(object)->Release();
  TestD3DWithholdInterface(IID_IDirect3DDevice2);
  EXPECT_EQ(device->QueryInterface(IID_IDirect3DDevice2, &object), E_NOINTERFACE);
}

TEST_F(Direct3DSetupTest, EachDriverListsItsOwnDevices) {
  DDrawTestDriver primary = TestDDrawDefaultDriver();
  DDrawTestDriver second = primary;
  second.hasGuid = true;
  second.guid = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  TestDDrawSetDrivers({primary, second});
  TestD3DSetDriverDevices({{TestD3DDefaultDevices()[0]}});

  auto countDevices = [](IDirectDraw7* directDraw) {
    void* object = nullptr;
    EXPECT_EQ(directDraw->QueryInterface(IID_IDirect3D7, &object), S_OK);
    const ComPtr<IDirect3D7> direct3D = ComPtr<IDirect3D7>::Attach(static_cast<IDirect3D7*>(object));
    std::vector<ListedDevice> devices;
    direct3D->EnumDevices(&CollectDevice, &devices);
    return devices.size();
  };
  void* object = nullptr;
  ASSERT_EQ(DirectDrawCreateEx(&second.guid, &object, IID_IDirectDraw7, nullptr), DD_OK);
  const ComPtr<IDirectDraw7> onSecond = ComPtr<IDirectDraw7>::Attach(static_cast<IDirectDraw7*>(object));
  ASSERT_EQ(DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr), DD_OK);
  const ComPtr<IDirectDraw7> onPrimary = ComPtr<IDirectDraw7>::Attach(static_cast<IDirectDraw7*>(object));
  EXPECT_EQ(countDevices(onPrimary.Get()), 1u);
  // Beyond the given lists, a driver lists the common devices.
  EXPECT_EQ(countDevices(onSecond.Get()), 2u);
}
