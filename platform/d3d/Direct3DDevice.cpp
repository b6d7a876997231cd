#include "platform/d3d/Direct3DDevice.h"

#include <array>

#include "platform/d3d/Direct3DSettings.h"
#include "platform/ddraw/PixelFormats.h"
#include "platform/ddraw/Surface.h"
#include "platform/kernel/FinalCast.h"

namespace {

constexpr GUID IID_IDirect3DDevice7 = {
    0xF5049E79, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};

DWORD BitDepthFlag(DWORD bitCount) {
  switch (bitCount) {
    case 8: return DDBD_8;
    case 16: return DDBD_16;
    case 24: return DDBD_24;
    case 32: return DDBD_32;
    default: return 0;
  }
}

// The memory a surface's pixels are in now, checked as a lock of it would be.
HRESULT MemoryForDrawing(const HeldSurface& held, SurfaceMemory** memory) {
  if (!held.ours) return DDERR_INVALIDOBJECT;
  return held.ours->MemoryForDrawing(memory);
}

// A texture's key and palette as they are now (the palette into entries); its texels are read
// when the batch is drawn.
void DescribeTexture(Surface& texture, const SurfaceMemory& memory,
                     std::array<PALETTEENTRY, 256>& entries, TextureLook& look) {
  look.hasColorKey = texture.GetColorKey(DDCKEY_SRCBLT, &look.colorKey) == DD_OK;
  if (IsPaletteIndexed(memory.Format())) {
    // Without a palette the indices read as black, as they always have.
    entries = {};
    IDirectDrawPalette* palette = nullptr;
    if (texture.GetPalette(&palette) == DD_OK && palette) {
      palette->GetEntries(0, 0, 256, entries.data());
      palette->Release();
    }
    look.palette = &entries;
  }
}

}  // namespace

void HeldSurface::Hold(IDirectDrawSurface7* given) {
  surface = given;
  ours = Surface::From(given);
}

Direct3DDevice::Direct3DDevice(IDirect3D7* direct3D, const D3DDEVICEDESC7& caps,
                               IDirectDrawSurface7* renderTarget)
    : settings_(Direct3DSettings::Get()), direct3D_(direct3D), caps_(caps) {
  ++settings_.liveObjects;
  renderTarget_.Hold(renderTarget);
  ViewWholeTarget();
  renderStates_[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = TRUE;
  renderStates_[D3DRENDERSTATE_SHADEMODE] = 2;  // Gouraud
  renderStates_[D3DRENDERSTATE_ZWRITEENABLE] = TRUE;
  renderStates_[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
  renderStates_[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
  renderStates_[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
  renderStates_[D3DRENDERSTATE_LIGHTING] = TRUE;
  for (auto& stage : stageStates_) {
    stage[D3DTSS_COLOROP] = D3DTOP_DISABLE;
    stage[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    stage[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    stage[D3DTSS_ALPHAOP] = D3DTOP_DISABLE;
    stage[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    stage[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    stage[D3DTSS_ADDRESS] = D3DTADDRESS_WRAP;
    stage[D3DTSS_MAGFILTER] = D3DTFG_POINT;
    stage[D3DTSS_MINFILTER] = D3DTFN_POINT;
    stage[D3DTSS_MIPFILTER] = D3DTFP_NONE;
  }
  stageStates_[0][D3DTSS_COLOROP] = D3DTOP_MODULATE;
  stageStates_[0][D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
}

Direct3DDevice::~Direct3DDevice() { --settings_.liveObjects; }

HRESULT Direct3DDevice::CheckRenderTarget(const D3DDEVICEDESC7& caps,
                                          IDirectDrawSurface7* surface) {
  if (!surface) return DDERR_INVALIDPARAMS;
  DDSCAPS2 surfaceCaps{};
  if (const HRESULT result = surface->GetCaps(&surfaceCaps)) return result;
  if (!(surfaceCaps.dwCaps & DDSCAPS_3DDEVICE)) return DDERR_INVALIDCAPS;
  DDPIXELFORMAT format{};
  format.dwSize = sizeof(DDPIXELFORMAT);
  if (const HRESULT result = surface->GetPixelFormat(&format)) return result;
  if (!(format.dwFlags & DDPF_RGB) || (format.dwFlags & DDPF_PALETTEINDEXED8) ||
      !(caps.dwDeviceRenderBitDepth & BitDepthFlag(format.dwRGBBitCount)))
    return DDERR_INVALIDPIXELFORMAT;
  return D3D_OK;
}

void Direct3DDevice::ViewWholeTarget() {
  DDSURFACEDESC2 desc{};
  desc.dwSize = kDDSurfaceDesc2Size;
  renderTarget_.surface->GetSurfaceDesc(&desc);
  viewport_ = {0, 0, desc.dwWidth, desc.dwHeight, 0.0f, 1.0f};
}

HRESULT Direct3DDevice::QueryInterface(REFIID iid, void** object) {
  return QueryOwnInterface(iid, IID_IDirect3DDevice7, object);
}

HRESULT Direct3DDevice::GetCaps(D3DDEVICEDESC7* desc) {
  if (!desc) return DDERR_INVALIDPARAMS;
  *desc = caps_;
  return D3D_OK;
}

HRESULT Direct3DDevice::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback,
                                           void* context) {
  return settings_.ListTextureFormats(callback, context);
}

HRESULT Direct3DDevice::BeginScene() {
  if (inScene_) return D3DERR_SCENE_IN_SCENE;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Direct3DDevice::EndScene() {
  if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
  inScene_ = false;
  return D3D_OK;
}

HRESULT Direct3DDevice::GetDirect3D(IDirect3D7** direct3D) {
  if (!direct3D) return DDERR_INVALIDPARAMS;
  *direct3D = direct3D_.Get();
  direct3D_->AddRef();
  return D3D_OK;
}

HRESULT Direct3DDevice::SetRenderTarget(IDirectDrawSurface7* surface, DWORD) {
  if (const HRESULT refused = settings_.TakeRefusal(D3DCall::SetRenderTarget)) return refused;
  if (const HRESULT unusable = CheckRenderTarget(caps_, surface)) return unusable;
  if (const HRESULT lost = surface->IsLost()) return lost;
  renderTarget_.Hold(surface);
  ViewWholeTarget();
  return D3D_OK;
}

HRESULT Direct3DDevice::GetRenderTarget(IDirectDrawSurface7** surface) {
  if (!surface) return DDERR_INVALIDPARAMS;
  *surface = renderTarget_.surface.Get();
  renderTarget_.surface->AddRef();
  return D3D_OK;
}

HRESULT Direct3DDevice::SetViewport(D3DVIEWPORT7* viewport) {
  if (!viewport) return DDERR_INVALIDPARAMS;
  DDSURFACEDESC2 desc{};
  desc.dwSize = kDDSurfaceDesc2Size;
  renderTarget_.surface->GetSurfaceDesc(&desc);
  if (viewport->dwX > desc.dwWidth || viewport->dwWidth > desc.dwWidth - viewport->dwX ||
      viewport->dwY > desc.dwHeight || viewport->dwHeight > desc.dwHeight - viewport->dwY)
    return D3DERR_INVALIDCALL;
  viewport_ = *viewport;
  return D3D_OK;
}

HRESULT Direct3DDevice::GetViewport(D3DVIEWPORT7* viewport) {
  if (!viewport) return DDERR_INVALIDPARAMS;
  *viewport = viewport_;
  return D3D_OK;
}

HRESULT Direct3DDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (const HRESULT refused = settings_.TakeRefusal(D3DCall::SetRenderState)) return refused;
  if (state >= kD3DRenderStateCount) return DDERR_INVALIDPARAMS;
  renderStates_[state] = value;
  return D3D_OK;
}

HRESULT Direct3DDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (!value || state >= kD3DRenderStateCount) return DDERR_INVALIDPARAMS;
  *value = renderStates_[state];
  return D3D_OK;
}

HRESULT Direct3DDevice::GetTexture(DWORD stage, IDirectDrawSurface7** texture) {
  if (!texture || stage >= kD3DTextureStageCount) return DDERR_INVALIDPARAMS;
  *texture = textures_[stage].surface.Get();
  if (*texture) (*texture)->AddRef();
  return D3D_OK;
}

HRESULT Direct3DDevice::SetTexture(DWORD stage, IDirectDrawSurface7* texture) {
  if (const HRESULT refused = settings_.TakeRefusal(D3DCall::SetTexture)) return refused;
  if (stage >= kD3DTextureStageCount) return DDERR_INVALIDPARAMS;
  if (texture) {
    DDSCAPS2 caps{};
    if (const HRESULT result = texture->GetCaps(&caps)) return result;
    if (!(caps.dwCaps & DDSCAPS_TEXTURE)) return DDERR_INVALIDCAPS;
  }
  textures_[stage].Hold(texture);
  return D3D_OK;
}

HRESULT Direct3DDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                             DWORD* value) {
  if (!value || stage >= kD3DTextureStageCount || state >= kD3DTextureStageStateCount)
    return DDERR_INVALIDPARAMS;
  *value = stageStates_[stage][state];
  return D3D_OK;
}

HRESULT Direct3DDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                             DWORD value) {
  if (const HRESULT refused = settings_.TakeRefusal(D3DCall::SetTextureStageState)) return refused;
  if (stage >= kD3DTextureStageCount || state >= kD3DTextureStageStateCount)
    return DDERR_INVALIDPARAMS;
  stageStates_[stage][state] = value;
  return D3D_OK;
}

HRESULT Direct3DDevice::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices,
                                      DWORD vertexCount, DWORD) {
  if (const HRESULT refused = settings_.TakeRefusal(D3DCall::DrawPrimitive)) return refused;
  if (type != D3DPT_TRIANGLESTRIP) return D3DERR_INVALIDPRIMITIVETYPE;
  if (vertexFormat != D3DFVF_TLVERTEX) return D3DERR_INVALIDVERTEXTYPE;
  if (!vertices) return DDERR_INVALIDPARAMS;
  if (vertexCount < 3) return D3D_OK;

  SurfaceMemory* target = nullptr;
  if (const HRESULT unusable = MemoryForDrawing(renderTarget_, &target)) return unusable;

  RasterStates states;
  states.colorKey = renderStates_[D3DRENDERSTATE_COLORKEYENABLE] != FALSE;
  states.alphaBlend = renderStates_[D3DRENDERSTATE_ALPHABLENDENABLE] != FALSE;
  states.sourceBlend = renderStates_[D3DRENDERSTATE_SRCBLEND];
  states.destinationBlend = renderStates_[D3DRENDERSTATE_DESTBLEND];
  states.cullMode = renderStates_[D3DRENDERSTATE_CULLMODE];
  states.clip = {static_cast<LONG>(viewport_.dwX), static_cast<LONG>(viewport_.dwY),
                 static_cast<LONG>(viewport_.dwX + viewport_.dwWidth),
                 static_cast<LONG>(viewport_.dwY + viewport_.dwHeight)};
  const auto& stage = stageStates_[0];
  states.modulate = stage[D3DTSS_COLOROP] == D3DTOP_MODULATE;
  states.linearMagnify = stage[D3DTSS_MAGFILTER] == D3DTFG_LINEAR;
  states.linearMinify = stage[D3DTSS_MINFILTER] == D3DTFN_LINEAR;

  const HeldSurface& texture = textures_[0];
  SurfaceMemory* texels = nullptr;
  TextureLook look;
  std::array<PALETTEENTRY, 256> paletteEntries;
  if (stage[D3DTSS_COLOROP] != D3DTOP_DISABLE && texture.surface) {
    if (const HRESULT unusable = MemoryForDrawing(texture, &texels)) return unusable;
    DescribeTexture(*texture.ours, *texels, paletteEntries, look);
  }

  if (!settings_.rasterizing) return D3D_OK;
  OpenBatch().Add(target, texels, look, states, static_cast<const D3DTLVERTEX*>(vertices),
                  vertexCount);
  return D3D_OK;
}

PrimitiveBatch& Direct3DDevice::OpenBatch() {
  if (batches_[openBatch_].Started()) openBatch_ = 1 - openBatch_;
  return batches_[openBatch_];
}

void TestD3DSetWideShading(IDirect3DDevice7* device, bool on) {
  if (Direct3DDevice* ours = FinalCast<Direct3DDevice>(device))
    ours->SetShadingWidth(on ? ShadingWidth::Widest : ShadingWidth::OnePixel);
}
