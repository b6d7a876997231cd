#include <gtest/gtest.h>

#include "InputTestSupport.h"
#include "input/ForceFeedback.h"

namespace {

// The steps the force-feedback output was told, in order.
std::vector<ForceFeedbackStep> Steps() {
  std::vector<ForceFeedbackStep> steps;
  for (const ForceFeedbackEvent& event : TestDInputForceFeedbackEvents()) steps.push_back(event.step);
  return steps;
}

using enum ForceFeedbackStep;
using StepList = std::vector<ForceFeedbackStep>;

StepList StepsSince(size_t count) {
  const StepList steps = Steps();
  return StepList(steps.begin() + static_cast<std::ptrdiff_t>(std::min(count, steps.size())),
                  steps.end());
}

// An effect of the joystick's tree, from its start to the end of the input component, as a host
// with a haptic joystick would be told to play it.
using ForceFeedbackPlayTest = InputTest;

TEST_F(ForceFeedbackPlayTest, AnEffectOfTheTreeIsPlayedChangedStoppedAndTakenOff) {
  TestSetManualClock(true);
  TestDInputRecordForceFeedback(true);
  TestSetJoystickForceFeedback(TestAttachJoystick(2, 4), true);
  auto* input = new TDXInput(form);
  input->Keyboard()->SetEnabled(false);
  input->Joystick()->SetForceFeedback(true);
  input->Initialize();
  EXPECT_TRUE(Steps().empty()) << "an empty tree plays nothing";

  auto* push = new TForceFeedbackEffect(input->Joystick()->Effects());
  push->SetTime(-1);
  push->SetEffectType(etConstantForce);
  push->SetConstant({3, 4});
  push->Start();
  ASSERT_FALSE(Steps().empty());
  EXPECT_EQ(Steps().back(), Start);
  const PlayedEffect played = TestDInputForceFeedbackEvents().rbegin()[1].played;
  EXPECT_EQ(played.kind, GUID_ConstantForce);
  EXPECT_EQ(played.axes, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(played.parameters.direction, (std::vector<LONG>{-3, -4}));
  EXPECT_EQ(played.parameters.duration, 0xFFFFFFFFu);

  const size_t started = Steps().size();
  push->SetPower(5000);
  EXPECT_EQ(StepsSince(started), (StepList{Load, Start}))
      << "changed while playing";
  EXPECT_EQ(TestDInputForceFeedbackEvents().rbegin()[1].played.parameters.gain, 5000u);
  const size_t changed = Steps().size();
  push->Stop();
  EXPECT_EQ(StepsSince(changed), (StepList{Stop}));
  const size_t stopped = Steps().size();
  delete input;
  EXPECT_EQ(StepsSince(stopped), (StepList{Unload}));
}

}  // namespace
