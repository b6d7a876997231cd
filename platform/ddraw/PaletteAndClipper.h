// Palette and clipper objects. Both live on their own once made: surfaces hold counted
// references to those attached to them.
#pragma once

#include <array>

#include "platform/ddraw/DDraw.h"
#include "platform/kernel/CountedObject.h"

class Palette final : public CountedObject<IDirectDrawPalette> {
 public:
  static HRESULT Create(DWORD flags, const PALETTEENTRY* entries, IDirectDrawPalette** palette);

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return QueryOwnInterface(iid, IID_IDirectDrawPalette, object);
  }
  HRESULT GetCaps(DWORD* caps) override;
  HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) override;
  HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries) override;

  // 256 entries; those beyond the palette's own size are black.
  const PALETTEENTRY* Entries() const { return entries_.data(); }

 private:
  Palette(DWORD caps, uint32_t size, const PALETTEENTRY* entries);
  ~Palette() override = default;

  DWORD caps_;
  uint32_t size_;
  std::array<PALETTEENTRY, 256> entries_{};
};

class Clipper final : public CountedObject<IDirectDrawClipper> {
 public:
  static HRESULT Create(DWORD flags, IDirectDrawClipper** clipper);

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return QueryOwnInterface(iid, IID_IDirectDrawClipper, object);
  }
  HRESULT GetHWnd(HWND* window) override;
  HRESULT SetHWnd(DWORD flags, HWND window) override;

  // The part of a width x height surface that blits may write. On a surface the screen shows,
  // a clipper with a window limits it to the window's client area; a window that is gone leaves
  // nothing.
  RECT ClipRect(int32_t width, int32_t height, bool onScreen) const;

 private:
  Clipper() = default;
  ~Clipper() override = default;

  HWND window_ = nullptr;
};
