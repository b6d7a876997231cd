// A DirectDraw surface, answering as IDirectDrawSurface, IDirectDrawSurface4 and
// IDirectDrawSurface7.
//
// A flipping chain is one front surface and its back buffers: the front holds the others and
// flipping hands the pixel memory round, so each surface keeps its role.
//
// A mipmap chain is one texture and its smaller levels, each half the size of the one before
// (at least 1 pixel a side): the top level holds the others, each level leads to the next
// through GetAttachedSurface, and the chain is restored as one. A surface the screen
// shows (the primary, or the front of a primary chain) presents a frame whenever a flip, a blit
// onto it, an unlock or a released device context changes it.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/ddraw/DDrawTestControl.h"
#include "platform/ddraw/SurfaceDescriptions.h"
#include "platform/kernel/ComPtr.h"
#include "platform/kernel/FinalCast.h"

class Clipper;
class DirectDrawObject;
class KeptBackCopy;
class Palette;
class SurfaceMemory;

class Surface final : public IDirectDrawSurface7,
                      public IDirectDrawSurface4,
                      public IDirectDrawSurface {
 public:
  static HRESULT Create(DirectDrawObject* owner, const SurfaceRequest& request, Surface** surface);
  // A second surface on the same memory.
  static HRESULT Duplicate(DirectDrawObject* owner, Surface* source, Surface** duplicate);
  // Our surface behind one of its interfaces; null for anything else.
  template <class Interface>
  static Surface* From(Interface* surface) {
    return FinalCast<Surface>(surface);
  }

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // Alike in every version.
  HRESULT GetClipper(IDirectDrawClipper** clipper) override;
  HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) override;
  HRESULT GetDC(HDC* dc) override;
  HRESULT GetPalette(IDirectDrawPalette** palette) override;
  HRESULT GetPixelFormat(DDPIXELFORMAT* format) override;
  HRESULT IsLost() override;
  HRESULT ReleaseDC(HDC dc) override;
  HRESULT Restore() override;
  HRESULT SetClipper(IDirectDrawClipper* clipper) override;
  HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override;
  HRESULT SetPalette(IDirectDrawPalette* palette) override;

  // Versions 4 and 7.
  HRESULT GetCaps(DDSCAPS2* caps) override;
  HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
  HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) override;
  HRESULT Unlock(RECT* rect) override;
  HRESULT GetDDInterface(void** directDraw) override;

  // Version 7.
  HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) override;
  HRESULT Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags,
              DDBLTFX* fx) override;
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* source, RECT* sourceRect,
                  DWORD flags) override;
  HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface7* surface) override;
  HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) override;
  HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) override;

  // Version 4.
  HRESULT AddAttachedSurface(IDirectDrawSurface4* surface) override;
  HRESULT Blt(RECT* destRect, IDirectDrawSurface4* source, RECT* sourceRect, DWORD flags,
              DDBLTFX* fx) override;
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface4* source, RECT* sourceRect,
                  DWORD flags) override;
  HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface4* surface) override;
  HRESULT Flip(IDirectDrawSurface4* target, DWORD flags) override;
  HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** surface) override;

  // Version 1.
  HRESULT AddAttachedSurface(IDirectDrawSurface* surface) override;
  HRESULT Blt(RECT* destRect, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags,
              DDBLTFX* fx) override;
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface* source, RECT* sourceRect,
                  DWORD flags) override;
  HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface* surface) override;
  HRESULT Flip(IDirectDrawSurface* target, DWORD flags) override;
  HRESULT GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** surface) override;
  HRESULT GetCaps(DDSCAPS* caps) override;
  HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) override;
  HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) override;
  HRESULT Unlock(void* surfaceData) override;

  // The memory of the pixels now, for drawing kept back to be done later; it fails as Lock
  // would (refused, lost, busy), since such drawing stands for a lock of its own.
  HRESULT MemoryForDrawing(SurfaceMemory** memory);
  // Restores the memory of the surface, or of its whole flipping chain, if it was lost.
  HRESULT RestoreMemory();
  // Flips a flipping primary back to the buffer it started with; false when there was nothing
  // to flip.
  bool FlipToFirstBuffer();

 private:
  Surface(DirectDrawObject* owner, std::shared_ptr<SurfaceMemory> memory, DWORD caps, DWORD caps2);
  ~Surface() override;

  bool IsShown() const { return (caps_ & DDSCAPS_PRIMARYSURFACE) != 0; }
  RECT Bounds() const;
  // DDERR_SURFACELOST or DDERR_SURFACEBUSY when the pixels cannot be used now.
  HRESULT CheckUsable() const;
  void PresentIfShown() const;
  // Before a fill that covers every pixel: moves to the spare memory if drawing is kept back on
  // the present one, and leaves that to it.
  void LeaveMemoryToDrawingKeptBack();
  // The surfaces restored together with this one: its flipping or mipmap chain, or itself.
  std::vector<Surface*> ChainOrSelf();
  // Lets go of the other members of a chain this surface heads; one still held elsewhere lives
  // on as a surface of its own.
  void ReleaseChainMembers(std::vector<Surface*>& members, Surface* Surface::*head);
  // This level's place in its mipmap chain, 0 for the top.
  size_t MipmapIndex() const;

  HRESULT AttachSurface(Surface* surface);
  HRESULT BlitFrom(RECT* destRect, Surface* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx);
  HRESULT FastBlitFrom(DWORD x, DWORD y, Surface* source, RECT* sourceRect, DWORD flags);
  HRESULT DetachSurface(DWORD flags, Surface* surface, bool detachAll);
  HRESULT FlipTo(Surface* target, DWORD flags);
  HRESULT FindAttached(DWORD caps, DWORD caps2, Surface** surface);
  // The work behind the versioned doors that take or give other surfaces.
  template <class Interface>
  HRESULT AddAttachedAnyVersion(Interface* surface);
  template <class Interface>
  HRESULT BltAnyVersion(RECT* destRect, Interface* source, RECT* sourceRect, DWORD flags,
                        DDBLTFX* fx);
  template <class Interface>
  HRESULT BltFastAnyVersion(DWORD x, DWORD y, Interface* source, RECT* sourceRect, DWORD flags);
  template <class Interface>
  HRESULT DeleteAttachedAnyVersion(DWORD flags, Interface* surface);
  template <class Interface>
  HRESULT FlipAnyVersion(Interface* target, DWORD flags);
  template <class CapsRecord, class Interface>
  HRESULT GetAttachedAnyVersion(CapsRecord* caps, Interface** surface);
  template <class Desc>
  HRESULT Describe(Desc* desc) const;
  template <class Desc>
  HRESULT LockPixels(RECT* rect, Desc* desc);
  HRESULT UnlockPixels();

  ULONG references_ = 1;
  DirectDrawObject* owner_;
  std::shared_ptr<SurfaceMemory> memory_;
  // Memory the surface changes places with when a fill is about to cover every pixel while drawing
  // kept back still reads or writes them: that drawing keeps the old memory, and the fill need not
  // wait for it.
  std::shared_ptr<SurfaceMemory> spareMemory_;
  // The last copy into this surface that was kept back (KeptBackCopy.h); after the memories, so
  // it goes before them.
  std::unique_ptr<KeptBackCopy> keptBackCopy_;
  DWORD caps_;
  DWORD caps2_;
  DDrawDisplayMode modeAtCreation_;
  std::optional<DDCOLORKEY> sourceKey_;
  std::optional<DDCOLORKEY> destKey_;
  ComPtr<Clipper> clipper_;
  ComPtr<Palette> palette_;
  bool locked_ = false;
  HDC dc_ = nullptr;
  // The front of the flipping chain this surface belongs to (itself for the front), or null.
  Surface* chainFront_ = nullptr;
  // Front only: the chain in order, front first; the front holds a reference to each other.
  std::vector<Surface*> chain_;
  // Front only: the memory shown before the first flip, where the desktop was drawn.
  const SurfaceMemory* firstBuffer_ = nullptr;
  // The top of the mipmap chain this surface belongs to (itself for the top), or null.
  Surface* mipmapTop_ = nullptr;
  // Top only: the levels, largest first; the top holds a reference to each other.
  std::vector<Surface*> mipmapLevels_;
  // Surfaces attached with AddAttachedSurface, held counted.
  std::vector<ComPtr<Surface>> attached_;
};
