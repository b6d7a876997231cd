// Which cached texture a drawing picks: the first whose name matches without regard to case,
// also after items are renamed or the cache is emptied and filled again.
#include "display/D2D.h"

#include "ImageListTestSupport.h"

class D2DTextureLookupTest : public ImageListTest {
 protected:
  void SetUp() override {
    ImageListTest::SetUp();
    MakeDisplay({doCenter, do3D, doDirectX7Mode, doHardware});
    dx->Initialize();
    ASSERT_TRUE(dx->Initialized());
    d2d = dx->D2D();
    ASSERT_NE(d2d, nullptr);
  }

  TPictureCollectionItem* AddNamedItem(const std::string& name, TColor colour) {
    TPictureCollectionItem* item = AddItem(2, 2, colour);
    item->SetName(name);
    return item;
  }

  DWORD DrawnColour(TPictureCollectionItem* item) {
    EXPECT_TRUE(d2d->RenderItem(item, Rect(0, 0, 2, 2), 0));
    return dx->Surface()->Pixels(0, 0);
  }

  TD2D* d2d = nullptr;
};

TEST_F(D2DTextureLookupTest, NamesDifferingOnlyInCaseShareTheFirstTexture) {
  TPictureCollectionItem* lower = AddNamedItem("schiff", clRed);
  TPictureCollectionItem* upper = AddNamedItem("SCHIFF", clLime);
  TPictureCollectionItem* other = AddNamedItem("Rauch", clBlue);

  EXPECT_EQ(DrawnColour(lower), SurfaceValue(clRed));
  // Its own texture is made, but the earlier namesake is the one drawn.
  EXPECT_EQ(DrawnColour(upper), SurfaceValue(clRed));
  EXPECT_EQ(DrawnColour(other), SurfaceValue(clBlue));
  EXPECT_EQ(DrawnColour(upper), SurfaceValue(clRed));
  ASSERT_EQ(d2d->Textures()->Textures().size(), 3u);
}

TEST_F(D2DTextureLookupTest, RenamedItemsAndRefilledCachesAreLookedUpByTheirCurrentNames) {
  TPictureCollectionItem* lower = AddNamedItem("schiff", clRed);
  TPictureCollectionItem* upper = AddNamedItem("SCHIFF", clLime);
  EXPECT_EQ(DrawnColour(lower), SurfaceValue(clRed));
  EXPECT_EQ(DrawnColour(upper), SurfaceValue(clRed));

  // Emptied and filled in another order, the places hold other names than before.
  d2d->ClearTextures();
  EXPECT_EQ(DrawnColour(upper), SurfaceValue(clLime));
  EXPECT_EQ(DrawnColour(lower), SurfaceValue(clLime));
  ASSERT_EQ(d2d->Textures()->Textures().size(), 2u);

  // A renamed item makes a record under its new name, but draws the first namesake in any case.
  upper->SetName("Stern");
  EXPECT_EQ(DrawnColour(upper), SurfaceValue(clLime));
  lower->SetName("STERN");
  EXPECT_EQ(DrawnColour(lower), SurfaceValue(clLime));
  TPictureCollectionItem* star = AddNamedItem("Rauch", clBlue);
  EXPECT_EQ(DrawnColour(star), SurfaceValue(clBlue));
  EXPECT_EQ(d2d->Textures()->Textures().size(), 5u);
}

TEST_F(D2DTextureLookupTest, ACacheEmptiedWhenFullForgetsItsNames) {
  TPictureCollectionItem* first = AddNamedItem("Erster", clRed);
  TPictureCollectionItem* filler = AddNamedItem("", clLime);
  EXPECT_EQ(DrawnColour(first), SurfaceValue(clRed));
  for (Integer i = 1; i <= 2048; ++i) {
    filler->SetName("Fueller" + IntToStr(i));
    ASSERT_TRUE(d2d->RenderItem(filler, Rect(0, 0, 2, 2), 0));
  }
  ASSERT_EQ(d2d->Textures()->Textures().size(), 2049u);

  // The next new name empties the cache first; its record then has the first place.
  filler->SetName("Fueller2049");
  EXPECT_EQ(DrawnColour(filler), SurfaceValue(clLime));
  ASSERT_EQ(d2d->Textures()->Textures().size(), 1u);
  EXPECT_EQ(DrawnColour(first), SurfaceValue(clRed));
  EXPECT_EQ(d2d->Textures()->Textures().size(), 2u);
}
