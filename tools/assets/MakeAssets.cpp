// Writes the game's default assets into a folder: the image-list files under gfx/ and the
// resolution file. With --check it writes nothing and tells whether the folder's files are
// exactly what it would write, so the committed assets stay reproducible.
//
//   MakeAssets <folder>
//   MakeAssets --check <folder>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "display/ImageList.h"
#include "images/DIB.h"
#include "tools/assets/AssetPictures.h"

namespace {

struct TAssetFile {
  std::string Path;  // relative to the assets folder
  std::string Bytes;
};

std::string ImageListFile(const TAssetList& list) {
  TPictureCollection collection(nullptr);
  for (const auto& picture : list.Pictures) collection.Add()->Picture()->SetGraphic(picture.get());
  TMemoryStream stream;
  collection.SaveToStream(stream);
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

std::vector<TAssetFile> AssetFiles() {
  std::vector<TAssetFile> files;
  for (const TAssetList& list : MakeAssetLists())
    files.push_back({"gfx/" + list.FileName, ImageListFile(list)});
  // Layout 0: 1024 x 768.
  files.push_back({"aufloesung.cfg", "0\r\n"});
  return files;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int Write(const std::filesystem::path& folder) {
  for (const TAssetFile& asset : AssetFiles()) {
    const std::filesystem::path path = folder / asset.Path;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary);
    file.write(asset.Bytes.data(), static_cast<std::streamsize>(asset.Bytes.size()));
    if (!file) {
      std::cerr << "cannot write " << path << "\n";
      return EXIT_FAILURE;
    }
  }
  return EXIT_SUCCESS;
}

int Check(const std::filesystem::path& folder) {
  int result = EXIT_SUCCESS;
  for (const TAssetFile& asset : AssetFiles()) {
    const std::filesystem::path path = folder / asset.Path;
    if (!std::filesystem::exists(path) || ReadFile(path) != asset.Bytes) {
      std::cerr << path << " differs from what MakeAssets draws; run MakeAssets " << folder
                << "\n";
      result = EXIT_FAILURE;
    }
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const bool check = args.size() == 2 && args[0] == "--check";
  if (args.size() != 1 && !check) {
    std::cerr << "usage: MakeAssets [--check] <folder>\n";
    return EXIT_FAILURE;
  }
  ImagesUnitInitialize();
  const int result = check ? Check(args[1]) : Write(args[0]);
  ImagesUnitFinalize();
  return result;
}
