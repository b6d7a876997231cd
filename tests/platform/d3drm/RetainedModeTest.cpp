#include "platform/d3d/D3DTestSupport.h"
#include "platform/d3drm/D3DRMTestControl.h"
#include "platform/kernel/Modules.h"

class RetainedModeTest : public D3DFixture {
 protected:
  void SetUp() override {
    D3DFixture::SetUp();
    RegisterRetainedModeModule();
    const HMODULE module = LoadLibraryA("d3drm");
    ASSERT_NE(module, nullptr);
    const auto create =
        reinterpret_cast<decltype(&Direct3DRMCreate)>(GetProcAddress(module, "Direct3DRMCreate"));
    FreeLibrary(module);
    ASSERT_NE(create, nullptr);
    IDirect3DRM* made = nullptr;
    ASSERT_EQ(create(&made), D3DRM_OK);
    rm = ComPtr<IDirect3DRM>::Attach(made);
    void* object = nullptr;
    ASSERT_EQ(rm->QueryInterface(IID_IDirect3DRM2, &object), S_OK);
    rm2 = ComPtr<IDirect3DRM2>::Attach(static_cast<IDirect3DRM2*>(object));
  }

  void TearDown() override {
    rm.Reset();
    rm2.Reset();
    EXPECT_EQ(TestD3DRMLiveObjects(), 0u);
    D3DFixture::TearDown();
  }

  ComPtr<IDirect3DRMFrame> MakeFrame(IDirect3DRMFrame* parent) {
    IDirect3DRMFrame* frame = nullptr;
    EXPECT_EQ(rm->CreateFrame(parent, &frame), D3DRM_OK);
    return ComPtr<IDirect3DRMFrame>::Attach(frame);
  }

  // A retained-mode device on a DirectX 6 device rendering into a 320 x 200 surface.
  ComPtr<IDirect3DRMDevice2> MakeDevice() {
    void* object = nullptr;
    EXPECT_EQ(dd->QueryInterface(IID_IDirect3D3, &object), S_OK);
    const auto direct3D = ComPtr<IDirect3D3>::Attach(static_cast<IDirect3D3*>(object));
    const ComPtr<IDirectDrawSurface7> target = MakeTarget(320, 200);
    target->QueryInterface(IID_IDirectDrawSurface4, &object);
    const auto target4 =
        ComPtr<IDirectDrawSurface4>::Attach(static_cast<IDirectDrawSurface4*>(object));
    IDirect3DDevice3* device = nullptr;
    EXPECT_EQ(direct3D->CreateDevice(IID_IDirect3DHALDevice, target4.Get(), &device, nullptr),
              D3D_OK);
    const auto device3 = ComPtr<IDirect3DDevice3>::Attach(device);
    IDirect3DRMDevice2* made = nullptr;
    EXPECT_EQ(rm2->CreateDeviceFromD3D(direct3D.Get(), device3.Get(), &made), D3DRM_OK);
    return ComPtr<IDirect3DRMDevice2>::Attach(made);
  }

  ComPtr<IDirect3DRM> rm;
  ComPtr<IDirect3DRM2> rm2;
};

TEST_F(RetainedModeTest, CreationAndVersionsCanBeRefused) {
  TestD3DRMRefuseNext(D3DRMCall::Direct3DRMCreate);
  IDirect3DRM* made = reinterpret_cast<IDirect3DRM*>(1);
  EXPECT_EQ(Direct3DRMCreate(&made), D3DRMERR_BADOBJECT);
  EXPECT_EQ(made, nullptr);

  void* object = nullptr;
  ASSERT_EQ(rm->QueryInterface(IID_IDirect3DRM3, &object), S_OK);
  static_cast<IDirect3DRM3*>(object)->Release();
  TestD3DRMWithholdInterface(IID_IDirect3DRM3);
  EXPECT_EQ(rm->QueryInterface(IID_IDirect3DRM3, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
}

TEST_F(RetainedModeTest, FramesArePlacedRelativeToAnyFrameOfTheirHierarchy) {
  const ComPtr<IDirect3DRMFrame> scene = MakeFrame(nullptr);
  const ComPtr<IDirect3DRMFrame> child = MakeFrame(scene.Get());
  const ComPtr<IDirect3DRMFrame> grandchild = MakeFrame(child.Get());
  IDirect3DRMFrame* parent = nullptr;
  ASSERT_EQ(grandchild->GetParent(&parent), D3DRM_OK);
  EXPECT_EQ(parent, child.Get());
  parent->Release();
  scene->GetParent(&parent);
  EXPECT_EQ(parent, nullptr);

  scene->SetPosition(nullptr, 1, 2, 3);
  child->SetPosition(scene.Get(), 10, 0, 0);
  grandchild->SetPosition(nullptr, 0, 0, 0);  // the root space's origin, whatever its parents
  D3DVECTOR position{};
  child->GetPosition(nullptr, &position);
  EXPECT_EQ(position.x, 11);
  EXPECT_EQ(position.z, 3);
  grandchild->GetPosition(child.Get(), &position);
  EXPECT_EQ(position.x, -11);
  EXPECT_EQ(position.y, -2);
  // Moving a parent carries its children.
  scene->SetPosition(nullptr, 0, 0, 0);
  grandchild->GetPosition(nullptr, &position);
  EXPECT_EQ(position.x, -1);
}

TEST_F(RetainedModeTest, DeviceAndViewportKeepWhatTheyAreGiven) {
  const ComPtr<IDirect3DRMDevice2> device = MakeDevice();
  ASSERT_TRUE(device);
  EXPECT_EQ(device->GetWidth(), 320u);
  EXPECT_EQ(device->GetHeight(), 200u);
  EXPECT_EQ(device->SetShades(8), D3DRM_OK);
  EXPECT_EQ(device->SetShades(6), D3DRMERR_BADVALUE);
  EXPECT_EQ(device->GetShades(), 8u);
  EXPECT_EQ(device->SetBufferCount(0), D3DRMERR_BADVALUE);

  const ComPtr<IDirect3DRMFrame> camera = MakeFrame(nullptr);
  IDirect3DRMViewport* viewport = nullptr;
  EXPECT_EQ(rm->CreateViewport(device.Get(), camera.Get(), 10, 0, 311, 200, &viewport),
            D3DRMERR_BADVALUE);
  EXPECT_EQ(rm->CreateViewport(device.Get(), nullptr, 0, 0, 320, 200, &viewport),
            D3DRMERR_BADOBJECT);
  TestD3DRMRefuseNext(D3DRMCall::CreateViewport);
  EXPECT_EQ(rm->CreateViewport(device.Get(), camera.Get(), 0, 0, 320, 200, &viewport),
            D3DRMERR_BADOBJECT);
  ASSERT_EQ(rm->CreateViewport(device.Get(), camera.Get(), 10, 0, 310, 200, &viewport), D3DRM_OK);
  const auto held = ComPtr<IDirect3DRMViewport>::Attach(viewport);
  EXPECT_EQ(held->GetX(), 10);
  EXPECT_EQ(held->GetWidth(), 310u);
  EXPECT_EQ(held->SetBack(-1), D3DRMERR_BADVALUE);
  ASSERT_EQ(held->SetBack(5000), D3DRM_OK);
  EXPECT_EQ(held->GetBack(), 5000);
}
