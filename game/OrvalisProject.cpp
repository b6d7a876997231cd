// The program: starts the platform and the component layer unit by unit, runs the program's
// main, and ends everything in the reverse order once the main form has closed.

#include <cstdlib>

#include "game/GameState.h"
#include "game/Program.h"
#include "platform/host/Platform.h"
#include "runtime/Forms.h"

const Integer EnemyShipCount = ORVALIS_ENEMY_SHIP_COUNT;

int main() {
  if (!PlatformStartup()) return EXIT_FAILURE;
  StartComponentLayer();

  int exitCode = EXIT_SUCCESS;
  try {
    ProgramMain();
  } catch (...) {
    // Making the forms failed: reported as any other exception, and the program ends.
    Application->HandleException(Application);
    exitCode = EXIT_FAILURE;
  }

  EndComponentLayer();
  PlatformShutdown();
  return exitCode;
}
