// Compiled span routines against the reference evaluation, pixel for pixel, over destination
// and texture formats, blend trees, dither, sampling, addressing, colour keys, Z-buffers,
// Gouraud steps and both code forms.
#include <memory>
#include <tuple>

#include "ReferenceRenderer.h"
#include "RenderFixture.h"

namespace {

constexpr int32_t MaxSpan = 12;

struct TreeOptions {
  bool indirect = false;
  int maxDepth = 3;
};

class Scenario {
 public:
  Scenario(uint32_t seed, PixelFormat destFormat, PixelFormat textureFormat,
           const DXRProcessorFeatures& features = ProbeProcessorFeatures())
      : rng(seed), machine(std::make_unique<TDXRMachine>(features)) {
    dest = TestSurface(destFormat, 1 + rng() % 24, 1 + rng() % 6, rng() % 2, rng() % 3);
    dest.Randomize(rng);
    for (int t = 0; t < 3; ++t) {
      const PixelFormat format = t == 0 ? textureFormat : AllFormats[rng() % 10];
      const uint32_t w = rng() % 4 ? 1u << (rng() % 5) : 2 + rng() % 19;
      const uint32_t h = rng() % 4 ? 1u << (rng() % 5) : 2 + rng() % 19;
      textures[t] = TestSurface(format, std::max(w, 2u), std::max(h, 2u), rng() % 2, rng() % 2 ? 0 : 4);
      textures[t].Randomize(rng);
    }
  }

  std::mt19937 rng;

  DXRNode* RandomTree(int depth, const TreeOptions& options) {
    if (depth == 0 || rng() % 3 == 0) return RandomLeaf(options);
    DXRNode* c1 = RandomTree(depth - 1, options);
    DXRNode* c2 = RandomTree(depth - 1, options);
    return machine->NewBlendNode(static_cast<TDXRBlendMode>(rng() % BlendModeCount), c1, c2);
  }

  DXRNode* RandomLeaf(const TreeOptions& options) {
    switch (rng() % (options.indirect ? 7 : 6)) {
      case 0: return machine->NewTypedNode(NodeBlack);
      case 1: {
        DXRNode* node = machine->NewTypedNode(NodeColor);
        node->Index = static_cast<int32_t>(rng() % 3);
        return node;
      }
      case 2: {
        DXRNode* node = machine->NewTypedNode(NodeConstColor);
        node->Color = RandomColor();
        return node;
      }
      case 3: case 4: return machine->NewTextureNode(static_cast<int32_t>(rng() % 3));
      case 5: return machine->NewTypedNode(NodeDestPixel);
      default: {
        DXRNode* node = machine->NewTypedNode(NodeIndirectTexture);
        node->Index = static_cast<int32_t>(rng() % 2);
        node->SecondTexture = 2;
        return node;
      }
    }
  }

  DXRColor RandomColor() {
    // Half the colours carry fractions, which is where the two code forms part ways.
    const uint16_t fractionMask = rng() % 2 ? 0xFFFF : 0xFF00;
    return {static_cast<uint16_t>(rng() & fractionMask), static_cast<uint16_t>(rng() & fractionMask),
            static_cast<uint16_t>(rng() & fractionMask), static_cast<uint16_t>(rng() & fractionMask)};
  }

  // Sets up registers, Z and dither at random; direct addressing only where coordinates can be
  // kept inside the texture.
  void RandomSetup(bool allowDirect, bool allowZ = true, bool allowDither = true) {
    machine->Initialize();
    machine->Dest = &dest.desc;
    machine->Dither = allowDither && rng() % 2;
    for (int r = 0; r < 3; ++r) {
      DXRColorRegister& reg = machine->ColorRegisters[r];
      reg.Color = RandomColor();
      reg.Delta = RandomColor();
      reg.Gouraud = rng() % 2;
    }
    for (int t = 0; t < 3; ++t) {
      DXRTextureRegister& tex = machine->TextureRegisters[t];
      const TDXRSurface& s = textures[t].desc;
      tex.Surface = &textures[t].desc;
      tex.Filter = static_cast<uint8_t>(rng() % 4);
      tex.Addressing = allowDirect && rng() % 2 ? 1 : 0;
      tex.ConstantSteps = rng() % 2;
      tex.DefaultColor = RandomColor();
      tex.ColorKeyEnable = rng() % 2;
      switch (rng() % 3) {
        case 0: tex.ColorKey = 0; break;
        case 1: tex.ColorKey = static_cast<uint32_t>(rng()); break;
        default: {
          const uint32_t x = rng() % s.Width, y = rng() % s.Height;
          tex.ColorKey = RefFetch(s, static_cast<int32_t>(x << 16), static_cast<int32_t>(y << 16), false) &
                         ~SurfaceAlphaMask(s) & (s.BitCount == 32 ? 0xFFFFFFu : 0xFFFFFFFFu);
        }
      }
      if (tex.Addressing == 1) {
        const int32_t uLimit = Limit(s.Width, tex.Filter), vLimit = Limit(s.Height, tex.Filter);
        tex.dU = RandomStep(uLimit);
        tex.dV = RandomStep(vLimit);
      } else {
        tex.dU = static_cast<int32_t>(rng() % (6 * 65536)) - 3 * 65536;
        tex.dV = static_cast<int32_t>(rng() % (6 * 65536)) - 3 * 65536;
      }
    }
    if (allowZ && rng() % 3 == 0) {
      static const PixelFormat zFormats[] = {PixelFormat::Indexed8, PixelFormat::RGB565, PixelFormat::RGB24,
                                             PixelFormat::RGB32};
      zBuffer = TestSurface(zFormats[rng() % 4], dest.desc.Width, dest.desc.Height, rng() % 2);
      for (auto& b : zBuffer.memory) b = static_cast<uint8_t>(rng() % 2);
      machine->ZBuffer.Surface = &zBuffer.desc;
      machine->ZBuffer.CompareKind = static_cast<uint8_t>(rng() % 8);
      machine->ZBuffer.Write = rng() % 2;
      machine->ZRegister.dZ = (static_cast<int64_t>(static_cast<int>(rng() % 3) - 1) << 32) + rng();
    }
  }

  // Copies the tree and registers for the reference, then compiles.
  void Compile(DXRNode* root) {
    ref = RefMachine{};
    destRef = dest;
    zRef = zBuffer;
    ref.dest = &destRef.desc;
    ref.mmx = UseMMX;
    ref.dither = machine->Dither;
    std::copy(std::begin(machine->ColorRegisters), std::end(machine->ColorRegisters), ref.colors);
    std::copy(std::begin(machine->TextureRegisters), std::end(machine->TextureRegisters), ref.textures);
    if (machine->ZBuffer.Surface) {
      ref.zSurface = &zRef.desc;
      ref.compareKind = machine->ZBuffer.CompareKind;
      ref.zWrite = machine->ZBuffer.Write;
      ref.dZ = machine->ZRegister.dZ;
    }
    ref.root = CopyTree(root);
    machine->Compile(root);
    ref.Prepare();
  }

  // One span at a random place with random start values, on both sides.
  void RunRandomSpan() {
    const auto count = static_cast<int32_t>(1 + rng() % std::min<uint32_t>(MaxSpan, dest.desc.Width));
    machine->Axis.X = ref.axisX = static_cast<int32_t>(rng() % (dest.desc.Width - count + 1));
    machine->Axis.Y = ref.axisY = static_cast<int32_t>(rng() % dest.desc.Height);
    for (int t = 0; t < 3; ++t) {
      DXRTextureRegister& tex = machine->TextureRegisters[t];
      if (tex.Addressing == 1) {
        tex.U = StartInside(Limit(tex.Surface->Width, tex.Filter), tex.dU, count);
        tex.V = StartInside(Limit(tex.Surface->Height, tex.Filter), tex.dV, count);
      } else {
        tex.U = static_cast<int32_t>(rng());
        tex.V = static_cast<int32_t>(rng());
      }
      ref.textures[t].U = tex.U;
      ref.textures[t].V = tex.V;
    }
    machine->ZRegister.Z = ref.z = (static_cast<int64_t>(static_cast<int>(rng() % 4) - 1) << 32) + rng();
    machine->Run(count);
    ref.RunSpan(count);
  }

  void ExpectSameResults() {
    ASSERT_EQ(dest.memory.size(), destRef.memory.size());
    for (size_t i = 0; i < dest.memory.size(); ++i)
      ASSERT_EQ(int{dest.memory[i]}, int{destRef.memory[i]}) << "destination byte " << i;
    for (size_t i = 0; i < zBuffer.memory.size(); ++i)
      ASSERT_EQ(int{zBuffer.memory[i]}, int{zRef.memory[i]}) << "Z byte " << i;
    if (machine->Entry == nullptr) return;
    EXPECT_EQ(machine->Axis.X, ref.axisX);
    for (int t = 0; t < 3; ++t) {
      if (!ref.textureEnabled[t]) continue;
      EXPECT_EQ(machine->TextureRegisters[t].U, ref.textures[t].U) << "texture " << t;
      EXPECT_EQ(machine->TextureRegisters[t].V, ref.textures[t].V) << "texture " << t;
    }
    for (int r = 0; r < 3; ++r) {
      if (!ref.colorEnabled[r]) continue;
      EXPECT_EQ(machine->ColorRegisters[r].Color.R, ref.colors[r].Color.R) << "register " << r;
      EXPECT_EQ(machine->ColorRegisters[r].Color.G, ref.colors[r].Color.G) << "register " << r;
      EXPECT_EQ(machine->ColorRegisters[r].Color.B, ref.colors[r].Color.B) << "register " << r;
      EXPECT_EQ(machine->ColorRegisters[r].Color.A, ref.colors[r].Color.A) << "register " << r;
    }
    if (machine->ZBuffer.Surface) {
      EXPECT_EQ(machine->ZRegister.Z, ref.z);
    }
  }

  TestSurface dest, destRef, zBuffer, zRef;
  TestSurface textures[3];
  RefMachine ref;

 private:
  // Largest 16.16 coordinate whose texel (and right/lower neighbour when bilinear) is inside.
  static int32_t Limit(uint32_t size, uint8_t filter) {
    const uint32_t last = (filter & 1) ? size - 2 : size - 1;
    return static_cast<int32_t>(last * 65536 + 65535);
  }
  int32_t RandomStep(int32_t limit) {
    const int32_t span = limit / (MaxSpan - 1);
    return static_cast<int32_t>(rng() % (2 * static_cast<uint32_t>(span) + 1)) - span;
  }
  int32_t StartInside(int32_t limit, int32_t step, int32_t count) {
    const int64_t travel = int64_t{step} * (count - 1);
    const int64_t low = travel < 0 ? -travel : 0;
    const int64_t high = travel < 0 ? limit : limit - travel;
    return static_cast<int32_t>(low + rng() % (high - low + 1));
  }

 public:
  std::unique_ptr<TDXRMachine> machine;
};

using FormatsAndForm = std::tuple<PixelFormat, PixelFormat, bool>;

class RandomTrees : public ::testing::TestWithParam<FormatsAndForm> {
 protected:
  void SetUp() override {
    if (const std::string why = form_.Unavailable(); !why.empty()) GTEST_SKIP() << why;
  }

  // The rotated draw's shape: the texture over the destination, raw copies where formats agree.
  void ExpectTextureCopiesMatchReference(bool vectorCopies) {
    const PixelFormat destFormat = std::get<0>(GetParam()), textureFormat = std::get<1>(GetParam());
    for (uint32_t seed = 1; seed <= 12; ++seed) {
      SCOPED_TRACE(::testing::Message() << "seed " << seed);
      Scenario s(seed * 104729 + static_cast<uint32_t>(destFormat) * 17 + static_cast<uint32_t>(textureFormat),
                 destFormat, textureFormat, {.AVX512 = vectorCopies});
      s.RandomSetup(true, seed % 2 == 0, seed % 3 == 0);
      DXRNode* destPixel = s.machine->NewTypedNode(NodeDestPixel);
      DXRNode* texel = s.machine->NewTextureNode(0);
      s.Compile(s.machine->NewBlendNode(seed % 4 ? BlendSource1 : BlendAlphaMix, texel, destPixel));
      for (int span = 0; span < 3; ++span) s.RunRandomSpan();
      s.ExpectSameResults();
      if (HasFatalFailure()) return;
    }
  }

  UseMMXForm form_{std::get<2>(GetParam())};
};

TEST_P(RandomTrees, MatchReferencePixelForPixel) {
  const PixelFormat destFormat = std::get<0>(GetParam()), textureFormat = std::get<1>(GetParam());
  for (uint32_t seed = 1; seed <= 30; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    Scenario s(seed * 7919 + static_cast<uint32_t>(destFormat) * 31 + static_cast<uint32_t>(textureFormat), destFormat,
               textureFormat);
    const bool indirect = seed % 5 == 0;
    s.RandomSetup(!indirect);
    DXRNode* root = s.RandomTree(3, {indirect, 3});
    s.Compile(root);
    ASSERT_NE(s.machine->Entry, nullptr);
    for (int span = 0; span < 3; ++span) s.RunRandomSpan();
    s.ExpectSameResults();
    if (HasFatalFailure()) return;
  }
}

TEST_P(RandomTrees, TextureCopiesPixelByPixelMatchReference) { ExpectTextureCopiesMatchReference(false); }

TEST_P(RandomTrees, TextureCopiesSixteenAtATimeMatchReference) {
  if (!ProbeProcessorFeatures().AVX512) GTEST_SKIP() << "this processor (or its system) offers no AVX-512";
  ExpectTextureCopiesMatchReference(true);
}

std::string FormatsAndFormName(const ::testing::TestParamInfo<FormatsAndForm>& info) {
  return FormatName(std::get<0>(info.param)) + "_on_" + FormatName(std::get<1>(info.param)) +
         (std::get<2>(info.param) ? "_MMX" : "_Table");
}

INSTANTIATE_TEST_SUITE_P(AllFormats, RandomTrees,
                         ::testing::Combine(::testing::ValuesIn(AllFormats), ::testing::ValuesIn(AllFormats),
                                            ::testing::Bool()),
                         FormatsAndFormName);

using ModeAndForm = std::tuple<int, bool>;
class BlendModes : public ::testing::TestWithParam<ModeAndForm> {
 protected:
  void SetUp() override {
    if (const std::string why = form_.Unavailable(); !why.empty()) GTEST_SKIP() << why;
  }

  UseMMXForm form_{std::get<1>(GetParam())};
};

TEST_P(BlendModes, EveryModeMatchesReferenceOverOperandKinds) {
  const int mode = std::get<0>(GetParam());
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    Scenario s(seed * 65537 + static_cast<uint32_t>(mode), AllFormats[4 + seed % 6], AllFormats[seed * 3 % 10]);
    s.RandomSetup(false);
    // Operands of every kind on both sides: constants, registers, textures, nested blends.
    DXRNode* leaves[2];
    for (auto& leaf : leaves) {
      leaf = seed % 4 == 0 ? s.RandomTree(2, {}) : s.RandomLeaf({});
    }
    s.Compile(s.machine->NewBlendNode(static_cast<TDXRBlendMode>(mode), leaves[0], leaves[1]));
    for (int span = 0; span < 2; ++span) s.RunRandomSpan();
    s.ExpectSameResults();
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, BlendModes, ::testing::Combine(::testing::Range(0, 17), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<ModeAndForm>& info) {
                           return "Mode" + std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "_MMX" : "_Table");
                         });

}  // namespace
