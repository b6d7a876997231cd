// Surface records: bit helpers, channel shifts, geometry, format comparison, locking.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/TestControl.h"
#include "platform/ddraw/DDrawTestControl.h"
#include "platform/kernel/ComPtr.h"
#include "platform/user/Window.h"
#include "render/DXRLock.h"
#include "render/DXRSurface.h"

namespace {

TEST(SurfaceBits, HighestLowestAndCount) {
  EXPECT_EQ(HighestBitIndex(0), 0u);
  EXPECT_EQ(HighestBitIndex(1), 0u);
  EXPECT_EQ(HighestBitIndex(2), 1u);
  EXPECT_EQ(HighestBitIndex(6), 2u);
  EXPECT_EQ(HighestBitIndex(0x80000000), 31u);
  EXPECT_EQ(LowestBitIndex(0), 31u);
  EXPECT_EQ(LowestBitIndex(0x80000000), 31u);
  EXPECT_EQ(LowestBitIndex(0x80000001), 0u);
  EXPECT_EQ(LowestBitIndex(0x07E0), 5u);
  EXPECT_EQ(CountBits(0), 0u);
  EXPECT_EQ(CountBits(0xFFFFFFFF), 32u);
  EXPECT_EQ(CountBits(0x07E0), 6u);
}

TEST(SurfaceBits, ChannelShiftsBringTheTopBitToBit7) {
  const struct {
    uint32_t mask, bits, right, left;
  } cases[] = {{0xF800, 5, 8, 0},     {0x07E0, 6, 3, 0}, {0x001F, 5, 0, 3},        {0xFF0000, 8, 16, 0},
               {0x8000, 1, 8, 0},     {0, 0, 23, 0},     {0x3FF00000, 10, 22, 0}, {0xF000, 4, 8, 0}};
  for (const auto& c : cases) {
    const TDXRColorChannel channel = MakeColorChannel(c.mask, false);
    EXPECT_EQ(channel.Mask, c.mask);
    EXPECT_EQ(channel.BitCount, c.bits) << std::hex << c.mask;
    EXPECT_EQ(channel.RShift, c.right) << std::hex << c.mask;
    EXPECT_EQ(channel.LShift, c.left) << std::hex << c.mask;
  }
  const TDXRColorChannel index = MakeColorChannel(0xF0, true);
  EXPECT_EQ(index.RShift, 4u);
  EXPECT_EQ(index.LShift, 0u);
  EXPECT_EQ(index.BitCount, 4u);
}

TEST(SurfaceRecords, GeometryMasksAndPitch) {
  TDXRSurface s;
  int pixels[4];
  InitRGBSurface(s, 6, 6, 32, pixels, -24, 0xFF0000, 0xFF00, 0xFF, 0);
  EXPECT_EQ(s.ColorType, ColorTypeRGB);
  EXPECT_EQ(s.WidthBit, 2u);
  EXPECT_EQ(s.Width2, 4u);
  EXPECT_EQ(s.WidthMask, 5u);
  EXPECT_EQ(s.HeightMask, 3u);
  EXPECT_EQ(s.PitchBit, 4u);
  EXPECT_EQ(s.Bits, static_cast<void*>(pixels));
  EXPECT_EQ(s.Pitch, -24);
  EXPECT_EQ(s.Reserved, 0u);
  InitRGBSurface(s, 64, 16, 16, pixels, 128, 0xF800, 0x07E0, 0x1F, 0);
  EXPECT_EQ(s.WidthMask, 63u);
  EXPECT_EQ(s.HeightMask, 15u);
  EXPECT_EQ(s.PitchBit, 7u);
}

TEST(SurfaceRecords, SameFormatComparesMasksNotBitCounts) {
  TDXRSurface a, b;
  InitRGBSurface(a, 1, 1, 24, nullptr, 4, 0xFF0000, 0xFF00, 0xFF, 0);
  InitRGBSurface(b, 1, 1, 32, nullptr, 4, 0xFF0000, 0xFF00, 0xFF, 0);
  EXPECT_TRUE(SameSurfaceFormat(a, b));
  InitRGBSurface(b, 1, 1, 32, nullptr, 4, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  EXPECT_FALSE(SameSurfaceFormat(a, b));
  InitIndexedSurface(a, 1, 1, 8, nullptr, 4, 0xFF, 0);
  EXPECT_FALSE(SameSurfaceFormat(a, b));
  InitIndexedSurface(b, 1, 1, 4, nullptr, 4, 0xFF, 0);
  EXPECT_TRUE(SameSurfaceFormat(a, b));
  InitIndexedSurface(b, 1, 1, 8, nullptr, 4, 0x0F, 0);
  EXPECT_FALSE(SameSurfaceFormat(a, b));
}

// Describing locked surfaces from crafted descriptions.
DDSURFACEDESC Described(DWORD flags, DWORD bits, DWORD r, DWORD g, DWORD b, DWORD a) {
  DDSURFACEDESC desc{};
  desc.dwWidth = 6;
  desc.dwHeight = 4;
  desc.lPitch = 32;
  desc.ddpfPixelFormat.dwFlags = flags;
  desc.ddpfPixelFormat.dwRGBBitCount = bits;
  desc.ddpfPixelFormat.dwRBitMask = r;
  desc.ddpfPixelFormat.dwGBitMask = g;
  desc.ddpfPixelFormat.dwBBitMask = b;
  desc.ddpfPixelFormat.dwRGBAlphaBitMask = a;
  return desc;
}

TEST(SurfaceDescription, PaletteFormatsBecomeIndexRecords) {
  TDXRSurface record;
  std::memset(&record, 0x5A, sizeof(record));
  DescribeLockedSurface(Described(DDPF_PALETTEINDEXED8 | DDPF_RGB, 8, 0, 0, 0, 0), record);
  EXPECT_EQ(record.ColorType, ColorTypeIndexed);
  EXPECT_EQ(record.Indexed.Index.Mask, 255u);
  EXPECT_EQ(record.Indexed.Index.RShift, 0u);
  EXPECT_EQ(record.Indexed.Alpha.Mask, 0u);
  EXPECT_EQ(record.Width, 6u);
  for (const auto& entry : record.Indexed.Palette) EXPECT_EQ(entry.Red | entry.Green | entry.Blue | entry.Reserved, 0);
  DescribeLockedSurface(Described(DDPF_PALETTEINDEXED2, 2, 0, 0, 0, 0), record);
  EXPECT_EQ(record.Indexed.Index.Mask, 3u);
}

TEST(SurfaceDescription, AlphaOnlyWithItsFlag) {
  TDXRSurface record;
  DescribeLockedSurface(Described(DDPF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), record);
  EXPECT_EQ(record.ColorType, ColorTypeRGB);
  EXPECT_EQ(record.RGB.A.Mask, 0u);
  EXPECT_EQ(record.RGB.R.RShift, 16u);
  DescribeLockedSurface(Described(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x1F, 0x8000), record);
  EXPECT_EQ(record.RGB.A.Mask, 0x8000u);
  EXPECT_EQ(record.RGB.B.LShift, 3u);
  DescribeLockedSurface(Described(DDPF_FOURCC | DDPF_ZBUFFER, 16, 0xF800, 0x07E0, 0x1F, 0xFFFF), record);
  EXPECT_EQ(record.ColorType, ColorTypeRGB);
  EXPECT_EQ(record.RGB.G.Mask, 0x07E0u);
  EXPECT_EQ(record.RGB.A.Mask, 0u);
}

// Locking surfaces of the platform's DirectDraw.
class SurfaceLocking : public ::testing::Test {
 protected:
  void SetUp() override {
    TestResetPlatform();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &DefWindowProcA;
    windowClass.lpszClassName = "RenderLockTest";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND window = CreateWindowExA(0, "RenderLockTest", "", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(DirectDrawCreate(nullptr, dd.ReleaseAndGetAddressOf(), nullptr), DD_OK);
    ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC desc{};
    desc.dwSize = 108;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = 6;
    desc.dwHeight = 4;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = 16;
    desc.ddpfPixelFormat.dwRBitMask = 0xF800;
    desc.ddpfPixelFormat.dwGBitMask = 0x07E0;
    desc.ddpfPixelFormat.dwBBitMask = 0x001F;
    desc.ddckCKSrcBlt.dwColorSpaceLowValue = 0x123;
    ASSERT_EQ(dd->CreateSurface(&desc, surface.ReleaseAndGetAddressOf(), nullptr), DD_OK);
  }
  void TearDown() override {
    surface.Reset();
    dd.Reset();
    TestResetPlatform();
  }

  ComPtr<IDirectDraw> dd;
  ComPtr<IDirectDrawSurface> surface;
};

TEST_F(SurfaceLocking, LockDescribesTheWholeSurface) {
  TDXRSurface record{};
  DDSURFACEDESC desc{};
  ASSERT_TRUE(LockSurfaceDesc(surface.Get(), desc, record));
  EXPECT_EQ(record.ColorType, ColorTypeRGB);
  EXPECT_EQ(record.Width, 6u);
  EXPECT_EQ(record.Height, 4u);
  EXPECT_EQ(record.BitCount, 16u);
  EXPECT_EQ(record.RGB.R.RShift, 8u);
  EXPECT_EQ(record.RGB.A.Mask, 0u);
  EXPECT_NE(record.Bits, nullptr);
  EXPECT_EQ(record.Bits, desc.lpSurface);
  EXPECT_GE(record.Pitch, 12);
  UnlockSurface(surface.Get(), record);
  // Unlocked: it can be locked again.
  ASSERT_TRUE(LockSurface(surface.Get(), record));
  UnlockSurface(surface.Get(), record);
}

TEST_F(SurfaceLocking, FailedLockLeavesTheRecordAndUnlockIgnoresFailure) {
  TDXRSurface record;
  std::memset(&record, 0x5A, sizeof(record));
  TDXRSurface before;
  std::memcpy(&before, &record, sizeof(record));
  TestDDrawRefuseNext(DDrawCall::Lock, DDERR_SURFACELOST);
  EXPECT_FALSE(LockSurface(surface.Get(), record));
  EXPECT_EQ(std::memcmp(&before, &record, sizeof(record)), 0);
  UnlockSurface(surface.Get(), record);  // not locked: the failure is ignored
}

}  // namespace
