#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "FormsTestSupport.h"
#include "runtime/Forms.h"

namespace {

// Runs a test's lambda as the application's idle handler.
class TIdleScript : public TObject {
 public:
  explicit TIdleScript(std::function<void(bool&)> Step) : FStep(std::move(Step)) {
    Application->OnIdle = MakeEvent<&TIdleScript::Idle>(this);
  }
  ~TIdleScript() override {
    if (Application) Application->OnIdle = nullptr;
  }
  Integer Calls = 0;

 private:
  void Idle(TObject* Sender, bool& Done) {
    EXPECT_EQ(Sender, Application);
    ++Calls;
    FStep(Done);
  }
  std::function<void(bool&)> FStep;
};

// A main-window hook that keeps a log of what it saw.
class THookLog : public TObject {
 public:
  THookLog() { Application->HookMainWindow(Hook()); }
  ~THookLog() override { Application->UnhookMainWindow(Hook()); }
  TWindowHook Hook() { return MakeEvent<&THookLog::See>(this); }

  std::vector<UINT> Seen;
  UINT Handle = WM_NULL;  // marked as handled
  bool ActiveWhenSeen = false;

 private:
  void See(TMessage& Message, bool& Handled) {
    Seen.push_back(Message.Msg);
    ActiveWhenSeen = Application->Active();
    if (Message.Msg == Handle) Handled = true;
  }
};

// Raises from a message handler of a form.
class TThrowingForm : public TForm {
 public:
  using TForm::TForm;
  Integer Handled = 0;
  void WndProc(TMessage& Message) override {
    if (Message.Msg == WM_USER) throw EConvertError("'abc' ist kein gültiger Integerwert");
    if (Message.Msg == WM_USER + 1) ++Handled;
    TForm::WndProc(Message);
  }
};

std::vector<UINT> Notifications(const std::vector<UINT>& messages) {
  std::vector<UINT> result;
  for (UINT message : messages)
    if (message == CM_ACTIVATE || message == CM_DEACTIVATE) result.push_back(message);
  return result;
}

using ApplicationForms = FormsTest;

TEST_F(ApplicationForms, FirstCreatedFormIsTheMainFormAndHasItsWindow) {
  TForm* first = nullptr;
  TForm* second = nullptr;
  Application->CreateForm(first);
  Application->CreateForm(second);
  EXPECT_EQ(Application->MainForm(), first);
  EXPECT_TRUE(first->HandleAllocated());
  EXPECT_FALSE(second->HandleAllocated());
  EXPECT_EQ(first->Owner(), Application);
  EXPECT_EQ(second->Owner(), Application);
  EXPECT_FALSE(first->Visible());

  delete first;
  EXPECT_EQ(Application->MainForm(), nullptr);
}

using ApplicationLoop = FormsTest;

TEST_F(ApplicationLoop, RunShowsTheMainFormAndEndsWhenItCloses) {
  TForm* form = nullptr;
  Application->CreateForm(form);
  TIdleScript script([&](bool&) {
    EXPECT_TRUE(form->Showing());
    TestCloseMainWindow();
  });
  Application->Run();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_EQ(script.Calls, 1);
  // Closing the main form ends the loop; the form itself stays until the application goes.
  EXPECT_TRUE(IsWindow(form->Handle()));
}

TEST_F(ApplicationLoop, IdleHandlerIsCalledAgainWhileItClearsDone) {
  TForm* form = nullptr;
  Application->CreateForm(form);
  // No message arrives in between: a loop that waited for one here would never return.
  Integer calls = 0;
  TIdleScript script([&](bool& Done) {
    Done = false;
    if (++calls == 6) Application->Terminate();
  });
  Application->Run();
  EXPECT_EQ(script.Calls, 6);
}

TEST_F(ApplicationLoop, WaitingMessagesComeBeforeTheNextIdleCall) {
  TForm* form = nullptr;
  Application->CreateForm(form);
  TMessageRecorder recorder(form);
  Integer posted = 0;
  // Done stays True: the loop waits for the next message, handles every one that is waiting,
  // and only then processes idle again.
  TIdleScript script([&](bool&) {
    EXPECT_EQ(std::count(recorder.Messages.begin(), recorder.Messages.end(), WM_USER), posted);
    if (posted == 6) {
      Application->Terminate();
      return;
    }
    PostMessageA(form->Handle(), WM_USER, 0, 0);
    PostMessageA(form->Handle(), WM_USER, 0, 0);
    posted += 2;
  });
  Application->Run();
  EXPECT_EQ(script.Calls, 4);
}

TEST_F(ApplicationLoop, ProcessMessagesHandlesWhatIsWaitingAndReturns) {
  TForm* form = nullptr;
  Application->CreateForm(form);
  TMessageRecorder recorder(form);
  PostMessageA(form->Handle(), WM_USER, 0, 0);
  PostMessageA(form->Handle(), WM_USER + 1, 0, 0);
  Application->ProcessMessages();
  EXPECT_TRUE(recorder.Saw(WM_USER));
  EXPECT_TRUE(recorder.Saw(WM_USER + 1));
  EXPECT_FALSE(Application->Terminated());
}

using ApplicationExceptions = FormsTest;

TEST_F(ApplicationExceptions, ExceptionInAHandlerIsReportedAndTheLoopGoesOn) {
  auto* form = new TThrowingForm(Application);
  Application->SetTitle("Orvalis");
  form->HandleNeeded();
  PostMessageA(form->Handle(), WM_USER, 0, 0);
  PostMessageA(form->Handle(), WM_USER + 1, 0, 0);
  TIdleScript script([&](bool&) { Application->Terminate(); });

  testing::internal::CaptureStderr();
  Application->Run();
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_EQ(report, "Orvalis: 'abc' ist kein gültiger Integerwert.\n");
  EXPECT_EQ(form->Handled, 1) << "the message after the failing one was handled";
}

TEST_F(ApplicationExceptions, ExceptionInIdleProcessingIsReportedAndIdleGoesOn) {
  Application->SetTitle("Orvalis");
  Integer calls = 0;
  TIdleScript script([&](bool& Done) {
    Done = false;
    if (++calls == 1) throw Exception("Datei gfx\\ship2.dxg kann nicht geöffnet werden");
    Application->Terminate();
  });
  testing::internal::CaptureStderr();
  Application->Run();
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_EQ(report, "Orvalis: Datei gfx\\ship2.dxg kann nicht geöffnet werden.\n");
  EXPECT_EQ(script.Calls, 2);
}

TEST_F(ApplicationExceptions, OnExceptionReplacesTheReport) {
  struct TCatcher : TObject {
    std::string Text;
    TObject* From = nullptr;
    void Caught(TObject* Sender, Exception& E) {
      From = Sender;
      Text = E.Message();
    }
  } catcher;
  Application->OnException = MakeEvent<&TCatcher::Caught>(&catcher);
  auto* form = new TThrowingForm(Application);
  testing::internal::CaptureStderr();
  form->HandleNeeded();
  SendMessageA(form->Handle(), WM_USER, 0, 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(catcher.Text, "'abc' ist kein gültiger Integerwert");
  EXPECT_EQ(catcher.From, form);
}

TEST_F(ApplicationExceptions, ReportEndsWithOnePeriod) {
  Application->SetTitle("");
  testing::internal::CaptureStderr();
  Application->ShowException(Exception("Form not found."));
  Application->ShowException(Exception("Display mode cannot be changed (1024x768 32bit)"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Form not found.\nDisplay mode cannot be changed (1024x768 32bit).\n");
}

using ApplicationActivation = FormsTest;

TEST_F(ApplicationActivation, HooksGetTheNotificationsAfterTheActiveFlagChanged) {
  THookLog log;
  TForm* form = nullptr;
  Application->CreateForm(form);
  EXPECT_FALSE(Application->Active());

  form->Show();  // the program's first window: it becomes the active program
  EXPECT_TRUE(Application->Active());
  Application->ProcessMessages();
  EXPECT_EQ(Notifications(log.Seen), std::vector<UINT>{CM_ACTIVATE});
  EXPECT_TRUE(log.ActiveWhenSeen);

  TestSetApplicationActive(false);
  EXPECT_FALSE(Application->Active());
  Application->ProcessMessages();
  EXPECT_EQ(Notifications(log.Seen), (std::vector<UINT>{CM_ACTIVATE, CM_DEACTIVATE}));
  EXPECT_FALSE(log.ActiveWhenSeen);

  TestSetApplicationActive(true);
  Application->ProcessMessages();
  EXPECT_EQ(Notifications(log.Seen), (std::vector<UINT>{CM_ACTIVATE, CM_DEACTIVATE, CM_ACTIVATE}));
}

TEST_F(ApplicationActivation, HooksSeeTheWindowsMessagesBeforeTheApplication) {
  THookLog log;
  log.Handle = WM_ACTIVATEAPP;
  TForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  Application->ProcessMessages();
  EXPECT_NE(std::find(log.Seen.begin(), log.Seen.end(), WM_ACTIVATEAPP), log.Seen.end());
  // Handled by the hook: the application never learnt that it became active.
  EXPECT_FALSE(Application->Active());
  EXPECT_TRUE(Notifications(log.Seen).empty());
}

TEST_F(ApplicationActivation, OnActivateAndOnDeactivateFireFromTheNotifications) {
  struct TCounter : TObject {
    Integer Activated = 0, Deactivated = 0;
    void Activate(TObject*) { ++Activated; }
    void Deactivate(TObject*) { ++Deactivated; }
  } counter;
  Application->OnActivate = MakeEvent<&TCounter::Activate>(&counter);
  Application->OnDeactivate = MakeEvent<&TCounter::Deactivate>(&counter);
  TForm* form = nullptr;
  Application->CreateForm(form);
  form->Show();
  EXPECT_EQ(counter.Activated, 0) << "posted, not sent";
  Application->ProcessMessages();
  EXPECT_EQ(counter.Activated, 1);
  TestSetApplicationActive(false);
  Application->ProcessMessages();
  EXPECT_EQ(counter.Deactivated, 1);
}

TEST_F(ApplicationActivation, UnhookedAndSelfUnhookingHooksSeeNoMore) {
  Application->Handle();  // its creation messages are not what this test counts
  auto* first = new THookLog;
  auto* second = new THookLog;
  // A hook that unhooks the other one while it runs: the other is not called afterwards.
  struct TUnhooker : TObject {
    THookLog* Victim;
    Integer Calls = 0;
    void See(TMessage&, bool&) {
      ++Calls;
      if (Victim) {
        Application->UnhookMainWindow(Victim->Hook());
        Victim = nullptr;
      }
    }
  } unhooker;
  unhooker.Victim = first;
  Application->HookMainWindow(MakeEvent<&TUnhooker::See>(&unhooker));
  SendMessageA(Application->Handle(), WM_USER, 0, 0);
  EXPECT_EQ(unhooker.Calls, 1);
  EXPECT_TRUE(first->Seen.empty());
  EXPECT_EQ(second->Seen, std::vector<UINT>{WM_USER});

  Application->UnhookMainWindow(MakeEvent<&TUnhooker::See>(&unhooker));
  delete second;
  SendMessageA(Application->Handle(), WM_USER, 0, 0);
  EXPECT_EQ(unhooker.Calls, 1);
  delete first;
}

// The last words of a component that calls back into its form while it goes.
bool gFormWholeWhenWindowWent = false;
bool gFormWholeWhenComponentWent = false;

class TCallbackForm : public TForm {
 public:
  using TForm::TForm;
  std::vector<std::string> Log;
};

class TFormWatcher : public TComponent {
 public:
  explicit TFormWatcher(TComponent* AOwner)
      : TComponent(AOwner), FForm(static_cast<TControl*>(AOwner)), FSaved(FForm->WindowProc()) {
    FForm->SetWindowProc(MakeEvent<&TFormWatcher::WndProc>(this));
  }
  ~TFormWatcher() override {
    gFormWholeWhenComponentWent = dynamic_cast<TCallbackForm*>(FForm) != nullptr;
    FForm->SetWindowProc(FSaved);
  }

 private:
  void WndProc(TMessage& Message) {
    if (Message.Msg == WM_DESTROY) {
      auto* form = dynamic_cast<TCallbackForm*>(FForm);
      gFormWholeWhenWindowWent = form != nullptr;
      if (form) form->Log.push_back("destroy");
    }
    FSaved(Message);
  }
  TControl* FForm;
  TWndMethod FSaved;
};

TEST_F(ApplicationActivation, FormsGoWholeWithTheApplicationWindowFirstThenComponents) {
  TCallbackForm* form = nullptr;
  Application->CreateForm(form);
  new TFormWatcher(form);
  gFormWholeWhenWindowWent = false;
  gFormWholeWhenComponentWent = false;
  FormsUnitFinalize();
  EXPECT_TRUE(gFormWholeWhenWindowWent);
  EXPECT_TRUE(gFormWholeWhenComponentWent);
  EXPECT_EQ(Application, nullptr);
  FormsUnitInitialize();  // for the fixture's own end
}

}  // namespace
