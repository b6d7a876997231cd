#include "platform/d3drm/RetainedModeObjects.h"

#include <algorithm>

#include "platform/kernel/Modules.h"

namespace {

// Hands out a new reference to what a ComPtr holds.
template <class Interface>
HRESULT HandOut(const ComPtr<Interface>& held, Interface** out) {
  if (!out) return D3DRMERR_BADVALUE;
  *out = held.Get();
  if (*out) (*out)->AddRef();
  return D3DRM_OK;
}

}  // namespace

// ---- Settings ----

RetainedModeSettings& RetainedModeSettings::Get() {
  static RetainedModeSettings settings;
  return settings;
}

HRESULT RetainedModeSettings::TakeRefusal(D3DRMCall call) {
  auto found = refusals.find(call);
  if (found == refusals.end()) return S_OK;
  const HRESULT result = found->second.result;
  if (--found->second.times == 0) refusals.erase(found);
  return result;
}

bool RetainedModeSettings::Offers(REFIID iid) const {
  return std::find(withheld.begin(), withheld.end(), iid) == withheld.end();
}

void TestD3DRMRefuseNext(D3DRMCall call, HRESULT result, uint32_t times) {
  if (times == 0) return;
  RetainedModeSettings::Get().refusals[call] = {result, times};
}

void TestD3DRMWithholdInterface(REFIID iid) { RetainedModeSettings::Get().withheld.push_back(iid); }

uint32_t TestD3DRMLiveObjects() { return RetainedModeSettings::Get().liveObjects; }

void TestD3DRMReset() {
  RetainedModeSettings& settings = RetainedModeSettings::Get();
  settings.refusals.clear();
  settings.withheld.clear();
}

// ---- RetainedModeFrame ----

HRESULT RetainedModeFrame::QueryInterface(REFIID iid, void** object) {
  return AnswerFor(iid, {IID_IDirect3DRMFrame}, object);
}

HRESULT RetainedModeFrame::GetParent(IDirect3DRMFrame** parent) { return HandOut(parent_, parent); }

D3DVECTOR RetainedModeFrame::RootPosition() const {
  if (!parent_) return position_;
  const D3DVECTOR base = static_cast<const RetainedModeFrame*>(parent_.Get())->RootPosition();
  return {base.x + position_.x, base.y + position_.y, base.z + position_.z};
}

HRESULT RetainedModeFrame::SetPosition(IDirect3DRMFrame* reference, D3DVALUE x, D3DVALUE y,
                                       D3DVALUE z) {
  // Every frame is made here, so a reference is always a RetainedModeFrame.
  const D3DVECTOR origin =
      reference ? static_cast<RetainedModeFrame*>(reference)->RootPosition() : D3DVECTOR{};
  const D3DVECTOR base =
      parent_ ? static_cast<RetainedModeFrame*>(parent_.Get())->RootPosition() : D3DVECTOR{};
  position_ = {origin.x + x - base.x, origin.y + y - base.y, origin.z + z - base.z};
  return D3DRM_OK;
}

HRESULT RetainedModeFrame::GetPosition(IDirect3DRMFrame* reference, D3DVECTOR* position) {
  if (!position) return D3DRMERR_BADVALUE;
  const D3DVECTOR origin =
      reference ? static_cast<RetainedModeFrame*>(reference)->RootPosition() : D3DVECTOR{};
  const D3DVECTOR here = RootPosition();
  *position = {here.x - origin.x, here.y - origin.y, here.z - origin.z};
  return D3DRM_OK;
}

// ---- Device ----

HRESULT RetainedModeDevice::QueryInterface(REFIID iid, void** object) {
  return AnswerFor(iid, {IID_IDirect3DRMDevice, IID_IDirect3DRMDevice2, IID_IDirect3DRMDevice3},
                   object);
}

HRESULT RetainedModeDevice::SetBufferCount(DWORD count) {
  if (count == 0) return D3DRMERR_BADVALUE;
  bufferCount_ = count;
  return D3DRM_OK;
}

HRESULT RetainedModeDevice::SetQuality(D3DRMRENDERQUALITY quality) {
  quality_ = quality;
  return D3DRM_OK;
}

HRESULT RetainedModeDevice::SetTextureQuality(D3DRMTEXTUREQUALITY quality) {
  if (quality != D3DRMTEXTURE_NEAREST && quality != D3DRMTEXTURE_LINEAR) return D3DRMERR_BADVALUE;
  textureQuality_ = quality;
  return D3DRM_OK;
}

HRESULT RetainedModeDevice::SetDither(BOOL dither) {
  dither_ = dither;
  return D3DRM_OK;
}

HRESULT RetainedModeDevice::SetShades(DWORD shades) {
  // A power of two.
  if (shades == 0 || (shades & (shades - 1)) != 0) return D3DRMERR_BADVALUE;
  shades_ = shades;
  return D3DRM_OK;
}

HRESULT RetainedModeDevice::GetDirect3DDevice2(IDirect3DDevice2** device) {
  return HandOut(device_, device);
}

// ---- RetainedModeViewport ----

HRESULT RetainedModeViewport::QueryInterface(REFIID iid, void** object) {
  return AnswerFor(iid, {IID_IDirect3DRMViewport}, object);
}

HRESULT RetainedModeViewport::SetBack(D3DVALUE back) {
  if (!(back > 0)) return D3DRMERR_BADVALUE;
  back_ = back;
  return D3DRM_OK;
}

HRESULT RetainedModeViewport::GetCamera(IDirect3DRMFrame** camera) {
  return HandOut(camera_, camera);
}

HRESULT RetainedModeViewport::GetDevice(IDirect3DRMDevice** device) {
  return HandOut(device_, device);
}

// ---- The retained-mode object ----

HRESULT RetainedMode::QueryInterface(REFIID iid, void** object) {
  return AnswerFor(iid, {IID_IDirect3DRM, IID_IDirect3DRM2, IID_IDirect3DRM3}, object);
}

HRESULT RetainedMode::CreateFrame(IDirect3DRMFrame* parent, IDirect3DRMFrame** frame) {
  if (!frame) return D3DRMERR_BADVALUE;
  *frame = nullptr;
  if (const HRESULT refused = RetainedModeSettings::Get().TakeRefusal(D3DRMCall::CreateFrame))
    return refused;
  *frame = new RetainedModeFrame(parent);
  return D3DRM_OK;
}

HRESULT RetainedMode::CreateViewport(IDirect3DRMDevice* device, IDirect3DRMFrame* camera, DWORD x,
                                     DWORD y, DWORD width, DWORD height,
                                     IDirect3DRMViewport** viewport) {
  if (!viewport) return D3DRMERR_BADVALUE;
  *viewport = nullptr;
  if (const HRESULT refused = RetainedModeSettings::Get().TakeRefusal(D3DRMCall::CreateViewport))
    return refused;
  if (!device || !camera) return D3DRMERR_BADOBJECT;
  if (x > device->GetWidth() || width > device->GetWidth() - x || y > device->GetHeight() ||
      height > device->GetHeight() - y)
    return D3DRMERR_BADVALUE;
  *viewport = new RetainedModeViewport(device, camera, x, y, width, height);
  return D3DRM_OK;
}

HRESULT RetainedMode::SetDefaultTextureColors(DWORD colors) {
  textureColors_ = colors;
  return D3DRM_OK;
}

HRESULT RetainedMode::SetDefaultTextureShades(DWORD shades) {
  textureShades_ = shades;
  return D3DRM_OK;
}

HRESULT RetainedMode::CreateDeviceFromD3D(IDirect3D2* direct3D, IDirect3DDevice2* device,
                                          IDirect3DRMDevice2** retainedModeDevice) {
  if (!retainedModeDevice) return D3DRMERR_BADVALUE;
  *retainedModeDevice = nullptr;
  if (const HRESULT refused =
          RetainedModeSettings::Get().TakeRefusal(D3DRMCall::CreateDeviceFromD3D))
    return refused;
  if (!direct3D || !device) return D3DRMERR_BADOBJECT;
  IDirectDrawSurface4* target = nullptr;
  if (device->GetRenderTarget(&target) != D3D_OK) return D3DRMERR_BADDEVICE;
  DDSURFACEDESC2 desc{};
  desc.dwSize = kDDSurfaceDesc2Size;
  const HRESULT described = target->GetSurfaceDesc(&desc);
  target->Release();
  if (described != DD_OK) return D3DRMERR_BADDEVICE;
  *retainedModeDevice = new RetainedModeDevice(device, desc.dwWidth, desc.dwHeight);
  return D3DRM_OK;
}

// ---- The module ----

HRESULT Direct3DRMCreate(IDirect3DRM** retainedMode) {
  if (!retainedMode) return D3DRMERR_BADVALUE;
  *retainedMode = nullptr;
  if (const HRESULT refused = RetainedModeSettings::Get().TakeRefusal(D3DRMCall::Direct3DRMCreate))
    return refused;
  *retainedMode = new RetainedMode();
  return D3DRM_OK;
}

void RegisterRetainedModeModule() {
  RegisterBuiltinModule("D3DRM.dll",
                        {{"Direct3DRMCreate", reinterpret_cast<FARPROC>(&Direct3DRMCreate)}});
}
