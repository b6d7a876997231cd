#include "platform/mmsystem/Joysticks.h"

std::vector<HostJoystick>& HostJoysticks() {
  static std::vector<HostJoystick> joysticks;
  return joysticks;
}
