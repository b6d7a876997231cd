#include "dxbase/DXClass.h"

#include <gtest/gtest.h>

#include "dxbase/DXConsts.h"

namespace {

int ExportA() { return 1; }
int ExportB() { return 2; }

FARPROC Proc(int (*f)()) { return reinterpret_cast<FARPROC>(f); }

// A module of our own in the platform's table, withdrawn and unloaded after each test.
class LibraryLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterBuiltinModule("LoaderTest.dll", {{"ExportA", Proc(ExportA)}, {"ExportB", Proc(ExportB)}});
  }
  void TearDown() override {
    FreeLoadedLibraries();
    UnregisterBuiltinModule("LoaderTest.dll");
  }
};

std::string NotLoadedText(const std::string& dllName, const std::string& procName) {
  try {
    LoadLibraryProc(dllName, procName);
  } catch (const Exception& e) {
    EXPECT_EQ(typeid(e), typeid(Exception));  // the base class itself, not a descendant
    return e.Message();
  }
  return "(nothing raised)";
}

class CountingDirectX : public TDirectX {
 public:
  int Checks = 0;
  HRESULT ResultSeenByCheck = 0;

 protected:
  void Check() override {
    ++Checks;
    ResultSeenByCheck = DXResult();
  }
};

}  // namespace

TEST_F(LibraryLoader, LoadsOnFirstUseAndFindsTheLibraryAgainWhateverTheCase) {
  EXPECT_EQ(ModuleReferenceCount("LoaderTest.dll"), 0);
  EXPECT_EQ(LoadLibraryProc("LoaderTest.dll", "ExportA"), Proc(ExportA));
  EXPECT_EQ(ModuleReferenceCount("LoaderTest.dll"), 1);
  EXPECT_EQ(LoadLibraryProc("LOADERTEST.DLL", "ExportB"), Proc(ExportB));
  EXPECT_EQ(LoadLibraryProc("loadertest.dll", "ExportA"), Proc(ExportA));
  EXPECT_EQ(ModuleReferenceCount("LoaderTest.dll"), 1);  // one load for all spellings
  FreeLoadedLibraries();
  EXPECT_EQ(ModuleReferenceCount("LoaderTest.dll"), 0);
}

TEST_F(LibraryLoader, AMissingExportNamesTheLibraryAndKeepsItCached) {
  EXPECT_EQ(NotLoadedText("LoaderTest.DLL", "NoSuchExport"), "LoaderTest.DLL is not loaded");
  EXPECT_EQ(ModuleReferenceCount("LoaderTest.dll"), 1);
  EXPECT_EQ(LoadLibraryProc("LoaderTest.dll", "ExportA"), Proc(ExportA));
  EXPECT_EQ(ModuleReferenceCount("LoaderTest.dll"), 1);
}

TEST_F(LibraryLoader, AMissingLibraryIsNotCachedSoALaterCallTriesAgain) {
  EXPECT_EQ(NotLoadedText("Later.dll", "Proc"), "Later.dll is not loaded");
  EXPECT_EQ(NotLoadedText("D3DXOF.DLL", "DirectXFileCreate"), "D3DXOF.DLL is not loaded");
  RegisterBuiltinModule("Later.dll", {{"Proc", Proc(ExportA)}});
  EXPECT_EQ(LoadLibraryProc("Later.dll", "Proc"), Proc(ExportA));
  FreeLoadedLibraries();
  UnregisterBuiltinModule("Later.dll");
}

TEST(TDirectX, SetDXResultChecksEveryFailureOnce) {
  CountingDirectX directX;
  EXPECT_TRUE(directX.InheritsFrom(&TPersistent::StaticClassInfo()));
  EXPECT_EQ(directX.DXResult(), 0);
  directX.SetDXResult(0);
  EXPECT_EQ(directX.Checks, 0);
  directX.SetDXResult(E_FAIL);
  EXPECT_EQ(directX.Checks, 1);
  EXPECT_EQ(directX.ResultSeenByCheck, E_FAIL);  // stored before Check runs
  directX.SetDXResult(S_FALSE);
  EXPECT_EQ(directX.Checks, 2);
  directX.SetDXResult(0);
  EXPECT_EQ(directX.Checks, 2);
  EXPECT_EQ(directX.DXResult(), 0);
}

TEST(ColorPacking, PacksDirect3DColours) {
  EXPECT_EQ(PackColorRGBf(1, 1, 1), 0xFFFFFFFFu);
  EXPECT_EQ(PackColorRGBf(0, 0, 0), 0xFF000000u);
  EXPECT_EQ(PackColorRGBf(0.5f, 0, 0), 0xFF800000u);  // 127.5 rounds to the even 128
  EXPECT_EQ(PackColorRGBf(0, 0.5f / 255 * 3, 0.2f), 0xFF000233u);  // 1.5 -> 2, 51 -> 0x33
  EXPECT_EQ(PackColorRGB(0x12, 0x34, 0x56), 0x123456u);
  EXPECT_EQ(PackColorRGB(0x1FF, 0, 0), 0x1FF0000u);  // no masking
}

TEST(MaxMin, SignedComparison) {
  EXPECT_EQ(Max(-5, 3), 3);
  EXPECT_EQ(Min(-5, 3), -5);
  EXPECT_EQ(Max(INT32_MIN, INT32_MAX), INT32_MAX);
  EXPECT_EQ(Min(7, 7), 7);
}

TEST(Exceptions, DisplayErrorsFollowTheirHierarchyAndTexts) {
  EXPECT_THROW(throw EDirectDrawSurfaceError(MsgNotMade, {"IDirectDrawSurface"}), EDirectDrawError);
  EXPECT_THROW(throw EDirectDrawClipperError("x"), EDirectXError);
  EXPECT_THROW(throw EDXDrawError("x"), Exception);
  EXPECT_EQ(EDXDrawError(MsgDisplayModeNotChanged, {640, 480, 16}).Message(),
            "Display mode cannot be changed (640x480 16bit)");
  EXPECT_EQ(EDirectDrawClipperError(MsgCannotBeMade, {ObjNameClipper}).Message(),
            "Clipper cannot be made");
  EXPECT_EQ(EPictureCollectionError(MsgCannotBeInitialized, {"TPictureCollection"}).Message(),
            "TPictureCollection cannot be initialized");
}
