// The joysticks attached to the machine, as the host (or a test) reports them. The multimedia
// joystick functions and DirectInput both read this table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HostJoystick {
  std::string name;
  int32_t axisCount = 2;     // X, Y, Z, R, U, V: at most 6
  int32_t buttonCount = 0;   // at most 32
  // Positions from 0 to 65535, centre 32767; X, Y, Z, R, U, V.
  uint32_t axes[6] = {32767, 32767, 32767, 32767, 32767, 32767};
  uint32_t buttons = 0;  // bit i set while button i is held
  bool hasPov = false;
  // Point of view in hundredths of a degree clockwise from forward; 0xFFFF when centred.
  uint32_t pov = 0xFFFF;
};

// Attached joysticks in the order the host found them; the index is the joystick's number.
std::vector<HostJoystick>& HostJoysticks();
