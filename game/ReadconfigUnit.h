// A second form that the program creates and never shows or uses.
#pragma once

#include "runtime/Forms.h"

class TReadconfig : public TForm {
  ORVALIS_CLASS(TReadconfig, TForm)

  explicit TReadconfig(TComponent* AOwner);
};

extern TReadconfig* Readconfig;
