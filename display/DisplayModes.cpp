#include "display/DisplayModes.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "display/DXDraw.h"
#include "dxbase/DXConsts.h"

namespace {

bool IsDisplayBitCount(Integer Value) {
  return Value == 8 || Value == 16 || Value == 24 || Value == 32;
}

HRESULT CollectMode(DDSURFACEDESC* mode, void* context) {
  static_cast<std::vector<DDSURFACEDESC>*>(context)->push_back(*mode);
  return DDENUMRET_OK;
}

Integer ModeWidth(const DDSURFACEDESC& mode) { return static_cast<Integer>(mode.dwWidth); }
Integer ModeHeight(const DDSURFACEDESC& mode) { return static_cast<Integer>(mode.dwHeight); }
Integer ModeBitCount(const DDSURFACEDESC& mode) {
  return static_cast<Integer>(mode.ddpfPixelFormat.dwRGBBitCount);
}

// Mode bit counts both above 8 are interchangeable; otherwise the mode must have at least as
// many bits as asked for.
bool AcceptableBitCount(Integer Requested, Integer Offered) {
  if (Requested > 8 && Offered > 8) return true;
  return Requested <= Offered;
}

}  // namespace

// ---- TDXDrawDisplayMode ----

const TClassInfo& TDXDrawDisplayMode::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDXDrawDisplayMode>();
  return info;
}

// ---- TDXDrawDisplay ----

const TClassInfo& TDXDrawDisplay::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDXDrawDisplay>({
      Property("BitCount", &TDXDrawDisplay::BitCount, &TDXDrawDisplay::SetBitCount).Default(16),
      Property("FixedBitCount", &TDXDrawDisplay::FixedBitCount, &TDXDrawDisplay::SetFixedBitCount)
          .Default(false),
      Property("FixedRatio", &TDXDrawDisplay::FixedRatio, &TDXDrawDisplay::SetFixedRatio).Default(true),
      Property("FixedSize", &TDXDrawDisplay::FixedSize, &TDXDrawDisplay::SetFixedSize).Default(true),
      Property("Height", &TDXDrawDisplay::Height, &TDXDrawDisplay::SetHeight).Default(480),
      Property("Width", &TDXDrawDisplay::Width, &TDXDrawDisplay::SetWidth).Default(640),
  });
  return info;
}

TDXDrawDisplay::TDXDrawDisplay(TCustomDXDraw* ADXDraw)
    : FDXDraw(ADXDraw), FModes(new TCollection(&TDXDrawDisplayMode::StaticClassInfo())) {}

TDXDrawDisplay::~TDXDrawDisplay() { delete FModes; }

void TDXDrawDisplay::Assign(TPersistent* Source) {
  auto* display = dynamic_cast<TDXDrawDisplay*>(Source);
  if (!display) {
    TPersistent::Assign(Source);
    return;
  }
  if (display == this) return;
  FBitCount = display->FBitCount;
  FHeight = display->FHeight;
  FWidth = display->FWidth;
  FFixedBitCount = display->FFixedBitCount;
  FFixedRatio = display->FFixedRatio;
  FFixedSize = display->FFixedSize;
}

void TDXDrawDisplay::SetBitCount(Integer Value) {
  if (!IsDisplayBitCount(Value)) throw EDirectDrawError(MsgDisplayBitCount);
  FBitCount = Value;
}

void TDXDrawDisplay::SetWidth(Integer Value) { FWidth = std::max(Value, 0); }

void TDXDrawDisplay::SetHeight(Integer Value) { FHeight = std::max(Value, 0); }

void TDXDrawDisplay::LoadDisplayModes() {
  FModes->Clear();
  std::vector<DDSURFACEDESC> modes;
  if (TDirectDraw* ddraw = FDXDraw->DDraw()) {
    ddraw->SetDXResult(ddraw->IDDraw()->EnumDisplayModes(0, nullptr, &modes, &CollectMode));
  } else {
    const std::unique_ptr<TDirectDraw> temporary = std::make_unique<TDirectDraw>(FDXDraw->Driver());
    temporary->IDDraw()->EnumDisplayModes(0, nullptr, &modes, &CollectMode);
  }
  std::stable_sort(modes.begin(), modes.end(), [](const DDSURFACEDESC& a, const DDSURFACEDESC& b) {
    if (ModeWidth(a) != ModeWidth(b)) return ModeWidth(a) < ModeWidth(b);
    if (ModeHeight(a) != ModeHeight(b)) return ModeHeight(a) < ModeHeight(b);
    return ModeBitCount(a) < ModeBitCount(b);
  });
  for (const DDSURFACEDESC& mode : modes)
    static_cast<TDXDrawDisplayMode*>(FModes->Add())->SurfaceDesc = mode;
}

Integer TDXDrawDisplay::Count() {
  if (FModes->Count() == 0) LoadDisplayModes();
  return FModes->Count();
}

TDXDrawDisplayMode* TDXDrawDisplay::Modes(Integer Index) {
  if (FModes->Count() == 0) LoadDisplayModes();
  return static_cast<TDXDrawDisplayMode*>(FModes->Items(Index));
}

Integer TDXDrawDisplay::IndexOf(Integer AWidth, Integer AHeight, Integer ABitCount) {
  for (Integer i = 0; i < Count(); ++i) {
    const TDXDrawDisplayMode* mode = Modes(i);
    if (mode->Width() == AWidth && mode->Height() == AHeight && mode->BitCount() == ABitCount) return i;
  }
  return -1;
}

bool TDXDrawDisplay::DoSetDisplayMode(Integer AWidth, Integer AHeight, Integer ABitCount) {
  TDirectDraw* ddraw = FDXDraw->DDraw();
  if (!ddraw) return false;
  ddraw->SetDXResult(ddraw->IDDraw()->SetDisplayMode(static_cast<DWORD>(AWidth),
                                                     static_cast<DWORD>(AHeight),
                                                     static_cast<DWORD>(ABitCount)));
  if (ddraw->DXResult() != DD_OK) return false;
  FWidth = AWidth;
  FHeight = AHeight;
  FBitCount = ABitCount;
  return true;
}

bool TDXDrawDisplay::SetNearestMode(Integer AWidth, Integer AHeight, Integer ABitCount, bool RatioTest) {
  Integer bestWidth = std::numeric_limits<Integer>::max();
  Integer bestHeight = std::numeric_limits<Integer>::max();
  Integer bestBitCount = ABitCount;
  bool found = false;
  // The list is sorted, so this takes the narrowest, then lowest, acceptable size, and at that
  // size the mode with the most bits.
  for (Integer i = 0; i < Count(); ++i) {
    const TDXDrawDisplayMode* mode = Modes(i);
    if (mode->Width() > bestWidth || mode->Height() > bestHeight) continue;
    if (RatioTest && static_cast<long double>(AWidth) / AHeight !=
                         static_cast<long double>(mode->Width()) / mode->Height())
      continue;
    if (FFixedSize ? (mode->Width() != AWidth || mode->Height() != AHeight)
                   : (mode->Width() < AWidth || mode->Height() < AHeight))
      continue;
    if (FFixedBitCount ? mode->BitCount() != ABitCount
                       : !AcceptableBitCount(ABitCount, mode->BitCount()))
      continue;
    bestWidth = mode->Width();
    bestHeight = mode->Height();
    bestBitCount = mode->BitCount();
    found = true;
  }
  if (!found) return false;
  if (bestBitCount != ABitCount && IndexOf(bestWidth, bestHeight, ABitCount) != -1)
    bestBitCount = ABitCount;
  return DoSetDisplayMode(bestWidth, bestHeight, bestBitCount);
}

bool TDXDrawDisplay::SetSize(Integer AWidth, Integer AHeight, Integer ABitCount) {
  if (AWidth <= 0 || AHeight <= 0 || !IsDisplayBitCount(ABitCount)) return false;
  if (DoSetDisplayMode(AWidth, AHeight, ABitCount)) return true;
  if (FFixedRatio && SetNearestMode(AWidth, AHeight, ABitCount, true)) return true;
  return SetNearestMode(AWidth, AHeight, ABitCount, false);
}
