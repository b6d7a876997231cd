#include "DDrawTestSupport.h"

using BltTest = DDrawFixture;

namespace {

// A 4x2 source with distinct pixels 1..8, row by row.
const std::vector<uint32_t> kSource = {1, 2, 3, 4, 5, 6, 7, 8};

DDBLTFX Effects(DWORD ddfx = 0) {
  DDBLTFX fx{};
  fx.dwSize = 100;
  fx.dwDDFX = ddfx;
  return fx;
}

}  // namespace

TEST_F(BltTest, FillsWriteOnlyTheRectangleAndOnlyThePixelSize) {
  for (DWORD bits : {8u, 16u, 24u, 32u}) {
    auto surface = MakeSurface(4, 3, DDSCAPS_OFFSCREENPLAIN, bits);
    RECT area{1, 1, 3, 2};
    ASSERT_EQ(Fill(surface.Get(), 0xAABBCCDD, &area), DD_OK);
    const uint32_t cut = bits == 32 ? 0xAABBCCDD : 0xAABBCCDD & ((1u << bits) - 1);
    std::vector<uint32_t> expected(12, 0);
    expected[5] = expected[6] = cut;
    EXPECT_EQ(ReadPixels(surface.Get()), expected) << bits;
  }
}

TEST_F(BltTest, CopiesWithAndWithoutTheSourceColorKey) {
  auto source = MakeSurface(4, 2, DDSCAPS_OFFSCREENPLAIN, 32);
  auto dest = MakeSurface(4, 2, DDSCAPS_OFFSCREENPLAIN, 32);
  WritePixels(source.Get(), kSource);
  ASSERT_EQ(Fill(dest.Get(), 99), DD_OK);
  EXPECT_EQ(dest->Blt(nullptr, source.Get(), nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr),
            DDERR_NOCOLORKEY);

  DDCOLORKEY key{3, 6};
  ASSERT_EQ(source->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &key), DD_OK);
  ASSERT_EQ(dest->Blt(nullptr, source.Get(), nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
  EXPECT_EQ(ReadPixels(dest.Get()), (std::vector<uint32_t>{1, 2, 99, 99, 99, 99, 7, 8}));

  // BltFast keys with a single value, at an offset.
  key = DDCOLORKEY{2, 2};
  ASSERT_EQ(source->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  ASSERT_EQ(Fill(dest.Get(), 99), DD_OK);
  RECT part{0, 0, 3, 1};
  ASSERT_EQ(dest->BltFast(1, 1, source.Get(), &part, DDBLTFAST_WAIT | DDBLTFAST_SRCCOLORKEY),
            DD_OK);
  EXPECT_EQ(ReadPixels(dest.Get()), (std::vector<uint32_t>{99, 99, 99, 99, 99, 1, 99, 3}));
  ASSERT_EQ(dest->BltFast(0, 0, source.Get(), nullptr, DDBLTFAST_WAIT), DD_OK);
  EXPECT_EQ(ReadPixels(dest.Get()), kSource);

  // The key compares only the colour bits: the unused top byte of a 32-bit pixel is ignored.
  WritePixels(source.Get(), {0xFF000002, 5, 5, 5, 5, 5, 5, 5});
  ASSERT_EQ(dest->BltFast(0, 0, source.Get(), nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
  EXPECT_EQ(ReadPixels(dest.Get())[0], 1u);
}

TEST_F(BltTest, MirrorsAndStretches) {
  auto source = MakeSurface(4, 2, DDSCAPS_OFFSCREENPLAIN, 16);
  WritePixels(source.Get(), kSource);
  auto same = MakeSurface(4, 2, DDSCAPS_OFFSCREENPLAIN, 16);
  DDBLTFX fx = Effects(DDBLTFX_MIRRORLEFTRIGHT);
  ASSERT_EQ(same->Blt(nullptr, source.Get(), nullptr, DDBLT_WAIT | DDBLT_DDFX, &fx), DD_OK);
  EXPECT_EQ(ReadPixels(same.Get()), (std::vector<uint32_t>{4, 3, 2, 1, 8, 7, 6, 5}));
  fx = Effects(DDBLTFX_MIRRORUPDOWN);
  ASSERT_EQ(same->Blt(nullptr, source.Get(), nullptr, DDBLT_WAIT | DDBLT_DDFX, &fx), DD_OK);
  EXPECT_EQ(ReadPixels(same.Get()), (std::vector<uint32_t>{5, 6, 7, 8, 1, 2, 3, 4}));

  // A source rectangle of two columns, mirrored, inside a wider destination.
  RECT from{1, 0, 3, 1};
  RECT to{0, 1, 2, 2};
  fx = Effects(DDBLTFX_MIRRORLEFTRIGHT);
  ASSERT_EQ(same->Blt(&to, source.Get(), &from, DDBLT_DDFX, &fx), DD_OK);
  EXPECT_EQ(ReadPixels(same.Get()), (std::vector<uint32_t>{5, 6, 7, 8, 3, 2, 3, 4}));

  auto big = MakeSurface(8, 4, DDSCAPS_OFFSCREENPLAIN, 16);
  ASSERT_EQ(big->Blt(nullptr, source.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  const std::vector<uint32_t> doubled = ReadPixels(big.Get());
  EXPECT_EQ(std::vector<uint32_t>(doubled.begin(), doubled.begin() + 8),
            (std::vector<uint32_t>{1, 1, 2, 2, 3, 3, 4, 4}));
  EXPECT_EQ(std::vector<uint32_t>(doubled.begin() + 24, doubled.end()),
            (std::vector<uint32_t>{5, 5, 6, 6, 7, 7, 8, 8}));

  auto small = MakeSurface(2, 1, DDSCAPS_OFFSCREENPLAIN, 16);
  ASSERT_EQ(small->Blt(nullptr, source.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(ReadPixels(small.Get()), (std::vector<uint32_t>{1, 3}));
}

TEST_F(BltTest, RectanglesMustLieInsideUnlessAClipperCutsThem) {
  auto source = MakeSurface(4, 2, DDSCAPS_OFFSCREENPLAIN, 32);
  WritePixels(source.Get(), kSource);
  auto dest = MakeSurface(4, 2, DDSCAPS_OFFSCREENPLAIN, 32);
  RECT hanging{-2, 0, 2, 2};
  EXPECT_EQ(dest->Blt(&hanging, source.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  RECT tooBig{0, 0, 5, 2};
  EXPECT_EQ(dest->Blt(nullptr, source.Get(), &tooBig, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  RECT empty{2, 0, 2, 2};
  EXPECT_EQ(dest->Blt(&empty, source.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  EXPECT_EQ(dest->BltFast(2, 0, source.Get(), nullptr, DDBLTFAST_WAIT), DDERR_INVALIDRECT);

  IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
  ASSERT_EQ(dest->SetClipper(clipper), DD_OK);
  // The visible half keeps its place in the picture: columns 2 and 3 of the source.
  ASSERT_EQ(dest->Blt(&hanging, source.Get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
  EXPECT_EQ(ReadPixels(dest.Get()), (std::vector<uint32_t>{3, 4, 0, 0, 7, 8, 0, 0}));
  // Mirrored, the visible half shows the picture's first columns reversed; the keyed 2 is
  // left out.
  DDCOLORKEY key{2, 2};
  ASSERT_EQ(source->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  DDBLTFX mirror = Effects(DDBLTFX_MIRRORLEFTRIGHT);
  ASSERT_EQ(dest->Blt(&hanging, source.Get(), nullptr, DDBLT_WAIT | DDBLT_DDFX | DDBLT_KEYSRC,
                      &mirror),
            DD_OK);
  EXPECT_EQ(ReadPixels(dest.Get()), (std::vector<uint32_t>{3, 1, 0, 0, 6, 5, 0, 0}));
  // The fast blit does not clip and says so.
  EXPECT_EQ(dest->BltFast(0, 0, source.Get(), nullptr, DDBLTFAST_WAIT), DDERR_BLTFASTCANTCLIP);

  // Rectangles too wide for any surface are refused rather than walked.
  RECT absurd{-2000000000, 0, 2000000000, 2};
  EXPECT_EQ(dest->Blt(&absurd, source.Get(), nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);

  IDirectDrawClipper* attached = nullptr;
  ASSERT_EQ(dest->GetClipper(&attached), DD_OK);
  EXPECT_EQ(attached, clipper);
  attached->Release();
  ASSERT_EQ(dest->SetClipper(nullptr), DD_OK);
  EXPECT_EQ(dest->GetClipper(&attached), DDERR_NOCLIPPERATTACHED);
  EXPECT_EQ(clipper->Release(), 0u);
  ASSERT_EQ(dest->BltFast(0, 0, source.Get(), nullptr, DDBLTFAST_WAIT), DD_OK);
}

TEST_F(BltTest, AClipperWithAWindowLimitsThePrimaryToItsClientArea) {
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
  MoveWindow(window, 10, 20, 4, 3, FALSE);
  auto primary = MakePrimary();
  ASSERT_EQ(Fill(primary.Get(), 0), DD_OK);
  IDirectDrawClipper* clipper = nullptr;
  ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
  ASSERT_EQ(clipper->SetHWnd(0, window), DD_OK);
  ASSERT_EQ(primary->SetClipper(clipper), DD_OK);
  clipper->Release();

  RECT everything{0, 0, 40, 40};
  ASSERT_EQ(Fill(primary.Get(), 0x00FFFFFF, &everything), DD_OK);
  std::vector<uint32_t> frame;
  int32_t width = 0, height = 0;
  ASSERT_TRUE(ScreenLastFrame(frame, width, height));
  int32_t white = 0;
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 40; ++x)
      if (frame[y * width + x] == 0xFFFFFF) {
        ++white;
        EXPECT_TRUE(x >= 10 && x < 14 && y >= 20 && y < 23) << x << "," << y;
      }
  EXPECT_EQ(white, 12);
}

TEST_F(BltTest, RefusesMismatchedFormatsAndCopiesWithinOneSurface) {
  auto wide = MakeSurface(4, 2, DDSCAPS_OFFSCREENPLAIN, 32);
  auto narrow = MakeSurface(4, 2, DDSCAPS_OFFSCREENPLAIN, 16);
  EXPECT_EQ(wide->Blt(nullptr, narrow.Get(), nullptr, DDBLT_WAIT, nullptr),
            DDERR_INVALIDPIXELFORMAT);
  EXPECT_EQ(wide->Blt(nullptr, nullptr, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPARAMS);
  DDBLTFX badSize = Effects();
  badSize.dwSize = 96;
  EXPECT_EQ(wide->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &badSize), DDERR_INVALIDPARAMS);

  // Overlapping rectangles of one surface copy as from a snapshot.
  WritePixels(wide.Get(), kSource);
  RECT from{0, 0, 3, 2};
  ASSERT_EQ(wide->BltFast(1, 0, wide.Get(), &from, DDBLTFAST_WAIT), DD_OK);
  EXPECT_EQ(ReadPixels(wide.Get()), (std::vector<uint32_t>{1, 1, 2, 3, 5, 5, 6, 7}));

  TestDDrawRefuseNext(DDrawCall::Blt, DDERR_SURFACEBUSY);
  EXPECT_EQ(Fill(wide.Get(), 0), DDERR_SURFACEBUSY);
  TestDDrawRefuseNext(DDrawCall::BltFast, DDERR_SURFACELOST);
  EXPECT_EQ(wide->BltFast(0, 0, wide.Get(), &from, 0), DDERR_SURFACELOST);
  EXPECT_EQ(ReadPixels(wide.Get()), (std::vector<uint32_t>{1, 1, 2, 3, 5, 5, 6, 7}));
}
