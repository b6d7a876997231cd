// The sprite renderer: draws picture items' patterns and whole surfaces onto its display's back
// surface as textured quads through the display's Direct3D 7 device, with one texture per
// picture name kept in a cache. Nothing here raises for a missing device or a texture that
// cannot be made: the drawing operations answer False and the frame is marked not to be shown.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "display/DXDraw.h"
#include "images/DIB.h"
#include "platform/d3d/D3D.h"

class TDirect3DTexture2;
class TPictureCollectionItem;

struct TTextureRec {
  TDirect3DTexture2* Texture = nullptr;  // owned by the cache
  double TexLeft = 0;
  double TexTop = 0;
  double TexRight = 0;
  double TexBottom = 0;
  std::string Name;
};

// The texture cache: records in the order they were made, and an index by name. Every sprite
// drawn looks its name up twice, exactly and then without regard to case; with hundreds of
// textures, searching the records each time cost more than drawing. Records are only appended
// until the cache is emptied, so the answer to both searches for a name is fixed once a record
// of that name exists, and the index keeps it.
class TD2DTextures : public TObject {
 public:
  const std::vector<TTextureRec>& Textures() const { return FTextures; }
  // The record a drawing of Name takes: the first whose name equals Name without regard to case
  // (upper-cased with the platform's rules). -1 while no record has exactly the name Name: the
  // drawing then makes one first.
  Integer Find(const std::string& Name) const;
  void Add(TTextureRec Record);
  // Empties the cache; the caller frees the textures of the records handed back.
  std::vector<TTextureRec> TakeAll();

 private:
  friend class TD2D;  // keeps the drawn pattern's area in the record
  TTextureRec& Records(Integer Index) { return FTextures[static_cast<size_t>(Index)]; }

  std::vector<TTextureRec> FTextures;
  // Upper-cased name -> the first record whose name upper-cases to it.
  std::unordered_map<std::string, Integer> FFirstByUpperName;
  // Exact name -> what Find answers for it.
  std::unordered_map<std::string, Integer> FFound;
  // Entries of FFound found lately, each kept at a place picked by where the name's characters
  // are stored. Sprites alternate between a hundred or so pictures whose names stay where they
  // are, so a lookup mostly compares one name instead of hashing it and walking a bucket. A name
  // stored elsewhere, or changed since, only sends Find on to FFound.
  struct TRecentlyFound {
    uintptr_t Storage = 0;
    const std::pair<const std::string, Integer>* Entry = nullptr;
  };
  static constexpr size_t kRecentlyFoundPlaces = 256;
  mutable std::array<TRecentlyFound, kRecentlyFoundPlaces> FRecentlyFound{};
};

class TD2D : public TObject {
 public:
  explicit TD2D(TCustomDXDraw* ADXDraw);
  ~TD2D() override;

  // Usable with the display's requested do3D, doDirectX7Mode and doHardware and a 16- or 32-bit
  // back surface; refreshes BitCount.
  bool CanRender();
  bool RenderItem(TPictureCollectionItem* Item, const TRect& DestRect, Integer PatternIndex);
  // (X, Y) is where the point (CenterX, CenterY) of the Width x Height rectangle lands; Angle in
  // 1/256 turns, clockwise on the screen.
  bool RenderItemRotate(TPictureCollectionItem* Item, Integer X, Integer Y, Integer Width,
                        Integer Height, Integer PatternIndex, double CenterX, double CenterY,
                        Single Angle);
  bool RenderSurface(TDirectDrawSurface* Source, const TRect& DestRect, bool Transparent);
  bool RenderSurfaceRotate(TDirectDrawSurface* Source, bool Transparent, Integer X, Integer Y,
                           Integer Width, Integer Height, double CenterX, double CenterY,
                           Single Angle);

  void ClearTextures();
  void FreeTextures();
  // Empties the cache once it holds more than 2048 textures.
  void CheckTextureCount();
  // Binds the device to the display's back surface again; True when the device took it.
  bool ResetRenderTarget();

  TCustomDXDraw* DXDraw() const { return FDXDraw; }
  bool CacheActive() const { return FCacheActive; }
  void SetCacheActive(bool Value);
  Integer BitCount() const { return FBitCount; }
  bool TextureFilter() const { return FTextureFilter; }
  void SetTextureFilter(bool Value);
  TD2DTextures* Textures() const { return FTextures; }

 private:
  bool Requested() const;
  IDirect3DDevice7* Device() const;
  void SetDefaultRenderStates();
  void SetVertexColors();
  void ResetVertices();
  void SetPositionVertices(const TRect& DestRect);
  void SetRotatedVertices(Integer X, Integer Y, Integer Width, Integer Height, double CenterX,
                          double CenterY, Single Angle);
  // The cosines and sines of a turn by Angle (a) and of a quarter turn more (b).
  struct TTurn {
    uint32_t AngleBits;
    float CosA, SinA, CosB, SinB;
  };
  // The sprites of a pass often share one angle (a frame's explosions all face the viewer), so
  // the last turn is kept.
  const TTurn& TurnBy(Single Angle);
  void SetTextureVertices(const TTextureRec& Record);
  // What became of a texture selection: a refused one also keeps the frame from being shown.
  enum class TSelection { Selected, NotMade, Refused };
  // Draws the quad, textured or not as Selection left the device.
  void DrawQuad(TSelection Selection);
  // Makes the texture for Picture under Name and appends its record; False (nothing added)
  // when it cannot be made.
  bool AddTexture(const std::string& Name, TDIB* Picture, bool Transparent, TColor Color);
  bool AddTextureForItem(TPictureCollectionItem* Item);
  bool AddTextureForSurface(TDirectDrawSurface* Source, const std::string& Name, bool Transparent);
  TSelection SelectItemTexture(TPictureCollectionItem* Item, Integer PatternIndex);
  TSelection SelectSurfaceTexture(TDirectDrawSurface* Source, bool Transparent);
  bool SetStageTexture(const TTextureRec& Record);

  TCustomDXDraw* FDXDraw;
  bool FCacheActive = false;
  Integer FBitCount = 0;
  bool FTextureFilter = false;
  // Two whole cache lines: a vertex split across lines makes every store to it slow.
  alignas(64) D3DTLVERTEX FVertices[4]{};
  std::optional<TTurn> FLastTurn;
  TD2DTextures* FTextures = nullptr;
};

// Pads DIB to power-of-two sides of at least 2 (black beyond the picture) and sets TexRight and
// TexBottom to the part the picture covers; TexLeft and TexTop stay.
void FitDIBToTexture(TDIB& DIB, double& TexLeft, double& TexTop, double& TexRight,
                     double& TexBottom);
