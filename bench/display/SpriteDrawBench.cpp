// What a sprite costs the display layer before any pixel is written: picture items of several
// image lists drawn turned through the sprite renderer with the Direct3D stand-in's rasterising
// off, so the time per iteration is the per-quad overhead (texture lookup, render states, vertex
// set-up, the primitive call) alone. The lists and items are unnamed, as in the game's files, so
// the cache is keyed by name paths and holds about as many textures as the game's.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "display/D2D.h"
#include "display/ImageList.h"
#include "dxbase/DXClass.h"
#include "images/DIB.h"
#include "platform/TestControl.h"
#include "platform/d3d/D3DTestControl.h"
#include "platform/ddraw/DDrawTestControl.h"
#include "runtime/Forms.h"

namespace {

constexpr Integer kListCount = 4;
constexpr Integer kPatternSide = 32;

// A sheet of two patterns side by side, in a colour of its own.
void FillSheet(TPictureCollectionItem* item, TColor colour) {
  TDIB dib;
  dib.SetSize(2 * kPatternSide, kPatternSide, 24);
  for (Integer y = 0; y < kPatternSide; ++y)
    for (Integer x = 0; x < 2 * kPatternSide; ++x) dib.SetPixels(x, y, static_cast<DWORD>(colour));
  item->Picture()->SetGraphic(&dib);
  item->SetPatternWidth(kPatternSide);
  item->SetPatternHeight(kPatternSide);
}

void BM_DrawRotatePerQuad(benchmark::State& state) {
  setenv("ORVALIS_HOST", "headless", 1);
  TestResetPlatform();
  RegisterDirectDrawModule();
  FormsUnitInitialize();
  ImagesUnitInitialize();
  {
    TForm* form = new TForm(Application);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 640, 480);
    TDXDraw* dx = new TDXDraw(form);
    dx->SetAutoInitialize(false);
    dx->SetParent(form);
    dx->SetAlign(alClient);
    dx->SetOptions({doCenter, do3D, doDirectX7Mode, doHardware});

    const Integer itemsPerList = static_cast<Integer>(state.range(0));
    std::vector<TPictureCollectionItem*> sprites;
    std::vector<TDXImageList*> lists;
    for (Integer l = 0; l < kListCount; ++l) {
      lists.push_back(new TDXImageList(form));
      lists.back()->SetDXDraw(dx);
      for (Integer i = 0; i < itemsPerList; ++i)
        FillSheet(lists.back()->Items()->Add(), static_cast<TColor>(0x102030 * (l + 1) + i));
    }
    // The game interleaves lists within a frame: stars, shots, enemies, explosions.
    for (Integer i = 0; i < itemsPerList; ++i)
      for (TDXImageList* list : lists) sprites.push_back(list->Items()->Items(i));

    dx->Initialize();
    if (!dx->Initialized() || !dx->D2D() || !dx->D2D()->CanRender()) {
      state.SkipWithError("no sprite renderer");
    } else {
      TestD3DSetRasterizing(false);
      TDirectDrawSurface* back = dx->Surface();
      size_t next = 0;
      Integer angle = 0;
      for (auto _ : state) {
        sprites[next]->DrawRotate(back, 320, 240, 50, 50, 0, 0.5, 0.5, static_cast<Single>(angle));
        next = next + 1 == sprites.size() ? 0 : next + 1;
        angle = (angle + 7) & 255;
      }
      state.counters["textures"] = static_cast<double>(dx->D2D()->Textures()->Textures().size());
      TestD3DSetRasterizing(true);
    }
    delete form;
  }
  ImagesUnitFinalize();
  FormsUnitFinalize();
  FreeLoadedLibraries();
  TestResetPlatform();
}
// 8 items a list, and about the game's 450 textures.
BENCHMARK(BM_DrawRotatePerQuad)->Arg(8)->Arg(112)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
