#include <string>

#include "DInputTestSupport.h"
#include "platform/host/Platform.h"

namespace {

using DirectInputTest = DInputFixture;

struct ListedDevice {
  GUID instance;
  DWORD devType;
  std::string name;
};

BOOL ListDevice(const DIDEVICEINSTANCE* instance, void* context) {
  static_cast<std::vector<ListedDevice>*>(context)->push_back(
      {instance->guidInstance, instance->dwDevType, instance->tszInstanceName});
  return DIENUM_CONTINUE;
}

std::vector<ListedDevice> Listed(IDirectInput* directInput, DWORD type, DWORD flags) {
  std::vector<ListedDevice> devices;
  EXPECT_EQ(directInput->EnumDevices(type, &ListDevice, &devices, flags), DI_OK);
  return devices;
}

}  // namespace

TEST_F(DirectInputTest, ModuleOffersTheCreationEntryUnderAnyCase) {
  RegisterDirectInputModule();
  HMODULE module = LoadLibraryA("DINPUT.DLL");
  ASSERT_NE(module, nullptr);
  using Create = HRESULT (*)(HINSTANCE, DWORD, IDirectInput**, IUnknown*);
  auto create = reinterpret_cast<Create>(GetProcAddress(module, "DirectInputCreateA"));
  ASSERT_NE(create, nullptr);
  EXPECT_EQ(GetProcAddress(module, "DirectInputCreateW"), nullptr);
  IDirectInput* made = nullptr;
  ASSERT_EQ(create(nullptr, 0x0700, &made, nullptr), DI_OK);
  EXPECT_EQ(TestDInputLiveInstances(), 2u);
  made->Release();
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(DirectInputTest, PlatformStartOffersTheModule) {
  UnregisterBuiltinModule("DInput.dll");
  ASSERT_EQ(LoadLibraryA("DInput.dll"), nullptr);
  ASSERT_TRUE(PlatformStartup());
  HMODULE module = LoadLibraryA("DInput.dll");
  EXPECT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "DirectInputCreateA"), nullptr);
  FreeLibrary(module);
  PlatformShutdown();
}

TEST_F(DirectInputTest, CreationChecksVersionAggregationAndRefusals) {
  IDirectInput* made = reinterpret_cast<IDirectInput*>(1);
  EXPECT_EQ(DirectInputCreateA(nullptr, 0x0800, &made, nullptr), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(made, nullptr) << "a failed creation leaves no interface behind";
  EXPECT_EQ(DirectInputCreateA(nullptr, 0x0650, &made, nullptr), DIERR_BETADIRECTINPUTVERSION);
  EXPECT_EQ(DirectInputCreateA(nullptr, 0, &made, nullptr), DIERR_BETADIRECTINPUTVERSION);
  EXPECT_EQ(DirectInputCreateA(nullptr, 0x0700, &made, directInput.Get()), DIERR_NOAGGREGATION);
  EXPECT_EQ(DirectInputCreateA(nullptr, 0x0700, nullptr, nullptr), DIERR_INVALIDPARAM);

  TestDInputRefuseNext(DInputCall::DirectInputCreate, DIERR_OUTOFMEMORY);
  EXPECT_EQ(DirectInputCreateA(nullptr, 0x0700, &made, nullptr), DIERR_OUTOFMEMORY);
  EXPECT_EQ(made, nullptr);
  ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &made, nullptr), DI_OK) << "one refusal only";
  EXPECT_EQ(TestDInputLiveInstances(), 2u);
  made->Release();
  EXPECT_EQ(TestDInputLiveInstances(), 1u);
}

TEST_F(DirectInputTest, ReferencesKeepObjectsAliveUntilTheLastRelease) {
  IDirectInput* second = nullptr;
  ASSERT_EQ(directInput->QueryInterface(IID_IDirectInput, reinterpret_cast<void**>(&second)), S_OK);
  EXPECT_EQ(second, directInput.Get());
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(directInput->QueryInterface(IID_IDirectInputDevice, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  second->Release();

  // A device holds its DirectInput object; the object goes with the device's last reference.
  IDirectInputDevice* keyboard = nullptr;
  ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
  directInput.Reset();
  EXPECT_EQ(TestDInputLiveInstances(), 1u);
  IDirectInputDevice2* keyboard2 = nullptr;
  ASSERT_EQ(keyboard->QueryInterface(IID_IDirectInputDevice2, reinterpret_cast<void**>(&keyboard2)),
            S_OK);
  EXPECT_EQ(keyboard->Release(), 1u);
  EXPECT_EQ(TestDInputDevices().size(), 1u);
  EXPECT_EQ(keyboard2->Release(), 0u);
  EXPECT_TRUE(TestDInputDevices().empty());
  EXPECT_EQ(TestDInputLiveInstances(), 0u);
}

TEST_F(DirectInputTest, SecondDeviceInterfaceCanBeRefused) {
  ComPtr<IDirectInputDevice> joystick;
  TestAttachJoystick(2, 4);
  joystick = CreateDevice(GUID_Joystick);
  ASSERT_TRUE(joystick);
  TestDInputRefuseNext(DInputCall::QueryDevice2, E_NOINTERFACE);
  void* second = reinterpret_cast<void*>(1);
  EXPECT_EQ(joystick->QueryInterface(IID_IDirectInputDevice2, &second), E_NOINTERFACE);
  EXPECT_EQ(second, nullptr);
}

TEST_F(DirectInputTest, DeviceCreationFindsSystemDevicesAndAttachedJoysticksOnly) {
  IDirectInputDevice* device = reinterpret_cast<IDirectInputDevice*>(1);
  EXPECT_EQ(directInput->CreateDevice(GUID_Joystick, &device, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(directInput->CreateDevice(GUID_XAxis, &device, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(directInput->CreateDevice(GUID_SysMouse, &device, directInput.Get()),
            DIERR_NOAGGREGATION);
  TestDInputRefuseNext(DInputCall::CreateDevice, DIERR_OUTOFMEMORY);
  EXPECT_EQ(directInput->CreateDevice(GUID_SysMouse, &device, nullptr), DIERR_OUTOFMEMORY);

  TestAttachJoystick(2, 2);
  TestAttachJoystick(3, 8);
  std::vector<ListedDevice> joysticks = Listed(directInput.Get(), DIDEVTYPE_JOYSTICK, 0);
  ASSERT_EQ(joysticks.size(), 2u);
  ComPtr<IDirectInputDevice> first = CreateDevice(GUID_Joystick);
  ComPtr<IDirectInputDevice> second = CreateDevice(joysticks[1].instance);
  ASSERT_TRUE(first && second);
  std::vector<DInputDeviceState> devices = TestDInputDevices();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].joystick, 0) << "GUID_Joystick names the first joystick";
  EXPECT_EQ(devices[0].instance, joysticks[0].instance);
  EXPECT_EQ(devices[1].joystick, 1);

  TestRemoveJoystick(1);
  EXPECT_EQ(directInput->CreateDevice(joysticks[1].instance, &device, nullptr), DIERR_DEVICENOTREG);
}

TEST_F(DirectInputTest, EnumerationListsKeyboardMouseAndEachAttachedJoystick) {
  std::vector<ListedDevice> all = Listed(directInput.Get(), 0, DIEDFL_ATTACHEDONLY);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].instance, GUID_SysKeyboard);
  EXPECT_EQ(GET_DIDEVICE_TYPE(all[0].devType), DIDEVTYPE_KEYBOARD);
  EXPECT_EQ(all[1].instance, GUID_SysMouse);
  EXPECT_EQ(GET_DIDEVICE_TYPE(all[1].devType), DIDEVTYPE_MOUSE);
  EXPECT_TRUE(Listed(directInput.Get(), DIDEVTYPE_JOYSTICK, DIEDFL_ATTACHEDONLY).empty());

  TestAttachJoystick(2, 4);
  TestAttachJoystick(4, 12, true);
  std::vector<ListedDevice> joysticks =
      Listed(directInput.Get(), DIDEVTYPE_JOYSTICK, DIEDFL_ATTACHEDONLY);
  ASSERT_EQ(joysticks.size(), 2u);
  EXPECT_EQ(joysticks[0].name, "Test joystick");
  EXPECT_EQ(GET_DIDEVICE_TYPE(joysticks[0].devType), DIDEVTYPE_JOYSTICK);
  EXPECT_FALSE(joysticks[0].instance == joysticks[1].instance);
  EXPECT_EQ(Listed(directInput.Get(), 0, 0).size(), 4u);
  EXPECT_EQ(Listed(directInput.Get(), DIDEVTYPE_KEYBOARD, 0).size(), 1u);

  EXPECT_TRUE(Listed(directInput.Get(), 0, DIEDFL_FORCEFEEDBACK).empty());
  TestDInputSetForceFeedback(true);
  EXPECT_EQ(Listed(directInput.Get(), 0, DIEDFL_FORCEFEEDBACK).size(), 2u);

  // The callback ends the enumeration by answering DIENUM_STOP.
  int32_t calls = 0;
  auto stopAtFirst = [](const DIDEVICEINSTANCE*, void* context) -> BOOL {
    ++*static_cast<int32_t*>(context);
    return DIENUM_STOP;
  };
  EXPECT_EQ(directInput->EnumDevices(0, stopAtFirst, &calls, 0), DI_OK);
  EXPECT_EQ(calls, 1);

  EXPECT_EQ(directInput->EnumDevices(0, nullptr, nullptr, 0), DIERR_INVALIDPARAM);
  EXPECT_EQ(directInput->EnumDevices(9, stopAtFirst, &calls, 0), DIERR_INVALIDPARAM);
  TestDInputRefuseNext(DInputCall::EnumDevices);
  EXPECT_EQ(directInput->EnumDevices(0, stopAtFirst, &calls, 0), DIERR_GENERIC);
  EXPECT_EQ(calls, 1);
}
