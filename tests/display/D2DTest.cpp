#include "display/D2D.h"

#include "ImageListTestSupport.h"
#include "display/DXTexture.h"

namespace {

const TDXDrawOptions Sprites3D = {doCenter, do3D, doDirectX7Mode, doHardware};

// Distinct colours per pixel, so every misplaced texel shows.
TColor Gradient(Integer x, Integer y) { return static_cast<TColor>((x * 8) | (y * 8) << 8 | 0x400000); }

}  // namespace

class D2DTest : public ImageListTest {
 protected:
  void MakeSpriteDisplay(TDXDrawOptions options = Sprites3D) {
    MakeDisplay(options);
    Start();
  }

  // Items added before this are cut into patterns by the initialisation.
  void Start() {
    dx->Initialize();
    ASSERT_TRUE(dx->Initialized());
    d2d = dx->D2D();
    ASSERT_NE(d2d, nullptr);
    dx->Surface()->Fill(kBackground);
  }

  TPictureCollectionItem* AddGradientItem(Integer width, Integer height) {
    TPictureCollectionItem* item = list->Items()->Add();
    TDIB dib;
    Paint(dib, width, height, Gradient);
    item->Picture()->SetGraphic(&dib);
    return item;
  }

  DWORD BackPixel(Integer x, Integer y) { return dx->Surface()->Pixels(x, y); }

  static constexpr DWORD kBackground = 0x123456;
  TD2D* d2d = nullptr;
};

TEST_F(D2DTest, EachInitialisationMakesTheCurrentRendererWithADevice) {
  MakeSpriteDisplay();
  EXPECT_EQ(CurrentD2D, d2d);
  EXPECT_NE(dx->D3DDevice7(), nullptr);
  EXPECT_TRUE(d2d->CanRender());
  EXPECT_EQ(d2d->BitCount(), 32);
  ASSERT_NE(d2d->Textures(), nullptr);
  DWORD filter = 0;
  ASSERT_EQ(dx->D3DDevice7()->GetTextureStageState(0, D3DTSS_MAGFILTER, &filter), D3D_OK);
  EXPECT_EQ(filter, static_cast<DWORD>(D3DTFG_LINEAR));

  dx->Finalize();
  EXPECT_EQ(dx->D2D(), nullptr);
  EXPECT_EQ(CurrentD2D, nullptr);
}

TEST_F(D2DTest, ItemIsDrawnTexelForTexelAtItsRectangle) {
  MakeSpriteDisplay();
  TPictureCollectionItem* item = AddGradientItem(20, 20);
  ASSERT_TRUE(d2d->RenderItem(item, Rect(5, 7, 25, 27), 0));
  EXPECT_FALSE(SkipNextFlip);
  for (Integer y = 0; y < 30; ++y)
    for (Integer x = 0; x < 30; ++x) {
      const bool inside = x >= 5 && x < 25 && y >= 7 && y < 27;
      const DWORD expected = inside ? SurfaceValue(Gradient(x - 5, y - 7)) : kBackground;
      ASSERT_EQ(BackPixel(x, y), expected) << x << "," << y;
    }
  // Padded to 32 x 32: the picture covers 20/32 of each side.
  ASSERT_EQ(d2d->Textures()->Textures().size(), 1u);
  const TTextureRec& record = d2d->Textures()->Textures()[0];
  EXPECT_DOUBLE_EQ(record.TexRight, 0.625);
  EXPECT_DOUBLE_EQ(record.TexBottom, 0.625);
  EXPECT_EQ(record.Texture->Image()->Width, 32);
}

TEST_F(D2DTest, TransparentColourIsLeftOut) {
  MakeSpriteDisplay();
  TPictureCollectionItem* item = list->Items()->Add();
  TDIB dib;
  Paint(dib, 4, 4, [](Integer x, Integer) { return x < 2 ? clBlack : clRed; });
  item->Picture()->SetGraphic(&dib);
  item->SetTransparent(true);
  item->SetTransparentColor(clBlack);
  d2d->SetTextureFilter(false);
  ASSERT_TRUE(d2d->RenderItem(item, Rect(0, 0, 4, 4), 0));
  EXPECT_EQ(BackPixel(0, 0), kBackground);
  EXPECT_EQ(BackPixel(1, 3), kBackground);
  EXPECT_EQ(BackPixel(2, 0), SurfaceValue(clRed));
  EXPECT_EQ(BackPixel(3, 3), SurfaceValue(clRed));
}

TEST_F(D2DTest, PatternsSelectTheirPartOfThePaddedTexture) {
  MakeDisplay(Sprites3D);
  TPictureCollectionItem* item = AddGradientItem(100, 40);
  item->SetPatternWidth(20);
  item->SetPatternHeight(20);
  Start();
  ASSERT_TRUE(d2d->RenderItem(item, Rect(0, 0, 20, 20), 6));
  const TTextureRec& record = d2d->Textures()->Textures()[0];
  EXPECT_DOUBLE_EQ(record.TexLeft, 20.0 / 128);
  EXPECT_DOUBLE_EQ(record.TexTop, 20.0 / 64);
  EXPECT_DOUBLE_EQ(record.TexRight, 39.0 / 128);
  EXPECT_DOUBLE_EQ(record.TexBottom, 39.0 / 64);
  // Point sampling shows the pattern's own top-left texel at the top-left pixel.
  d2d->SetTextureFilter(false);
  ASSERT_TRUE(d2d->RenderItem(item, Rect(30, 0, 50, 20), 6));
  EXPECT_EQ(BackPixel(30, 0), SurfaceValue(Gradient(20, 20)));
}

TEST_F(D2DTest, RotatedQuadTurnsClockwiseAboutItsCentre) {
  MakeSpriteDisplay();
  TPictureCollectionItem* item = list->Items()->Add();
  TDIB dib;
  Paint(dib, 4, 2, [](Integer x, Integer) { return x < 2 ? clRed : clBlue; });
  item->Picture()->SetGraphic(&dib);
  d2d->SetTextureFilter(false);
  // A quarter turn: the picture's left (red) half comes to lie above its right (blue) half.
  ASSERT_TRUE(d2d->RenderItemRotate(item, 10, 10, 4, 2, 0, 0.5, 0.5, 64));
  EXPECT_EQ(BackPixel(10, 8), SurfaceValue(clRed));
  EXPECT_EQ(BackPixel(9, 9), SurfaceValue(clRed));
  EXPECT_EQ(BackPixel(10, 11), SurfaceValue(clBlue));
  EXPECT_EQ(BackPixel(9, 11), SurfaceValue(clBlue));
  EXPECT_EQ(BackPixel(10, 7), kBackground);
  EXPECT_EQ(BackPixel(11, 9), kBackground);
  EXPECT_EQ(BackPixel(10, 12), kBackground);
}

TEST_F(D2DTest, CacheIsKeyedByNameAndNamesUnnamedItems) {
  MakeSpriteDisplay();
  TPictureCollectionItem* first = AddGradientItem(8, 8);
  TPictureCollectionItem* second = AddGradientItem(1, 1);
  ASSERT_TRUE(first->Name().empty());
  ASSERT_TRUE(d2d->RenderItem(first, Rect(0, 0, 8, 8), 0));
  EXPECT_EQ(first->Name(), first->GetNamePath());
  EXPECT_FALSE(first->Name().empty());

  second->SetName("Ship");
  ASSERT_TRUE(d2d->RenderItem(second, Rect(0, 0, 1, 1), 0));
  ASSERT_EQ(d2d->Textures()->Textures().size(), 2u);
  EXPECT_EQ(d2d->Textures()->Textures()[1].Texture->Image()->Width, 2);  // 1 x 1 padded to 2 x 2

  // An item of another list with the same name draws the texture made first.
  TDXImageList* other = new TDXImageList(form);
  other->SetDXDraw(dx);
  TPictureCollectionItem* namesake = other->Items()->Add();
  TDIB dib;
  Paint(dib, 3, 3, [](Integer, Integer) { return clLime; });
  namesake->Picture()->SetGraphic(&dib);
  namesake->SetName("Ship");
  ASSERT_TRUE(d2d->RenderItem(namesake, Rect(20, 20, 21, 21), 0));
  EXPECT_EQ(d2d->Textures()->Textures().size(), 2u);
  EXPECT_EQ(BackPixel(20, 20), SurfaceValue(Gradient(0, 0)));

  d2d->ClearTextures();
  EXPECT_TRUE(d2d->Textures()->Textures().empty());
  ASSERT_TRUE(d2d->RenderItem(namesake, Rect(20, 20, 21, 21), 0));
  EXPECT_EQ(BackPixel(20, 20), SurfaceValue(clLime));
}

TEST_F(D2DTest, FailuresDrawNothingOrAWhiteQuadAndHoldBackTheFrame) {
  MakeSpriteDisplay();
  TPictureCollectionItem* item = AddGradientItem(4, 4);

  TestD3DRefuseNext(D3DCall::DrawPrimitive);
  EXPECT_TRUE(d2d->RenderItem(item, Rect(0, 0, 4, 4), 0));
  EXPECT_TRUE(SkipNextFlip);
  EXPECT_EQ(BackPixel(0, 0), kBackground);
  ASSERT_TRUE(d2d->RenderItem(item, Rect(0, 0, 4, 4), 0));
  EXPECT_FALSE(SkipNextFlip);

  // A texture that cannot be selected: the cache is emptied and the frame held back.
  TestD3DRefuseNext(D3DCall::SetTexture, DDERR_GENERIC, 2);
  EXPECT_FALSE(d2d->RenderItem(item, Rect(10, 0, 14, 4), 0));
  EXPECT_TRUE(SkipNextFlip);
  EXPECT_TRUE(d2d->Textures()->Textures().empty());

  // A texture that cannot be made: no record stays behind and the next draw tries again.
  TestD3DSetTextureFormats({});
  EXPECT_FALSE(d2d->RenderItem(item, Rect(20, 0, 24, 4), 0));
  EXPECT_TRUE(d2d->Textures()->Textures().empty());
  EXPECT_EQ(BackPixel(20, 0), 0xFFFFFFu);
  TestD3DSetTextureFormats(TestD3DDefaultTextureFormats());
  EXPECT_TRUE(d2d->RenderItem(item, Rect(20, 0, 24, 4), 0));
  EXPECT_EQ(BackPixel(20, 0), SurfaceValue(Gradient(0, 0)));
}

TEST_F(D2DTest, UnusableWithoutTheRequestedOptionsOrAtOtherDepths) {
  MakeSpriteDisplay({doCenter, do3D, doDirectX7Mode});
  TPictureCollectionItem* item = AddGradientItem(4, 4);
  EXPECT_FALSE(d2d->CanRender());
  EXPECT_FALSE(d2d->RenderItem(item, Rect(0, 0, 4, 4), 0));
  EXPECT_EQ(BackPixel(0, 0), kBackground);

  // Asking again turns the cache back on.
  dx->SetOptions(Sprites3D);
  EXPECT_TRUE(d2d->CanRender());
  EXPECT_TRUE(d2d->CacheActive());
}

TEST_F(D2DTest, BackSurfaceDrawingGoesThroughTheRenderer) {
  MakeSpriteDisplay();
  auto* source = new TDirectDrawSurface(dx->DDraw());
  TDIB dib;
  Paint(dib, 4, 4, [](Integer x, Integer y) { return x == 0 && y == 0 ? clBlack : Gradient(x, y); });
  source->LoadFromGraphic(&dib);
  d2d->SetTextureFilter(false);

  dx->Surface()->Draw(6, 6, source->ClientRect(), source, true);
  ASSERT_EQ(d2d->Textures()->Textures().size(), 1u);
  EXPECT_EQ(d2d->Textures()->Textures()[0].Name,
            IntToStr(static_cast<Int64>(reinterpret_cast<uintptr_t>(source))));
  // The top-left colour is the key when drawn transparently.
  EXPECT_EQ(BackPixel(6, 6), kBackground);
  EXPECT_EQ(BackPixel(9, 9), SurfaceValue(Gradient(3, 3)));

  // Other surfaces still blit.
  auto* other = new TDirectDrawSurface(dx->DDraw());
  other->SetSize(8, 8);
  other->Fill(0);
  other->Draw(0, 0, source->ClientRect(), source, false);
  EXPECT_EQ(other->Pixels(3, 3), SurfaceValue(Gradient(3, 3)));
  EXPECT_EQ(d2d->Textures()->Textures().size(), 1u);
  delete other;
  delete source;
}

TEST_F(D2DTest, PictureItemsDrawThroughTheRendererAndRestoringEmptiesItsCache) {
  MakeSpriteDisplay();
  TPictureCollectionItem* item = AddGradientItem(4, 4);
  item->Restore();
  d2d->SetTextureFilter(false);

  item->Draw(dx->Surface(), 10, 10, 0);
  ASSERT_EQ(d2d->Textures()->Textures().size(), 1u) << "the item became a texture";
  EXPECT_EQ(BackPixel(13, 13), SurfaceValue(Gradient(3, 3)));
  item->DrawRotate(dx->Surface(), 30, 30, 8, 8, 0, 0.5, 0.5, 0);
  EXPECT_EQ(d2d->Textures()->Textures().size(), 1u) << "the same item draws its cached texture";
  EXPECT_EQ(BackPixel(26, 26), SurfaceValue(Gradient(0, 0)));

  // A rebuilt item may carry a new picture: its old texture must not be drawn again.
  item->Restore();
  EXPECT_TRUE(d2d->Textures()->Textures().empty());

  // With 3D requested, no other surface is drawn on, and no texture is made for it.
  auto* other = new TDirectDrawSurface(dx->DDraw());
  other->SetSize(8, 8);
  other->Fill(0);
  item->Draw(other, 0, 0, 0);
  EXPECT_EQ(other->Pixels(3, 3), 0u);
  EXPECT_TRUE(d2d->Textures()->Textures().empty());
  delete other;
}
