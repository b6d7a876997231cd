// Controls: the visual building blocks of forms. A control has bounds inside its parent, an
// alignment, a colour, a cursor and a replaceable message handler (WindowProc); a windowed
// control owns a platform window, created on demand, and lays out its aligned children
// whenever its client area changes.
#pragma once

#include <string>
#include <vector>

#include "platform/user/User.h"
#include "runtime/Classes.h"
#include "runtime/Graphics.h"
#include "runtime/TypInfo.h"

// A window message as the class library hands it to message handlers; Result is the answer
// returned to whoever sent it.
struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// A message handler (the type of WindowProc).
using TWndMethod = TEvent<TMessage&>;

// The class library's own messages, above the range the platform and applications use. The
// application posts the first two to its window when the platform reports that the program
// became active or inactive.
inline constexpr UINT CM_BASE = 0xB000;
inline constexpr UINT CM_ACTIVATE = CM_BASE + 0;
inline constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
// Posted to the application's window to free a form (in LParam) outside its own handlers.
inline constexpr UINT CM_RELEASE = CM_BASE + 33;

// The platform refused to make a window.
inline constexpr const char* SWindowCreate = "Fehler beim Erzeugen des Fensters";

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
const TTypeInfo& EnumTypeInfo(TypeTag<TAlign>);

// Cursor shapes: 0 is the window's own, negative values the predefined shapes.
using TCursor = Integer;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;  // no pointer at all while it is over the control
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crHandPoint = -21;
// TCursor as the stream sees it: an integer whose predefined values have names ("crNone").
const TTypeInfo& CursorTypeInfo();

// Keys and mouse buttons held while an input event happened.
enum TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle };
using TShiftState = TSet<TShiftStateFlag>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Mouse positions are in the control's client coordinates.
using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, Integer, Integer>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, Integer, Integer>;
// Setting Key to 0 keeps the key from the control's own handling.
using TKeyEvent = TEvent<TObject*, Word&, TShiftState>;
using TKeyPressEvent = TEvent<TObject*, char&>;

// The edges of its parent a control keeps its distance to.
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;
const TTypeInfo& EnumTypeInfo(TypeTag<TAnchorKind>);

// Dragging: started by the program (manual) or by pressing the mouse on the control.
enum TDragMode { dmManual, dmAutomatic };
const TTypeInfo& EnumTypeInfo(TypeTag<TDragMode>);
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };

// What a drag carries from its source to its target.
class TDragObject : public TObject {};

// Sender, the dragged object's source (or, ending a drag, its target: nil when it was dropped
// nowhere), and the position.
using TDragDropEvent = TEvent<TObject*, TObject*, Integer, Integer>;
using TEndDragEvent = TDragDropEvent;
// Setting Accept to false refuses the drop.
using TDragOverEvent = TEvent<TObject*, TObject*, Integer, Integer, TDragState, bool&>;
// The handler may provide the object the drag carries.
using TStartDragEvent = TEvent<TObject*, TDragObject*&>;

class TControl;
class TPopupMenu;
class TWinControl;

// The smallest and largest size of a control; 0 leaves that side unlimited.
class TSizeConstraints : public TPersistent {
  ORVALIS_CLASS(TSizeConstraints, TPersistent)

  explicit TSizeConstraints(TControl* Control) : FControl(Control) {}

  Integer MaxHeight() const { return FMaxHeight; }
  void SetMaxHeight(Integer Value) { Change(FMaxHeight, Value); }
  Integer MaxWidth() const { return FMaxWidth; }
  void SetMaxWidth(Integer Value) { Change(FMaxWidth, Value); }
  Integer MinHeight() const { return FMinHeight; }
  void SetMinHeight(Integer Value) { Change(FMinHeight, Value); }
  Integer MinWidth() const { return FMinWidth; }
  void SetMinWidth(Integer Value) { Change(FMinWidth, Value); }

  // Width and height brought within the limits.
  void Constrain(Integer& Width, Integer& Height) const;
  void Assign(TPersistent* Source) override;

 private:
  // Negative limits count as 0; a change sizes the control again.
  void Change(Integer& Field, Integer Value);

  TControl* FControl;
  Integer FMaxHeight = 0;
  Integer FMaxWidth = 0;
  Integer FMinHeight = 0;
  Integer FMinWidth = 0;
};

class TControl : public TComponent {
  ORVALIS_CLASS(TControl, TComponent)

  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TWinControl* Parent() const { return FParent; }
  // Moves the control into AParent's Controls (nil: none).
  virtual void SetParent(TWinControl* AParent);

  Integer Left() const { return FLeft; }
  Integer Top() const { return FTop; }
  Integer Width() const { return FWidth; }
  Integer Height() const { return FHeight; }
  void SetLeft(Integer Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(Integer Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(Integer Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(Integer Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  virtual void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight);
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  // The area children are placed in, with its origin at 0, 0.
  virtual TRect ClientRect();
  Integer ClientWidth() { return ClientRect().right; }
  Integer ClientHeight() { return ClientRect().bottom; }
  void SetClientWidth(Integer Value);
  void SetClientHeight(Integer Value);

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible here and in every parent up to a shown window.
  virtual bool Showing();

  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);

  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  // While set, Color follows the parent's colour.
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);

  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);

  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors Value) { FAnchors = Value; }
  // Applied to every later size change, and at once when they change.
  TSizeConstraints* Constraints() const { return FConstraints; }
  void SetConstraints(TSizeConstraints* Value) { FConstraints->Assign(Value); }
  TCursor DragCursor() const { return FDragCursor; }
  void SetDragCursor(TCursor Value) { FDragCursor = Value; }
  TDragMode DragMode() const { return FDragMode; }
  void SetDragMode(TDragMode Value) { FDragMode = Value; }
  // Whether the control's hint shows; while ParentShowHint is set it is the parent's setting,
  // and setting ShowHint clears ParentShowHint.
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool Value);
  bool IsShowHintStored() const { return !FParentShowHint; }
  // Cleared when the menu is freed.
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);

  // Every message of the control passes through WindowProc, which is WndProc until someone
  // puts a handler of their own in its place (and calls the saved one for default handling).
  TWndMethod WindowProc() const { return FWindowProc; }
  void SetWindowProc(TWndMethod Value) { FWindowProc = Value; }
  // Hands a message to WindowProc at once and returns its answer.
  LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);
  virtual void WndProc(TMessage& Message);
  // What happens to a message nobody handled.
  virtual void DefaultHandler(TMessage& Message);

  virtual void Invalidate();
  // The platform's palette changed (Foreground: the form became active and may realise its
  // own): a control that realised a palette answers true.
  virtual bool PaletteChanged(bool Foreground);

  TNotifyEvent OnResize;
  // A press and release of the left button over the control.
  TNotifyEvent OnClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnDblClick;
  TDragDropEvent OnDragDrop;
  TDragOverEvent OnDragOver;
  TEndDragEvent OnEndDrag;
  TStartDragEvent OnStartDrag;

 protected:
  friend class TWinControl;

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // After the control's size changed.
  virtual void Resize();
  // Asks the parent to lay out its aligned children again.
  void RequestAlign();
  // After Color changed, also when it came from the parent.
  virtual void ColorChanged();
  virtual void CaptionChanged() {}
  virtual void VisibleChanged() {}
  virtual void EnabledChanged() {}
  virtual void CursorChanged() {}
  // Lays out what depends on the size, after a size change that no window reported.
  virtual void SizeChanged();

  TWinControl* FParent = nullptr;
  Integer FLeft = 0;
  Integer FTop = 0;
  Integer FWidth = 0;
  Integer FHeight = 0;
  TAlign FAlign = alNone;
  bool FVisible = true;
  bool FEnabled = true;
  TColor FColor = clWindow;
  bool FParentColor = true;
  std::string FCaption;
  TCursor FCursor = crDefault;
  TAnchors FAnchors{akLeft, akTop};
  TSizeConstraints* FConstraints;
  TCursor FDragCursor = crDrag;
  TDragMode FDragMode = dmManual;
  bool FShowHint = false;
  bool FParentShowHint = true;
  TPopupMenu* FPopupMenu = nullptr;
  TWndMethod FWindowProc;
  // Client size asked for while the stream was loading; applied by Loaded.
  Integer FPendingClientWidth = -1;
  Integer FPendingClientHeight = -1;
};

// The object a window of the class library belongs to: taken from the creation parameter at the
// window's first message (WM_NCCREATE) and kept with the window from then on.
void* WindowObject(HWND Window, UINT Msg, LPARAM LParam);

// The platform's cursor for a cursor value (null for crNone).
HCURSOR CursorHandle(TCursor Cursor);

class TWinControl : public TControl {
  ORVALIS_CLASS(TWinControl, TControl)

  explicit TWinControl(TComponent* AOwner);
  // Destroys the window, then frees the controls still parented here.
  ~TWinControl() override;

  // The window, created (with the parent's first) when there is none yet.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded() { Handle(); }
  // Destroys the window and those of the children; the control stays and makes a new one
  // when next asked.
  void DestroyHandle();

  Integer ControlCount() const { return static_cast<Integer>(FControls.size()); }
  // Raises EListError outside 0..ControlCount-1.
  TControl* Controls(Integer Index) const;
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);

  void SetBounds(Integer ALeft, Integer ATop, Integer AWidth, Integer AHeight) override;
  TRect ClientRect() override;
  bool Showing() override;
  void Invalidate() override;
  // Asks the children, newest first; in the foreground the first one that realises a palette
  // ends the round.
  bool PaletteChanged(bool Foreground) override;
  void WndProc(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;

  // Places the aligned children: top, bottom, left and right ones along the edges in that
  // order, then the client ones over what is left.
  void Realign();

  // The control's place in the order the keyboard focus moves in; -1 for none.
  Integer TabOrder() const { return FTabOrder; }
  void SetTabOrder(Integer Value) { FTabOrder = Value; }
  // Whether the focus stops at the control on its way.
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value) { FTabStop = Value; }

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  // The control's window gained or lost the keyboard focus.
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

 protected:
  struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    Integer X = 0;
    Integer Y = 0;
    Integer Width = 0;
    Integer Height = 0;
    HWND WndParent = nullptr;
    std::string WinClassName;
  };
  virtual void CreateParams(TCreateParams& Params);
  virtual void CreateWnd();
  void Loaded() override;
  void ColorChanged() override;
  void CaptionChanged() override;
  void VisibleChanged() override;
  void EnabledChanged() override;
  void CursorChanged() override;
  void SizeChanged() override;
  // The style bits that decide the window's frame (and so its client area).
  virtual void FrameStyle(DWORD& Style, DWORD& ExStyle);
  // Shows or hides the window to match Visible.
  virtual void ShowWindowState();

 private:
  friend LRESULT ControlWindowProcedure(HWND, UINT, WPARAM, LPARAM);
  // The window's messages enter here; an exception a handler lets escape is reported by the
  // application and goes no further.
  LRESULT MainWndProc(UINT Msg, WPARAM WParam, LPARAM LParam);
  void CreateHandle();
  // Mouse and key messages turned into the input events; KeyMessage answers false when a
  // handler consumed the key.
  void MouseMessage(const TMessage& Message);
  bool KeyMessage(TMessage& Message);

  HWND FHandle = nullptr;
  std::vector<TControl*> FControls;
  bool FAligning = false;
  Integer FTabOrder = -1;
  bool FTabStop = false;
  bool FLeftButtonDown = false;  // pressed over this control: its release is a click
};

// A windowed control that paints itself.
class TCustomControl : public TWinControl {
  ORVALIS_CLASS(TCustomControl, TWinControl)

  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;

  // Windows have no pixels of their own on this platform (what is seen is the display's primary
  // surface), so the canvas has no device context and drawing on it raises the canvas error.
  TCanvas* Canvas() const { return FCanvas; }
  void WndProc(TMessage& Message) override;

 protected:
  virtual void Paint() {}

 private:
  TCanvas* FCanvas;
};

class TCustomForm;
// The form the control lies on: the topmost parent when it is a form, else nil.
TCustomForm* GetParentForm(TControl* Control);
