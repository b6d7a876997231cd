#include "dxbase/ControlSubClass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT kProbe = 0x0400;  // an application message with no meaning to the control

// A control that records the messages its own handling receives.
class RecordingControl : public TControl {
 public:
  RecordingControl() : TControl(nullptr) {}
  std::vector<UINT> Handled;
  void WndProc(TMessage& Message) override {
    if (Message.Msg == kProbe) {
      Handled.push_back(Message.Msg);
      Message.Result = 7;
      return;
    }
    TControl::WndProc(Message);
  }
};

// A component with a callback that logs under its name and calls the replaced procedure
// before or after its own work, or not at all.
class Watcher : public TObject {
 public:
  enum Mode { Before, After, Swallow };
  Watcher(std::string name, std::vector<std::string>& log, Mode mode)
      : Name(std::move(name)), Log(log), How(mode) {}

  void Hook(TMessage& Message, TWndMethod DefWindowProc) {
    if (How == Before) DefWindowProc(Message);
    Log.push_back(Name + (How == Before ? " after default, result " + std::to_string(Message.Result)
                                        : " first"));
    if (How == After) DefWindowProc(Message);
    if (How == Swallow) Message.Result = 99;
  }
  TSubClassWindowProc Callback() { return MakeEvent<&Watcher::Hook>(this); }

  std::string Name;
  std::vector<std::string>& Log;
  Mode How;
};

}  // namespace

TEST(TControlSubClass, CallbackDecidesWhetherTheControlSeesTheMessage) {
  RecordingControl control;
  std::vector<std::string> log;
  Watcher swallowing("w", log, Watcher::Swallow);
  {
    TControlSubClass hook(&control, swallowing.Callback());
    EXPECT_EQ(hook.Control(), &control);
    EXPECT_EQ(control.Perform(kProbe, 0, 0), 99);
    EXPECT_TRUE(control.Handled.empty());
  }
  Watcher passing("w", log, Watcher::After);
  TControlSubClass hook(&control, passing.Callback());
  EXPECT_EQ(control.Perform(kProbe, 0, 0), 7);  // the control's answer comes back
  EXPECT_EQ(control.Handled.size(), 1u);
}

TEST(TControlSubClass, DestroyPutsBackTheReplacedProcedure) {
  RecordingControl control;
  std::vector<std::string> log;
  Watcher watcher("w", log, Watcher::Swallow);
  TWndMethod original = control.WindowProc();
  auto* hook = new TControlSubClass(&control, watcher.Callback());
  EXPECT_FALSE(control.WindowProc() == original);
  EXPECT_TRUE(hook->DefWindowProc() == original);
  hook->Free();
  EXPECT_TRUE(control.WindowProc() == original);
  EXPECT_EQ(control.Perform(kProbe, 0, 0), 7);
  EXPECT_TRUE(log.size() == 0);
}

TEST(TControlSubClass, StackedHooksSeeMessagesLatestFirstAndUnwindInReverse) {
  RecordingControl control;
  std::vector<std::string> log;
  Watcher earlier("earlier", log, Watcher::Before);
  Watcher later("later", log, Watcher::After);
  TWndMethod original = control.WindowProc();
  auto* first = new TControlSubClass(&control, earlier.Callback());
  auto* second = new TControlSubClass(&control, later.Callback());
  EXPECT_EQ(control.Perform(kProbe, 0, 0), 7);
  EXPECT_EQ(log, (std::vector<std::string>{"later first", "earlier after default, result 7"}));
  EXPECT_EQ(control.Handled.size(), 1u);
  second->Free();
  EXPECT_TRUE(control.WindowProc() == MakeEvent<&TControlSubClass::WndProc>(first));
  first->Free();
  EXPECT_TRUE(control.WindowProc() == original);
}

TEST(TControlSubClass, WithoutACallbackTheHookIsTransparent) {
  RecordingControl control;
  TControlSubClass hook(&control, TSubClassWindowProc());
  EXPECT_EQ(control.Perform(kProbe, 0, 0), 7);
  EXPECT_EQ(control.Handled.size(), 1u);
}

TEST(TControlSubClass, HooksFreedOutOfOrderLeaveASoundChain) {
  RecordingControl control;
  std::vector<std::string> log;
  Watcher a("a", log, Watcher::After), b("b", log, Watcher::After), c("c", log, Watcher::After);
  TWndMethod original = control.WindowProc();
  auto* first = new TControlSubClass(&control, a.Callback());
  auto* middle = new TControlSubClass(&control, b.Callback());
  auto* last = new TControlSubClass(&control, c.Callback());

  middle->Free();  // from the middle: the outer hook now leads past it
  EXPECT_TRUE(last->DefWindowProc() == MakeEvent<&TControlSubClass::WndProc>(first));
  EXPECT_EQ(control.Perform(kProbe, 0, 0), 7);
  EXPECT_EQ(log, (std::vector<std::string>{"c first", "a first"}));

  first->Free();  // the innermost, while the outermost still leads to it
  EXPECT_TRUE(last->DefWindowProc() == original);
  log.clear();
  EXPECT_EQ(control.Perform(kProbe, 0, 0), 7);
  EXPECT_EQ(log, (std::vector<std::string>{"c first"}));

  last->Free();
  EXPECT_TRUE(control.WindowProc() == original);
  EXPECT_EQ(control.Perform(kProbe, 0, 0), 7);
  EXPECT_EQ(control.Handled.size(), 3u);
}
