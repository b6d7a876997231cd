#include "runtime/Menus.h"

#include "runtime/TypInfo.h"

const TClassInfo& TPopupMenu::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TPopupMenu>();
  return info;
}
