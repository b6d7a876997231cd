// Blend modes on known component values, and the agreement of their two code forms.
#include <vector>

#include "RenderFixture.h"
#include "render/SpanCompiler.h"

namespace {

class BlendValues : public RenderTest {
 protected:
  uint32_t Blend(TDXRBlendMode mode, DXRColor c1, DXRColor c2, PixelFormat destFormat = PixelFormat::ARGB32) {
    machine->Initialize();
    machine->ColorRegisters[0].Color = c1;
    machine->ColorRegisters[1].Color = c2;
    TestSurface dest(destFormat, 1, 1);
    Draw(dest, machine->NewBlendNode(mode, Register(0), Register(1)), 0, 0, 1);
    return RefReadPixel(dest, 0, 0);
  }
  static DXRColor Gray(int c, int a) {
    const auto w = static_cast<uint16_t>(c << 8);
    return {w, w, w, static_cast<uint16_t>(a << 8)};
  }
};

TEST_P(BlendValues, SaturatingAddAndSubtract) {
  EXPECT_EQ(Blend(BlendAdd, Gray(200, 200), Gray(100, 100)), 0xFFFFFFFFu);
  EXPECT_EQ(Blend(BlendSub, Gray(100, 100), Gray(200, 200)), 0u);
  EXPECT_EQ(Blend(BlendReverseSub, Gray(100, 100), Gray(200, 200)), 0x64646464u);
}

TEST_P(BlendValues, MultiplyRoundsDown) {
  for (TDXRBlendMode mode : {BlendMultiply, BlendModulateAll}) {
    EXPECT_EQ(Blend(mode, Gray(255, 255), Gray(255, 255)), 0xFEFEFEFEu) << int{mode};
    EXPECT_EQ(Blend(mode, Gray(255, 255), Gray(128, 128)), 0x7F7F7F7Fu) << int{mode};
  }
}

TEST_P(BlendValues, SourceAlphaWeighting) {
  EXPECT_EQ(Blend(BlendSrcAlpha, Gray(255, 255), Gray(0, 0)), 0xFEFEFEFEu);
  EXPECT_EQ(Blend(BlendSrcAlpha, Gray(100, 128), Gray(0, 0)), 0x40323232u);
  EXPECT_EQ(Blend(BlendSrcAlphaAdd, Gray(100, 128), Gray(220, 10)), 0x4AFFFFFFu);
  EXPECT_EQ(Blend(BlendSrcAlphaSub, Gray(100, 128), Gray(220, 10)), 0x00AAAAAAu);
}

TEST_P(BlendValues, AlphaMixAloneAndInPairs) {
  // On 8-8-8 without alpha, R and G form a pair while B is computed alone.
  EXPECT_EQ(Blend(BlendAlphaMix, Gray(40, 0), Gray(200, 0), PixelFormat::RGB32), 0xC7C7C8u);
  EXPECT_EQ(Blend(BlendAlphaMix, {0, 0, 0, 0xFF00}, Gray(255, 0), PixelFormat::RGB32) & 0xFF, 0u);
  EXPECT_EQ(Blend(BlendInvAlphaMix, Gray(40, 255), Gray(200, 0), PixelFormat::RGB32), 0xC7C7C8u);
  EXPECT_EQ(Blend(BlendAlphaMix, Gray(255, 255), Gray(0, 0), PixelFormat::RGB32), 0xFEFEFEu);
}

TEST_P(BlendValues, AlphaKeepingModes) {
  const DXRColor c1 = {0x1000, 0x2000, 0x3000, 0x4000};
  const DXRColor c2 = {0x8000, 0x8000, 0x8000, 0x9000};
  EXPECT_EQ(Blend(BlendColorKeepAlpha, c1, c2), 0x90102030u);
  EXPECT_EQ(Blend(BlendModulate, c1, c2), 0x40081018u);
  EXPECT_EQ(Blend(BlendAddColor, c1, c2), 0x9090A0B0u);
  EXPECT_EQ(Blend(BlendReplace, c1, c2), 0x40102030u);
  EXPECT_EQ(Blend(BlendSource2, c1, c2), 0x90808080u);
}

TEST_P(BlendValues, ConstantOperandsGiveTheSameDifferences) {
  for (TDXRBlendMode mode : {BlendSub, BlendReverseSub, BlendAdd, BlendAddColor}) {
    for (int a = 0; a < 256; a += 51) {
      for (int b = 0; b < 256; b += 17) {
        const uint32_t atRunTime = Blend(mode, Gray(a, a), Gray(b, b));
        machine->Initialize();
        machine->ColorRegisters[1].Color = Gray(b, b);
        EXPECT_EQ(Evaluate(machine->NewBlendNode(mode, Const(a << 8, a << 8, a << 8, a << 8), Register(1))),
                  atRunTime);
        machine->Initialize();
        machine->ColorRegisters[0].Color = Gray(a, a);
        EXPECT_EQ(Evaluate(machine->NewBlendNode(mode, Register(0), Const(b << 8, b << 8, b << 8, b << 8))),
                  atRunTime);
      }
    }
  }
}

INSTANTIATE_BOTH_FORMS(BlendValues);

// Every pair of components, one span of 256 per first component, with the second component
// stepped along the span.
std::vector<uint32_t> AllPairs(TDXRBlendMode mode, bool mmx) {
  const UseMMXForm form(mmx);
  TDXRMachine machine;
  TestSurface dest(PixelFormat::ARGB32, 256, 1);
  std::vector<uint32_t> results;
  machine.Initialize();
  machine.Dest = &dest.desc;
  DXRNode* first = machine.NewTypedNode(NodeColor);
  DXRNode* second = machine.NewTypedNode(NodeColor);
  second->Index = 1;
  machine.ColorRegisters[1].Gouraud = true;
  machine.Compile(machine.NewBlendNode(mode, first, second));
  for (int a = 0; a < 256; ++a) {
    const auto w = static_cast<uint16_t>(a << 8);
    machine.ColorRegisters[0].Color = {w, w, w, w};
    machine.ColorRegisters[1].Color = {0, 0, 0, 0};
    machine.ColorRegisters[1].Delta = {0x100, 0x100, 0x100, 0x100};
    machine.Axis.X = 0;
    machine.Run(256);
    const auto* pixels = reinterpret_cast<const uint32_t*>(dest.memory.data());
    results.insert(results.end(), pixels, pixels + 256);
  }
  return results;
}

TEST(BlendForms, AgreeOnAllPairsWithoutFractions) {
  if (const std::string why = UseMMXForm(true).Unavailable(); !why.empty()) GTEST_SKIP() << why;
  for (TDXRBlendMode mode : {BlendAdd, BlendSub, BlendReverseSub, BlendMultiply, BlendModulateAll, BlendAddColor}) {
    const auto table = AllPairs(mode, false);
    const auto mmx = AllPairs(mode, true);
    ASSERT_EQ(table.size(), 65536u);
    for (size_t i = 0; i < table.size(); ++i) ASSERT_EQ(mmx[i], table[i]) << "mode " << int{mode} << " pair " << i;
  }
}

TEST(BlendForms, EmptyChannelSetsAndUnknownModesEmitNothing) {
  TDXRMachine machine;
  std::vector<uint8_t> code(256);
  SpanCompiler compiler(machine, code.data(), code.size());
  compiler.EmitBlend(BlendAdd, &machine.Temps[0], &machine.Temps[1], &machine.Temps[2], 0, 0, 0);
  compiler.EmitBlend(17, &machine.Temps[0], &machine.Temps[1], &machine.Temps[2], ChannelsRGBA, 0, 0);
  compiler.EmitBlend(255, &machine.Temps[0], &machine.Temps[1], &machine.Temps[2], ChannelsRGBA, 0, 0);
  EXPECT_EQ(compiler.getSize(), 0u);
  compiler.EmitBlend(BlendAdd, &machine.Temps[0], &machine.Temps[1], &machine.Temps[2], ChannelR, 0, 0);
  EXPECT_GT(compiler.getSize(), 0u);
}

}  // namespace
