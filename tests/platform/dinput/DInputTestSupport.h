// A fixture with a fresh platform, a shown top-level window in the foreground and a DirectInput
// object; it checks that every DirectInput object made during the test is gone afterwards.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/TestControl.h"
#include "platform/kernel/ComPtr.h"
#include "platform/user/User.h"

class DInputFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TestResetPlatform();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &DefWindowProcA;
    windowClass.lpszClassName = "DInputTestWindow";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    window = NewWindow();
    ASSERT_EQ(GetForegroundWindow(), window);
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0700, directInput.ReleaseAndGetAddressOf(), nullptr),
              DI_OK);
  }

  void TearDown() override {
    directInput.Reset();
    EXPECT_EQ(TestDInputLiveInstances(), 0u) << "a DirectInput object was not released";
    EXPECT_TRUE(TestDInputDevices().empty()) << "a device was not released";
    EXPECT_TRUE(TestDInputEffects().empty()) << "an effect was not released";
    TestResetPlatform();
  }

  // A shown top-level window; it becomes the foreground window.
  static HWND NewWindow() {
    return CreateWindowExA(0, "DInputTestWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                           nullptr, nullptr, nullptr, nullptr);
  }

  ComPtr<IDirectInputDevice> CreateDevice(const GUID& guid) {
    ComPtr<IDirectInputDevice> device;
    EXPECT_EQ(directInput->CreateDevice(guid, device.ReleaseAndGetAddressOf(), nullptr), DI_OK);
    return device;
  }

  // Acquired in the given cooperative level, bound to the test window, with the format given.
  ComPtr<IDirectInputDevice> AcquiredDevice(const GUID& guid, const DIDATAFORMAT& format,
                                            DWORD level = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND) {
    ComPtr<IDirectInputDevice> device = CreateDevice(guid);
    if (!device) return device;
    EXPECT_EQ(device->SetDataFormat(&format), DI_OK);
    EXPECT_EQ(device->SetCooperativeLevel(window, level), DI_OK);
    EXPECT_EQ(device->Acquire(), DI_OK);
    return device;
  }

  ComPtr<IDirectInput> directInput;
  HWND window = nullptr;
};

// A data format of the given objects, kept together with them.
struct OwnedFormat {
  OwnedFormat(DWORD flags, DWORD dataSize, std::vector<DIOBJECTDATAFORMAT> formatObjects)
      : objects(std::move(formatObjects)) {
    format = {sizeof(DIDATAFORMAT),
              sizeof(DIOBJECTDATAFORMAT),
              flags,
              dataSize,
              static_cast<DWORD>(objects.size()),
              objects.data()};
  }
  OwnedFormat(const OwnedFormat&) = delete;
  OwnedFormat& operator=(const OwnedFormat&) = delete;

  std::vector<DIOBJECTDATAFORMAT> objects;
  DIDATAFORMAT format;
};

// The objects a device lists, as the input component copies them into its joystick format:
// every object with data inside the given size, pointing at a copy of its type GUID.
struct FormatFromObjects {
  FormatFromObjects(IDirectInputDevice* device, DWORD flags, DWORD dataSize) : limit(dataSize) {
    guids.reserve(256);  // the objects point into it
    EXPECT_EQ(device->EnumObjects(&Collect, this, DIDFT_ALL), DI_OK);
    format = {24, 16, flags, dataSize, static_cast<DWORD>(objects.size()), objects.data()};
  }
  static BOOL Collect(const DIDEVICEOBJECTINSTANCE* object, void* context) {
    auto* self = static_cast<FormatFromObjects*>(context);
    if (!(object->guidType == GUID_Unknown) && object->dwOfs < self->limit &&
        self->guids.size() < 256) {
      self->guids.push_back(object->guidType);
      self->objects.push_back({&self->guids.back(), object->dwOfs, object->dwType, 0});
    }
    return DIENUM_CONTINUE;
  }
  std::vector<GUID> guids;
  std::vector<DIOBJECTDATAFORMAT> objects;
  DWORD limit;
  DIDATAFORMAT format;
};

// What EnumObjects reports of one object, collected by ListObject into a vector of these.
struct ListedObject {
  GUID type;
  DWORD offset;
  DWORD typeBits;
};

inline BOOL ListObject(const DIDEVICEOBJECTINSTANCE* object, void* context) {
  static_cast<std::vector<ListedObject>*>(context)->push_back(
      {object->guidType, object->dwOfs, object->dwType});
  return DIENUM_CONTINUE;
}
