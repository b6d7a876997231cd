// Direct3D textures of a display, made from pictures and kept valid across the display's
// initialisations: a texture listens to the display, creates its surface when the display's
// surfaces exist, reloads its pixels on restore and drops its surface when they go.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "display/DXDraw.h"
#include "images/DIB.h"
#include "platform/d3d/D3D.h"

enum TDXTextureImageType { DXTextureImageType_PaletteIndexedColor, DXTextureImageType_RGBColor };

// What a sub-image is to its owner; mipmap levels are group 1, largest first.
constexpr Integer DXTextureImageGroupType_Normal = 0;
constexpr Integer DXTextureImageGroupType_Mipmap = 1;

struct TDXTextureImageChannel {
  DWORD Mask = 0;
  Integer BitCount = 0;  // the run of set bits from the mask's lowest set bit
};

struct TDXTextureImagePaletteEntry {
  BYTE R = 0, G = 0, B = 0, Flags = 0;
};

// An in-memory image a texture is loaded from: rows top-down, in memory of its own or memory its
// caller lends it, with a list of sub-images (its mipmap levels, for one) that it owns.
class TDXTextureImage : public TObject {
 public:
  TDXTextureImage() = default;
  // A sub-image: joins AOwner's list, and so is freed with AOwner unless freed before, which
  // takes it off the list again.
  explicit TDXTextureImage(TDXTextureImage* AOwner);
  ~TDXTextureImage() override;
  TDXTextureImage(const TDXTextureImage&) = delete;
  TDXTextureImage& operator=(const TDXTextureImage&) = delete;

  // Allocates pixel memory with rows of ((AWidth * ABitCount + 31) div 32) * 4 bytes.
  void SetSize(TDXTextureImageType AImageType, Integer AWidth, Integer AHeight,
               Integer ABitCount);
  // Uses ABits, rows of APitch bytes from the top row down, which the caller keeps and frees
  // after the image is done with it.
  void SetImage(TDXTextureImageType AImageType, Integer AWidth, Integer AHeight,
                Integer ABitCount, Integer APitch, void* ABits);
  // Frees the pixels and the sub-images and resets sizes, palette, channels and name.
  void Clear();
  BYTE* GetScanLine(Integer Y);
  // The raw value of pixel (X, Y); 0 outside the image.
  DWORD Pixel(Integer X, Integer Y);
  bool HasPixels() const { return FBits != nullptr && Width > 0 && Height > 0; }

  TDXTextureImage* Owner() const { return FOwner; }
  Integer SubImageCount() const { return static_cast<Integer>(FSubImages.size()); }
  // Raises the list-index error outside 0 .. SubImageCount - 1.
  TDXTextureImage* SubImages(Integer Index) const;
  Integer SubGroupImageCount(Integer GroupType) const;
  // The Index-th sub-image of the group, counted in list order; raises the list-index error
  // when the group has no such sub-image.
  TDXTextureImage* SubGroupImages(Integer GroupType, Integer Index) const;

  Integer ImageGroupType = DXTextureImageGroupType_Normal;
  TDXTextureImageType ImageType = DXTextureImageType_RGBColor;
  Integer Width = 0;
  Integer Height = 0;
  Integer BitCount = 0;
  Integer Pitch = 0;
  std::array<TDXTextureImagePaletteEntry, 256> Palette{};
  // Indexed images use idx_index and idx_alpha; RGB images rgb_red to rgb_alpha.
  TDXTextureImageChannel idx_index, idx_alpha;
  TDXTextureImageChannel rgb_red, rgb_green, rgb_blue, rgb_alpha;
  bool Transparent = false;
  TColor TransparentColor = 0;
  std::string ImageName;

 private:
  TDXTextureImage* FOwner = nullptr;
  std::vector<TDXTextureImage*> FSubImages;
  std::vector<BYTE> FOwnedPixels;
  BYTE* FBits = nullptr;  // the owned pixels or the caller's
};

class TDirect3DTexture2 : public TObject {
 public:
  // Graphic: a TDXTextureImage (used as it is), a TDIB, another TGraphic or a TPicture (copied
  // into a TDIB first). Anything else raises Exception "Can not load graphic". The texture joins
  // the display's listeners at once, so an initialised display gives it a loaded surface.
  TDirect3DTexture2(TCustomDXDraw* ADXDraw, TObject* AGraphic, bool AutoFreeGraphic);
  ~TDirect3DTexture2() override;

  // The texture surface, loaded first when it needs to be; nil while the display has no
  // surfaces.
  TDirectDrawSurface* Surface();
  TDXTextureImage* Image() const { return FImage; }
  bool Transparent() const;
  void SetTransparent(bool Value);
  TColor TransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(TColor Value);
  TCustomDXDraw* DXDraw() const { return FDXDraw; }
  void SetDXDraw(TCustomDXDraw* Value);
  const DDSURFACEDESC2& SurfaceDesc() const { return FSurfaceDesc; }
  // The image has mipmap levels (sub-images of group 1).
  bool Mipmap() const { return FMipmap; }
  // The surface was made with mipmap levels.
  bool UseMipmap() const { return FUseMipmap; }

  // Fills the image from DIB (again).
  void LoadFromDIB(TDIB* DIB);
  void Initialize();
  void Finalize();
  void Load();

  // Forgets a graphic the texture does not own, keeping the image built from it, so its
  // creator may free the graphic right after making the texture.
  void DetachGraphic();

  // Fired when the surface is loaded and there is no image to load it from (the image holds no
  // pixels), so the owner can draw the texture itself.
  TNotifyEvent OnRestoreSurface;

 private:
  // Finalises, leaves the display and frees what the texture owns.
  void ReleaseAll();
  void DisplayNotify(TCustomDXDraw* Sender, TDisplayNotifyCode Code);
  void ApplyColorKey();

  TCustomDXDraw* FDXDraw = nullptr;
  TObject* FGraphic = nullptr;
  bool FAutoFreeGraphic = false;
  TDXTextureImage* FImage = nullptr;
  bool FOwnsImage = false;
  TDirectDrawSurface* FSurface = nullptr;
  DDSURFACEDESC2 FSurfaceDesc{};
  bool FMipmap = false;
  bool FUseMipmap = false;
  bool FNeedLoad = true;
  bool FTransparent = false;
  TColor FTransparentColor = 0;
  bool FSurfaceTransparent = false;
  DWORD FTextureCaps = 0;  // the device's triangle texture capabilities
};
