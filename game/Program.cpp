#include "game/Program.h"

#include "game/Orvalisunit.h"
#include "game/ReadconfigUnit.h"

void ProgramMain() {
  Application->Initialize();
  Application->CreateForm(OrvalisMain);
  Application->CreateForm(Readconfig);
  Application->Run();
}
