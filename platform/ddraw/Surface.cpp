#include "platform/ddraw/Surface.h"

#include <algorithm>

#include "platform/ddraw/DirectDrawObject.h"
#include "platform/ddraw/DisplayDevice.h"
#include "platform/ddraw/KeptBackCopy.h"
#include "platform/ddraw/PaletteAndClipper.h"
#include "platform/ddraw/PixelFormats.h"
#include "platform/ddraw/Presenting.h"
#include "platform/ddraw/SurfaceMemory.h"

namespace {

constexpr DWORD kMaxBackBuffers = 3;
constexpr DWORD kPlacementCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
constexpr DWORD kFrontCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE;
constexpr DWORD kBltFlags = DDBLT_ASYNC | DDBLT_COLORFILL | DDBLT_DDFX | DDBLT_KEYSRC |
                            DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT | DDBLT_DONOTWAIT;
constexpr DWORD kBltFastFlags = DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT | DDBLTFAST_DONOTWAIT;
constexpr DWORD kFlipFlags = DDFLIP_WAIT | DDFLIP_NOVSYNC | DDFLIP_DONOTWAIT;
constexpr DWORD kBltFxSizeTag = 100;

enum class Placement { VideoOrSystem, Video, System };

HRESULT Refusal(DDrawCall call) { return DisplayDevice::Get().TakeRefusal(call); }

struct BufferSize {
  int32_t width;
  int32_t height;
};

// Memory for one buffer of each size, all in video memory or all in system memory.
HRESULT AllocateBuffers(const std::vector<BufferSize>& sizes, const DDPIXELFORMAT& format,
                        Placement placement, std::vector<std::shared_ptr<SurfaceMemory>>& buffers) {
  auto allocate = [&](bool video) {
    buffers.assign(sizes.size(), nullptr);
    for (size_t i = 0; i < sizes.size(); ++i)
      if (const HRESULT result =
              SurfaceMemory::Create(sizes[i].width, sizes[i].height, format, video, buffers[i]);
          FAILED(result)) {
        buffers.clear();
        return result;
      }
    return DD_OK;
  };
  if (placement == Placement::System) return allocate(false);
  const HRESULT inVideo = allocate(true);
  if (inVideo != DDERR_OUTOFVIDEOMEMORY || placement == Placement::Video) return inVideo;
  return allocate(false);
}

// A mipmap is a texture of its own: never the screen, part of a flipping chain or a depth buffer.
HRESULT CheckMipmapRequest(const SurfaceRequest& request) {
  if (!DisplayDevice::Get().MipmapsOffered()) return DDERR_NOMIPMAPHW;
  const DWORD caps = request.caps;
  if (!(caps & DDSCAPS_TEXTURE) ||
      (caps & (DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_ZBUFFER)) ||
      (request.flags & DDSD_BACKBUFFERCOUNT))
    return DDERR_INVALIDCAPS;
  return DD_OK;
}

// The sizes of a mipmap's levels: as many as asked, else every level down to 1 x 1 for a
// complex mipmap and the one level for a plain one.
HRESULT MipmapLevelSizes(const SurfaceRequest& request, int32_t width, int32_t height,
                         std::vector<BufferSize>& sizes) {
  const bool complex = request.caps & DDSCAPS_COMPLEX;
  size_t possible = 1;
  for (int32_t side = std::max(width, height); side > 1; side /= 2) ++possible;
  size_t levels = complex ? possible : 1;
  if (request.flags & DDSD_MIPMAPCOUNT) {
    levels = request.mipMapCount;
    if (levels == 0 || levels > possible) return DDERR_INVALIDPARAMS;
    if (levels > 1 && !complex) return DDERR_INVALIDCAPS;
  }
  sizes.clear();
  for (size_t level = 0; level < levels; ++level)
    sizes.push_back({std::max(width >> level, 1), std::max(height >> level, 1)});
  return DD_OK;
}

SourceColorKey MakeKey(const DDCOLORKEY& key, const DDPIXELFORMAT& format) {
  return SourceColorKey{key.dwColorSpaceLowValue, key.dwColorSpaceHighValue,
                        SignificantBits(format)};
}

// The version of the interface a caller asked through.
template <class Interface>
Interface* As(Surface* surface) {
  return static_cast<Interface*>(surface);
}

// Resolves a surface argument: null stays null, anything that is not our surface fails.
template <class Interface>
HRESULT Resolve(Interface* given, Surface*& surface) {
  surface = given ? Surface::From(given) : nullptr;
  return given && !surface ? DDERR_INVALIDOBJECT : DD_OK;
}

DWORD CapsExtra(const DDSCAPS&) { return 0; }
DWORD CapsExtra(const DDSCAPS2& caps) { return caps.dwCaps2; }

}  // namespace

// Making and ending surfaces.

HRESULT Surface::Create(DirectDrawObject* owner, const SurfaceRequest& request, Surface** surface) {
  *surface = nullptr;
  DWORD caps = request.caps;
  const bool primary = caps & DDSCAPS_PRIMARYSURFACE;
  const bool flipping = caps & DDSCAPS_FLIP;
  const bool mipmapped = caps & DDSCAPS_MIPMAP;
  if ((caps & DDSCAPS_SYSTEMMEMORY) && (caps & DDSCAPS_VIDEOMEMORY)) return DDERR_INVALIDCAPS;
  if (mipmapped) {
    if (const HRESULT result = CheckMipmapRequest(request)) return result;
  } else if (flipping != ((caps & DDSCAPS_COMPLEX) != 0) ||
             flipping != ((request.flags & DDSD_BACKBUFFERCOUNT) != 0)) {
    return DDERR_INVALIDCAPS;
  }
  if (flipping && (request.backBufferCount == 0 || request.backBufferCount > kMaxBackBuffers))
    return DDERR_INVALIDPARAMS;

  const DDrawDisplayMode mode = DisplayDevice::Get().CurrentMode();
  int32_t width = static_cast<int32_t>(request.width);
  int32_t height = static_cast<int32_t>(request.height);
  DDPIXELFORMAT format = request.format;
  Placement placement = caps & DDSCAPS_SYSTEMMEMORY  ? Placement::System
                        : caps & DDSCAPS_VIDEOMEMORY ? Placement::Video
                                                     : Placement::VideoOrSystem;
  if (primary) {
    // The primary surface is the screen: its size and format are the display mode's.
    if (request.flags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
    if (caps & DDSCAPS_SYSTEMMEMORY) return DDERR_INVALIDCAPS;
    if (!owner->HasCooperativeLevel()) return DDERR_NOCOOPERATIVELEVELSET;
    if (flipping && !owner->IsExclusive()) return DDERR_NOEXCLUSIVEMODE;
    width = mode.width;
    height = mode.height;
    format = DisplayPixelFormat(static_cast<uint32_t>(mode.bitCount));
    placement = Placement::Video;
  } else {
    if ((request.flags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) || width <= 0 ||
        height <= 0)
      return DDERR_INVALIDPARAMS;
    if (request.flags & DDSD_PIXELFORMAT) {
      if (const HRESULT result = CompletePixelFormat(format); FAILED(result)) return result;
    } else if (caps & DDSCAPS_ZBUFFER) {
      return DDERR_INVALIDPIXELFORMAT;
    } else {
      format = DisplayPixelFormat(static_cast<uint32_t>(mode.bitCount));
    }
    if (((caps & DDSCAPS_ZBUFFER) != 0) != ((format.dwFlags & DDPF_ZBUFFER) != 0))
      return DDERR_INVALIDPIXELFORMAT;
    if (PacksPixelsIntoBytes(format) && (caps & (DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE)))
      return DDERR_INVALIDPIXELFORMAT;
  }

  std::vector<BufferSize> sizes(flipping ? 1 + request.backBufferCount : 1, {width, height});
  if (mipmapped)
    if (const HRESULT result = MipmapLevelSizes(request, width, height, sizes)) return result;
  std::vector<std::shared_ptr<SurfaceMemory>> buffers;
  if (const HRESULT result = AllocateBuffers(sizes, format, placement, buffers); FAILED(result))
    return result;

  caps &= ~kPlacementCaps;
  caps |= buffers[0]->InVideoMemory() ? DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM
                                      : DDSCAPS_SYSTEMMEMORY;
  if (primary) caps |= DDSCAPS_VISIBLE;
  if (flipping) caps |= DDSCAPS_FRONTBUFFER;

  Surface* front = new Surface(owner, buffers[0], caps, request.caps2);
  front->modeAtCreation_ = mode;
  if (request.flags & DDSD_CKSRCBLT) front->sourceKey_ = request.sourceKey;
  if (request.flags & DDSD_CKDESTBLT) front->destKey_ = request.destKey;
  if (flipping) {
    front->chainFront_ = front;
    front->chain_.push_back(front);
    front->firstBuffer_ = buffers[0].get();
    for (size_t i = 1; i < buffers.size(); ++i) {
      const DWORD backCaps = (caps & ~kFrontCaps) | (i == 1 ? DDSCAPS_BACKBUFFER : 0);
      Surface* back = new Surface(owner, buffers[i], backCaps, request.caps2);
      back->modeAtCreation_ = mode;
      back->chainFront_ = front;
      front->chain_.push_back(back);
    }
  }
  if (mipmapped) {
    front->mipmapTop_ = front;
    front->mipmapLevels_.push_back(front);
    for (size_t i = 1; i < buffers.size(); ++i) {
      Surface* level = new Surface(owner, buffers[i], caps & ~DDSCAPS_COMPLEX, request.caps2);
      level->modeAtCreation_ = mode;
      level->mipmapTop_ = front;
      front->mipmapLevels_.push_back(level);
    }
  }
  *surface = front;
  return DD_OK;
}

HRESULT Surface::Duplicate(DirectDrawObject* owner, Surface* source, Surface** duplicate) {
  *duplicate = nullptr;
  if (!source) return DDERR_INVALIDOBJECT;
  if (source->IsShown() || source->chainFront_ || source->mipmapTop_) return DDERR_CANTDUPLICATE;
  if (source->memory_->IsLost()) return DDERR_SURFACELOST;
  Surface* copy = new Surface(owner, source->memory_, source->caps_, source->caps2_);
  copy->modeAtCreation_ = source->modeAtCreation_;
  copy->sourceKey_ = source->sourceKey_;
  copy->destKey_ = source->destKey_;
  *duplicate = copy;
  return DD_OK;
}

Surface::Surface(DirectDrawObject* owner, std::shared_ptr<SurfaceMemory> memory, DWORD caps,
                 DWORD caps2)
    : owner_(owner), memory_(std::move(memory)), caps_(caps), caps2_(caps2) {
  owner_->AddRef();
  owner_->AddSurface(this);
  DisplayDevice::Get().SurfaceCreated();
}

Surface::~Surface() {
  if (dc_) DeleteDC(dc_);
  if (chainFront_ == this) ReleaseChainMembers(chain_, &Surface::chainFront_);
  if (mipmapTop_ == this) ReleaseChainMembers(mipmapLevels_, &Surface::mipmapTop_);
  attached_.clear();
  clipper_.Reset();
  palette_.Reset();
  memory_.reset();
  DisplayDevice::Get().SurfaceDestroyed();
  owner_->RemoveSurface(this);
  static_cast<IDirectDraw7*>(owner_)->Release();
}

HRESULT Surface::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDirectDrawSurface7) {
    *object = As<IDirectDrawSurface7>(this);
  } else if (iid == IID_IDirectDrawSurface4) {
    *object = As<IDirectDrawSurface4>(this);
  } else if (iid == IID_IDirectDrawSurface) {
    *object = As<IDirectDrawSurface>(this);
  } else if (auto provider = DisplayDevice::Get().surfaceProvider) {
    return provider(As<IDirectDrawSurface7>(this), iid, object);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG Surface::AddRef() { return ++references_; }

ULONG Surface::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

// Helpers.

RECT Surface::Bounds() const { return RECT{0, 0, memory_->Width(), memory_->Height()}; }

HRESULT Surface::CheckUsable() const {
  if (memory_->IsLost()) return DDERR_SURFACELOST;
  if (locked_ || dc_) return DDERR_SURFACEBUSY;
  return DD_OK;
}

void Surface::PresentIfShown() const {
  if (IsShown() && !memory_->IsLost()) PresentMemory(*memory_, palette_.Get());
}

std::vector<Surface*> Surface::ChainOrSelf() {
  if (chainFront_) return chainFront_->chain_;
  if (mipmapTop_) return mipmapTop_->mipmapLevels_;
  return {this};
}

void Surface::ReleaseChainMembers(std::vector<Surface*>& members, Surface* Surface::*head) {
  for (Surface* member : members) {
    if (member == this) continue;
    member->*head = nullptr;
    member->Release();
  }
}

size_t Surface::MipmapIndex() const {
  const std::vector<Surface*>& levels = mipmapTop_->mipmapLevels_;
  return std::find(levels.begin(), levels.end(), this) - levels.begin();
}

// Blits.

HRESULT Surface::BlitFrom(RECT* destRect, Surface* source, RECT* sourceRect, DWORD flags,
                          DDBLTFX* fx) {
  if (const HRESULT refused = Refusal(DDrawCall::Blt)) return refused;
  if (flags & ~kBltFlags) return DDERR_INVALIDPARAMS;
  if (fx && fx->dwSize != kBltFxSizeTag) return DDERR_INVALIDPARAMS;
  if (!fx && (flags & (DDBLT_COLORFILL | DDBLT_DDFX | DDBLT_KEYSRCOVERRIDE)))
    return DDERR_INVALIDPARAMS;
  if (const HRESULT result = CheckUsable()) return result;
  if (PacksPixelsIntoBytes(memory_->Format())) return DDERR_UNSUPPORTED;

  const RECT dest = destRect ? *destRect : Bounds();
  if (!IsUsableBlitRect(dest)) return DDERR_INVALIDRECT;
  if (!clipper_ && !RectInside(dest, memory_->Width(), memory_->Height())) return DDERR_INVALIDRECT;
  const RECT visible =
      clipper_ ? clipper_->ClipRect(memory_->Width(), memory_->Height(), IsShown()) : Bounds();

  if (flags & DDBLT_COLORFILL) {
    const RECT filled = IntersectRects(dest, visible);
    if (filled.left == 0 && filled.top == 0 && filled.right == memory_->Width() &&
        filled.bottom == memory_->Height())
      LeaveMemoryToDrawingKeptBack();
    FillPixels(memory_->Pixels(), filled, fx->dwFillColor);
    PresentIfShown();
    return DD_OK;
  }

  if (!source) return DDERR_INVALIDPARAMS;
  if (source != this)
    if (const HRESULT result = source->CheckUsable()) return result;
  const RECT from = sourceRect ? *sourceRect : source->Bounds();
  if (IsEmptyRect(from) || !RectInside(from, source->memory_->Width(), source->memory_->Height()))
    return DDERR_INVALIDRECT;
  if (!SamePixelLayout(memory_->Format(), source->memory_->Format()))
    return DDERR_INVALIDPIXELFORMAT;

  std::optional<SourceColorKey> key;
  if (flags & DDBLT_KEYSRCOVERRIDE) {
    key = MakeKey(fx->ddckSrcColorkey, source->memory_->Format());
  } else if (flags & DDBLT_KEYSRC) {
    if (!source->sourceKey_) return DDERR_NOCOLORKEY;
    key = MakeKey(*source->sourceKey_, source->memory_->Format());
  }
  BlitGeometry geometry{dest, from, visible, false, false};
  if (flags & DDBLT_DDFX) {
    if (fx->dwDDFX & ~(DDBLTFX_MIRRORLEFTRIGHT | DDBLTFX_MIRRORUPDOWN)) return DDERR_UNSUPPORTED;
    geometry.mirrorLeftRight = fx->dwDDFX & DDBLTFX_MIRRORLEFTRIGHT;
    geometry.mirrorUpDown = fx->dwDDFX & DDBLTFX_MIRRORUPDOWN;
  }
  if (IsShown() && source->memory_ != memory_ && source->memory_->HasDeferredDrawing()) {
    // A frame blitted to the screen: its drawing goes on on other threads, and so does the
    // program.
    source->memory_->StartDeferredDrawing();
    keptBackCopy_ = std::make_unique<KeptBackCopy>(*memory_, *source->memory_, geometry, key);
  } else {
    CopyPixels(memory_->Pixels(), source->memory_->Pixels(), geometry, key ? &*key : nullptr);
  }
  PresentIfShown();
  return DD_OK;
}

void Surface::LeaveMemoryToDrawingKeptBack() {
  // Only for memory of this surface's own, which nobody else can tell apart from other memory.
  if (!memory_->HasDeferredDrawing() || memory_.use_count() != 1 || IsShown() ||
      chainFront_ || mipmapTop_)
    return;
  if (!spareMemory_) spareMemory_ = SurfaceMemory::CreateSpare(*memory_);
  // The spare was left to drawing a frame ago, and that has long been finished as a rule. What it
  // holds does not matter: the fill covers it.
  if (spareMemory_->IsLost())
    spareMemory_->Restore();
  else
    spareMemory_->FinishDeferredDrawing();
  std::swap(memory_, spareMemory_);
}

HRESULT Surface::FastBlitFrom(DWORD x, DWORD y, Surface* source, RECT* sourceRect, DWORD flags) {
  if (const HRESULT refused = Refusal(DDrawCall::BltFast)) return refused;
  if (flags & DDBLTFAST_DESTCOLORKEY) return DDERR_UNSUPPORTED;
  if (flags & ~kBltFastFlags) return DDERR_INVALIDPARAMS;
  // The fast path copies whole rectangles; clipping is for Blt.
  if (clipper_) return DDERR_BLTFASTCANTCLIP;
  if (!source) return DDERR_INVALIDPARAMS;
  if (const HRESULT result = CheckUsable()) return result;
  if (PacksPixelsIntoBytes(memory_->Format())) return DDERR_UNSUPPORTED;
  if (source != this)
    if (const HRESULT result = source->CheckUsable()) return result;
  const RECT from = sourceRect ? *sourceRect : source->Bounds();
  if (IsEmptyRect(from) || !RectInside(from, source->memory_->Width(), source->memory_->Height()))
    return DDERR_INVALIDRECT;
  const int64_t right = int64_t{x} + (from.right - from.left);
  const int64_t bottom = int64_t{y} + (from.bottom - from.top);
  if (right > memory_->Width() || bottom > memory_->Height()) return DDERR_INVALIDRECT;
  if (!SamePixelLayout(memory_->Format(), source->memory_->Format()))
    return DDERR_INVALIDPIXELFORMAT;

  std::optional<SourceColorKey> key;
  if (flags & DDBLTFAST_SRCCOLORKEY) {
    if (!source->sourceKey_) return DDERR_NOCOLORKEY;
    key = MakeKey(*source->sourceKey_, source->memory_->Format());
  }
  const RECT dest{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(right),
                  static_cast<LONG>(bottom)};
  CopyPixels(memory_->Pixels(), source->memory_->Pixels(),
             BlitGeometry{dest, from, dest, false, false}, key ? &*key : nullptr);
  PresentIfShown();
  return DD_OK;
}

// Flipping chains and attachments.

HRESULT Surface::FlipTo(Surface* target, DWORD flags) {
  if (const HRESULT refused = Refusal(DDrawCall::Flip)) return refused;
  if (flags & ~kFlipFlags) return DDERR_INVALIDPARAMS;
  if (chainFront_ != this) return DDERR_NOTFLIPPABLE;
  if (target && (target == this || std::find(chain_.begin(), chain_.end(), target) == chain_.end()))
    return DDERR_INVALIDPARAMS;
  if (IsShown() && !owner_->IsExclusive()) return DDERR_NOEXCLUSIVEMODE;
  for (const Surface* member : chain_)
    if (const HRESULT result = member->CheckUsable()) return result;

  if (target) {
    std::swap(memory_, target->memory_);
  } else {
    // Each buffer takes the memory of the one behind it; the front's goes to the last.
    for (size_t i = 0; i + 1 < chain_.size(); ++i)
      std::swap(chain_[i]->memory_, chain_[i + 1]->memory_);
  }
  PresentIfShown();
  return DD_OK;
}

bool Surface::FlipToFirstBuffer() {
  if (chainFront_ != this || !IsShown() || memory_.get() == firstBuffer_) return false;
  for (size_t turns = 0; turns < chain_.size() && memory_.get() != firstBuffer_; ++turns)
    for (size_t i = 0; i + 1 < chain_.size(); ++i)
      std::swap(chain_[i]->memory_, chain_[i + 1]->memory_);
  PresentIfShown();
  return true;
}

HRESULT Surface::AttachSurface(Surface* surface) {
  if (const HRESULT refused = Refusal(DDrawCall::AddAttachedSurface)) return refused;
  if (!surface) return DDERR_INVALIDPARAMS;
  // Depth buffers are what gets attached; a depth buffer takes nothing itself, which also keeps
  // attachments free of cycles.
  if (surface == this || !(surface->caps_ & DDSCAPS_ZBUFFER) || (caps_ & DDSCAPS_ZBUFFER) ||
      surface->memory_->Width() != memory_->Width() ||
      surface->memory_->Height() != memory_->Height())
    return DDERR_CANNOTATTACHSURFACE;
  if (std::find(attached_.begin(), attached_.end(), ComPtr<Surface>(surface)) != attached_.end())
    return DDERR_SURFACEALREADYATTACHED;
  attached_.emplace_back(surface);
  return DD_OK;
}

HRESULT Surface::DetachSurface(DWORD flags, Surface* surface, bool detachAll) {
  if (flags != 0) return DDERR_INVALIDPARAMS;
  if (detachAll) {
    attached_.clear();
    return DD_OK;
  }
  const auto found = std::find(attached_.begin(), attached_.end(), ComPtr<Surface>(surface));
  if (found == attached_.end()) {
    const bool inChain = (chainFront_ && surface->chainFront_ == chainFront_) ||
                         (mipmapTop_ && surface->mipmapTop_ == mipmapTop_);
    return inChain ? DDERR_CANNOTDETACHSURFACE : DDERR_SURFACENOTATTACHED;
  }
  attached_.erase(found);
  return DD_OK;
}

HRESULT Surface::FindAttached(DWORD caps, DWORD caps2, Surface** surface) {
  *surface = nullptr;
  if (const HRESULT refused = Refusal(DDrawCall::GetAttachedSurface)) return refused;
  auto matches = [&](const Surface* candidate) {
    return (candidate->caps_ & caps) == caps && (candidate->caps2_ & caps2) == caps2;
  };
  if (chainFront_) {
    const auto& chain = chainFront_->chain_;
    const size_t index = std::find(chain.begin(), chain.end(), this) - chain.begin();
    Surface* next = chain[(index + 1) % chain.size()];
    if (matches(next)) *surface = next;
  }
  if (mipmapTop_) {
    const std::vector<Surface*>& levels = mipmapTop_->mipmapLevels_;
    const size_t next = MipmapIndex() + 1;
    if (next < levels.size() && matches(levels[next])) *surface = levels[next];
  }
  for (const auto& candidate : attached_)
    if (!*surface && matches(candidate.Get())) *surface = candidate.Get();
  if (!*surface) return DDERR_NOTFOUND;
  (*surface)->AddRef();
  return DD_OK;
}

// Locks, descriptions and device contexts.

template <class Desc>
HRESULT Surface::Describe(Desc* desc) const {
  if (!desc || !IsDescSize<Desc>(desc->dwSize)) return DDERR_INVALIDPARAMS;
  ClearDescription(*desc);
  const DDPIXELFORMAT& format = memory_->Format();
  desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = static_cast<DWORD>(memory_->Width());
  desc->dwHeight = static_cast<DWORD>(memory_->Height());
  desc->lPitch = memory_->Pitch();
  desc->ddpfPixelFormat = format;
  desc->ddsCaps.dwCaps = caps_;
  if constexpr (std::is_same_v<Desc, DDSURFACEDESC2>) {
    desc->ddsCaps.dwCaps2 = caps2_;
  } else if (format.dwFlags & DDPF_ZBUFFER) {
    desc->dwFlags |= DDSD_ZBUFFERBITDEPTH;
    desc->dwZBufferBitDepth = format.dwZBufferBitDepth;
  }
  if (chainFront_ == this) {
    desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
    desc->dwBackBufferCount = static_cast<DWORD>(chain_.size() - 1);
  }
  if (mipmapTop_) {
    // Each level counts itself and the levels below it.
    desc->dwFlags |= DDSD_MIPMAPCOUNT;
    desc->dwMipMapCount = static_cast<DWORD>(mipmapTop_->mipmapLevels_.size() - MipmapIndex());
  }
  if (sourceKey_) {
    desc->dwFlags |= DDSD_CKSRCBLT;
    desc->ddckCKSrcBlt = *sourceKey_;
  }
  if (destKey_) {
    desc->dwFlags |= DDSD_CKDESTBLT;
    desc->ddckCKDestBlt = *destKey_;
  }
  return DD_OK;
}

template <class Desc>
HRESULT Surface::LockPixels(RECT* rect, Desc* desc) {
  if (const HRESULT refused = Refusal(DDrawCall::Lock)) return refused;
  if (!desc || !IsDescSize<Desc>(desc->dwSize)) return DDERR_INVALIDPARAMS;
  if (const HRESULT result = CheckUsable()) return result;
  const RECT area = rect ? *rect : Bounds();
  if (IsEmptyRect(area) || !RectInside(area, memory_->Width(), memory_->Height()))
    return DDERR_INVALIDRECT;
  // Rows of 1- and 4-bit pixels are locked from a whole byte.
  const int64_t leftBit = int64_t{area.left} * BitsPerPixel(memory_->Format());
  if (leftBit % 8 != 0) return DDERR_INVALIDRECT;
  Describe(desc);
  const PixelBlock pixels = memory_->Pixels();
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = pixels.bits + static_cast<ptrdiff_t>(area.top) * pixels.pitch +
                    static_cast<ptrdiff_t>(leftBit / 8);
  locked_ = true;
  return DD_OK;
}

HRESULT Surface::MemoryForDrawing(SurfaceMemory** memory) {
  *memory = nullptr;
  if (const HRESULT refused = Refusal(DDrawCall::Lock)) return refused;
  if (const HRESULT result = CheckUsable()) return result;
  *memory = memory_.get();
  return DD_OK;
}

HRESULT Surface::UnlockPixels() {
  if (!locked_) return DDERR_NOTLOCKED;
  locked_ = false;
  PresentIfShown();
  return DD_OK;
}

HRESULT Surface::GetDC(HDC* dc) {
  if (const HRESULT refused = Refusal(DDrawCall::GetDC)) return refused;
  if (!dc) return DDERR_INVALIDPARAMS;
  *dc = nullptr;
  if (memory_->IsLost()) return DDERR_SURFACELOST;
  if (dc_) return DDERR_DCALREADYCREATED;
  if (locked_) return DDERR_SURFACEBUSY;
  const DDPIXELFORMAT& format = memory_->Format();
  if (format.dwFlags & DDPF_ZBUFFER) return DDERR_CANTCREATEDC;

  // Drawing kept back on the memory is finished for the rows the context goes on to use.
  const PixelBlock pixels = memory_->PixelsByRows();
  const DWORD masks[3] = {format.dwRBitMask, format.dwGBitMask, format.dwBBitMask};
  RGBQUAD colors[256];
  const bool indexed = IsPaletteIndexed(format);
  if (indexed && palette_) {
    for (int i = 0; i < 256; ++i) {
      const PALETTEENTRY& entry = palette_->Entries()[i];
      colors[i] = RGBQUAD{entry.peBlue, entry.peGreen, entry.peRed, 0};
    }
  }
  const int32_t bitCount = static_cast<int32_t>(format.dwRGBBitCount);
  const HDC made = CreateMemoryDCForPixels(pixels.bits, pixels.width, pixels.height, pixels.pitch,
                                           bitCount, bitCount == 24 || indexed ? nullptr : masks,
                                           indexed && palette_ ? colors : nullptr);
  if (!made) return DDERR_CANTCREATEDC;
  SetDCRowsInUse(made, [memory = memory_](int32_t top, int32_t bottom) {
    memory->RowsInUse(top, bottom);
  });
  dc_ = made;
  *dc = made;
  return DD_OK;
}

HRESULT Surface::ReleaseDC(HDC dc) {
  if (!dc_) return DDERR_NODC;
  if (dc != dc_) return DDERR_INVALIDPARAMS;
  DeleteDC(dc_);
  dc_ = nullptr;
  PresentIfShown();
  return DD_OK;
}

// Lost surfaces.

HRESULT Surface::IsLost() { return memory_->IsLost() ? DDERR_SURFACELOST : DD_OK; }

HRESULT Surface::Restore() {
  if (const HRESULT refused = Refusal(DDrawCall::Restore)) return refused;
  return RestoreMemory();
}

HRESULT Surface::RestoreMemory() {
  const Surface* front = chainFront_ ? chainFront_ : this;
  // A primary made for another display mode no longer fits the screen.
  if (front->IsShown() && !(front->modeAtCreation_ == DisplayDevice::Get().CurrentMode()))
    return DDERR_WRONGMODE;
  for (Surface* member : ChainOrSelf())
    if (member->memory_->IsLost()) member->memory_->Restore();
  return DD_OK;
}

// Colour keys, clipper, palette and plain queries.

HRESULT Surface::SetColorKey(DWORD flags, DDCOLORKEY* key) {
  if (const HRESULT refused = Refusal(DDrawCall::SetColorKey)) return refused;
  const DWORD which = flags & ~DDCKEY_COLORSPACE;
  if (which != DDCKEY_SRCBLT && which != DDCKEY_DESTBLT) return DDERR_INVALIDPARAMS;
  std::optional<DDCOLORKEY>& slot = which == DDCKEY_SRCBLT ? sourceKey_ : destKey_;
  if (!key) {
    slot.reset();
    return DD_OK;
  }
  DDCOLORKEY stored = *key;
  if (!(flags & DDCKEY_COLORSPACE)) stored.dwColorSpaceHighValue = stored.dwColorSpaceLowValue;
  slot = stored;
  return DD_OK;
}

HRESULT Surface::GetColorKey(DWORD flags, DDCOLORKEY* key) {
  if (!key || (flags != DDCKEY_SRCBLT && flags != DDCKEY_DESTBLT)) return DDERR_INVALIDPARAMS;
  const std::optional<DDCOLORKEY>& slot = flags == DDCKEY_SRCBLT ? sourceKey_ : destKey_;
  if (!slot) return DDERR_NOCOLORKEY;
  *key = *slot;
  return DD_OK;
}

HRESULT Surface::SetClipper(IDirectDrawClipper* clipper) {
  if (const HRESULT refused = Refusal(DDrawCall::SetClipper)) return refused;
  if (!clipper) {
    if (!clipper_) return DDERR_NOCLIPPERATTACHED;
    clipper_.Reset();
    return DD_OK;
  }
  Clipper* ours = dynamic_cast<Clipper*>(clipper);
  if (!ours) return DDERR_INVALIDOBJECT;
  clipper_ = ComPtr<Clipper>(ours);
  return DD_OK;
}

HRESULT Surface::GetClipper(IDirectDrawClipper** clipper) {
  if (!clipper) return DDERR_INVALIDPARAMS;
  *clipper = clipper_.Get();
  if (!clipper_) return DDERR_NOCLIPPERATTACHED;
  clipper_->AddRef();
  return DD_OK;
}

HRESULT Surface::SetPalette(IDirectDrawPalette* palette) {
  if (const HRESULT refused = Refusal(DDrawCall::SetPalette)) return refused;
  if (!palette) {
    if (!palette_) return DDERR_NOPALETTEATTACHED;
    palette_.Reset();
    return DD_OK;
  }
  Palette* ours = dynamic_cast<Palette*>(palette);
  if (!ours) return DDERR_INVALIDOBJECT;
  if (!IsPaletteIndexed(memory_->Format())) return DDERR_INVALIDPIXELFORMAT;
  palette_ = ComPtr<Palette>(ours);
  return DD_OK;
}

HRESULT Surface::GetPalette(IDirectDrawPalette** palette) {
  if (!palette) return DDERR_INVALIDPARAMS;
  *palette = palette_.Get();
  if (!palette_) return DDERR_NOPALETTEATTACHED;
  palette_->AddRef();
  return DD_OK;
}

HRESULT Surface::GetPixelFormat(DDPIXELFORMAT* format) {
  if (!format) return DDERR_INVALIDPARAMS;
  *format = memory_->Format();
  return DD_OK;
}

HRESULT Surface::GetDDInterface(void** directDraw) {
  if (!directDraw) return DDERR_INVALIDPARAMS;
  IDirectDraw* object = owner_;
  object->AddRef();
  *directDraw = object;
  return DD_OK;
}

// The versioned entry points, each a thin door to the work above.

HRESULT Surface::GetCaps(DDSCAPS2* caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  *caps = DDSCAPS2{caps_, caps2_, 0, 0};
  return DD_OK;
}

HRESULT Surface::GetCaps(DDSCAPS* caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  caps->dwCaps = caps_;
  return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(DDSURFACEDESC2* desc) { return Describe(desc); }
HRESULT Surface::GetSurfaceDesc(DDSURFACEDESC* desc) { return Describe(desc); }
HRESULT Surface::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD, HANDLE) {
  return LockPixels(rect, desc);
}
HRESULT Surface::Lock(RECT* rect, DDSURFACEDESC* desc, DWORD, HANDLE) {
  return LockPixels(rect, desc);
}
HRESULT Surface::Unlock(RECT*) { return UnlockPixels(); }
HRESULT Surface::Unlock(void*) { return UnlockPixels(); }

// The doors that name other surfaces take them through the caller's interface version; each
// resolves them to our surface, and answers found ones through that version.

template <class Interface>
HRESULT Surface::AddAttachedAnyVersion(Interface* surface) {
  Surface* resolved;
  if (const HRESULT result = Resolve(surface, resolved)) return result;
  return AttachSurface(resolved);
}

template <class Interface>
HRESULT Surface::BltAnyVersion(RECT* destRect, Interface* source, RECT* sourceRect, DWORD flags,
                               DDBLTFX* fx) {
  Surface* resolved;
  if (const HRESULT result = Resolve(source, resolved)) return result;
  return BlitFrom(destRect, resolved, sourceRect, flags, fx);
}

template <class Interface>
HRESULT Surface::BltFastAnyVersion(DWORD x, DWORD y, Interface* source, RECT* sourceRect,
                                   DWORD flags) {
  Surface* resolved;
  if (const HRESULT result = Resolve(source, resolved)) return result;
  return FastBlitFrom(x, y, resolved, sourceRect, flags);
}

template <class Interface>
HRESULT Surface::DeleteAttachedAnyVersion(DWORD flags, Interface* surface) {
  Surface* resolved;
  if (const HRESULT result = Resolve(surface, resolved)) return result;
  return DetachSurface(flags, resolved, surface == nullptr);
}

template <class Interface>
HRESULT Surface::FlipAnyVersion(Interface* target, DWORD flags) {
  Surface* resolved;
  if (const HRESULT result = Resolve(target, resolved)) return result;
  return FlipTo(resolved, flags);
}

template <class CapsRecord, class Interface>
HRESULT Surface::GetAttachedAnyVersion(CapsRecord* caps, Interface** surface) {
  if (!caps || !surface) return DDERR_INVALIDPARAMS;
  Surface* found;
  const HRESULT result = FindAttached(caps->dwCaps, CapsExtra(*caps), &found);
  *surface = found ? As<Interface>(found) : nullptr;
  return result;
}

HRESULT Surface::AddAttachedSurface(IDirectDrawSurface7* surface) {
  return AddAttachedAnyVersion(surface);
}
HRESULT Surface::Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags,
                     DDBLTFX* fx) {
  return BltAnyVersion(destRect, source, sourceRect, flags, fx);
}
HRESULT Surface::BltFast(DWORD x, DWORD y, IDirectDrawSurface7* source, RECT* sourceRect,
                         DWORD flags) {
  return BltFastAnyVersion(x, y, source, sourceRect, flags);
}
HRESULT Surface::DeleteAttachedSurface(DWORD flags, IDirectDrawSurface7* surface) {
  return DeleteAttachedAnyVersion(flags, surface);
}
HRESULT Surface::Flip(IDirectDrawSurface7* target, DWORD flags) {
  return FlipAnyVersion(target, flags);
}
HRESULT Surface::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) {
  return GetAttachedAnyVersion(caps, surface);
}

HRESULT Surface::AddAttachedSurface(IDirectDrawSurface4* surface) {
  return AddAttachedAnyVersion(surface);
}
HRESULT Surface::Blt(RECT* destRect, IDirectDrawSurface4* source, RECT* sourceRect, DWORD flags,
                     DDBLTFX* fx) {
  return BltAnyVersion(destRect, source, sourceRect, flags, fx);
}
HRESULT Surface::BltFast(DWORD x, DWORD y, IDirectDrawSurface4* source, RECT* sourceRect,
                         DWORD flags) {
  return BltFastAnyVersion(x, y, source, sourceRect, flags);
}
HRESULT Surface::DeleteAttachedSurface(DWORD flags, IDirectDrawSurface4* surface) {
  return DeleteAttachedAnyVersion(flags, surface);
}
HRESULT Surface::Flip(IDirectDrawSurface4* target, DWORD flags) {
  return FlipAnyVersion(target, flags);
}
HRESULT Surface::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** surface) {
  return GetAttachedAnyVersion(caps, surface);
}

HRESULT Surface::AddAttachedSurface(IDirectDrawSurface* surface) {
  return AddAttachedAnyVersion(surface);
}
HRESULT Surface::Blt(RECT* destRect, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags,
                     DDBLTFX* fx) {
  return BltAnyVersion(destRect, source, sourceRect, flags, fx);
}
HRESULT Surface::BltFast(DWORD x, DWORD y, IDirectDrawSurface* source, RECT* sourceRect,
                         DWORD flags) {
  return BltFastAnyVersion(x, y, source, sourceRect, flags);
}
HRESULT Surface::DeleteAttachedSurface(DWORD flags, IDirectDrawSurface* surface) {
  return DeleteAttachedAnyVersion(flags, surface);
}
HRESULT Surface::Flip(IDirectDrawSurface* target, DWORD flags) {
  return FlipAnyVersion(target, flags);
}
HRESULT Surface::GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** surface) {
  return GetAttachedAnyVersion(caps, surface);
}
