#include "platform/d3d/Direct3DSettings.h"

#include <algorithm>

#include "platform/ddraw/PixelFormats.h"

namespace {

constexpr DWORD kDeviceDescSizeTag = 252;

D3DPRIMCAPS PrimitiveCaps() {
  D3DPRIMCAPS caps{};
  caps.dwSize = sizeof(D3DPRIMCAPS);
  caps.dwRasterCaps = D3DPRASTERCAPS_DITHER;
  caps.dwSrcBlendCaps = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCALPHA |
                        D3DPBLENDCAPS_INVSRCALPHA;
  caps.dwDestBlendCaps = caps.dwSrcBlendCaps;
  caps.dwShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB;
  caps.dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_POW2 |
                       D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_TRANSPARENCY;
  caps.dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR |
                             D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                             D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
  caps.dwTextureBlendCaps = D3DPTBLENDCAPS_MODULATE;
  caps.dwTextureAddressCaps = D3DPTADDRESSCAPS_WRAP;
  return caps;
}

D3DTestDevice Device(const char* description, const char* name, const GUID& guid, bool hardware) {
  D3DTestDevice device{description, name, D3DDEVICEDESC7{}};
  D3DDEVICEDESC7& desc = device.desc;
  desc.dwDevCaps = D3DDEVCAPS_FLOATTLVERTEX | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                   D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 |
                   (hardware ? D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_TEXTUREVIDEOMEMORY
                             : D3DDEVCAPS_TEXTURESYSTEMMEMORY);
  desc.dpcLineCaps = PrimitiveCaps();
  desc.dpcTriCaps = PrimitiveCaps();
  desc.dwDeviceRenderBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
  desc.dwDeviceZBufferBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
  desc.dwMinTextureWidth = 1;
  desc.dwMinTextureHeight = 1;
  desc.dwMaxTextureWidth = 2048;
  desc.dwMaxTextureHeight = 2048;
  desc.dwMaxTextureRepeat = 2048;
  desc.dwMaxTextureAspectRatio = 2048;
  desc.dwMaxAnisotropy = 1;
  desc.dwFVFCaps = 1;
  desc.wMaxTextureBlendStages = 1;
  desc.wMaxSimultaneousTextures = 1;
  desc.dvMaxVertexW = 1e10f;
  desc.deviceGUID = guid;
  return device;
}

}  // namespace

std::vector<D3DTestDevice> TestD3DDefaultDevices() {
  return {Device("Microsoft Direct3D RGB Software Emulation", "RGB Emulation",
                 IID_IDirect3DRGBDevice, false),
          Device("Microsoft Direct3D Hardware acceleration through Direct3D HAL", "Direct3D HAL",
                 IID_IDirect3DHALDevice, true)};
}

std::vector<DDPIXELFORMAT> TestD3DDefaultTextureFormats() {
  return {RgbPixelFormat(16, 0xF800, 0x07E0, 0x001F),
          RgbPixelFormat(16, 0x7C00, 0x03E0, 0x001F),
          RgbPixelFormat(16, 0x7C00, 0x03E0, 0x001F, 0x8000),
          RgbPixelFormat(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
          RgbPixelFormat(32, 0xFF0000, 0xFF00, 0xFF),
          RgbPixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
          DisplayPixelFormat(8)};
}

HRESULT Direct3DSettings::TakeListedRefusal(D3DCall call) {
  auto found = refusals.find(call);
  if (found == refusals.end()) return S_OK;
  const HRESULT result = found->second.result;
  if (--found->second.times == 0) refusals.erase(found);
  return result;
}

const std::vector<D3DTestDevice>& Direct3DSettings::DevicesOf(uint32_t driver) const {
  return driver < devicesPerDriver.size() ? devicesPerDriver[driver] : devices;
}

const D3DTestDevice* Direct3DSettings::FindDevice(uint32_t driver, const GUID& guid) const {
  for (const D3DTestDevice& device : DevicesOf(driver))
    if (device.desc.deviceGUID == guid) return &device;
  return nullptr;
}

bool Direct3DSettings::Offers(REFIID iid) const {
  return std::find(withheld.begin(), withheld.end(), iid) == withheld.end();
}

HRESULT Direct3DSettings::ListTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback,
                                             void* context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (const HRESULT refused = TakeRefusal(D3DCall::EnumTextureFormats)) return refused;
  const std::vector<DDPIXELFORMAT> formats = textureFormats;
  for (DDPIXELFORMAT format : formats)
    if (callback(&format, context) == D3DENUMRET_CANCEL) break;
  return D3D_OK;
}

bool IsHardwareDevice(const D3DDEVICEDESC7& desc) {
  return (desc.dwDevCaps & D3DDEVCAPS_HWRASTERIZATION) != 0;
}

void DescribeForVersion1(const D3DDEVICEDESC7& desc, D3DDEVICEDESC& hardware,
                         D3DDEVICEDESC& software) {
  D3DDEVICEDESC described{};
  described.dwSize = kDeviceDescSizeTag;
  described.dwFlags = D3DDD_COLORMODEL | D3DDD_DEVCAPS | D3DDD_LINECAPS | D3DDD_TRICAPS |
                      D3DDD_DEVICERENDERBITDEPTH | D3DDD_DEVICEZBUFFERBITDEPTH;
  described.dcmColorModel = D3DCOLOR_RGB;
  described.dwDevCaps = desc.dwDevCaps;
  described.dpcLineCaps = desc.dpcLineCaps;
  described.dpcTriCaps = desc.dpcTriCaps;
  described.dwDeviceRenderBitDepth = desc.dwDeviceRenderBitDepth;
  described.dwDeviceZBufferBitDepth = desc.dwDeviceZBufferBitDepth;
  described.dwMinTextureWidth = desc.dwMinTextureWidth;
  described.dwMinTextureHeight = desc.dwMinTextureHeight;
  described.dwMaxTextureWidth = desc.dwMaxTextureWidth;
  described.dwMaxTextureHeight = desc.dwMaxTextureHeight;
  described.dwMaxTextureRepeat = desc.dwMaxTextureRepeat;
  described.dwMaxTextureAspectRatio = desc.dwMaxTextureAspectRatio;
  described.dwMaxAnisotropy = desc.dwMaxAnisotropy;
  described.dwFVFCaps = desc.dwFVFCaps;
  described.dwTextureOpCaps = desc.dwTextureOpCaps;
  described.wMaxTextureBlendStages = desc.wMaxTextureBlendStages;
  described.wMaxSimultaneousTextures = desc.wMaxSimultaneousTextures;
  D3DDEVICEDESC unused{};
  unused.dwSize = kDeviceDescSizeTag;
  hardware = IsHardwareDevice(desc) ? described : unused;
  software = IsHardwareDevice(desc) ? unused : described;
}

void TestD3DRefuseNext(D3DCall call, HRESULT result, uint32_t times) {
  if (times == 0) return;
  Direct3DSettings::Get().refusals[call] = {result, times};
}

void TestD3DSetDevices(const std::vector<D3DTestDevice>& devices) {
  Direct3DSettings::Get().devices = devices;
}

void TestD3DSetDriverDevices(const std::vector<std::vector<D3DTestDevice>>& devicesPerDriver) {
  Direct3DSettings::Get().devicesPerDriver = devicesPerDriver;
}

void TestD3DWithholdInterface(REFIID iid) { Direct3DSettings::Get().withheld.push_back(iid); }

void TestD3DSetTextureFormats(const std::vector<DDPIXELFORMAT>& formats) {
  Direct3DSettings::Get().textureFormats = formats;
}

void TestD3DSetRasterizing(bool on) { Direct3DSettings::Get().rasterizing = on; }

uint32_t TestD3DLiveObjects() { return Direct3DSettings::Get().liveObjects; }

void TestD3DReset() {
  Direct3DSettings& settings = Direct3DSettings::Get();
  settings.devices = TestD3DDefaultDevices();
  settings.devicesPerDriver.clear();
  settings.withheld.clear();
  settings.textureFormats = TestD3DDefaultTextureFormats();
  settings.refusals.clear();
  settings.rasterizing = true;
}
