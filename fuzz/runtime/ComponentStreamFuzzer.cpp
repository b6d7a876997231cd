// Reads arbitrary bytes as a component resource into a form whose components publish every
// kind of property the stream knows. The reader must end every bad input with one of its
// exceptions: no crash, no hang, no read outside the data, no leak.
#include <cstddef>
#include <cstdint>

#include "runtime/ComponentStream.h"
#include "tests/runtime/SampleComponents.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = (RegisterSampleClasses(), true);
  (void)registered;
  SampleLoadLog().clear();
  TMemoryStream stream;
  stream.WriteBuffer(data, static_cast<Integer>(size));
  stream.SetPosition(0);
  TSampleForm form(nullptr);
  try {
    ReadComponentRes(stream, &form);
  } catch (const Exception&) {
    // Every malformed input ends here; the form and what it already holds are freed below.
  }
  return 0;
}
