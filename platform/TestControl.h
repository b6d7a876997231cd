// Every knob tests turn on the platform, in one include. Each module keeps its own knobs; this
// header gathers them and adds the input and clock controls tests use most.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d/D3DTestControl.h"
#include "platform/d3drm/D3DRMTestControl.h"
#include "platform/ddraw/DDrawTestControl.h"
#include "platform/dinput/DInputTestControl.h"
#include "platform/gdi/GdiTestControl.h"
#include "platform/kernel/Clock.h"
#include "platform/kernel/Modules.h"
#include "platform/kernel/Registry.h"
#include "platform/mmsystem/Joysticks.h"
#include "platform/user/HostInput.h"
#include "platform/user/Screen.h"
#include "platform/user/UserTestControl.h"

// Clock: while manual, time moves only through TestAdvanceClock and TestSetClock.
inline void TestSetManualClock(bool on) { SetManualClock(on); }
inline void TestAdvanceClock(uint32_t milliseconds) { AdvanceManualClock(milliseconds); }
inline void TestSetClock(uint32_t milliseconds) { SetManualClockTime(milliseconds); }

// Keyboard, by virtual-key code: updates the key state and posts the key message.
inline void TestPressKey(int32_t virtualKey) { HostKeyEvent(virtualKey, true); }
inline void TestReleaseKey(int32_t virtualKey) { HostKeyEvent(virtualKey, false); }

// Pointer, in screen coordinates.
inline void TestMoveMouse(int32_t x, int32_t y) { HostMouseMove(x, y); }

// Focus: the program gains or loses the keyboard, with the activation messages that follow.
inline void TestSetApplicationActive(bool active) { HostFocusEvent(active); }

// The user closes the program's window: WM_CLOSE is posted to the main window.
inline void TestCloseMainWindow() { HostCloseRequest(); }

// Joysticks, by number. Attaching plugs one in under the lowest free number and returns that
// number; axes start centred, buttons released. Removing unplugs it: the others keep their
// numbers, and whoever read it finds it gone even after another joystick has taken its number.
inline int32_t TestAttachJoystick(int32_t axisCount, int32_t buttonCount, bool hasPov = false) {
  HostJoystick joystick;
  joystick.name = "Test joystick";
  joystick.axisCount = axisCount;
  joystick.buttonCount = buttonCount;
  joystick.hasPov = hasPov;
  return AttachHostJoystick(joystick);
}
inline void TestRemoveJoystick(int32_t joystick) { RemoveHostJoystick(joystick); }
// axis 0..5 (X, Y, Z, R, U, V), position 0..65535.
inline void TestSetJoystickAxis(int32_t joystick, int32_t axis, uint32_t position) {
  if (HostJoystick* attached = HostJoystickAt(joystick); attached && axis >= 0 && axis < 6)
    attached->axes[axis] = position;
}
inline void TestSetJoystickButtons(int32_t joystick, uint32_t heldMask) {
  if (HostJoystick* attached = HostJoystickAt(joystick)) attached->buttons = heldMask;
}
inline void TestSetJoystickPov(int32_t joystick, uint32_t hundredthsOfDegree) {
  if (HostJoystick* attached = HostJoystickAt(joystick)) attached->pov = hundredthsOfDegree;
}
// Whether the host can play force feedback on the joystick (as a haptic device would).
inline void TestSetJoystickForceFeedback(int32_t joystick, bool on) {
  if (HostJoystick* attached = HostJoystickAt(joystick)) attached->forceFeedback = on;
}

// The last presented frame (0x00RRGGBB, packed rows) and the number of frames presented.
inline bool TestLastFrame(std::vector<uint32_t>& pixels, int32_t& width, int32_t& height) {
  return ScreenLastFrame(pixels, width, height);
}
inline uint32_t TestFrameCount() { return ScreenFrameCount(); }

// Back to a fresh platform, every stand-in at once: no windows, classes, messages, keys, joysticks
// or registry values; the host focused; the real clock; DirectDraw with its default driver, modes
// and budget; Direct3D offered with its default devices; retained mode, DirectInput and GDI
// without refusals. Built-in modules stay registered. Like the resets it gathers, it is meant to
// run while no DirectDraw or DirectInput object is alive.
inline void TestResetPlatform() {
  InstallDirect3D();
  TestD3DReset();
  TestD3DRMReset();
  ResetWindowSystem();
  TestDDrawReset();
  TestDInputReset();
  GdiTestReset();
  RemoveAllHostJoysticks();
  RegistryClear();
  SetManualClock(false);
}
