// The joysticks attached to the machine, as the host (or a test) reports them. The multimedia
// joystick functions and DirectInput both read this table.
//
// A joystick keeps its number for as long as it stays plugged in: unplugging one leaves its
// number free instead of moving the others down, and a joystick plugged in takes the lowest free
// number. Every plug-in also gets an instance that is never given out again, so whoever holds on
// to a joystick notices that it has gone even when another one has taken its number since.
#pragma once

#include <cstdint>
#include <string>

struct HostJoystick {
  int32_t instance = 0;  // given by AttachHostJoystick
  std::string name;
  int32_t axisCount = 2;     // X, Y, Z, R, U, V: at most 6
  int32_t buttonCount = 0;   // at most 32
  // Positions from 0 to 65535, centre 32767; X, Y, Z, R, U, V.
  uint32_t axes[6] = {32767, 32767, 32767, 32767, 32767, 32767};
  uint32_t buttons = 0;  // bit i set while button i is held
  bool hasPov = false;
  // Point of view in hundredths of a degree clockwise from forward; 0xFFFF when centred.
  uint32_t pov = 0xFFFF;
  bool forceFeedback = false;  // the host can play force-feedback effects on it
};

// Plugs a joystick in under the lowest free number and gives it a new instance; returns the
// number.
int32_t AttachHostJoystick(HostJoystick joystick);
// Unplugs the joystick with that number; the others keep theirs.
void RemoveHostJoystick(int32_t number);
// Unplugs every joystick.
void RemoveAllHostJoysticks();
// The joystick plugged in under that number, null for a free number.
HostJoystick* HostJoystickAt(int32_t number);
// The number of the joystick with that instance; -1 once it has been unplugged.
int32_t HostJoystickNumber(int32_t instance);
// One past the highest number in use (0 without joysticks).
int32_t HostJoystickNumberLimit();
