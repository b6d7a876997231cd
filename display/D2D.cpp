#include "display/D2D.h"

#include <bit>
#include <cmath>
#include <memory>
#include <numbers>
#include <utility>

#include "display/DXTexture.h"
#include "display/ImageList.h"

namespace {

constexpr size_t kMaxCachedTextures = 2048;
constexpr D3DCOLOR kOpaqueWhite = 0x00FFFFFF;

Integer PowerOfTwoAtLeast(Integer Value) {
  Integer result = 2;
  while (result < Value) result *= 2;
  return result;
}

}  // namespace

void FitDIBToTexture(TDIB& DIB, double&, double&, double& TexRight, double& TexBottom) {
  const Integer width = DIB.Width(), height = DIB.Height();
  const Integer textureWidth = PowerOfTwoAtLeast(width);
  const Integer textureHeight = PowerOfTwoAtLeast(height);
  const std::unique_ptr<TDIB> padded = std::make_unique<TDIB>();
  padded->SetSize(textureWidth, textureHeight, 24);
  if (textureWidth != width || textureHeight != height) {
    padded->Canvas()->Brush()->SetColor(clBlack);
    padded->Canvas()->FillRect(Rect(0, 0, textureWidth, textureHeight));
    TexRight = static_cast<double>(width) / textureWidth;
    TexBottom = static_cast<double>(height) / textureHeight;
  }
  padded->Canvas()->Draw(0, 0, &DIB);
  DIB.Assign(padded.get());
}

// ---- TD2DTextures ----

Integer TD2DTextures::Find(const std::string& Name) const {
  // What was found stays the answer until the cache is emptied.
  const uintptr_t storage = reinterpret_cast<uintptr_t>(Name.data());
  TRecentlyFound& recent =
      FRecentlyFound[(storage * 0x9E3779B97F4A7C15u >> 32) % kRecentlyFoundPlaces];
  if (recent.Storage == storage && recent.Entry->first == Name) return recent.Entry->second;
  const auto found = FFound.find(Name);
  if (found == FFound.end()) return -1;
  recent = {storage, &*found};
  return found->second;
}

void TD2DTextures::Add(TTextureRec Record) {
  const Integer index = static_cast<Integer>(FTextures.size());
  // A record that comes after another of the same name, in any case, is never the one found:
  // both keep the first.
  const Integer firstOfName =
      FFirstByUpperName.try_emplace(AnsiUpperCase(Record.Name), index).first->second;
  FFound.try_emplace(Record.Name, firstOfName);
  FTextures.push_back(std::move(Record));
}

std::vector<TTextureRec> TD2DTextures::TakeAll() {
  FFirstByUpperName.clear();
  FRecentlyFound = {};
  FFound.clear();
  return std::exchange(FTextures, {});
}

// ---- TD2D ----

TD2D::TD2D(TCustomDXDraw* ADXDraw) : FDXDraw(ADXDraw) {
  FTextureFilter = true;
  ResetVertices();
  SetCacheActive(Requested());
}

TD2D::~TD2D() {
  SetCacheActive(false);
  if (FTextures) FreeTextures();
}

bool TD2D::Requested() const {
  const TDXDrawOptions options = FDXDraw->Options();
  return options.Contains(do3D) && options.Contains(doDirectX7Mode) &&
         options.Contains(doHardware);
}

IDirect3DDevice7* TD2D::Device() const { return FDXDraw->D3DDevice7(); }

bool TD2D::CanRender() {
  if (Requested()) {
    if (!FCacheActive) SetCacheActive(true);
  } else {
    FCacheActive = false;
  }
  FBitCount = FDXDraw->Surface() ? FDXDraw->Surface()->BitCount() : 0;
  if (FBitCount != 16 && FBitCount != 32) FCacheActive = false;
  // Without a device (the display not initialised for 3D) there is nothing to draw with.
  return FCacheActive && Device();
}

void TD2D::SetCacheActive(bool Value) {
  if (Value && !FCacheActive) {
    // A cache replaced after a bit-depth change would otherwise leak its textures.
    if (FTextures) FreeTextures();
    FTextures = new TD2DTextures();
    SetTextureFilter(true);
  }
  FCacheActive = Value;
}

void TD2D::SetTextureFilter(bool Value) {
  FTextureFilter = Value;
  if (!FDXDraw->Options().Contains(do3D) || !Device()) return;
  const DWORD filter = Value ? D3DTFG_LINEAR : D3DTFG_POINT;
  Device()->SetTextureStageState(0, D3DTSS_MAGFILTER, filter);
  Device()->SetTextureStageState(0, D3DTSS_MINFILTER, filter);
}

void TD2D::ClearTextures() {
  if (!FTextures) return;
  // Taken out first: freeing a texture detaches it from the display, which may call back.
  for (TTextureRec& record : FTextures->TakeAll()) delete record.Texture;
}

void TD2D::FreeTextures() {
  ClearTextures();
  FreeAndNil(FTextures);
}

void TD2D::CheckTextureCount() {
  if (FTextures && FTextures->Textures().size() > kMaxCachedTextures) ClearTextures();
}

bool TD2D::ResetRenderTarget() {
  if (!Device() || !FDXDraw->Surface() || !FDXDraw->Surface()->ISurface7()) return false;
  return Device()->SetRenderTarget(FDXDraw->Surface()->ISurface7(), 0) == D3D_OK;
}

// ---- Quads ----

void TD2D::ResetVertices() {
  for (D3DTLVERTEX& vertex : FVertices) vertex = D3DTLVERTEX{0, 0, 0, 1.0f, 0, 0xFFFFFFFF, 0, 0};
}

void TD2D::SetDefaultRenderStates() {
  Device()->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
  Device()->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
  Device()->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
}

void TD2D::SetVertexColors() {
  for (D3DTLVERTEX& vertex : FVertices) vertex.color = kOpaqueWhite;
}

void TD2D::SetPositionVertices(const TRect& DestRect) {
  // Half a pixel up and left: the quad's edges then run between pixel centres, so it covers
  // exactly the rectangle's pixels.
  const float left = DestRect.left - 0.5f, top = DestRect.top - 0.5f;
  const float right = DestRect.right - 0.5f, bottom = DestRect.bottom - 0.5f;
  FVertices[0].sx = left;
  FVertices[0].sy = top;
  FVertices[1].sx = right;
  FVertices[1].sy = top;
  FVertices[2].sx = left;
  FVertices[2].sy = bottom;
  FVertices[3].sx = right;
  FVertices[3].sy = bottom;
}

const TD2D::TTurn& TD2D::TurnBy(Single Angle) {
  // Compared bit for bit: the sine of -0 is -0, not 0.
  const uint32_t angleBits = std::bit_cast<uint32_t>(Angle);
  if (!FLastTurn || FLastTurn->AngleBits != angleBits) {
    const float a = Angle * std::numbers::pi_v<float> / 128;
    const float b = a + std::numbers::pi_v<float> / 2;
    FLastTurn = TTurn{angleBits, std::cos(a), std::sin(a), std::cos(b), std::sin(b)};
  }
  return *FLastTurn;
}

void TD2D::SetRotatedVertices(Integer X, Integer Y, Integer Width, Integer Height,
                              double CenterX, double CenterY, Single Angle) {
  const TTurn& turn = TurnBy(Angle);
  const float cw = Width * static_cast<float>(CenterX);
  const float ch = Height * static_cast<float>(CenterY);
  const float left = X - cw * turn.CosA - ch * turn.CosB;
  const float top = Y - cw * turn.SinA - ch * turn.SinB;
  FVertices[0].sx = left;
  FVertices[0].sy = top;
  FVertices[1].sx = left + Width * turn.CosA;
  FVertices[1].sy = top + Width * turn.SinA;
  FVertices[2].sx = left + Height * turn.CosB;
  FVertices[2].sy = top + Height * turn.SinB;
  FVertices[3].sx = FVertices[2].sx + Width * turn.CosA;
  FVertices[3].sy = FVertices[2].sy + Width * turn.SinA;
}

void TD2D::SetTextureVertices(const TTextureRec& Record) {
  const float left = static_cast<float>(Record.TexLeft), top = static_cast<float>(Record.TexTop);
  const float right = static_cast<float>(Record.TexRight);
  const float bottom = static_cast<float>(Record.TexBottom);
  FVertices[0].tu = left;
  FVertices[0].tv = top;
  FVertices[1].tu = right;
  FVertices[1].tv = top;
  FVertices[2].tu = left;
  FVertices[2].tv = bottom;
  FVertices[3].tu = right;
  FVertices[3].tv = bottom;
}

void TD2D::DrawQuad(TSelection Selection) {
  const HRESULT result = Device()->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, FVertices,
                                                 4, D3DDP_WAIT);
  SkipNextFlip = result != D3D_OK || Selection == TSelection::Refused;
  ResetVertices();
}

bool TD2D::RenderItem(TPictureCollectionItem* Item, const TRect& DestRect, Integer PatternIndex) {
  if (!CanRender()) return false;
  SetDefaultRenderStates();
  SetVertexColors();
  const TSelection selection = SelectItemTexture(Item, PatternIndex);
  SetPositionVertices(DestRect);
  DrawQuad(selection);
  return selection == TSelection::Selected;
}

bool TD2D::RenderItemRotate(TPictureCollectionItem* Item, Integer X, Integer Y, Integer Width,
                            Integer Height, Integer PatternIndex, double CenterX, double CenterY,
                            Single Angle) {
  if (!CanRender()) return false;
  SetDefaultRenderStates();
  SetVertexColors();
  const TSelection selection = SelectItemTexture(Item, PatternIndex);
  SetRotatedVertices(X, Y, Width, Height, CenterX, CenterY, Angle);
  DrawQuad(selection);
  return selection == TSelection::Selected;
}

bool TD2D::RenderSurface(TDirectDrawSurface* Source, const TRect& DestRect, bool Transparent) {
  if (!CanRender()) return false;
  SetDefaultRenderStates();
  SetVertexColors();
  const TSelection selection = SelectSurfaceTexture(Source, Transparent);
  SetPositionVertices(DestRect);
  DrawQuad(selection);
  return selection == TSelection::Selected;
}

bool TD2D::RenderSurfaceRotate(TDirectDrawSurface* Source, bool Transparent, Integer X,
                               Integer Y, Integer Width, Integer Height, double CenterX,
                               double CenterY, Single Angle) {
  if (!CanRender()) return false;
  SetDefaultRenderStates();
  SetVertexColors();
  const TSelection selection = SelectSurfaceTexture(Source, Transparent);
  SetRotatedVertices(X, Y, Width, Height, CenterX, CenterY, Angle);
  DrawQuad(selection);
  return selection == TSelection::Selected;
}

// ---- Texture cache ----

bool TD2D::AddTexture(const std::string& Name, TDIB* Picture, bool Transparent, TColor Color) {
  TTextureRec record;
  record.TexRight = record.TexBottom = 1.0;
  FitDIBToTexture(*Picture, record.TexLeft, record.TexTop, record.TexRight, record.TexBottom);
  record.Name = Name;
  std::unique_ptr<TDirect3DTexture2> texture =
      std::make_unique<TDirect3DTexture2>(FDXDraw, Picture, false);
  // The caller frees the padded copy; the texture keeps the image it built from it.
  texture->DetachGraphic();
  texture->SetTransparentColor(Color);
  if (TDirectDrawSurface* surface = texture->Surface())
    surface->SetTransparentColor(static_cast<DWORD>(Color));
  texture->SetTransparent(Transparent);
  record.Texture = texture.release();
  FTextures->Add(std::move(record));
  return true;
}

bool TD2D::AddTextureForItem(TPictureCollectionItem* Item) {
  CheckTextureCount();
  try {
    if (Item->Name().empty()) Item->SetName(Item->GetNamePath());
    const std::unique_ptr<TDIB> copy = std::make_unique<TDIB>();
    copy->Assign(Item->Picture()->Graphic());
    return AddTexture(Item->Name(), copy.get(), Item->Transparent(), Item->TransparentColor());
  } catch (Exception&) {
    // A picture that cannot become a texture is drawn as a plain quad this time.
    return false;
  }
}

bool TD2D::AddTextureForSurface(TDirectDrawSurface* Source, const std::string& Name,
                                bool Transparent) {
  CheckTextureCount();
  try {
    const std::unique_ptr<TDIB> copy = std::make_unique<TDIB>();
    copy->Assign(Source);
    TColor key = 0;
    DDCOLORKEY sourceKey{};
    if (Source->ISurface() && Source->ISurface()->GetColorKey(DDCKEY_SRCBLT, &sourceKey) == DD_OK)
      key = static_cast<TColor>(sourceKey.dwColorSpaceLowValue);
    // The copy's pixels read as class-library colours: its top-left one is left out.
    if (Transparent) key = static_cast<TColor>(copy->Pixels(0, 0));
    return AddTexture(Name, copy.get(), Transparent, key);
  } catch (Exception&) {
    return false;
  }
}

bool TD2D::SetStageTexture(const TTextureRec& Record) {
  try {
    TDirectDrawSurface* surface = Record.Texture->Surface();
    return Device()->SetTexture(0, surface ? surface->ISurface7() : nullptr) == D3D_OK;
  } catch (Exception&) {
    return false;
  }
}

TD2D::TSelection TD2D::SelectItemTexture(TPictureCollectionItem* Item, Integer PatternIndex) {
  Device()->SetTexture(0, nullptr);
  // Making the texture may name an unnamed item.
  Integer index = FTextures->Find(Item->Name());
  if (index < 0 && AddTextureForItem(Item)) index = FTextures->Find(Item->Name());
  if (index < 0) return TSelection::NotMade;
  TTextureRec& record = FTextures->Records(index);
  if (!SetStageTexture(record)) {
    ClearTextures();
    Item->Restore();
    SetTextureFilter(true);
    return TSelection::Refused;
  }
  Device()->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, record.Texture->Transparent() ? 1 : 0);
  if (Item->PatternWidth() != 0 || Item->PatternHeight() != 0) {
    const TRect area = Item->GetPatternRect(PatternIndex);
    const double width = record.Texture->Image()->Width;
    const double height = record.Texture->Image()->Height;
    record.TexLeft = area.left / width;
    record.TexTop = area.top / height;
    record.TexRight = (area.right - 1) / width;
    record.TexBottom = (area.bottom - 1) / height;
  }
  SetTextureVertices(record);
  return TSelection::Selected;
}

TD2D::TSelection TD2D::SelectSurfaceTexture(TDirectDrawSurface* Source, bool Transparent) {
  Device()->SetTexture(0, nullptr);
  const std::string name = IntToStr(static_cast<Int64>(reinterpret_cast<uintptr_t>(Source)));
  Integer index = FTextures->Find(name);
  if (index < 0 && AddTextureForSurface(Source, name, Transparent)) index = FTextures->Find(name);
  if (index < 0) return TSelection::NotMade;
  const TTextureRec& record = FTextures->Textures()[static_cast<size_t>(index)];
  if (!SetStageTexture(record)) {
    ClearTextures();
    return TSelection::Refused;
  }
  Device()->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, record.Texture->Transparent() ? 1 : 0);
  SetTextureVertices(record);
  return TSelection::Selected;
}
