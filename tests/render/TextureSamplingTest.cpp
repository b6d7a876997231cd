// Colour keys, bilinear and indirect reads, and the per-pixel steps of textures and colours.
#include "RenderFixture.h"

namespace {

class TextureSampling : public RenderTest {
 protected:
  DXRTextureRegister& UseTexture(int index, TestSurface& texture) {
    DXRTextureRegister& tex = machine->TextureRegisters[index];
    tex.Surface = &texture.desc;
    return tex;
  }
  static void Fill32(TestSurface& s, std::initializer_list<uint32_t> values) {
    std::memcpy(s.memory.data(), values.begin(), values.size() * 4);
  }
};

TEST_P(TextureSampling, KeyOfA32BitTextureWithoutAlphaIgnoresTheTopByte) {
  TestSurface texture(PixelFormat::RGB32, 4, 1);
  Fill32(texture, {0xAB123456, 0x00123456, 0xCD654321});
  TestSurface dest(PixelFormat::RGB32, 3, 1);
  std::fill(dest.memory.begin(), dest.memory.end(), 0xEE);
  DXRTextureRegister& tex = UseTexture(0, texture);
  tex.dU = 65536;
  tex.ColorKeyEnable = true;
  tex.ColorKey = 0x123456;
  Draw(dest, machine->NewTextureNode(0), 0, 0, 3);
  EXPECT_EQ(RefReadPixel(dest, 0, 0), 0xEEEEEEEEu);
  EXPECT_EQ(RefReadPixel(dest, 1, 0), 0xEEEEEEEEu);
  EXPECT_EQ(RefReadPixel(dest, 2, 0), 0x00654321u) << "a copied texel loses its top byte";

  machine->Initialize();
  UseTexture(0, texture).dU = 65536;
  Draw(dest, machine->NewTextureNode(0), 0, 0, 3);
  EXPECT_EQ(RefReadPixel(dest, 0, 0), 0xAB123456u) << "without a key the copy is exact";
  EXPECT_EQ(RefReadPixel(dest, 2, 0), 0xCD654321u);
}

TEST_P(TextureSampling, KeyWithAlphaBitsNeverMatchesThem) {
  TestSurface texture(PixelFormat::ARGB32, 2, 1);
  Fill32(texture, {0x80102030, 0x00102031});
  TestSurface dest(PixelFormat::ARGB32, 2, 1);
  DXRTextureRegister& tex = UseTexture(0, texture);
  tex.dU = 65536;
  tex.ColorKeyEnable = true;
  tex.ColorKey = 0x102030;
  Draw(dest, machine->NewTextureNode(0), 0, 0, 2);
  EXPECT_EQ(RefReadPixel(dest, 0, 0), 0u) << "alpha is not part of the comparison";
  EXPECT_EQ(RefReadPixel(dest, 1, 0), 0x00102031u);

  machine->Initialize();
  UseTexture(0, texture).ColorKeyEnable = true;
  machine->TextureRegisters[0].ColorKey = 0x80102030;  // bits inside the alpha mask
  machine->TextureRegisters[0].dU = 65536;
  Draw(dest, machine->NewTextureNode(0), 0, 0, 1);
  EXPECT_EQ(RefReadPixel(dest, 0, 0), 0x80102030u);
}

TEST_P(TextureSampling, SixteenBitKeyZeroSkipsOnlyZero) {
  TestSurface texture(PixelFormat::RGB565, 4, 1);
  const uint16_t texels[3] = {0, 1, 0x8000};
  std::memcpy(texture.memory.data(), texels, sizeof(texels));
  TestSurface dest(PixelFormat::RGB565, 3, 1);
  std::fill(dest.memory.begin(), dest.memory.end(), 0x11);
  DXRTextureRegister& tex = UseTexture(0, texture);
  tex.dU = 65536;
  tex.ColorKeyEnable = true;
  Draw(dest, machine->NewTextureNode(0), 0, 0, 3);
  EXPECT_EQ(RefReadPixel(dest, 0, 0), 0x1111u);
  EXPECT_EQ(RefReadPixel(dest, 1, 0), 1u);
  EXPECT_EQ(RefReadPixel(dest, 2, 0), 0x8000u);
}

TEST_P(TextureSampling, BilinearWeightsSumTo255Over65536) {
  TestSurface texture(PixelFormat::ARGB32, 4, 4);
  std::fill(texture.memory.begin(), texture.memory.end(), 0xFF);
  DXRTextureRegister& tex = UseTexture(0, texture);
  tex.Filter = 1;
  tex.U = 0x18000;
  tex.V = 0x24000;
  EXPECT_EQ(Evaluate(machine->NewTextureNode(0)), 0xFDFDFDFDu);

  machine->Initialize();
  Fill32(texture, {0x80402010});
  UseTexture(0, texture).Filter = 3;
  // With both fractions 0 only the first texel counts: c × 255 × 255 >> 16.
  EXPECT_EQ(Evaluate(machine->NewTextureNode(0)), 0x7F3F1F0Fu);
}

TEST_P(TextureSampling, BilinearBlendsTheFourNeighbours) {
  TestSurface texture(PixelFormat::RGB32, 2, 2);
  Fill32(texture, {0x000000, 0x0000FF, 0x00FF00, 0xFF0000});
  DXRTextureRegister& tex = UseTexture(0, texture);
  tex.Filter = 1;
  tex.U = 0x8000;  // fu = 128
  tex.V = 0x4000;  // fv = 64
  // Blue only on the right top texel, green on the left bottom one, red on the right bottom one.
  const uint32_t blue = (255 * 128 * 191) >> 16, green = (255 * 127 * 64) >> 16, red = (255 * 128 * 64) >> 16;
  EXPECT_EQ(Evaluate(machine->NewTextureNode(0)) & 0xFFFFFF, (red << 16) | (green << 8) | blue);
}

TEST_P(TextureSampling, IndirectReadsArePerturbedByTheSecondTexture) {
  TestSurface texture(PixelFormat::RGB32, 8, 2);
  for (uint32_t i = 0; i < 16; ++i) std::memcpy(texture.memory.data() + 4 * i, &i, 4);
  TestSurface offsets(PixelFormat::Indexed8, 4, 4);
  offsets.memory[0] = 1;
  offsets.memory[1] = 4;  // the U difference: 3 texels
  DXRTextureRegister& first = UseTexture(0, texture);
  first.U = 2 * 65536;
  DXRTextureRegister& second = UseTexture(1, offsets);
  second.U = 65536;
  second.dU = 65536;
  second.dV = 0;
  DXRNode* node = machine->NewTypedNode(NodeIndirectTexture);
  node->Index = 0;
  node->SecondTexture = 1;
  EXPECT_EQ(Evaluate(node) & 0xFFFFFF, 5u);
  EXPECT_TRUE(machine->TextureRegisters[1].Enable);

  // Along V the second texture is read one step back in V.
  machine->Initialize();
  UseTexture(0, texture);
  DXRTextureRegister& perturbing = UseTexture(1, offsets);
  perturbing.U = 65536;
  perturbing.V = 0;
  perturbing.dV = 3 * 65536;  // one step back lands on row 65533, wrapped to row 1
  offsets.memory[4 * 1 + 1] = 3;  // 4 − 3: one row down
  node = machine->NewTypedNode(NodeIndirectTexture);
  node->Index = 0;
  node->SecondTexture = 1;
  EXPECT_EQ(Evaluate(node) & 0xFFFFFF, 8u);
}

TEST_P(TextureSampling, ConstantStepsAreFixedOnlyInTheTableForm) {
  TestSurface texture(PixelFormat::RGB32, 8, 1);
  for (uint32_t i = 0; i < 8; ++i) std::memcpy(texture.memory.data() + 4 * i, &i, 4);
  TestSurface dest(PixelFormat::RGB32, 3, 1);
  DXRTextureRegister& tex = UseTexture(0, texture);
  tex.dU = 65536;
  tex.ConstantSteps = true;
  machine->Dest = &dest.desc;
  machine->Compile(machine->NewTextureNode(0));
  tex.dU = 3 * 65536;
  machine->Run(3);
  const uint32_t expectedLast = GetParam() ? 6 : 2;
  EXPECT_EQ(RefReadPixel(dest, 1, 0), GetParam() ? 3u : 1u);
  EXPECT_EQ(RefReadPixel(dest, 2, 0), expectedLast);
}

TEST_P(TextureSampling, GouraudStepsWrapPerWordOnlyWithMMX) {
  TestSurface dest(PixelFormat::RGB32, 2, 1);
  DXRColorRegister& reg = machine->ColorRegisters[0];
  reg.Color = {0x1000, 0x2000, 0x3000, 0};
  reg.Delta = {0xFF00, 0, 0, 0};
  reg.Gouraud = true;
  Draw(dest, Register(0), 0, 0, 1);
  EXPECT_EQ(reg.Color.R, 0x0F00);
  EXPECT_EQ(reg.Color.G, GetParam() ? 0x2000 : 0x2001);
  EXPECT_EQ(reg.Color.B, 0x3000);
  EXPECT_EQ(RefReadPixel(dest, 0, 0), 0x102030u);
}

INSTANTIATE_BOTH_FORMS(TextureSampling);

}  // namespace
