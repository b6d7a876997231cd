#include "input/Keyboard.h"

#include <gtest/gtest.h>

#include <utility>

#include "InputTestSupport.h"
#include "runtime/ComponentStream.h"
#include "runtime/ComponentStreamText.h"

namespace {

using KeyboardTest = InputTest;

TEST(KeyAssigns, DefaultTableSteersWithCursorKeypadAndHJKL) {
  const TKeyAssignTable assigns = DefaultKeyAssigns();
  EXPECT_EQ(assigns[StateUp], (TKeyAssign{75, 38, 104}));
  EXPECT_EQ(assigns[StateDown], (TKeyAssign{74, 40, 98}));
  EXPECT_EQ(assigns[StateLeft], (TKeyAssign{72, 37, 100}));
  EXPECT_EQ(assigns[StateRight], (TKeyAssign{76, 39, 102}));
  EXPECT_EQ(assigns[StateButton1], (TKeyAssign{90, 32, 0}));
  EXPECT_EQ(assigns[StateButton2], (TKeyAssign{88, 13, 0}));
  EXPECT_EQ(assigns[StateButton9], (TKeyAssign{113, 0, 0}));
  for (TInputState state : {StateButton3, StateButton8, StateButton10, StateButton32})
    EXPECT_EQ(assigns[state], (TKeyAssign{0, 0, 0}));
}

TEST(KeyAssigns, SetKeyAssignKeepsTheFirstThreeAndZeroesTheRest) {
  TKeyAssignTable assigns = DefaultKeyAssigns();
  SetKeyAssign(assigns, StateUp, {1, 2, 3, 4, 5});
  EXPECT_EQ(assigns[StateUp], (TKeyAssign{1, 2, 3}));
  SetKeyAssign(assigns, StateUp, {7});
  EXPECT_EQ(assigns[StateUp], (TKeyAssign{7, 0, 0}));
  SetKeyAssign(assigns, StateUp, {});
  EXPECT_EQ(assigns[StateUp], (TKeyAssign{0, 0, 0}));
  EXPECT_EQ(assigns[StateDown], DefaultKeyAssigns()[StateDown]);
}

TEST(KeyAssigns, ScanCodesMapToVirtualKeys) {
  const std::pair<DWORD, Integer> mapped[] = {
      {DIK_ESCAPE, 27}, {DIK_0, 48},        {DIK_1 + 8, 57},        {DIK_P, 80},
      {DIK_RETURN, 13}, {DIK_APOSTROPHE, 39}, {DIK_Z, 90},          {DIK_CAPITAL, 20},
      {DIK_F1 + 9, 121}, {DIK_SCROLL, 145}, {DIK_DECIMAL, 110},     {DIK_F12, 123},
      {DIK_NUMPADENTER, 13}, {DIK_DIVIDE, 111}, {DIK_PRIOR, 33},    {DIK_DELETE, 46},
      {DIK_APPS, 93},   {DIK_LSHIFT, 16},   {DIK_RSHIFT, 16},       {DIK_RCONTROL, 17},
      {DIK_RMENU, 18}};
  for (const auto& [scanCode, virtualKey] : mapped)
    EXPECT_EQ(DIKToVirtualKey(static_cast<Integer>(scanCode)), virtualKey) << scanCode;
  for (Integer ignored : {0, 12, 41, 84, 86, 89, 155, 222, 255, -1, 256})
    EXPECT_EQ(DIKToVirtualKey(ignored), 0) << ignored;
}

TEST_F(KeyboardTest, HeldKeysSetTheirStatesOnBothPaths) {
  for (bool directInput : {true, false}) {
    SCOPED_TRACE(directInput ? "DirectInput" : "key state");
    TDXInput* input = MakeInput();
    input->SetUseDirectInput(directInput);
    TKeyboard* keyboard = input->Keyboard();
    EXPECT_EQ(keyboard->Device() != nullptr, directInput);
    TestPressKey(VK_UP);
    TestPressKey('K');
    keyboard->Update();
    EXPECT_EQ(keyboard->States(), (TInputStates{StateUp}));
    EXPECT_TRUE(keyboard->Keys(VK_UP) && keyboard->Keys('K'));
    TestReleaseKey('K');
    keyboard->Update();
    EXPECT_EQ(keyboard->States(), (TInputStates{StateUp})) << "one key still holds it";
    TestReleaseKey(VK_UP);
    TestPressKey(VK_F1 + 1);
    keyboard->Update();
    EXPECT_EQ(keyboard->States(), (TInputStates{StateButton9}));
    TestReleaseKey(VK_F1 + 1);
    delete input;
  }
}

TEST_F(KeyboardTest, CodesOutsideOneTo255NeverMatch) {
  TDXInput* input = MakeInput();
  TKeyboard* keyboard = input->Keyboard();
  TKeyAssignTable assigns{};
  SetKeyAssign(assigns, StateButton3, {0, 256, -1});
  keyboard->SetAssigns(assigns);
  // The minus key has no virtual key on this path, so it lands on code 0.
  TestPressKey(VK_OEM_MINUS);
  TestPressKey('A');
  keyboard->Update();
  EXPECT_TRUE(keyboard->States().Empty());
  EXPECT_FALSE(keyboard->Keys(0));
  EXPECT_FALSE(keyboard->Keys(256));
  EXPECT_FALSE(keyboard->Keys(-1));
}

TEST_F(KeyboardTest, DirectInputScanCodesArriveAsTheirVirtualKeys) {
  TDXInput* input = MakeInput();
  TKeyboard* keyboard = input->Keyboard();
  TestPressKey(VK_RSHIFT);
  keyboard->Update();
  EXPECT_TRUE(keyboard->Keys(VK_SHIFT));
  EXPECT_FALSE(keyboard->Keys(VK_RSHIFT));
  TestReleaseKey(VK_RSHIFT);
  TestPressKey(VK_LSHIFT);
  keyboard->Update();
  EXPECT_TRUE(keyboard->Keys(VK_SHIFT));
  TestReleaseKey(VK_LSHIFT);

  // The apostrophe shares its code with Right.
  TestPressKey(VK_OEM_7);
  keyboard->Update();
  EXPECT_EQ(keyboard->States(), (TInputStates{StateRight}));
  TestReleaseKey(VK_OEM_7);
  TestPressKey(VK_OEM_MINUS);
  keyboard->Update();
  EXPECT_TRUE(keyboard->States().Empty());
}

TEST_F(KeyboardTest, AFailedReadIsAnEmptyFrameAndLostInputIsAcquiredAgain) {
  TDXInput* input = MakeInput();
  TKeyboard* keyboard = input->Keyboard();
  TestPressKey(VK_SPACE);
  TestDInputRefuseNext(DInputCall::GetDeviceState);
  keyboard->Update();
  EXPECT_TRUE(keyboard->States().Empty());
  EXPECT_FALSE(keyboard->Keys(VK_SPACE));
  keyboard->Update();
  EXPECT_EQ(keyboard->States(), (TInputStates{StateButton1}));

  TestDInputLoseDevices();
  keyboard->Update();
  EXPECT_EQ(keyboard->States(), (TInputStates{StateButton1})) << "one retry after acquiring";

  // Acquiring fails as well: nothing this frame, no fallback.
  TestDInputLoseDevices();
  TestDInputRefuseNext(DInputCall::Acquire);
  keyboard->Update();
  EXPECT_TRUE(keyboard->States().Empty());
}

TEST_F(KeyboardTest, ARefusedDeviceLeavesTheKeyboardSilentAndTheOthersWorking) {
  const int32_t stick = TestAttachJoystick(2, 2);
  TDXInput* input = new TDXInput(form);
  input->Joystick()->SetEnabled(false);
  TestDInputRefuseNext(DInputCall::CreateDevice);
  input->Initialize();
  EXPECT_FALSE(input->Keyboard()->Initialized());
  EXPECT_EQ(input->Keyboard()->ButtonCount(), 0);
  input->Joystick()->SetEnabled(true);
  EXPECT_TRUE(input->Joystick()->Initialized());
  TestPressKey(VK_LEFT);
  TestSetJoystickButtons(stick, 1);
  input->Update();
  EXPECT_EQ(input->States(), (TInputStates{StateButton1}));
}

TEST_F(KeyboardTest, AssignsAreStoredAs432LittleEndianBytes) {
  TDXInput* input = MakeInput();
  TKeyAssignTable assigns{};
  SetKeyAssign(assigns, StateUp, {0x01020304, -2});
  SetKeyAssign(assigns, StateButton32, {'Q'});
  input->Keyboard()->SetAssigns(assigns);
  TMemoryStream written;
  WriteComponent(written, input);
  const std::string bytes(static_cast<const char*>(written.Memory()), written.Size());
  const std::string name = "Keyboard.Assigns";
  const size_t at = bytes.find(name);
  ASSERT_NE(at, std::string::npos);
  const std::string value = bytes.substr(at + name.size(), 1 + 4 + 432);
  EXPECT_EQ(value.substr(0, 5), std::string("\x0A\xB0\x01\x00\x00", 5)) << "svBinary of 432";
  EXPECT_EQ(value.substr(5, 8), std::string("\x04\x03\x02\x01\xFE\xFF\xFF\xFF", 8));
  EXPECT_EQ(value.substr(5 + 420, 4), std::string("Q\0\0\0", 4));

  auto* copy = new TDXInput(form);
  written.SetPosition(0);
  ReadComponent(written, copy);
  EXPECT_EQ(copy->Keyboard()->Assigns(), assigns);
}

TEST_F(KeyboardTest, TheMisspeltNameStillLoadsAndShortBlocksFail) {
  std::string row(432, '\0');
  row[12 * StateButton4] = 'B';
  std::string hex;
  for (unsigned char byte : row) hex += IntToHex(byte, 2);
  auto* input = new TDXInput(form);
  ReadComponentText("object DXInput1: TDXInput\n Keyboard.Aissgns = {" + hex + "}\nend\n", input);
  EXPECT_EQ(input->Keyboard()->Assigns()[StateButton4], (TKeyAssign{'B', 0, 0}));
  EXPECT_EQ(input->Keyboard()->Assigns()[StateUp], (TKeyAssign{0, 0, 0}));

  auto* other = new TDXInput(form);
  const std::string message = MessageOf<EReadError>([&] {
    ReadComponentText("object DXInput2: TDXInput\n Keyboard.Assigns = {" + hex.substr(2) + "}\nend\n",
                      other);
  });
  EXPECT_NE(message.find("Stream-Lesefehler"), std::string::npos) << message;
  EXPECT_EQ(other->Keyboard()->Assigns(), DefaultKeyAssigns()) << "the table is kept";
}

}  // namespace
