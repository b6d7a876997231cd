#include "display/DXTexture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dxbase/DXConsts.h"
#include "platform/ddraw/PixelFormats.h"
#include "platform/gdi/PixelChannels.h"

namespace {

TDXTextureImageChannel Channel(DWORD Mask) { return {Mask, CountMaskBits(Mask)}; }

Integer PowerOfTwoAtMost(Integer Value) {
  Integer result = 1;
  while (result * 2 <= Value) result *= 2;
  return result;
}

// The wanted channel widths, and the choice among the formats the device lists.
struct FormatSearch {
  Integer R, G, B, A, IndexBits;
  bool Found = false;
  DDPIXELFORMAT Best{};

  static Integer Distance(const DDPIXELFORMAT& Format, const FormatSearch& Wanted) {
    auto square = [](Integer Value) { return Value * Value; };
    return square(CountMaskBits(Format.dwRBitMask) - Wanted.R) +
           square(CountMaskBits(Format.dwGBitMask) - Wanted.G) +
           square(CountMaskBits(Format.dwBBitMask) - Wanted.B) +
           square(CountMaskBits(Format.dwRGBAlphaBitMask) - Wanted.A);
  }

  bool Replaces(const DDPIXELFORMAT& Candidate) const {
    const bool candidatePalette = IsPaletteIndexed(Candidate);
    const bool bestPalette = IsPaletteIndexed(Best);
    if (candidatePalette) {
      return A == 0 && std::abs(static_cast<Integer>(Candidate.dwRGBBitCount) - IndexBits) <=
                           std::abs(static_cast<Integer>(Best.dwRGBBitCount) - IndexBits);
    }
    if (A > 0) {
      const bool candidateAlpha = Candidate.dwFlags & DDPF_ALPHAPIXELS;
      const bool bestAlpha = Best.dwFlags & DDPF_ALPHAPIXELS;
      if (candidateAlpha != bestAlpha) return candidateAlpha;
    }
    return bestPalette || Distance(Candidate, *this) <= Distance(Best, *this);
  }

  void Offer(const DDPIXELFORMAT& Format, bool RGBImage) {
    if (!(Format.dwFlags & DDPF_RGB)) return;
    if (IsPaletteIndexed(Format)) {
      if (RGBImage || static_cast<Integer>(Format.dwRGBBitCount) < IndexBits) return;
    }
    if (!Found || Replaces(Format)) Best = Format;
    Found = true;
  }
};

struct FormatOffer {
  FormatSearch* Search;
  bool RGBImage;
};

HRESULT OfferFormat(DDPIXELFORMAT* Format, void* Context) {
  auto* offer = static_cast<FormatOffer*>(Context);
  offer->Search->Offer(*Format, offer->RGBImage);
  return D3DENUMRET_OK;
}

DWORD ScaleInto(BYTE R, BYTE G, BYTE B, const DDPIXELFORMAT& Format) {
  return ChannelFrom8(R, Format.dwRBitMask) | ChannelFrom8(G, Format.dwGBitMask) |
         ChannelFrom8(B, Format.dwBBitMask);
}

// The levels a mipmap of Width x Height can have, each half the one before, down to 1 x 1.
Integer MipmapLevelsFor(Integer Width, Integer Height) {
  Integer levels = 1;
  for (Integer side = Max(Width, Height); side > 1; side /= 2) ++levels;
  return levels;
}

void WritePixel(BYTE* Row, Integer X, Integer BitCount, DWORD Value) {
  if (BitCount >= 8) {
    std::memcpy(Row + X * (BitCount / 8), &Value, BitCount / 8);
    return;
  }
  // Sub-byte pixels: the leftmost pixel in the highest bits.
  const Integer perByte = 8 / BitCount;
  const Integer shift = (perByte - 1 - X % perByte) * BitCount;
  const BYTE mask = static_cast<BYTE>(((1 << BitCount) - 1) << shift);
  BYTE& target = Row[X / perByte];
  target = static_cast<BYTE>((target & ~mask) | ((Value << shift) & mask));
}

// Converts every pixel of the image into the level; a level that cannot be locked stays as it
// is, and an RGB image has no place in a palette level.
template <class SurfaceInterface>
void CopyImageToLevel(TDXTextureImage& image, SurfaceInterface* level) {
  DDSURFACEDESC2 desc{};
  desc.dwSize = kDDSurfaceDesc2Size;
  if (level->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return;
  const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
  const bool indexedImage = image.ImageType == DXTextureImageType_PaletteIndexedColor;
  const bool paletteSurface = IsPaletteIndexed(format);
  if (indexedImage || !paletteSurface) {
    const Integer width = Min(image.Width, static_cast<Integer>(desc.dwWidth));
    const Integer height = Min(image.Height, static_cast<Integer>(desc.dwHeight));
    for (Integer y = 0; y < height; ++y) {
      BYTE* row = static_cast<BYTE*>(desc.lpSurface) + y * desc.lPitch;
      for (Integer x = 0; x < width; ++x) {
        const DWORD raw = image.Pixel(x, y);
        DWORD value;
        if (indexedImage) {
          const DWORD index = raw & image.idx_index.Mask;
          const TDXTextureImagePaletteEntry& entry = image.Palette[index & 0xFF];
          value = paletteSurface ? index : ScaleInto(entry.R, entry.G, entry.B, format);
        } else {
          value = ScaleInto(ChannelTo8(raw, image.rgb_red.Mask), ChannelTo8(raw, image.rgb_green.Mask),
                            ChannelTo8(raw, image.rgb_blue.Mask), format);
          if (format.dwFlags & DDPF_ALPHAPIXELS)
            value |= image.rgb_alpha.Mask
                         ? ChannelFrom8(ChannelTo8(raw, image.rgb_alpha.Mask), format.dwRGBAlphaBitMask)
                         : format.dwRGBAlphaBitMask;
        }
        WritePixel(row, x, static_cast<Integer>(format.dwRGBBitCount), value);
      }
    }
  }
  level->Unlock(nullptr);
}

// Copies the image into the top level and its mipmap images into the levels below, until the
// levels or the images run out.
template <class SurfaceInterface>
void LoadLevels(TDXTextureImage& image, SurfaceInterface* top) {
  ComPtr<SurfaceInterface> level(top);
  CopyImageToLevel(image, level.Get());
  for (Integer index = 0; index < image.SubImageCount(); ++index) {
    TDXTextureImage& levelImage = *image.SubImages(index);
    if (levelImage.ImageGroupType != DXTextureImageGroupType_Mipmap) continue;
    DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, 0};
    SurfaceInterface* next = nullptr;
    if (level->GetAttachedSurface(&caps, &next) != DD_OK) break;
    level = ComPtr<SurfaceInterface>::Attach(next);
    CopyImageToLevel(levelImage, level.Get());
  }
}

// A texture works through the interface version of the path its display is on: DirectDraw 7
// and its surfaces with Direct3D 7, DirectDraw 4 and its surfaces with Direct3D 6, whose device
// takes version-4 surfaces. Both versions take the 124-byte description. Calls Use with the
// texture surface's interface of that version.
template <class Use>
void WithTextureInterface(TDirectDrawSurface& Surface, Use&& use) {
  if (IDirectDrawSurface7* surface7 = Surface.ISurface7())
    use(surface7);
  else
    use(Surface.IDDSurface4());
}

// Makes the texture surface from Desc through one version of DirectDraw into Wrapper, with a
// palette of the image's entries for a palette format. Raises when the surface is refused;
// False when the palette is, which leaves the surface without palette and without pixels.
template <class SurfaceInterface, class DirectDrawInterface>
bool MakeTextureSurface(DirectDrawInterface* DirectDraw, DDSURFACEDESC2 Desc,
                        const TDXTextureImage& Image, TDirectDrawSurface& Wrapper) {
  SurfaceInterface* made = nullptr;
  if (DirectDraw->CreateSurface(&Desc, &made, nullptr) != DD_OK)
    throw EDirect3DTextureError(Format(MsgCannotBeInitialized, {ObjNameTexture}));
  const ComPtr<SurfaceInterface> surface = ComPtr<SurfaceInterface>::Attach(made);
  Wrapper.SetIDDSurfaceAny(surface.Get());

  const DDPIXELFORMAT& format = Desc.ddpfPixelFormat;
  if (!IsPaletteIndexed(format)) return true;
  DWORD paletteCaps = DDPCAPS_8BIT | DDPCAPS_ALLOW256;
  if (format.dwFlags & DDPF_PALETTEINDEXED4) paletteCaps = DDPCAPS_4BIT;
  if (format.dwFlags & DDPF_PALETTEINDEXED2) paletteCaps = DDPCAPS_2BIT;
  if (format.dwFlags & DDPF_PALETTEINDEXED1) paletteCaps = DDPCAPS_1BIT;
  std::array<PALETTEENTRY, 256> entries{};
  for (size_t i = 0; i < entries.size(); ++i)
    entries[i] = {Image.Palette[i].R, Image.Palette[i].G, Image.Palette[i].B, 0};
  IDirectDrawPalette* palette = nullptr;
  if (DirectDraw->CreatePalette(paletteCaps, entries.data(), &palette, nullptr) != DD_OK)
    return false;
  surface->SetPalette(palette);
  palette->Release();
  return true;
}

}  // namespace

// ---- TDXTextureImage ----

TDXTextureImage::TDXTextureImage(TDXTextureImage* AOwner) : FOwner(AOwner) {
  if (FOwner) FOwner->FSubImages.push_back(this);
}

TDXTextureImage::~TDXTextureImage() {
  Clear();
  if (FOwner) {
    // Sub-images are mostly freed last first (Clear does), so look from the end.
    std::vector<TDXTextureImage*>& siblings = FOwner->FSubImages;
    siblings.erase(std::find(siblings.rbegin(), siblings.rend(), this).base() - 1);
  }
}

void TDXTextureImage::SetSize(TDXTextureImageType AImageType, Integer AWidth, Integer AHeight,
                              Integer ABitCount) {
  const Integer width = Max(AWidth, 0), height = Max(AHeight, 0);
  const int64_t pitch = (static_cast<int64_t>(width) * ABitCount + 31) / 32 * 4;
  if (pitch > INT32_MAX) OutOfMemoryError();
  FOwnedPixels.assign(static_cast<size_t>(pitch) * static_cast<size_t>(height), 0);
  ImageType = AImageType;
  Width = width;
  Height = height;
  BitCount = ABitCount;
  Pitch = static_cast<Integer>(pitch);
  FBits = FOwnedPixels.data();
}

void TDXTextureImage::SetImage(TDXTextureImageType AImageType, Integer AWidth, Integer AHeight,
                               Integer ABitCount, Integer APitch, void* ABits) {
  FOwnedPixels = {};
  ImageType = AImageType;
  Width = Max(AWidth, 0);
  Height = Max(AHeight, 0);
  BitCount = ABitCount;
  Pitch = APitch;
  FBits = static_cast<BYTE*>(ABits);
}

void TDXTextureImage::Clear() {
  while (!FSubImages.empty()) delete FSubImages.back();
  FOwnedPixels = {};
  FBits = nullptr;
  Width = Height = BitCount = Pitch = 0;
  Palette = {};
  idx_index = idx_alpha = rgb_red = rgb_green = rgb_blue = rgb_alpha = {};
  ImageName.clear();
}

BYTE* TDXTextureImage::GetScanLine(Integer Y) {
  return FBits + static_cast<ptrdiff_t>(Y) * Pitch;
}

TDXTextureImage* TDXTextureImage::SubImages(Integer Index) const {
  if (Index < 0 || Index >= SubImageCount()) throw EListError(SListIndexError, {Index});
  return FSubImages[static_cast<size_t>(Index)];
}

Integer TDXTextureImage::SubGroupImageCount(Integer GroupType) const {
  return static_cast<Integer>(std::count_if(
      FSubImages.begin(), FSubImages.end(),
      [&](const TDXTextureImage* image) { return image->ImageGroupType == GroupType; }));
}

TDXTextureImage* TDXTextureImage::SubGroupImages(Integer GroupType, Integer Index) const {
  Integer counted = 0;
  for (TDXTextureImage* image : FSubImages) {
    if (image->ImageGroupType != GroupType) continue;
    if (counted == Index) return image;
    ++counted;
  }
  throw EListError(SListIndexError, {Index});
}

DWORD TDXTextureImage::Pixel(Integer X, Integer Y) {
  if (X < 0 || Y < 0 || X >= Width || Y >= Height) return 0;
  const BYTE* row = GetScanLine(Y);
  if (BitCount >= 8) {
    DWORD value = 0;
    std::memcpy(&value, row + X * (BitCount / 8), BitCount / 8);
    return value;
  }
  const Integer perByte = 8 / BitCount;
  const Integer shift = (perByte - 1 - X % perByte) * BitCount;
  return (row[X / perByte] >> shift) & ((1u << BitCount) - 1);
}

// ---- TDirect3DTexture2 ----

TDirect3DTexture2::TDirect3DTexture2(TCustomDXDraw* ADXDraw, TObject* AGraphic,
                                     bool AutoFreeGraphic)
    : FGraphic(AGraphic), FAutoFreeGraphic(AutoFreeGraphic) {
  if (auto* image = dynamic_cast<TDXTextureImage*>(AGraphic)) {
    FImage = image;
  } else {
    TGraphic* graphic = dynamic_cast<TGraphic*>(AGraphic);
    if (auto* picture = dynamic_cast<TPicture*>(AGraphic)) graphic = picture->Graphic();
    if (!graphic) throw Exception(MsgCannotLoadGraphic);
    auto* dib = dynamic_cast<TDIB*>(graphic);
    if (!dib || dib != AGraphic) {
      // Anything but a TDIB passed itself is copied into a TDIB the texture keeps.
      auto copy = std::make_unique<TDIB>();
      copy->Assign(graphic);
      if (AutoFreeGraphic) delete AGraphic;
      FGraphic = dib = copy.release();
      FAutoFreeGraphic = true;
    }
    FImage = new TDXTextureImage();
    FOwnsImage = true;
    LoadFromDIB(dib);
  }
  FMipmap = FImage->SubGroupImageCount(DXTextureImageGroupType_Mipmap) > 0;
  FTransparent = FImage->Transparent;
  FTransparentColor = FImage->TransparentColor;
  try {
    SetDXDraw(ADXDraw);
  } catch (...) {
    // An initialised display makes the surface at once; when that fails no destructor runs.
    ReleaseAll();
    throw;
  }
}

TDirect3DTexture2::~TDirect3DTexture2() { ReleaseAll(); }

void TDirect3DTexture2::ReleaseAll() {
  Finalize();
  SetDXDraw(nullptr);
  if (FAutoFreeGraphic) delete FGraphic;  // the image itself when the graphic is one
  if (FOwnsImage) delete FImage;
}

void TDirect3DTexture2::DetachGraphic() {
  if (!FAutoFreeGraphic && FGraphic != FImage) FGraphic = nullptr;
}

void TDirect3DTexture2::SetDXDraw(TCustomDXDraw* Value) {
  if (FDXDraw == Value) return;
  const TDisplayNotifyEvent listener = MakeEvent<&TDirect3DTexture2::DisplayNotify>(this);
  if (FDXDraw) FDXDraw->RemoveNotifyListener(listener);
  FDXDraw = Value;
  if (FDXDraw) FDXDraw->AddNotifyListener(listener);
}

void TDirect3DTexture2::DisplayNotify(TCustomDXDraw*, TDisplayNotifyCode Code) {
  switch (Code) {
    case ncDestroying: SetDXDraw(nullptr); break;
    case ncInitializeSurface: Initialize(); break;
    case ncFinalizeSurface: Finalize(); break;
    case ncRestore: Load(); break;
    default: break;
  }
}

TDirectDrawSurface* TDirect3DTexture2::Surface() {
  if (FSurface && FNeedLoad) Load();
  return FSurface;
}

bool TDirect3DTexture2::Transparent() const {
  return FSurface ? FSurfaceTransparent : FTransparent;
}

void TDirect3DTexture2::SetTransparent(bool Value) {
  FTransparent = Value;
  if (FSurface) ApplyColorKey();
}

void TDirect3DTexture2::SetTransparentColor(TColor Value) {
  FTransparentColor = Value;
  if (FSurface && FTransparent) ApplyColorKey();
}

void TDirect3DTexture2::Finalize() {
  FreeAndNil(FSurface);
  FSurfaceTransparent = false;
  FUseMipmap = false;
  FNeedLoad = false;
}

void TDirect3DTexture2::LoadFromDIB(TDIB* DIB) {
  TDXTextureImage& image = *FImage;
  const Integer bits = DIB->BitCount();
  if (bits > 8) {
    image.SetSize(DXTextureImageType_RGBColor, DIB->Width(), DIB->Height(), bits);
    const TDIBPixelLayout& layout = DIB->PixelLayout();
    image.rgb_red = Channel(static_cast<DWORD>(layout.RBitMask));
    image.rgb_green = Channel(static_cast<DWORD>(layout.GBitMask));
    image.rgb_blue = Channel(static_cast<DWORD>(layout.BBitMask));
    const Integer colorBits = layout.RBitCount + layout.GBitCount + layout.BBitCount;
    image.rgb_alpha = bits > colorBits
                          ? Channel(static_cast<DWORD>(((1ull << bits) - 1) & ~((1ull << colorBits) - 1)))
                          : TDXTextureImageChannel{};
  } else {
    image.SetSize(DXTextureImageType_PaletteIndexedColor, DIB->Width(), DIB->Height(), bits);
    image.idx_index = Channel((1u << bits) - 1);
    image.idx_alpha = {};
    const TColorTable& table = DIB->ColorTable();
    for (size_t i = 0; i < table.size(); ++i)
      image.Palette[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
  }
  const Integer rowBytes = Min(image.Pitch, DIB->WidthBytes());
  for (Integer y = 0; y < image.Height; ++y)
    std::memcpy(image.GetScanLine(y), DIB->TopRowBits() + y * DIB->NextLine(), rowBytes);
}

namespace {

// The description a texture is sized by: of a Direct3D 7 device only its texture capabilities
// and texture widths (its texture heights stay 0, so they limit nothing), else the Direct3D 6
// device's hardware description whole. False without a device.
bool ReadTextureDeviceDesc(TCustomDXDraw* DXDraw, D3DDEVICEDESC& Desc) {
  Desc = D3DDEVICEDESC{};
  Desc.dwSize = sizeof(D3DDEVICEDESC);
  if (IDirect3DDevice7* device = DXDraw->D3DDevice7()) {
    D3DDEVICEDESC7 caps{};
    device->GetCaps(&caps);
    Desc.dpcLineCaps.dwTextureCaps = caps.dpcLineCaps.dwTextureCaps;
    Desc.dpcTriCaps.dwTextureCaps = caps.dpcTriCaps.dwTextureCaps;
    Desc.dwMinTextureWidth = caps.dwMinTextureWidth;
    Desc.dwMaxTextureWidth = caps.dwMaxTextureWidth;
    return true;
  }
  if (IDirect3DDevice3* device = DXDraw->DirectX6().D3DDevice3.Get()) {
    D3DDEVICEDESC software{};
    device->GetCaps(&Desc, &software);
    return true;
  }
  return false;
}

void EnumDeviceTextureFormats(TCustomDXDraw* DXDraw, LPD3DENUMPIXELFORMATSCALLBACK Callback,
                              void* Context) {
  if (IDirect3DDevice7* device = DXDraw->D3DDevice7())
    device->EnumTextureFormats(Callback, Context);
  else
    DXDraw->DirectX6().D3DDevice3->EnumTextureFormats(Callback, Context);
}

}  // namespace

void TDirect3DTexture2::Initialize() {
  Finalize();
  try {
    D3DDEVICEDESC caps{};
    if (!FDXDraw || !ReadTextureDeviceDesc(FDXDraw, caps))
      throw EDirect3DTextureError(Format(MsgCannotBeInitialized, {ObjNameTexture}));
    FTextureCaps = caps.dpcTriCaps.dwTextureCaps;

    Integer width = FImage->Width, height = FImage->Height;
    if (FTextureCaps & D3DPTEXTURECAPS_POW2) {
      width = PowerOfTwoAtMost(width);
      height = PowerOfTwoAtMost(height);
    }
    if (FTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) width = height = Max(width, height);
    auto limit = [](Integer Value, DWORD Least, DWORD Most) {
      if (Least > 0) Value = Max(Value, static_cast<Integer>(Least));
      if (Most > 0) Value = Min(Value, static_cast<Integer>(Most));
      return Value;
    };
    width = limit(width, caps.dwMinTextureWidth, caps.dwMaxTextureWidth);
    height = limit(height, caps.dwMinTextureHeight, caps.dwMaxTextureHeight);

    const bool rgbImage = FImage->ImageType == DXTextureImageType_RGBColor;
    FormatSearch search = rgbImage
                              ? FormatSearch{FImage->rgb_red.BitCount, FImage->rgb_green.BitCount,
                                             FImage->rgb_blue.BitCount, FImage->rgb_alpha.BitCount, 8}
                              : FormatSearch{8, 8, 8, FImage->idx_alpha.BitCount,
                                             FImage->idx_index.BitCount};
    FormatOffer offer{&search, rgbImage};
    EnumDeviceTextureFormats(FDXDraw, &OfferFormat, &offer);
    if (!search.Found)
      throw EDirect3DTextureError(Format(MsgCannotBeInitialized, {ObjNameTexture}));

    TDirectDraw* directDraw = FDXDraw->DDraw();
    const Integer mipmapImages = FImage->SubGroupImageCount(DXTextureImageGroupType_Mipmap);
    FUseMipmap = FMipmap && search.Best.dwRGBBitCount > 8 && mipmapImages > 0 &&
                 (directDraw->DriverCaps().ddsCaps.dwCaps & DDSCAPS_MIPMAP);

    FSurfaceDesc = DDSURFACEDESC2{};
    FSurfaceDesc.dwSize = kDDSurfaceDesc2Size;
    FSurfaceDesc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    FSurfaceDesc.dwWidth = static_cast<DWORD>(width);
    FSurfaceDesc.dwHeight = static_cast<DWORD>(height);
    FSurfaceDesc.ddpfPixelFormat = search.Best;
    FSurfaceDesc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    if (FDXDraw->EffectiveOptions().Contains(doHardware))
      FSurfaceDesc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    else
      FSurfaceDesc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    if (FUseMipmap) {
      // The image is the top level and each mipmap image one more, as far as the size allows.
      FSurfaceDesc.dwFlags |= DDSD_MIPMAPCOUNT;
      FSurfaceDesc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
      FSurfaceDesc.dwMipMapCount =
          static_cast<DWORD>(Min(1 + mipmapImages, MipmapLevelsFor(width, height)));
    }

    FSurface = new TDirectDrawSurface(directDraw);
    FNeedLoad = directDraw->IDraw7()
                    ? MakeTextureSurface<IDirectDrawSurface7>(directDraw->IDraw7(), FSurfaceDesc,
                                                              *FImage, *FSurface)
                    : MakeTextureSurface<IDirectDrawSurface4>(directDraw->IDDraw4(), FSurfaceDesc,
                                                              *FImage, *FSurface);
  } catch (...) {
    Finalize();
    throw;
  }
}

void TDirect3DTexture2::Load() {
  if (!FSurface) Initialize();
  FNeedLoad = false;
  WithTextureInterface(*FSurface, [](auto* surface) {
    if (surface->IsLost() == DDERR_SURFACELOST) surface->Restore();
  });
  ApplyColorKey();
  if (auto* dib = dynamic_cast<TDIB*>(FGraphic)) LoadFromDIB(dib);
  if (FImage->HasPixels())
    WithTextureInterface(*FSurface, [this](auto* top) { LoadLevels(*FImage, top); });
  else if (OnRestoreSurface)
    OnRestoreSurface(this);
}

void TDirect3DTexture2::ApplyColorKey() {
  FSurfaceTransparent = false;
  if (!FSurface || !FTransparent || !(FTextureCaps & D3DPTEXTURECAPS_TRANSPARENCY)) return;
  const DDPIXELFORMAT& format = FSurfaceDesc.ddpfPixelFormat;
  const bool namesIndex = (static_cast<DWORD>(FTransparentColor) >> 24) == 1;
  const BYTE r = FTransparentColor & 0xFF, g = (FTransparentColor >> 8) & 0xFF,
             b = (FTransparentColor >> 16) & 0xFF;
  DWORD key;
  if (IsPaletteIndexed(format)) {
    if (namesIndex) {
      key = FTransparentColor & 0xFF;
    } else {
      key = 0;
      if (FImage->ImageType == DXTextureImageType_PaletteIndexedColor) {
        Integer nearest = -1;
        for (DWORD i = 0; i < 256; ++i) {
          const TDXTextureImagePaletteEntry& entry = FImage->Palette[i];
          const Integer distance = (entry.R - r) * (entry.R - r) + (entry.G - g) * (entry.G - g) +
                                   (entry.B - b) * (entry.B - b);
          if (nearest < 0 || distance < nearest) {
            nearest = distance;
            key = i;
          }
        }
      }
    }
  } else if (namesIndex && FImage->ImageType == DXTextureImageType_PaletteIndexedColor) {
    const TDXTextureImagePaletteEntry& entry = FImage->Palette[FTransparentColor & 0xFF];
    key = ScaleInto(entry.R, entry.G, entry.B, format);
  } else if (static_cast<DWORD>(FTransparentColor) > 0xFFFFFF) {
    return;
  } else {
    key = ScaleInto(r, g, b, format);
  }
  FSurface->SetColorKey(DDCKEY_SRCBLT, DDCOLORKEY{key, key});
  FSurfaceTransparent = true;
}
