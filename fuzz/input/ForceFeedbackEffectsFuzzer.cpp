// Reads arbitrary bytes as a stored force-feedback block into a free-standing effect tree, then
// writes whatever tree came of it back out. Every bad block must end in one of the stream's
// exceptions: no crash, no hang, no read outside the data, no leak.
#include <cstddef>
#include <cstdint>

#include "input/ForceFeedback.h"
#include "runtime/ComponentStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream;
  stream.WriteBuffer(data, static_cast<Integer>(size));
  stream.SetPosition(0);
  TForceFeedbackEffects effects(nullptr);
  try {
    effects.ReadEffects(stream);
  } catch (const Exception&) {
    // Malformed blocks end here; the part of the tree read so far is freed with it.
  }
  TMemoryStream written;
  effects.WriteEffects(written);
  return 0;
}
