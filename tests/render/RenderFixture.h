// Shared helpers of the renderer tests: a machine of their own and one-span runs.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestSurfaces.h"
#include "render/DXRMachine.h"

// Compiles MMX code or the table form while it lives, through the program's own option, and
// then gives the program back its setting: MMX code wherever the processor has it.
class UseMMXForm {
 public:
  explicit UseMMXForm(bool mmx) : mmx_(mmx) { SetRenderOption(1, mmx ? 1 : 0); }
  ~UseMMXForm() { SetRenderOption(1, 1); }
  UseMMXForm(const UseMMXForm&) = delete;
  UseMMXForm& operator=(const UseMMXForm&) = delete;

  // Why this processor cannot compile the form; empty when it can. A test of such a form skips
  // with it, so that the output says which path went untried here.
  std::string Unavailable() const { return mmx_ && !UseMMX ? "this processor has no MMX" : ""; }

 private:
  bool mmx_;
};

// Parameterised over the code form: every case runs with MMX code and with the table form.
class RenderTest : public ::testing::TestWithParam<bool> {
 protected:
  RenderTest() : form_(GetParam()), machine(std::make_unique<TDXRMachine>()) { machine->Initialize(); }
  void SetUp() override {
    if (const std::string why = form_.Unavailable(); !why.empty()) GTEST_SKIP() << why;
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

  UseMMXForm form_;
  std::unique_ptr<TDXRMachine> machine;
};

#define INSTANTIATE_BOTH_FORMS(suite)                                                        \
  INSTANTIATE_TEST_SUITE_P(Forms, suite, ::testing::Bool(),                                  \
                           [](const ::testing::TestParamInfo<bool>& info) {                  \
                             return std::string(info.param ? "MMX" : "Table");               \
                           })
