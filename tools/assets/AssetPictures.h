// The game's default pictures, drawn from simple shapes: each image list as a file name under
// gfx/ and its pictures in item order, 4-bit bitmaps whose colour 0 is black (the transparent
// colour of picture items).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "images/DIB.h"

struct TAssetList {
  std::string FileName;  // e.g. "star1.dxg"
  std::vector<std::unique_ptr<TDIB>> Pictures;
};

std::vector<TAssetList> MakeAssetLists();
