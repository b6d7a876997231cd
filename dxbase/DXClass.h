// The floor of the component layer: the cached library loader every DirectX entry point is bound
// through, the wrapper base that keeps the last DirectX result, the layer's exception classes,
// the shared Max/Min pair and the Direct3D colour packers.
#pragma once

#include "platform/kernel/Modules.h"
#include "platform/kernel/WinTypes.h"
#include "runtime/Classes.h"
#include "runtime/SysUtils.h"

// ---- Exceptions ----

#define ORVALIS_DX_EXCEPTION_CLASS(Name, Base) \
  class Name : public Base {                   \
   public:                                     \
    using Base::Base;                          \
  }

ORVALIS_DX_EXCEPTION_CLASS(EDirectXError, Exception);
ORVALIS_DX_EXCEPTION_CLASS(EDirectDrawError, EDirectXError);
ORVALIS_DX_EXCEPTION_CLASS(EDirectDrawPaletteError, EDirectDrawError);
ORVALIS_DX_EXCEPTION_CLASS(EDirectDrawClipperError, EDirectDrawError);
ORVALIS_DX_EXCEPTION_CLASS(EDirectDrawSurfaceError, EDirectDrawError);
ORVALIS_DX_EXCEPTION_CLASS(EDXDrawError, Exception);
ORVALIS_DX_EXCEPTION_CLASS(EDirect3DTextureError, Exception);
ORVALIS_DX_EXCEPTION_CLASS(EDXTextureImageError, Exception);
ORVALIS_DX_EXCEPTION_CLASS(EPictureCollectionError, Exception);

#undef ORVALIS_DX_EXCEPTION_CLASS

// ---- Library loader ----

// The address of the export procName of the library dllName, loading the library at its first
// use and keeping it in a cache keyed by the lower-cased name. A library that cannot be loaded
// or lacks the export raises Exception "%s is not loaded" with dllName as given; a library that
// failed to load is not cached, so the next call tries again.
FARPROC LoadLibraryProc(const std::string& dllName, const std::string& procName);
// Frees every cached library in the order it was loaded and empties the cache (the end of the
// layer's floor; also for tests).
void FreeLoadedLibraries();

// ---- Small helpers shared by the whole component layer ----

inline Integer Max(Integer a, Integer b) { return a > b ? a : b; }
inline Integer Min(Integer a, Integer b) { return a < b ? a : b; }

// A Direct3D colour, opaque: components from 0 to 1 (not clamped), each rounded half to even.
DWORD PackColorRGBf(Single r, Single g, Single b);
// (r shl 16) or (g shl 8) or b, with no alpha and no masking.
inline DWORD PackColorRGB(Integer r, Integer g, Integer b) {
  return (static_cast<DWORD>(r) << 16) | (static_cast<DWORD>(g) << 8) | static_cast<DWORD>(b);
}

// ---- TDirectX ----

// The base of the DirectDraw wrappers: keeps the result code of the last DirectX call.
class TDirectX : public TPersistent {
  ORVALIS_CLASS(TDirectX, TPersistent)

  HRESULT DXResult() const { return FDXResult; }
  // Stores value; a failure (non-zero) is passed to Check.
  void SetDXResult(HRESULT value);

 protected:
  // Called for every non-zero result stored; nothing by default.
  virtual void Check() {}

  // The creation operations of the wrappers copy their owner's result here directly.
  HRESULT FDXResult = 0;
};
