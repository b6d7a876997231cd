#include "display/DirectDraw.h"

#include "display/DirectDrawSurface.h"
#include "dxbase/DXConsts.h"
#include "dxbase/InterfaceQuery.h"
#include "runtime/TypInfo.h"

namespace {

using DirectDrawCreateExProc = HRESULT (*)(GUID*, void**, REFIID, IUnknown*);
using DirectDrawCreateProc = HRESULT (*)(GUID*, IDirectDraw**, IUnknown*);
using DirectDrawEnumerateProc = HRESULT (*)(LPDDENUMCALLBACKA, void*);

template <class Proc>
Proc BindDDraw(const char* procName) {
  return reinterpret_cast<Proc>(LoadLibraryProc("DDraw.dll", procName));
}

}  // namespace

// ---- TDirectDraw ----

const TClassInfo& TDirectDraw::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDirectDraw>();
  return info;
}

TDirectDraw::TDirectDraw(GUID* AGUID, bool DirectX7Mode) {
  if (DirectX7Mode) {
    void* object = nullptr;
    if (BindDDraw<DirectDrawCreateExProc>("DirectDrawCreateEx")(AGUID, &object, IID_IDirectDraw7,
                                                                nullptr) != DD_OK)
      throw EDirectDrawError(Format(MsgCannotBeInitialized, {ObjNameDirectDraw}));
    FIDraw7 = ComPtr<IDirectDraw7>::Attach(static_cast<IDirectDraw7*>(object));
    QueryInto(FIDraw7.Get(), IID_IDirectDraw, FIDraw);
    QueryInto(FIDraw7.Get(), IID_IDirectDraw4, FIDraw4);
    if (!FIDraw || !FIDraw4) throw EDirectDrawError(MsgRequiresDirectX7);
  } else {
    IDirectDraw* object = nullptr;
    if (BindDDraw<DirectDrawCreateProc>("DirectDrawCreate")(AGUID, &object, nullptr) != DD_OK)
      throw EDirectDrawError(Format(MsgCannotBeInitialized, {ObjNameDirectDraw}));
    FIDraw = ComPtr<IDirectDraw>::Attach(object);
    QueryInto(FIDraw.Get(), IID_IDirectDraw4, FIDraw4);
    if (!FIDraw4) throw EDirectDrawError(MsgRequiresDirectX6);
  }
  FDriverCaps.dwSize = sizeof(DDCAPS);
  FHELCaps.dwSize = sizeof(DDCAPS);
  FIDraw->GetCaps(&FDriverCaps, &FHELCaps);
}

TDirectDraw::~TDirectDraw() {
  // Each wrapper's destructor takes it out of its list.
  while (SurfaceCount() > 0) delete Surfaces(SurfaceCount() - 1);
  while (PaletteCount() > 0) delete Palettes(PaletteCount() - 1);
  while (ClipperCount() > 0) delete Clippers(ClipperCount() - 1);
}

IDirectDraw* TDirectDraw::IDDraw() const {
  if (!FIDraw) throw EDirectDrawError(Format(MsgNotMade, {"IDirectDraw"}));
  return FIDraw.Get();
}

IDirectDraw4* TDirectDraw::IDDraw4() const {
  if (!FIDraw4) throw EDirectDrawError(Format(MsgNotMade, {"IDirectDraw4"}));
  return FIDraw4.Get();
}

IDirectDraw7* TDirectDraw::IDDraw7() const {
  if (!FIDraw7) throw EDirectDrawError(Format(MsgNotMade, {"IDirectDraw7"}));
  return FIDraw7.Get();
}

TDirectDrawClipper* TDirectDraw::Clippers(Integer Index) const {
  return static_cast<TDirectDrawClipper*>(FClippers.Items(Index));
}

TDirectDrawPalette* TDirectDraw::Palettes(Integer Index) const {
  return static_cast<TDirectDrawPalette*>(FPalettes.Items(Index));
}

TDirectDrawSurface* TDirectDraw::Surfaces(Integer Index) const {
  return static_cast<TDirectDrawSurface*>(FSurfaces.Items(Index));
}

// ---- TDirectDrawPalette ----

const TClassInfo& TDirectDrawPalette::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDirectDrawPalette>();
  return info;
}

TDirectDrawPalette::TDirectDrawPalette(TDirectDraw* ADirectDraw) : FDDraw(ADirectDraw) {
  FDDraw->FPalettes.Add(this);
}

TDirectDrawPalette::~TDirectDrawPalette() { FDDraw->FPalettes.Remove(this); }

IDirectDrawPalette* TDirectDrawPalette::IDDPalette() const {
  if (!FIPalette) throw EDirectDrawPaletteError(Format(MsgNotMade, {"IDirectDrawPalette"}));
  return FIPalette.Get();
}

void TDirectDrawPalette::SetIPalette(IDirectDrawPalette* Value) {
  if (FIPalette.Get() != Value) FIPalette = Value;
}

bool TDirectDrawPalette::CreatePalette(DWORD Caps, const PALETTEENTRY* Entries) {
  SetIPalette(nullptr);
  // DirectDraw only reads the entries; its signature predates const.
  IDirectDrawPalette* palette = nullptr;
  FDDraw->SetDXResult(FDDraw->IDDraw()->CreatePalette(Caps, const_cast<PALETTEENTRY*>(Entries),
                                                      &palette, nullptr));
  FDXResult = FDDraw->DXResult();
  if (FDXResult == DD_OK) FIPalette = ComPtr<IDirectDrawPalette>::Attach(palette);
  return FDXResult == DD_OK;
}

bool TDirectDrawPalette::SetEntries(Integer StartIndex, Integer NumEntries,
                                    const PALETTEENTRY* Entries) {
  if (!FIPalette) return false;
  SetDXResult(IDDPalette()->SetEntries(0, static_cast<DWORD>(StartIndex),
                                       static_cast<DWORD>(NumEntries), Entries));
  return DXResult() == DD_OK;
}

// ---- TDirectDrawClipper ----

const TClassInfo& TDirectDrawClipper::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDirectDrawClipper>();
  return info;
}

TDirectDrawClipper::TDirectDrawClipper(TDirectDraw* ADirectDraw) : FDDraw(ADirectDraw) {
  FDDraw->FClippers.Add(this);
  try {
    IDirectDrawClipper* clipper = nullptr;
    FDDraw->SetDXResult(FDDraw->IDDraw()->CreateClipper(0, &clipper, nullptr));
    if (FDDraw->DXResult() != DD_OK)
      throw EDirectDrawClipperError(Format(MsgCannotBeMade, {ObjNameClipper}));
    FIClipper = ComPtr<IDirectDrawClipper>::Attach(clipper);
  } catch (...) {
    // A throwing constructor runs no destructor: leave the owner's list by hand.
    FDDraw->FClippers.Remove(this);
    throw;
  }
}

TDirectDrawClipper::~TDirectDrawClipper() { FDDraw->FClippers.Remove(this); }

IDirectDrawClipper* TDirectDrawClipper::IDDClipper() const {
  if (!FIClipper) throw EDirectDrawClipperError(Format(MsgNotMade, {"IDirectDrawClipper"}));
  return FIClipper.Get();
}

void TDirectDrawClipper::SetHandle(HWND Value) { SetDXResult(IDDClipper()->SetHWnd(0, Value)); }

// ---- Enumeration ----

HRESULT DirectDrawEnumerate(LPDDENUMCALLBACKA Callback, void* Context) {
  return BindDDraw<DirectDrawEnumerateProc>("DirectDrawEnumerateA")(Callback, Context);
}
