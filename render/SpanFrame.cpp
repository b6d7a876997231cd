#include <cstdlib>
#include <limits>
#include <utility>

#include "render/SpanCompiler.h"

using namespace Xbyak;

namespace {
const DXRColor BlackColor = {0, 0, 0, 0};

uint32_t BytesPerPixel(const TDXRSurface& surface) { return surface.BitCount / 8; }

bool DestBitCountSupported(uint32_t bitCount) {
  return bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
}
}  // namespace

SpanCompiler::SpanCompiler(TDXRMachine& machine, void* buffer, size_t size)
    : CodeGenerator(size, buffer), M(machine) {}

bool GenerateSpanCode(TDXRMachine& machine, DXRNode* root, uint8_t* buffer, size_t capacity,
                      SpanRoutineLayout& layout) {
  try {
    SpanCompiler compiler(machine, buffer, capacity);
    layout.EntryOffset = compiler.Generate(root);
    layout.RowsEntryOffset = compiler.RowsEntryOffset();
    layout.Size = compiler.getSize();
    layout.TempsUsed = compiler.TempsUsed();
    return true;
  } catch (const Xbyak::Error&) {
    // The routine outgrew the buffer: nothing is run rather than a truncated routine.
    machine.MMXUsed = false;
    return false;
  }
}

RegExp SpanCompiler::At(const void* p) {
  const intptr_t offset = reinterpret_cast<const uint8_t*>(p) - reinterpret_cast<const uint8_t*>(&M);
  if (offset >= std::numeric_limits<int32_t>::min() / 2 && offset <= std::numeric_limits<int32_t>::max() / 2)
    return rbx + static_cast<int32_t>(offset);
  mov(r11, reinterpret_cast<uintptr_t>(p));
  return RegExp(r11);
}

void SpanCompiler::EmitBranch(uint8_t condition, const Label& target) {
  if (condition == BranchNever || condition > BranchAlways) return;
  const intptr_t d = target.getAddress() - (getCurr() + 2);
  const LabelType form = std::abs(d) < 128 ? T_SHORT : T_NEAR;
  switch (condition) {
    case BranchLess: jl(target, form); break;
    case BranchEqual: je(target, form); break;
    case BranchLessEqual: jle(target, form); break;
    case BranchGreater: jg(target, form); break;
    case BranchNotEqual: jne(target, form); break;
    case BranchGreaterEqual: jge(target, form); break;
    default: jmp(target, form); break;
  }
}

// The entries save what they use of the caller's registers and address the machine.
void SpanCompiler::EmitPrologue() {
  push(rbx);
  mov(rbx, reinterpret_cast<uintptr_t>(&M));
  if (CachedTexture) {
    push(r12);
    push(r13);
    push(r14);
  }
}

void SpanCompiler::EmitEpilogue() {
  if (CachedTexture) {
    pop(r14);
    pop(r13);
    pop(r12);
  }
  pop(rbx);
  ret();
}

// A span is called by the entries with its pixel count in esi; it starts at Axis.
void SpanCompiler::EmitSpanStart() {
  if (CachedTexture) {
    mov(r12d, dword[At(&CachedTexture->U)]);
    mov(r13d, dword[At(&CachedTexture->V)]);
    mov(r14, qword[At(&M.TextureBits[CachedTexture - M.TextureRegisters])]);
  }
  EmitDestAddress();
  EmitZAddress();
}

void SpanCompiler::EmitSpanEnd() {
  if (CachedTexture) {
    mov(dword[At(&CachedTexture->U)], r12d);
    mov(dword[At(&CachedTexture->V)], r13d);
  }
  ret();
}

// The coordinates of the only texture stay in registers when nothing reads them from memory:
// every read of it is a point fetch at its own U and V.
bool SpanCompiler::CoordinatesCanStayInRegisters(const DXRNode* node) const {
  switch (node->Type) {
    case NodeTexture: return (M.TextureRegisters[node->Index].Filter & 1) == 0;
    case NodeIndirectTexture: return false;
    case NodeBlend:
      return (!node->Child1 || CoordinatesCanStayInRegisters(node->Child1)) &&
             (!node->Child2 || CoordinatesCanStayInRegisters(node->Child2));
    default: return true;
  }
}

size_t SpanCompiler::Generate(DXRNode* root) {
  const TDXRSurface& dest = *M.Dest;
  const bool fastFill = root->Type == NodeColor && !M.ColorRegisters[root->Index].Gouraud && !M.ZBuffer.Enable &&
                        !M.Dither && !M.Rows.Enable && (dest.BitCount == 16 || dest.BitCount == 32);
  if (fastFill) {
    EmitFastFill(M.ColorRegisters[root->Index]);
    ready();
    return 0;
  }
  EmitGeneralLoop(root);
  ready();
  return static_cast<size_t>(EntryPoint.getAddress() - getCode());
}

size_t SpanCompiler::RowsEntryOffset() const {
  return M.Rows.Enable ? static_cast<size_t>(RowsEntryPoint.getAddress() - getCode()) : 0;
}

// Flat colour: the colour is packed once and stored without a per-pixel pipeline.
void SpanCompiler::EmitFastFill(const DXRColorRegister& reg) {
  EmitPrologue();
  mov(esi, edi);
  EmitDestAddress();
  EmitPackPixel(&reg.Color, SurfaceChannels(*M.Dest));
  Label done;
  if (M.Dest->BitCount == 32) {
    Label store;
    L(store);
    mov(dword[rdi + rsi * 4 - 4], eax);
    dec(esi);
    jnz(store);
  } else {
    Label pairs, pairLoop, single;
    movzx(eax, ax);
    mov(ecx, eax);
    shl(ecx, 16);
    or_(eax, ecx);
    test(edi, 3);
    jz(pairs);
    mov(word[rdi], ax);
    add(rdi, 2);
    dec(esi);
    L(pairs);
    cmp(esi, 2);
    jl(single);
    L(pairLoop);
    mov(dword[rdi], eax);
    add(rdi, 4);
    sub(esi, 2);
    cmp(esi, 2);
    jge(pairLoop);
    L(single);
    test(esi, esi);
    jz(done);
    mov(word[rdi], ax);
  }
  L(done);
  EmitEpilogue();
}

void SpanCompiler::EmitGeneralLoop(DXRNode* root) {
  if (M.TextureCount == 1 && CoordinatesCanStayInRegisters(root))
    CachedTexture = &M.TextureRegisters[M.TextureIndex[0]];

  // Exit and loop head come first, so every branch of the loop jumps backwards.
  L(Exit);
  EmitSpanEnd();
  if (CopiesInVectors(root)) {
    L(SpanStart);
    EmitSpanStart();
    EmitVectorCopy(M.TextureRegisters[root->Index]);
    jmp(Exit, T_NEAR);
  } else {
    EmitPixelLoop(root);
  }

  L(EntryPoint);
  EmitPrologue();
  mov(esi, edi);
  call(SpanStart);
  EmitEpilogue();

  if (M.Rows.Enable) EmitRowWalk();
}

void SpanCompiler::EmitPixelLoop(DXRNode* root) {
  L(LoopHead);
  EmitStepsAndCount();
  EmitBranch(BranchLessEqual, Exit);

  // The body starts on a 32-byte boundary of the routine (routines start on cache lines), so
  // the per-pixel code is fetched in as few blocks as possible. Skipped pixels run through the
  // padding: a few long no-ops rather than many short ones.
  nop((32 - getSize() % 32) % 32);
  Label body;
  L(body);
  EmitZTest();
  const TDXRSurface& dest = *M.Dest;
  if (root->Type == NodeColor) {
    EmitPackColor(&M.ColorRegisters[root->Index].Color, root->Channels);
  } else if (root->Type == NodeTexture && !M.Dither && (M.TextureRegisters[root->Index].Filter & 1) == 0 &&
             SameSurfaceFormat(dest, *M.TextureRegisters[root->Index].Surface)) {
    const DXRTextureRegister& texture = M.TextureRegisters[root->Index];
    EmitTexelFetch(texture, &texture.U);
    EmitColorKeyTest(texture);
  } else {
    NextTemp = 0;
    DXRColor* value = CompileNode(root);
    EmitPackColor(value, root->Channels);
  }
  EmitWriteDestPixel();
  // The loop head's work once more, so that a written pixel goes on to the next with one
  // branch back instead of a jump to the loop head and a branch past the exit.
  EmitStepsAndCount();
  EmitBranch(BranchGreater, body);
  EmitBranch(BranchAlways, Exit);

  L(SpanStart);
  EmitSpanStart();
  EmitBranch(BranchAlways, body);
}

// A raw copy of a lone point-sampled texture inside its pixels onto a destination of its
// 32-bit format, 16 pixels at a time: their texels gathered at once, the keyed ones masked
// out of the store. Each pixel gets what the pixel loop gives it, and U and V end where the
// pixel loop leaves them.
bool SpanCompiler::CopiesInVectors(const DXRNode* root) const {
  if (!M.Features.AVX512 || root->Type != NodeTexture || M.Dither || M.ZBuffer.Enable || M.ColorCount != 0 ||
      M.Axis.Step)
    return false;
  const DXRTextureRegister& texture = M.TextureRegisters[root->Index];
  const TDXRSurface& source = *texture.Surface;
  // Texel offsets are gathered as 32-bit numbers of texels.
  const bool offsetsFit = source.Pitch % 4 == 0 && std::abs(int64_t{source.Pitch}) / 4 * source.Height <= INT32_MAX;
  return &texture == CachedTexture && texture.Addressing == 1 && M.Dest->BitCount == 32 && source.BitCount == 32 &&
         SameSurfaceFormat(*M.Dest, source) && offsetsFit;
}

void SpanCompiler::EmitVectorCopy(const DXRTextureRegister& texture) {
  static const int32_t laneNumbers[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const Zmm u = zmm0, v = zmm1, stepU = zmm2, stepV = zmm3, lanes = zmm4, scratch = zmm5, key = zmm6,
            keep = zmm7, texels = zmm8, offsets = zmm9, compared = zmm10;
  // The per-pixel steps in ecx and edx, as the pixel loop would add them.
  if (!UseMMX && texture.ConstantSteps) {
    mov(ecx, texture.dU);
    mov(edx, texture.dV);
  } else {
    mov(ecx, dword[At(&texture.dU)]);
    mov(edx, dword[At(&texture.dV)]);
  }
  vpbroadcastd(stepU, ecx);
  vpbroadcastd(stepV, edx);
  vmovdqu32(lanes, ptr[At(laneNumbers)]);
  vpbroadcastd(u, r12d);
  vpmulld(scratch, lanes, stepU);
  vpaddd(u, u, scratch);
  vpbroadcastd(v, r13d);
  vpmulld(scratch, lanes, stepV);
  vpaddd(v, v, scratch);
  vpslld(stepU, stepU, 4);
  vpslld(stepV, stepV, 4);
  // Where the pixel loop leaves U and V: one step per pixel, in 32-bit arithmetic.
  imul(ecx, esi);
  add(r12d, ecx);
  imul(edx, esi);
  add(r13d, edx);

  const TDXRSurface& source = *texture.Surface;
  const uint32_t alphaMask = SurfaceAlphaMask(source);
  if (texture.ColorKeyEnable) {
    mov(eax, texture.ColorKey);
    vpbroadcastd(key, eax);
    // The bits the key is compared with; without alpha the top byte is padding and is dropped
    // from the texel for good, as the pixel loop does.
    mov(eax, ~alphaMask & 0xFFFFFF);
    vpbroadcastd(keep, eax);
  }
  const int32_t texelsPerRow = source.Pitch / 4;
  const bool rowShift = texelsPerRow > 0 && (texelsPerRow & (texelsPerRow - 1)) == 0;
  if (!rowShift) {
    mov(eax, texelsPerRow);
    vpbroadcastd(scratch, eax);
  }

  Label block, full, masked;
  L(block);
  cmp(esi, 16);
  jge(full);
  mov(ecx, esi);  // the last pixels: lanes 0 to esi - 1
  mov(eax, 1);
  shl(eax, cl);
  dec(eax);
  kmovw(k1, eax);
  jmp(masked);
  L(full);
  kxnorw(k1, k1, k1);
  L(masked);
  vpsrld(offsets, v, 16);
  if (rowShift)
    vpslld(offsets, offsets, static_cast<uint8_t>(HighestBitIndex(static_cast<uint32_t>(texelsPerRow))));
  else
    vpmulld(offsets, offsets, scratch);
  vpsrld(compared, u, 16);
  vpaddd(offsets, offsets, compared);
  kmovw(k2, k1);
  vpxord(texels, texels, texels);  // no dependence on the last block's texels
  vpgatherdd(texels | k2, ptr[r14 + offsets * 4]);
  if (texture.ColorKeyEnable) {
    if (alphaMask == 0) {
      vpandd(texels, texels, keep);
      vpcmpd(k1 | k1, texels, key, 4);  // not equal
    } else {
      vpandd(compared, texels, keep);
      vpcmpd(k1 | k1, compared, key, 4);
    }
  }
  vmovdqu32(ptr[rdi] | k1, texels);
  vpaddd(u, u, stepU);
  vpaddd(v, v, stepV);
  add(rdi, 64);
  sub(esi, 16);
  jg(block);
  // The caller's SSE code runs at full speed only with the upper halves cleared.
  vzeroupper();
}

// The rows of Rows, each drawn as one span from the first pixel whose source coordinates lie
// inside the source on. The row's own state lives in r15d (the row) and in the machine; the
// span may use every other register.
void SpanCompiler::EmitRowWalk() {
  const DXRRowWalk& rows = M.Rows;
  Label rowLoop, nextRow, done;
  L(RowsEntryPoint);
  EmitPrologue();
  push(r15);
  mov(r15d, dword[At(&rows.Top)]);
  L(rowLoop);
  cmp(r15d, dword[At(&rows.Bottom)]);
  jge(done, T_NEAR);

  // Start fetching the next row's destination, for writing, while this one is drawn; on a
  // large surface every row of the box lies in lines that are not cached yet.
  Label prefetched, line;
  lea(eax, ptr[r15 + 1]);
  cmp(eax, dword[At(&rows.Bottom)]);
  jge(prefetched);
  imul(rax, rax, M.Dest->Pitch);
  add(rax, qword[At(&M.DestBits)]);
  mov(rcx, qword[At(&rows.PrefetchFirst)]);
  mov(rdx, qword[At(&rows.PrefetchEnd)]);
  cmp(rcx, rdx);
  jge(prefetched);
  L(line);
  prefetchw(ptr[rax + rcx]);
  add(rcx, 64);
  cmp(rcx, rdx);
  jl(line);
  L(prefetched);

  // r8 and r9: the signed U and V; r10: the pixels skipped; rsi: the pixels drawn.
  EmitRowSkip(rows.U, r8, r10);
  EmitRowSkip(rows.V, r9, rax);
  cmp(rax, r10);
  cmovg(r10, rax);
  // A row whose first pixel inside the source lies beyond the destination draws nothing.
  mov(rsi, qword[At(&rows.Room)]);
  sub(rsi, r10);
  jle(nextRow, T_NEAR);
  mov(rax, r10);
  imul(rax, qword[At(&rows.U.Advance)]);
  add(r8, rax);
  mov(rax, r10);
  imul(rax, qword[At(&rows.V.Advance)]);
  add(r9, rax);
  EmitRowRun(rows.U, r8, rsi, nextRow);
  EmitRowRun(rows.V, r9, rsi, nextRow);
  test(rsi, rsi);
  jle(nextRow, T_NEAR);

  mov(eax, dword[At(&rows.Left)]);
  add(eax, r10d);
  mov(dword[At(&M.Axis.X)], eax);
  mov(dword[At(&M.Axis.Y)], r15d);
  const DXRTextureRegister& texture = M.TextureRegisters[0];
  const std::pair<const DXRRowAxis*, const int32_t*> coordinates[] = {{&rows.U, &texture.U}, {&rows.V, &texture.V}};
  const Reg64 signedCoords[] = {r8, r9};
  for (int i = 0; i < 2; ++i) {
    mov(rax, signedCoords[i]);
    xor_(rax, qword[At(&coordinates[i].first->SignMask)]);
    sub(rax, qword[At(&coordinates[i].first->SignMask)]);
    mov(dword[At(coordinates[i].second)], eax);
  }
  call(SpanStart);

  L(nextRow);
  mov(eax, dword[At(&rows.U.RowStep)]);
  add(dword[At(&rows.U.Start)], eax);
  mov(eax, dword[At(&rows.V.RowStep)]);
  add(dword[At(&rows.V.Start)], eax);
  inc(r15d);
  jmp(rowLoop, T_NEAR);

  L(done);
  pop(r15);
  EmitEpilogue();
}

// coord := the row's signed coordinate; skip := the pixels before it reaches SkipLow.
void SpanCompiler::EmitRowSkip(const DXRRowAxis& axis, const Reg64& coord, const Reg64& skip) {
  Label none, done;
  movsxd(coord, dword[At(&axis.Start)]);
  xor_(coord, qword[At(&axis.SignMask)]);
  sub(coord, qword[At(&axis.SignMask)]);
  mov(rax, qword[At(&axis.SkipLow)]);
  sub(rax, coord);
  jle(none);
  add(rax, qword[At(&axis.SkipBias)]);
  EmitQuotient(axis);
  jmp(done);
  L(none);
  xor_(eax, eax);
  L(done);
  if (skip != rax) mov(skip, rax);
}

// run := min(run, pixels from the signed coordinate on before it reaches RunHigh); to `empty`
// when there are none.
void SpanCompiler::EmitRowRun(const DXRRowAxis& axis, const Reg64& coord, const Reg64& run, const Label& empty) {
  mov(rax, qword[At(&axis.RunHigh)]);
  sub(rax, coord);
  jle(empty, T_NEAR);
  EmitQuotient(axis);
  cmp(run, rax);
  cmovg(run, rax);
}

// rax := rax / Divisor, truncated, for rax >= 0 (rdx is lost). With the reciprocal rounded up,
// the high half of the product is exact for dividends and divisors below 2^32; divisors never
// reach 2^32, larger dividends take the division.
void SpanCompiler::EmitQuotient(const DXRRowAxis& axis) {
  Label wide, done;
  cmp(qword[At(&axis.Divisor)], 1);
  je(done);
  mov(rdx, rax);
  shr(rdx, 32);
  jnz(wide);
  mul(qword[At(&axis.Reciprocal)]);
  mov(rax, rdx);
  jmp(done);
  L(wide);
  xor_(edx, edx);
  div(qword[At(&axis.Divisor)]);
  L(done);
}

// Every pixel's state steps once, then the pixel counter counts the pixel off.
void SpanCompiler::EmitStepsAndCount() {
  EmitAxisStep();
  EmitColorStep();
  EmitTextureStep();
  EmitZStep();
  EmitDestAdvance();
  EmitZAdvance();
  dec(esi);
}

void SpanCompiler::EmitDestAddress() {
  const TDXRSurface& dest = *M.Dest;
  movsxd(rax, dword[At(&M.Axis.Y)]);
  imul(rax, rax, dest.Pitch);
  movsxd(rcx, dword[At(&M.Axis.X)]);
  imul(rcx, rcx, static_cast<int>(BytesPerPixel(dest)));
  mov(rdi, qword[At(&M.DestBits)]);
  add(rdi, rax);
  add(rdi, rcx);
}

void SpanCompiler::EmitZAddress() {
  if (!M.ZBuffer.Enable) return;
  const TDXRSurface& z = *M.ZBuffer.Surface;
  movsxd(rax, dword[At(&M.Axis.Y)]);
  imul(rax, rax, z.Pitch);
  movsxd(rcx, dword[At(&M.Axis.X)]);
  imul(rcx, rcx, static_cast<int>(BytesPerPixel(z)));
  add(rax, rcx);
  add(rax, qword[At(&M.ZBits)]);
  mov(qword[At(&M.ZAddress)], rax);
}

void SpanCompiler::EmitZTest() {
  if (!M.ZBuffer.Enable) return;
  const uint32_t bits = M.ZBuffer.Surface->BitCount;
  mov(rdx, qword[At(&M.ZAddress)]);
  mov(r8d, dword[At(reinterpret_cast<const uint8_t*>(&M.ZRegister.Z) + 4)]);
  if (M.ZBuffer.CompareKind != BranchAlways) {
    EmitLoadPixel(ecx, r9d, rdx, bits);
    cmp(ecx, r8d);
    EmitBranch(M.ZBuffer.CompareKind, LoopHead);
  }
  if (M.ZBuffer.Write) {
    switch (bits) {
      case 8: mov(byte[rdx], r8b); break;
      case 16: mov(word[rdx], r8w); break;
      case 24:
        mov(word[rdx], r8w);
        shr(r8d, 16);
        mov(byte[rdx + 2], r8b);
        break;
      default: mov(dword[rdx], r8d); break;
    }
  }
}

void SpanCompiler::EmitZAdvance() {
  if (!M.ZBuffer.Enable) return;
  const uint32_t bytes = BytesPerPixel(*M.ZBuffer.Surface);
  add(qword[At(&M.ZAddress)], bytes);
}

// A pixel of 8, 16, 24 or 32 bits at `at`, zero-extended into value; 24 bits take scratch too.
void SpanCompiler::EmitLoadPixel(const Reg32& value, const Reg32& scratch, const RegExp& at, uint32_t bits) {
  switch (bits) {
    case 8: movzx(value, byte[at]); break;
    case 16: movzx(value, word[at]); break;
    case 24:
      movzx(value, byte[at + 2]);
      shl(value, 16);
      movzx(scratch, word[at]);
      or_(value, scratch);
      break;
    default: mov(value, dword[at]); break;
  }
}

void SpanCompiler::EmitReadDestPixel() {
  if (DestBitCountSupported(M.Dest->BitCount))
    EmitLoadPixel(eax, ecx, rdi, M.Dest->BitCount);
  else
    xor_(eax, eax);  // nothing to read; a defined value keeps a palette lookup of it inside the palette
}

void SpanCompiler::EmitWriteDestPixel() {
  switch (M.Dest->BitCount) {
    case 8: mov(byte[rdi], al); break;
    case 16: mov(word[rdi], ax); break;
    case 24:
      mov(word[rdi], ax);
      mov(ecx, eax);
      shr(ecx, 16);
      mov(byte[rdi + 2], cl);
      break;
    case 32: mov(dword[rdi], eax); break;
    default: break;
  }
}

void SpanCompiler::EmitDestAdvance() {
  if (DestBitCountSupported(M.Dest->BitCount)) add(rdi, BytesPerPixel(*M.Dest));
}

DXRColor* SpanCompiler::AllocTempColor() { return &M.Temps[NextTemp++]; }

DXRColor* SpanCompiler::CompileNode(DXRNode* node) {
  DXRColor* t = AllocTempColor();
  switch (node->Type) {
    case NodeBlack:
      EmitBlend(BlendZero, t, nullptr, nullptr, node->Channels, 0, 0);
      break;
    case NodeColor:
      EmitBlend(BlendSource1, t, &M.ColorRegisters[node->Index].Color, nullptr, node->Channels, 0, 0);
      break;
    case NodeConstColor:
      EmitBlend(BlendSource1, t, &node->Color, nullptr, node->Channels, ChannelsRGBA, 0);
      break;
    case NodeTexture:
      EmitTextureLoad(t, M.TextureRegisters[node->Index], node->Channels);
      break;
    case NodeIndirectTexture:
      EmitTextureLoadIndirect(t, M.TextureRegisters[node->Index], node->Channels,
                              M.TextureRegisters[node->SecondTexture]);
      break;
    case NodeDestPixel:
      EmitReadDestPixel();
      EmitUnpackPixel(M.Dest, t, node->Channels, BlackColor);
      break;
    case NodeBlend: {
      const DXRColor* operands[2] = {nullptr, nullptr};
      DXRChannels constants[2] = {0, 0};
      DXRNode* children[2] = {node->Child1, node->Child2};
      for (int i = 0; i < 2; ++i) {
        DXRNode* child = children[i];
        if (!child) continue;
        switch (child->Type) {
          case NodeBlack: operands[i] = &BlackColor; break;
          case NodeColor: operands[i] = &M.ColorRegisters[child->Index].Color; break;
          case NodeConstColor:
            operands[i] = &child->Color;
            constants[i] = ChannelsRGBA;
            break;
          case NodeTexture: {
            const DXRTextureRegister& texture = M.TextureRegisters[child->Index];
            constants[i] = child->Channels & ~texture.ChannelsUsed;
            child->Channels &= texture.ChannelsUsed;
            DXRColor* value = CompileNode(child);
            // The texture code never writes these words, so they keep the default all run long.
            uint16_t* words = &value->R;
            const uint16_t* defaults = &texture.DefaultColor.R;
            for (int k = 0; k < 4; ++k)
              if (constants[i] & (1 << k)) words[k] = defaults[k];
            operands[i] = value;
            break;
          }
          default: operands[i] = CompileNode(child); break;
        }
      }
      EmitBlend(node->Mode, t, operands[0], operands[1], node->Channels, constants[0], constants[1]);
      break;
    }
    default: break;
  }
  return t;
}
