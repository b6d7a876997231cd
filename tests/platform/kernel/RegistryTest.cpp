#include <gtest/gtest.h>

#include <cstring>

#include "platform/TestControl.h"
#include "platform/kernel/LastError.h"
#include "platform/kernel/Registry.h"

namespace {

constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\DirectXDrivers";

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { TestResetPlatform(); }
};

TEST_F(RegistryTest, TheSetupLibraryKeyIsAbsent) {
  HKEY key = reinterpret_cast<HKEY>(uintptr_t{1});
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(key, nullptr);
}

TEST_F(RegistryTest, StoredStringReadsBackWithItsTerminator) {
  RegistrySetString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString",
                    "C:\\WINDOWS\\system32\\dxsetup.exe");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\MICROSOFT\\windows\\CurrentVersion"
                                              "\\Uninstall\\DirectXDrivers",
                          0, KEY_READ, &key),
            static_cast<LONG>(ERROR_SUCCESS));
  BYTE buffer[256] = {};
  DWORD size = sizeof buffer;
  DWORD type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "uninstallstring", nullptr, &type, buffer, &size),
            static_cast<LONG>(ERROR_SUCCESS));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "C:\\WINDOWS\\system32\\dxsetup.exe");
  EXPECT_EQ(size, std::strlen("C:\\WINDOWS\\system32\\dxsetup.exe") + 1);
  EXPECT_EQ(RegCloseKey(key), static_cast<LONG>(ERROR_SUCCESS));
  EXPECT_EQ(RegCloseKey(key), static_cast<LONG>(ERROR_INVALID_HANDLE));
}

TEST_F(RegistryTest, ShortBufferIsToldTheSizeAndLeftUntouched) {
  RegistrySetString(HKEY_LOCAL_MACHINE, "A\\B", "Name", "abcdef");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A\\B", 0, KEY_READ, &key), 0);
  BYTE small[4] = {'x', 'x', 'x', 'x'};
  DWORD size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(small[0], 'x');
  size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, nullptr, &size), 0);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, nullptr, small, &size),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  RegCloseKey(key);

  HKEY parent = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, &parent), 0)
      << "keys on the path exist";
  RegCloseKey(parent);
  EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(uintptr_t{77}), "A", 0, KEY_READ, &parent),
            static_cast<LONG>(ERROR_INVALID_HANDLE));
}

}  // namespace
