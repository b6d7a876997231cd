// Blend modes in their MMX form (four words at once) and their table form (channel by channel
// through the saturating tables). Table forms write whole words with a zero fraction.
#include <cstring>

#include "render/SpanCompiler.h"

using namespace Xbyak;

namespace {
bool Has(DXRChannels channels, int k) { return (channels & (1 << k)) != 0; }
const uint8_t* BytesOf(const DXRColor* color) { return reinterpret_cast<const uint8_t*>(color); }
}  // namespace

void SpanCompiler::EmitBlend(uint8_t mode, DXRColor* result, const DXRColor* operand1, const DXRColor* operand2,
                             DXRChannels channels, DXRChannels constChannels1, DXRChannels constChannels2) {
  if (!channels || mode >= BlendModeCount) return;
  switch (mode) {
    case BlendZero: EmitBlendZero(result); break;
    case BlendSource1:
    case BlendReplace: EmitBlendCopy(result, operand1, constChannels1); break;
    case BlendSource2: EmitBlendCopy(result, operand2, constChannels2); break;
    case BlendAdd:
    case BlendSub:
    case BlendReverseSub:
      EmitBlendSaturating(mode, result, operand1, operand2, channels, constChannels1, constChannels2);
      break;
    case BlendMultiply:
    case BlendModulateAll: EmitBlendMultiply(result, operand1, operand2, channels); break;
    case BlendSrcAlpha: EmitBlendSrcAlpha(result, operand1, channels); break;
    case BlendSrcAlphaAdd:
    case BlendSrcAlphaSub:
      EmitBlendSrcAlphaAddOrSub(result, operand1, operand2, channels, mode == BlendSrcAlphaSub);
      break;
    case BlendAlphaMix: EmitBlendAlphaMix(result, operand1, operand2, channels, false); break;
    case BlendInvAlphaMix: EmitBlendAlphaMix(result, operand1, operand2, channels, true); break;
    case BlendColorKeepAlpha: EmitBlendColorKeepAlpha(result, operand1, operand2, channels); break;
    case BlendModulate: EmitBlendModulate(result, operand1, operand2, channels); break;
    case BlendAddColor:
      EmitBlendAddColor(result, operand1, operand2, channels, constChannels1, constChannels2);
      break;
    default: break;
  }
}

void SpanCompiler::EmitBlendZero(DXRColor* result) {
  mov(dword[At(BytesOf(result))], 0);
  mov(dword[At(BytesOf(result) + 4)], 0);
}

void SpanCompiler::EmitCopy8(DXRColor* result, const DXRColor* operand) {
  if (UseMMX) {
    movq(mm0, qword[At(operand)]);
    movq(qword[At(result)], mm0);
    M.MMXUsed = true;
  } else {
    mov(eax, dword[At(operand)]);
    mov(dword[At(result)], eax);
    mov(eax, dword[At(BytesOf(operand) + 4)]);
    mov(dword[At(BytesOf(result) + 4)], eax);
  }
}

void SpanCompiler::EmitBlendCopy(DXRColor* result, const DXRColor* operand, DXRChannels constChannels) {
  if (operand == result) return;
  if (!UseMMX && constChannels == ChannelsRGBA) {
    uint32_t halves[2];
    std::memcpy(halves, operand, sizeof(halves));
    mov(dword[At(result)], halves[0]);
    mov(dword[At(BytesOf(result) + 4)], halves[1]);
    return;
  }
  EmitCopy8(result, operand);
}

void SpanCompiler::EmitMMXWords(uint8_t mode, DXRColor* result, const DXRColor* op1, const DXRColor* op2) {
  switch (mode) {
    case BlendAdd:
    case BlendAddColor:
      movq(mm0, qword[At(op1)]);
      paddusw(mm0, qword[At(op2)]);
      break;
    case BlendSub:
      movq(mm0, qword[At(op1)]);
      psubusw(mm0, qword[At(op2)]);
      break;
    case BlendReverseSub:
      movq(mm0, qword[At(op2)]);
      psubusw(mm0, qword[At(op1)]);
      break;
    default:
      // Halved factors stay below 32768, so the signed high multiply is the unsigned one.
      movq(mm0, qword[At(op1)]);
      psrlw(mm0, 1);
      movq(mm1, qword[At(op2)]);
      psrlw(mm1, 1);
      pmulhw(mm0, mm1);
      psllw(mm0, 2);
      break;
  }
  movq(qword[At(result)], mm0);
  M.MMXUsed = true;
}

void SpanCompiler::EmitAddChannel(DXRColor* result, int channel, const DXRColor* x, const DXRColor* y) {
  LoadComponent(ecx, x, channel);
  LoadComponent(edx, y, channel);
  add(ecx, edx);
  movzx(ecx, byte[At(AddTable) + rcx]);
  SetComponent(result, channel, ecx);
}

void SpanCompiler::EmitAddChannelConst(DXRColor* result, int channel, const DXRColor* x, uint8_t constant) {
  LoadComponent(ecx, x, channel);
  movzx(ecx, byte[At(AddTable + constant) + rcx]);
  SetComponent(result, channel, ecx);
}

void SpanCompiler::EmitSubChannel(DXRColor* result, int channel, const DXRColor* x, const DXRColor* y) {
  LoadComponent(ecx, x, channel);
  LoadComponent(edx, y, channel);
  sub(rcx, rdx);
  movzx(ecx, byte[At(SubTable + 255) + rcx]);
  SetComponent(result, channel, ecx);
}

void SpanCompiler::EmitSubChannelConstFirst(DXRColor* result, int channel, uint8_t constant, const DXRColor* y) {
  LoadComponent(ecx, y, channel);
  neg(rcx);
  movzx(ecx, byte[At(SubTable + 255 + constant) + rcx]);
  SetComponent(result, channel, ecx);
}

void SpanCompiler::EmitSubChannelConstSecond(DXRColor* result, int channel, const DXRColor* x, uint8_t constant) {
  LoadComponent(ecx, x, channel);
  movzx(ecx, byte[At(SubTable + 255 - constant) + rcx]);
  SetComponent(result, channel, ecx);
}

// A constant operand is folded into the table address or an immediate; the value is the one
// stored at the operand's address, which stays put for the whole run.
void SpanCompiler::EmitAddOrSubChannels(uint8_t mode, DXRColor* result, const DXRColor* op1, const DXRColor* op2,
                                        DXRChannels channels, DXRChannels const1, DXRChannels const2) {
  for (int k = 0; k < 4; ++k) {
    if (!Has(channels, k)) continue;
    const bool first = Has(const1, k);
    const bool second = !first && Has(const2, k);
    switch (mode) {
      case BlendSub:
        if (first)
          EmitSubChannelConstFirst(result, k, ComponentOf(*op1, k), op2);
        else if (second)
          EmitSubChannelConstSecond(result, k, op1, ComponentOf(*op2, k));
        else
          EmitSubChannel(result, k, op1, op2);
        break;
      case BlendReverseSub:
        if (first)
          EmitSubChannelConstSecond(result, k, op2, ComponentOf(*op1, k));
        else if (second)
          EmitSubChannelConstFirst(result, k, ComponentOf(*op2, k), op1);
        else
          EmitSubChannel(result, k, op2, op1);
        break;
      default:
        if (first)
          EmitAddChannelConst(result, k, op2, ComponentOf(*op1, k));
        else if (second)
          EmitAddChannelConst(result, k, op1, ComponentOf(*op2, k));
        else
          EmitAddChannel(result, k, op1, op2);
        break;
    }
  }
}

void SpanCompiler::EmitBlendSaturating(uint8_t mode, DXRColor* result, const DXRColor* op1, const DXRColor* op2,
                                       DXRChannels channels, DXRChannels const1, DXRChannels const2) {
  if (UseMMX)
    EmitMMXWords(mode, result, op1, op2);
  else
    EmitAddOrSubChannels(mode, result, op1, op2, channels, const1, const2);
}

void SpanCompiler::EmitBlendMultiply(DXRColor* result, const DXRColor* op1, const DXRColor* op2,
                                     DXRChannels channels) {
  if (UseMMX) {
    EmitMMXWords(BlendMultiply, result, op1, op2);
    return;
  }
  for (int k = 0; k < 4; ++k) {
    if (!Has(channels, k)) continue;
    LoadComponent(ecx, op1, k);
    LoadComponent(edx, op2, k);
    imul(ecx, edx);
    shr(ecx, 8);
    SetComponent(result, k, ecx);
  }
}

// Components first and first + 1 of a colour into the low bytes of reg's halves (edx is scratch).
void SpanCompiler::LoadComponentPair(const Reg32& reg, const DXRColor* color, int first) {
  LoadComponent(reg, color, first);
  LoadComponent(edx, color, first + 1);
  shl(edx, 16);
  or_(reg, edx);
}

// Alpha-weighted modes: r8d = a1 and r9d = 255 − a1, loaded once before any result word is
// written. Two components spread into the low bytes of a dword's halves are weighted by one
// multiply, each half then holding its 16-bit product.
void SpanCompiler::EmitBlendSrcAlpha(DXRColor* result, const DXRColor* op1, DXRChannels channels) {
  LoadComponent(r8d, op1, 3);
  for (int first = 0; first < 4; first += 2) {
    const DXRChannels pair = static_cast<DXRChannels>(3 << first);
    if ((channels & pair) == pair) {
      LoadComponentPair(ecx, op1, first);
      imul(ecx, r8d);
      mov(dword[At(BytesOf(result) + 2 * first)], ecx);
      continue;
    }
    for (int k = first; k < first + 2; ++k) {
      if (!Has(channels, k)) continue;
      LoadComponent(ecx, op1, k);
      imul(ecx, r8d);
      shr(ecx, 8);
      SetComponent(result, k, ecx);
    }
  }
}

// Operand 1 weighted by its alpha, added to or taken from operand 2 through the saturating tables.
void SpanCompiler::EmitBlendSrcAlphaAddOrSub(DXRColor* result, const DXRColor* op1, const DXRColor* op2,
                                             DXRChannels channels, bool subtract) {
  LoadComponent(r8d, op1, 3);
  for (int k = 0; k < 4; ++k) {
    if (!Has(channels, k)) continue;
    LoadComponent(ecx, op1, k);
    imul(ecx, r8d);
    shr(ecx, 8);
    LoadComponent(edx, op2, k);
    if (subtract) {
      sub(rdx, rcx);
      movzx(ecx, byte[At(SubTable + 255) + rdx]);
    } else {
      add(ecx, edx);
      movzx(ecx, byte[At(AddTable) + rcx]);
    }
    SetComponent(result, k, ecx);
  }
}

void SpanCompiler::EmitBlendAlphaMix(DXRColor* result, const DXRColor* op1, const DXRColor* op2,
                                     DXRChannels channels, bool inverse) {
  LoadComponent(r8d, op1, 3);
  mov(r9d, 255);
  sub(r9d, r8d);
  const Reg32& weight1 = inverse ? r9d : r8d;
  const Reg32& weight2 = inverse ? r8d : r9d;
  for (int first = 0; first < 4; first += 2) {
    const DXRChannels pair = static_cast<DXRChannels>(3 << first);
    if ((channels & pair) == pair) {
      LoadComponentPair(ecx, op1, first);
      imul(ecx, weight1);
      LoadComponentPair(eax, op2, first);
      imul(eax, weight2);
      add(ecx, eax);
      mov(dword[At(BytesOf(result) + 2 * first)], ecx);
      continue;
    }
    // Alone, a channel moves from c2 towards c1 by the weight over 256.
    for (int k = first; k < first + 2; ++k) {
      if (!Has(channels, k)) continue;
      LoadComponent(ecx, op1, k);
      LoadComponent(edx, op2, k);
      sub(ecx, edx);
      imul(ecx, weight1);
      sar(ecx, 8);
      add(ecx, edx);
      SetComponent(result, k, ecx);
    }
  }
}

void SpanCompiler::EmitBlendColorKeepAlpha(DXRColor* result, const DXRColor* op1, const DXRColor* op2,
                                           DXRChannels channels) {
  // Any colour channel asked for gets operand 1's colour, not only a request for all three.
  if ((channels & ChannelsRGB) && result != op1) EmitCopy8(result, op1);
  if (Has(channels, 3)) {
    LoadComponent(ecx, op2, 3);
    SetComponent(result, 3, ecx);
  }
}

void SpanCompiler::EmitBlendModulate(DXRColor* result, const DXRColor* op1, const DXRColor* op2,
                                     DXRChannels channels) {
  for (int k = 0; k < 3; ++k) {
    if (!Has(channels, k)) continue;
    LoadComponent(ecx, op1, k);
    LoadComponent(edx, op2, k);
    imul(ecx, edx);
    shr(ecx, 8);
    SetComponent(result, k, ecx);
  }
  if (Has(channels, 3)) {
    LoadComponent(ecx, op1, 3);
    SetComponent(result, 3, ecx);
  }
}

void SpanCompiler::EmitBlendAddColor(DXRColor* result, const DXRColor* op1, const DXRColor* op2,
                                     DXRChannels channels, DXRChannels const1, DXRChannels const2) {
  EmitBlendSaturating(BlendAddColor, result, op1, op2, channels & ChannelsRGB, const1, const2);
  if (Has(channels, 3) && result != op2) {
    LoadComponent(ecx, op2, 3);
    SetComponent(result, 3, ecx);
  }
}
