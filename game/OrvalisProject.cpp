// The program: starts the platform and the component layer unit by unit, runs the program's
// main, and ends everything in the reverse order once the main form has closed.

#include <cstdlib>

#include "display/DirectX.h"
#include "game/GameState.h"
#include "game/Program.h"
#include "images/DIB.h"
#include "input/DXInput.h"
#include "platform/host/Platform.h"
#include "runtime/Forms.h"

const Integer EnemyShipCount = ORVALIS_ENEMY_SHIP_COUNT;

int main() {
  if (!PlatformStartup()) return EXIT_FAILURE;
  FormsUnitInitialize();
  DirectXUnitInitialization();
  ImagesUnitInitialize();
  DXInputUnitInitialization();

  int exitCode = EXIT_SUCCESS;
  try {
    ProgramMain();
  } catch (...) {
    // Making the forms failed: reported as any other exception, and the program ends.
    Application->HandleException(Application);
    exitCode = EXIT_FAILURE;
  }

  // The forms and their components go before the layer they stand on.
  FormsUnitFinalize();
  DXInputUnitFinalization();
  ImagesUnitFinalize();
  DirectXUnitFinalization();
  PlatformShutdown();
  return exitCode;
}
