// The objects of retained mode and the knobs tests set on them.
#pragma once

#include <initializer_list>
#include <map>
#include <vector>

#include "platform/d3drm/D3DRMTestControl.h"
#include "platform/kernel/ComPtr.h"
#include "platform/kernel/CountedObject.h"

struct RetainedModeSettings {
  static RetainedModeSettings& Get();

  // The result to fail the call with, or S_OK when it goes ahead.
  HRESULT TakeRefusal(D3DRMCall call);
  bool Offers(REFIID iid) const;

  struct Refusal {
    HRESULT result;
    uint32_t times;
  };
  std::map<D3DRMCall, Refusal> refusals;
  std::vector<GUID> withheld;
  uint32_t liveObjects = 0;
};

// Counted, counted among the live objects, and answering for IUnknown and its own versions.
template <class Interface>
class RetainedModeObject : public CountedObject<Interface> {
 protected:
  RetainedModeObject() { ++RetainedModeSettings::Get().liveObjects; }
  ~RetainedModeObject() override { --RetainedModeSettings::Get().liveObjects; }

  HRESULT AnswerFor(REFIID iid, std::initializer_list<GUID> versions, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!RetainedModeSettings::Get().Offers(iid)) return E_NOINTERFACE;
    bool known = iid == IID_IUnknown;
    for (const GUID& version : versions) known = known || iid == version;
    if (!known) return E_NOINTERFACE;
    *object = static_cast<Interface*>(this);
    this->AddRef();
    return S_OK;
  }
};

class RetainedModeFrame final : public RetainedModeObject<IDirect3DRMFrame> {
 public:
  explicit RetainedModeFrame(IDirect3DRMFrame* parent) : parent_(parent) {}

  HRESULT QueryInterface(REFIID iid, void** object) override;
  HRESULT GetParent(IDirect3DRMFrame** parent) override;
  HRESULT SetPosition(IDirect3DRMFrame* reference, D3DVALUE x, D3DVALUE y, D3DVALUE z) override;
  HRESULT GetPosition(IDirect3DRMFrame* reference, D3DVECTOR* position) override;

 private:
  // Where the frame lies in its hierarchy's root space.
  D3DVECTOR RootPosition() const;

  ComPtr<IDirect3DRMFrame> parent_;
  D3DVECTOR position_{};  // relative to the parent
};

class RetainedModeDevice final : public RetainedModeObject<IDirect3DRMDevice3> {
 public:
  RetainedModeDevice(IDirect3DDevice2* device, DWORD width, DWORD height)
      : device_(device), width_(width), height_(height) {}

  HRESULT QueryInterface(REFIID iid, void** object) override;
  HRESULT SetBufferCount(DWORD count) override;
  DWORD GetBufferCount() override { return bufferCount_; }
  HRESULT SetQuality(D3DRMRENDERQUALITY quality) override;
  D3DRMRENDERQUALITY GetQuality() override { return quality_; }
  HRESULT SetTextureQuality(D3DRMTEXTUREQUALITY quality) override;
  D3DRMTEXTUREQUALITY GetTextureQuality() override { return textureQuality_; }
  HRESULT SetDither(BOOL dither) override;
  BOOL GetDither() override { return dither_; }
  HRESULT SetShades(DWORD shades) override;
  DWORD GetShades() override { return shades_; }
  DWORD GetWidth() override { return width_; }
  DWORD GetHeight() override { return height_; }
  HRESULT GetDirect3DDevice2(IDirect3DDevice2** device) override;

 private:
  ComPtr<IDirect3DDevice2> device_;
  DWORD width_;
  DWORD height_;
  DWORD bufferCount_ = 1;
  D3DRMRENDERQUALITY quality_ = D3DRMSHADE_FLAT | D3DRMLIGHT_ON | D3DRMFILL_SOLID;
  D3DRMTEXTUREQUALITY textureQuality_ = D3DRMTEXTURE_NEAREST;
  BOOL dither_ = FALSE;
  DWORD shades_ = 32;
};

class RetainedModeViewport final : public RetainedModeObject<IDirect3DRMViewport> {
 public:
  RetainedModeViewport(IDirect3DRMDevice* device, IDirect3DRMFrame* camera, DWORD x, DWORD y,
                       DWORD width, DWORD height)
      : device_(device), camera_(camera), x_(x), y_(y), width_(width), height_(height) {}

  HRESULT QueryInterface(REFIID iid, void** object) override;
  HRESULT SetBack(D3DVALUE back) override;
  D3DVALUE GetBack() override { return back_; }
  LONG GetX() override { return static_cast<LONG>(x_); }
  LONG GetY() override { return static_cast<LONG>(y_); }
  DWORD GetWidth() override { return width_; }
  DWORD GetHeight() override { return height_; }
  HRESULT GetCamera(IDirect3DRMFrame** camera) override;
  HRESULT GetDevice(IDirect3DRMDevice** device) override;

 private:
  ComPtr<IDirect3DRMDevice> device_;
  ComPtr<IDirect3DRMFrame> camera_;
  DWORD x_, y_, width_, height_;
  D3DVALUE back_ = 100.0f;
};

class RetainedMode final : public RetainedModeObject<IDirect3DRM3> {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  HRESULT CreateFrame(IDirect3DRMFrame* parent, IDirect3DRMFrame** frame) override;
  HRESULT CreateViewport(IDirect3DRMDevice* device, IDirect3DRMFrame* camera, DWORD x, DWORD y,
                         DWORD width, DWORD height, IDirect3DRMViewport** viewport) override;
  HRESULT SetDefaultTextureColors(DWORD colors) override;
  HRESULT SetDefaultTextureShades(DWORD shades) override;
  DWORD GetDefaultTextureColors() override { return textureColors_; }
  DWORD GetDefaultTextureShades() override { return textureShades_; }
  HRESULT CreateDeviceFromD3D(IDirect3D2* direct3D, IDirect3DDevice2* device,
                              IDirect3DRMDevice2** retainedModeDevice) override;

 private:
  DWORD textureColors_ = 8;
  DWORD textureShades_ = 16;
};
