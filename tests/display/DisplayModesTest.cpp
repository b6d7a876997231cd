#include "display/DisplayModes.h"

#include "DisplayTestSupport.h"
#include "display/DXDraw.h"

namespace {

// A display control on a form; initialised in full screen on request, so that modes can be set.
class DisplayModesTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    form = MakeForm();
    dx = new TDXDraw(form);
    dx->SetAutoInitialize(false);
    dx->SetParent(form);
    dx->SetOptions({doFullScreen});
    display = dx->Display();
  }

  // Offers these modes and initialises at the first of them.
  void InitializeWith(const std::vector<DDrawDisplayMode>& modes) {
    TestDDrawSetDisplayModes(modes);
    display->SetWidth(modes.front().width);
    display->SetHeight(modes.front().height);
    display->SetBitCount(modes.front().bitCount);
    dx->Initialize();
  }

  void Flags(bool fixedSize, bool fixedRatio, bool fixedBitCount) {
    display->SetFixedSize(fixedSize);
    display->SetFixedRatio(fixedRatio);
    display->SetFixedBitCount(fixedBitCount);
  }

  // SetSize, and the mode the display is in afterwards.
  DDrawDisplayMode Request(Integer width, Integer height, Integer bitCount, bool* result = nullptr) {
    const bool set = display->SetSize(width, height, bitCount);
    if (result) *result = set;
    return TestDDrawCurrentDisplayMode();
  }

  TForm* form = nullptr;
  TDXDraw* dx = nullptr;
  TDXDrawDisplay* display = nullptr;
};

}  // namespace

TEST_F(DisplayModesTest, WritersKeepValuesInRange) {
  EXPECT_EQ(display->Width(), 640);
  EXPECT_EQ(display->Height(), 480);
  EXPECT_EQ(display->BitCount(), 16);
  EXPECT_FALSE(display->FixedBitCount());
  EXPECT_TRUE(display->FixedRatio());
  EXPECT_TRUE(display->FixedSize());

  display->SetWidth(-5);
  display->SetHeight(-1);
  EXPECT_EQ(display->Width(), 0);
  EXPECT_EQ(display->Height(), 0);
  display->SetBitCount(24);
  EXPECT_EQ(MessageOf<EDirectDrawError>([&] { display->SetBitCount(15); }),
            "Display requires 8, 16, 24 or 32 bits");
  EXPECT_EQ(display->BitCount(), 24);
}

TEST_F(DisplayModesTest, AssignCopiesTheRequestNotTheModes) {
  TDXDrawDisplay other(dx);
  other.SetWidth(1024);
  other.SetHeight(768);
  other.SetBitCount(32);
  other.SetFixedBitCount(true);
  other.SetFixedRatio(false);
  other.SetFixedSize(false);
  ASSERT_GT(other.Count(), 0);
  dx->SetDisplay(&other);
  EXPECT_EQ(display->Width(), 1024);
  EXPECT_EQ(display->Height(), 768);
  EXPECT_EQ(display->BitCount(), 32);
  EXPECT_TRUE(display->FixedBitCount());
  EXPECT_FALSE(display->FixedRatio());
  EXPECT_FALSE(display->FixedSize());
  display->Assign(display);
  EXPECT_EQ(display->Width(), 1024);
  EXPECT_THROW(display->Assign(form), Exception);  // not a display: the class library's error
}

TEST_F(DisplayModesTest, ModeListIsSortedAndLoadedOnce) {
  TestDDrawSetDisplayModes({{800, 600, 32}, {640, 480, 32}, {800, 600, 16}, {640, 400, 16}, {1024, 768, 16}});
  // Not initialised: a DirectDraw object of its own is made for the enumeration.
  ASSERT_EQ(display->Count(), 5);
  std::vector<DDrawDisplayMode> listed;
  for (Integer i = 0; i < display->Count(); ++i) {
    const TDXDrawDisplayMode* mode = display->Modes(i);
    listed.push_back({mode->Width(), mode->Height(), mode->BitCount()});
  }
  EXPECT_EQ(listed, (std::vector<DDrawDisplayMode>{
                        {640, 400, 16}, {640, 480, 32}, {800, 600, 16}, {800, 600, 32}, {1024, 768, 16}}));
  EXPECT_EQ(display->IndexOf(800, 600, 32), 3);
  EXPECT_EQ(display->IndexOf(800, 600, 24), -1);
  EXPECT_EQ(TestDDrawLiveSurfaces(), 0u);

  // Kept, even when the platform's offer changes.
  TestDDrawSetDisplayModes({{640, 480, 16}});
  EXPECT_EQ(display->Count(), 5);
  display->ClearModes();
  EXPECT_EQ(display->Count(), 1);
}

TEST_F(DisplayModesTest, FailedEnumerationLeavesTheListEmptyForNow) {
  display->ClearModes();
  TestDDrawRefuseNext(DDrawCall::EnumDisplayModes);
  EXPECT_EQ(display->Count(), 0);
  EXPECT_GT(display->Count(), 0);  // tried again

  display->ClearModes();
  TestDDrawRefuseNext(DDrawCall::DirectDrawCreate);
  EXPECT_EQ(MessageOf<EDirectDrawError>([&] { display->Count(); }), "DirectDraw cannot be initialized");
  EXPECT_GT(display->Count(), 0);
}

TEST_F(DisplayModesTest, SetSizeNeedsAValidRequestAndADirectDrawObject) {
  bool result = true;
  EXPECT_FALSE(display->SetSize(640, 480, 16));  // not initialised: no DirectDraw object
  InitializeWith({{640, 480, 16}, {800, 600, 32}});
  const DDrawDisplayMode before = TestDDrawCurrentDisplayMode();
  EXPECT_EQ(Request(0, 480, 16, &result), before);
  EXPECT_FALSE(result);
  EXPECT_EQ(Request(640, 480, 15, &result), before);
  EXPECT_FALSE(result);
  EXPECT_EQ(Request(800, 600, 32, &result), (DDrawDisplayMode{800, 600, 32}));
  EXPECT_TRUE(result);
  EXPECT_EQ(display->Width(), 800);
  EXPECT_EQ(display->BitCount(), 32);
}

TEST_F(DisplayModesTest, NearestModeKeepsTheRatioFirst) {
  InitializeWith({{640, 480, 16}, {800, 600, 16}, {800, 600, 32}, {1024, 768, 32}});
  Flags(false, true, true);
  EXPECT_EQ(Request(1024, 600, 32), (DDrawDisplayMode{1024, 768, 32}));
  EXPECT_EQ(display->Width(), 1024);
  EXPECT_EQ(display->Height(), 768);

  // Of two acceptable sizes of the same ratio, the smaller.
  TestDDrawSetDisplayModes({{640, 480, 16}, {1280, 960, 32}, {1024, 768, 32}, {1024, 600, 32}});
  display->ClearModes();
  EXPECT_EQ(Request(960, 720, 32), (DDrawDisplayMode{1024, 768, 32}));
  // Without the ratio rule the smaller size of another ratio wins.
  Flags(false, false, true);
  EXPECT_EQ(Request(960, 580, 32), (DDrawDisplayMode{1024, 600, 32}));
}

TEST_F(DisplayModesTest, NearestModeBitCountRules) {
  InitializeWith({{640, 480, 16}, {800, 600, 16}, {800, 600, 32}, {1024, 768, 8}, {1280, 1024, 32}});
  Flags(false, true, false);
  // The last acceptable bit count at the first acceptable size.
  EXPECT_EQ(Request(800, 600, 24), (DDrawDisplayMode{800, 600, 32}));
  EXPECT_EQ(display->BitCount(), 32);
  // 16 and 32 bits stand in for each other; 8 bits never stands in for more.
  EXPECT_EQ(Request(1280, 1024, 16), (DDrawDisplayMode{1280, 1024, 32}));
  bool result = true;
  Flags(true, true, false);
  EXPECT_EQ(Request(1024, 768, 16, &result), (DDrawDisplayMode{1280, 1024, 32}));
  EXPECT_FALSE(result);
  // A request for 8 bits takes any.
  EXPECT_EQ(Request(1280, 1024, 8, &result), (DDrawDisplayMode{1280, 1024, 32}));
  EXPECT_TRUE(result);

  // When the exact mode is listed but refused once, the search comes back to its bit count.
  Flags(true, true, false);
  TestDDrawRefuseNext(DDrawCall::SetDisplayMode);
  EXPECT_EQ(Request(800, 600, 16, &result), (DDrawDisplayMode{800, 600, 16}));
  EXPECT_TRUE(result);
}

TEST_F(DisplayModesTest, FixedSizeOnlyChangesTheBitCount) {
  InitializeWith({{640, 480, 16}, {800, 600, 16}, {1024, 768, 32}});
  Flags(true, true, false);
  bool result = false;
  EXPECT_EQ(Request(800, 600, 32, &result), (DDrawDisplayMode{800, 600, 16}));
  EXPECT_TRUE(result);
  EXPECT_EQ(Request(1024, 600, 32, &result), (DDrawDisplayMode{800, 600, 16}));
  EXPECT_FALSE(result);
  Flags(true, true, true);
  EXPECT_EQ(Request(1024, 768, 16, &result), (DDrawDisplayMode{800, 600, 16}));
  EXPECT_FALSE(result);
  EXPECT_NE(dx->DDraw()->DXResult(), DD_OK);  // DirectDraw's refusal of the exact mode
}
