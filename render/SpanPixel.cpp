// Unpacking raw pixels into pipeline colours and packing colours into raw pixels.
//
// Every component this code writes is a whole word with a zero fraction: a fraction left over
// from an earlier pixel or an earlier draw must not leak into the MMX blends.
#include "render/SpanCompiler.h"

using namespace Xbyak;

const uint8_t DitherTable[16] = {
    0, 0, 0, 0,  //
    1, 0, 0, 0,  //
    1, 0, 0, 1,  //
    1, 1, 1, 0,  //
};

void SpanCompiler::LoadComponent(const Reg32& reg, const DXRColor* color, int k) {
  movzx(reg, byte[At(reinterpret_cast<const uint8_t*>(color) + 2 * k + 1)]);
}

void SpanCompiler::SetComponent(DXRColor* result, int k, const Reg32& value) {
  shl(value, 8);
  mov(word[At(reinterpret_cast<uint8_t*>(result) + 2 * k)], value.cvt16());
}

// A channel's bits of the raw pixel in reg, moved to where its byte of the colour starts.
void SpanCompiler::EmitChannelToByte(const Reg32& reg, const TDXRColorChannel& channel) {
  and_(reg, channel.Mask);
  if (channel.RShift)
    shr(reg, channel.RShift);
  else if (channel.LShift)
    shl(reg, channel.LShift);
}

void SpanCompiler::EmitUnpackPixel(TDXRSurface* const& surfaceField, DXRColor* cell, DXRChannels channels,
                                   DXRColor defaultColor) {
  if (!channels) return;
  const TDXRSurface& surface = *surfaceField;
  auto* cellBytes = reinterpret_cast<uint8_t*>(cell);
  auto unpackChannel = [&](int k, const TDXRColorChannel& channel) {
    if (channel.Mask == 0) {
      mov(word[At(cellBytes + 2 * k)], WordOf(defaultColor, k));
      return;
    }
    mov(ecx, eax);
    EmitChannelToByte(ecx, channel);
    movzx(ecx, cl);
    SetComponent(cell, k, ecx);
  };

  if (surface.ColorType == ColorTypeRGB) {
    const TDXRColorChannel* records[4] = {&surface.RGB.R, &surface.RGB.G, &surface.RGB.B, &surface.RGB.A};
    for (int k = 0; k < 4; ++k)
      if (channels & (1 << k)) unpackChannel(k, *records[k]);
    return;
  }
  if (surface.ColorType != ColorTypeIndexed) return;

  if (channels & ChannelsRGB) {
    const TDXRColorChannel& index = surface.Indexed.Index;
    if (index.Mask == 0) {
      for (int k = 0; k < 3; ++k) mov(word[At(cellBytes + 2 * k)], WordOf(defaultColor, k));
    } else {
      const bool wholePixel = index.RShift == 0 && index.LShift == 0 && surface.BitCount < 32 &&
                              index.Mask == (1u << surface.BitCount) - 1 && surface.Indexed.Alpha.Mask == 0;
      mov(ecx, eax);
      if (!wholePixel) EmitChannelToByte(ecx, index);
      // The palette has 256 entries; a wider index never reads past it.
      if (!wholePixel || surface.BitCount > 8) movzx(ecx, cl);
      mov(r11, qword[At(&surfaceField)]);
      mov(edx, dword[r11 + offsetof(TDXRSurface, Indexed.Palette) + rcx * 4]);
      for (int k = 0; k < 3; ++k) {
        movzx(ecx, dl);
        SetComponent(cell, k, ecx);
        if (k < 2) shr(edx, 8);
      }
    }
  }
  if (channels & ChannelA) unpackChannel(3, surface.Indexed.Alpha);
}

void SpanCompiler::EmitPackPixel(const DXRColor* color, DXRChannels channels) { EmitPack(color, channels, false); }

void SpanCompiler::EmitPackPixelDither(const DXRColor* color, DXRChannels channels) {
  EmitPack(color, channels, true);
}

void SpanCompiler::EmitPack(const DXRColor* color, DXRChannels channels, bool dither) {
  const TDXRSurface& dest = *M.Dest;
  // An indexed destination receives the red component as its index and alpha in its alpha
  // field; green and blue have no field of their own there.
  const TDXRColorChannel none{};
  const TDXRColorChannel* records[4];
  if (dest.ColorType == ColorTypeIndexed) {
    records[0] = &dest.Indexed.Index;
    records[1] = &none;
    records[2] = &none;
    records[3] = &dest.Indexed.Alpha;
  } else {
    records[0] = &dest.RGB.R;
    records[1] = &dest.RGB.G;
    records[2] = &dest.RGB.B;
    records[3] = &dest.RGB.A;
  }

  xor_(eax, eax);
  bool positionLoaded = false;
  for (int k = 0; k < 4; ++k) {
    const TDXRColorChannel& channel = *records[k];
    if (!(channels & (1 << k)) || channel.Mask == 0) continue;
    LoadComponent(ecx, color, k);
    if (dither && channel.BitCount < 7) {
      if (!positionLoaded) {
        // p = 2 × (X and 1) + (Y and 1), once per pixel.
        mov(edx, dword[At(&M.Axis.X)]);
        and_(edx, 1);
        add(edx, edx);
        mov(r8d, dword[At(&M.Axis.Y)]);
        and_(r8d, 1);
        or_(edx, r8d);
        positionLoaded = true;
      }
      mov(r9d, ecx);
      shr(r9d, 6 - channel.BitCount);
      and_(r9d, 3);
      lea(r9d, ptr[rdx + r9 * 4]);
      movzx(r9d, byte[At(DitherTable) + r9]);
      shl(r9d, 8 - channel.BitCount);
      add(ecx, r9d);
      movzx(ecx, byte[At(AddTable) + rcx]);
    }
    if (channel.RShift)
      shl(ecx, channel.RShift);
    else if (channel.LShift)
      shr(ecx, channel.LShift);
    and_(ecx, channel.Mask);
    or_(eax, ecx);
  }
}
