// The primitives a device has been given but not drawn yet. Drawing waits until something else
// reads or changes the pixels of the target, or changes those of a texture the batch uses (a
// lock, a blit, a device context, presenting, restoring or freeing the memory), until the device
// draws into other memory, or until the device goes; the memories involved call Finish for that.
// A device context drawing on the target asks for the rows it draws on alone (FinishRows): those
// are drawn, the rest waits on. Presenting the target, or blitting it to the screen, starts the
// drawing on the workers (Start) and comes back for it when the pixels are shown; the device
// gives its next primitives to another batch meanwhile. The pixels come out exactly as if each
// primitive had been drawn when it was given.
#pragma once

#include <vector>

#include "platform/d3d/Rasterizer.h"
#include "platform/ddraw/SurfaceMemory.h"
#include "platform/kernel/BackgroundWork.h"

// A texture's key and palette as they are when a primitive is given.
struct TextureLook {
  bool hasColorKey = false;
  DDCOLORKEY colorKey{};
  const std::array<PALETTEENTRY, 256>* palette = nullptr;  // palette-indexed texels only
};

class PrimitiveBatch final : public DeferredDrawing {
 public:
  PrimitiveBatch() = default;
  ~PrimitiveBatch();
  PrimitiveBatch(const PrimitiveBatch&) = delete;
  PrimitiveBatch& operator=(const PrimitiveBatch&) = delete;

  // Keeps a triangle strip of three or more corners to draw into the target, reading the
  // texture memory (null for none) with the key and palette it has now; states.texture is
  // filled in here. A batch being drawn on the workers is finished first, and starts afresh.
  void Add(SurfaceMemory* target, SurfaceMemory* texture, const TextureLook& look,
           RasterStates states, const D3DTLVERTEX* corners, size_t count);

  void Finish() override;
  // On the target, draws the rows asked for and keeps the rest back; on a texture, finishes.
  void FinishRows(const SurfaceMemory& memory, int32_t top, int32_t bottom) override;
  void Start() override;
  bool Drawn() const override { return started_ && drawing_.Done(); }
  // Whether it has been started on the workers and not finished since.
  bool Started() const { return started_; }

  // How many pixels of a row are shaded at once when the batch is drawn.
  void SetShadingWidth(ShadingWidth width) { shading_ = width; }

 private:
  // Uses the memory from now on, writing it or only reading it: drawing kept back on it by others
  // that write it is finished first, and to write it, all drawing kept back on it by others. So
  // batches sharing a memory only ever read it.
  void Use(SurfaceMemory* memory, bool writes);
  int TextureIndex(SurfaceMemory* memory, const TextureLook& look);
  // Where the textures' pixels are now, everybody else's drawing on them finished.
  void LocateTextures();

  SurfaceMemory* target_ = nullptr;
  std::vector<SurfaceMemory*> used_;
  // A texture as the batch reads it: its memory and its key and palette when it was given.
  std::vector<SurfaceMemory*> textureMemories_;
  std::vector<TextureSource> textures_;
  int lastTexture_ = kNoTexture;
  std::vector<D3DTLVERTEX> vertices_;
  std::vector<StripToDraw> strips_;
  ShadingWidth shading_ = ShadingWidth::Widest;
  Rasterizer rasterizer_;
  // Drawing the batch on the workers; until it is finished, none of the above changes.
  BackgroundWork drawing_;
  bool started_ = false;
};
