// Arbitrary bytes as an image-list file. Every malformed file must end in one of the class
// library's exceptions, with the items read so far still intact; whatever loads is written back
// and read again, which must give the same items (names aside: the writer re-encodes text that
// is not ASCII).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "display/ImageList.h"
#include "images/DIB.h"

namespace {

// The size of the picture's pixels; an empty picture (a bitmap without rows, say) has none,
// whatever its nominal size.
int64_t PixelsOf(TPictureCollectionItem* item) {
  TGraphic* graphic = item->Picture()->Graphic();
  if (graphic == nullptr || graphic->Empty()) return 0;
  return int64_t{graphic->Width()} * graphic->Height();
}

void ReadBack(TPictureCollection& loaded) {
  TMemoryStream written;
  loaded.SaveToStream(written);
  written.SetPosition(0);
  TPictureCollection reread(nullptr);
  reread.LoadFromStream(written);
  if (reread.Count() != loaded.Count()) std::abort();
  for (Integer i = 0; i < loaded.Count(); ++i) {
    TPictureCollectionItem* before = loaded.Items(i);
    TPictureCollectionItem* after = reread.Items(i);
    if (after->PatternWidth() != before->PatternWidth() || after->SkipHeight() != before->SkipHeight() ||
        after->TransparentColor() != before->TransparentColor() || PixelsOf(after) != PixelsOf(before))
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (ImagesUnitInitialize(), true);
  (void)started;
  TMemoryStream stream;
  stream.WriteBuffer(data, static_cast<Integer>(size));
  stream.SetPosition(0);
  TPictureCollection collection(nullptr);
  try {
    collection.LoadFromStream(stream);
  } catch (const Exception&) {
    // The items read before the failure stay; they must still be whole enough to be written.
  }
  try {
    ReadBack(collection);
  } catch (const EReadError&) {
    // A picture that does not read back as written (a header its reader rejects) is the data's
    // own fault, not the writer's.
  }
  return 0;
}
