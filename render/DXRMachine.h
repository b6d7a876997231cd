// The span-routine compiler: an operation tree over colour registers, textures and the
// destination pixel, compiled into x86-64 machine code specialised to the surfaces' formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "render/DXRSurface.h"
#include "render/SpanCodeMemory.h"

using DXRChannels = uint8_t;
constexpr DXRChannels ChannelR = 1;
constexpr DXRChannels ChannelG = 2;
constexpr DXRChannels ChannelB = 4;
constexpr DXRChannels ChannelA = 8;
constexpr DXRChannels ChannelsRGB = ChannelR | ChannelG | ChannelB;
constexpr DXRChannels ChannelsRGBA = ChannelsRGB | ChannelA;

// Four 16-bit words; each carries its 8-bit component in the high byte and a fraction below.
struct DXRColor {
  uint16_t R, G, B, A;
};

enum TDXRBlendMode : uint8_t {
  BlendZero,
  BlendSource1,
  BlendSource2,
  BlendAdd,
  BlendSub,
  BlendReverseSub,
  BlendMultiply,
  BlendSrcAlpha,
  BlendSrcAlphaAdd,
  BlendSrcAlphaSub,
  BlendAlphaMix,
  BlendInvAlphaMix,
  BlendReplace,
  BlendColorKeepAlpha,
  BlendModulate,
  BlendModulateAll,
  BlendAddColor,
};
constexpr uint8_t BlendModeCount = 17;

constexpr uint8_t NodeBlack = 0;
constexpr uint8_t NodeColor = 1;
constexpr uint8_t NodeConstColor = 2;
constexpr uint8_t NodeTexture = 3;
constexpr uint8_t NodeIndirectTexture = 4;
constexpr uint8_t NodeDestPixel = 5;
constexpr uint8_t NodeBlend = 6;

struct DXRNode {
  uint8_t Type;
  DXRChannels Channels;
  int32_t Index;  // colour register or texture number
  uint8_t Mode;   // a TDXRBlendMode
  DXRColor Color;
  DXRNode* Child1;
  DXRNode* Child2;
  int32_t SecondTexture;  // the texture that perturbs the coordinates of an indirect read
};

struct DXRColorRegister {
  bool Enable;
  DXRColor Color;
  DXRColor Delta;
  bool Gouraud;
  DXRChannels ChannelsUsed;
};

struct DXRTextureRegister {
  bool Enable;
  TDXRSurface* Surface;
  int32_t U, V;  // 16.16; the generated code reads them as one pair
  int32_t dU, dV;
  bool ConstantSteps;
  uint8_t Filter;  // 0 and 2 point, 1 and 3 bilinear
  bool ColorKeyEnable;
  uint32_t ColorKey;
  DXRChannels ChannelsUsed;
  uint8_t Addressing;  // 0 wrapped by the surface's masks, 1 direct
  DXRColor DefaultColor;
};

// Branch conditions of the span routine, also used as Z comparison kinds.
constexpr uint8_t BranchNever = 0;
constexpr uint8_t BranchLess = 1;
constexpr uint8_t BranchEqual = 2;
constexpr uint8_t BranchLessEqual = 3;
constexpr uint8_t BranchGreater = 4;
constexpr uint8_t BranchNotEqual = 5;
constexpr uint8_t BranchGreaterEqual = 6;
constexpr uint8_t BranchAlways = 7;

struct DXRZBuffer {
  bool Enable;
  TDXRSurface* Surface;
  uint8_t CompareKind;
  bool Write;
};

struct DXRAxis {
  int32_t X, Y;
  bool Step;
};

struct DXRZRegister {
  bool Enable;
  int64_t Z;  // 32.32: the high half is the pixel's Z
  int64_t dZ;
};

struct DXRIndirectCells {
  DXRColor Probe;      // coordinate pair of the perturbing texture's reads
  DXRColor Perturbed;  // coordinate pair of the final read
  uint32_t Saved;      // first of the two raw values whose difference perturbs
};

// One source coordinate of a rotated draw's rows, as the routine's row walk reads it. The walk
// works on the coordinate multiplied by Sign, which makes it rise along the row; a coordinate
// that stays constant along the row has Sign 1, Advance 0, Divisor 1, and a bias so large that
// a row starting before the source skips past the destination, i.e. draws nothing.
struct DXRRowAxis {
  int32_t Start;    // 16.16 at the current row's left edge of the box; steps in 32-bit arithmetic
  int32_t RowStep;  // added to Start from one row to the next
  int64_t SignMask;  // 0 for Sign 1, -1 for Sign -1: (x ^ SignMask) - SignMask is Sign times x
  int64_t SkipLow;   // a signed coordinate below this lies before the source
  int64_t SkipBias;  // added to the distance before dividing it, to round the skip up
  int64_t RunHigh;   // the run ends before this signed coordinate
  int64_t Advance;   // the signed coordinate's step per pixel
  uint64_t Divisor, Reciprocal;  // the reciprocal rounded up, unused for a divisor of 1
};

// The rows a rotated draw walks inside the routine (RunRows), each from the box's left edge
// past the pixels whose source coordinates lie outside the source, for as long as they lie
// inside it and inside the destination.
struct DXRRowWalk {
  bool Enable;  // compiled in: the routine gets the row-walking entry
  int32_t Top, Bottom, Left;
  int64_t Room;                        // destination pixels from Left to the right edge
  int64_t PrefetchFirst, PrefetchEnd;  // bytes of a row the box covers
  DXRRowAxis U, V;                     // of texture 0
};

// What a machine's compiler may use of the processor besides MMX, which UseMMX governs for
// every machine. Whoever makes a machine asks the processor (ProbeProcessorFeatures) and passes
// the answer in, or less of it to have a machine that leaves a path out.
struct DXRProcessorFeatures {
  bool AVX512 = false;  // raw copies of 32-bit texels 16 at a time
};

// Asks the processor, and also whether the system saves the AVX-512 registers.
DXRProcessorFeatures ProbeProcessorFeatures();

using DXRSpanRoutine = void (*)(int32_t count);
using DXRRowsRoutine = void (*)();

constexpr int32_t MaxNodes = 128;
constexpr int32_t MaxTemps = 256;
constexpr int32_t MaxRegisters = 8;
// x86-64 encodings are longer than the 32-bit originals. The largest routine, 64 bilinear reads
// of a 4-bit indexed texture with alpha, colour keys, dither and Z, needs about 76 KiB; a routine
// that still does not fit is never run. The rest of the buffer keeps earlier routines for reuse.
constexpr size_t DefaultCodeBufferSize = 256 * 1024;
// Routines kept for reuse: enough for every sprite format and blend a frame draws.
constexpr size_t MaxKeptRoutines = 16;

class TDXRMachine {
 public:
  explicit TDXRMachine(const DXRProcessorFeatures& features = ProbeProcessorFeatures(),
                       size_t codeBufferSize = DefaultCodeBufferSize);
  virtual ~TDXRMachine();
  TDXRMachine(const TDXRMachine&) = delete;
  TDXRMachine& operator=(const TDXRMachine&) = delete;

  void Initialize();
  DXRNode* NewNode();
  DXRNode* NewTypedNode(uint8_t type);
  DXRNode* NewTextureNode(int32_t index);
  DXRNode* NewBlendNode(TDXRBlendMode mode, DXRNode* child1, DXRNode* child2);
  void Compile(DXRNode* root);
  void Run(int32_t count);
  // Draws the rows Rows describes (compiled with Rows.Enable).
  void RunRows();
  // The code of the routine Entry belongs to (empty when nothing is compiled).
  std::span<const uint8_t> RoutineCode() const;

  const DXRProcessorFeatures Features;  // what the compiler may emit besides MMX code
  const void* CodeBuffer = nullptr;     // the executable view of CodeMemory
  size_t CodeBufferSize = 0;
  DXRSpanRoutine Entry = nullptr;
  DXRRowsRoutine RowsEntry = nullptr;
  int32_t NodeCount = 0;
  DXRNode Nodes[MaxNodes] = {};
  bool MMXUsed = false;
  uint8_t* ZAddress = nullptr;
  DXRColor BilinearCells[5] = {};
  DXRIndirectCells IndirectCells = {};
  DXRColor Temps[MaxTemps] = {};
  TDXRSurface* Dest = nullptr;
  DXRColorRegister ColorRegisters[MaxRegisters] = {};
  int32_t ColorIndex[MaxRegisters] = {};
  int32_t ColorCount = 0;
  DXRTextureRegister TextureRegisters[MaxRegisters] = {};
  int32_t TextureIndex[MaxRegisters] = {};
  int32_t TextureCount = 0;
  bool Dither = false;
  DXRZBuffer ZBuffer = {};
  DXRAxis Axis = {};
  DXRZRegister ZRegister = {};
  DXRRowWalk Rows = {};
  // Pixel addresses of the surfaces, taken by Compile. The routine reads them from here rather
  // than having them built in, so that one routine serves every surface of its format.
  const void* DestBits = nullptr;
  const void* ZBits = nullptr;
  const void* TextureBits[MaxRegisters] = {};

 private:
  // A routine in the code memory and what it was compiled from.
  struct KeptRoutine {
    std::string Inputs;
    size_t Offset = 0, Size = 0, EntryOffset = 0, RowsEntryOffset = 0;
    bool MMXUsed = false;
    // The temporaries' words the compile fixed (defaults of absent texture channels); another
    // routine's compile may have overwritten them since.
    std::vector<DXRColor> Temps;
  };

  bool TreeIsValid(const DXRNode* node, int32_t& budget) const;
  void SimplifyTree(DXRNode*& node);
  void MarkUsedRegisters(const DXRNode* node);
  void CollectCompileInputs(const DXRNode* root, std::string& bytes) const;
  const KeptRoutine* FindKeptRoutine();
  const KeptRoutine* GenerateRoutine(DXRNode* root);

  SpanCodeMemory CodeMemory;
  // Routines are generated here and then copied to the free end of the code memory.
  std::vector<uint8_t> StagingBuffer;
  std::vector<KeptRoutine> KeptRoutines;  // the most recently used first
  size_t CodeCursor = 0;                  // where the code memory's free end starts
  std::string Inputs;                     // bytes of the compile in progress
  std::span<const uint8_t> CurrentCode;   // the routine Entry belongs to
};

DXRChannels SurfaceChannels(const TDXRSurface& surface);

struct DXRChannelNeeds {
  DXRChannels Pass1, Force1, Pass2, Force2;
};
DXRChannelNeeds BlendChannelNeeds(uint8_t mode);

// Unit tables, filled once at start and read by the generated code.
extern uint8_t AddTable[512];
extern uint8_t SubTable[511];
extern double CosTable[256];
extern const uint8_t DitherTable[16];

// Generate MMX code; the compilers read it when they compile, so it may change between compiles.
extern bool UseMMX;
// Sets UseMMX to whether the processor has MMX, and records that.
void DetectCpuFeatures();
// Option 1 turns MMX code on (value not 0, where the processor has MMX) or off; other options do
// nothing.
void SetRenderOption(uint8_t option, int32_t value);

double Cos256(int32_t angle);
double Sin256(int32_t angle);

// The program's one machine, made on first use and freed when the unit ends.
TDXRMachine* RenderMachine();
