#include <algorithm>
#include <cstring>
#include <string>

#include "DInputTestSupport.h"

namespace {

constexpr DWORD kEndless = 0xFFFFFFFF;

// A force-feedback joystick held exclusively in the foreground (once acquired), read through a
// format of its own objects, on a manual clock.
class EffectTest : public DInputFixture {
 protected:
  void SetUp() override {
    DInputFixture::SetUp();
    TestSetManualClock(true);
    TestDInputSetForceFeedback(true);
    TestAttachJoystick(2, 4);
    ComPtr<IDirectInputDevice> device = CreateDevice(GUID_Joystick);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->QueryInterface(IID_IDirectInputDevice2,
                                     reinterpret_cast<void**>(joystick.ReleaseAndGetAddressOf())),
              S_OK);
    layout = std::make_unique<FormatFromObjects>(device.Get(), DIDF_ABSAXIS, sizeof(DIJOYSTATE2));
    ASSERT_EQ(joystick->SetDataFormat(&layout->format), DI_OK);
    ASSERT_EQ(joystick->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  }

  void TearDown() override {
    joystick.Reset();
    DInputFixture::TearDown();
  }

  // A constant force on X and Y, as the input component makes one: lasting `duration`
  // microseconds, pushing towards (-3, -4) with magnitude 5 and an envelope.
  struct ConstantForce {
    ConstantForce(DWORD duration) {
      envelope = {20, 1000, 200000, 500, 100000};
      effect = {56,
                DIEFF_OBJECTOFFSETS | DIEFF_CARTESIAN,
                duration,
                0,
                DI_FFNOMINALMAX,
                DIEB_NOTRIGGER,
                0,
                2,
                axes,
                direction,
                &envelope,
                sizeof(force),
                &force,
                0};
    }
    DWORD axes[2] = {0, 4};
    LONG direction[2] = {-3, -4};
    DICONSTANTFORCE force = {5};
    DIENVELOPE envelope;
    DIEFFECT effect;
  };

  ComPtr<IDirectInputEffect> Make(const GUID& kind, const DIEFFECT* parameters) {
    ComPtr<IDirectInputEffect> effect;
    EXPECT_EQ(joystick->CreateEffect(kind, parameters, effect.ReleaseAndGetAddressOf(), nullptr),
              DI_OK);
    return effect;
  }

  static DWORD Status(IDirectInputEffect* effect) {
    DWORD status = 0xDEAD;
    EXPECT_EQ(effect->GetEffectStatus(&status), DI_OK);
    return status;
  }

  ComPtr<IDirectInputDevice2> joystick;
  std::unique_ptr<FormatFromObjects> layout;
};

std::vector<GUID> ListEffects(IDirectInputDevice2* device, DWORD type, bool firstOnly) {
  struct Listing {
    std::vector<GUID> guids;
    bool firstOnly;
  } listing{{}, firstOnly};
  auto collect = [](const DIEFFECTINFO* info, void* context) -> BOOL {
    auto* into = static_cast<Listing*>(context);
    into->guids.push_back(info->guid);
    return into->firstOnly ? DIENUM_STOP : DIENUM_CONTINUE;
  };
  EXPECT_EQ(device->EnumEffects(collect, &listing, type), DI_OK);
  return listing.guids;
}

}  // namespace

TEST_F(EffectTest, EffectsAreListedByKindOnForceFeedbackJoysticksOnly) {
  EXPECT_EQ(ListEffects(joystick.Get(), DIEFT_ALL, false).size(), 11u);
  EXPECT_EQ(ListEffects(joystick.Get(), DIEFT_CONSTANTFORCE, false),
            (std::vector<GUID>{GUID_ConstantForce}));
  EXPECT_EQ(ListEffects(joystick.Get(), DIEFT_PERIODIC, true), (std::vector<GUID>{GUID_Square}));
  EXPECT_EQ(ListEffects(joystick.Get(), DIEFT_PERIODIC, false).size(), 5u);
  EXPECT_EQ(ListEffects(joystick.Get(), DIEFT_CONDITION, true), (std::vector<GUID>{GUID_Spring}));

  // Force feedback is decided when a device is made.
  TestDInputSetForceFeedback(false);
  TestAttachJoystick(2, 2);
  ComPtr<IDirectInputDevice2> plain;
  ComPtr<IDirectInputDevice> device = CreateDevice(GUID_Joystick);
  ASSERT_EQ(device->QueryInterface(IID_IDirectInputDevice2,
                                   reinterpret_cast<void**>(plain.ReleaseAndGetAddressOf())),
            S_OK);
  EXPECT_TRUE(ListEffects(plain.Get(), DIEFT_ALL, false).empty());
  IDirectInputEffect* effect = reinterpret_cast<IDirectInputEffect*>(1);
  EXPECT_EQ(plain->CreateEffect(GUID_ConstantForce, nullptr, &effect, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(effect, nullptr);
}

TEST_F(EffectTest, ParametersAreKeptAndReachTheDeviceOnceItIsHeldExclusively) {
  ConstantForce constant(1000000);
  ComPtr<IDirectInputEffect> effect = Make(GUID_ConstantForce, &constant.effect);
  ASSERT_TRUE(effect);
  std::vector<DInputEffectState> effects = TestDInputEffects();
  ASSERT_EQ(effects.size(), 1u);
  const DInputEffectState& made = effects[0];
  EXPECT_EQ(made.effect, GUID_ConstantForce);
  EXPECT_EQ(made.joystick, 0);
  EXPECT_FALSE(made.downloaded) << "the device is not acquired yet";
  EXPECT_EQ(made.axes, (std::vector<DWORD>{0, 4}));
  EXPECT_EQ(made.direction, (std::vector<LONG>{-3, -4}));
  EXPECT_EQ(made.duration, 1000000u);
  EXPECT_EQ(made.gain, DI_FFNOMINALMAX);
  EXPECT_TRUE(made.hasEnvelope);
  EXPECT_EQ(made.envelope.dwAttackTime, 200000u);
  ASSERT_EQ(made.typeSpecific.size(), sizeof(DICONSTANTFORCE));
  DICONSTANTFORCE force;
  std::memcpy(&force, made.typeSpecific.data(), sizeof(force));
  EXPECT_EQ(force.lMagnitude, 5);

  EXPECT_EQ(effect->Start(1, 0), DIERR_NOTACQUIRED);
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  EXPECT_EQ(effect->Start(1, 0), DI_OK);
  EXPECT_TRUE(TestDInputEffects()[0].downloaded);
  EXPECT_EQ(TestDInputEffects()[0].starts, 1u);
  EXPECT_EQ(Status(effect.Get()), DIEGES_PLAYING);
  TestAdvanceClock(999);
  EXPECT_EQ(Status(effect.Get()), DIEGES_PLAYING);
  TestAdvanceClock(1);
  EXPECT_EQ(Status(effect.Get()), 0u) << "one second has played out";

  // Two iterations play twice as long.
  EXPECT_EQ(effect->Start(2, 0), DI_OK);
  TestAdvanceClock(1500);
  EXPECT_EQ(Status(effect.Get()), DIEGES_PLAYING);
  EXPECT_EQ(effect->Stop(), DI_OK);
  EXPECT_EQ(Status(effect.Get()), 0u);
}

TEST_F(EffectTest, EndlessEffectsPlayUntilStoppedOrTheDeviceIsLetGo) {
  ConstantForce constant(kEndless);
  ComPtr<IDirectInputEffect> effect = Make(GUID_ConstantForce, &constant.effect);
  ASSERT_TRUE(effect);
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  EXPECT_FALSE(TestDInputEffects()[0].downloaded) << "made before acquiring: downloaded on start";
  ASSERT_EQ(effect->Start(1, 0), DI_OK);
  EXPECT_TRUE(TestDInputEffects()[0].downloaded);
  TestAdvanceClock(3600000);
  EXPECT_EQ(Status(effect.Get()), DIEGES_PLAYING);

  ASSERT_EQ(joystick->Unacquire(), DI_OK);
  EXPECT_EQ(Status(effect.Get()), 0u);
  EXPECT_FALSE(TestDInputEffects()[0].downloaded) << "effects leave the device with it";
  EXPECT_EQ(effect->Stop(), DIERR_NOTACQUIRED);
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  ASSERT_EQ(effect->Start(1, 0), DI_OK);
  EXPECT_EQ(TestDInputEffects()[0].starts, 2u);

  // Lost input ends the acquisition and every effect with it.
  TestDInputLoseDevices();
  EXPECT_EQ(Status(effect.Get()), 0u);
  EXPECT_EQ(effect->Start(1, 0), DIERR_NOTACQUIRED);
}

TEST_F(EffectTest, SharedAccessCannotPlayEffects) {
  ConstantForce constant(kEndless);
  ComPtr<IDirectInputEffect> effect = Make(GUID_ConstantForce, &constant.effect);
  ASSERT_TRUE(effect);
  ASSERT_EQ(joystick->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  EXPECT_EQ(effect->Start(1, 0), DIERR_NOTEXCLUSIVEACQUIRED);
  EXPECT_EQ(effect->Download(), DIERR_NOTEXCLUSIVEACQUIRED);
  constant.effect.dwGain = 5000;
  EXPECT_EQ(effect->SetParameters(&constant.effect, DIEP_GAIN), DI_DOWNLOADSKIPPED);
  EXPECT_EQ(TestDInputEffects()[0].gain, 5000u) << "kept for later";
  EXPECT_FALSE(TestDInputEffects()[0].downloaded);
}

TEST_F(EffectTest, ChangedParametersAreCheckedAndOnlyTheNamedOnesChange) {
  ConstantForce constant(500000);
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  ComPtr<IDirectInputEffect> effect = Make(GUID_ConstantForce, &constant.effect);
  ASSERT_TRUE(effect);
  EXPECT_TRUE(TestDInputEffects()[0].downloaded) << "made while held exclusively";

  ConstantForce changed(2000000);
  changed.effect.dwGain = 10001;
  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_GAIN), DIERR_INVALIDPARAM);
  changed.effect.dwGain = 2500;
  changed.force.lMagnitude = 99;
  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_GAIN | DIEP_DURATION), DI_OK);
  DInputEffectState state = TestDInputEffects()[0];
  EXPECT_EQ(state.gain, 2500u);
  EXPECT_EQ(state.duration, 2000000u);
  DICONSTANTFORCE force;
  std::memcpy(&force, state.typeSpecific.data(), sizeof(force));
  EXPECT_EQ(force.lMagnitude, 5) << "the type-specific block was not named";
  EXPECT_EQ(Status(effect.Get()), 0u);

  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_TYPESPECIFICPARAMS | DIEP_START), DI_OK);
  EXPECT_EQ(Status(effect.Get()), DIEGES_PLAYING);
  EXPECT_EQ(TestDInputEffects()[0].iterations, 1u);

  // Axes must be actuators, each named once; blocks must fit the kind.
  changed.axes[1] = offsetof(DIJOYSTATE2, rgbButtons);
  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_AXES), DIERR_INVALIDPARAM);
  changed.axes[1] = 0;
  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_AXES), DIERR_INVALIDPARAM);
  changed.axes[1] = 4;
  changed.effect.cbTypeSpecificParams = sizeof(DIPERIODIC);
  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_TYPESPECIFICPARAMS), DIERR_INVALIDPARAM);
  changed.effect.cbTypeSpecificParams = sizeof(DICONSTANTFORCE);
  changed.envelope.dwSize = 16;
  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_ENVELOPE), DIERR_INVALIDPARAM);
  changed.envelope.dwSize = 20;
  changed.effect.dwFlags = DIEFF_CARTESIAN;
  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_AXES), DIERR_INVALIDPARAM)
      << "axes named neither by offset nor by type";
  changed.effect.dwFlags = DIEFF_OBJECTOFFSETS;
  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_DIRECTION), DIERR_INVALIDPARAM)
      << "a direction without its coordinate system";
  changed.effect.dwSize = 48;
  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_GAIN), DIERR_INVALIDPARAM);
  changed.effect.dwSize = 52;
  changed.effect.dwTriggerButton = offsetof(DIJOYSTATE2, rgbButtons) + 3;
  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_TRIGGERBUTTON), DI_OK);
  EXPECT_EQ(TestDInputEffects()[0].triggerButton, offsetof(DIJOYSTATE2, rgbButtons) + 3);
  EXPECT_EQ(effect->SetParameters(&changed.effect, DIEP_GAIN | DIEP_NODOWNLOAD),
            DI_DOWNLOADSKIPPED);
  EXPECT_EQ(effect->SetParameters(nullptr, DIEP_GAIN), DIERR_INVALIDPARAM);
}

TEST_F(EffectTest, ConditionsTakeOneAxisEachAndSoloStartsStopTheRest) {
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  DWORD axisX = 0;
  DWORD axisY = 4;
  LONG direction[2] = {0, 0};
  DICONDITION condition = {0, 3000, -3000, 0, 0, 0};
  DIENVELOPE envelope = {20, 0, 0, 0, 0};
  DIEFFECT spring = {56,
                     DIEFF_OBJECTOFFSETS | DIEFF_CARTESIAN,
                     kEndless,
                     0,
                     DI_FFNOMINALMAX,
                     DIEB_NOTRIGGER,
                     0,
                     1,
                     &axisX,
                     direction,
                     &envelope,
                     sizeof(condition),
                     &condition,
                     0};
  ComPtr<IDirectInputEffect> onX = Make(GUID_Spring, &spring);
  spring.rgdwAxes = &axisY;
  ComPtr<IDirectInputEffect> onY = Make(GUID_Spring, &spring);
  ASSERT_TRUE(onX && onY);
  ASSERT_EQ(onX->Start(1, 0), DI_OK);
  ASSERT_EQ(onY->Start(kEndless, 0), DI_OK);
  EXPECT_EQ(Status(onX.Get()), DIEGES_PLAYING);
  EXPECT_EQ(TestDInputEffects()[1].axes, (std::vector<DWORD>{4}));
  ASSERT_EQ(onY->Start(1, DIES_SOLO), DI_OK);
  EXPECT_EQ(Status(onX.Get()), 0u);
  EXPECT_EQ(Status(onY.Get()), DIEGES_PLAYING);

  // A block per axis must match the number of axes.
  spring.cbTypeSpecificParams = 2 * sizeof(DICONDITION);
  IDirectInputEffect* refused = nullptr;
  EXPECT_EQ(joystick->CreateEffect(GUID_Spring, &spring, &refused, nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(TestDInputEffects().size(), 2u) << "nothing is left of a refused effect";
}

TEST_F(EffectTest, EffectsWithoutAxesOrBlockCannotPlay) {
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  ComPtr<IDirectInputEffect> empty = Make(GUID_Sine, nullptr);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->Start(1, 0), DIERR_INCOMPLETEEFFECT);
  EXPECT_EQ(empty->Download(), DIERR_INCOMPLETEEFFECT);
  EXPECT_EQ(empty->Start(0, 0), DIERR_INVALIDPARAM) << "no iterations";
  ConstantForce constant(kEndless);
  EXPECT_EQ(empty->SetParameters(&constant.effect, DIEP_AXES | DIEP_START), DIERR_INCOMPLETEEFFECT);
  DIPERIODIC wave = {5000, 0, 0, 50000};
  constant.effect.cbTypeSpecificParams = sizeof(wave);
  constant.effect.lpvTypeSpecificParams = &wave;
  EXPECT_EQ(empty->SetParameters(&constant.effect, DIEP_TYPESPECIFICPARAMS), DI_OK);
  EXPECT_EQ(empty->Start(1, DIES_NODOWNLOAD), DI_OK) << "the block completed it and it downloaded";
  EXPECT_EQ(empty->Unload(), DI_OK);
  EXPECT_EQ(empty->Start(1, DIES_NODOWNLOAD), DIERR_NOTDOWNLOADED);
}

TEST_F(EffectTest, EffectsHoldTheirDeviceAndRefusalsLeaveNothingBehind) {
  ConstantForce constant(kEndless);
  TestDInputRefuseNext(DInputCall::CreateEffect, DIERR_OUTOFMEMORY);
  IDirectInputEffect* refused = nullptr;
  EXPECT_EQ(joystick->CreateEffect(GUID_ConstantForce, &constant.effect, &refused, nullptr),
            DIERR_OUTOFMEMORY);
  EXPECT_EQ(refused, nullptr);
  TestDInputRefuseNext(DInputCall::EnumEffects);
  auto neverCalled = [](const DIEFFECTINFO*, void*) -> BOOL {
    ADD_FAILURE() << "a refused enumeration lists nothing";
    return DIENUM_STOP;
  };
  EXPECT_EQ(joystick->EnumEffects(neverCalled, nullptr, DIEFT_ALL), DIERR_GENERIC);
  EXPECT_EQ(joystick->CreateEffect(GUID_XAxis, &constant.effect, &refused, nullptr),
            DIERR_DEVICENOTREG);

  ComPtr<IDirectInputEffect> effect = Make(GUID_ConstantForce, &constant.effect);
  ASSERT_TRUE(effect);
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  TestDInputRefuseNext(DInputCall::StartEffect, DIERR_INPUTLOST);
  EXPECT_EQ(effect->Start(1, 0), DIERR_INPUTLOST);
  EXPECT_EQ(TestDInputEffects()[0].starts, 0u);
  TestDInputRefuseNext(DInputCall::SetParameters);
  EXPECT_EQ(effect->SetParameters(&constant.effect, DIEP_GAIN), DIERR_GENERIC);

  // The effect keeps the device alive after the last other reference goes.
  ASSERT_EQ(effect->Start(1, 0), DI_OK);
  joystick.Reset();
  ASSERT_EQ(TestDInputDevices().size(), 1u);
  EXPECT_EQ(Status(effect.Get()), DIEGES_PLAYING);
  effect.Reset();
  EXPECT_TRUE(TestDInputDevices().empty());
}

namespace {

// What the force-feedback output was told, one line per call, effects named a, b, ... in the
// order they first appear.
std::vector<std::string> Told() {
  std::vector<uint32_t> seen;
  std::vector<std::string> lines;
  for (const ForceFeedbackEvent& event : TestDInputForceFeedbackEvents()) {
    auto found = std::find(seen.begin(), seen.end(), event.effect);
    if (found == seen.end()) found = seen.insert(seen.end(), event.effect);
    const std::string name(1, static_cast<char>('a' + (found - seen.begin())));
    switch (event.step) {
      case ForceFeedbackStep::Load:
        lines.push_back("load " + name + " on " + std::to_string(event.joystick));
        break;
      case ForceFeedbackStep::Start:
        lines.push_back("start " + name + " x" + std::to_string(event.iterations));
        break;
      case ForceFeedbackStep::Stop:
        lines.push_back("stop " + name);
        break;
      case ForceFeedbackStep::Unload:
        lines.push_back("unload " + name);
        break;
    }
  }
  return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(EffectTest, TheOutputIsToldWhatToPlayAsTheEffectsLive) {
  TestDInputRecordForceFeedback(true);
  ConstantForce constant(kEndless);
  constant.axes[0] = 4;  // Y, then X
  constant.axes[1] = 0;
  constant.effect.dwTriggerButton = offsetof(DIJOYSTATE2, rgbButtons) + 2;
  ComPtr<IDirectInputEffect> first = Make(GUID_ConstantForce, &constant.effect);
  ASSERT_TRUE(first);
  EXPECT_TRUE(Told().empty()) << "nothing reaches a device that is not held exclusively";

  ASSERT_EQ(joystick->Acquire(), DI_OK);
  ASSERT_EQ(first->Start(3, 0), DI_OK);
  EXPECT_EQ(Told(), (Lines{"load a on 0", "start a x3"}));
  const PlayedEffect played = TestDInputForceFeedbackEvents()[0].played;
  EXPECT_EQ(played.kind, GUID_ConstantForce);
  EXPECT_EQ(played.axes, (std::vector<int32_t>{1, 0})) << "the joystick's own axes";
  EXPECT_EQ(played.triggerButton, 2);
  EXPECT_EQ(played.parameters.duration, kEndless);
  EXPECT_EQ(played.parameters.direction, (std::vector<LONG>{-3, -4}));
  EXPECT_EQ(played.parameters.envelope.dwAttackTime, 200000u);
  EXPECT_EQ(played.parameters.typeSpecific.size(), sizeof(DICONSTANTFORCE));

  // Changes reach the device at once, also while the effect plays.
  constant.effect.dwGain = 4000;
  ASSERT_EQ(first->SetParameters(&constant.effect, DIEP_GAIN), DI_OK);
  EXPECT_EQ(TestDInputForceFeedbackEvents().back().played.parameters.gain, 4000u);
  // Made while the device is held, an effect is loaded at once; started solo, it stops the rest.
  ComPtr<IDirectInputEffect> second = Make(GUID_ConstantForce, &constant.effect);
  ASSERT_EQ(second->Start(1, DIES_SOLO | DIES_NODOWNLOAD), DI_OK);
  EXPECT_EQ(first->Stop(), DI_OK);
  EXPECT_EQ(first->Unload(), DI_OK);
  EXPECT_EQ(Told(), (Lines{"load a on 0", "start a x3", "load a on 0", "load b on 0", "stop a",
                           "start b x1", "unload a"}));

  // Letting go of the device takes its effects off; releasing them then tells nothing more.
  ASSERT_EQ(joystick->Unacquire(), DI_OK);
  second.Reset();
  first.Reset();
  EXPECT_EQ(Told().back(), "unload b");
  EXPECT_EQ(Told().size(), 8u);
  // A released effect leaves the device.
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  Make(GUID_ConstantForce, &constant.effect).Reset();
  EXPECT_EQ(Told().size(), 10u);
  EXPECT_EQ(Told().back(), "unload c");
}

namespace {

// An output whose joysticks play sine waves only.
class SineOnly final : public ForceFeedbackOutput {
 public:
  bool Offers(int32_t, const GUID& kind) const override { return kind == GUID_Sine; }
  void Load(uint32_t, int32_t, const PlayedEffect&) override { ++loads; }
  void Start(uint32_t, DWORD) override {}
  void Stop(uint32_t) override {}
  void Unload(uint32_t) override {}
  int loads = 0;
};

}  // namespace

TEST_F(EffectTest, AJoystickPlaysOnlyWhatItsHostDeviceOffers) {
  SineOnly output;
  InstallForceFeedbackOutput(&output);
  struct Uninstall {
    ~Uninstall() { InstallForceFeedbackOutput(nullptr); }
  } uninstall;
  EXPECT_EQ(ListEffects(joystick.Get(), DIEFT_ALL, false), (std::vector<GUID>{GUID_Sine}));
  ConstantForce constant(kEndless);
  IDirectInputEffect* refused = nullptr;
  EXPECT_EQ(joystick->CreateEffect(GUID_ConstantForce, &constant.effect, &refused, nullptr),
            DIERR_DEVICENOTREG);
  ASSERT_EQ(joystick->Acquire(), DI_OK);
  DIPERIODIC wave = {5000, 0, 0, 50000};
  constant.effect.cbTypeSpecificParams = sizeof(wave);
  constant.effect.lpvTypeSpecificParams = &wave;
  EXPECT_TRUE(Make(GUID_Sine, &constant.effect));
  EXPECT_EQ(output.loads, 1);

  // Whether a joystick can be shaken at all is the host's to say, joystick by joystick.
  TestDInputSetForceFeedback(false);
  EXPECT_TRUE(ListEffects(joystick.Get(), DIEFT_ALL, false).empty());
  TestSetJoystickForceFeedback(0, true);
  EXPECT_EQ(ListEffects(joystick.Get(), DIEFT_ALL, false), (std::vector<GUID>{GUID_Sine}));
}
