#include <gtest/gtest.h>

#include "platform/kernel/LastError.h"
#include "platform/kernel/Modules.h"

namespace {

int Answer() { return 42; }

class ModulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterBuiltinModule("Sample.dll", {{"Answer", reinterpret_cast<FARPROC>(&Answer)}});
  }
  void TearDown() override {
    // Whatever a failing test left loaded is released, so the next one starts unloaded.
    if (HMODULE module = LoadLibraryA("Sample.dll"))
      while (ModuleReferenceCount("Sample.dll") > 0) FreeLibrary(module);
    UnregisterBuiltinModule("Sample.dll");
  }
};

TEST_F(ModulesTest, NamesMatchWithoutRegardToCaseOrDirectoryOrExtension) {
  HMODULE plain = LoadLibraryA("Sample.dll");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(LoadLibraryA("SAMPLE.DLL"), plain);
  EXPECT_EQ(LoadLibraryA("sample"), plain);
  EXPECT_EQ(LoadLibraryA("C:\\Windows\\System\\sample.dll"), plain);
  EXPECT_EQ(ModuleReferenceCount("sample.DLL"), 4);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(FreeLibrary(plain));
}

TEST_F(ModulesTest, ModulesNotOfferedFailToLoad) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("D3DXOF.DLL"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryA(""), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(LoadLibraryA("Sample.exe"), nullptr);
}

TEST_F(ModulesTest, ExportsAreFoundByExactNameOnly) {
  HMODULE module = LoadLibraryA("Sample.dll");
  FARPROC answer = GetProcAddress(module, "Answer");
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(reinterpret_cast<int (*)()>(answer)(), 42);
  EXPECT_EQ(GetProcAddress(module, "answer"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(module, "Missing"), nullptr);
  EXPECT_EQ(GetProcAddress(module, reinterpret_cast<const char*>(uintptr_t{1})), nullptr);
  EXPECT_EQ(GetProcAddress(module, nullptr), nullptr);
  FreeLibrary(module);
}

TEST_F(ModulesTest, LoadingCountsReferencesAndTheLastFreeUnloads) {
  HMODULE first = LoadLibraryA("Sample.dll");
  HMODULE second = LoadLibraryA("Sample.dll");
  EXPECT_EQ(ModuleReferenceCount("Sample.dll"), 2);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_NE(GetProcAddress(second, "Answer"), nullptr);
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(ModuleReferenceCount("Sample.dll"), 0);
  EXPECT_EQ(GetProcAddress(second, "Answer"), nullptr);
  EXPECT_FALSE(FreeLibrary(second));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST_F(ModulesTest, WithdrawnModuleStaysUsableUntilReleasedButCannotBeLoadedAgain) {
  HMODULE module = LoadLibraryA("Sample.dll");
  UnregisterBuiltinModule("Sample.dll");
  EXPECT_EQ(LoadLibraryA("Sample.dll"), nullptr);
  EXPECT_NE(GetProcAddress(module, "Answer"), nullptr);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(LoadLibraryA("Sample.dll"), nullptr);
}

}  // namespace
