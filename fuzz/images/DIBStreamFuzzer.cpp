// Arbitrary bytes as a bitmap file (first byte odd) or as a bare data block (first byte even).
// Whatever loads is then read, decoded, drawn and written back; nothing may read or write
// outside a buffer, and only the documented exceptions may come out.
#include <cstddef>
#include <cstdint>

#include "images/DIB.h"

namespace {

// Large pictures are valid but slow to decode and draw; they teach the fuzzer nothing more.
constexpr int64_t kMaxExercisedPixels = 1 << 20;

void Exercise(TDIB& dib) {
  if (dib.Empty() || static_cast<int64_t>(dib.Width()) * dib.Height() > kMaxExercisedPixels) return;
  dib.Pixels(0, 0);
  dib.Pixels(dib.Width() - 1, dib.Height() - 1);
  TDIB target;
  target.SetSize(16, 16, 32);
  target.Canvas()->StretchDraw(Rect(0, 0, 16, 16), &dib);
  TMemoryStream saved;
  dib.SaveToStream(saved);
  saved.SetPosition(0);
  TDIB reread;
  reread.LoadFromStream(saved);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (ImagesUnitInitialize(), true);
  (void)started;
  if (size == 0) return 0;
  TMemoryStream stream;
  stream.WriteBuffer(data + 1, static_cast<Integer>(size - 1));
  stream.SetPosition(0);
  TDIB dib;
  try {
    if (data[0] & 1)
      dib.LoadFromStream(stream);
    else
      dib.ReadData(stream);
    Exercise(dib);
  } catch (const EInvalidGraphic&) {
  } catch (const EInvalidGraphicOperation&) {
  } catch (const EReadError&) {
  } catch (const EOutOfMemory&) {
  }
  return 0;
}
