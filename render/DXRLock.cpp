#include "render/DXRLock.h"

#include <cstring>

namespace {
constexpr DWORD PaletteIndexedFlags =
    DDPF_PALETTEINDEXED1 | DDPF_PALETTEINDEXED2 | DDPF_PALETTEINDEXED4 | DDPF_PALETTEINDEXED8;
}

void DescribeLockedSurface(const DDSURFACEDESC& desc, TDXRSurface& dest) {
  const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
  if (format.dwFlags & PaletteIndexedFlags) {
    // A shift by 32 would be undefined; a 32-bit index would overrun the palette anyway.
    const uint32_t indexMask = format.dwRGBBitCount >= 32 ? 0xFFFFFFFFu : (1u << format.dwRGBBitCount) - 1;
    InitIndexedSurface(dest, desc.dwWidth, desc.dwHeight, format.dwRGBBitCount, desc.lpSurface, desc.lPitch,
                       indexMask, 0);
  } else {
    const uint32_t alphaMask = (format.dwFlags & DDPF_ALPHAPIXELS) ? format.dwRGBAlphaBitMask : 0;
    InitRGBSurface(dest, desc.dwWidth, desc.dwHeight, format.dwRGBBitCount, desc.lpSurface, desc.lPitch,
                   format.dwRBitMask, format.dwGBitMask, format.dwBBitMask, alphaMask);
  }
}

bool LockSurfaceDesc(IDirectDrawSurface* surface, DDSURFACEDESC& desc, TDXRSurface& dest) {
  desc.dwSize = kDDSurfaceDescSize;
  if (surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != 0) return false;
  DescribeLockedSurface(desc, dest);
  return true;
}

bool LockSurface(IDirectDrawSurface* surface, TDXRSurface& dest) {
  DDSURFACEDESC desc;
  std::memset(&desc, 0, sizeof(desc));
  return LockSurfaceDesc(surface, desc, dest);
}

void UnlockSurface(IDirectDrawSurface* surface, const TDXRSurface& dest) { surface->Unlock(dest.Bits); }
