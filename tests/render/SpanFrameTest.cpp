// The span routine's frame: stepping, the flat-colour fill, destination writes, the Z-buffer
// and the branch encoding.
#include <vector>

#include "RenderFixture.h"
#include "render/SpanCompiler.h"

namespace {

class SpanFrame : public RenderTest {};

TEST_P(SpanFrame, OnePixelRunProcessesOnePixelAndStepsOnce) {
  TestSurface dest(PixelFormat::RGB32, 4, 1);
  TestSurface texture(PixelFormat::RGB32, 4, 4);
  for (size_t i = 0; i < texture.memory.size(); ++i) texture.memory[i] = static_cast<uint8_t>(i);
  DXRTextureRegister& tex = machine->TextureRegisters[0];
  tex.Surface = &texture.desc;
  tex.dU = 65536;
  tex.dV = 3;
  machine->Dither = true;
  machine->ColorRegisters[1].Gouraud = true;
  machine->ColorRegisters[1].Delta = {0x0100, 0, 0, 0};
  DXRNode* tree = machine->NewBlendNode(BlendAdd, machine->NewTextureNode(0), Register(1));
  Draw(dest, tree, 1, 0, 1);
  EXPECT_EQ(RefReadPixel(dest, 0, 0), 0u);
  EXPECT_EQ(RefReadPixel(dest, 1, 0) & 0xFFFFFF, 0x020100u);
  EXPECT_EQ(RefReadPixel(dest, 2, 0), 0u);
  EXPECT_EQ(tex.U, 65536);
  EXPECT_EQ(tex.V, 3);
  EXPECT_EQ(machine->Axis.X, 2);
  EXPECT_EQ(machine->ColorRegisters[1].Color.R, 0x0100);
}

TEST_P(SpanFrame, SixteenBitFillWritesExactlyTheSpan) {
  // Destination of 8 pixels at an odd pixel address (2 bytes past a 4-byte boundary).
  TestSurface dest(PixelFormat::RGB565, 8, 1);
  std::fill(dest.memory.begin(), dest.memory.end(), 0xAA);
  machine->ColorRegisters[0].Color = {0xFF00, 0, 0xFF00, 0};
  Draw(dest, Register(0), 1, 0, 1);
  EXPECT_EQ(RefReadPixel(dest, 0, 0), 0xAAAAu);
  EXPECT_EQ(RefReadPixel(dest, 1, 0), 0xF81Fu);
  EXPECT_EQ(RefReadPixel(dest, 2, 0), 0xAAAAu);

  machine->Axis.X = 4;
  machine->Run(3);
  EXPECT_EQ(RefReadPixel(dest, 3, 0), 0xAAAAu);
  for (int x = 4; x < 7; ++x) EXPECT_EQ(RefReadPixel(dest, x, 0), 0xF81Fu) << x;
  EXPECT_EQ(RefReadPixel(dest, 7, 0), 0xAAAAu);

  machine->Axis.X = 1;
  machine->Run(2);  // odd start: one single, then one single left over
  EXPECT_EQ(RefReadPixel(dest, 2, 0), 0xF81Fu);
  EXPECT_EQ(RefReadPixel(dest, 3, 0), 0xAAAAu);
}

TEST_P(SpanFrame, ThirtyTwoBitFillWritesNPixelsFromAxis) {
  TestSurface dest(PixelFormat::RGB32, 9, 2);
  machine->ColorRegisters[0].Color = {0x1200, 0x3400, 0x5600, 0x7800};
  Draw(dest, Register(0), 2, 1, 6);
  for (int x = 0; x < 9; ++x) {
    EXPECT_EQ(RefReadPixel(dest, x, 0), 0u);
    EXPECT_EQ(RefReadPixel(dest, x, 1), x >= 2 && x < 8 ? 0x123456u : 0u) << x;
  }
}

TEST_P(SpanFrame, TwentyFourBitWritesLeaveNeighboursAlone) {
  TestSurface dest(PixelFormat::RGB24, 4, 1);
  std::fill(dest.memory.begin(), dest.memory.end(), 0x77);
  machine->ColorRegisters[0].Color = {0x0100, 0x0200, 0x0300, 0};
  machine->ColorRegisters[0].Gouraud = true;  // the general loop, not the fill
  Draw(dest, Register(0), 1, 0, 2);
  EXPECT_EQ(RefReadPixel(dest, 0, 0), 0x777777u);
  EXPECT_EQ(RefReadPixel(dest, 1, 0), 0x010203u);
  EXPECT_EQ(RefReadPixel(dest, 2, 0), 0x010203u);
  EXPECT_EQ(RefReadPixel(dest, 3, 0), 0x777777u);
}

TEST_P(SpanFrame, ZBufferCompareKinds) {
  TestSurface dest(PixelFormat::RGB32, 4, 1);
  TestSurface z(PixelFormat::RGB565, 4, 1);
  const uint16_t stored[4] = {5, 7, 9, 7};
  std::memcpy(z.memory.data(), stored, sizeof(stored));
  machine->ColorRegisters[0].Color = {0xFF00, 0xFF00, 0xFF00, 0};
  machine->ZBuffer.Surface = &z.desc;
  machine->ZBuffer.CompareKind = BranchEqual;
  machine->ZRegister.Z = int64_t{7} << 32;
  Draw(dest, Register(0), 0, 0, 4);
  const uint32_t expected[4] = {0xFFFFFF, 0, 0xFFFFFF, 0};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(RefReadPixel(dest, x, 0), expected[x]) << x;
  EXPECT_EQ(RefReadPixel(z, 1, 0), 7u);

  // Kind 7 never skips; with Write it only stores the stepped Z.
  machine->Initialize();
  machine->ColorRegisters[0].Color = {0x1000, 0, 0, 0};
  machine->ZBuffer = {false, &z.desc, BranchAlways, true};
  machine->ZRegister.Z = (int64_t{3} << 32) | 0x80000000;
  machine->ZRegister.dZ = int64_t{1} << 31;
  Draw(dest, Register(0), 0, 0, 4);
  const uint32_t steppedZ[4] = {3, 4, 4, 5};
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(RefReadPixel(z, x, 0), steppedZ[x]) << x;
    EXPECT_EQ(RefReadPixel(dest, x, 0), 0x100000u) << x;
  }
  EXPECT_EQ(machine->ZRegister.Z, (int64_t{5} << 32) | 0x80000000);
}

TEST_P(SpanFrame, ZIsWrittenBeforeAColourKeySkips) {
  TestSurface dest(PixelFormat::RGB32, 2, 1);
  TestSurface texture(PixelFormat::RGB32, 2, 1);
  TestSurface z(PixelFormat::RGB32, 2, 1);
  machine->TextureRegisters[0] = {};
  machine->TextureRegisters[0].Surface = &texture.desc;
  machine->TextureRegisters[0].ColorKeyEnable = true;  // key 0 matches the black texel
  machine->ZBuffer = {false, &z.desc, BranchNever, true};
  machine->ZRegister.Z = int64_t{42} << 32;
  Draw(dest, machine->NewTextureNode(0), 0, 0, 2);
  EXPECT_EQ(RefReadPixel(z, 0, 0), 42u);
  EXPECT_EQ(RefReadPixel(z, 1, 0), 42u);
}

TEST(BranchEncoding, ShortFormOnlyWhileTheDisplacementIsBelow128) {
  TDXRMachine machine;
  for (int distance : {126, 127, 128, 129}) {
    std::vector<uint8_t> code(1024);
    SpanCompiler compiler(machine, code.data(), code.size());
    Xbyak::Label target;
    compiler.L(target);
    // The displacement is measured from the end of a 2-byte short branch.
    for (int i = 0; i < distance - 2; ++i) compiler.nop();
    compiler.EmitBranch(BranchLess, target);
    const size_t shortEnd = compiler.getSize();
    compiler.EmitBranch(BranchAlways, target);
    const size_t length = compiler.getSize() - shortEnd;
    if (distance < 128) {
      EXPECT_EQ(shortEnd, static_cast<size_t>(distance)) << distance;
      EXPECT_EQ(code[distance - 2], 0x7C);
    } else {
      EXPECT_EQ(shortEnd, static_cast<size_t>(distance + 4)) << distance;
      EXPECT_EQ(code[distance - 2], 0x0F);
      EXPECT_EQ(code[distance - 1], 0x8C);
    }
    EXPECT_EQ(length, 5u) << "the jump after it is further still";
    compiler.EmitBranch(BranchNever, target);
    compiler.EmitBranch(8, target);
    EXPECT_EQ(compiler.getSize() - shortEnd, length);
  }
}

TEST(BranchEncoding, UnconditionalJumpsFollowTheSameRule) {
  TDXRMachine machine;
  for (int distance : {127, 128}) {
    std::vector<uint8_t> code(512);
    SpanCompiler compiler(machine, code.data(), code.size());
    Xbyak::Label target;
    compiler.L(target);
    for (int i = 0; i < distance - 2; ++i) compiler.nop();
    compiler.EmitBranch(BranchAlways, target);
    EXPECT_EQ(compiler.getSize(), static_cast<size_t>(distance < 128 ? distance : distance + 3));
  }
}

INSTANTIATE_BOTH_FORMS(SpanFrame);

}  // namespace
