// The basic types, handles, records and result codes shared by every module of the platform
// layer. Sizes follow the 32-bit originals where records are stored or streamed.
#pragma once

#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using BOOL = int32_t;
using HRESULT = int32_t;
using COLORREF = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

// Handles are opaque and distinct per kind, so one kind cannot be passed for another.
#define ORVALIS_DECLARE_HANDLE(name) \
  struct name##__;                   \
  using name = name##__*
ORVALIS_DECLARE_HANDLE(HWND);
ORVALIS_DECLARE_HANDLE(HDC);
ORVALIS_DECLARE_HANDLE(HGDIOBJ);
ORVALIS_DECLARE_HANDLE(HINSTANCE);
ORVALIS_DECLARE_HANDLE(HGLOBAL);
ORVALIS_DECLARE_HANDLE(HKEY);
ORVALIS_DECLARE_HANDLE(HCURSOR);
#undef ORVALIS_DECLARE_HANDLE
using HANDLE = void*;
using HMODULE = HINSTANCE;
// GDI objects share one handle space, as DeleteObject and SelectObject take any of them.
using HBITMAP = HGDIOBJ;
using HPALETTE = HGDIOBJ;
using HFONT = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HPEN = HGDIOBJ;

struct RECT {
  LONG left, top, right, bottom;
};

struct POINT {
  LONG x, y;
};

struct SIZE {
  LONG cx, cy;
};

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;
using REFIID = const GUID&;
using REFGUID = const GUID&;

inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// The identity every counted platform object answers to.
constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The interface base every counted platform object derives from.
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};
