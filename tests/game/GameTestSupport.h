// Shared by the game's tests: a fresh platform with DirectDraw and DirectInput on offer and a
// fresh application object for every test, both ended again (with every form) at the test's
// end. The tests run in the folder of the default assets, which a new game reads.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "dxbase/DXClass.h"
#include "dxbase/DirectX.h"
#include "game/Orvalisunit.h"
#include "game/ReadconfigUnit.h"
#include "images/DIB.h"
#include "platform/TestControl.h"

class GameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FPreviousFolder = std::filesystem::current_path();
    std::filesystem::current_path(ORVALIS_ASSETS_DIR);
    TestResetPlatform();
    RegisterDirectDrawModule();
    RegisterDirectInputModule();
    DirectXUnitInitialization();  // completes the keyboard's data format
    FormsUnitInitialize();
    ImagesUnitInitialize();  // image-list files hold their pictures as registered bitmaps
  }
  void TearDown() override {
    FormsUnitFinalize();
    OrvalisMain = nullptr;
    Readconfig = nullptr;
    ImagesUnitFinalize();
    DXInputUnitFinalization();
    FreeLoadedLibraries();
    DirectXUnitFinalization();
    TestResetPlatform();
    std::filesystem::current_path(FPreviousFolder);
  }

  // The main form, shown: its display is initialised, the program is active and the
  // activation has started a new game.
  void ShowMainForm() {
    Application->CreateForm(OrvalisMain);
    OrvalisMain->Show();
    Application->ProcessMessages();
  }

 private:
  std::filesystem::path FPreviousFolder;
};

// Runs the test in a fresh empty folder (for files the test writes itself), removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    // mkdtemp makes the name unique across the test processes that run side by side.
    std::string pattern = (std::filesystem::temp_directory_path() / "orvalis-game-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make " + pattern);
    FPath = pattern;
    FPrevious = std::filesystem::current_path();
    std::filesystem::current_path(FPath);
  }
  ~ScratchFolder() {
    std::filesystem::current_path(FPrevious);
    std::filesystem::remove_all(FPath);
  }
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath, FPrevious;
};
