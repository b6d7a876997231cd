// A Direct3D 7 device drawing into its render-target surface. It holds references to its
// Direct3D object, its render target and the textures set on its stages.
#pragma once

#include <array>

#include "platform/d3d/D3DTestControl.h"
#include "platform/d3d/Direct3DSettings.h"
#include "platform/d3d/PrimitiveBatch.h"
#include "platform/kernel/ComPtr.h"
#include "platform/kernel/CountedObject.h"

class Surface;

// A surface the device holds, and this platform's object behind it (null when the surface was
// made elsewhere). Drawing reads that object's memory; found when the surface is set, it need
// not be looked for again by every primitive.
struct HeldSurface {
  ComPtr<IDirectDrawSurface7> surface;
  Surface* ours = nullptr;

  void Hold(IDirectDrawSurface7* given);
};

class Direct3DDevice final : public CountedObject<IDirect3DDevice7> {
 public:
  // The render target must have passed CheckRenderTarget.
  Direct3DDevice(IDirect3D7* direct3D, const D3DDEVICEDESC7& caps,
                 IDirectDrawSurface7* renderTarget);
  ~Direct3DDevice() override;

  // Whether a device with these capabilities can render into the surface.
  static HRESULT CheckRenderTarget(const D3DDEVICEDESC7& caps, IDirectDrawSurface7* surface);

  HRESULT QueryInterface(REFIID iid, void** object) override;

  HRESULT GetCaps(D3DDEVICEDESC7* desc) override;
  HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT GetDirect3D(IDirect3D7** direct3D) override;
  HRESULT SetRenderTarget(IDirectDrawSurface7* surface, DWORD flags) override;
  HRESULT GetRenderTarget(IDirectDrawSurface7** surface) override;
  HRESULT SetViewport(D3DVIEWPORT7* viewport) override;
  HRESULT GetViewport(D3DVIEWPORT7* viewport) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices,
                        DWORD vertexCount, DWORD flags) override;
  HRESULT GetTexture(DWORD stage, IDirectDrawSurface7** texture) override;
  HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                               DWORD* value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override;

  // How many pixels of a row the device shades at once; the widest the processor allows at
  // first.
  void SetShadingWidth(ShadingWidth width) {
    for (PrimitiveBatch& batch : batches_) batch.SetShadingWidth(width);
  }

 private:
  void ViewWholeTarget();
  // The batch that takes the next primitive. One started on the workers (its target was shown)
  // is left to them, and the other takes over, so the next frame's primitives need not wait.
  PrimitiveBatch& OpenBatch();

  // Asked on every call (refusals, rasterizing); held rather than looked up each time.
  Direct3DSettings& settings_;
  ComPtr<IDirect3D7> direct3D_;
  D3DDEVICEDESC7 caps_;
  HeldSurface renderTarget_;
  D3DVIEWPORT7 viewport_{};
  std::array<DWORD, kD3DRenderStateCount> renderStates_{};
  std::array<std::array<DWORD, kD3DTextureStageStateCount>, kD3DTextureStageCount> stageStates_{};
  std::array<HeldSurface, kD3DTextureStageCount> textures_;
  bool inScene_ = false;
  // Last, so they are drawn while the target they draw into is still held.
  std::array<PrimitiveBatch, 2> batches_;
  size_t openBatch_ = 0;
};
