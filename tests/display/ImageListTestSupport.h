// Shared by the image-list tests: a windowed display on a borderless form with one image list
// listening to it, the picture format "TDIB" registered, and small pictures to cut into patterns.
#pragma once

#include <functional>

#include "DisplayTestSupport.h"
#include "display/ImageList.h"
#include "images/DIB.h"

class ImageListTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    ImagesUnitInitialize();
  }
  void TearDown() override {
    delete form;
    form = nullptr;
    ImagesUnitFinalize();
    DisplayTest::TearDown();
  }

  // The list is made after the display, so the form frees it first, as on the game's form.
  void MakeDisplay(TDXDrawOptions options = {doCenter}) {
    form = MakeForm();
    dx = MakeClientDisplay(form, options);
    list = new TDXImageList(form);
    list->SetDXDraw(dx);
  }

  // A 24-bit picture whose pixel (x, y) is colour(x, y), a class-library colour (red low).
  static void Paint(TDIB& dib, Integer width, Integer height, const std::function<TColor(Integer, Integer)>& colour) {
    dib.SetSize(width, height, 24);
    for (Integer y = 0; y < height; ++y)
      for (Integer x = 0; x < width; ++x) dib.SetPixels(x, y, static_cast<DWORD>(colour(x, y)));
  }

  // A new item of the list holding a width x height picture of one colour.
  TPictureCollectionItem* AddItem(Integer width, Integer height, TColor colour = clRed) {
    TPictureCollectionItem* item = list->Items()->Add();
    TDIB dib;
    Paint(dib, width, height, [colour](Integer, Integer) { return colour; });
    item->Picture()->SetGraphic(&dib);
    return item;
  }

  // A 32-bit surface holds 0x00RRGGBB; class-library colours are 0x00BBGGRR.
  static DWORD SurfaceValue(TColor colour) {
    return (colour & 0x00FF00u) | (colour & 0xFFu) << 16 | (colour >> 16 & 0xFFu);
  }

  TForm* form = nullptr;
  TDXDraw* dx = nullptr;
  TDXImageList* list = nullptr;
};
