// Code generation of one span routine. Register use of every routine:
//   rbx  the machine (its fields are addressed relative to it)
//   rdi  destination address of the current pixel
//   esi  pixels left
//   eax  raw pixel value (destination pixel after a read, texel after a fetch, packed pixel)
//   ecx, edx, r8-r10, mm0, mm1  scratch of the emitters; zmm0-zmm10, k1, k2 of the vector copy
//   r11  address of data outside the machine (tables, surfaces, palettes)
//   r12d, r13d, r14  U, V and pixel address of a lone point-sampled texture; U and V are
//        written back at the end of a span
//   r15d  the row of the row walk
#pragma once

#include <xbyak/xbyak.h>

#include "render/DXRMachine.h"

class SpanCompiler : public Xbyak::CodeGenerator {
 public:
  SpanCompiler(TDXRMachine& machine, void* buffer, size_t size);

  // Returns the offset of the routine's entry in the buffer.
  size_t Generate(DXRNode* root);
  // The offset of the row-walking entry, 0 when there is none.
  size_t RowsEntryOffset() const;
  int32_t TempsUsed() const { return NextTemp; }

  // Short form when the displacement measured from the end of the short form is below 128 in
  // absolute value, near form otherwise. Targets always lie behind the cursor.
  void EmitBranch(uint8_t condition, const Xbyak::Label& target);

  // Frame (destination, Z, loop).
  void EmitDestAddress();
  void EmitZAddress();
  void EmitZTest();
  void EmitZAdvance();
  void EmitReadDestPixel();
  void EmitWriteDestPixel();
  void EmitDestAdvance();
  DXRColor* AllocTempColor();
  DXRColor* CompileNode(DXRNode* node);

  // Texel fetch into eax.
  void EmitTexelFetch(const DXRTextureRegister& texture, const void* pair);
  void EmitTexelFetchWrap(const DXRTextureRegister& texture, const void* pair);
  void EmitTexelFetchDirect(const DXRTextureRegister& texture, const void* pair);

  // Texture sampling and per-pixel steps.
  void EmitColorKeyTest(const DXRTextureRegister& texture);
  void EmitTextureLoadPoint(DXRColor* result, const DXRTextureRegister& texture, DXRChannels channels,
                            const void* pair);
  void EmitTextureLoadBilinear(DXRColor* result, const DXRTextureRegister& texture, DXRChannels channels,
                               const void* pair);
  void EmitTextureLoad(DXRColor* result, const DXRTextureRegister& texture, DXRChannels channels);
  void EmitTextureLoadIndirect(DXRColor* result, const DXRTextureRegister& texture, DXRChannels channels,
                               const DXRTextureRegister& second);
  void EmitPackColor(const DXRColor* color, DXRChannels channels);
  void EmitAxisStep();
  void EmitColorStep();
  void EmitTextureStep();
  void EmitZStep();

  // Conversion between raw pixels and pipeline colours.
  // `surface` is the machine's field that points to the surface: its palette is read through it.
  void EmitUnpackPixel(TDXRSurface* const& surface, DXRColor* cell, DXRChannels channels, DXRColor defaultColor);
  void EmitPackPixel(const DXRColor* color, DXRChannels channels);
  void EmitPackPixelDither(const DXRColor* color, DXRChannels channels);

  // Blends.
  void EmitBlend(uint8_t mode, DXRColor* result, const DXRColor* operand1, const DXRColor* operand2,
                 DXRChannels channels, DXRChannels constChannels1, DXRChannels constChannels2);

 private:
  // The address of p as an operand base: relative to rbx inside the machine, else through r11.
  Xbyak::RegExp At(const void* p);
  void EmitPack(const DXRColor* color, DXRChannels channels, bool dither);
  void EmitRowOffset(const TDXRSurface& surface, const Xbyak::Reg64& row);
  void EmitTexelRead(const TDXRSurface& surface);
  void EmitLoadPixel(const Xbyak::Reg32& value, const Xbyak::Reg32& scratch, const Xbyak::RegExp& at,
                     uint32_t bits);
  void EmitFetch(const DXRTextureRegister& texture, const void* pair, bool wrap);
  void EmitFastFill(const DXRColorRegister& reg);
  void EmitGeneralLoop(DXRNode* root);
  void EmitPixelLoop(DXRNode* root);
  bool CopiesInVectors(const DXRNode* root) const;
  void EmitVectorCopy(const DXRTextureRegister& texture);
  void EmitStepsAndCount();
  void EmitPrologue();
  void EmitEpilogue();
  void EmitSpanStart();
  void EmitSpanEnd();
  void EmitRowWalk();
  void EmitRowSkip(const DXRRowAxis& axis, const Xbyak::Reg64& coord, const Xbyak::Reg64& skip);
  void EmitRowRun(const DXRRowAxis& axis, const Xbyak::Reg64& coord, const Xbyak::Reg64& run,
                  const Xbyak::Label& empty);
  void EmitQuotient(const DXRRowAxis& axis);
  void SetComponent(DXRColor* result, int k, const Xbyak::Reg32& value);
  void LoadComponent(const Xbyak::Reg32& reg, const DXRColor* color, int k);
  void LoadComponentPair(const Xbyak::Reg32& reg, const DXRColor* color, int first);
  void EmitChannelToByte(const Xbyak::Reg32& reg, const TDXRColorChannel& channel);

  void EmitBlendZero(DXRColor* result);
  void EmitBlendCopy(DXRColor* result, const DXRColor* operand, DXRChannels constChannels);
  // BlendAdd, BlendSub, BlendReverseSub and the colour part of BlendAddColor.
  void EmitBlendSaturating(uint8_t mode, DXRColor* result, const DXRColor* op1, const DXRColor* op2,
                           DXRChannels channels, DXRChannels const1, DXRChannels const2);
  void EmitBlendMultiply(DXRColor* result, const DXRColor* op1, const DXRColor* op2, DXRChannels channels);
  void EmitBlendSrcAlpha(DXRColor* result, const DXRColor* op1, DXRChannels channels);
  void EmitBlendSrcAlphaAddOrSub(DXRColor* result, const DXRColor* op1, const DXRColor* op2, DXRChannels channels,
                                 bool subtract);
  void EmitBlendAlphaMix(DXRColor* result, const DXRColor* op1, const DXRColor* op2, DXRChannels channels,
                         bool inverse);
  void EmitBlendColorKeepAlpha(DXRColor* result, const DXRColor* op1, const DXRColor* op2, DXRChannels channels);
  void EmitBlendModulate(DXRColor* result, const DXRColor* op1, const DXRColor* op2, DXRChannels channels);
  void EmitBlendAddColor(DXRColor* result, const DXRColor* op1, const DXRColor* op2, DXRChannels channels,
                         DXRChannels const1, DXRChannels const2);
  // One channel (word index `channel`) of the table forms; `constant` is a component known now.
  void EmitAddChannel(DXRColor* result, int channel, const DXRColor* x, const DXRColor* y);
  void EmitAddChannelConst(DXRColor* result, int channel, const DXRColor* x, uint8_t constant);
  void EmitSubChannel(DXRColor* result, int channel, const DXRColor* x, const DXRColor* y);
  void EmitSubChannelConstFirst(DXRColor* result, int channel, uint8_t constant, const DXRColor* y);
  void EmitSubChannelConstSecond(DXRColor* result, int channel, const DXRColor* x, uint8_t constant);
  void EmitAddOrSubChannels(uint8_t mode, DXRColor* result, const DXRColor* op1, const DXRColor* op2,
                            DXRChannels channels, DXRChannels const1, DXRChannels const2);
  void EmitMMXWords(uint8_t mode, DXRColor* result, const DXRColor* op1, const DXRColor* op2);
  void EmitCopy8(DXRColor* result, const DXRColor* operand);

  bool CoordinatesCanStayInRegisters(const DXRNode* node) const;

  TDXRMachine& M;
  Xbyak::Label Exit, LoopHead, SpanStart, EntryPoint, RowsEntryPoint;
  // The one texture whose U and V live in r12d and r13d for the whole run (none: all in memory).
  const DXRTextureRegister* CachedTexture = nullptr;
  int32_t NextTemp = 0;
};

struct SpanRoutineLayout {
  size_t Size = 0;
  size_t EntryOffset = 0;
  size_t RowsEntryOffset = 0;  // 0 when the routine walks no rows
  int32_t TempsUsed = 0;  // temporaries from the first on
};

// Generates the routine into buffer; false when it does not fit. The code refers to everything
// by absolute address or through the machine, so it may be copied elsewhere to run.
bool GenerateSpanCode(TDXRMachine& machine, DXRNode* root, uint8_t* buffer, size_t capacity,
                      SpanRoutineLayout& layout);

// Word k (R, G, B, A) of a colour, for compile-time folding.
inline uint16_t WordOf(const DXRColor& color, int k) {
  const uint16_t words[4] = {color.R, color.G, color.B, color.A};
  return words[k];
}

// Component (high byte) of word k of a colour.
inline uint8_t ComponentOf(const DXRColor& color, int k) { return static_cast<uint8_t>(WordOf(color, k) >> 8); }
