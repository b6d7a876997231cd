#include "game/ReadconfigUnit.h"

TReadconfig* Readconfig = nullptr;

namespace {

constexpr const char* kStoredSettings = R"(
object Readconfig: TReadconfig
  Caption = 'Readconfig'
  ClientHeight = 134
  ClientWidth = 237
  Enabled = False
end
)";

}  // namespace

const TClassInfo& TReadconfig::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TReadconfig>();
  return info;
}

TReadconfig::TReadconfig(TComponent* AOwner) : TForm(AOwner) { ReadFormText(kStoredSettings); }
