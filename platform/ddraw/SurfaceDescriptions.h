// Reading and writing the two surface description records alike.
#pragma once

#include <type_traits>

#include "platform/ddraw/DDraw.h"

template <class Desc>
constexpr DWORD kDescSizeTag =
    std::is_same_v<Desc, DDSURFACEDESC> ? kDDSurfaceDescSize : kDDSurfaceDesc2Size;

// Callers write the record size of the 32-bit originals; this platform's own size is as good.
template <class Desc>
bool IsDescSize(DWORD size) {
  return size == kDescSizeTag<Desc> || size == sizeof(Desc);
}

// What a caller asks CreateSurface for, from either record.
struct SurfaceRequest {
  DWORD flags = 0;
  DWORD width = 0;
  DWORD height = 0;
  DWORD backBufferCount = 0;
  DWORD mipMapCount = 0;  // with DDSD_MIPMAPCOUNT
  DWORD caps = 0;
  DWORD caps2 = 0;
  DDPIXELFORMAT format{};  // with DDSD_PIXELFORMAT; the first record's depth ends up here too
  DDCOLORKEY sourceKey{};
  DDCOLORKEY destKey{};
};

template <class Desc>
HRESULT ReadSurfaceRequest(const Desc* desc, SurfaceRequest& request) {
  if (!desc || !IsDescSize<Desc>(desc->dwSize)) return DDERR_INVALIDPARAMS;
  request.flags = desc->dwFlags;
  request.width = desc->dwWidth;
  request.height = desc->dwHeight;
  request.backBufferCount = desc->dwBackBufferCount;
  if (desc->dwFlags & DDSD_MIPMAPCOUNT) request.mipMapCount = desc->dwMipMapCount;
  request.caps = desc->dwFlags & DDSD_CAPS ? desc->ddsCaps.dwCaps : 0;
  request.format = desc->ddpfPixelFormat;
  request.sourceKey = desc->ddckCKSrcBlt;
  request.destKey = desc->ddckCKDestBlt;
  if constexpr (std::is_same_v<Desc, DDSURFACEDESC>) {
    if (desc->dwFlags & DDSD_ZBUFFERBITDEPTH) {
      request.flags |= DDSD_PIXELFORMAT;
      request.format = DDPIXELFORMAT{};
      request.format.dwFlags = DDPF_ZBUFFER;
      request.format.dwZBufferBitDepth = desc->dwZBufferBitDepth;
    }
  } else {
    if (desc->dwFlags & DDSD_CAPS) request.caps2 = desc->ddsCaps.dwCaps2;
  }
  return DD_OK;
}

// Clears the record but for its size field.
template <class Desc>
void ClearDescription(Desc& desc) {
  const DWORD size = desc.dwSize;
  desc = Desc{};
  desc.dwSize = size;
}
