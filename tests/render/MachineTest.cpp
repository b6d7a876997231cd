// The pipeline machine: running, tree simplification, register marking, limits, tables.
#include <cmath>
#include <vector>

#include <xbyak/xbyak_util.h>

#include "RenderFixture.h"

namespace {

class Machine : public RenderTest {
 protected:
  std::vector<uint8_t> CompiledCode(TestSurface& dest, DXRNode* root) {
    machine->Dest = &dest.desc;
    machine->Compile(root);
    EXPECT_NE(machine->Entry, nullptr);
    const auto code = machine->RoutineCode();
    return {code.begin(), code.end()};
  }

  void UseTexture(int index, TestSurface& texture) {
    machine->TextureRegisters[index].Surface = &texture.desc;
    machine->TextureRegisters[index].Addressing = 0;
  }
};

TEST_P(Machine, RunDoesNothingForEmptyCountsOrWithoutRoutine) {
  TestSurface dest(PixelFormat::RGB32, 4, 1);
  machine->ColorRegisters[0].Color = {0xFF00, 0xFF00, 0xFF00, 0};
  Draw(dest, Register(0), 0, 0, 0);
  machine->Run(-3);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(RefReadPixel(dest, x, 0), 0u);

  machine->Initialize();
  EXPECT_EQ(machine->Entry, nullptr);
  machine->Run(4);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(RefReadPixel(dest, x, 0), 0u);
}

TEST_P(Machine, TrivialBlendsFoldAway) {
  TestSurface dest(PixelFormat::RGB32, 4, 1);
  TestSurface texture(PixelFormat::RGB32, 4, 4);
  UseTexture(0, texture);

  const auto textureAlone = CompiledCode(dest, machine->NewTextureNode(0));
  machine->Initialize();
  UseTexture(0, texture);
  DXRNode* source1 =
      machine->NewBlendNode(BlendSource1, machine->NewTextureNode(0), machine->NewTypedNode(NodeDestPixel));
  EXPECT_EQ(CompiledCode(dest, source1), textureAlone);

  for (bool blackFirst : {false, true}) {
    machine->Initialize();
    UseTexture(0, texture);
    DXRNode* black = machine->NewTypedNode(NodeBlack);
    DXRNode* x = machine->NewTextureNode(0);
    DXRNode* add = blackFirst ? machine->NewBlendNode(BlendAdd, black, x) : machine->NewBlendNode(BlendAdd, x, black);
    EXPECT_EQ(CompiledCode(dest, add), textureAlone) << "black first: " << blackFirst;
  }

  machine->Initialize();
  UseTexture(0, texture);
  DXRNode* reverse =
      machine->NewBlendNode(BlendReverseSub, machine->NewTypedNode(NodeBlack), machine->NewTextureNode(0));
  EXPECT_EQ(CompiledCode(dest, reverse), textureAlone);
}

TEST_P(Machine, KeptRoutinesServeSurfacesOfTheirFormatAndGetTheirCompileTimeWordsBack) {
  TestSurface dest(PixelFormat::ARGB32, 1, 1);
  TestSurface textures[2] = {TestSurface(PixelFormat::RGB32, 2, 2), TestSurface(PixelFormat::RGB32, 2, 2)};
  textures[0].memory[2] = 0x11;  // red of texel (0, 0)
  textures[1].memory[2] = 0x22;
  // The texture has no alpha: the sum's alpha is the default the compile fixed in a temporary.
  auto draw = [&](TestSurface& texture, uint16_t defaultAlpha) {
    machine->Initialize();
    UseTexture(0, texture);
    machine->TextureRegisters[0].DefaultColor = {0, 0, 0, defaultAlpha};
    Draw(dest, machine->NewBlendNode(BlendAdd, machine->NewTextureNode(0), Const(0, 0, 0, 0)), 0, 0, 1);
    return std::make_pair(RefReadPixel(dest, 0, 0), machine->RoutineCode().data());
  };
  const auto first = draw(textures[0], 0x3000);
  EXPECT_EQ(first.first, 0x30110000u);
  const auto other = draw(textures[0], 0x9000);
  EXPECT_EQ(other.first, 0x90110000u);
  EXPECT_NE(other.second, first.second);
  const auto again = draw(textures[1], 0x3000);
  EXPECT_EQ(again.first, 0x30220000u) << "another surface of the format, the fixed words of its own compile";
  EXPECT_EQ(again.second, first.second) << "the first routine is reused";
}

TEST_P(Machine, ReverseSubtractOfBlackStaysAndYieldsZero) {
  TestSurface dest(PixelFormat::ARGB32, 1, 1);
  std::fill(dest.memory.begin(), dest.memory.end(), 0x5A);
  DXRNode* blend =
      machine->NewBlendNode(BlendReverseSub, Const(0x8000, 0x4000, 0x2000, 0x1000), machine->NewTypedNode(NodeBlack));
  Draw(dest, blend, 0, 0, 1);
  EXPECT_EQ(RefReadPixel(dest, 0, 0), 0u);
}

TEST_P(Machine, ZeroBlendWritesZeroPixels) {
  TestSurface dest(PixelFormat::RGB24, 5, 1);
  std::fill(dest.memory.begin(), dest.memory.end(), 0xEE);
  Draw(dest, machine->NewBlendNode(BlendZero, Const(0xFF00, 0xFF00, 0xFF00, 0xFF00), Register(1)), 0, 0, 5);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(RefReadPixel(dest, x, 0), 0u);
}

TEST_P(Machine, MissingTextureChannelsTakeTheDefaultColour) {
  TestSurface texture(PixelFormat::RGB32, 2, 2);
  std::fill(texture.memory.begin(), texture.memory.end(), 0x11);
  UseTexture(0, texture);
  machine->TextureRegisters[0].DefaultColor = {0, 0, 0, 0x9C00};
  // Through a blend (a constant word) and as the root (unpacked with the default).
  EXPECT_EQ(Evaluate(machine->NewBlendNode(BlendAdd, machine->NewTextureNode(0), Const(0, 0, 0, 0))) >> 24, 0x9Cu);
  machine->Initialize();
  UseTexture(0, texture);
  machine->TextureRegisters[0].DefaultColor = {0, 0, 0, 0x9C00};
  EXPECT_EQ(Evaluate(machine->NewTextureNode(0)), 0x9C111111u);
}

TEST_P(Machine, MarkingEnablesOnlyRegistersTheTreeReads) {
  TestSurface dest(PixelFormat::RGB565, 2, 1);
  TestSurface texture(PixelFormat::RGB32, 2, 2);
  UseTexture(3, texture);
  UseTexture(5, texture);
  // Mode 7 drops its second child, so register 6 is never read.
  DXRNode* tree = machine->NewBlendNode(
      BlendAdd, machine->NewBlendNode(BlendSrcAlpha, machine->NewTextureNode(5), Register(6)), Register(2));
  machine->Dest = &dest.desc;
  machine->Compile(tree);
  EXPECT_EQ(machine->ColorCount, 1);
  EXPECT_EQ(machine->ColorIndex[0], 2);
  EXPECT_EQ(machine->ColorRegisters[2].ChannelsUsed, ChannelsRGB);
  EXPECT_FALSE(machine->ColorRegisters[6].Enable);
  EXPECT_EQ(machine->TextureCount, 1);
  EXPECT_EQ(machine->TextureIndex[0], 5);
  EXPECT_FALSE(machine->TextureRegisters[3].Enable);
  // The texture has no alpha, so of the forced alpha only colour channels remain used.
  EXPECT_EQ(machine->TextureRegisters[5].ChannelsUsed, ChannelsRGB);
}

TEST_P(Machine, RefusesTreesItCannotCompile) {
  TestSurface dest(PixelFormat::RGB32, 2, 1);
  machine->Dest = &dest.desc;
  machine->Compile(machine->NewBlendNode(BlendAdd, Register(0), nullptr));
  EXPECT_EQ(machine->Entry, nullptr);
  machine->Compile(machine->NewBlendNode(static_cast<TDXRBlendMode>(17), Register(0), Register(1)));
  EXPECT_EQ(machine->Entry, nullptr);
  machine->Compile(machine->NewTextureNode(2));  // no surface
  EXPECT_EQ(machine->Entry, nullptr);
  machine->Compile(Register(8));
  EXPECT_EQ(machine->Entry, nullptr);
  DXRNode outside{};
  machine->Compile(&outside);
  EXPECT_EQ(machine->Entry, nullptr);
  machine->Dest = nullptr;
  machine->Compile(Register(0));
  EXPECT_EQ(machine->Entry, nullptr);
}

TEST_P(Machine, NodeStorageEndsAfter128Nodes) {
  for (int i = 0; i < MaxNodes; ++i) ASSERT_NE(machine->NewNode(), nullptr);
  EXPECT_EQ(machine->NewNode(), nullptr);
  EXPECT_EQ(machine->NewBlendNode(BlendAdd, nullptr, nullptr), nullptr);
  machine->Initialize();
  EXPECT_NE(machine->NewNode(), nullptr);
}

// The largest tree: 64 bilinear reads of a 4-bit indexed texture with alpha, joined by 63
// paired alpha mixes.
DXRNode* LargestTree(TDXRMachine& m, int leaves) {
  if (leaves == 1) return m.NewTextureNode(0);
  DXRNode* left = LargestTree(m, leaves / 2);
  DXRNode* right = LargestTree(m, leaves - leaves / 2);
  return m.NewBlendNode(BlendInvAlphaMix, left, right);
}

TEST_P(Machine, LargestTreeFitsAndOversizedRoutinesNeverRun) {
  TestSurface dest(PixelFormat::ARGB32, 4, 1);
  TestSurface texture(PixelFormat::Indexed4, 4, 4);
  InitIndexedSurface(texture.desc, 4, 4, 4, texture.desc.Bits, texture.desc.Pitch, 0x7, 0x8);
  auto setUp = [&](TDXRMachine& m) {
    m.Initialize();
    m.Dest = &dest.desc;
    m.Dither = true;
    m.TextureRegisters[0].Surface = &texture.desc;
    m.TextureRegisters[0].Filter = 1;
    m.TextureRegisters[0].ColorKeyEnable = true;
    m.TextureRegisters[0].ColorKey = 1;
    m.ZBuffer.Surface = &dest.desc;
    m.ZBuffer.CompareKind = BranchLess;
  };
  setUp(*machine);
  machine->Compile(LargestTree(*machine, 64));
  EXPECT_NE(machine->Entry, nullptr);
  EXPECT_EQ(machine->NodeCount, 127);

  TDXRMachine small(machine->Features, 4096);
  setUp(small);
  small.Compile(LargestTree(small, 64));
  EXPECT_EQ(small.Entry, nullptr);
  small.Run(4);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(RefReadPixel(dest, x, 0), 0u);
}

TEST_P(Machine, WithoutMMXNoRoutineUsesIt) {
  TestSurface dest(PixelFormat::RGB565, 4, 1);
  TestSurface texture(PixelFormat::ARGB32, 4, 4);
  UseTexture(0, texture);
  machine->ColorRegisters[0].Gouraud = true;
  DXRNode* tree = machine->NewBlendNode(
      BlendMultiply, machine->NewBlendNode(BlendAdd, machine->NewTextureNode(0), Register(0)),
      machine->NewBlendNode(BlendColorKeepAlpha, machine->NewTypedNode(NodeDestPixel), Register(0)));
  machine->Dest = &dest.desc;
  machine->Compile(tree);
  ASSERT_NE(machine->Entry, nullptr);
  EXPECT_EQ(machine->MMXUsed, GetParam());
}

TEST_P(Machine, RecompilingFollowsEveryCompileTimeInput) {
  TestSurface dest(PixelFormat::ARGB32, 1, 1);
  TestSurface first(PixelFormat::RGB565, 2, 2), second(PixelFormat::RGB565, 2, 2);
  std::fill(first.memory.begin(), first.memory.end(), 0x00);
  std::fill(second.memory.begin(), second.memory.end(), 0xFF);
  // The same tree over and over, changing one compile-time input at a time.
  auto draw = [&](TestSurface& texture, uint16_t defaultAlpha, uint16_t constant) {
    machine->Initialize();
    UseTexture(0, texture);
    machine->TextureRegisters[0].DefaultColor = {0, 0, 0, defaultAlpha};
    Draw(dest, machine->NewBlendNode(BlendAdd, machine->NewTextureNode(0), Const(constant, 0, 0, 0)), 0, 0, 1);
    return RefReadPixel(dest, 0, 0);
  };
  EXPECT_EQ(draw(first, 0x1100, 0x0500), 0x11050000u);
  EXPECT_EQ(draw(first, 0x2200, 0x0500), 0x22050000u) << "default colour";
  EXPECT_EQ(draw(first, 0x2200, 0x0700), 0x22070000u) << "constant node";
  EXPECT_EQ(draw(second, 0x2200, 0x0700), 0x22FFFCF8u) << "other texture";
  EXPECT_EQ(draw(first, 0x2200, 0x0700), 0x22070000u) << "back to the first";

  // The same description moved to other pixels must not reuse code built for the old address.
  TestSurface moved = first;
  std::fill(moved.memory.begin(), moved.memory.end(), 0xFF);
  std::memcpy(&first.desc, &moved.desc, sizeof(TDXRSurface));
  EXPECT_EQ(draw(first, 0x2200, 0x0700), 0x22FFFCF8u) << "moved pixels";
}

TEST_P(Machine, RecompilingFollowsStepsAndColours) {
  TestSurface dest(PixelFormat::RGB32, 3, 2);
  TestSurface texture(PixelFormat::RGB32, 8, 1);
  for (uint32_t i = 0; i < 8; ++i) std::memcpy(texture.memory.data() + 4 * i, &i, 4);
  for (int32_t step : {1, 2, 3}) {
    machine->Initialize();
    UseTexture(0, texture);
    machine->TextureRegisters[0].ConstantSteps = true;
    machine->TextureRegisters[0].dU = step * 65536;
    Draw(dest, machine->NewTextureNode(0), 0, 0, 3);
    EXPECT_EQ(RefReadPixel(dest, 2, 0), static_cast<uint32_t>(2 * step)) << step;
  }
  for (uint16_t red : {0x1000, 0x2000}) {
    machine->Initialize();
    machine->ColorRegisters[0].Color = {red, 0, 0, 0};
    Draw(dest, Register(0), 0, 1, 3);
    EXPECT_EQ(RefReadPixel(dest, 1, 1), static_cast<uint32_t>(red) << 8) << red;
  }
}

TEST_P(Machine, RepeatedCompileKeepsTheCompiledState) {
  TestSurface dest(PixelFormat::RGB32, 2, 1);
  TestSurface texture(PixelFormat::ARGB32, 2, 2);
  for (int round = 0; round < 2; ++round) {
    machine->Initialize();
    UseTexture(2, texture);
    machine->Dither = true;
    machine->Dest = &dest.desc;
    machine->Compile(machine->NewBlendNode(BlendMultiply, machine->NewTextureNode(2), Register(4)));
    ASSERT_NE(machine->Entry, nullptr) << round;
    EXPECT_EQ(machine->MMXUsed, GetParam()) << round;
    EXPECT_EQ(machine->TextureCount, 1) << round;
    EXPECT_EQ(machine->ColorCount, 1) << round;
    EXPECT_TRUE(machine->Axis.Step) << round;
  }
}

TEST(RenderTables, TablesAndAngles) {
  EXPECT_EQ(AddTable[0], 0);
  EXPECT_EQ(AddTable[254], 254);
  EXPECT_EQ(AddTable[300], 255);
  EXPECT_EQ(AddTable[511], 255);
  EXPECT_EQ(SubTable[0], 0);
  EXPECT_EQ(SubTable[255], 0);
  EXPECT_EQ(SubTable[255 + 17], 17);
  EXPECT_EQ(SubTable[510], 255);

  EXPECT_NEAR(Cos256(64), 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(Sin256(64), 1.0);
  EXPECT_EQ(Sin256(0), CosTable[192]);
  EXPECT_EQ(Cos256(-64), Cos256(192));
  EXPECT_DOUBLE_EQ(Cos256(128), -1.0);
  EXPECT_DOUBLE_EQ(Cos256(256 + 32), std::cos(std::acos(-1.0) / 4));
}

// Option 1 is the one switch of the code form: MMX exactly where the processor has it, as at
// start, or the table form; no other option touches it.
TEST(RenderTables, MMXOptionFollowsTheProcessor) {
  const bool processorHasMMX = Xbyak::util::Cpu().has(Xbyak::util::Cpu::tMMX);
  EXPECT_EQ(UseMMX, processorHasMMX) << "at start";
  const UseMMXForm table(false);
  EXPECT_FALSE(UseMMX);
  SetRenderOption(0, 1);
  SetRenderOption(2, 1);
  EXPECT_FALSE(UseMMX) << "other options";
  SetRenderOption(1, -7);
  EXPECT_EQ(UseMMX, processorHasMMX);
  SetRenderOption(255, 0);
  EXPECT_EQ(UseMMX, processorHasMMX) << "other options";
  SetRenderOption(1, 0);
  EXPECT_FALSE(UseMMX);
}

// The option may change between compiles of one machine: each compile takes the form set then,
// though the machine keeps a routine of the other form for the same tree.
TEST(RenderTables, EachCompileTakesTheFormTheOptionSetsThen) {
  if (const std::string why = UseMMXForm(true).Unavailable(); !why.empty()) GTEST_SKIP() << why;
  TDXRMachine machine;
  TestSurface dest(PixelFormat::ARGB32, 1, 1);
  for (const bool mmx : {true, false, true}) {
    const UseMMXForm form(mmx);
    machine.Initialize();
    machine.Dest = &dest.desc;
    machine.ColorRegisters[1].Gouraud = true;
    DXRNode* second = machine.NewTypedNode(NodeColor);
    second->Index = 1;
    machine.Compile(machine.NewBlendNode(BlendAdd, machine.NewTypedNode(NodeColor), second));
    EXPECT_EQ(machine.MMXUsed, mmx);
  }
}

TEST(RenderTables, OneSharedMachine) {
  TDXRMachine* machine = RenderMachine();
  ASSERT_NE(machine, nullptr);
  EXPECT_EQ(RenderMachine(), machine);
  EXPECT_NE(machine->CodeBuffer, nullptr);
}

INSTANTIATE_BOTH_FORMS(Machine);

}  // namespace
