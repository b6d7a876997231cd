// Menus as far as controls refer to them: a control names the pop-up menu it offers. This
// platform draws no menus, so a pop-up menu holds no items; it is a component that stored forms
// create and that controls reference by name.
#pragma once

#include "runtime/Classes.h"

class TPopupMenu : public TComponent {
  ORVALIS_CLASS(TPopupMenu, TComponent)

  using TComponent::TComponent;
};
