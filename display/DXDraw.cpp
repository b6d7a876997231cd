#include "display/DXDraw.h"

#include <exception>

#include "display/D2D.h"
#include "display/DXDrawDrivers.h"
#include "dxbase/DXConsts.h"
#include "dxbase/ScopeExit.h"
#include "platform/kernel/MemoryProbe.h"
#include "runtime/Menus.h"

TD2D* CurrentD2D = nullptr;
bool SkipNextFlip = false;

namespace {

constexpr TDXDrawOptions DefaultOptions = TDXDrawOptions::FromBits(0x368C);
// What a live display takes over from a new requested set at once (bit 15 names no option but
// travels with them).
constexpr TDXDrawOptions LiveOptions =
    TDXDrawOptions{doWaitVBlank, doStretch, doCenter} + TDXDrawOptions::FromBits(0x8000);
// What the Direct3D set-up decides; meaningless without 3D.
constexpr TDXDrawOptions DecidedBy3D = {doRetainedMode, doHardware, doSelectDriver, doZBuffer};
constexpr TDXDrawOptions FullScreenOnly = {doNoWindowChange, doAllowReboot, doAllowPalette256, doFlip};
constexpr TDXDrawOptions Needs3D = {doDirectX7Mode, doRetainedMode, doHardware, doSelectDriver, doZBuffer};

}  // namespace

const TTypeInfo& EnumTypeInfo(TypeTag<TDXDrawOption>) {
  static const TTypeInfo info = MakeEnumTypeInfo(
      "TDXDrawOption",
      {"doFullScreen", "doNoWindowChange", "doAllowReboot", "doWaitVBlank", "doAllowPalette256",
       "doSystemMemory", "doStretch", "doCenter", "doFlip", "do3D", "doDirectX7Mode",
       "doRetainedMode", "doHardware", "doSelectDriver", "doZBuffer"});
  return info;
}

void ReadSystemPalette(TPaletteEntryTable& Entries) {
  // Any device context of the screen sees the one system palette.
  HDC screen = CreateCompatibleDC(nullptr);
  GetSystemPaletteEntries(screen, 0, 256, Entries.data());
  DeleteDC(screen);
}

// ---- TCustomDXDraw ----

const TClassInfo& TCustomDXDraw::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCustomDXDraw>();
  return info;
}

TCustomDXDraw::TCustomDXDraw(TComponent* AOwner) : TCustomControl(AOwner) {
  FDisplay = new TDXDrawDisplay(this);
  SetOptions(DefaultOptions);
  SetAutoSize(true);
  TPaletteEntryTable entries;
  ReadSystemPalette(entries);
  PaletteToColorTable(entries, FColorTable);
  FDefColorTable = FColorTable;
  SetBounds(Left(), Top(), 100, 100);
  SetParentColor(false);
  SetColor(clBlack);
  FD2D = new TD2D(this);
  CurrentD2D = FD2D;
}

TCustomDXDraw::~TCustomDXDraw() {
  try {
    Finalize();
  } catch (Exception&) {
    // A destructor cannot pass an event handler's exception on; report it as the message loop
    // would.
    if (Application) Application->HandleException(this);
  }
  BroadcastNotify(ncDestroying);
  FreeAndNil(FDisplay);
  FreeAndNil(FSubClass);
  FNotifyEvents.clear();
  FreeAndNil(FD2D);
  CurrentD2D = nullptr;
}

bool TCustomDXDraw::Loading() const {
  return ComponentState().Contains(csLoading) || ComponentState().Contains(csReading);
}

// ---- Options ----

void TCustomDXDraw::SetOptions(TDXDrawOptions Value) {
  FOptions = Value;
  DeriveEffectiveOptions();
}

void TCustomDXDraw::DeriveEffectiveOptions() {
  if (FInitialized) {
    // The rest was settled when the display was built; it changes at the next Initialize.
    FEffectiveOptions = (FEffectiveOptions - LiveOptions) + (FOptions * LiveOptions);
    if (!FEffectiveOptions.Contains(do3D)) FEffectiveOptions = FEffectiveOptions - DecidedBy3D;
    return;
  }
  TDXDrawOptions effective = FOptions;
  if (!effective.Contains(doFullScreen)) effective = effective - FullScreenOnly;
  if (!effective.Contains(do3D)) effective = effective - Needs3D;
  if (effective.Contains(doSystemMemory)) effective.Exclude(doFlip);
  if (effective.Contains(doDirectX7Mode)) effective.Exclude(doRetainedMode);
  // Only the Direct3D set-up can tell whether hardware was had.
  effective.Exclude(doHardware);
  FEffectiveOptions = effective;
}

// ---- Listeners ----

void TCustomDXDraw::AddNotifyListener(TDisplayNotifyEvent Method) {
  RemoveNotifyListener(Method);
  FNotifyEvents.push_back(Method);
  Method(this, ncSetSurfaceSize);
  if (!FInitialized) return;
  Method(this, ncInitialize);
  if (FSurfaceEventOwed) Method(this, ncInitializeSurface);
  // While the display is still being initialised, its final Restore tells the newcomer.
  if (FRestoreNotifyLock == 0) Method(this, ncRestore);
}

void TCustomDXDraw::RemoveNotifyListener(TDisplayNotifyEvent Method) {
  for (auto it = FNotifyEvents.begin(); it != FNotifyEvents.end(); ++it) {
    if (!(*it == Method)) continue;
    FNotifyEvents.erase(it);
    if (FSurfaceEventOwed) Method(this, ncFinalizeSurface);
    if (FInitialized) Method(this, ncFinalize);
    return;
  }
}

void TCustomDXDraw::BroadcastNotify(TDisplayNotifyCode Code) {
  // Listeners may leave the list while it is being walked.
  for (size_t i = FNotifyEvents.size(); i-- > 0;) {
    if (i >= FNotifyEvents.size()) continue;
    const TDisplayNotifyEvent listener = FNotifyEvents[i];
    listener(this, Code);
  }
}

// ---- Events ----

void TCustomDXDraw::DoFinalize() {
  if (OnFinalize) OnFinalize(this);
}

void TCustomDXDraw::DoFinalizeSurface() {
  if (OnFinalizeSurface) OnFinalizeSurface(this);
}

void TCustomDXDraw::DoInitialize() {
  if (OnInitialize) OnInitialize(this);
}

void TCustomDXDraw::DoInitializeSurface() {
  if (FD2D) SkipNextFlip = FD2D->ResetRenderTarget();
  if (OnInitializeSurface) OnInitializeSurface(this);
}

void TCustomDXDraw::DoInitializing() {
  if (OnInitializing) OnInitializing(this);
}

void TCustomDXDraw::DoRestoreSurface() {
  if (OnRestoreSurface) OnRestoreSurface(this);
}

// ---- Life ----

void TCustomDXDraw::Initialize() {
  FInitializeCalled = true;
  Finalize();
  if (!FForm) throw EDXDrawError(MsgFormNotFound);
  try {
    DoInitializing();
    FUpdating = true;
    const ScopeExit updated([this] { FUpdating = false; });
    FNeedsFinalize = true;
    BroadcastNotify(ncInitializing);
    if (FEffectiveOptions.Contains(doFlip))
      FDXDrawDriver = new TDXDrawDriverFlip(this);
    else
      FDXDrawDriver = new TDXDrawDriverBlt(this);
    SetCooperativeLevel();
    if (FEffectiveOptions.Contains(doFullScreen) &&
        !FDisplay->SetSize(FDisplay->Width(), FDisplay->Height(), FDisplay->BitCount()))
      throw EDXDrawError(Format(MsgDisplayModeNotChanged,
                                {FDisplay->Width(), FDisplay->Height(), FDisplay->BitCount()}));
    if (FAutoSize) {
      FSurfaceWidth = Width();
      FSurfaceHeight = Height();
    }
    FDXDrawDriver->Initialize();
  } catch (...) {
    Finalize();
    throw;
  }
  FInitialized = true;
  {
    ++FRestoreNotifyLock;
    const ScopeExit unlock([this] { --FRestoreNotifyLock; });
    BroadcastNotify(ncSetSurfaceSize);
    BroadcastNotify(ncInitialize);
    FInitializeEventOwed = true;
    DoInitialize();
    BroadcastNotify(ncInitializeSurface);
    FSurfaceEventOwed = true;
    DoInitializeSurface();
  }
  if (!FD2D) {
    FD2D = new TD2D(this);
    CurrentD2D = FD2D;
  }
  Restore();
}

void TCustomDXDraw::Finalize() {
  if (FNeedsFinalize) {
    FSurfaceWidth = SurfaceWidth();
    FSurfaceHeight = SurfaceHeight();
    FDisplay->ClearModes();
    FUpdating = true;
    // Every step runs even when an event handler raises: listeners that missed ncFinalize
    // would keep surfaces that die with DirectDraw below. The first exception goes on after.
    std::exception_ptr raised;
    auto guarded = [&raised](auto step) {
      try {
        step();
      } catch (...) {
        if (!raised) raised = std::current_exception();
      }
    };
    guarded([this] {
      if (FSurfaceEventOwed) {
        FSurfaceEventOwed = false;
        DoFinalizeSurface();
      }
    });
    guarded([this] { BroadcastNotify(ncFinalizeSurface); });
    guarded([this] {
      if (FInitializeEventOwed) {
        FInitializeEventOwed = false;
        DoFinalize();
      }
    });
    guarded([this] { BroadcastNotify(ncFinalize); });
    FNeedsFinalize = false;
    FInitialized = false;
    DeriveEffectiveOptions();
    FreeAndNil(FDXDrawDriver);
    FUpdating = false;
    if (raised) std::rethrow_exception(raised);
  }
  FreeAndNil(FD2D);
  CurrentD2D = nullptr;
}

void TCustomDXDraw::Restore() {
  if (!FInitialized || FUpdating) return;
  FUpdating = true;
  const ScopeExit updated([this] { FUpdating = false; });
  if (!FDXDrawDriver->Restore()) return;
  FPrimary->SetPalette(FPalette);
  FSurface->SetPalette(FPalette);
  SetColorTable(FDefColorTable);
  BroadcastNotify(ncRestore);
  DoRestoreSurface();
  SetColorTable(FColorTable);
}

bool TCustomDXDraw::CanDraw() {
  if (!FInitialized || FUpdating || !FPrimary->ISurface() || !FSurface->ISurface()) return false;
  if (FPrimary->ISurface()->IsLost() != DDERR_SURFACELOST &&
      FSurface->ISurface()->IsLost() != DDERR_SURFACELOST)
    return true;
  Restore();
  return FPrimary->ISurface()->IsLost() == DD_OK && FSurface->ISurface()->IsLost() == DD_OK;
}

void TCustomDXDraw::Flip() {
  if (FInitialized && !FUpdating && CanDraw() && !SkipNextFlip) FDXDrawDriver->Flip();
  SkipNextFlip = false;
}

// ---- Back-surface size ----

Integer TCustomDXDraw::SurfaceWidth() const {
  return FSurface && FSurface->ISurface() ? FSurface->Width() : FSurfaceWidth;
}

Integer TCustomDXDraw::SurfaceHeight() const {
  return FSurface && FSurface->ISurface() ? FSurface->Height() : FSurfaceHeight;
}

void TCustomDXDraw::SetSurfaceWidth(Integer Value) {
  if (Loading())
    FSurfaceWidth = Value;
  else
    SetSize(Value, SurfaceHeight());
}

void TCustomDXDraw::SetSurfaceHeight(Integer Value) {
  if (Loading())
    FSurfaceHeight = Value;
  else
    SetSize(SurfaceWidth(), Value);
}

void TCustomDXDraw::SetSize(Integer AWidth, Integer AHeight) {
  if ((AWidth == SurfaceWidth() && AHeight == SurfaceHeight()) || FUpdating) return;
  if (FInitialized) {
    try {
      if (!FDXDrawDriver->SetSize(AWidth, AHeight)) return;
    } catch (...) {
      Finalize();
      throw;
    }
  } else {
    FSurfaceWidth = AWidth;
    FSurfaceHeight = AHeight;
  }
  BroadcastNotify(ncSetSurfaceSize);
}

void TCustomDXDraw::SetAutoSize(bool Value) {
  if (FAutoSize == Value) return;
  FAutoSize = Value;
  if (FAutoSize) SetSize(Width(), Height());
}

void TCustomDXDraw::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (FAutoSize && !FUpdating) SetSize(Width(), Height());
}

// ---- Palette, cooperation, driver ----

void TCustomDXDraw::SetColorTable(const TColorTable& Table) {
  if (!FInitialized || !FPalette) return;
  TPaletteEntryTable entries;
  ColorTableToPaletteEntries(Table, FEffectiveOptions.Contains(doAllowPalette256), entries);
  FPalette->SetEntries(0, 256, entries.data());
}

void TCustomDXDraw::SetCooperativeLevel() {
  HWND window = FForm ? FForm->Handle() : Handle();
  DWORD flags = DDSCL_NORMAL;
  if (FEffectiveOptions.Contains(doFullScreen)) {
    flags = DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX;
    if (FEffectiveOptions.Contains(doNoWindowChange)) flags |= DDSCL_NOWINDOWCHANGES;
    if (FEffectiveOptions.Contains(doAllowReboot)) flags |= DDSCL_ALLOWREBOOT;
  }
  FDDraw->SetDXResult(FDDraw->IDDraw()->SetCooperativeLevel(window, flags));
}

void TCustomDXDraw::SetDriver(const GUID* Value) {
  if (Value && !IsBadHugeReadPtr(Value, sizeof(GUID))) {
    FDriverGUID = *Value;
    FDriver = &FDriverGUID;
  } else {
    // Nil stays nil: the primary display driver.
    FDriver = const_cast<GUID*>(Value);
  }
}

bool TCustomDXDraw::PaletteChanged(bool Foreground) {
  if (!Foreground) return false;
  Restore();
  return true;
}

// ---- The form's messages ----

void TCustomDXDraw::SetParent(TWinControl* AParent) {
  TCustomControl::SetParent(AParent);
  FForm = nullptr;
  FreeAndNil(FSubClass);
  if (ComponentState().Contains(csDesigning)) return;
  for (TWinControl* parent = Parent(); parent; parent = parent->Parent()) {
    if (auto* form = dynamic_cast<TCustomForm*>(parent)) {
      FForm = form;
      FSubClass = new TControlSubClass(form, MakeEvent<&TCustomDXDraw::FormWndProc>(this));
      return;
    }
  }
}

void TCustomDXDraw::FlipToGDISurface() {
  if (FInitialized && FEffectiveOptions.Contains(doFullScreen) && FEffectiveOptions.Contains(doFlip))
    FDDraw->IDDraw()->FlipToGDISurface();
}

void TCustomDXDraw::FormWndProc(TMessage& Message, TWndMethod DefWindowProc) {
  switch (Message.Msg) {
    case WM_WINDOWPOSCHANGED: {
      DefWindowProc(Message);
      const auto* position = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
      if (position && (position->flags & SWP_SHOWWINDOW) && FAutoInitialize && !FInitializeCalled)
        Initialize();
      return;
    }
    case WM_ACTIVATE:
      if (LOWORD(Message.WParam) == WA_INACTIVE) FlipToGDISurface();
      break;
    case WM_INITMENU:
      FlipToGDISurface();
      break;
    case WM_DESTROY:
      Finalize();
      break;
    case WM_ENTERSIZEMOVE:
      if (!ComponentState().Contains(csLoading)) Finalize();
      break;
    case WM_EXITSIZEMOVE:
      if (!ComponentState().Contains(csLoading)) Initialize();
      break;
    default:
      break;
  }
  DefWindowProc(Message);
}

void TCustomDXDraw::WndProc(TMessage& Message) {
  TCustomControl::WndProc(Message);
  if (Message.Msg != WM_CREATE || !FInitialized || FUpdating) return;
  // The control has a new window: the clipper and DirectDraw must follow it.
  if (FClipper) FClipper->SetHandle(Handle());
  SetCooperativeLevel();
}

void TCustomDXDraw::Loaded() {
  TCustomControl::Loaded();
  if (FAutoSize) {
    FSurfaceWidth = Width();
    FSurfaceHeight = Height();
  }
  BroadcastNotify(ncSetSurfaceSize);
  // On a form the first showing initialises; without one this raises "Form not found".
  if (FAutoInitialize && !ComponentState().Contains(csDesigning) && !FSubClass) Initialize();
}

void TCustomDXDraw::Paint() {
  TCustomControl::Paint();
  if (ComponentState().Contains(csDesigning))
    PaintDesignPlaceholder();
  else
    PaintFrame();
}

void TCustomDXDraw::PaintDesignPlaceholder() {
  TCanvas* canvas = Canvas();
  canvas->Brush()->SetStyle(bsClear);
  canvas->Pen()->SetColor(clBlack);
  canvas->Pen()->SetStyle(psDash);
  canvas->Rectangle(0, 0, Width(), Height());
  canvas->Pen()->SetColor(clGray);
  canvas->Pen()->SetStyle(psSolid);
  canvas->MoveTo(0, 0);
  canvas->LineTo(Width(), Height());
  canvas->MoveTo(0, Height());
  canvas->LineTo(Width(), 0);
  const std::string caption = Format("(%s)", {ClassName()});
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(clBtnFace);
  const TSize extent = canvas->TextExtent(caption);
  canvas->TextOut((Width() - extent.cx) / 2, (Height() - extent.cy) / 2, caption);
}

void TCustomDXDraw::PaintFrame() {
  {
    // Painting must not wait for the vertical blank.
    const bool waitVBlank = FEffectiveOptions.Contains(doWaitVBlank);
    FEffectiveOptions.Exclude(doWaitVBlank);
    const ScopeExit restore([this, waitVBlank] {
      if (waitVBlank) FEffectiveOptions.Include(doWaitVBlank);
    });
    Flip();
  }
  if (Parent() && FInitialized && (FSurface->SurfaceDesc().ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY))
    Parent()->Invalidate();
}

// ---- TDXDraw ----

const TClassInfo& TDXDraw::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDXDraw>({
      Property("Align", &TControl::Align, &TControl::SetAlign).Default(alNone),
      Property("Anchors", &TControl::Anchors, &TControl::SetAnchors).Default(TAnchors{akLeft, akTop}.Bits()),
      Property("AutoInitialize", &TCustomDXDraw::AutoInitialize, &TCustomDXDraw::SetAutoInitialize)
          .Default(true),
      Property("AutoSize", &TCustomDXDraw::AutoSize, &TCustomDXDraw::SetAutoSize).Default(true),
      Property("Color", ColorTypeInfo(), &TControl::Color, &TControl::SetColor),
      Property("Constraints", &TControl::Constraints, &TControl::SetConstraints),
      Property("Display", &TCustomDXDraw::Display, &TCustomDXDraw::SetDisplay),
      Property("DragCursor", CursorTypeInfo(), &TControl::DragCursor, &TControl::SetDragCursor).Default(crDrag),
      Property("DragMode", &TControl::DragMode, &TControl::SetDragMode).Default(dmManual),
      Property("Enabled", &TControl::Enabled, &TControl::SetEnabled).Default(true),
      Property("Options", &TCustomDXDraw::Options, &TCustomDXDraw::SetOptions),
      Property("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint).Default(true),
      Property("PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu),
      Property("ShowHint", &TControl::ShowHint, &TControl::SetShowHint).Stored(&TControl::IsShowHintStored),
      Property("SurfaceHeight", &TCustomDXDraw::SurfaceHeight, &TCustomDXDraw::SetSurfaceHeight)
          .Default(480),
      Property("SurfaceWidth", &TCustomDXDraw::SurfaceWidth, &TCustomDXDraw::SetSurfaceWidth)
          .Default(640),
      Property("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder).Default(-1),
      Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).Default(false),
      Property("Visible", &TControl::Visible, &TControl::SetVisible).Default(true),
      Property("OnClick", &TControl::OnClick, &TControl::OnClick),
      Property("OnDblClick", &TControl::OnDblClick, &TControl::OnDblClick),
      Property("OnDragDrop", &TControl::OnDragDrop, &TControl::OnDragDrop),
      Property("OnDragOver", &TControl::OnDragOver, &TControl::OnDragOver),
      Property("OnEndDrag", &TControl::OnEndDrag, &TControl::OnEndDrag),
      Property("OnEnter", &TWinControl::OnEnter, &TWinControl::OnEnter),
      Property("OnExit", &TWinControl::OnExit, &TWinControl::OnExit),
      Property("OnFinalize", &TCustomDXDraw::OnFinalize, &TCustomDXDraw::OnFinalize),
      Property("OnFinalizeSurface", &TCustomDXDraw::OnFinalizeSurface, &TCustomDXDraw::OnFinalizeSurface),
      Property("OnInitialize", &TCustomDXDraw::OnInitialize, &TCustomDXDraw::OnInitialize),
      Property("OnInitializeSurface", &TCustomDXDraw::OnInitializeSurface,
               &TCustomDXDraw::OnInitializeSurface),
      Property("OnInitializing", &TCustomDXDraw::OnInitializing, &TCustomDXDraw::OnInitializing),
      Property("OnKeyDown", &TWinControl::OnKeyDown, &TWinControl::OnKeyDown),
      Property("OnKeyPress", &TWinControl::OnKeyPress, &TWinControl::OnKeyPress),
      Property("OnKeyUp", &TWinControl::OnKeyUp, &TWinControl::OnKeyUp),
      Property("OnMouseDown", &TControl::OnMouseDown, &TControl::OnMouseDown),
      Property("OnMouseMove", &TControl::OnMouseMove, &TControl::OnMouseMove),
      Property("OnMouseUp", &TControl::OnMouseUp, &TControl::OnMouseUp),
      Property("OnResize", &TControl::OnResize, &TControl::OnResize),
      Property("OnRestoreSurface", &TCustomDXDraw::OnRestoreSurface, &TCustomDXDraw::OnRestoreSurface),
      Property("OnStartDrag", &TControl::OnStartDrag, &TControl::OnStartDrag),
  });
  return info;
}
