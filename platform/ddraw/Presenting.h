// Handing the pixels of the surface on show to the screen.
#pragma once

#include "platform/ddraw/PaletteAndClipper.h"
#include "platform/ddraw/SurfaceMemory.h"

// Presents the memory, read through the palette if it has one. Drawing kept back on the memory is
// started on other threads, and the frame presented once it is drawn (ScreenPresentWhenReady),
// so the program can go on with the next one meanwhile; until then, whoever changes the pixels
// has the frame presented first, as it is now.
void PresentMemory(SurfaceMemory& memory, const Palette* palette);
