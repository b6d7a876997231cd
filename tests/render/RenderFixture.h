// Shared helpers of the renderer tests: a machine of their own and one-span runs.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestSurfaces.h"
#include "render/DXRMachine.h"

// The features a machine is made with for one code form: MMX code or the table form, and raw
// 32-bit copies 16 pixels at a time or pixel by pixel (by default as this processor can).
inline DXRProcessorFeatures CodeForm(bool mmx, bool vectorCopies = DetectCpuFeatures().AVX512) {
  return {mmx, vectorCopies};
}

// Why this processor cannot run code of that form; empty when it can. A test of such a form
// skips with it, so that the output says which path went untried here.
inline std::string Unavailable(const DXRProcessorFeatures& form) {
  const DXRProcessorFeatures processor = DetectCpuFeatures();
  if (form.MMX && !processor.MMX) return "this processor has no MMX";
  if (form.AVX512 && !processor.AVX512) return "this processor (or its system) offers no AVX-512";
  return {};
}

// Parameterised over the code form: every case runs with MMX code and with the table form.
class RenderTest : public ::testing::TestWithParam<bool> {
 protected:
  RenderTest() : machine(std::make_unique<TDXRMachine>(CodeForm(GetParam()))) { machine->Initialize(); }
  void SetUp() override {
    if (const std::string why = Unavailable(machine->Features); !why.empty()) GTEST_SKIP() << why;
  }

  DXRNode* Const(uint16_t r, uint16_t g, uint16_t b, uint16_t a) {
    DXRNode* node = machine->NewTypedNode(NodeConstColor);
    node->Color = {r, g, b, a};
    return node;
  }
  DXRNode* Register(int index) {
    DXRNode* node = machine->NewTypedNode(NodeColor);
    node->Index = index;
    return node;
  }

  // Compiles the tree for the destination and runs one span at (x, y).
  void Draw(TestSurface& dest, DXRNode* root, int32_t x, int32_t y, int32_t count) {
    machine->Dest = &dest.desc;
    machine->Compile(root);
    ASSERT_NE(machine->Entry, nullptr);
    machine->Axis.X = x;
    machine->Axis.Y = y;
    machine->Run(count);
  }

  // The 32-bit pixel a one-pixel tree evaluates to on an ARGB destination.
  uint32_t Evaluate(DXRNode* root) {
    TestSurface dest(PixelFormat::ARGB32, 1, 1);
    Draw(dest, root, 0, 0, 1);
    return RefReadPixel(dest, 0, 0);
  }

  static uint32_t RefReadPixel(const TestSurface& s, int32_t x, int32_t y) {
    const auto* row = static_cast<const uint8_t*>(s.desc.Bits) + int64_t{y} * s.desc.Pitch;
    const uint32_t bytes = s.desc.BitCount / 8;
    uint32_t value = 0;
    for (uint32_t i = 0; i < bytes; ++i) value |= uint32_t{row[x * bytes + i]} << (8 * i);
    return value;
  }

  std::unique_ptr<TDXRMachine> machine;
};

#define INSTANTIATE_BOTH_FORMS(suite)                                                        \
  INSTANTIATE_TEST_SUITE_P(Forms, suite, ::testing::Bool(),                                  \
                           [](const ::testing::TestParamInfo<bool>& info) {                  \
                             return std::string(info.param ? "MMX" : "Table");               \
                           })
