#include <gtest/gtest.h>

#include "FormsTestSupport.h"
#include "runtime/Controls.h"
#include "tests/MessageOf.h"

const TClassInfo& TTestPanel::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TTestPanel>({
      Property("Align", &TControl::Align, &TControl::SetAlign).Default(alNone),
      Property("Color", ColorTypeInfo(), &TControl::Color, &TControl::SetColor),
      Property("Cursor", CursorTypeInfo(), &TControl::Cursor, &TControl::SetCursor)
          .Default(crDefault),
  });
  return info;
}

namespace {

using ControlHandles = FormsTest;

TEST_F(ControlHandles, ChildWindowIsMadeOnDemandInsideItsParentsWindow) {
  auto* form = new TForm(Application);
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  EXPECT_FALSE(form->HandleAllocated());
  EXPECT_FALSE(panel->HandleAllocated());

  HWND child = panel->Handle();
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(form->HandleAllocated());
  EXPECT_EQ(GetParent(child), form->Handle());
  // Top-level forms belong to the application's window.
  EXPECT_EQ(GetParent(form->Handle()), Application->Handle());
  EXPECT_TRUE(IsWindow(child));
}

TEST_F(ControlHandles, ParentsWindowBringsTheChildrensAlong) {
  auto* form = new TForm(Application);
  auto* outer = new TTestPanel(form);
  auto* inner = new TTestPanel(form);
  outer->SetParent(form);
  inner->SetParent(outer);
  form->HandleNeeded();
  EXPECT_TRUE(outer->HandleAllocated());
  EXPECT_TRUE(inner->HandleAllocated());
  EXPECT_EQ(GetParent(inner->Handle()), outer->Handle());

  // Destroying a window takes the children's with it; the controls notice and stay usable.
  form->DestroyHandle();
  EXPECT_FALSE(outer->HandleAllocated());
  EXPECT_FALSE(inner->HandleAllocated());
  EXPECT_TRUE(IsWindow(inner->Handle()));
  EXPECT_EQ(GetParent(outer->Handle()), form->Handle());
}

TEST_F(ControlHandles, ParentChainLeadsToTheForm) {
  auto* form = new TForm(Application);
  auto* outer = new TTestPanel(form);
  auto* inner = new TTestPanel(form);
  outer->SetParent(form);
  inner->SetParent(outer);
  EXPECT_EQ(inner->Parent(), outer);
  EXPECT_EQ(GetParentForm(inner), form);
  EXPECT_EQ(GetParentForm(form), form);

  TTestPanel orphan(nullptr);
  EXPECT_EQ(GetParentForm(&orphan), nullptr);
  EXPECT_EQ(GetParentForm(nullptr), nullptr);
}

TEST_F(ControlHandles, MovingToAnotherParentMovesTheWindow) {
  auto* first = new TForm(Application);
  auto* second = new TForm(Application);
  auto* panel = new TTestPanel(first);
  panel->SetParent(first);
  HWND old = panel->Handle();

  panel->SetParent(second);
  EXPECT_FALSE(IsWindow(old));
  EXPECT_EQ(first->ControlCount(), 0);
  ASSERT_EQ(second->ControlCount(), 1);
  EXPECT_EQ(second->Controls(0), panel);
  EXPECT_EQ(GetParent(panel->Handle()), second->Handle());
  EXPECT_THROW(second->Controls(1), EListError);
}

TEST_F(ControlHandles, BadParentsAreRefused) {
  auto* form = new TForm(Application);
  auto* outer = new TTestPanel(form);
  auto* inner = new TTestPanel(form);
  outer->SetParent(form);
  inner->SetParent(outer);
  EXPECT_THROW(outer->SetParent(inner), EInvalidOperation);
  EXPECT_THROW(outer->SetParent(outer), EInvalidOperation);
  EXPECT_EQ(outer->Parent(), form);

  TTestPanel orphan(nullptr);
  orphan.SetName("Orphan");
  EXPECT_EQ(MessageOf<EInvalidOperation>([&] { orphan.Handle(); }),
            "Element 'Orphan' hat kein übergeordnetes Fenster");
}

TEST_F(ControlHandles, ParentFreesTheControlsStillOnIt) {
  auto* form = new TForm(Application);
  // Parented but owned by nobody: only the parent can free it (the leak check would notice).
  auto* panel = new TTestPanel(nullptr);
  panel->SetParent(form);
  form->HandleNeeded();
  HWND child = panel->Handle();
  delete form;
  EXPECT_FALSE(IsWindow(child));
}

TEST_F(ControlHandles, FreeingAChildRemovesItFromItsParent) {
  auto* form = new TForm(Application);
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  HWND child = panel->Handle();
  delete panel;
  EXPECT_EQ(form->ControlCount(), 0);
  EXPECT_FALSE(IsWindow(child));
}

using ControlAlignment = FormsTest;

TEST_F(ControlAlignment, ClientControlFillsItsParentAndFollowsResizes) {
  auto* form = new TForm(Application);
  form->SetBorderStyle(bsNone);
  form->SetBounds(0, 0, 480, 281);
  auto* panel = new TTestPanel(form);
  panel->SetBounds(5, 5, 100, 100);
  panel->SetParent(form);
  panel->SetAlign(alClient);
  EXPECT_EQ(panel->BoundsRect(), Rect(0, 0, 480, 281));

  // Without windows and with them, a new size lays the children out again.
  form->SetBounds(0, 0, 640, 480);
  EXPECT_EQ(panel->BoundsRect(), Rect(0, 0, 640, 480));
  form->HandleNeeded();
  form->SetBounds(10, 10, 1024, 768);
  EXPECT_EQ(panel->BoundsRect(), Rect(0, 0, 1024, 768));
  RECT window{};
  GetWindowRect(panel->Handle(), &window);
  EXPECT_EQ(window.right - window.left, 1024);
  EXPECT_EQ(window.bottom - window.top, 768);

  // The platform's own resizing (here: maximising) arrives the same way.
  ShowWindow(form->Handle(), SW_SHOWMAXIMIZED);
  EXPECT_EQ(panel->Width(), form->ClientWidth());
  EXPECT_EQ(panel->Height(), form->ClientHeight());
  EXPECT_EQ(form->Width(), GetSystemMetrics(SM_CXSCREEN));
}

TEST_F(ControlAlignment, EdgesAreTakenInOrderAndClientGetsTheRest) {
  auto* form = new TForm(Application);
  form->SetBorderStyle(bsNone);
  form->SetBounds(0, 0, 400, 300);
  auto make = [form](TAlign align, Integer width, Integer height) {
    auto* panel = new TTestPanel(form);
    panel->SetBounds(0, 0, width, height);
    panel->SetParent(form);
    panel->SetAlign(align);
    return panel;
  };
  TTestPanel* client = make(alClient, 10, 10);
  TTestPanel* left = make(alLeft, 50, 10);
  TTestPanel* top = make(alTop, 10, 20);
  TTestPanel* bottom = make(alBottom, 10, 30);
  TTestPanel* right = make(alRight, 60, 10);
  EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 400, 20));
  EXPECT_EQ(bottom->BoundsRect(), Rect(0, 270, 400, 300));
  EXPECT_EQ(left->BoundsRect(), Rect(0, 20, 50, 270));
  EXPECT_EQ(right->BoundsRect(), Rect(340, 20, 400, 270));
  EXPECT_EQ(client->BoundsRect(), Rect(50, 20, 340, 270));

  // A hidden control takes no room; the others close up.
  top->Hide();
  EXPECT_EQ(left->BoundsRect(), Rect(0, 0, 50, 270));
  EXPECT_EQ(client->BoundsRect(), Rect(50, 0, 340, 270));
  // An aligned control cannot be moved away from its place.
  client->SetBounds(1, 1, 5, 5);
  EXPECT_EQ(client->BoundsRect(), Rect(50, 0, 340, 270));
  // Released from alignment, it keeps whatever it is given.
  client->SetAlign(alNone);
  client->SetBounds(1, 1, 5, 5);
  EXPECT_EQ(client->BoundsRect(), Rect(1, 1, 6, 6));
}

TEST_F(ControlAlignment, TooSmallParentGivesEmptyNotNegativeSizes) {
  auto* form = new TForm(Application);
  form->SetBorderStyle(bsNone);
  form->SetBounds(0, 0, 40, 40);
  auto* top = new TTestPanel(form);
  top->SetBounds(0, 0, 10, 100);
  top->SetParent(form);
  top->SetAlign(alTop);
  auto* client = new TTestPanel(form);
  client->SetParent(form);
  client->SetAlign(alClient);
  EXPECT_EQ(client->Width(), 40);
  EXPECT_EQ(client->Height(), 0);
}

TEST_F(ControlAlignment, ClientAreaOfAFramedFormIsInsideTheFrame) {
  auto* form = new TForm(Application);
  form->SetBorderStyle(bsSizeable);
  form->SetClientWidth(480);
  form->SetClientHeight(281);
  EXPECT_EQ(form->ClientWidth(), 480);
  EXPECT_EQ(form->ClientHeight(), 281);
  EXPECT_GT(form->Width(), 480);
  EXPECT_GT(form->Height(), 281);
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetAlign(alClient);
  EXPECT_EQ(panel->BoundsRect(), Rect(0, 0, 480, 281));

  // The same numbers hold once the window exists, and for a frameless form client = bounds.
  form->HandleNeeded();
  EXPECT_EQ(form->ClientWidth(), 480);
  EXPECT_EQ(panel->BoundsRect(), Rect(0, 0, 480, 281));
  form->SetBorderStyle(bsNone);
  EXPECT_EQ(form->ClientWidth(), form->Width());
}

using ControlWindowProc = FormsTest;

TEST_F(ControlWindowProc, ReplacementSeesEveryMessageAndRestoringEndsIt) {
  auto* form = new TForm(Application);
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetAlign(alClient);
  form->Show();
  HWND window = panel->Handle();
  ValidateRect(window, nullptr);
  {
    TMessageRecorder recorder(panel);
    SendMessageA(window, WM_USER + 1, 0, 0);
    panel->Perform(WM_USER + 2, 0, 0);
    EXPECT_TRUE(recorder.Saw(WM_USER + 1));
    EXPECT_TRUE(recorder.Saw(WM_USER + 2));
    // Passed on, the control's own handling still works: a paint request reaches Paint.
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    EXPECT_TRUE(recorder.Saw(WM_PAINT));
    EXPECT_EQ(panel->PaintCount, 1);
  }
  // Restored: the original handler is back and nothing reaches the freed recorder.
  EXPECT_TRUE(panel->WindowProc() == MakeEvent<&TControl::WndProc>(panel));
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  EXPECT_EQ(panel->PaintCount, 2);
}

TEST_F(ControlWindowProc, SwallowedMessageNeverReachesTheControl) {
  auto* form = new TForm(Application);
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetAlign(alClient);
  form->Show();
  ValidateRect(panel->Handle(), nullptr);
  TMessageRecorder recorder(panel);
  recorder.Swallow = WM_PAINT;
  InvalidateRect(panel->Handle(), nullptr, TRUE);
  UpdateWindow(panel->Handle());
  EXPECT_TRUE(recorder.Saw(WM_PAINT));
  EXPECT_EQ(panel->PaintCount, 0);
}

TEST_F(ControlWindowProc, StackedReplacementsRunNewestFirst) {
  auto* form = new TForm(Application);
  form->HandleNeeded();
  TMessageRecorder first(form);
  {
    TMessageRecorder second(form);
    SendMessageA(form->Handle(), WM_USER, 0, 0);
    ASSERT_FALSE(second.Messages.empty());
    ASSERT_FALSE(first.Messages.empty());
    EXPECT_EQ(second.Messages.back(), WM_USER);
    EXPECT_EQ(first.Messages.back(), WM_USER);
    const size_t firstSeen = first.Messages.size();
    second.Swallow = WM_USER;
    SendMessageA(form->Handle(), WM_USER, 0, 0);
    // The newer one kept it from the older one.
    EXPECT_EQ(first.Messages.size(), firstSeen);
  }
  SendMessageA(form->Handle(), WM_USER + 5, 0, 0);
  EXPECT_TRUE(first.Saw(WM_USER + 5));
}

using ControlProperties = FormsTest;

TEST_F(ControlProperties, CaptionEnabledAndVisibleReachTheWindow) {
  auto* form = new TForm(Application);
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetCaption("Anzeige");
  panel->SetEnabled(false);
  HWND window = panel->Handle();
  char text[32] = {};
  GetWindowTextA(window, text, sizeof text);
  EXPECT_STREQ(text, "Anzeige");
  EXPECT_FALSE(IsWindowEnabled(window));

  panel->SetCaption("Neu");
  GetWindowTextA(window, text, sizeof text);
  EXPECT_STREQ(text, "Neu");
  panel->SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(window));

  // Showing needs the whole chain: the panel is visible but its form is not shown yet.
  EXPECT_FALSE(panel->Showing());
  form->Show();
  EXPECT_TRUE(panel->Showing());
  panel->Hide();
  EXPECT_FALSE(panel->Showing());
  EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(ControlProperties, ParentColorFollowsUntilAColorOfItsOwnIsSet) {
  auto* form = new TForm(Application);
  auto* panel = new TTestPanel(form);
  auto* inner = new TTestPanel(form);
  panel->SetParent(form);
  inner->SetParent(panel);
  form->SetColor(clNavy);
  EXPECT_EQ(panel->Color(), clNavy);
  EXPECT_EQ(inner->Color(), clNavy);

  panel->SetColor(clBlack);
  EXPECT_FALSE(panel->ParentColor());
  form->SetColor(clRed);
  EXPECT_EQ(panel->Color(), clBlack);
  EXPECT_EQ(inner->Color(), clBlack);

  panel->SetParentColor(true);
  EXPECT_EQ(panel->Color(), clRed);
  EXPECT_EQ(inner->Color(), clRed);
}

TEST_F(ControlProperties, NoneCursorHidesThePointerOverTheControl) {
  auto* form = new TForm(Application);
  form->SetBorderStyle(bsNone);
  form->SetBounds(0, 0, 200, 200);
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetAlign(alClient);
  form->Show();
  TestMoveMouse(50, 50);
  EXPECT_NE(GetCursor(), nullptr);

  // Takes effect at once under the pointer, and again whenever the pointer moves over it.
  panel->SetCursor(crNone);
  EXPECT_EQ(GetCursor(), nullptr);
  ::SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  TestMoveMouse(60, 60);
  EXPECT_EQ(GetCursor(), nullptr);

  panel->SetCursor(crCross);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_CROSS));
  panel->SetCursor(crDefault);
  TestMoveMouse(70, 70);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(ControlProperties, PaletteMessagesReachTheControlsNewestFirst) {
  auto* form = new TForm(Application);
  auto* older = new TTestPanel(form);
  auto* newer = new TTestPanel(form);
  older->SetParent(form);
  newer->SetParent(form);
  older->RealizesPalette = newer->RealizesPalette = true;
  constexpr UINT kQueryNewPalette = 0x030F;
  constexpr UINT kPaletteChanged = 0x0311;

  // In the foreground the first control that realises its palette ends the round.
  EXPECT_EQ(SendMessageA(form->Handle(), kQueryNewPalette, 0, 0), TRUE);
  EXPECT_EQ(newer->PaletteCalls, 1);
  EXPECT_EQ(older->PaletteCalls, 0);
  // In the background everyone is told; the form's own change tells no one.
  SendMessageA(form->Handle(), kPaletteChanged, 0, 0);
  EXPECT_EQ(newer->PaletteCalls, 2);
  EXPECT_EQ(older->PaletteCalls, 1);
  SendMessageA(form->Handle(), kPaletteChanged, reinterpret_cast<WPARAM>(form->Handle()), 0);
  EXPECT_EQ(older->PaletteCalls, 1);
  newer->RealizesPalette = older->RealizesPalette = false;
  EXPECT_EQ(SendMessageA(form->Handle(), kQueryNewPalette, 0, 0), FALSE);
}

TEST_F(ControlProperties, PaintRequestsArePaintedWhenTheQueueIsEmpty) {
  auto* form = new TForm(Application);
  auto* panel = new TTestPanel(form);
  panel->SetBounds(10, 10, 50, 50);
  panel->SetParent(form);
  form->Show();
  Application->ProcessMessages();
  const Integer painted = panel->PaintCount;
  EXPECT_GE(painted, 1);
  panel->Invalidate();
  panel->Invalidate();
  Application->ProcessMessages();
  EXPECT_EQ(panel->PaintCount, painted + 1);
  // Nothing to paint: nothing painted.
  Application->ProcessMessages();
  EXPECT_EQ(panel->PaintCount, painted + 1);
}

using ControlInput = FormsTest;

// Writes down every input event of a control.
class TInputLog : public TObject {
 public:
  explicit TInputLog(TWinControl* Control) : FControl(Control) {
    Control->OnKeyDown = MakeEvent<&TInputLog::KeyDown>(this);
    Control->OnKeyPress = MakeEvent<&TInputLog::KeyPress>(this);
    Control->OnMouseDown = MakeEvent<&TInputLog::MouseDown>(this);
    Control->OnMouseMove = MakeEvent<&TInputLog::MouseMove>(this);
    Control->OnMouseUp = MakeEvent<&TInputLog::MouseUp>(this);
    Control->OnClick = MakeEvent<&TInputLog::Click>(this);
    Control->OnEnter = MakeEvent<&TInputLog::Enter>(this);
    Control->OnExit = MakeEvent<&TInputLog::Exit>(this);
  }
  ~TInputLog() override {
    FControl->OnKeyDown = nullptr;
    FControl->OnKeyPress = nullptr;
    FControl->OnMouseDown = nullptr;
    FControl->OnMouseMove = nullptr;
    FControl->OnMouseUp = nullptr;
    FControl->OnClick = nullptr;
    FControl->OnEnter = nullptr;
    FControl->OnExit = nullptr;
  }
  std::vector<std::string> Events;
  Word ConsumedKey = 0;

 private:
  TWinControl* FControl;
  static std::string Shift(TShiftState State) {
    std::string text;
    if (State.Contains(ssShift)) text += " shift";
    if (State.Contains(ssAlt)) text += " alt";
    if (State.Contains(ssLeft)) text += " left";
    return text;
  }
  void KeyDown(TObject*, Word& Key, TShiftState State) {
    Events.push_back("down " + IntToStr(Key) + Shift(State));
    if (Key == ConsumedKey) Key = 0;
  }
  void KeyPress(TObject*, char& Key) { Events.push_back(std::string("press ") + Key); }
  void MouseDown(TObject*, TMouseButton Button, TShiftState State, Integer X, Integer Y) {
    Events.push_back("mousedown " + IntToStr(Button) + Shift(State) + " " + IntToStr(X) + "," +
                     IntToStr(Y));
  }
  void MouseMove(TObject*, TShiftState, Integer X, Integer Y) {
    Events.push_back("move " + IntToStr(X) + "," + IntToStr(Y));
  }
  void MouseUp(TObject*, TMouseButton Button, TShiftState, Integer, Integer) {
    Events.push_back("mouseup " + IntToStr(Button));
  }
  void Click(TObject*) { Events.push_back("click"); }
  void Enter(TObject*) { Events.push_back("enter"); }
  void Exit(TObject*) { Events.push_back("exit"); }
};

TEST_F(ControlInput, KeysReachTheFocusedControlAsEvents) {
  auto* form = new TForm(Application);
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  form->Show();
  TInputLog log(panel);
  SetFocus(panel->Handle());
  TestPressKey(VK_LSHIFT);
  TestPressKey('A');
  Application->ProcessMessages();
  TestReleaseKey('A');
  TestReleaseKey(VK_LSHIFT);
  SetFocus(form->Handle());
  EXPECT_EQ(log.Events, (std::vector<std::string>{"enter", "down 16 shift", "down 65 shift",
                                                  "press A", "exit"}));
}

TEST_F(ControlInput, ConsumedKeyIsKeptFromTheWindow) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  auto* form = new TForm(Application);
  form->Show();
  // Alt+F4 closes a window by its default handling, unless the key is consumed first.
  constexpr Word kF4 = VK_F1 + 3;
  TInputLog log(form);
  log.ConsumedKey = kF4;
  TestPressKey(VK_LMENU);
  TestPressKey(kF4);
  Application->ProcessMessages();
  EXPECT_TRUE(form->Showing());
  ASSERT_FALSE(log.Events.empty());
  EXPECT_EQ(log.Events.back(), "down 115 alt");
  TestReleaseKey(kF4);
  log.ConsumedKey = 0;
  TestPressKey(kF4);
  Application->ProcessMessages();
  EXPECT_FALSE(form->Showing());
  TestReleaseKey(kF4);
  TestReleaseKey(VK_LMENU);
}

TEST_F(ControlInput, MouseEventsComeInClientCoordinatesAndAPressAndReleaseClicks) {
  auto* form = new TForm(Application);
  form->SetBorderStyle(bsNone);
  form->SetBounds(0, 0, 300, 300);
  auto* panel = new TTestPanel(form);
  panel->SetBounds(50, 40, 100, 100);
  panel->SetParent(form);
  form->Show();
  TInputLog log(panel);
  TestMoveMouse(60, 70);
  HostMouseButton(VK_LBUTTON, true);
  HostMouseButton(VK_LBUTTON, false);
  HostMouseButton(VK_RBUTTON, true);
  HostMouseButton(VK_RBUTTON, false);
  Application->ProcessMessages();
  EXPECT_EQ(log.Events,
            (std::vector<std::string>{"move 10,30", "mousedown 0 left 10,30", "mouseup 0", "click",
                                      "mousedown 1 10,30", "mouseup 1"}));
}

}  // namespace
