#include "platform/d3d/PrimitiveBatch.h"

#include <algorithm>
#include <cstring>

namespace {

bool SameKey(const DDCOLORKEY& a, const DDCOLORKEY& b) {
  return a.dwColorSpaceLowValue == b.dwColorSpaceLowValue &&
         a.dwColorSpaceHighValue == b.dwColorSpaceHighValue;
}

// Whether a texture described before reads as the look says: same key and, for
// palette-indexed texels, the same palette.
bool LooksAlike(const TextureSource& described, const TextureLook& look) {
  if (described.hasColorKey != look.hasColorKey ||
      (look.hasColorKey && !SameKey(described.colorKey, look.colorKey)))
    return false;
  return !look.palette ||
         std::memcmp(described.palette.data(), look.palette->data(), sizeof described.palette) == 0;
}

LockedPixels Locked(const SurfaceMemory& memory, const PixelBlock& pixels) {
  return {pixels.bits, pixels.pitch, static_cast<DWORD>(pixels.width),
          static_cast<DWORD>(pixels.height), memory.Format()};
}

}  // namespace

PrimitiveBatch::~PrimitiveBatch() { Finish(); }

void PrimitiveBatch::Use(SurfaceMemory* memory, bool writes) {
  // A batch writes its target alone, and its first primitive names the target before any
  // texture, so a memory used already is used as it will be.
  if (std::find(used_.begin(), used_.end(), memory) != used_.end()) return;
  if (writes)
    memory->FinishDeferredDrawing(this);
  else
    memory->FinishDeferredWriting(this);
  memory->AddDeferredDrawing(this, writes);
  used_.push_back(memory);
}

int PrimitiveBatch::TextureIndex(SurfaceMemory* memory, const TextureLook& look) {
  // Sprites alternate between few textures: the last one first, then the rest.
  auto matches = [&](int index) {
    return textureMemories_[index] == memory && LooksAlike(textures_[index], look);
  };
  if (lastTexture_ != kNoTexture && matches(lastTexture_)) return lastTexture_;
  for (int index = 0; index < static_cast<int>(textures_.size()); ++index)
    if (matches(index)) return lastTexture_ = index;
  Use(memory, false);
  textureMemories_.push_back(memory);
  TextureSource& described = textures_.emplace_back();
  described.hasColorKey = look.hasColorKey;
  described.colorKey = look.colorKey;
  if (look.palette) described.palette = *look.palette;
  return lastTexture_ = static_cast<int>(textures_.size()) - 1;
}

void PrimitiveBatch::Add(SurfaceMemory* target, SurfaceMemory* texture, const TextureLook& look,
                         RasterStates states, const D3DTLVERTEX* corners, size_t count) {
  if (target != target_ || started_) {
    Finish();
    target_ = target;
  }
  Use(target, true);
  states.texture = texture ? TextureIndex(texture, look) : kNoTexture;
  strips_.push_back(StripToDraw{vertices_.size(), count, states});
  vertices_.insert(vertices_.end(), corners, corners + count);
}

void PrimitiveBatch::LocateTextures() {
  for (size_t i = 0; i < textures_.size(); ++i)
    textures_[i].pixels = Locked(*textureMemories_[i], textureMemories_[i]->PixelsToRead(*this));
}

void PrimitiveBatch::FinishRows(const SurfaceMemory& memory, int32_t top, int32_t bottom) {
  if (&memory != target_ || started_) {
    Finish();
    return;
  }
  if (strips_.empty()) return;
  LocateTextures();
  rasterizer_.DrawRows(vertices_, strips_, textures_, Locked(*target_, target_->PixelsFor(*this)),
                       shading_, top, bottom);
}

void PrimitiveBatch::Start() {
  if (started_ || strips_.empty()) return;
  LocateTextures();
  const LockedPixels target = Locked(*target_, target_->PixelsFor(*this));
  started_ = true;
  drawing_.Start([this, target, shading = shading_] {
    rasterizer_.DrawStrips(vertices_, strips_, textures_, target, shading);
  });
}

void PrimitiveBatch::Finish() {
  // Off every list first: reading the pixels below must not come back here.
  for (SurfaceMemory* memory : used_) memory->RemoveDeferredDrawing(this);
  used_.clear();
  if (started_) {
    started_ = false;
    drawing_.Wait();
  } else if (!strips_.empty()) {
    LocateTextures();
    rasterizer_.DrawStrips(vertices_, strips_, textures_, Locked(*target_, target_->Pixels()),
                           shading_);
  }
  target_ = nullptr;
  textureMemories_.clear();
  textures_.clear();
  lastTexture_ = kNoTexture;
  vertices_.clear();
  strips_.clear();
}
