#include "input/DXInput.h"

#include <gtest/gtest.h>

#include "InputTestSupport.h"
#include "runtime/ComponentStream.h"
#include "runtime/ComponentStreamText.h"

namespace {

using DXInputTest = InputTest;

TEST(TInputStates, PacksStateNIntoBitNmod8OfByteNdiv8) {
  TInputStates states{StateUp, StateButton5, StateButton32};
  // Up is state 0, button 5 state 8, button 32 state 35.
  EXPECT_EQ(states.Bytes()[0], 0x01);
  EXPECT_EQ(states.Bytes()[1], 0x01);
  EXPECT_EQ(states.Bytes()[4], 0x08);
  EXPECT_EQ(ButtonState(6), static_cast<TInputState>(9));
  // Nothing past the last state gets in, so bits 36 to 39 stay clear.
  states.Include(static_cast<TInputState>(36));
  states.Include(static_cast<TInputState>(39));
  EXPECT_EQ(states.Bytes()[4], 0x08);
  EXPECT_FALSE(states.Contains(static_cast<TInputState>(36)));

  states.Exclude(StateUp);
  EXPECT_FALSE(states.Contains(StateUp));
  EXPECT_EQ((TInputStates{StateLeft} + TInputStates{StateRight}),
            (TInputStates{StateRight, StateLeft}));
  EXPECT_TRUE(TInputStates{}.Empty());
}

TEST_F(DXInputTest, NeedsAFormAmongItsOwnersAndFindsItThroughTheChain) {
  EXPECT_EQ(MessageOf<EDXInputError>([] { TDXInput stray(nullptr); }), "Form not found");
  TComponent* holder = new TComponent(Application);
  EXPECT_EQ(MessageOf<EDXInputError>([&] { new TDXInput(holder); }), "Form not found");
  EXPECT_EQ(holder->ComponentCount(), 0) << "a refused component stayed with its owner";

  TComponent* middle = new TComponent(form);
  auto* input = new TDXInput(middle);
  EXPECT_EQ(input->Form(), form);
  ASSERT_EQ(input->Devices().size(), 3u);
  EXPECT_EQ(input->Devices()[0], input->Joystick());
  EXPECT_EQ(input->Devices()[1], input->Keyboard());
  EXPECT_EQ(input->Devices()[2], input->Mouse());
  EXPECT_TRUE(input->ActiveOnly());
  EXPECT_TRUE(input->UseDirectInput());
  EXPECT_TRUE(input->Keyboard()->Enabled() && input->Keyboard()->BindInputStates());
  EXPECT_FALSE(input->Mouse()->Enabled() || input->Mouse()->BindInputStates());
}

TEST_F(DXInputTest, InitializeBindsTheDevicesToTheFormWindow) {
  TestAttachJoystick(2, 4);
  TDXInput* input = MakeInput();
  ASSERT_NE(input->DInput(), nullptr);
  EXPECT_TRUE(input->Keyboard()->Initialized());
  EXPECT_TRUE(input->Joystick()->Initialized());
  EXPECT_FALSE(input->Mouse()->Initialized());
  EXPECT_EQ(input->Keyboard()->ButtonCount(), 32);
  EXPECT_EQ(input->Joystick()->ButtonCount(), 4);
  const auto devices = TestDInputDevices();
  ASSERT_EQ(devices.size(), 2u);
  for (const DInputDeviceState& device : devices) {
    EXPECT_EQ(device.window, form->Handle());
    EXPECT_EQ(device.cooperativeLevel, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  }

  // Without ActiveOnly the devices are read in the background too.
  auto* background = new TDXInput(form);
  background->SetActiveOnly(false);
  background->Initialize();
  EXPECT_EQ(TestDInputDevices().back().cooperativeLevel, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
}

TEST_F(DXInputTest, StatesFollowTheEdgesOfTheUnitedDeviceStates) {
  TDXInput* input = MakeInput();
  TestPressKey('Z');
  input->Update();
  EXPECT_TRUE(input->States().Contains(StateButton1));
  input->Update();
  input->Update();
  EXPECT_TRUE(input->States().Contains(StateButton1)) << "a held key stays";

  // The application consumes the state: it stays out while the key is held.
  TInputStates consumed = input->States();
  consumed.Exclude(StateButton1);
  input->SetStates(consumed);
  input->Update();
  EXPECT_FALSE(input->States().Contains(StateButton1));
  TestReleaseKey('Z');
  input->Update();
  TestPressKey('Z');
  input->Update();
  EXPECT_TRUE(input->States().Contains(StateButton1)) << "pressed again, it comes back";

  // A state the application puts in stays until it has come on and gone off.
  TInputStates added = input->States();
  added.Include(StateDown);
  input->SetStates(added);
  input->Update();
  EXPECT_TRUE(input->States().Contains(StateDown));
  TestPressKey(VK_DOWN);
  input->Update();
  TestReleaseKey(VK_DOWN);
  input->Update();
  EXPECT_FALSE(input->States().Contains(StateDown));
}

TEST_F(DXInputTest, AStateReportedByTwoDevicesLeavesOnlyWhenNeitherReportsIt) {
  const int32_t stick = TestAttachJoystick(2, 2);
  TDXInput* input = MakeInput();
  TestSetJoystickAxis(stick, 0, 0);
  TestPressKey(VK_LEFT);
  input->Update();
  EXPECT_TRUE(input->States().Contains(StateLeft));
  TestReleaseKey(VK_LEFT);
  input->Update();
  EXPECT_TRUE(input->States().Contains(StateLeft)) << "the joystick still holds it";
  TestSetJoystickAxis(stick, 0, 32767);
  input->Update();
  EXPECT_FALSE(input->States().Contains(StateLeft));
}

TEST_F(DXInputTest, WithAnotherWindowInFrontEveryHeldStateLeaves) {
  TDXInput* input = MakeInput();
  TestPressKey(VK_UP);
  TestPressKey(VK_SPACE);
  input->Update();
  EXPECT_EQ(input->States(), (TInputStates{StateUp, StateButton1}));

  TForm* other = MakeForm();
  ASSERT_EQ(GetForegroundWindow(), other->Handle());
  input->Update();
  EXPECT_TRUE(input->States().Empty());
  EXPECT_TRUE(input->Keyboard()->States().Empty());

  // Without ActiveOnly the keys count wherever the focus is (read here from the key state: an
  // acquired DirectInput device keeps the level it was acquired with).
  input->SetUseDirectInput(false);
  input->SetActiveOnly(false);
  input->Update();
  EXPECT_EQ(input->States(), (TInputStates{StateUp, StateButton1}));
}

TEST_F(DXInputTest, AnUnboundDeviceIsReadButNeverReachesTheStates) {
  TDXInput* input = MakeInput();
  input->Mouse()->SetEnabled(true);
  ASSERT_TRUE(input->Mouse()->Initialized());
  input->Update();
  TestMoveMouse(10, 10);
  input->Update();
  TestMoveMouse(5, 10);
  input->Update();
  EXPECT_TRUE(input->Mouse()->States().Contains(StateLeft));
  EXPECT_FALSE(input->States().Contains(StateLeft));
}

TEST_F(DXInputTest, WithoutInitialisedDevicesStatesOnlyGoOff) {
  TDXInput* input = MakeInput();
  TestPressKey(VK_RIGHT);
  input->Update();
  ASSERT_TRUE(input->States().Contains(StateRight));
  input->SetStates(input->States() + TInputStates{StateButton3});
  input->Keyboard()->SetEnabled(false);
  input->Joystick()->SetEnabled(false);
  input->Update();
  EXPECT_EQ(input->States(), (TInputStates{StateButton3}));
}

TEST_F(DXInputTest, TwoComponentsShareOneDirectInputUntilTheLastGoes) {
  TDXInput* first = MakeInput();
  TDXInput* second = MakeInput();
  EXPECT_EQ(first->DInput(), second->DInput());
  EXPECT_EQ(TestDInputLiveInstances(), 1u);
  // Hooks on one form go in the reverse order of their making, as the form frees them.
  delete second;
  EXPECT_EQ(TestDInputLiveInstances(), 1u);
  TestPressKey('H');
  first->Update();
  EXPECT_TRUE(first->States().Contains(StateLeft));
  delete first;
  EXPECT_EQ(TestDInputLiveInstances(), 0u);

  // A later component makes a new one.
  TDXInput* third = MakeInput();
  EXPECT_NE(third->DInput(), nullptr);
  EXPECT_EQ(TestDInputLiveInstances(), 1u);
}

TEST_F(DXInputTest, SharedDirectInputCountsItsHolders) {
  ComPtr<IDirectInput> a, b;
  AcquireDirectInput(a);
  AcquireDirectInput(b);
  ASSERT_TRUE(a && a == b);
  ReleaseDirectInput(a);
  EXPECT_FALSE(a);
  EXPECT_EQ(TestDInputLiveInstances(), 1u);
  ReleaseDirectInput(a);  // nil: nothing
  EXPECT_EQ(TestDInputLiveInstances(), 1u);
  ReleaseDirectInput(b);
  EXPECT_EQ(TestDInputLiveInstances(), 0u);

  // The end of the layer frees what is still held.
  AcquireDirectInput(a);
  a.Reset();
  EXPECT_EQ(TestDInputLiveInstances(), 1u);
  DXInputUnitFinalization();
  EXPECT_EQ(TestDInputLiveInstances(), 0u);
}

TEST_F(DXInputTest, WithoutDirectInputTheKeyboardAndJoystickUseTheirFallbacks) {
  WithdrawDirectInput();
  const int32_t stick = TestAttachJoystick(2, 6);
  TDXInput* input = MakeInput();
  EXPECT_EQ(input->DInput(), nullptr);
  EXPECT_TRUE(input->Keyboard()->Initialized());
  EXPECT_EQ(input->Keyboard()->Device(), nullptr);
  EXPECT_EQ(input->Joystick()->JoyID(), 0);
  TestPressKey(VK_NUMPAD0 + 8);
  TestSetJoystickButtons(stick, 1u << 1);
  input->Update();
  EXPECT_EQ(input->States(), (TInputStates{StateUp, StateButton2}));

  EXPECT_EQ(MessageOf<EDXInputError>([&] { input->Mouse()->SetEnabled(true); }),
            "DirectInput is required for mouse support");
  EXPECT_EQ(MessageOf<EDXInputError>([&] { input->Initialize(); }),
            "DirectInput is required for mouse support");
}

TEST_F(DXInputTest, RefusedDirectInputIsNoErrorAndUseDirectInputSwitchesPaths) {
  TestDInputRefuseNext(DInputCall::DirectInputCreate);
  TDXInput* input = MakeInput();
  EXPECT_EQ(input->DInput(), nullptr);
  EXPECT_EQ(input->Keyboard()->Device(), nullptr);
  TestPressKey('K');
  input->Update();
  EXPECT_TRUE(input->States().Contains(StateUp));

  input->SetUseDirectInput(false);
  input->SetUseDirectInput(true);
  EXPECT_NE(input->DInput(), nullptr);
  EXPECT_NE(input->Keyboard()->Device(), nullptr);
  input->SetUseDirectInput(false);
  EXPECT_EQ(input->DInput(), nullptr);
  EXPECT_EQ(input->Keyboard()->Device(), nullptr);
  EXPECT_EQ(TestDInputLiveInstances(), 0u);
}

TEST_F(DXInputTest, ActivationAcquiresTheDevicesAgain) {
  TDXInput* input = MakeInput();
  IDirectInputDevice* keyboard = input->Keyboard()->Device();
  ASSERT_TRUE(TestDInputDevices()[0].acquired) << "the first poll acquires";
  // A read while the program is in the background makes the device notice its loss.
  auto noticeLoss = [&] {
    BYTE keys[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);
    EXPECT_FALSE(TestDInputDevices()[0].acquired);
  };
  TestSetApplicationActive(false);
  noticeLoss();
  TestSetApplicationActive(true);
  ASSERT_EQ(GetForegroundWindow(), form->Handle());
  EXPECT_TRUE(TestDInputDevices()[0].acquired) << "acquired on activation, before any poll";

  // Another form of the program takes the front, then this one is activated again.
  MakeForm();
  noticeLoss();
  SetActiveWindow(form->Handle());
  EXPECT_TRUE(TestDInputDevices()[0].acquired);
}

TEST_F(DXInputTest, ANewWindowOfTheFormIsBoundAgainAndTheHookGoesWithTheComponent) {
  TestSetApplicationActive(false);
  const TWndMethod before = form->WindowProc();
  TDXInput* input = MakeInput();
  EXPECT_FALSE(form->WindowProc() == before);
  const HWND first = form->Handle();
  form->DestroyHandle();
  const HWND second = form->Handle();
  ASSERT_NE(first, second);
  EXPECT_EQ(TestDInputDevices()[0].window, second);
  delete input;
  EXPECT_TRUE(form->WindowProc() == before);
}

TEST_F(DXInputTest, TheFirstOfTwoComponentsFreedFirstLeavesTheOtherHooked) {
  const TWndMethod before = form->WindowProc();
  TDXInput* first = MakeInput();
  TDXInput* second = MakeInput();
  delete first;
  // The remaining component still re-acquires on activation, through a chain that no longer
  // leads through the freed hook.
  ASSERT_FALSE(TestDInputDevices().empty());
  TestDInputLoseDevices();
  TestSetApplicationActive(false);
  TestSetApplicationActive(true);
  for (const DInputDeviceState& device : TestDInputDevices()) EXPECT_TRUE(device.acquired);
  delete second;
  EXPECT_TRUE(form->WindowProc() == before);
  form->Perform(WM_ACTIVATE, WA_ACTIVE, 0);
}

TEST_F(DXInputTest, DevicePropertiesTakeNoOtherDevice) {
  TDXInput* input = MakeInput();
  EXPECT_EQ(MessageOf<EConvertError>([&] { input->SetJoystick(nullptr); }),
            "nil kann nicht zu TJoystick zugewiesen werden");
  // Not even a device of the same kind is copied.
  TDXInput* other = MakeInput();
  EXPECT_EQ(MessageOf<EConvertError>([&] { input->SetMouse(other->Mouse()); }),
            "TMouse kann nicht zu TMouse zugewiesen werden");
}

// The settings the game's main form stores for its input component.
constexpr const char* kStoredInput = R"(
object Form1: TForm
  object DXInput1: TDXInput
    ActiveOnly = True
    Joystick.BindInputStates = True
    Joystick.Enabled = True
    Joystick.ForceFeedback = False
    Joystick.AutoCenter = True
    Joystick.DeadZoneX = 40
    Joystick.DeadZoneY = 50
    Joystick.DeadZoneZ = 50
    Joystick.ID = 0
    Joystick.RangeX = 500
    Joystick.RangeY = 1000
    Joystick.RangeZ = 1000
    Keyboard.BindInputStates = True
    Keyboard.Enabled = False
    Keyboard.ForceFeedback = False
    Mouse.BindInputStates = False
    Mouse.Enabled = False
    Mouse.ForceFeedback = False
    UseDirectInput = True
  end
end
)";

TEST_F(DXInputTest, LoadsFromTheFormsSettingsAndStartsAtOnce) {
  TestAttachJoystick(2, 2);
  ReadComponentText(kStoredInput, form);
  auto* input = dynamic_cast<TDXInput*>(form->FindComponent("DXInput1"));
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(input->Joystick()->DeadZoneX(), 40);
  EXPECT_EQ(input->Joystick()->RangeX(), 500);
  EXPECT_FALSE(input->Keyboard()->Enabled());
  // Loaded initialised everything the settings enable, once they were all read.
  EXPECT_NE(input->DInput(), nullptr);
  EXPECT_TRUE(input->Joystick()->Initialized());
  EXPECT_FALSE(input->Keyboard()->Initialized());
  EXPECT_EQ(input->Joystick()->JoyState().lX, 0);

  // Written back, every input property is there, the keyboard's table and the three effect
  // trees included.
  TMemoryStream written;
  WriteComponent(written, input);
  const std::string bytes(static_cast<const char*>(written.Memory()), written.Size());
  for (const char* name : {"ActiveOnly", "UseDirectInput", "Joystick.ID", "Joystick.RangeZ",
                           "Joystick.DeadZoneZ", "Joystick.Effects.Effects", "Keyboard.Assigns",
                           "Keyboard.Effects.Effects", "Mouse.Effects.Effects", "Mouse.Enabled"})
    EXPECT_NE(bytes.find(name), std::string::npos) << name;
  EXPECT_EQ(bytes.find("Aissgns"), std::string::npos);

  auto* copy = new TDXInput(MakeForm());
  written.SetPosition(0);
  ReadComponent(written, copy);
  EXPECT_EQ(copy->Joystick()->RangeX(), 500);
  EXPECT_EQ(copy->Joystick()->DeadZoneX(), 40);
  EXPECT_FALSE(copy->Keyboard()->Enabled());
  EXPECT_EQ(copy->Keyboard()->Assigns(), DefaultKeyAssigns());
  EXPECT_TRUE(copy->Joystick()->Initialized());
}

}  // namespace
