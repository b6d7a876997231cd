#include "runtime/Forms.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "runtime/ComponentStreamText.h"

TApplication* Application = nullptr;

namespace {

// The platform's palette messages (WM_QUERYNEWPALETTE, WM_PALETTECHANGED), which a form passes
// on to its controls as PaletteChanged.
constexpr UINT kQueryNewPaletteMessage = 0x030F;
constexpr UINT kPaletteChangedMessage = 0x0311;

}  // namespace

void FormsUnitInitialize() {
  if (Application == nullptr) Application = new TApplication(nullptr);
}

void FormsUnitFinalize() {
  // The forms' components still reach the application while they go.
  delete Application;
  Application = nullptr;
}

const TTypeInfo& EnumTypeInfo(TypeTag<TFormBorderStyle>) {
  static const TTypeInfo info = MakeEnumTypeInfo(
      "TFormBorderStyle",
      {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"});
  return info;
}

// ---- TCustomForm ----

const TClassInfo& TCustomForm::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCustomForm>();
  return info;
}

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  FVisible = false;
  FParentColor = false;
  FColor = clBtnFace;
  FWidth = 320;
  FHeight = 240;
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  if (!HandleAllocated()) return;
  DestroyHandle();
  HandleNeeded();
  if (FVisible) ShowWindowState();
}

void TCustomForm::FrameStyle(DWORD& Style, DWORD& ExStyle) {
  if (Parent() != nullptr) {
    inherited::FrameStyle(Style, ExStyle);
    return;
  }
  ExStyle = 0;
  switch (FBorderStyle) {
    case bsNone:
      Style = WS_POPUP;
      break;
    case bsSingle:
      Style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
      break;
    case bsSizeable:
      Style = WS_OVERLAPPEDWINDOW;
      break;
    case bsDialog:
      Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
      break;
    case bsToolWindow:
      Style = WS_CAPTION | WS_SYSMENU;
      ExStyle = WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      Style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
      ExStyle = WS_EX_TOOLWINDOW;
      break;
  }
  Style |= WS_CLIPCHILDREN;
}

void TCustomForm::CreateParams(TCreateParams& Params) {
  inherited::CreateParams(Params);
  // Top-level forms belong to the application's window, which takes them along when it goes.
  if (Parent() == nullptr && Application != nullptr) Params.WndParent = Application->Handle();
}

void TCustomForm::ShowWindowState() {
  if (Parent() != nullptr) {
    inherited::ShowWindowState();
    return;
  }
  if (FVisible)
    ShowWindow(Handle(), SW_SHOWNORMAL);
  else if (HandleAllocated())
    ShowWindow(Handle(), SW_HIDE);
}

void TCustomForm::Show() {
  SetVisible(true);
  // A form that was visible already comes to the front.
  SetForegroundWindow(Handle());
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (Application != nullptr && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide:
      Hide();
      break;
    case caMinimize:
      ShowWindow(Handle(), SW_MINIMIZE);
      break;
    default:
      Release();
      break;
  }
}

void TCustomForm::Release() {
  if (Application != nullptr)
    PostMessageA(Application->Handle(), CM_RELEASE, 0, reinterpret_cast<LPARAM>(this));
}

void TCustomForm::DestroyWindowAndComponents() {
  Destroying();
  DestroyHandle();
  DestroyComponents();
}

void TCustomForm::ReadFormText(std::string_view Text) { ReadComponentText(Text, this); }

void TCustomForm::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CLOSE:
      // Closing is the form's decision (OnCloseQuery, OnClose), not the window's default.
      Close();
      return;
    case WM_ACTIVATE:
      FActive = LOWORD(Message.WParam) != WA_INACTIVE;
      inherited::WndProc(Message);
      if (FActive && OnActivate) OnActivate(this);
      if (!FActive && OnDeactivate) OnDeactivate(this);
      return;
    case kQueryNewPaletteMessage:
      Message.Result = PaletteChanged(true) ? TRUE : FALSE;
      return;
    case kPaletteChangedMessage:
      // The form's own change needs no second round.
      if (reinterpret_cast<HWND>(Message.WParam) != Handle()) PaletteChanged(false);
      return;
    case WM_SHOWWINDOW:
      FVisible = Message.WParam != 0;
      inherited::WndProc(Message);
      if (FVisible && OnShow) OnShow(this);
      if (!FVisible && OnHide) OnHide(this);
      return;
    default:
      inherited::WndProc(Message);
  }
}

// ---- TForm ----

const TClassInfo& TForm::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TForm>({
      Property("Align", &TControl::Align, &TControl::SetAlign).Default(alNone),
      Property("BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle)
          .Default(bsSizeable),
      Property("Caption", &TControl::Caption, &TControl::SetCaption),
      Property("ClientHeight", &TControl::ClientHeight, &TControl::SetClientHeight),
      Property("ClientWidth", &TControl::ClientWidth, &TControl::SetClientWidth),
      Property("Color", ColorTypeInfo(), &TControl::Color, &TControl::SetColor),
      Property("Cursor", CursorTypeInfo(), &TControl::Cursor, &TControl::SetCursor)
          .Default(crDefault),
      Property("Enabled", &TControl::Enabled, &TControl::SetEnabled).Default(true),
      Property("Visible", &TControl::Visible, &TControl::SetVisible).Default(false),
      Property("OnActivate", &TCustomForm::OnActivate, &TCustomForm::OnActivate),
      Property("OnClick", &TControl::OnClick, &TControl::OnClick),
      Property("OnClose", &TCustomForm::OnClose, &TCustomForm::OnClose),
      Property("OnCloseQuery", &TCustomForm::OnCloseQuery, &TCustomForm::OnCloseQuery),
      Property("OnDeactivate", &TCustomForm::OnDeactivate, &TCustomForm::OnDeactivate),
      Property("OnHide", &TCustomForm::OnHide, &TCustomForm::OnHide),
      Property("OnKeyDown", &TWinControl::OnKeyDown, &TWinControl::OnKeyDown),
      Property("OnKeyPress", &TWinControl::OnKeyPress, &TWinControl::OnKeyPress),
      Property("OnKeyUp", &TWinControl::OnKeyUp, &TWinControl::OnKeyUp),
      Property("OnMouseDown", &TControl::OnMouseDown, &TControl::OnMouseDown),
      Property("OnMouseMove", &TControl::OnMouseMove, &TControl::OnMouseMove),
      Property("OnMouseUp", &TControl::OnMouseUp, &TControl::OnMouseUp),
      Property("OnResize", &TControl::OnResize, &TControl::OnResize),
      Property("OnShow", &TCustomForm::OnShow, &TCustomForm::OnShow),
  });
  return info;
}

// ---- TApplication ----

namespace {

std::string ExecutableName() {
  std::error_code error;
  std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : executable.stem().string();
}

}  // namespace

LRESULT ApplicationWindowProcedure(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* application = static_cast<TApplication*>(WindowObject(Window, Msg, LParam));
  if (application == nullptr) return DefWindowProcA(Window, Msg, WParam, LParam);
  if (Msg == WM_NCCREATE) application->FHandle = Window;
  LRESULT result = 0;
  try {
    result = application->WndProc(Msg, WParam, LParam);
  } catch (...) {
    application->HandleException(application);
  }
  if (Msg == WM_NCDESTROY) application->FHandle = nullptr;
  return result;
}

const TClassInfo& TApplication::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TApplication>();
  return info;
}

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner), FTitle(ExecutableName()) {}

TApplication::~TApplication() {
  Destroying();
  while (ComponentCount() > 0) {
    TComponent* component = Components(ComponentCount() - 1);
    if (auto* form = dynamic_cast<TCustomForm*>(component)) form->DestroyWindowAndComponents();
    delete component;
  }
  if (FHandle != nullptr) DestroyWindow(FHandle);
}

HWND TApplication::Handle() {
  if (FHandle != nullptr) return FHandle;
  static constexpr const char* kClassName = "TApplication";
  if (!GetClassInfoA(nullptr, kClassName, nullptr)) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ApplicationWindowProcedure;
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
  }
  // Hidden and without extent: it exists for its messages only.
  CreateWindowExA(0, kClassName, FTitle.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                  this);
  if (FHandle == nullptr) throw EOutOfResources(SWindowCreate);
  return FHandle;
}

void TApplication::FormCreated(TCustomForm* Form) {
  if (FMainForm != nullptr) return;
  Form->HandleNeeded();
  FMainForm = Form;
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  inherited::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FMainForm) FMainForm = nullptr;
}

void TApplication::Run() {
  FTerminated = false;
  if (FMainForm != nullptr) FMainForm->Show();
  while (!FTerminated) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
}

void TApplication::HandleMessage() {
  if (!ProcessMessage()) Idle();
}

void TApplication::ProcessMessages() {
  while (ProcessMessage()) {
  }
}

bool TApplication::ProcessMessage() {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    FTerminated = true;
  } else {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

void TApplication::Idle() {
  bool done = true;
  try {
    if (OnIdle) OnIdle(this, done);
  } catch (...) {
    HandleException(this);
  }
  if (done) WaitMessage();
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::HookMainWindow(TWindowHook Hook) {
  // The newest hook sees the messages first, as with stacked window procedures.
  FWindowHooks.insert(FWindowHooks.begin(), Hook);
}

void TApplication::UnhookMainWindow(TWindowHook Hook) {
  auto found = std::find(FWindowHooks.begin(), FWindowHooks.end(), Hook);
  if (found != FWindowHooks.end()) FWindowHooks.erase(found);
}

LRESULT TApplication::WndProc(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage message{Msg, WParam, LParam, 0};
  bool handled = false;
  // A hook may unhook itself or others while it runs: only hooks still hooked are called.
  for (const TWindowHook& hook : std::vector<TWindowHook>(FWindowHooks)) {
    if (std::find(FWindowHooks.begin(), FWindowHooks.end(), hook) == FWindowHooks.end()) continue;
    hook(message, handled);
    if (handled) return message.Result;
  }
  switch (Msg) {
    case WM_ACTIVATEAPP:
      FActive = WParam != 0;
      PostMessageA(FHandle, FActive ? CM_ACTIVATE : CM_DEACTIVATE, 0, 0);
      return 0;
    case CM_ACTIVATE:
      if (OnActivate) OnActivate(this);
      return 0;
    case CM_DEACTIVATE:
      if (OnDeactivate) OnDeactivate(this);
      return 0;
    case CM_RELEASE:
      ReleaseForm(reinterpret_cast<TCustomForm*>(LParam));
      return 0;
    case WM_CLOSE:
      if (FMainForm != nullptr) FMainForm->Close();
      return 0;
    default:
      return DefWindowProcA(FHandle, Msg, WParam, LParam);
  }
}

void TApplication::ReleaseForm(TCustomForm* Form) {
  // The form may have gone since the request was posted: only a form still owned here is freed.
  for (Integer i = 0; i < ComponentCount(); ++i)
    if (Components(i) == Form) {
      Form->DestroyWindowAndComponents();
      delete Form;
      return;
    }
}

void TApplication::HandleException(TObject* Sender) {
  try {
    throw;
  } catch (Exception& E) {
    ReportException(Sender, E);
  } catch (std::exception& E) {
    Exception wrapped(E.what());
    ReportException(Sender, wrapped);
  }
}

void TApplication::ReportException(TObject* Sender, Exception& E) {
  if (OnException)
    OnException(Sender, E);
  else
    ShowException(E);
}

void TApplication::ShowException(const Exception& E) {
  std::string text = E.Message();
  if (!text.empty() && text.back() != '.' && text.back() != '!' && text.back() != '?') text += '.';
  const std::string line = (FTitle.empty() ? "" : FTitle + ": ") + TextToUtf8(text) + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}
