#include "render/DXRMachine.h"

#include <cpuid.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <numbers>

#include <xbyak/xbyak_util.h>

#include "render/SpanCompiler.h"

uint8_t AddTable[512];
uint8_t SubTable[511];
double CosTable[256];
bool UseMMX = false;

static bool ProcessorHasMMX = false;
// The program's machine; none until it is first asked for.
static std::unique_ptr<TDXRMachine> GlobalMachine;

static void InitBlendTables() {
  for (int i = 0; i < 512; ++i) AddTable[i] = static_cast<uint8_t>(i < 255 ? i : 255);
  for (int i = -255; i <= 255; ++i) SubTable[i + 255] = static_cast<uint8_t>(i > 0 ? i : 0);
}

static void InitCosTable() {
  for (int i = 0; i < 256; ++i) CosTable[i] = std::cos(2.0 * std::numbers::pi * i / 256.0);
}

void DetectCpuFeatures() {
  // Every x86-64 processor has CPUID, so the ID-flag probe of older processors is not needed.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  ProcessorHasMMX = false;
  if (__get_cpuid_max(0, nullptr) >= 1 && __get_cpuid(1, &eax, &ebx, &ecx, &edx))
    ProcessorHasMMX = (edx & (1u << 23)) != 0;
  UseMMX = ProcessorHasMMX;
}

void SetRenderOption(uint8_t option, int32_t value) {
  if (option == 1) UseMMX = value != 0 && ProcessorHasMMX;
}

DXRProcessorFeatures ProbeProcessorFeatures() {
  // Also asks whether the system saves the AVX-512 registers.
  return {.AVX512 = Xbyak::util::Cpu().has(Xbyak::util::Cpu::tAVX512F)};
}

double Cos256(int32_t angle) { return CosTable[angle & 255]; }
double Sin256(int32_t angle) { return CosTable[((angle & 255) + 192) & 255]; }

namespace {
// The tables are filled before main runs, so they are ready whoever compiles first.
[[maybe_unused]] const bool UnitStarted = [] {
  DetectCpuFeatures();
  InitBlendTables();
  InitCosTable();
  SetRenderOption(1, 1);
  return true;
}();
}  // namespace

// The unit starts before main and so ends after it, when GlobalMachine goes: after the display
// components that draw with the machine, which the program frees before main returns.
TDXRMachine* RenderMachine() {
  if (!GlobalMachine) GlobalMachine = std::make_unique<TDXRMachine>();
  return GlobalMachine.get();
}

DXRChannels SurfaceChannels(const TDXRSurface& surface) {
  DXRChannels channels = 0;
  if (surface.ColorType == ColorTypeRGB) {
    if (surface.RGB.R.Mask) channels |= ChannelR;
    if (surface.RGB.G.Mask) channels |= ChannelG;
    if (surface.RGB.B.Mask) channels |= ChannelB;
    if (surface.RGB.A.Mask) channels |= ChannelA;
  } else if (surface.ColorType == ColorTypeIndexed) {
    if (surface.Indexed.Index.Mask) channels |= ChannelsRGB;
    if (surface.Indexed.Alpha.Mask) channels |= ChannelA;
  }
  return channels;
}

DXRChannelNeeds BlendChannelNeeds(uint8_t mode) {
  constexpr DXRChannels N = 0, RGB = ChannelsRGB, RGBA = ChannelsRGBA, A = ChannelA;
  static constexpr DXRChannelNeeds table[BlendModeCount] = {
      {N, N, N, N},          {RGBA, N, N, N},     {N, N, RGBA, N},    {RGBA, N, RGBA, N},  {RGBA, N, RGBA, N},
      {RGBA, N, RGBA, N},    {RGBA, N, RGBA, N},  {RGB, A, N, N},     {RGB, A, RGBA, N},   {RGB, A, RGBA, N},
      {RGB, A, RGBA, N},     {RGB, A, RGBA, N},   {RGBA, N, N, N},    {RGB, N, N, A},      {RGBA, N, RGBA, N},
      {RGB, A, RGB, A},      {RGBA, N, RGBA, N},
  };
  return mode < BlendModeCount ? table[mode] : DXRChannelNeeds{};
}

TDXRMachine::TDXRMachine(const DXRProcessorFeatures& features, size_t codeBufferSize)
    : Features(features), CodeMemory(codeBufferSize), StagingBuffer(codeBufferSize) {
  CodeBuffer = CodeMemory.Executable();
  CodeBufferSize = CodeMemory.Size();
  Inputs.reserve(2048);
}

TDXRMachine::~TDXRMachine() = default;

std::span<const uint8_t> TDXRMachine::RoutineCode() const {
  return Entry ? CurrentCode : std::span<const uint8_t>{};
}

void TDXRMachine::Initialize() {
  Entry = nullptr;
  RowsEntry = nullptr;
  ColorCount = 0;
  TextureCount = 0;
  NodeCount = 0;
  Dest = nullptr;
  MMXUsed = false;
  std::memset(ColorRegisters, 0, sizeof(ColorRegisters));
  std::memset(TextureRegisters, 0, sizeof(TextureRegisters));
  Dither = false;
  ZBuffer = {};
  Axis = {};
  ZRegister = {};
  Rows = {};
}

DXRNode* TDXRMachine::NewNode() {
  if (NodeCount >= MaxNodes) return nullptr;
  DXRNode* node = &Nodes[NodeCount++];
  *node = {};
  return node;
}

DXRNode* TDXRMachine::NewTypedNode(uint8_t type) {
  DXRNode* node = NewNode();
  if (node) node->Type = type;
  return node;
}

DXRNode* TDXRMachine::NewTextureNode(int32_t index) {
  DXRNode* node = NewTypedNode(NodeTexture);
  if (node) node->Index = index;
  return node;
}

DXRNode* TDXRMachine::NewBlendNode(TDXRBlendMode mode, DXRNode* child1, DXRNode* child2) {
  DXRNode* node = NewTypedNode(NodeBlend);
  if (node) {
    node->Mode = mode;
    node->Child1 = child1;
    node->Child2 = child2;
  }
  return node;
}

// A tree the generated code could not honour (missing children, registers out of range, a
// texture without pixels, more compiled nodes than temporaries) is refused before any code is
// written, so a bad tree draws nothing instead of running wild.
bool TDXRMachine::TreeIsValid(const DXRNode* node, int32_t& budget) const {
  if (!node || node < Nodes || node >= Nodes + NodeCount || --budget < 0) return false;
  auto textureUsable = [this](int32_t index) {
    if (index < 0 || index >= MaxRegisters) return false;
    const DXRTextureRegister& texture = TextureRegisters[index];
    if (!texture.Surface || texture.Addressing > 1) return false;
    switch (texture.Surface->BitCount) {
      case 1: case 2: case 4: case 8: case 16: case 24: case 32: return true;
      default: return false;
    }
  };
  switch (node->Type) {
    case NodeBlack:
    case NodeConstColor:
    case NodeDestPixel:
      return true;
    case NodeColor:
      return node->Index >= 0 && node->Index < MaxRegisters;
    case NodeTexture:
      return textureUsable(node->Index);
    case NodeIndirectTexture:
      return textureUsable(node->Index) && textureUsable(node->SecondTexture);
    case NodeBlend:
      return node->Mode < BlendModeCount && TreeIsValid(node->Child1, budget) && TreeIsValid(node->Child2, budget);
    default:
      return false;
  }
}

void TDXRMachine::SimplifyTree(DXRNode*& node) {
  if (node->Type != NodeBlend) return;
  const DXRChannelNeeds needs = BlendChannelNeeds(node->Mode);
  node->Child1->Channels = (node->Channels & needs.Pass1) | needs.Force1;
  node->Child2->Channels = (node->Channels & needs.Pass2) | needs.Force2;
  SimplifyTree(node->Child1);
  SimplifyTree(node->Child2);

  auto replaceBy = [&node](DXRNode* child) {
    child->Channels = node->Channels;
    node = child;
  };
  const bool blackChild1 = node->Child1->Type == NodeBlack;
  const bool blackChild2 = node->Child2->Type == NodeBlack;
  switch (node->Mode) {
    case BlendZero:
      node->Type = NodeBlack;
      return;
    case BlendSource1:
    case BlendReplace:
      replaceBy(node->Child1);
      return;
    case BlendSource2:
      replaceBy(node->Child2);
      return;
    case BlendAdd:
      if (blackChild2)
        replaceBy(node->Child1);
      else if (blackChild1)
        replaceBy(node->Child2);
      return;
    case BlendReverseSub:
      if (blackChild1) replaceBy(node->Child2);
      return;
    default:
      if (!needs.Pass1 && !needs.Force1) node->Child1 = nullptr;
      if (!needs.Pass2 && !needs.Force2) node->Child2 = nullptr;
      return;
  }
}

void TDXRMachine::MarkUsedRegisters(const DXRNode* node) {
  switch (node->Type) {
    case NodeColor: {
      DXRColorRegister& reg = ColorRegisters[node->Index];
      reg.ChannelsUsed |= node->Channels;
      reg.Enable = reg.ChannelsUsed != 0;
      return;
    }
    case NodeTexture:
    case NodeIndirectTexture: {
      DXRTextureRegister& texture = TextureRegisters[node->Index];
      texture.ChannelsUsed |= node->Channels & SurfaceChannels(*texture.Surface);
      // Only ever switched on: a texture that perturbs an indirect read is stepped even when
      // no node reads colour channels from it.
      if (texture.ChannelsUsed) texture.Enable = true;
      if (node->Type == NodeIndirectTexture) TextureRegisters[node->SecondTexture].Enable = true;
      return;
    }
    case NodeBlend:
      if (node->Child1) MarkUsedRegisters(node->Child1);
      if (node->Child2) MarkUsedRegisters(node->Child2);
      return;
    default:
      return;
  }
}

void TDXRMachine::Compile(DXRNode* root) {
  Entry = nullptr;
  RowsEntry = nullptr;
  MMXUsed = false;
  int32_t budget = MaxTemps;
  if (!CodeBuffer || !Dest || !TreeIsValid(root, budget)) return;
  if (ZBuffer.Surface && ZBuffer.Surface->BitCount != 8 && ZBuffer.Surface->BitCount != 16 &&
      ZBuffer.Surface->BitCount != 24 && ZBuffer.Surface->BitCount != 32)
    return;

  CollectCompileInputs(root, Inputs);
  root->Channels = SurfaceChannels(*Dest);
  SimplifyTree(root);
  MarkUsedRegisters(root);

  ColorCount = 0;
  TextureCount = 0;
  for (int32_t i = 0; i < MaxRegisters; ++i) {
    if (ColorRegisters[i].Enable) ColorIndex[ColorCount++] = i;
    if (TextureRegisters[i].Enable) TextureIndex[TextureCount++] = i;
  }
  ZBuffer.Enable = ZBuffer.Surface != nullptr;
  ZRegister.Enable = ZBuffer.Enable;
  Axis.Step = Dither;

  DestBits = Dest->Bits;
  ZBits = ZBuffer.Surface ? ZBuffer.Surface->Bits : nullptr;
  for (int32_t i = 0; i < MaxRegisters; ++i)
    TextureBits[i] = TextureRegisters[i].Surface ? TextureRegisters[i].Surface->Bits : nullptr;

  const KeptRoutine* routine = FindKeptRoutine();
  if (routine)
    std::copy(routine->Temps.begin(), routine->Temps.end(), Temps);
  else
    routine = GenerateRoutine(root);
  if (!routine) return;
  MMXUsed = routine->MMXUsed;
  CurrentCode = {CodeMemory.Executable() + routine->Offset, routine->Size};
  const auto start = reinterpret_cast<uintptr_t>(CodeMemory.Executable() + routine->Offset);
  Entry = reinterpret_cast<DXRSpanRoutine>(start + routine->EntryOffset);
  if (Rows.Enable) RowsEntry = reinterpret_cast<DXRRowsRoutine>(start + routine->RowsEntryOffset);
}

// A kept routine compiled from the same inputs, moved to the front.
const TDXRMachine::KeptRoutine* TDXRMachine::FindKeptRoutine() {
  for (auto it = KeptRoutines.begin(); it != KeptRoutines.end(); ++it) {
    if (it->Inputs != Inputs) continue;
    std::rotate(KeptRoutines.begin(), it, it + 1);
    return &KeptRoutines.front();
  }
  return nullptr;
}

// Generates the routine and keeps it at the free end of the code memory. When the memory or
// the list is full, every kept routine is dropped and the memory refilled from its start.
const TDXRMachine::KeptRoutine* TDXRMachine::GenerateRoutine(DXRNode* root) {
  SpanRoutineLayout layout;
  if (!GenerateSpanCode(*this, root, StagingBuffer.data(), StagingBuffer.size(), layout)) return nullptr;
  // Routines start on cache-line boundaries, which the loop's alignment inside them relies on.
  constexpr size_t Alignment = 64;
  size_t offset = (CodeCursor + Alignment - 1) / Alignment * Alignment;
  if (layout.Size > CodeMemory.Size()) return nullptr;
  if (KeptRoutines.size() == MaxKeptRoutines || offset > CodeMemory.Size() ||
      layout.Size > CodeMemory.Size() - offset) {
    KeptRoutines.clear();
    offset = 0;
  }
  std::memcpy(CodeMemory.Writable() + offset, StagingBuffer.data(), layout.Size);
  CodeCursor = offset + layout.Size;

  KeptRoutine routine;
  routine.Inputs = Inputs;
  routine.Offset = offset;
  routine.Size = layout.Size;
  routine.EntryOffset = layout.EntryOffset;
  routine.RowsEntryOffset = layout.RowsEntryOffset;
  routine.MMXUsed = MMXUsed;
  routine.Temps.assign(Temps, Temps + layout.TempsUsed);
  KeptRoutines.insert(KeptRoutines.begin(), std::move(routine));
  return &KeptRoutines.front();
}

namespace {
void AppendBytes(std::string& bytes, const void* data, size_t size) {
  bytes.append(static_cast<const char*>(data), size);
}

// A surface as far as the generated code depends on it: its format, everything before its
// palette but its pixel address (the routine reads the address and the palette when it runs).
void AppendSurfaceFormat(std::string& bytes, const TDXRSurface* surface) {
  const bool present = surface != nullptr;
  AppendBytes(bytes, &present, sizeof(present));
  if (!present) return;
  TDXRSurface format;
  std::memcpy(static_cast<void*>(&format), surface, offsetof(TDXRSurface, RGB) + sizeof(surface->RGB));
  format.Bits = nullptr;
  AppendBytes(bytes, &format, offsetof(TDXRSurface, RGB) + sizeof(format.RGB));
}
// Bit i set when registers[i] has a byte other than zero.
template <class Register>
uint8_t PresentMask(const Register (&registers)[MaxRegisters]) {
  static const Register zero = {};  // zero-initialised, padding included
  uint8_t mask = 0;
  for (int32_t i = 0; i < MaxRegisters; ++i)
    if (std::memcmp(&registers[i], &zero, sizeof(zero)) != 0) mask = static_cast<uint8_t>(mask | (1u << i));
  return mask;
}
}  // namespace

// Everything a compile builds into the code, taken before it simplifies the tree; values the
// routine reads at run time (colours, coordinates, pixel addresses, palettes, and the steps
// unless they are folded) are left out. So every sprite of one format drawn with the same
// options shares one routine. UseMMX may change between compiles, so it is recorded; the
// processor's features the machine was made with are its for life and need not be.
void TDXRMachine::CollectCompileInputs(const DXRNode* root, std::string& bytes) const {
  DXRColorRegister colors[MaxRegisters];
  std::memcpy(static_cast<void*>(colors), ColorRegisters, sizeof(colors));
  for (DXRColorRegister& reg : colors) reg.Color = reg.Delta = {};
  DXRTextureRegister textures[MaxRegisters];
  std::memcpy(static_cast<void*>(textures), TextureRegisters, sizeof(textures));
  for (DXRTextureRegister& texture : textures) {
    texture.U = texture.V = 0;
    if (UseMMX || !texture.ConstantSteps) texture.dU = texture.dV = 0;
  }
  DXRZBuffer zBuffer = ZBuffer;
  zBuffer.Surface = nullptr;

  bytes.clear();
  AppendBytes(bytes, &root, sizeof(root));
  AppendBytes(bytes, Nodes, sizeof(DXRNode) * static_cast<size_t>(NodeCount));
  // A register that holds nothing but run-time values, as Initialize leaves every one, is only
  // marked absent: a draw uses one or two of them, and its inputs stay short to compare.
  const uint8_t colorsPresent = PresentMask(colors);
  AppendBytes(bytes, &colorsPresent, sizeof(colorsPresent));
  for (int32_t i = 0; i < MaxRegisters; ++i)
    if (colorsPresent & (1u << i)) AppendBytes(bytes, &colors[i], sizeof(colors[i]));
  const uint8_t texturesPresent = PresentMask(textures);
  AppendBytes(bytes, &texturesPresent, sizeof(texturesPresent));
  for (int32_t i = 0; i < MaxRegisters; ++i) {
    if (!(texturesPresent & (1u << i))) continue;
    const TDXRSurface* surface = textures[i].Surface;
    textures[i].Surface = nullptr;
    AppendBytes(bytes, &textures[i], sizeof(textures[i]));
    AppendSurfaceFormat(bytes, surface);
  }
  AppendBytes(bytes, &Dither, sizeof(Dither));
  AppendBytes(bytes, &zBuffer, sizeof(zBuffer));
  AppendBytes(bytes, &UseMMX, sizeof(UseMMX));
  AppendBytes(bytes, &Rows.Enable, sizeof(Rows.Enable));
  AppendSurfaceFormat(bytes, Dest);
  AppendSurfaceFormat(bytes, ZBuffer.Surface);
}

void TDXRMachine::Run(int32_t count) {
  if (count <= 0 || !Entry) return;
  Entry(count);
  // The x87 unit shares its registers with MMX; give them back before any floating-point code.
  if (MMXUsed) asm volatile("emms");
}

void TDXRMachine::RunRows() {
  if (!RowsEntry) return;
  RowsEntry();
  if (MMXUsed) asm volatile("emms");
}
