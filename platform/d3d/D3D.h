// Direct3D immediate mode, reached by asking a DirectDraw object for IID_IDirect3D7, or for
// IID_IDirect3D, IID_IDirect3D2 and IID_IDirect3D3 (the DirectX 6 interfaces, whose device list
// carries hardware and software descriptions).
//
// Two devices are offered at start: a software RGB device and a device that reports hardware
// rasterisation. Both rasterise in software: transformed, lit vertices (D3DFVF_TLVERTEX) drawn as
// triangle strips into the render-target surface through its Lock, textured with point or
// bilinear sampling, modulated by the vertex colour, colour-keyed with the texture's source colour
// key and alpha-blended as the render states say. No scene needs to be open to draw.
//
// The DirectX 6 device (IDirect3DDevice3, answering also as IDirect3DDevice2 and
// IDirect3DDevice) keeps its render states and lists texture formats; it does not draw, as
// nothing here draws through it. Records accept the size values of the 32-bit originals in
// dwSize.
#pragma once

#include "platform/ddraw/DDraw.h"

// ---------------------------------------------------------------------------------------------
// Result codes.

constexpr HRESULT D3D_OK = S_OK;
constexpr HRESULT D3DERR_INVALID_DEVICE = MakeDDrawResult(705);
constexpr HRESULT D3DERR_INITFAILED = MakeDDrawResult(706);
constexpr HRESULT D3DERR_INVALIDPRIMITIVETYPE = MakeDDrawResult(745);
constexpr HRESULT D3DERR_INVALIDVERTEXTYPE = MakeDDrawResult(746);
constexpr HRESULT D3DERR_SCENE_IN_SCENE = MakeDDrawResult(742);
constexpr HRESULT D3DERR_SCENE_NOT_IN_SCENE = MakeDDrawResult(743);
constexpr HRESULT D3DERR_INVALIDCALL = E_INVALIDARG;

constexpr HRESULT D3DENUMRET_CANCEL = 0;
constexpr HRESULT D3DENUMRET_OK = 1;

// ---------------------------------------------------------------------------------------------
// Interface and device identities.

constexpr GUID IID_IDirect3D = {
    0x3BBA0080, 0x2421, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
constexpr GUID IID_IDirect3D2 = {
    0x6AAE1EC1, 0x662A, 0x11D0, {0x88, 0x9D, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x6A}};
constexpr GUID IID_IDirect3D3 = {
    0xBB223240, 0xE72B, 0x11D0, {0xA9, 0xB4, 0x00, 0xAA, 0x00, 0xC0, 0x99, 0x3E}};
constexpr GUID IID_IDirect3D7 = {
    0xF5049E77, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
constexpr GUID IID_IDirect3DRGBDevice = {
    0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
constexpr GUID IID_IDirect3DHALDevice = {
    0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};
constexpr GUID IID_IDirect3DTnLHalDevice = {
    0xF5049E78, 0x4861, 0x11D2, {0xA4, 0x07, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0xA8}};
constexpr GUID IID_IDirect3DDevice = {
    0x64108800, 0x957D, 0x11D0, {0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};
constexpr GUID IID_IDirect3DDevice2 = {
    0x93281501, 0x8CF8, 0x11D0, {0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};
constexpr GUID IID_IDirect3DDevice3 = {
    0xB0AB3B60, 0x33D7, 0x11D1, {0xA9, 0x81, 0x00, 0xC0, 0x4F, 0xD7, 0xB1, 0x74}};
// The reference rasteriser; never listed here, but callers test for it.
constexpr GUID IID_IDirect3DRefDevice = {
    0x50936643, 0x13E9, 0x11D1, {0x89, 0xAA, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};

// ---------------------------------------------------------------------------------------------
// Flags and enumerations.

using D3DVALUE = float;
using D3DCOLOR = DWORD;

// Colour models of the version-1 device descriptions.
constexpr DWORD D3DCOLOR_MONO = 1;
constexpr DWORD D3DCOLOR_RGB = 2;

// Which fields of a version-1 device description are valid.
constexpr DWORD D3DDD_COLORMODEL = 0x00000001;
constexpr DWORD D3DDD_DEVCAPS = 0x00000002;
constexpr DWORD D3DDD_LINECAPS = 0x00000010;
constexpr DWORD D3DDD_TRICAPS = 0x00000020;
constexpr DWORD D3DDD_DEVICERENDERBITDEPTH = 0x00000080;
constexpr DWORD D3DDD_DEVICEZBUFFERBITDEPTH = 0x00000100;

// Device capabilities.
constexpr DWORD D3DDEVCAPS_FLOATTLVERTEX = 0x00000001;
constexpr DWORD D3DDEVCAPS_EXECUTESYSTEMMEMORY = 0x00000010;
constexpr DWORD D3DDEVCAPS_TLVERTEXSYSTEMMEMORY = 0x00000040;
constexpr DWORD D3DDEVCAPS_TEXTURESYSTEMMEMORY = 0x00000100;
constexpr DWORD D3DDEVCAPS_TEXTUREVIDEOMEMORY = 0x00000200;
constexpr DWORD D3DDEVCAPS_DRAWPRIMTLVERTEX = 0x00000400;
constexpr DWORD D3DDEVCAPS_CANRENDERAFTERFLIP = 0x00000800;
constexpr DWORD D3DDEVCAPS_DRAWPRIMITIVES2 = 0x00002000;
constexpr DWORD D3DDEVCAPS_HWRASTERIZATION = 0x00080000;

// Primitive capabilities.
constexpr DWORD D3DPRASTERCAPS_DITHER = 0x00000001;
constexpr DWORD D3DPSHADECAPS_COLORGOURAUDRGB = 0x00000008;
constexpr DWORD D3DPTEXTURECAPS_PERSPECTIVE = 0x00000001;
constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x00000002;
constexpr DWORD D3DPTEXTURECAPS_ALPHA = 0x00000004;
constexpr DWORD D3DPTEXTURECAPS_TRANSPARENCY = 0x00000008;
constexpr DWORD D3DPTEXTURECAPS_SQUAREONLY = 0x00000020;
constexpr DWORD D3DPTFILTERCAPS_NEAREST = 0x00000001;
constexpr DWORD D3DPTFILTERCAPS_LINEAR = 0x00000002;
constexpr DWORD D3DPTFILTERCAPS_MINFPOINT = 0x00000100;
constexpr DWORD D3DPTFILTERCAPS_MINFLINEAR = 0x00000200;
constexpr DWORD D3DPTFILTERCAPS_MAGFPOINT = 0x01000000;
constexpr DWORD D3DPTFILTERCAPS_MAGFLINEAR = 0x02000000;
constexpr DWORD D3DPTBLENDCAPS_MODULATE = 0x00000008;
constexpr DWORD D3DPTADDRESSCAPS_WRAP = 0x00000001;
constexpr DWORD D3DPBLENDCAPS_ZERO = 0x00000001;
constexpr DWORD D3DPBLENDCAPS_ONE = 0x00000002;
constexpr DWORD D3DPBLENDCAPS_SRCALPHA = 0x00000010;
constexpr DWORD D3DPBLENDCAPS_INVSRCALPHA = 0x00000020;

enum D3DPRIMITIVETYPE : DWORD {
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6,
};

// Flexible vertex format bits.
constexpr DWORD D3DFVF_XYZRHW = 0x004;
constexpr DWORD D3DFVF_DIFFUSE = 0x040;
constexpr DWORD D3DFVF_SPECULAR = 0x080;
constexpr DWORD D3DFVF_TEX1 = 0x100;
constexpr DWORD D3DFVF_TLVERTEX = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;

constexpr DWORD D3DDP_WAIT = 0x00000001;

enum D3DRENDERSTATETYPE : DWORD {
  D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4,
  D3DRENDERSTATE_ZENABLE = 7,
  D3DRENDERSTATE_SHADEMODE = 9,
  D3DRENDERSTATE_ZWRITEENABLE = 14,
  D3DRENDERSTATE_SRCBLEND = 19,
  D3DRENDERSTATE_DESTBLEND = 20,
  D3DRENDERSTATE_CULLMODE = 22,
  D3DRENDERSTATE_DITHERENABLE = 26,
  D3DRENDERSTATE_ALPHABLENDENABLE = 27,
  D3DRENDERSTATE_SPECULARENABLE = 29,
  D3DRENDERSTATE_COLORKEYENABLE = 41,
  D3DRENDERSTATE_LIGHTING = 137,
};
// Render states are numbered below this.
constexpr DWORD kD3DRenderStateCount = 256;

enum D3DBLEND : DWORD {
  D3DBLEND_ZERO = 1,
  D3DBLEND_ONE = 2,
  D3DBLEND_SRCCOLOR = 3,
  D3DBLEND_INVSRCCOLOR = 4,
  D3DBLEND_SRCALPHA = 5,
  D3DBLEND_INVSRCALPHA = 6,
  D3DBLEND_DESTALPHA = 7,
  D3DBLEND_INVDESTALPHA = 8,
  D3DBLEND_DESTCOLOR = 9,
  D3DBLEND_INVDESTCOLOR = 10,
};

enum D3DCULL : DWORD { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };

enum D3DTEXTURESTAGESTATETYPE : DWORD {
  D3DTSS_COLOROP = 1,
  D3DTSS_COLORARG1 = 2,
  D3DTSS_COLORARG2 = 3,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ALPHAARG1 = 5,
  D3DTSS_ALPHAARG2 = 6,
  D3DTSS_ADDRESS = 12,
  D3DTSS_MAGFILTER = 16,
  D3DTSS_MINFILTER = 17,
  D3DTSS_MIPFILTER = 18,
};
// Texture stage states are numbered below this.
constexpr DWORD kD3DTextureStageStateCount = 32;
// Texture stages a device offers.
constexpr DWORD kD3DTextureStageCount = 8;

enum D3DTEXTUREMAGFILTER : DWORD { D3DTFG_POINT = 1, D3DTFG_LINEAR = 2 };
enum D3DTEXTUREMINFILTER : DWORD { D3DTFN_POINT = 1, D3DTFN_LINEAR = 2 };
enum D3DTEXTUREMIPFILTER : DWORD { D3DTFP_NONE = 1 };
enum D3DTEXTUREOP : DWORD { D3DTOP_DISABLE = 1, D3DTOP_SELECTARG1 = 2, D3DTOP_MODULATE = 4 };
constexpr DWORD D3DTA_DIFFUSE = 0x00000000;
constexpr DWORD D3DTA_CURRENT = 0x00000001;
constexpr DWORD D3DTA_TEXTURE = 0x00000002;
constexpr DWORD D3DTADDRESS_WRAP = 1;

// ---------------------------------------------------------------------------------------------
// Records.

// A transformed and lit vertex: screen position with pixel centres on whole numbers, depth,
// reciprocal of w, diffuse and specular colours (0xAARRGGBB) and one texture coordinate pair.
struct D3DTLVERTEX {
  D3DVALUE sx;
  D3DVALUE sy;
  D3DVALUE sz;
  D3DVALUE rhw;
  D3DCOLOR color;
  D3DCOLOR specular;
  D3DVALUE tu;
  D3DVALUE tv;
};
static_assert(sizeof(D3DTLVERTEX) == 32);

struct D3DPRIMCAPS {
  DWORD dwSize;  // 56
  DWORD dwMiscCaps;
  DWORD dwRasterCaps;
  DWORD dwZCmpCaps;
  DWORD dwSrcBlendCaps;
  DWORD dwDestBlendCaps;
  DWORD dwAlphaCmpCaps;
  DWORD dwShadeCaps;
  DWORD dwTextureCaps;
  DWORD dwTextureFilterCaps;
  DWORD dwTextureBlendCaps;
  DWORD dwTextureAddressCaps;
  DWORD dwStippleWidth;
  DWORD dwStippleHeight;
};
static_assert(sizeof(D3DPRIMCAPS) == 56);

struct D3DTRANSFORMCAPS {
  DWORD dwSize;
  DWORD dwCaps;
};

struct D3DLIGHTINGCAPS {
  DWORD dwSize;
  DWORD dwCaps;
  DWORD dwLightingModel;
  DWORD dwNumLights;
};

// The device description of the version-1 to version-3 interfaces (252 bytes).
struct D3DDEVICEDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dcmColorModel;
  DWORD dwDevCaps;
  D3DTRANSFORMCAPS dtcTransformCaps;
  BOOL bClipping;
  D3DLIGHTINGCAPS dlcLightingCaps;
  D3DPRIMCAPS dpcLineCaps;
  D3DPRIMCAPS dpcTriCaps;
  DWORD dwDeviceRenderBitDepth;
  DWORD dwDeviceZBufferBitDepth;
  DWORD dwMaxBufferSize;
  DWORD dwMaxVertexCount;
  DWORD dwMinTextureWidth;
  DWORD dwMinTextureHeight;
  DWORD dwMaxTextureWidth;
  DWORD dwMaxTextureHeight;
  DWORD dwMinStippleWidth;
  DWORD dwMaxStippleWidth;
  DWORD dwMinStippleHeight;
  DWORD dwMaxStippleHeight;
  DWORD dwMaxTextureRepeat;
  DWORD dwMaxTextureAspectRatio;
  DWORD dwMaxAnisotropy;
  D3DVALUE dvGuardBandLeft;
  D3DVALUE dvGuardBandTop;
  D3DVALUE dvGuardBandRight;
  D3DVALUE dvGuardBandBottom;
  D3DVALUE dvExtentsAdjust;
  DWORD dwStencilCaps;
  DWORD dwFVFCaps;
  DWORD dwTextureOpCaps;
  WORD wMaxTextureBlendStages;
  WORD wMaxSimultaneousTextures;
};
static_assert(sizeof(D3DDEVICEDESC) == 252);

// The device description of the version-7 interfaces (236 bytes).
struct D3DDEVICEDESC7 {
  DWORD dwDevCaps;
  D3DPRIMCAPS dpcLineCaps;
  D3DPRIMCAPS dpcTriCaps;
  DWORD dwDeviceRenderBitDepth;
  DWORD dwDeviceZBufferBitDepth;
  DWORD dwMinTextureWidth;
  DWORD dwMinTextureHeight;
  DWORD dwMaxTextureWidth;
  DWORD dwMaxTextureHeight;
  DWORD dwMaxTextureRepeat;
  DWORD dwMaxTextureAspectRatio;
  DWORD dwMaxAnisotropy;
  D3DVALUE dvGuardBandLeft;
  D3DVALUE dvGuardBandTop;
  D3DVALUE dvGuardBandRight;
  D3DVALUE dvGuardBandBottom;
  D3DVALUE dvExtentsAdjust;
  DWORD dwStencilCaps;
  DWORD dwFVFCaps;
  DWORD dwTextureOpCaps;
  WORD wMaxTextureBlendStages;
  WORD wMaxSimultaneousTextures;
  DWORD dwMaxActiveLights;
  D3DVALUE dvMaxVertexW;
  GUID deviceGUID;
  WORD wMaxUserClipPlanes;
  WORD wMaxVertexBlendMatrices;
  DWORD dwVertexProcessingCaps;
  DWORD dwReserved1;
  DWORD dwReserved2;
  DWORD dwReserved3;
  DWORD dwReserved4;
};
static_assert(sizeof(D3DDEVICEDESC7) == 236);

struct D3DVIEWPORT7 {
  DWORD dwX;
  DWORD dwY;
  DWORD dwWidth;
  DWORD dwHeight;
  D3DVALUE dvMinZ;
  D3DVALUE dvMaxZ;
};

// ---------------------------------------------------------------------------------------------
// Interfaces.

using LPD3DENUMDEVICESCALLBACK = HRESULT (*)(GUID* guid, char* description, char* name,
                                             D3DDEVICEDESC* hardwareDesc,
                                             D3DDEVICEDESC* softwareDesc, void* context);
using LPD3DENUMDEVICESCALLBACK7 = HRESULT (*)(char* description, char* name,
                                              D3DDEVICEDESC7* desc, void* context);
using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(DDPIXELFORMAT* format, void* context);

// The DirectX 6 interfaces: each version offers what the one before it does.
//
// EnumDevices lists the devices with separate hardware and software descriptions: a hardware
// device fills the first (colour model RGB) and leaves the second's colour model 0, a software
// device the other way round.
struct IDirect3D : IUnknown {
  virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK callback, void* context) = 0;
};

struct IDirect3D2 : IDirect3D {};

struct IDirect3DDevice : IUnknown {
  virtual HRESULT GetCaps(D3DDEVICEDESC* hardwareDesc, D3DDEVICEDESC* softwareDesc) = 0;
};

struct IDirect3DDevice2 : IDirect3DDevice {
  virtual HRESULT GetRenderTarget(IDirectDrawSurface4** surface) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
};

struct IDirect3DDevice3 : IDirect3DDevice2 {
  virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
};

struct IDirect3D3 : IDirect3D2 {
  // As IDirect3D7::CreateDevice; outer must be null.
  virtual HRESULT CreateDevice(REFIID deviceGuid, IDirectDrawSurface4* renderTarget,
                               IDirect3DDevice3** device, IUnknown* outer) = 0;
};

struct IDirect3DDevice7 : IUnknown {
  virtual HRESULT GetCaps(D3DDEVICEDESC7* desc) = 0;
  virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT GetDirect3D(struct IDirect3D7** direct3D) = 0;
  virtual HRESULT SetRenderTarget(IDirectDrawSurface7* surface, DWORD flags) = 0;
  virtual HRESULT GetRenderTarget(IDirectDrawSurface7** surface) = 0;
  virtual HRESULT SetViewport(D3DVIEWPORT7* viewport) = 0;
  virtual HRESULT GetViewport(D3DVIEWPORT7* viewport) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
  virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices,
                                DWORD vertexCount, DWORD flags) = 0;
  virtual HRESULT GetTexture(DWORD stage, IDirectDrawSurface7** texture) = 0;
  virtual HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) = 0;
  virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                       DWORD* value) = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                       DWORD value) = 0;
};

struct IDirect3D7 : IUnknown {
  virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, void* context) = 0;
  // The render target must be a 3D-device surface of a bit depth the device renders at; a
  // hardware device renders only into video memory.
  virtual HRESULT CreateDevice(REFIID deviceGuid, IDirectDrawSurface7* renderTarget,
                               IDirect3DDevice7** device) = 0;
};

// Makes DirectDraw objects answer for the Direct3D interfaces. Called by the host's
// start-up; tests call it themselves.
void InstallDirect3D();
