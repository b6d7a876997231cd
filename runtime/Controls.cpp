#include "runtime/Controls.h"

#include <algorithm>
#include <utility>

#include "runtime/Forms.h"
#include "runtime/Menus.h"

namespace {

inline constexpr const char* SParentRequired = "Element '%s' hat kein übergeordnetes Fenster";
inline constexpr const char* SControlParentSetToSelf =
    "Ein Steuerelement kann nicht sein eigenes übergeordnetes Element sein";

bool IsSameOrChildOf(TControl* control, TControl* ancestor) {
  for (TControl* c = control; c != nullptr; c = c->Parent())
    if (c == ancestor) return true;
  return false;
}

// Clears a flag when the scope ends, also by an exception.
class TFlagGuard {
 public:
  explicit TFlagGuard(bool& flag) : FFlag(flag) { FFlag = true; }
  ~TFlagGuard() { FFlag = false; }
  TFlagGuard(const TFlagGuard&) = delete;
  TFlagGuard& operator=(const TFlagGuard&) = delete;

 private:
  bool& FFlag;
};

// The keys held now and, from a mouse message's wParam, the buttons.
TShiftState ShiftState(WPARAM MouseFlags = 0) {
  constexpr WPARAM kLeftButton = 0x0001, kRightButton = 0x0002, kMiddleButton = 0x0010;
  TShiftState shift;
  if (GetKeyState(VK_SHIFT) < 0) shift.Include(ssShift);
  if (GetKeyState(VK_MENU) < 0) shift.Include(ssAlt);
  if (GetKeyState(VK_CONTROL) < 0) shift.Include(ssCtrl);
  if (MouseFlags & kLeftButton) shift.Include(ssLeft);
  if (MouseFlags & kRightButton) shift.Include(ssRight);
  if (MouseFlags & kMiddleButton) shift.Include(ssMiddle);
  return shift;
}

// Mouse positions travel as two signed 16-bit halves of lParam.
Integer MouseX(LPARAM LParam) {
  return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(LParam)));
}
Integer MouseY(LPARAM LParam) {
  return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(LParam)));
}

}  // namespace

const TTypeInfo& EnumTypeInfo(TypeTag<TAlign>) {
  static const TTypeInfo info =
      MakeEnumTypeInfo("TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"});
  return info;
}

const TTypeInfo& EnumTypeInfo(TypeTag<TAnchorKind>) {
  static const TTypeInfo info = MakeEnumTypeInfo("TAnchorKind", {"akLeft", "akTop", "akRight", "akBottom"});
  return info;
}

const TTypeInfo& EnumTypeInfo(TypeTag<TDragMode>) {
  static const TTypeInfo info = MakeEnumTypeInfo("TDragMode", {"dmManual", "dmAutomatic"});
  return info;
}

const TTypeInfo& CursorTypeInfo() {
  static const TTypeInfo info = [] {
    TTypeInfo type = IntegerTypeInfo();
    type.Name = "TCursor";
    type.Idents = {{crDefault, "crDefault"},    {crNone, "crNone"},   {crArrow, "crArrow"},
                   {crCross, "crCross"},        {crIBeam, "crIBeam"}, {crHourGlass, "crHourGlass"},
                   {crDrag, "crDrag"},          {crHandPoint, "crHandPoint"}};
    return type;
  }();
  return info;
}

HCURSOR CursorHandle(TCursor Cursor) {
  switch (Cursor) {
    case crNone:
      return nullptr;
    case crCross:
      return LoadCursorA(nullptr, IDC_CROSS);
    case crIBeam:
      return LoadCursorA(nullptr, IDC_IBEAM);
    case crHourGlass:
      return LoadCursorA(nullptr, IDC_WAIT);
    case crHandPoint:
      return LoadCursorA(nullptr, IDC_HAND);
    default:
      return LoadCursorA(nullptr, IDC_ARROW);
  }
}

TCustomForm* GetParentForm(TControl* Control) {
  if (Control == nullptr) return nullptr;
  while (Control->Parent() != nullptr) Control = Control->Parent();
  return dynamic_cast<TCustomForm*>(Control);
}

// ---- TControl ----

// ---- TSizeConstraints ----

const TClassInfo& TSizeConstraints::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TSizeConstraints>({
      Property("MaxHeight", &TSizeConstraints::MaxHeight, &TSizeConstraints::SetMaxHeight).Default(0),
      Property("MaxWidth", &TSizeConstraints::MaxWidth, &TSizeConstraints::SetMaxWidth).Default(0),
      Property("MinHeight", &TSizeConstraints::MinHeight, &TSizeConstraints::SetMinHeight).Default(0),
      Property("MinWidth", &TSizeConstraints::MinWidth, &TSizeConstraints::SetMinWidth).Default(0),
  });
  return info;
}

void TSizeConstraints::Constrain(Integer& Width, Integer& Height) const {
  // A maximum below the minimum gives way to the minimum.
  if (FMaxWidth > 0) Width = std::min(Width, FMaxWidth);
  if (FMaxHeight > 0) Height = std::min(Height, FMaxHeight);
  Width = std::max(Width, FMinWidth);
  Height = std::max(Height, FMinHeight);
}

void TSizeConstraints::Change(Integer& Field, Integer Value) {
  Value = std::max(Value, 0);
  if (Field == Value) return;
  Field = Value;
  FControl->SetBounds(FControl->Left(), FControl->Top(), FControl->Width(), FControl->Height());
}

void TSizeConstraints::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TSizeConstraints*>(Source);
  if (source == nullptr) {
    inherited::Assign(Source);
    return;
  }
  SetMaxHeight(source->FMaxHeight);
  SetMaxWidth(source->FMaxWidth);
  SetMinHeight(source->FMinHeight);
  SetMinWidth(source->FMinWidth);
}

// ---- TControl ----

const TClassInfo& TControl::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TControl>({
      Property("Left", &TControl::Left, &TControl::SetLeft),
      Property("Top", &TControl::Top, &TControl::SetTop),
      Property("Width", &TControl::Width, &TControl::SetWidth),
      Property("Height", &TControl::Height, &TControl::SetHeight),
  });
  return info;
}

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner), FConstraints(new TSizeConstraints(this)), FWindowProc(MakeEvent<&TControl::WndProc>(this)) {}

TControl::~TControl() {
  if (FParent != nullptr) FParent->RemoveControl(this);
  delete FConstraints;
}

void TControl::SetShowHint(bool Value) {
  FShowHint = Value;
  FParentShowHint = false;
}

void TControl::SetParentShowHint(bool Value) {
  FParentShowHint = Value;
  if (FParentShowHint && FParent != nullptr) FShowHint = FParent->FShowHint;
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
  if (FPopupMenu != nullptr) FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = Value;
  if (FPopupMenu != nullptr) FPopupMenu->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::SetParent(TWinControl* AParent) {
  if (FParent == AParent) return;
  if (AParent != nullptr && IsSameOrChildOf(AParent, this))
    throw EInvalidOperation(SControlParentSetToSelf);
  if (FParent != nullptr) FParent->RemoveControl(this);
  if (AParent != nullptr) AParent->InsertControl(this);
}

void TControl::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  FConstraints->Constrain(AWidth, AHeight);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  const bool resized = AWidth != FWidth || AHeight != FHeight;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (resized) SizeChanged();
  RequestAlign();
  Invalidate();
}

TRect TControl::ClientRect() { return Rect(0, 0, FWidth, FHeight); }

void TControl::SetClientWidth(Integer Value) {
  if (FComponentState.Contains(csLoading)) {
    FPendingClientWidth = Value;
    return;
  }
  SetWidth(FWidth - ClientWidth() + Value);
}

void TControl::SetClientHeight(Integer Value) {
  if (FComponentState.Contains(csLoading)) {
    FPendingClientHeight = Value;
    return;
  }
  SetHeight(FHeight - ClientHeight() + Value);
}

void TControl::SetAlign(TAlign Value) {
  if (FAlign == Value) return;
  FAlign = Value;
  RequestAlign();
}

void TControl::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  VisibleChanged();
  RequestAlign();
}

bool TControl::Showing() { return FVisible && FParent != nullptr && FParent->Showing(); }

void TControl::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  EnabledChanged();
}

void TControl::SetColor(TColor Value) {
  FParentColor = false;
  if (FColor == Value) return;
  FColor = Value;
  ColorChanged();
}

void TControl::SetParentColor(bool Value) {
  FParentColor = Value;
  if (Value && FParent != nullptr && FParent->FColor != FColor) {
    FColor = FParent->FColor;
    ColorChanged();
  }
}

void TControl::ColorChanged() { Invalidate(); }

void TControl::SetCaption(const std::string& Value) {
  if (FCaption == Value) return;
  FCaption = Value;
  CaptionChanged();
}

void TControl::SetCursor(TCursor Value) {
  if (FCursor == Value) return;
  FCursor = Value;
  CursorChanged();
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage message{Msg, WParam, LParam, 0};
  if (FWindowProc)
    FWindowProc(message);
  else
    WndProc(message);
  return message.Result;
}

void TControl::WndProc(TMessage& Message) { DefaultHandler(Message); }

void TControl::DefaultHandler(TMessage& Message) { Message.Result = 0; }

void TControl::Invalidate() {
  if (FParent != nullptr) FParent->Invalidate();
}

bool TControl::PaletteChanged(bool) { return false; }

void TControl::Loaded() {
  inherited::Loaded();
  // The stream keeps no parent: a control read with a form lies on the windowed control that
  // owns it.
  if (FParent == nullptr)
    if (auto* owner = dynamic_cast<TWinControl*>(Owner())) SetParent(owner);
  if (FPendingClientWidth >= 0) SetClientWidth(std::exchange(FPendingClientWidth, -1));
  if (FPendingClientHeight >= 0) SetClientHeight(std::exchange(FPendingClientHeight, -1));
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::SizeChanged() { Resize(); }

void TControl::RequestAlign() {
  if (FParent != nullptr) FParent->Realign();
}

// ---- TWinControl ----

void* WindowObject(HWND Window, UINT Msg, LPARAM LParam) {
  if (Msg == WM_NCCREATE) {
    void* object = reinterpret_cast<const CREATESTRUCTA*>(LParam)->lpCreateParams;
    SetWindowLongPtrA(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    return object;
  }
  return reinterpret_cast<void*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
}

LRESULT ControlWindowProcedure(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* control = static_cast<TWinControl*>(WindowObject(Window, Msg, LParam));
  if (control == nullptr) return DefWindowProcA(Window, Msg, WParam, LParam);
  // Bound before any handler runs, so that even the creation messages find the handle.
  if (Msg == WM_NCCREATE) control->FHandle = Window;
  const LRESULT result = control->MainWndProc(Msg, WParam, LParam);
  // The window's last message: whatever the handlers did with it, the handle is gone.
  if (Msg == WM_NCDESTROY) control->FHandle = nullptr;
  return result;
}

const TClassInfo& TWinControl::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TWinControl>();
  return info;
}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  Destroying();
  DestroyHandle();
  while (!FControls.empty()) {
    TControl* child = FControls.back();
    RemoveControl(child);
    delete child;
  }
}

HWND TWinControl::Handle() {
  if (FHandle == nullptr) CreateHandle();
  return FHandle;
}

void TWinControl::CreateHandle() {
  // The parent's window comes first, and making it makes this one along with it.
  if (FParent != nullptr) FParent->HandleNeeded();
  if (FHandle != nullptr) return;
  CreateWnd();
  for (TControl* child : std::vector<TControl*>(FControls))
    if (auto* windowed = dynamic_cast<TWinControl*>(child)) windowed->CreateHandle();
}

void TWinControl::DestroyHandle() {
  if (FHandle == nullptr) return;
  DestroyWindow(FHandle);
  FHandle = nullptr;
}

void TWinControl::FrameStyle(DWORD& Style, DWORD& ExStyle) {
  Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  ExStyle = 0;
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params.Caption = FCaption;
  FrameStyle(Params.Style, Params.ExStyle);
  if (FVisible) Params.Style |= WS_VISIBLE;
  if (!FEnabled) Params.Style |= WS_DISABLED;
  Params.X = FLeft;
  Params.Y = FTop;
  Params.Width = FWidth;
  Params.Height = FHeight;
  if ((Params.Style & WS_CHILD) && FParent == nullptr)
    throw EInvalidOperation(SParentRequired, {Name()});
  Params.WndParent = FParent != nullptr ? FParent->Handle() : nullptr;
  Params.WinClassName = ClassName();
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  if (!GetClassInfoA(nullptr, params.WinClassName.c_str(), nullptr)) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ControlWindowProcedure;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = params.WinClassName.c_str();
    RegisterClassA(&windowClass);
  }
  HWND created = CreateWindowExA(
      params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(), params.Style, params.X,
      params.Y, params.Width, params.Height, params.WndParent, nullptr, nullptr, this);
  if (created == nullptr) throw EOutOfResources(SWindowCreate);
}

TControl* TWinControl::Controls(Integer Index) const {
  if (Index < 0 || Index >= ControlCount()) throw EListError(SListIndexError, {Index});
  return FControls[Index];
}

void TWinControl::InsertControl(TControl* AControl) {
  AControl->FParent = this;
  FControls.push_back(AControl);
  if (AControl->FParentColor && AControl->FColor != FColor) {
    AControl->FColor = FColor;
    AControl->ColorChanged();
  }
  if (AControl->FParentShowHint) AControl->FShowHint = FShowHint;
  if (auto* windowed = dynamic_cast<TWinControl*>(AControl); windowed && HandleAllocated())
    windowed->CreateHandle();
  Realign();
}

void TWinControl::RemoveControl(TControl* AControl) {
  auto found = std::find(FControls.begin(), FControls.end(), AControl);
  if (found == FControls.end()) return;
  // A window cannot outlive its parent's: it goes now and is made again under a new parent.
  if (auto* windowed = dynamic_cast<TWinControl*>(AControl)) windowed->DestroyHandle();
  FControls.erase(found);
  AControl->FParent = nullptr;
  Realign();
}

void TWinControl::SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) {
  if (!HandleAllocated()) {
    TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    return;
  }
  FConstraints->Constrain(AWidth, AHeight);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  // The window reports the new placement back (WM_WINDOWPOSCHANGED, WM_SIZE), which updates
  // the fields and lays out the children.
  SetWindowPos(FHandle, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  RequestAlign();
}

TRect TWinControl::ClientRect() {
  if (HandleAllocated()) {
    TRect client{};
    GetClientRect(FHandle, &client);
    return client;
  }
  DWORD style = 0;
  DWORD exStyle = 0;
  FrameStyle(style, exStyle);
  TRect frame{};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const Integer width = FWidth - (frame.right - frame.left);
  const Integer height = FHeight - (frame.bottom - frame.top);
  return Rect(0, 0, std::max(0, width), std::max(0, height));
}

bool TWinControl::PaletteChanged(bool Foreground) {
  bool realized = false;
  for (auto child = FControls.rbegin(); child != FControls.rend(); ++child) {
    if (Foreground && realized) break;
    realized = (*child)->PaletteChanged(Foreground) || realized;
  }
  return realized;
}

bool TWinControl::Showing() { return HandleAllocated() && IsWindowVisible(FHandle); }

void TWinControl::Invalidate() {
  if (HandleAllocated()) InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Realign() {
  if (FAligning || FComponentState.Contains(csLoading) || FComponentState.Contains(csDestroying))
    return;
  TFlagGuard aligning(FAligning);
  TRect rest = ClientRect();
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* child : std::vector<TControl*>(FControls)) {
      if (child->FAlign != align || !child->FVisible) continue;
      const Integer restWidth = std::max(0, static_cast<Integer>(rest.right - rest.left));
      const Integer restHeight = std::max(0, static_cast<Integer>(rest.bottom - rest.top));
      switch (align) {
        case alTop:
          child->SetBounds(rest.left, rest.top, restWidth, child->FHeight);
          rest.top += child->FHeight;
          break;
        case alBottom:
          child->SetBounds(rest.left, rest.bottom - child->FHeight, restWidth, child->FHeight);
          rest.bottom -= child->FHeight;
          break;
        case alLeft:
          child->SetBounds(rest.left, rest.top, child->FWidth, restHeight);
          rest.left += child->FWidth;
          break;
        case alRight:
          child->SetBounds(rest.right - child->FWidth, rest.top, child->FWidth, restHeight);
          rest.right -= child->FWidth;
          break;
        default:
          child->SetBounds(rest.left, rest.top, restWidth, restHeight);
          break;
      }
    }
  }
}

void TWinControl::Loaded() {
  inherited::Loaded();
  Realign();
}

void TWinControl::ColorChanged() {
  TControl::ColorChanged();
  for (TControl* child : FControls)
    if (child->FParentColor && child->FColor != FColor) {
      child->FColor = FColor;
      child->ColorChanged();
    }
}

void TWinControl::CaptionChanged() {
  if (HandleAllocated()) SetWindowTextA(FHandle, FCaption.c_str());
}

void TWinControl::VisibleChanged() {
  if (!FComponentState.Contains(csLoading)) ShowWindowState();
}

void TWinControl::ShowWindowState() {
  if (HandleAllocated()) ShowWindow(FHandle, FVisible ? SW_SHOW : SW_HIDE);
}

void TWinControl::EnabledChanged() {
  if (HandleAllocated()) EnableWindow(FHandle, FEnabled ? TRUE : FALSE);
}

void TWinControl::CursorChanged() {
  if (!HandleAllocated()) return;
  // Under the pointer the new shape shows at once, as if the pointer had just moved.
  POINT pointer{};
  GetCursorPos(&pointer);
  if (WindowFromPoint(pointer) == FHandle)
    Perform(WM_SETCURSOR, reinterpret_cast<WPARAM>(FHandle), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

void TWinControl::SizeChanged() {
  Realign();
  Resize();
}

void TWinControl::MouseMessage(const TMessage& Message) {
  const TShiftState shift = ShiftState(Message.WParam);
  const Integer x = MouseX(Message.LParam);
  const Integer y = MouseY(Message.LParam);
  auto button = [&](TMouseButton Button, bool Down) {
    if (Down && OnMouseDown) OnMouseDown(this, Button, shift, x, y);
    if (!Down && OnMouseUp) OnMouseUp(this, Button, shift, x, y);
  };
  switch (Message.Msg) {
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(this, shift, x, y);
      break;
    case WM_LBUTTONDOWN:
      FLeftButtonDown = true;
      button(mbLeft, true);
      break;
    case WM_LBUTTONUP:
      button(mbLeft, false);
      if (std::exchange(FLeftButtonDown, false) && OnClick) OnClick(this);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      button(mbRight, Message.Msg == WM_RBUTTONDOWN);
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      button(mbMiddle, Message.Msg == WM_MBUTTONDOWN);
      break;
    default:
      break;
  }
}

bool TWinControl::KeyMessage(TMessage& Message) {
  switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      const bool down = Message.Msg == WM_KEYDOWN || Message.Msg == WM_SYSKEYDOWN;
      const TKeyEvent& event = down ? OnKeyDown : OnKeyUp;
      if (!event) return true;
      Word key = static_cast<Word>(Message.WParam);
      event(this, key, ShiftState());
      Message.WParam = key;
      return key != 0;
    }
    case WM_CHAR: {
      if (!OnKeyPress) return true;
      char key = static_cast<char>(Message.WParam);
      OnKeyPress(this, key);
      Message.WParam = static_cast<unsigned char>(key);
      return key != 0;
    }
    default:
      return true;
  }
}

void TWinControl::WndProc(TMessage& Message) {
  if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST) MouseMessage(Message);
  if (Message.Msg >= WM_KEYFIRST && Message.Msg <= WM_KEYLAST && !KeyMessage(Message)) {
    Message.Result = 0;
    return;
  }
  switch (Message.Msg) {
    case WM_SETFOCUS:
      DefaultHandler(Message);
      if (OnEnter) OnEnter(this);
      return;
    case WM_KILLFOCUS:
      DefaultHandler(Message);
      if (OnExit) OnExit(this);
      return;
    case WM_WINDOWPOSCHANGED: {
      const auto* position = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
      if (!(position->flags & SWP_NOMOVE)) {
        FLeft = position->x;
        FTop = position->y;
      }
      if (!(position->flags & SWP_NOSIZE)) {
        FWidth = position->cx;
        FHeight = position->cy;
      }
      DefaultHandler(Message);  // sends WM_MOVE and WM_SIZE
      return;
    }
    case WM_SIZE:
      DefaultHandler(Message);
      SizeChanged();
      return;
    case WM_SETCURSOR:
      if (FCursor != crDefault && reinterpret_cast<HWND>(Message.WParam) == FHandle &&
          LOWORD(static_cast<uintptr_t>(Message.LParam)) == HTCLIENT) {
        ::SetCursor(CursorHandle(FCursor));
        Message.Result = TRUE;
        return;
      }
      break;
    default:
      break;
  }
  TControl::WndProc(Message);
}

void TWinControl::DefaultHandler(TMessage& Message) {
  Message.Result =
      HandleAllocated() ? DefWindowProcA(FHandle, Message.Msg, Message.WParam, Message.LParam) : 0;
}

LRESULT TWinControl::MainWndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  try {
    return Perform(Msg, WParam, LParam);
  } catch (...) {
    if (Application == nullptr) throw;
    Application->HandleException(this);
    return 0;
  }
}

// ---- TCustomControl ----

const TClassInfo& TCustomControl::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCustomControl>();
  return info;
}

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), FCanvas(new TCanvas()) {}

TCustomControl::~TCustomControl() { delete FCanvas; }

void TCustomControl::WndProc(TMessage& Message) {
  if (Message.Msg == WM_PAINT) {
    DefaultHandler(Message);  // validates the window
    Paint();
    return;
  }
  inherited::WndProc(Message);
}
