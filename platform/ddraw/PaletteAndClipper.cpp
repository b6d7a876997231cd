#include "platform/ddraw/PaletteAndClipper.h"

#include <algorithm>

#include "platform/ddraw/DisplayDevice.h"
#include "platform/ddraw/SurfacePixels.h"
#include "platform/user/Window.h"

namespace {

// Entry count for the palette size flags; 0 when not exactly one size is given.
uint32_t PaletteSize(DWORD flags) {
  const DWORD sizeFlags = flags & (DDPCAPS_1BIT | DDPCAPS_2BIT | DDPCAPS_4BIT | DDPCAPS_8BIT);
  switch (sizeFlags) {
    case DDPCAPS_1BIT:
      return 2;
    case DDPCAPS_2BIT:
      return 4;
    case DDPCAPS_4BIT:
      return 16;
    case DDPCAPS_8BIT:
      return 256;
    default:
      return 0;
  }
}

}  // namespace

// Palette.

HRESULT Palette::Create(DWORD flags, const PALETTEENTRY* entries, IDirectDrawPalette** palette) {
  if (!palette) return DDERR_INVALIDPARAMS;
  *palette = nullptr;
  const uint32_t size = PaletteSize(flags);
  if (size == 0 || !entries) return DDERR_INVALIDPARAMS;
  *palette = new Palette(flags, size, entries);
  return DD_OK;
}

Palette::Palette(DWORD caps, uint32_t size, const PALETTEENTRY* entries)
    : caps_(caps), size_(size) {
  std::copy(entries, entries + size, entries_.begin());
}

HRESULT Palette::GetCaps(DWORD* caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  *caps = caps_;
  return DD_OK;
}

HRESULT Palette::GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) {
  if (flags != 0 || !entries || start >= size_ || count > size_ - start) return DDERR_INVALIDPARAMS;
  std::copy_n(entries_.begin() + start, count, entries);
  return DD_OK;
}

HRESULT Palette::SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries) {
  if (const HRESULT refused = DisplayDevice::Get().TakeRefusal(DDrawCall::SetEntries))
    return refused;
  if (flags != 0 || !entries || start >= size_ || count > size_ - start) return DDERR_INVALIDPARAMS;
  std::copy_n(entries, count, entries_.begin() + start);
  return DD_OK;
}

// Clipper.

HRESULT Clipper::Create(DWORD flags, IDirectDrawClipper** clipper) {
  if (!clipper) return DDERR_INVALIDPARAMS;
  *clipper = nullptr;
  if (flags != 0) return DDERR_INVALIDPARAMS;
  *clipper = new Clipper();
  return DD_OK;
}

HRESULT Clipper::GetHWnd(HWND* window) {
  if (!window) return DDERR_INVALIDPARAMS;
  *window = window_;
  return DD_OK;
}

HRESULT Clipper::SetHWnd(DWORD flags, HWND window) {
  if (const HRESULT refused = DisplayDevice::Get().TakeRefusal(DDrawCall::SetHWnd)) return refused;
  if (flags != 0 || (window && !IsWindow(window))) return DDERR_INVALIDPARAMS;
  window_ = window;
  return DD_OK;
}

RECT Clipper::ClipRect(int32_t width, int32_t height, bool onScreen) const {
  const RECT bounds{0, 0, width, height};
  if (!window_ || !onScreen) return bounds;
  RECT client{};
  POINT origin{0, 0};
  if (!IsWindow(window_) || !GetClientRect(window_, &client) || !ClientToScreen(window_, &origin))
    return RECT{0, 0, 0, 0};
  const RECT onScreenClient{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
  return IntersectRects(bounds, onScreenClient);
}
