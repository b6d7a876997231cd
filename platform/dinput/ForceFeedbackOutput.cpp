#include "platform/dinput/ForceFeedbackOutput.h"

#include <memory>

#include "platform/dinput/DInputTestControl.h"
#include "platform/mmsystem/Joysticks.h"

namespace {

class Recorder final : public ForceFeedbackOutput {
 public:
  bool Offers(int32_t, const GUID&) const override { return true; }
  void Load(uint32_t effect, int32_t joystick, const PlayedEffect& played) override {
    events.push_back({ForceFeedbackStep::Load, effect, HostJoystickNumber(joystick), 0, played});
  }
  void Start(uint32_t effect, DWORD iterations) override {
    events.push_back({ForceFeedbackStep::Start, effect, -1, iterations, {}});
  }
  void Stop(uint32_t effect) override {
    events.push_back({ForceFeedbackStep::Stop, effect, -1, 0, {}});
  }
  void Unload(uint32_t effect) override {
    events.push_back({ForceFeedbackStep::Unload, effect, -1, 0, {}});
  }

  std::vector<ForceFeedbackEvent> events;
};

ForceFeedbackOutput*& Installed() {
  static ForceFeedbackOutput* output = nullptr;
  return output;
}

std::unique_ptr<Recorder>& Recording() {
  static std::unique_ptr<Recorder> recorder;
  return recorder;
}

}  // namespace

void InstallForceFeedbackOutput(ForceFeedbackOutput* output) { Installed() = output; }

ForceFeedbackOutput* CurrentForceFeedbackOutput() {
  if (Recording()) return Recording().get();
  return Installed();
}

void TestDInputRecordForceFeedback(bool on) {
  if (on)
    Recording() = std::make_unique<Recorder>();
  else
    Recording().reset();
}

std::vector<ForceFeedbackEvent> TestDInputForceFeedbackEvents() {
  return Recording() ? Recording()->events : std::vector<ForceFeedbackEvent>{};
}
