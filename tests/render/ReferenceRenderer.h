// A plain C++ evaluation of the span pipeline, pixel by pixel, written from the rules and sharing
// no code with the code generator. The compiled routines are checked against it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "render/DXRMachine.h"

using RefWords = std::array<uint16_t, 4>;  // R, G, B, A

struct RefNode {
  uint8_t type = NodeBlack;
  int index = 0;
  int second = 0;
  uint8_t mode = 0;
  RefWords color{};
  DXRChannels channels = 0;
  std::unique_ptr<RefNode> child1, child2;
};

// Everything a span depends on, copied from the machine before it compiles.
struct RefMachine {
  TDXRSurface* dest = nullptr;
  DXRColorRegister colors[8]{};
  DXRTextureRegister textures[8]{};
  bool dither = false;
  TDXRSurface* zSurface = nullptr;
  uint8_t compareKind = 0;
  bool zWrite = false;
  int32_t axisX = 0, axisY = 0;
  int64_t z = 0, dZ = 0;
  bool mmx = false;
  std::unique_ptr<RefNode> root;

  // Filled by Prepare: the simplified tree and which registers the routine steps.
  bool colorEnabled[8]{};
  bool textureEnabled[8]{};
  DXRChannels textureUsed[8]{};

  void Prepare();
  void RunSpan(int32_t count);
};

std::unique_ptr<RefNode> CopyTree(const DXRNode* node);

// Building blocks, exposed for tests of single stages.
uint32_t RefFetch(const TDXRSurface& surface, int32_t u, int32_t v, bool wrap);
RefWords RefUnpack(const TDXRSurface& surface, uint32_t raw, DXRChannels channels, RefWords defaults);
uint32_t RefPack(const TDXRSurface& dest, RefWords color, DXRChannels channels, bool dither, int32_t x, int32_t y);
RefWords RefBlend(uint8_t mode, bool mmx, RefWords c1, RefWords c2, DXRChannels channels);
uint32_t RefReadDest(const TDXRSurface& dest, int32_t x, int32_t y);
void RefWriteDest(const TDXRSurface& dest, int32_t x, int32_t y, uint32_t raw);
