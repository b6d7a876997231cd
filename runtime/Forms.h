// Forms and the application object: top-level windows with a border style and a caption that
// can be shown, activated and closed, and the one TApplication that owns them, runs the message
// loop with its idle processing, lets components hook its window and reports exceptions.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "runtime/Controls.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
const TTypeInfo& EnumTypeInfo(TypeTag<TFormBorderStyle>);

enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = TEvent<TObject*, TCloseAction&>;
using TCloseQueryEvent = TEvent<TObject*, bool&>;

class TCustomForm : public TWinControl {
  ORVALIS_CLASS(TCustomForm, TWinControl)

  // An empty form, hidden, owned by AOwner (the application for the program's forms). A form
  // whose components call back into it is freed by the application or through Release: a plain
  // delete takes the derived parts away before the window and the components go.
  explicit TCustomForm(TComponent* AOwner);

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  // A form whose window exists gets a new one with the new frame.
  void SetBorderStyle(TFormBorderStyle Value);
  // The form's window is the active one.
  bool Active() const { return FActive; }

  // Shows the form and makes it the active window.
  void Show();
  // Asks OnCloseQuery, then OnClose (action caHide by default): the main form's closing ends
  // the application, another form is hidden, freed or minimised as the action says.
  void Close();
  bool CloseQuery();

  // Frees the form once the message being handled is done (from the application's loop), so a
  // form may free itself from one of its own handlers.
  void Release();

  void WndProc(TMessage& Message) override;

  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void FrameStyle(DWORD& Style, DWORD& ExStyle) override;
  void ShowWindowState() override;
  // Reads the form's stored settings, kept as component text, and creates its components.
  void ReadFormText(std::string_view Text);

 private:
  friend class TApplication;
  // Destroys the window and the components while the whole form, derived parts included, is
  // still alive: the components' last events (a display finalising on WM_DESTROY) may call
  // back into the form.
  void DestroyWindowAndComponents();

  TFormBorderStyle FBorderStyle = bsSizeable;
  bool FActive = false;
};

class TForm : public TCustomForm {
  ORVALIS_CLASS(TForm, TCustomForm)

  using TCustomForm::TCustomForm;
};

using TIdleEvent = TEvent<TObject*, bool&>;
using TExceptionEvent = TEvent<TObject*, Exception&>;
// A main-window hook: sees each message of the application's window before the application
// does; setting Handled keeps it from later hooks and from the application.
using TWindowHook = TEvent<TMessage&, bool&>;

class TApplication : public TComponent {
  ORVALIS_CLASS(TApplication, TComponent)

  explicit TApplication(TComponent* AOwner);
  // Frees the forms, newest first, each with its window and components going while the form is
  // still whole; then the application's window.
  ~TApplication() override;

  // The hidden window that receives the program's activation and the class library's own
  // notifications; made when first asked for.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }

  void Initialize() {}
  // Makes a form of class T owned by the application; the first one becomes the main form and
  // gets its window at once.
  template <class T>
  void CreateForm(T*& Reference) {
    static_assert(std::is_base_of_v<TCustomForm, T>, "CreateForm makes forms");
    Reference = new T(this);
    FormCreated(Reference);
  }
  TCustomForm* MainForm() const { return FMainForm; }

  // Shows the main form and handles messages until the application is terminated.
  void Run();
  // Handles one message, or, when none is waiting, does idle processing.
  void HandleMessage();
  // Handles every waiting message, then returns.
  void ProcessMessages();
  // Ends the message loop once the messages before the request are handled.
  void Terminate();
  bool Terminated() const { return FTerminated; }

  // The program is the active one on the desktop, as the last WM_ACTIVATEAPP said; the
  // application then posts CM_ACTIVATE (CM_DEACTIVATE) to its window, which the hooks see.
  bool Active() const { return FActive; }

  // Forgets the main form when it is freed.
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The newest hook sees each message first; unhooking removes the first equal hook.
  void HookMainWindow(TWindowHook Hook);
  void UnhookMainWindow(TWindowHook Hook);

  // To be called from inside a catch handler: hands the exception being handled to OnException
  // or, without one, to ShowException.
  void HandleException(TObject* Sender);
  // Writes the exception's message to standard error.
  void ShowException(const Exception& E);

  // The program's name, used in exception reports; the executable's name by default.
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }

  // Idle processing runs whenever no message is waiting. Done starts True; a handler that sets
  // it to False is called again at once instead of the loop waiting for the next message.
  TIdleEvent OnIdle;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TExceptionEvent OnException;

 private:
  friend LRESULT ApplicationWindowProcedure(HWND, UINT, WPARAM, LPARAM);
  void FormCreated(TCustomForm* Form);
  void ReleaseForm(TCustomForm* Form);
  void ReportException(TObject* Sender, Exception& E);
  bool ProcessMessage();
  void Idle();
  LRESULT WndProc(UINT Msg, WPARAM WParam, LPARAM LParam);

  HWND FHandle = nullptr;
  TCustomForm* FMainForm = nullptr;
  bool FTerminated = false;
  bool FActive = false;
  std::string FTitle;
  std::vector<TWindowHook> FWindowHooks;
};

// The program's one application object; exists between FormsUnitInitialize and
// FormsUnitFinalize.
extern TApplication* Application;

// The forms unit's start and end: makes the application object, and frees it with its forms.
void FormsUnitInitialize();
void FormsUnitFinalize();
