// Texel fetch, unpack and pack with dither, checked on known pixel values.
#include "RenderFixture.h"

namespace {

class PixelFormats : public RenderTest {
 protected:
  // The raw texel at (u, v), copied unchanged into a destination of the texture's own format.
  uint32_t FetchRaw(TestSurface& texture, int32_t u, int32_t v, uint8_t addressing = 0) {
    machine->Initialize();
    machine->TextureRegisters[0].Surface = &texture.desc;
    machine->TextureRegisters[0].Addressing = addressing;
    machine->TextureRegisters[0].U = u;
    machine->TextureRegisters[0].V = v;
    TestSurface dest(FormatOf(texture), 1, 1);
    Draw(dest, machine->NewTextureNode(0), 0, 0, 1);
    return RefReadPixel(dest, 0, 0);
  }

  // The palette index of a sub-byte texel, read through a palette that maps i to red i.
  uint32_t FetchIndex(TestSurface& texture, int32_t u, int32_t v) {
    for (int i = 0; i < 256; ++i) texture.desc.Indexed.Palette[i] = {static_cast<uint8_t>(i), 0, 0, 0};
    machine->Initialize();
    machine->TextureRegisters[0].Surface = &texture.desc;
    machine->TextureRegisters[0].U = u;
    machine->TextureRegisters[0].V = v;
    return (Evaluate(machine->NewTextureNode(0)) >> 16) & 0xFF;
  }

  // The texture unpacked and packed into 8-8-8-8, alpha from the default colour when absent.
  uint32_t Unpacked(TestSurface& texture, uint16_t defaultAlpha = 0) {
    machine->Initialize();
    machine->Dither = true;  // forces the unpack even where the formats agree
    machine->TextureRegisters[0].Surface = &texture.desc;
    machine->TextureRegisters[0].DefaultColor = {0, 0, 0, defaultAlpha};
    return Evaluate(machine->NewTextureNode(0));
  }

  static PixelFormat FormatOf(const TestSurface& s) {
    for (PixelFormat f : AllFormats) {
      TestSurface probe(f, 1, 1);
      if (probe.desc.BitCount == s.desc.BitCount && SameSurfaceFormat(probe.desc, s.desc)) return f;
    }
    return PixelFormat::RGB32;
  }

  static void Put32(TestSurface& s, int x, int y, uint32_t value) {
    std::memcpy(static_cast<uint8_t*>(s.desc.Bits) + int64_t{y} * s.desc.Pitch + 4 * x, &value, 4);
  }
  static void Put16(TestSurface& s, int x, int y, uint16_t value) {
    std::memcpy(static_cast<uint8_t*>(s.desc.Bits) + int64_t{y} * s.desc.Pitch + 2 * x, &value, 2);
  }
};

TEST_P(PixelFormats, FetchDropsFractionsAndWrapsByTheMasks) {
  TestSurface texture(PixelFormat::RGB32, 64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) Put32(texture, x, y, static_cast<uint32_t>(y * 1000 + x));
  EXPECT_EQ(FetchRaw(texture, 3 * 65536 + 65535, 2 * 65536), 2003u);
  EXPECT_EQ(FetchRaw(texture, 65 * 65536, 0), 1u);
  EXPECT_EQ(FetchRaw(texture, -65536, 5 * 65536), 5063u);
}

TEST_P(PixelFormats, DirectAddressingIgnoresTheMasks) {
  TestSurface texture(PixelFormat::RGB32, 6, 6);  // HeightMask 3
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) Put32(texture, x, y, static_cast<uint32_t>(y * 10 + x));
  EXPECT_EQ(FetchRaw(texture, 2 * 65536, 4 * 65536, 1), 42u);
  // Wrapped, column 2 and WidthMask 5 give 0, row 4 and HeightMask 3 give 0.
  EXPECT_EQ(FetchRaw(texture, 2 * 65536, 4 * 65536, 0), 0u);
  EXPECT_EQ(FetchRaw(texture, 3 * 65536, 4 * 65536, 1), 43u);
  EXPECT_EQ(FetchRaw(texture, 3 * 65536, 1 * 65536, 0), 11u);
}

TEST_P(PixelFormats, SubByteTexelsLeftmostInTheHighBits) {
  TestSurface one(PixelFormat::Indexed1, 16, 1);
  one.memory[1] = 0x40;
  one.memory[0] = 0x80;
  EXPECT_EQ(FetchIndex(one, 9 * 65536, 0), 1u);
  EXPECT_EQ(FetchIndex(one, 8 * 65536, 0), 0u);
  EXPECT_EQ(FetchIndex(one, 10 * 65536, 0), 0u);
  EXPECT_EQ(FetchIndex(one, 0, 0), 1u);

  TestSurface two(PixelFormat::Indexed2, 8, 1);
  two.memory[1] = 0x08;
  EXPECT_EQ(FetchIndex(two, 6 * 65536, 0), 2u);
  EXPECT_EQ(FetchIndex(two, 7 * 65536, 0), 0u);

  TestSurface four(PixelFormat::Indexed4, 4, 1);
  four.memory[0] = 0x3C;
  EXPECT_EQ(FetchIndex(four, 0, 0), 3u);
  EXPECT_EQ(FetchIndex(four, 65536, 0), 12u);
}

TEST_P(PixelFormats, TwentyFourBitTexelsReadExactlyThreeBytes) {
  TestSurface texture(PixelFormat::RGB24, 4, 1);  // 12 bytes: the last texel ends the memory
  texture.memory.resize(12);
  texture.desc.Bits = texture.memory.data();
  texture.memory[9] = 0x11;
  texture.memory[10] = 0x22;
  texture.memory[11] = 0x33;
  EXPECT_EQ(FetchRaw(texture, 3 * 65536, 0), 0x332211u);
}

TEST_P(PixelFormats, RowOffsetsForEveryPitch) {
  for (uint32_t width : {256u, 320u}) {
    TestSurface bottomUp(PixelFormat::RGB32, width, 4, true);
    ASSERT_EQ(bottomUp.desc.Pitch, -static_cast<int32_t>(width * 4));
    for (int y = 0; y < 4; ++y) Put32(bottomUp, 7, y, 0x100u + y);
    EXPECT_EQ(FetchRaw(bottomUp, 7 * 65536, 3 * 65536), 0x103u) << width;
    EXPECT_EQ(static_cast<uint8_t*>(bottomUp.desc.Bits) - bottomUp.memory.data(), (4 - 1) * 4 * width);
  }
  for (uint32_t width : {640u, 1024u}) {
    TestSurface texture(PixelFormat::RGB565, width, 4);
    Put16(texture, 5, 2, 0xBEEF);
    EXPECT_EQ(FetchRaw(texture, 5 * 65536, 2 * 65536), 0xBEEFu) << width;
  }
}

TEST_P(PixelFormats, UnpackPutsEachChannelsTopBitOnBit7) {
  TestSurface rgb565(PixelFormat::RGB565, 1, 1);
  Put16(rgb565, 0, 0, 0xFFFF);
  EXPECT_EQ(Unpacked(rgb565), 0x00F8FCF8u);
  Put16(rgb565, 0, 0, 0x1234);
  EXPECT_EQ(Unpacked(rgb565), 0x001044A0u);

  TestSurface rgb1555(PixelFormat::RGB1555, 1, 1);
  Put16(rgb1555, 0, 0, 0x8000);
  EXPECT_EQ(Unpacked(rgb1555, 0xFF00), 0x80000000u);

  TestSurface rgb4444(PixelFormat::RGB4444, 1, 1);
  Put16(rgb4444, 0, 0, 0xFFFF);
  EXPECT_EQ(Unpacked(rgb4444), 0xF0F0F0F0u);

  TestSurface argb(PixelFormat::ARGB32, 1, 1);
  Put32(argb, 0, 0, 0x80FF4020);
  EXPECT_EQ(Unpacked(argb), 0x80FF4020u);

  TestSurface rgb32(PixelFormat::RGB32, 1, 1);
  Put32(rgb32, 0, 0, 0x33445566);
  EXPECT_EQ(Unpacked(rgb32, 0x8000), 0x80445566u);
}

TEST_P(PixelFormats, IndexedPixelsComeFromThePalette) {
  TestSurface eight(PixelFormat::Indexed8, 1, 1);
  eight.memory[0] = 5;
  eight.desc.Indexed.Palette[5] = {10, 20, 30, 0};
  EXPECT_EQ(Unpacked(eight) & 0xFFFFFF, 0x0A141Eu);

  TestSurface four(PixelFormat::Indexed4, 2, 1);
  four.memory[0] = 0x9F;
  four.desc.Indexed.Palette[9] = {1, 2, 3, 0};
  EXPECT_EQ(Unpacked(four) & 0xFFFFFF, 0x010203u);
}

TEST_P(PixelFormats, DestinationWithoutAlphaReadsAsAlphaZero) {
  TestSurface dest(PixelFormat::RGB32, 1, 1);
  Put32(dest, 0, 0, 0xFFFFFFFF);
  // Source-alpha weighting of the destination by its own (absent) alpha gives black.
  Draw(dest, machine->NewBlendNode(BlendSrcAlpha, machine->NewTypedNode(NodeDestPixel), Register(0)), 0, 0, 1);
  EXPECT_EQ(RefReadPixel(dest, 0, 0), 0u);
}

TEST_P(PixelFormats, PackTruncatesToEachField) {
  const struct {
    PixelFormat format;
    uint32_t white;
  } cases[] = {{PixelFormat::RGB565, 0xFFFF}, {PixelFormat::RGB1555, 0xFFFF}, {PixelFormat::RGB4444, 0xFFFF},
               {PixelFormat::RGB24, 0xFFFFFF}, {PixelFormat::ARGB32, 0xFFFFFFFF}};
  for (const auto& c : cases) {
    for (bool dither : {false, true}) {
      TestSurface dest(c.format, 2, 1);
      machine->Initialize();
      machine->Dither = dither;
      machine->ColorRegisters[0].Color = {0xFF00, 0xFF00, 0xFF00, 0xFF00};
      machine->ColorRegisters[1].Color = {0x00FF, 0x00FF, 0x00FF, 0x00FF};
      Draw(dest, Register(0), 0, 0, 1);
      Draw(dest, Register(1), 1, 0, 1);
      EXPECT_EQ(RefReadPixel(dest, 0, 0), c.white) << FormatName(c.format);
      EXPECT_EQ(RefReadPixel(dest, 1, 0), 0u) << FormatName(c.format);
    }
  }
}

TEST_P(PixelFormats, OrderedDitherRaisesKOfFourPixels) {
  auto field = [&](uint16_t red, uint16_t green, int x, int y) {
    TestSurface dest(PixelFormat::RGB565, 2, 2);
    machine->Initialize();
    machine->Dither = true;
    machine->ColorRegisters[0].Color = {red, green, 0, 0};
    Draw(dest, Register(0), x, y, 1);
    return RefReadPixel(dest, x, y);
  };
  // Red 6 (k = 3): raised everywhere but on the odd-odd pixel.
  EXPECT_EQ(field(6 << 8, 0, 0, 0) >> 11, 1u);
  EXPECT_EQ(field(6 << 8, 0, 1, 0) >> 11, 1u);
  EXPECT_EQ(field(6 << 8, 0, 0, 1) >> 11, 1u);
  EXPECT_EQ(field(6 << 8, 0, 1, 1) >> 11, 0u);
  EXPECT_EQ(field(252 << 8, 0, 0, 0) >> 11, 31u);
  // Green 2 in six bits (k = 2): the diagonal even-even and odd-odd.
  EXPECT_EQ((field(0, 2 << 8, 0, 0) >> 5) & 63, 1u);
  EXPECT_EQ((field(0, 2 << 8, 1, 1) >> 5) & 63, 1u);
  EXPECT_EQ((field(0, 2 << 8, 1, 0) >> 5) & 63, 0u);
  EXPECT_EQ((field(0, 2 << 8, 0, 1) >> 5) & 63, 0u);
}

TEST_P(PixelFormats, DitherFollowsTheSpanPositionAndSparesWideChannels) {
  TestSurface dithered(PixelFormat::RGB565, 4, 1);
  machine->Dither = true;
  machine->ColorRegisters[0].Color = {6 << 8, 0, 0, 0};
  machine->ColorRegisters[0].Gouraud = true;  // zero delta: the general loop with dither
  Draw(dithered, Register(0), 1, 0, 3);
  // Starting on an odd column: columns 1, 2, 3 of row 0 are p = 2, 0, 2.
  EXPECT_EQ(RefReadPixel(dithered, 1, 0) >> 11, 1u);
  EXPECT_EQ(RefReadPixel(dithered, 2, 0) >> 11, 1u);
  EXPECT_EQ(RefReadPixel(dithered, 3, 0) >> 11, 1u);
  EXPECT_EQ(machine->Axis.X, 4);

  for (bool dither : {false, true}) {
    TestSurface wide(PixelFormat::RGB32, 2, 2);
    machine->Initialize();
    machine->Dither = dither;
    machine->ColorRegisters[0].Color = {0x0600, 0x0200, 0xFE00, 0};
    Draw(wide, Register(0), 0, 1, 2);
    EXPECT_EQ(RefReadPixel(wide, 0, 1), 0x0602FEu);
    EXPECT_EQ(RefReadPixel(wide, 1, 1), 0x0602FEu);
  }
}

TEST_P(PixelFormats, IndexedDestinationTakesRedAsIndex) {
  TestSurface dest(PixelFormat::Indexed8, 1, 1);
  machine->ColorRegisters[0].Color = {0x7B00, 0x1100, 0x2200, 0};
  Draw(dest, Register(0), 0, 0, 1);
  EXPECT_EQ(dest.memory[0], 0x7B);

  // Nothing is written to destinations narrower than a byte.
  TestSurface nibbles(PixelFormat::Indexed4, 4, 1);
  std::fill(nibbles.memory.begin(), nibbles.memory.end(), 0x5A);
  machine->Initialize();
  Draw(nibbles, machine->NewBlendNode(BlendAdd, machine->NewTypedNode(NodeDestPixel), Register(0)), 0, 0, 4);
  for (uint8_t b : nibbles.memory) EXPECT_EQ(b, 0x5A);
}

INSTANTIATE_BOTH_FORMS(PixelFormats);

}  // namespace
