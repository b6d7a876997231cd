#include <gtest/gtest.h>

#include <string_view>

#include "FormsTestSupport.h"
#include "runtime/Forms.h"
#include "tests/MessageOf.h"

namespace {

// A form whose stored settings the tests write and read back.
class TStoredForm : public TForm {
  ORVALIS_CLASS(TStoredForm, TForm)

  using TForm::TForm;
  void Load(std::string_view Text) { ReadFormText(Text); }
  void FormShown(TObject*) { ++Shown; }

  TTestPanel* Display = nullptr;
  Integer Shown = 0;
};

}  // namespace

const TClassInfo& TStoredForm::StaticClassInfo() {
  static const TClassInfo info =
      DefineClass<TStoredForm>({}, {PublishedMethod<&TStoredForm::FormShown>("FormShown")},
                               {PublishedField("Display", &TStoredForm::Display)});
  return info;
}

namespace {

class StoredForms : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    RegisterClass(&TTestPanel::StaticClassInfo());
  }
  void TearDown() override {
    UnRegisterClass(&TTestPanel::StaticClassInfo());
    FormsTest::TearDown();
  }
};

TEST_F(StoredForms, SettingsAndComponentsComeFromTheStoredText) {
  auto* form = new TStoredForm(Application);
  form->Load(R"(
    object Main: TStoredForm
      Left = 20
      Top = 10
      BorderStyle = bsNone
      Caption = 'OrvalisMain'
      ClientHeight = 281
      ClientWidth = 480
      Color = clBlack
      OnShow = FormShown
      object Display: TTestPanel
        Align = alClient
        Cursor = crNone
      end
    end)");
  EXPECT_EQ(form->Name(), "Main");
  EXPECT_EQ(form->BoundsRect(), Rect(20, 10, 500, 291));
  EXPECT_EQ(form->BorderStyle(), bsNone);
  EXPECT_EQ(form->Caption(), "OrvalisMain");
  EXPECT_EQ(form->Color(), clBlack);
  EXPECT_FALSE(form->Visible());

  // The stream made the component, put it in the published field and on the form.
  ASSERT_NE(form->Display, nullptr);
  EXPECT_EQ(form->Display->Owner(), form);
  EXPECT_EQ(form->Display->Parent(), form);
  EXPECT_EQ(form->Display->Cursor(), crNone);
  EXPECT_EQ(form->Display->Color(), clBlack) << "follows the form's colour";
  EXPECT_EQ(form->Display->BoundsRect(), Rect(0, 0, 480, 281));

  // The event named in the stream is bound to the form's published method.
  form->Show();
  EXPECT_EQ(form->Shown, 1);
}

TEST_F(StoredForms, ClientSizeHoldsWhicheverOrderTheFrameComesIn) {
  auto* form = new TStoredForm(Application);
  form->Load(R"(
    object Framed: TStoredForm
      ClientHeight = 134
      ClientWidth = 237
      BorderStyle = bsDialog
      Enabled = False
    end)");
  EXPECT_EQ(form->ClientWidth(), 237);
  EXPECT_EQ(form->ClientHeight(), 134);
  EXPECT_GT(form->Width(), 237);
  EXPECT_FALSE(form->Enabled());
}

TEST_F(StoredForms, UnknownPropertyStopsTheLoadWithTheLibrarysError) {
  auto* form = new TStoredForm(Application);
  const std::string message = MessageOf<EReadError>([&] {
    form->Load(R"(
      object Broken: TStoredForm
        Colour = clBlack
      end)");
  });
  EXPECT_NE(message.find("Colour"), std::string::npos) << message;
}

using FormShowing = FormsTest;

// What a display control on the form waits for: its first showing, as the platform reports it.
class TShowingWatcher : public TObject {
 public:
  explicit TShowingWatcher(TControl* Form) : FForm(Form), FSaved(Form->WindowProc()) {
    Form->SetWindowProc(MakeEvent<&TShowingWatcher::WndProc>(this));
  }
  ~TShowingWatcher() override { FForm->SetWindowProc(FSaved); }
  Integer Showings = 0;
  bool VisibleWhenShown = false;

 private:
  void WndProc(TMessage& Message) {
    FSaved(Message);
    if (Message.Msg == WM_WINDOWPOSCHANGED &&
        (reinterpret_cast<const WINDOWPOS*>(Message.LParam)->flags & SWP_SHOWWINDOW)) {
      ++Showings;
      VisibleWhenShown = FForm->Showing();
    }
  }
  TControl* FForm;
  TWndMethod FSaved;
};

TEST_F(FormShowing, ShowMakesTheFormVisibleActiveAndReportsTheShowing) {
  auto* form = new TForm(Application);
  form->SetBorderStyle(bsNone);
  form->HandleNeeded();
  TShowingWatcher watcher(form);
  EXPECT_FALSE(form->Showing());
  form->Show();
  EXPECT_EQ(watcher.Showings, 1);
  EXPECT_TRUE(watcher.VisibleWhenShown);
  EXPECT_TRUE(form->Visible());
  EXPECT_TRUE(form->Active());
  EXPECT_EQ(GetForegroundWindow(), form->Handle());
  EXPECT_EQ(GetWindowLongA(form->Handle(), GWL_STYLE) & WS_CAPTION, 0);

  // Showing a shown form again brings it to the front without another showing.
  form->Show();
  EXPECT_EQ(watcher.Showings, 1);

  form->Hide();
  EXPECT_FALSE(form->Showing());
  EXPECT_FALSE(form->Active());
  form->Show();
  EXPECT_EQ(watcher.Showings, 2);
}

TEST_F(FormShowing, BorderStyleGivesTheWindowItsFrame) {
  auto* form = new TForm(Application);
  form->SetBorderStyle(bsSizeable);
  form->Show();
  EXPECT_NE(GetWindowLongA(form->Handle(), GWL_STYLE) & WS_CAPTION, 0);
  // A new frame means a new window; the form stays shown.
  form->SetBorderStyle(bsNone);
  const LONG style = GetWindowLongA(form->Handle(), GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0);
  EXPECT_NE(style & WS_POPUP, 0);
  EXPECT_TRUE(form->Showing());
}

TEST_F(FormShowing, ActivationEventsFollowTheWindow) {
  auto* first = new TForm(Application);
  auto* second = new TForm(Application);
  Integer activated = 0;
  Integer deactivated = 0;
  struct TCounter : TObject {
    Integer* Count;
    void Count1(TObject*) { ++*Count; }
  } onActivate, onDeactivate;
  onActivate.Count = &activated;
  onDeactivate.Count = &deactivated;
  first->OnActivate = MakeEvent<&TCounter::Count1>(&onActivate);
  first->OnDeactivate = MakeEvent<&TCounter::Count1>(&onDeactivate);
  first->Show();
  EXPECT_EQ(activated, 1);
  second->Show();
  EXPECT_FALSE(first->Active());
  EXPECT_TRUE(second->Active());
  EXPECT_EQ(deactivated, 1);
  first->OnActivate = nullptr;
  first->OnDeactivate = nullptr;
}

using FormClosing = FormsTest;

TEST_F(FormClosing, OtherFormsHideOrStayAsTheirHandlersDecide) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  auto* other = new TForm(Application);
  other->Show();
  struct TDecider : TObject {
    bool Allow = false;
    TCloseAction Action = caHide;
    void Query(TObject*, bool& CanClose) { CanClose = Allow; }
    void Close(TObject*, TCloseAction& Action_) { Action_ = Action; }
  } decider;
  other->OnCloseQuery = MakeEvent<&TDecider::Query>(&decider);
  other->OnClose = MakeEvent<&TDecider::Close>(&decider);

  SendMessageA(other->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(other->Showing()) << "refused by OnCloseQuery";
  decider.Allow = true;
  decider.Action = caNone;
  other->Close();
  EXPECT_TRUE(other->Showing()) << "caNone keeps it";
  decider.Action = caHide;
  other->Close();
  EXPECT_FALSE(other->Showing());
  EXPECT_TRUE(IsWindow(other->Handle())) << "hidden, not destroyed";

  // caFree frees the form once the loop gets to it, not while its own handler runs.
  const Integer before = Application->ComponentCount();
  decider.Action = caFree;
  other->Close();
  EXPECT_EQ(Application->ComponentCount(), before);
  Application->ProcessMessages();
  EXPECT_EQ(Application->ComponentCount(), before - 1);
  EXPECT_EQ(Application->MainForm(), main);
}

}  // namespace
