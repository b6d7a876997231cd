// Which cached texture a drawing picks: the first whose name matches without regard to case,
// also after the cache's names change or the cache is emptied and filled again.
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
  ASSERT_EQ(d2d->Textures()->Textures.size(), 3u);
}

TEST_F(D2DTextureLookupTest, RenamedAndRefilledCachesAreLookedUpByTheirCurrentNames) {
  TPictureCollectionItem* lower = AddNamedItem("schiff", clRed);
  TPictureCollectionItem* upper = AddNamedItem("SCHIFF", clLime);
  EXPECT_EQ(DrawnColour(lower), SurfaceValue(clRed));
  EXPECT_EQ(DrawnColour(upper), SurfaceValue(clRed));

  // The first record no longer answers to the name once it is called something else.
  d2d->Textures()->Textures[0].Name = "Stern";
  EXPECT_EQ(DrawnColour(upper), SurfaceValue(clLime));

  // Emptied and filled in another order, the places hold other names than before.
  d2d->ClearTextures();
  EXPECT_EQ(DrawnColour(upper), SurfaceValue(clLime));
  EXPECT_EQ(DrawnColour(lower), SurfaceValue(clLime));
  TPictureCollectionItem* star = AddNamedItem("Stern", clBlue);
  EXPECT_EQ(DrawnColour(star), SurfaceValue(clBlue));
  d2d->Textures()->Textures[1].Name = "Stern";
  EXPECT_EQ(DrawnColour(star), SurfaceValue(clRed));
  EXPECT_EQ(d2d->Textures()->Textures.size(), 3u);
}
