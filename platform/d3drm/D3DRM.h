// Direct3D retained mode, the built-in module "D3DRM.dll": the retained-mode object made by
// Direct3DRMCreate, devices made on a DirectX 6 Direct3D device, frames and viewports.
//
// Offered as far as a display sets it up: every object keeps what it is told (buffer count,
// render and texture quality, dithering, shades, default texture colours and shades, frame
// positions, viewport rectangle and back clipping plane) and reports it back; nothing is drawn.
// Each interface version offers what the one before it does.
#pragma once

#include "platform/d3d/D3D.h"

// ---------------------------------------------------------------------------------------------
// Result codes.

constexpr HRESULT D3DRM_OK = S_OK;
constexpr HRESULT D3DRMERR_BADOBJECT = MakeDDrawResult(781);
constexpr HRESULT D3DRMERR_BADVALUE = MakeDDrawResult(782);
constexpr HRESULT D3DRMERR_BADDEVICE = MakeDDrawResult(789);

// ---------------------------------------------------------------------------------------------
// Interface identities.

constexpr GUID IID_IDirect3DRM = {
    0x2BC49361, 0x8327, 0x11CF, {0xAC, 0x4A, 0x00, 0x00, 0xC0, 0x38, 0x25, 0xA1}};
constexpr GUID IID_IDirect3DRM2 = {
    0x4516ECC8, 0x8F20, 0x11D0, {0x9B, 0x6D, 0x00, 0x00, 0xC0, 0x78, 0x1B, 0xC3}};
constexpr GUID IID_IDirect3DRM3 = {
    0x4516EC83, 0x8F20, 0x11D0, {0x9B, 0x6D, 0x00, 0x00, 0xC0, 0x78, 0x1B, 0xC3}};
constexpr GUID IID_IDirect3DRMDevice = {
    0xE9E19280, 0x6E05, 0x11CF, {0xAC, 0x4A, 0x00, 0x00, 0xC0, 0x38, 0x25, 0xA1}};
constexpr GUID IID_IDirect3DRMDevice2 = {
    0x4516EC78, 0x8F20, 0x11D0, {0x9B, 0x6D, 0x00, 0x00, 0xC0, 0x78, 0x1B, 0xC3}};
constexpr GUID IID_IDirect3DRMDevice3 = {
    0x549F498B, 0xBFEB, 0x11D1, {0x8E, 0xD8, 0x00, 0xA0, 0xC9, 0x67, 0xA4, 0x82}};
constexpr GUID IID_IDirect3DRMFrame = {
    0xEB16CB03, 0xD271, 0x11CE, {0xAC, 0x48, 0x00, 0x00, 0xC0, 0x38, 0x25, 0xA1}};
constexpr GUID IID_IDirect3DRMViewport = {
    0xEB16CB02, 0xD271, 0x11CE, {0xAC, 0x48, 0x00, 0x00, 0xC0, 0x38, 0x25, 0xA1}};

// ---------------------------------------------------------------------------------------------
// Values.

// A render quality is a shade mode, a lighting mode and a fill mode or-ed together.
using D3DRMRENDERQUALITY = DWORD;
constexpr D3DRMRENDERQUALITY D3DRMSHADE_FLAT = 0x00;
constexpr D3DRMRENDERQUALITY D3DRMSHADE_GOURAUD = 0x01;
constexpr D3DRMRENDERQUALITY D3DRMLIGHT_OFF = 0x00;
constexpr D3DRMRENDERQUALITY D3DRMLIGHT_ON = 0x08;
constexpr D3DRMRENDERQUALITY D3DRMFILL_WIREFRAME = 0x40;
constexpr D3DRMRENDERQUALITY D3DRMFILL_SOLID = 0x80;
constexpr D3DRMRENDERQUALITY D3DRMRENDER_GOURAUD =
    D3DRMSHADE_GOURAUD | D3DRMLIGHT_ON | D3DRMFILL_SOLID;

enum D3DRMTEXTUREQUALITY : DWORD { D3DRMTEXTURE_NEAREST = 0, D3DRMTEXTURE_LINEAR = 1 };

struct D3DVECTOR {
  D3DVALUE x;
  D3DVALUE y;
  D3DVALUE z;
};

// ---------------------------------------------------------------------------------------------
// Interfaces.

// A frame places what hangs in it relative to its parent; a frame without a parent is a root
// (a scene). A null reference frame means the root of the frame's own hierarchy.
struct IDirect3DRMFrame : IUnknown {
  virtual HRESULT GetParent(IDirect3DRMFrame** parent) = 0;
  virtual HRESULT SetPosition(IDirect3DRMFrame* reference, D3DVALUE x, D3DVALUE y, D3DVALUE z) = 0;
  virtual HRESULT GetPosition(IDirect3DRMFrame* reference, D3DVECTOR* position) = 0;
};

struct IDirect3DRMDevice : IUnknown {
  virtual HRESULT SetBufferCount(DWORD count) = 0;
  virtual DWORD GetBufferCount() = 0;
  virtual HRESULT SetQuality(D3DRMRENDERQUALITY quality) = 0;
  virtual D3DRMRENDERQUALITY GetQuality() = 0;
  virtual HRESULT SetTextureQuality(D3DRMTEXTUREQUALITY quality) = 0;
  virtual D3DRMTEXTUREQUALITY GetTextureQuality() = 0;
  virtual HRESULT SetDither(BOOL dither) = 0;
  virtual BOOL GetDither() = 0;
  virtual HRESULT SetShades(DWORD shades) = 0;
  virtual DWORD GetShades() = 0;
  // The size of the Direct3D device's render target.
  virtual DWORD GetWidth() = 0;
  virtual DWORD GetHeight() = 0;
  virtual HRESULT GetDirect3DDevice2(IDirect3DDevice2** device) = 0;
};

struct IDirect3DRMDevice2 : IDirect3DRMDevice {};
struct IDirect3DRMDevice3 : IDirect3DRMDevice2 {};

// What a camera frame sees, shown on a rectangle of a device.
struct IDirect3DRMViewport : IUnknown {
  virtual HRESULT SetBack(D3DVALUE back) = 0;
  virtual D3DVALUE GetBack() = 0;
  virtual LONG GetX() = 0;
  virtual LONG GetY() = 0;
  virtual DWORD GetWidth() = 0;
  virtual DWORD GetHeight() = 0;
  virtual HRESULT GetCamera(IDirect3DRMFrame** camera) = 0;
  virtual HRESULT GetDevice(IDirect3DRMDevice** device) = 0;
};

struct IDirect3DRM : IUnknown {
  // parent null: a root frame.
  virtual HRESULT CreateFrame(IDirect3DRMFrame* parent, IDirect3DRMFrame** frame) = 0;
  // The rectangle must lie on the device.
  virtual HRESULT CreateViewport(IDirect3DRMDevice* device, IDirect3DRMFrame* camera, DWORD x,
                                 DWORD y, DWORD width, DWORD height,
                                 IDirect3DRMViewport** viewport) = 0;
  virtual HRESULT SetDefaultTextureColors(DWORD colors) = 0;
  virtual HRESULT SetDefaultTextureShades(DWORD shades) = 0;
  virtual DWORD GetDefaultTextureColors() = 0;
  virtual DWORD GetDefaultTextureShades() = 0;
};

struct IDirect3DRM2 : IDirect3DRM {
  // A device drawing through this Direct3D device.
  virtual HRESULT CreateDeviceFromD3D(IDirect3D2* direct3D, IDirect3DDevice2* device,
                                      IDirect3DRMDevice2** retainedModeDevice) = 0;
};

struct IDirect3DRM3 : IDirect3DRM2 {};

// ---------------------------------------------------------------------------------------------
// Entry point (exported by "D3DRM.dll").

HRESULT Direct3DRMCreate(IDirect3DRM** retainedMode);

// Offers "D3DRM.dll" in the kernel's table of built-in modules.
void RegisterRetainedModeModule();
