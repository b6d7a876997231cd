// Texel fetch, texture sampling and the per-pixel steps of the loop head.
#include "render/SpanCompiler.h"

using namespace Xbyak;

namespace {
// Sub-byte texels: the leftmost pixel sits in the most significant bits of its byte.
const uint8_t SubByteMasks1[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
const uint8_t SubByteShifts1[8] = {7, 6, 5, 4, 3, 2, 1, 0};
const uint8_t SubByteMasks2[4] = {0xC0, 0x30, 0x0C, 0x03};
const uint8_t SubByteShifts2[4] = {6, 4, 2, 0};
const uint8_t SubByteMasks4[2] = {0xF0, 0x0F};
const uint8_t SubByteShifts4[2] = {4, 0};

constexpr int32_t OneTexel = 65536;
}  // namespace

void SpanCompiler::EmitTexelFetch(const DXRTextureRegister& texture, const void* pair) {
  if (texture.Addressing == 0)
    EmitTexelFetchWrap(texture, pair);
  else if (texture.Addressing == 1)
    EmitTexelFetchDirect(texture, pair);
}

void SpanCompiler::EmitTexelFetchWrap(const DXRTextureRegister& texture, const void* pair) {
  EmitFetch(texture, pair, true);
}

void SpanCompiler::EmitTexelFetchDirect(const DXRTextureRegister& texture, const void* pair) {
  EmitFetch(texture, pair, false);
}

void SpanCompiler::EmitFetch(const DXRTextureRegister& texture, const void* pair, bool wrap) {
  const TDXRSurface& surface = *texture.Surface;
  const auto* cells = static_cast<const uint8_t*>(pair);
  const bool cached = CachedTexture && pair == &CachedTexture->U;
  if (cached) {
    mov(ecx, r12d);
    mov(edx, r13d);
  } else {
    mov(ecx, dword[At(cells)]);
    mov(edx, dword[At(cells + 4)]);
  }
  shr(ecx, 16);
  shr(edx, 16);
  if (wrap) {
    and_(ecx, surface.WidthMask);
    and_(edx, surface.HeightMask);
  }
  EmitRowOffset(surface, rdx);
  if (cached) {
    add(rdx, r14);
  } else {
    add(rdx, qword[At(&M.TextureBits[&texture - M.TextureRegisters])]);
  }
  EmitTexelRead(surface);
}

// row := row × Pitch; a shift where the pitch is a power of two of a whole-byte format.
void SpanCompiler::EmitRowOffset(const TDXRSurface& surface, const Reg64& row) {
  const bool wholeBytes = surface.BitCount == 8 || surface.BitCount == 16 || surface.BitCount == 32;
  const int64_t power = int64_t{1} << surface.PitchBit;
  const int64_t pitch = surface.Pitch;
  if (wholeBytes && power == pitch) {
    shl(row, surface.PitchBit);
  } else if (wholeBytes && power == -pitch) {
    shl(row, surface.PitchBit);
    neg(row);
  } else {
    imul(row, row, surface.Pitch);
  }
}

// Reads the texel at column ecx of the row that starts at rdx into eax.
void SpanCompiler::EmitTexelRead(const TDXRSurface& surface) {
  const uint8_t* masks = nullptr;
  const uint8_t* shifts = nullptr;
  int perByteLog2 = 0;
  switch (surface.BitCount) {
    case 1: masks = SubByteMasks1; shifts = SubByteShifts1; perByteLog2 = 3; break;
    case 2: masks = SubByteMasks2; shifts = SubByteShifts2; perByteLog2 = 2; break;
    case 4: masks = SubByteMasks4; shifts = SubByteShifts4; perByteLog2 = 1; break;
    case 8: EmitLoadPixel(eax, r9d, rdx + rcx, 8); return;
    case 16: EmitLoadPixel(eax, r9d, rdx + rcx * 2, 16); return;
    case 24:
      lea(rcx, ptr[rcx + rcx * 2]);
      EmitLoadPixel(eax, r9d, rdx + rcx, 24);
      return;
    case 32: EmitLoadPixel(eax, r9d, rdx + rcx * 4, 32); return;
    default: return;
  }
  mov(r8d, ecx);
  shr(r8d, perByteLog2);
  movzx(eax, byte[rdx + r8]);
  and_(ecx, (1 << perByteLog2) - 1);
  and_(al, byte[At(masks) + rcx]);
  movzx(ecx, byte[At(shifts) + rcx]);
  shr(eax, cl);
}

void SpanCompiler::EmitColorKeyTest(const DXRTextureRegister& texture) {
  if (!texture.ColorKeyEnable) return;
  const TDXRSurface& surface = *texture.Surface;
  const uint32_t alphaMask = SurfaceAlphaMask(surface);
  const uint32_t key = texture.ColorKey;
  if (alphaMask == 0) {
    // Without alpha a 32-bit texel's top byte is padding: it is dropped for good.
    if (surface.BitCount == 32) and_(eax, 0xFFFFFF);
    if (key == 0)
      test(eax, eax);
    else
      cmp(eax, key);
  } else {
    uint32_t keep = ~alphaMask;
    if (surface.BitCount == 32) keep &= 0xFFFFFF;
    mov(ecx, eax);
    and_(ecx, keep);
    if (key == 0)
      test(ecx, ecx);
    else
      cmp(ecx, key);
  }
  EmitBranch(BranchEqual, LoopHead);
}

void SpanCompiler::EmitTextureLoadPoint(DXRColor* result, const DXRTextureRegister& texture, DXRChannels channels,
                                        const void* pair) {
  if (!channels) return;
  EmitTexelFetch(texture, pair);
  EmitColorKeyTest(texture);
  EmitUnpackPixel(texture.Surface, result, channels, texture.DefaultColor);
}

void SpanCompiler::EmitTextureLoadBilinear(DXRColor* result, const DXRTextureRegister& texture,
                                           DXRChannels channels, const void* pair) {
  if (!channels) return;
  const auto* coords = static_cast<const uint8_t*>(pair);
  DXRColor* cells = M.BilinearCells;
  const void* moving = &cells[0];
  const auto* movingBytes = reinterpret_cast<const uint8_t*>(moving);

  EmitTexelFetch(texture, pair);
  EmitColorKeyTest(texture);
  EmitUnpackPixel(texture.Surface, &cells[1], channels, texture.DefaultColor);

  mov(eax, dword[At(coords)]);
  add(eax, OneTexel);
  mov(dword[At(movingBytes)], eax);
  mov(eax, dword[At(coords + 4)]);
  mov(dword[At(movingBytes + 4)], eax);
  EmitTexelFetch(texture, moving);
  EmitUnpackPixel(texture.Surface, &cells[2], channels, texture.DefaultColor);

  add(dword[At(movingBytes + 4)], OneTexel);
  EmitTexelFetch(texture, moving);
  EmitUnpackPixel(texture.Surface, &cells[4], channels, texture.DefaultColor);

  sub(dword[At(movingBytes)], OneTexel);
  EmitTexelFetch(texture, moving);
  EmitUnpackPixel(texture.Surface, &cells[3], channels, texture.DefaultColor);

  // The weights are the top 8 bits of each fraction.
  movzx(r8d, byte[At(coords + 1)]);
  mov(r9d, 255);
  sub(r9d, r8d);
  movzx(r10d, byte[At(coords + 5)]);
  for (int k = 0; k < 4; ++k) {
    if (!(channels & (1 << k))) continue;
    LoadComponent(eax, &cells[1], k);
    imul(eax, r9d);
    LoadComponent(ecx, &cells[2], k);
    imul(ecx, r8d);
    add(eax, ecx);
    LoadComponent(ecx, &cells[3], k);
    imul(ecx, r9d);
    LoadComponent(edx, &cells[4], k);
    imul(edx, r8d);
    add(ecx, edx);
    imul(ecx, r10d);
    mov(edx, 255);
    sub(edx, r10d);
    imul(eax, edx);
    add(eax, ecx);
    shr(eax, 16);
    SetComponent(result, k, eax);
  }
}

void SpanCompiler::EmitTextureLoad(DXRColor* result, const DXRTextureRegister& texture, DXRChannels channels) {
  if (texture.Filter & 1)
    EmitTextureLoadBilinear(result, texture, channels, &texture.U);
  else
    EmitTextureLoadPoint(result, texture, channels, &texture.U);
}

void SpanCompiler::EmitTextureLoadIndirect(DXRColor* result, const DXRTextureRegister& texture,
                                           DXRChannels channels, const DXRTextureRegister& second) {
  if (!channels) return;
  auto* probe = reinterpret_cast<uint8_t*>(&M.IndirectCells.Probe);
  auto* perturbed = reinterpret_cast<uint8_t*>(&M.IndirectCells.Perturbed);
  // Each coordinate moves by the difference of the perturbing texture's raw values one step
  // back and at the current position along that coordinate.
  const int32_t* secondCoord[2] = {&second.U, &second.V};
  const int32_t* secondStep[2] = {&second.dU, &second.dV};
  const int32_t* ownCoord[2] = {&texture.U, &texture.V};
  for (int axis = 0; axis < 2; ++axis) {
    mov(eax, dword[At(&second.U)]);
    mov(dword[At(probe)], eax);
    mov(eax, dword[At(&second.V)]);
    mov(dword[At(probe + 4)], eax);
    mov(eax, dword[At(secondCoord[axis])]);
    sub(eax, dword[At(secondStep[axis])]);
    mov(dword[At(probe + 4 * axis)], eax);
    EmitTexelFetch(second, probe);
    mov(dword[At(&M.IndirectCells.Saved)], eax);
    EmitTexelFetch(second, &second.U);
    sub(eax, dword[At(&M.IndirectCells.Saved)]);
    shl(eax, 16);
    add(eax, dword[At(ownCoord[axis])]);
    mov(dword[At(perturbed + 4 * axis)], eax);
  }
  EmitTextureLoadPoint(result, texture, channels, perturbed);
}

void SpanCompiler::EmitPackColor(const DXRColor* color, DXRChannels channels) {
  if (M.Dither)
    EmitPackPixelDither(color, channels);
  else
    EmitPackPixel(color, channels);
}

void SpanCompiler::EmitAxisStep() {
  if (M.Axis.Step) inc(dword[At(&M.Axis.X)]);
}

void SpanCompiler::EmitColorStep() {
  for (int32_t i = 0; i < M.ColorCount; ++i) {
    DXRColorRegister& reg = M.ColorRegisters[M.ColorIndex[i]];
    if (!reg.Gouraud) continue;
    const auto* color = reinterpret_cast<const uint8_t*>(&reg.Color);
    const auto* delta = reinterpret_cast<const uint8_t*>(&reg.Delta);
    if (UseMMX) {
      movq(mm0, qword[At(color)]);
      paddw(mm0, qword[At(delta)]);
      movq(qword[At(color)], mm0);
      M.MMXUsed = true;
    } else {
      // Two 32-bit sums: a carry out of R reaches G and one out of B reaches A.
      mov(eax, dword[At(delta)]);
      add(dword[At(color)], eax);
      mov(eax, dword[At(delta + 4)]);
      add(dword[At(color + 4)], eax);
    }
  }
}

void SpanCompiler::EmitTextureStep() {
  for (int32_t i = 0; i < M.TextureCount; ++i) {
    DXRTextureRegister& texture = M.TextureRegisters[M.TextureIndex[i]];
    if (&texture == CachedTexture) {
      // Constant steps are folded only where the table form folds them; the MMX form reads
      // the steps at every pixel.
      if (!UseMMX && texture.ConstantSteps) {
        if (texture.dU) add(r12d, texture.dU);
        if (texture.dV) add(r13d, texture.dV);
      } else {
        add(r12d, dword[At(&texture.dU)]);
        add(r13d, dword[At(&texture.dV)]);
      }
    } else if (UseMMX) {
      movq(mm0, qword[At(&texture.U)]);
      paddd(mm0, qword[At(&texture.dU)]);
      movq(qword[At(&texture.U)], mm0);
      M.MMXUsed = true;
    } else if (texture.ConstantSteps) {
      if (texture.dU) add(dword[At(&texture.U)], texture.dU);
      if (texture.dV) add(dword[At(&texture.V)], texture.dV);
    } else {
      mov(eax, dword[At(&texture.dU)]);
      add(dword[At(&texture.U)], eax);
      mov(eax, dword[At(&texture.dV)]);
      add(dword[At(&texture.V)], eax);
    }
  }
}

void SpanCompiler::EmitZStep() {
  if (!M.ZRegister.Enable) return;
  mov(rax, qword[At(&M.ZRegister.dZ)]);
  add(qword[At(&M.ZRegister.Z)], rax);
}
