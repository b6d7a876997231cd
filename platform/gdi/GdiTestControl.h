// Knobs of the GDI stand-in for tests.
#pragma once

#include <cstddef>

// The next CreateDIBSection fails as when the system runs out of resources.
void GdiTestRefuseNextDIBSection();

// Device contexts, bitmaps, palettes, fonts and brushes created and not yet deleted (stock
// objects not counted): lets tests prove that owners give back what they made.
size_t GdiTestLiveObjectCount();

// Back to the state at start: no refusal pending.
void GdiTestReset();
