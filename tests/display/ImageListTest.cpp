#include "display/ImageList.h"

#include "ImageListTestSupport.h"

namespace {

TRect PatternRect(TPictureCollectionItem* item, Integer index) { return item->GetPatternRect(index); }

// The index of the item's surface that pattern index lies on.
Integer PatternSurface(TPictureCollectionItem* item, Integer index) {
  for (Integer i = 0; i < item->SurfaceCount(); ++i)
    if (item->Surfaces(i) == item->Patterns(index)->Surface()) return i;
  return -1;
}

}  // namespace

// ---- Cutting pictures into patterns ----

TEST_F(ImageListTest, PatternsAreCutRowByRow) {
  MakeDisplay();
  dx->Initialize();
  TPictureCollectionItem* item = AddItem(100, 40);
  item->SetPatternWidth(20);
  item->SetPatternHeight(20);
  item->Restore();

  ASSERT_EQ(item->PatternCount(), 10);
  EXPECT_EQ(PatternRect(item, 0), Rect(0, 0, 20, 20));
  EXPECT_EQ(PatternRect(item, 1), Rect(20, 0, 40, 20));
  EXPECT_EQ(PatternRect(item, 5), Rect(0, 20, 20, 40));
  EXPECT_EQ(PatternRect(item, 9), Rect(80, 20, 100, 40));
  EXPECT_EQ(PatternRect(item, 10), Rect(0, 0, 0, 0));
  EXPECT_EQ(PatternRect(item, -1), Rect(0, 0, 0, 0));
  ASSERT_EQ(item->SurfaceCount(), 1);
  EXPECT_EQ(item->Surfaces(0)->Width(), 100);
  EXPECT_EQ(item->Surfaces(0)->Height(), 40);
}

TEST_F(ImageListTest, GapsBetweenPatternsAreSkippedWithoutATrailingOne) {
  MakeDisplay();
  dx->Initialize();
  for (bool systemMemory : {false, true}) {
    TPictureCollectionItem* item = AddItem(64, 10);
    item->SetPatternWidth(20);
    item->SetSkipWidth(2);
    item->SetSystemMemory(systemMemory);
    item->Restore();
    ASSERT_EQ(item->PatternCount(), 3) << "system memory " << systemMemory;
    EXPECT_EQ(PatternRect(item, 0), Rect(0, 0, 20, 10));
    EXPECT_EQ(PatternRect(item, 1), Rect(22, 0, 42, 10));
    EXPECT_EQ(PatternRect(item, 2), Rect(44, 0, 64, 10));
    EXPECT_EQ(item->SurfaceCount(), 1);
  }
}

TEST_F(ImageListTest, WithoutPatternSizesThePatternIsTheWholePicture) {
  MakeDisplay();
  dx->Initialize();
  TPictureCollectionItem* item = AddItem(30, 17);
  item->Restore();
  ASSERT_EQ(item->PatternCount(), 1);
  EXPECT_EQ(PatternRect(item, 0), Rect(0, 0, 30, 17));
  ASSERT_EQ(item->SurfaceCount(), 1);
  EXPECT_EQ(item->Width(), 30);
  EXPECT_EQ(item->Height(), 17);
}

TEST_F(ImageListTest, WidePicturesInVideoMemoryAreSplitIntoBlocksOfWholePatterns) {
  MakeDisplay();
  dx->Initialize();
  TPictureCollectionItem* item = AddItem(4000, 4);
  item->SetPatternWidth(100);
  item->Restore();

  ASSERT_EQ(item->SurfaceCount(), 2);
  EXPECT_EQ(item->Surfaces(0)->Width(), 2100);
  EXPECT_EQ(item->Surfaces(1)->Width(), 1900);
  ASSERT_EQ(item->PatternCount(), 40);
  EXPECT_EQ(PatternRect(item, 20), Rect(2000, 0, 2100, 4));
  EXPECT_EQ(PatternSurface(item, 20), 0);
  EXPECT_EQ(PatternRect(item, 21), Rect(0, 0, 100, 4));
  EXPECT_EQ(PatternSurface(item, 21), 1);
  EXPECT_EQ(PatternRect(item, 39), Rect(1800, 0, 1900, 4));
  EXPECT_EQ(PatternSurface(item, 39), 1);
}

TEST_F(ImageListTest, TallPicturesAreSplitDownwardsToo) {
  MakeDisplay();
  dx->Initialize();
  TPictureCollectionItem* item = AddItem(20, 2500);
  item->SetPatternWidth(10);
  item->SetPatternHeight(500);
  item->Restore();
  // Blocks of 5 rows (2500 reaches 2048): one block down, two patterns across.
  ASSERT_EQ(item->SurfaceCount(), 1);
  EXPECT_EQ(item->PatternCount(), 10);

  TPictureCollectionItem* taller = AddItem(10, 4200);
  taller->SetPatternHeight(700);
  taller->Restore();
  // Three rows make 2100; the second block holds the other three.
  ASSERT_EQ(taller->SurfaceCount(), 2);
  EXPECT_EQ(taller->Surfaces(1)->Height(), 2100);
  EXPECT_EQ(PatternRect(taller, 3), Rect(0, 0, 10, 700));
  EXPECT_EQ(PatternSurface(taller, 3), 1);
}

TEST_F(ImageListTest, APatternLargerThanThePictureGivesNoPatterns) {
  MakeDisplay();
  dx->Initialize();
  TPictureCollectionItem* video = AddItem(10, 10);
  video->SetPatternWidth(20);
  video->Restore();
  EXPECT_EQ(video->PatternCount(), 0);
  EXPECT_EQ(video->SurfaceCount(), 0);

  TPictureCollectionItem* system = AddItem(10, 10);
  system->SetPatternWidth(20);
  system->SetSystemMemory(true);
  system->Restore();
  EXPECT_EQ(system->PatternCount(), 0);
  EXPECT_EQ(system->SurfaceCount(), 1);
}

TEST_F(ImageListTest, GapsThatSwallowThePatternsCutNothing) {
  MakeDisplay();
  dx->Initialize();
  for (bool systemMemory : {false, true}) {
    TPictureCollectionItem* item = AddItem(10, 20);
    item->SetPatternHeight(5);
    item->SetSkipWidth(-10);
    item->SetSystemMemory(systemMemory);
    item->Restore();
    EXPECT_EQ(item->PatternCount(), 0);
  }
}

TEST_F(ImageListTest, SystemMemoryItemsHoldOneSystemMemorySurface) {
  MakeDisplay();
  dx->Initialize();
  TPictureCollectionItem* item = AddItem(4000, 4);
  item->SetPatternWidth(100);
  item->SetSystemMemory(true);
  item->Restore();
  ASSERT_EQ(item->SurfaceCount(), 1);
  EXPECT_TRUE(item->Surfaces(0)->SystemMemory());
  EXPECT_EQ(item->Surfaces(0)->Width(), 4000);
  EXPECT_EQ(PatternRect(item, 21), Rect(2100, 0, 2200, 4));
}

TEST_F(ImageListTest, AnEmptyPictureIsNeverRebuilt) {
  MakeDisplay();
  dx->Initialize();
  TPictureCollectionItem* item = list->Items()->Add();
  item->Restore();
  EXPECT_EQ(item->PatternCount(), 0);
  EXPECT_EQ(item->SurfaceCount(), 0);
  EXPECT_EQ(item->Width(), 0);
}

// ---- Drawing ----

class ImageListDrawTest : public ImageListTest {
 protected:
  // Two 2x2 patterns side by side: red with a fuchsia corner at (1, 1), then all green.
  void SetUp() override {
    ImageListTest::SetUp();
    MakeDisplay();
    dx->Initialize();
    item = list->Items()->Add();
    TDIB dib;
    Paint(dib, 4, 2, [](Integer x, Integer y) {
      if (x >= 2) return clLime;
      return x == 1 && y == 1 ? clFuchsia : clRed;
    });
    item->Picture()->SetGraphic(&dib);
    item->SetPatternWidth(2);
    item->SetPatternHeight(2);
    item->SetTransparentColor(clFuchsia);
    item->Restore();
    back = dx->Surface();
    back->Fill(SurfaceValue(clBlue));
  }

  DWORD At(Integer x, Integer y) { return back->Pixels(x, y); }

  TPictureCollectionItem* item = nullptr;
  TDirectDrawSurface* back = nullptr;
};

TEST_F(ImageListDrawTest, DrawBlitsThePatternWithItsColourKey) {
  item->Draw(back, 10, 10, 0);
  item->Draw(back, 20, 10, 1);
  EXPECT_EQ(At(10, 10), SurfaceValue(clRed));
  EXPECT_EQ(At(11, 10), SurfaceValue(clRed));
  EXPECT_EQ(At(11, 11), SurfaceValue(clBlue)) << "the transparent colour must not be drawn";
  EXPECT_EQ(At(12, 10), SurfaceValue(clBlue));
  EXPECT_EQ(At(20, 10), SurfaceValue(clLime));
  EXPECT_EQ(At(21, 11), SurfaceValue(clLime));
  EXPECT_EQ(At(22, 11), SurfaceValue(clBlue));

  item->SetTransparent(false);
  item->Draw(back, 30, 10, 0);
  EXPECT_EQ(At(31, 11), SurfaceValue(clFuchsia));
}

TEST_F(ImageListDrawTest, ChangingTheTransparentColourRekeysTheSurfacesAtOnce) {
  item->SetTransparentColor(clRed);
  item->Draw(back, 10, 10, 0);
  EXPECT_EQ(At(10, 10), SurfaceValue(clBlue));
  EXPECT_EQ(At(11, 11), SurfaceValue(clFuchsia));
}

TEST_F(ImageListDrawTest, BadPatternIndicesAndUnboundItemsDrawNothing) {
  item->Draw(back, 10, 10, -1);
  item->Draw(back, 10, 10, 2);
  item->DrawRotate(back, 10, 10, 4, 4, 2, 0.5, 0.5, 0);
  item->Draw(nullptr, 10, 10, 0);
  item->Finalize();
  item->Draw(back, 10, 10, 0);
  item->DrawRotate(back, 10, 10, 4, 4, 0, 0.5, 0.5, 0);
  for (Integer y = 6; y < 16; ++y)
    for (Integer x = 6; x < 16; ++x) ASSERT_EQ(At(x, y), SurfaceValue(clBlue)) << x << "," << y;
}

TEST_F(ImageListDrawTest, DrawRotateTurnsAndScalesThePatternAboutItsCentre) {
  TPictureCollectionItem* square = AddItem(4, 4, clRed);
  square->Restore();
  // Eight pixels wide, turned an eighth of a turn: a diamond standing on a corner. The unturned
  // square would cover 36..43 both ways.
  square->DrawRotate(back, 40, 40, 8, 8, 0, 0.5, 0.5, 32);
  EXPECT_EQ(At(40, 40), SurfaceValue(clRed));
  EXPECT_EQ(At(44, 40), SurfaceValue(clRed));
  EXPECT_EQ(At(40, 44), SurfaceValue(clRed));
  EXPECT_EQ(At(36, 36), SurfaceValue(clBlue));
  EXPECT_EQ(At(43, 43), SurfaceValue(clBlue));
  EXPECT_EQ(At(40, 47), SurfaceValue(clBlue));

  // The fuchsia corner of pattern 0 lands bottom-right, where the key keeps the background.
  item->DrawRotate(back, 80, 80, 20, 20, 0, 0.5, 0.5, 0);
  EXPECT_EQ(At(75, 75), SurfaceValue(clRed));
  EXPECT_EQ(At(85, 85), SurfaceValue(clBlue));
}

TEST_F(ImageListDrawTest, WithThreeDRequestedOnlyTheBackSurfaceIsDrawnOn) {
  dx->SetOptions(dx->Options() + TDXDrawOptions{do3D});
  TDirectDrawSurface other(dx->DDraw());
  other.SetSize(8, 8);
  other.Fill(SurfaceValue(clBlue));
  item->Draw(&other, 0, 0, 1);
  item->DrawRotate(&other, 4, 4, 8, 8, 1, 0.5, 0.5, 0);
  for (Integer y = 0; y < 8; ++y)
    for (Integer x = 0; x < 8; ++x) ASSERT_EQ(other.Pixels(x, y), SurfaceValue(clBlue)) << x << "," << y;
}

// ---- Following the display ----

TEST_F(ImageListTest, ItemsGetSurfacesWhenTheDisplayIsRestoredAndLoseThemOnFinalize) {
  MakeDisplay();
  TPictureCollectionItem* item = AddItem(20, 10);
  item->SetPatternWidth(10);
  EXPECT_FALSE(list->Items()->Initialized());
  EXPECT_FALSE(item->Initialized());

  dx->Initialize();
  EXPECT_TRUE(list->Items()->Initialized());
  EXPECT_TRUE(item->Initialized());
  EXPECT_EQ(item->PatternCount(), 2);
  EXPECT_EQ(item->SurfaceCount(), 1);

  dx->Finalize();
  EXPECT_FALSE(item->Initialized());
  EXPECT_EQ(item->PatternCount(), 0);
  EXPECT_EQ(item->SurfaceCount(), 0);
  EXPECT_EQ(list->Items()->DXDraw(), nullptr);
  EXPECT_EQ(list->DXDraw(), dx) << "the list keeps listening";

  dx->Initialize();
  EXPECT_EQ(item->PatternCount(), 2);
}

TEST_F(ImageListTest, LostSurfacesAreRebuiltWhenTheDisplayRestores) {
  MakeDisplay();
  TPictureCollectionItem* item = AddItem(2, 2, clRed);
  dx->Initialize();
  TestDDrawLoseAllSurfaces();
  ASSERT_EQ(item->Surfaces(0)->ISurface()->IsLost(), DDERR_SURFACELOST);

  ASSERT_TRUE(dx->CanDraw());
  ASSERT_EQ(item->SurfaceCount(), 1);
  EXPECT_EQ(item->Surfaces(0)->ISurface()->IsLost(), DD_OK);
  dx->Surface()->Fill(0);
  item->Draw(dx->Surface(), 3, 3, 0);
  EXPECT_EQ(dx->Surface()->Pixels(4, 4), SurfaceValue(clRed));
}

TEST_F(ImageListTest, AListJoiningAnInitialisedDisplayIsBuiltAtOnce) {
  MakeDisplay();
  list->SetDXDraw(nullptr);
  dx->Initialize();
  TPictureCollectionItem* item = AddItem(8, 8);
  EXPECT_FALSE(item->Initialized());
  list->SetDXDraw(dx);
  EXPECT_TRUE(item->Initialized());
  EXPECT_EQ(item->SurfaceCount(), 1);

  list->SetDXDraw(nullptr);
  EXPECT_EQ(item->SurfaceCount(), 0) << "leaving the display drops the surfaces";
}

TEST_F(ImageListTest, TheListLetsGoOfADisplayThatIsDestroyed) {
  MakeDisplay();
  dx->Initialize();
  TPictureCollectionItem* item = AddItem(8, 8);
  item->Restore();
  delete dx;
  EXPECT_EQ(list->DXDraw(), nullptr);
  EXPECT_EQ(list->Items()->DXDraw(), nullptr);
  EXPECT_EQ(item->SurfaceCount(), 0);
}

TEST_F(ImageListTest, TheCollectionCannotBeBoundToADisplayThatIsNotInitialised) {
  MakeDisplay();
  TPictureCollection* items = list->Items();
  EXPECT_EQ(MessageOf<EPictureCollectionError>([&] { items->Initialize(dx); }),
            "TPictureCollection cannot be initialized");
  EXPECT_EQ(items->DXDraw(), dx);
  EXPECT_FALSE(items->Initialized());
  EXPECT_EQ(MessageOf<EPictureCollectionError>([&] { items->Initialize(nullptr); }),
            "TPictureCollection cannot be initialized");
}

TEST_F(ImageListTest, ItemsOutsideTheListRaiseTheListIndexError) {
  MakeDisplay();
  AddItem(1, 1);
  EXPECT_EQ(MessageOf<EListError>([&] { list->Items()->Items(1); }),
            "Listenindex überschreitet das Maximum (1)");
  EXPECT_EQ(MessageOf<EListError>([&] { list->Items()->Items(-1); }),
            "Listenindex überschreitet das Maximum (-1)");
}

TEST_F(ImageListTest, AssignCopiesEverythingButTheNameAndRebuildsABoundItem) {
  MakeDisplay();
  dx->Initialize();
  TPictureCollectionItem* source = AddItem(40, 10, clLime);
  source->SetName("Ship");
  source->SetPatternWidth(10);
  source->SetSkipHeight(3);
  source->SetSkipWidth(4);
  source->SetSystemMemory(true);
  source->SetTransparent(false);
  source->SetTransparentColor(clAqua);
  TPictureCollectionItem* target = AddItem(5, 5);
  target->SetName("Rock");
  target->Restore();

  target->Assign(source);
  EXPECT_EQ(target->Name(), "Rock");
  EXPECT_EQ(target->PatternWidth(), 10);
  EXPECT_EQ(target->PatternHeight(), 0);
  EXPECT_EQ(target->SkipHeight(), 3);
  EXPECT_EQ(target->SkipWidth(), 4);
  EXPECT_TRUE(target->SystemMemory());
  EXPECT_FALSE(target->Transparent());
  EXPECT_EQ(target->TransparentColor(), clAqua);
  EXPECT_EQ(target->Picture()->Width(), 40);
  EXPECT_EQ(target->PatternCount(), 3) << "(40 + 4) div 14";
}

TEST_F(ImageListTest, SettingTheItemsCopiesThem) {
  MakeDisplay();
  AddItem(3, 3)->SetName("Frame");
  auto* other = new TDXImageList(form);
  other->SetItems(list->Items());
  ASSERT_EQ(other->Items()->Count(), 1);
  EXPECT_EQ(other->Items()->Items(0)->Picture()->Width(), 3);
  EXPECT_NE(other->Items()->Items(0), list->Items()->Items(0));

  list->SetItems(list->Items());
  EXPECT_EQ(list->Items()->Count(), 1) << "a list given its own items keeps them";
}

TEST_F(ImageListTest, UnnamedItemsAreNamedByTheirPathFromTheList) {
  MakeDisplay();
  list->SetName("Stars1");
  AddItem(1, 1);
  TPictureCollectionItem* second = AddItem(1, 1);
  EXPECT_EQ(second->GetNamePath(), "Stars1.Items[1]");
}
