#include "ReferenceRenderer.h"

#include <algorithm>

namespace {

struct SkipPixel {};

uint8_t Comp(uint16_t word) { return static_cast<uint8_t>(word >> 8); }
uint16_t Word(int component) { return static_cast<uint16_t>(component << 8); }

RefWords ToWords(const DXRColor& c) { return {c.R, c.G, c.B, c.A}; }

bool Needs(DXRChannels channels, int k) { return (channels >> k) & 1; }

uint8_t* PixelRow(const TDXRSurface& surface, uint32_t y) {
  return static_cast<uint8_t*>(surface.Bits) + static_cast<int64_t>(y) * surface.Pitch;
}

// What each blend mode asks of its two children: {pass1, force1, pass2, force2}.
std::array<DXRChannels, 4> ChildNeeds(uint8_t mode) {
  switch (mode) {
    case 0:
      return {0, 0, 0, 0};
    case 1:
      return {15, 0, 0, 0};
    case 2:
      return {0, 0, 15, 0};
    case 7:
      return {7, 8, 0, 0};
    case 8:
    case 9:
    case 10:
    case 11:
      return {7, 8, 15, 0};
    case 12:
      return {15, 0, 0, 0};
    case 13:
      return {7, 0, 0, 8};
    case 15:
      return {7, 8, 7, 8};
    default:
      return {15, 0, 15, 0};  // 3, 4, 5, 6, 14, 16
  }
}

std::unique_ptr<RefNode> Take(std::unique_ptr<RefNode>& child, DXRChannels channels) {
  std::unique_ptr<RefNode> taken = std::move(child);
  taken->channels = channels;
  return taken;
}

void Simplify(std::unique_ptr<RefNode>& node) {
  if (node->type != NodeBlend) return;
  const auto needs = ChildNeeds(node->mode);
  node->child1->channels = (node->channels & needs[0]) | needs[1];
  node->child2->channels = (node->channels & needs[2]) | needs[3];
  Simplify(node->child1);
  Simplify(node->child2);
  const bool black1 = node->child1->type == NodeBlack;
  const bool black2 = node->child2->type == NodeBlack;
  const DXRChannels channels = node->channels;
  switch (node->mode) {
    case 0:
      node->type = NodeBlack;
      break;
    case 1:
    case 12:
      node = Take(node->child1, channels);
      break;
    case 2:
      node = Take(node->child2, channels);
      break;
    case 3:
      if (black2)
        node = Take(node->child1, channels);
      else if (black1)
        node = Take(node->child2, channels);
      break;
    case 5:
      if (black1) node = Take(node->child2, channels);
      break;
    case 7:
      node->child2.reset();
      break;
    default:
      break;
  }
}

DXRChannels ChannelsOf(const TDXRSurface& s) {
  if (s.ColorType == ColorTypeRGB)
    return (s.RGB.R.Mask ? 1 : 0) | (s.RGB.G.Mask ? 2 : 0) | (s.RGB.B.Mask ? 4 : 0) | (s.RGB.A.Mask ? 8 : 0);
  return (s.Indexed.Index.Mask ? 7 : 0) | (s.Indexed.Alpha.Mask ? 8 : 0);
}

uint32_t AlphaMaskOf(const TDXRSurface& s) { return s.ColorType == ColorTypeRGB ? s.RGB.A.Mask : s.Indexed.Alpha.Mask; }

// True when the texel is keyed out; a 32-bit texel without alpha loses its top byte.
bool KeyMatches(const DXRTextureRegister& texture, uint32_t& raw) {
  if (!texture.ColorKeyEnable) return false;
  const TDXRSurface& s = *texture.Surface;
  const uint32_t alpha = AlphaMaskOf(s);
  if (alpha == 0) {
    if (s.BitCount == 32) raw &= 0xFFFFFF;
    return raw == texture.ColorKey;
  }
  uint32_t keep = ~alpha;
  if (s.BitCount == 32) keep &= 0xFFFFFF;
  return (raw & keep) == texture.ColorKey;
}

bool DestSupported(const TDXRSurface& dest) {
  return dest.BitCount == 8 || dest.BitCount == 16 || dest.BitCount == 24 || dest.BitCount == 32;
}

struct Evaluator {
  RefMachine& m;
  int32_t destX;

  uint32_t Fetch(const DXRTextureRegister& t, uint32_t u, uint32_t v) {
    return RefFetch(*t.Surface, static_cast<int32_t>(u), static_cast<int32_t>(v), t.Addressing == 0);
  }

  RefWords PointLoad(const DXRTextureRegister& t, DXRChannels channels, uint32_t u, uint32_t v) {
    uint32_t raw = Fetch(t, u, v);
    if (KeyMatches(t, raw)) throw SkipPixel{};
    return RefUnpack(*t.Surface, raw, channels, ToWords(t.DefaultColor));
  }

  RefWords Load(const DXRTextureRegister& t, DXRChannels channels) {
    if (!channels) return {};
    const auto u = static_cast<uint32_t>(t.U), v = static_cast<uint32_t>(t.V);
    if ((t.Filter & 1) == 0) return PointLoad(t, channels, u, v);
    const RefWords t00 = PointLoad(t, channels, u, v);
    const RefWords defaults = ToWords(t.DefaultColor);
    const RefWords t10 = RefUnpack(*t.Surface, Fetch(t, u + 65536, v), channels, defaults);
    const RefWords t11 = RefUnpack(*t.Surface, Fetch(t, u + 65536, v + 65536), channels, defaults);
    const RefWords t01 = RefUnpack(*t.Surface, Fetch(t, u, v + 65536), channels, defaults);
    const int fu = (u >> 8) & 255, fv = (v >> 8) & 255;
    RefWords out{};
    for (int k = 0; k < 4; ++k) {
      if (!Needs(channels, k)) continue;
      const int top = Comp(t00[k]) * (255 - fu) + Comp(t10[k]) * fu;
      const int bottom = Comp(t01[k]) * (255 - fu) + Comp(t11[k]) * fu;
      out[k] = Word((top * (255 - fv) + bottom * fv) >> 16);
    }
    return out;
  }

  RefWords IndirectLoad(const RefNode& node) {
    const DXRTextureRegister& t1 = m.textures[node.index];
    const DXRTextureRegister& t2 = m.textures[node.second];
    if (!node.channels) return {};
    const auto u2 = static_cast<uint32_t>(t2.U), v2 = static_cast<uint32_t>(t2.V);
    const uint32_t here = Fetch(t2, u2, v2);
    const uint32_t pu = static_cast<uint32_t>(t1.U) + ((here - Fetch(t2, u2 - static_cast<uint32_t>(t2.dU), v2)) << 16);
    const uint32_t pv = static_cast<uint32_t>(t1.V) + ((here - Fetch(t2, u2, v2 - static_cast<uint32_t>(t2.dV))) << 16);
    return PointLoad(t1, node.channels, pu, pv);
  }

  RefWords Operand(RefNode& child) {
    switch (child.type) {
      case NodeBlack:
        return {};
      case NodeColor:
        return ToWords(m.colors[child.index].Color);
      case NodeConstColor:
        return child.color;
      case NodeTexture: {
        const DXRTextureRegister& t = m.textures[child.index];
        const DXRChannels constant = child.channels & ~m.textureUsed[child.index];
        RefWords value = Load(t, child.channels & m.textureUsed[child.index]);
        const RefWords defaults = ToWords(t.DefaultColor);
        for (int k = 0; k < 4; ++k)
          if (Needs(constant, k)) value[k] = defaults[k];
        return value;
      }
      default:
        return Eval(child);
    }
  }

  RefWords Eval(RefNode& node) {
    switch (node.type) {
      case NodeBlack:
        return {};
      case NodeColor:
        return ToWords(m.colors[node.index].Color);
      case NodeConstColor:
        return node.color;
      case NodeTexture:
        return Load(m.textures[node.index], node.channels);
      case NodeIndirectTexture:
        return IndirectLoad(node);
      case NodeDestPixel:
        return RefUnpack(*m.dest, RefReadDest(*m.dest, destX, m.axisY), node.channels, {});
      default: {
        const RefWords a = node.child1 ? Operand(*node.child1) : RefWords{};
        const RefWords b = node.child2 ? Operand(*node.child2) : RefWords{};
        return RefBlend(node.mode, m.mmx, a, b, node.channels);
      }
    }
  }
};

void Mark(RefMachine& m, const RefNode& node) {
  switch (node.type) {
    case NodeColor:
      if (node.channels) m.colorEnabled[node.index] = true;
      break;
    case NodeTexture:
    case NodeIndirectTexture:
      m.textureUsed[node.index] |= node.channels & ChannelsOf(*m.textures[node.index].Surface);
      if (m.textureUsed[node.index]) m.textureEnabled[node.index] = true;
      if (node.type == NodeIndirectTexture) m.textureEnabled[node.second] = true;
      break;
    case NodeBlend:
      if (node.child1) Mark(m, *node.child1);
      if (node.child2) Mark(m, *node.child2);
      break;
    default:
      break;
  }
}

bool ZSkips(uint8_t kind, int32_t stored, int32_t z) {
  switch (kind) {
    case 1:
      return stored < z;
    case 2:
      return stored == z;
    case 3:
      return stored <= z;
    case 4:
      return stored > z;
    case 5:
      return stored != z;
    case 6:
      return stored >= z;
    default:
      return false;
  }
}

uint32_t ReadBytes(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
  return value;
}

void WriteBytes(uint8_t* p, int bytes, uint32_t value) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::unique_ptr<RefNode> CopyTree(const DXRNode* node) {
  auto copy = std::make_unique<RefNode>();
  copy->type = node->Type;
  copy->index = node->Index;
  copy->second = node->SecondTexture;
  copy->mode = node->Mode;
  copy->color = ToWords(node->Color);
  if (node->Type == NodeBlend) {
    copy->child1 = CopyTree(node->Child1);
    copy->child2 = CopyTree(node->Child2);
  }
  return copy;
}

uint32_t RefFetch(const TDXRSurface& surface, int32_t u, int32_t v, bool wrap) {
  uint32_t x = static_cast<uint32_t>(u) >> 16, y = static_cast<uint32_t>(v) >> 16;
  if (wrap) {
    x &= surface.WidthMask;
    y &= surface.HeightMask;
  }
  const uint8_t* row = PixelRow(surface, y);
  switch (surface.BitCount) {
    case 1:
      return (row[x / 8] >> (7 - x % 8)) & 1;
    case 2:
      return (row[x / 4] >> (6 - 2 * (x % 4))) & 3;
    case 4:
      return (row[x / 2] >> (4 - 4 * (x % 2))) & 15;
    case 8:
      return row[x];
    case 16:
      return ReadBytes(row + 2 * x, 2);
    case 24:
      return ReadBytes(row + 3 * x, 3);
    default:
      return ReadBytes(row + 4 * x, 4);
  }
}

RefWords RefUnpack(const TDXRSurface& s, uint32_t raw, DXRChannels channels, RefWords defaults) {
  RefWords out{};
  auto channel = [&](int k, const TDXRColorChannel& c) {
    if (c.Mask == 0) {
      out[k] = defaults[k];
      return;
    }
    const uint32_t bits = raw & c.Mask;
    out[k] = Word(((bits >> c.RShift) << c.LShift) & 0xFF);
  };
  if (s.ColorType == ColorTypeRGB) {
    const TDXRColorChannel* records[4] = {&s.RGB.R, &s.RGB.G, &s.RGB.B, &s.RGB.A};
    for (int k = 0; k < 4; ++k)
      if (Needs(channels, k)) channel(k, *records[k]);
    return out;
  }
  if (channels & 7) {
    if (s.Indexed.Index.Mask == 0) {
      for (int k = 0; k < 3; ++k) out[k] = defaults[k];
    } else {
      const uint32_t index = ((raw & s.Indexed.Index.Mask) >> s.Indexed.Index.RShift) & 0xFF;
      const TDXRPaletteEntry& entry = s.Indexed.Palette[index];
      out[0] = Word(entry.Red);
      out[1] = Word(entry.Green);
      out[2] = Word(entry.Blue);
    }
  }
  if (Needs(channels, 3)) channel(3, s.Indexed.Alpha);
  return out;
}

uint32_t RefPack(const TDXRSurface& dest, RefWords color, DXRChannels channels, bool dither, int32_t x, int32_t y) {
  static const int table[4][4] = {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 1}, {1, 1, 1, 0}};
  const TDXRColorChannel none{};
  const bool indexed = dest.ColorType == ColorTypeIndexed;
  const TDXRColorChannel* records[4] = {indexed ? &dest.Indexed.Index : &dest.RGB.R, indexed ? &none : &dest.RGB.G,
                                        indexed ? &none : &dest.RGB.B, indexed ? &dest.Indexed.Alpha : &dest.RGB.A};
  const int p = 2 * (x & 1) + (y & 1);
  uint32_t raw = 0;
  for (int k = 0; k < 4; ++k) {
    const TDXRColorChannel& c = *records[k];
    if (!Needs(channels, k) || c.Mask == 0) continue;
    uint32_t component = Comp(color[k]);
    if (dither && c.BitCount < 7) {
      const uint32_t below = (component >> (6 - c.BitCount)) & 3;
      component = std::min<uint32_t>(255, component + table[below][p] * (1u << (8 - c.BitCount)));
    }
    const uint32_t placed = c.RShift ? component << c.RShift : component >> c.LShift;
    raw |= placed & c.Mask;
  }
  return raw;
}

RefWords RefBlend(uint8_t mode, bool mmx, RefWords c1, RefWords c2, DXRChannels channels) {
  RefWords out{};
  const int a1 = Comp(c1[3]), a2 = Comp(c2[3]);
  auto each = [&](DXRChannels which, auto f) {
    for (int k = 0; k < 4; ++k)
      if (Needs(channels & which, k)) out[k] = Word(f(Comp(c1[k]), Comp(c2[k])));
  };
  auto words = [&](auto f) {
    for (int k = 0; k < 4; ++k) out[k] = static_cast<uint16_t>(f(int{c1[k]}, int{c2[k]}));
  };
  auto add = [](int x, int y) { return std::min(255, x + y); };
  auto sub = [](int x, int y) { return std::max(0, x - y); };
  auto mul = [](int x, int y) { return (x * y) >> 8; };
  auto mmxMul = [](int x, int y) { return (((x >> 1) * (y >> 1)) >> 16) << 2; };
  switch (mode) {
    case 0:
      break;
    case 1:
    case 12:
      out = c1;
      break;
    case 2:
      out = c2;
      break;
    case 3:
      if (mmx)
        words([](int x, int y) { return std::min(65535, x + y); });
      else
        each(15, add);
      break;
    case 4:
      if (mmx)
        words([](int x, int y) { return std::max(0, x - y); });
      else
        each(15, sub);
      break;
    case 5:
      if (mmx)
        words([](int x, int y) { return std::max(0, y - x); });
      else
        each(15, [&](int x, int y) { return sub(y, x); });
      break;
    case 6:
    case 15:
      if (mmx)
        words(mmxMul);
      else
        each(15, mul);
      break;
    case 7:
    case 10:
    case 11: {
      const int w1 = mode == 11 ? 255 - a1 : a1;
      for (int first = 0; first < 4; first += 2) {
        if (Needs(channels, first) && Needs(channels, first + 1)) {
          for (int k = first; k < first + 2; ++k)
            out[k] = static_cast<uint16_t>(mode == 7 ? Comp(c1[k]) * a1 : Comp(c1[k]) * w1 + Comp(c2[k]) * (255 - w1));
          continue;
        }
        for (int k = first; k < first + 2; ++k) {
          if (!Needs(channels, k)) continue;
          const int x = Comp(c1[k]), y = Comp(c2[k]);
          out[k] = Word(mode == 7 ? (x * a1) >> 8 : y + (((x - y) * w1) >> 8));
        }
      }
      break;
    }
    case 8:
      each(15, [&](int x, int y) { return add(y, (x * a1) >> 8); });
      break;
    case 9:
      each(15, [&](int x, int y) { return sub(y, (x * a1) >> 8); });
      break;
    case 13:
      if (channels & 7) out = c1;
      if (Needs(channels, 3)) out[3] = Word(a2);
      break;
    case 14:
      each(7, mul);
      if (Needs(channels, 3)) out[3] = Word(a1);
      break;
    case 16:
      if (mmx)
        words([](int x, int y) { return std::min(65535, x + y); });
      else
        each(7, add);
      if (Needs(channels, 3)) out[3] = Word(a2);
      break;
    default:
      break;
  }
  return out;
}

uint32_t RefReadDest(const TDXRSurface& dest, int32_t x, int32_t y) {
  const int bytes = static_cast<int>(dest.BitCount / 8);
  return ReadBytes(static_cast<uint8_t*>(dest.Bits) + int64_t{y} * dest.Pitch + int64_t{x} * bytes, bytes);
}

void RefWriteDest(const TDXRSurface& dest, int32_t x, int32_t y, uint32_t raw) {
  const int bytes = static_cast<int>(dest.BitCount / 8);
  WriteBytes(static_cast<uint8_t*>(dest.Bits) + int64_t{y} * dest.Pitch + int64_t{x} * bytes, bytes, raw);
}

void RefMachine::Prepare() {
  root->channels = ChannelsOf(*dest);
  Simplify(root);
  Mark(*this, *root);
}

void RefMachine::RunSpan(int32_t count) {
  Evaluator evaluator{*this, axisX};
  for (int32_t i = 0; i < count; ++i) {
    bool skip = false;
    if (zSurface) {
      const int bytes = static_cast<int>(zSurface->BitCount / 8);
      uint8_t* cell =
          static_cast<uint8_t*>(zSurface->Bits) + int64_t{axisY} * zSurface->Pitch + int64_t{evaluator.destX} * bytes;
      const auto pixelZ = static_cast<int32_t>(static_cast<uint64_t>(z) >> 32);
      if (compareKind != 7) skip = ZSkips(compareKind, static_cast<int32_t>(ReadBytes(cell, bytes)), pixelZ);
      if (!skip && zWrite) WriteBytes(cell, bytes, static_cast<uint32_t>(pixelZ));
    }
    if (!skip && DestSupported(*dest)) {
      try {
        uint32_t raw;
        const DXRTextureRegister* rawTexture = root->type == NodeTexture ? &textures[root->index] : nullptr;
        if (root->type == NodeColor) {
          raw = RefPack(*dest, ToWords(colors[root->index].Color), root->channels, dither, axisX, axisY);
        } else if (rawTexture && !dither && (rawTexture->Filter & 1) == 0 &&
                   SameSurfaceFormat(*dest, *rawTexture->Surface)) {
          raw =
              evaluator.Fetch(*rawTexture, static_cast<uint32_t>(rawTexture->U), static_cast<uint32_t>(rawTexture->V));
          if (KeyMatches(*rawTexture, raw)) throw SkipPixel{};
        } else {
          raw = RefPack(*dest, evaluator.Eval(*root), root->channels, dither, axisX, axisY);
        }
        RefWriteDest(*dest, evaluator.destX, axisY, raw);
      } catch (const SkipPixel&) {
      }
    }
    if (dither) ++axisX;
    for (int r = 0; r < 8; ++r) {
      DXRColorRegister& reg = colors[r];
      if (!colorEnabled[r] || !reg.Gouraud) continue;
      uint16_t* c = &reg.Color.R;
      const uint16_t* d = &reg.Delta.R;
      if (mmx) {
        for (int k = 0; k < 4; ++k) c[k] = static_cast<uint16_t>(c[k] + d[k]);
      } else {
        for (int k = 0; k < 4; k += 2) {
          const uint32_t sum = (c[k] | (uint32_t{c[k + 1]} << 16)) + (d[k] | (uint32_t{d[k + 1]} << 16));
          c[k] = static_cast<uint16_t>(sum);
          c[k + 1] = static_cast<uint16_t>(sum >> 16);
        }
      }
    }
    for (int t = 0; t < 8; ++t) {
      if (!textureEnabled[t]) continue;
      textures[t].U =
          static_cast<int32_t>(static_cast<uint32_t>(textures[t].U) + static_cast<uint32_t>(textures[t].dU));
      textures[t].V =
          static_cast<int32_t>(static_cast<uint32_t>(textures[t].V) + static_cast<uint32_t>(textures[t].dV));
    }
    if (zSurface) z = static_cast<int64_t>(static_cast<uint64_t>(z) + static_cast<uint64_t>(dZ));
    ++evaluator.destX;
  }
}
