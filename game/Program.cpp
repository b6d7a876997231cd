#include "game/Program.h"

#include "dxbase/DXClass.h"
#include "dxbase/DirectX.h"
#include "game/Orvalisunit.h"
#include "game/ReadconfigUnit.h"
#include "images/DIB.h"
#include "input/DXInput.h"

void StartComponentLayer() {
  FormsUnitInitialize();
  DirectXUnitInitialization();
  ImagesUnitInitialize();
  DXInputUnitInitialization();
}

void ProgramMain() {
  Application->Initialize();
  Application->CreateForm(OrvalisMain);
  Application->CreateForm(Readconfig);
  Application->Run();
}

void EndComponentLayer() {
  // The forms and their components go before the layer they stand on.
  FormsUnitFinalize();
  OrvalisMain = nullptr;
  Readconfig = nullptr;
  // The shared DirectInput object is released while its library is still bound; the libraries
  // the loader bound go next, before the bitmap unit and, last, the libraries taken at start.
  DXInputUnitFinalization();
  FreeLoadedLibraries();
  ImagesUnitFinalize();
  DirectXUnitFinalization();
}
