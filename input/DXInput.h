// The input component: a keyboard, a joystick and a mouse gathered into one set of 36 input
// states that the application reads once a frame. Devices are read through DirectInput when it
// can be created, the keyboard and the joystick through the plain platform functions otherwise.
// The component watches its form's messages to bind the devices to the form's window and to
// acquire them again whenever the form or the application becomes active.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "dxbase/ControlSubClass.h"
#include "platform/dinput/DInput.h"
#include "platform/kernel/ComPtr.h"
#include "runtime/Classes.h"
#include "runtime/Forms.h"

class EDXInputError : public Exception {
 public:
  using Exception::Exception;
};

// The class library's error for an interface an object does not offer.
inline constexpr const char* SIntfCastError = "Interface nicht unterstützt";
class EIntfCastError : public Exception {
 public:
  using Exception::Exception;
};

// ---- States ----

enum TInputState : uint8_t {
  StateUp, StateDown, StateLeft, StateRight,
  StateButton1, StateButton2, StateButton3, StateButton4, StateButton5, StateButton6,
  StateButton7, StateButton8, StateButton9, StateButton10, StateButton11, StateButton12,
  StateButton13, StateButton14, StateButton15, StateButton16, StateButton17, StateButton18,
  StateButton19, StateButton20, StateButton21, StateButton22, StateButton23, StateButton24,
  StateButton25, StateButton26, StateButton27, StateButton28, StateButton29, StateButton30,
  StateButton31, StateButton32
};
inline constexpr Integer InputStateCount = 36;

// The state of the N-th button (N from 1 to 32).
constexpr TInputState ButtonState(Integer N) { return static_cast<TInputState>(StateButton1 + N - 1); }

// A set of input states in five bytes: state n is bit (n mod 8) of byte (n div 8). Values past
// the last state are never included, so bits 36 to 39 stay clear.
class TInputStates {
 public:
  constexpr TInputStates() = default;
  constexpr TInputStates(std::initializer_list<TInputState> states) {
    for (TInputState state : states) Include(state);
  }

  constexpr bool Contains(TInputState state) const {
    return state < InputStateCount && (FBytes[state / 8] >> (state % 8)) & 1;
  }
  constexpr void Include(TInputState state) {
    if (state < InputStateCount) FBytes[state / 8] |= static_cast<uint8_t>(1u << (state % 8));
  }
  constexpr void Exclude(TInputState state) {
    if (state < InputStateCount) FBytes[state / 8] &= static_cast<uint8_t>(~(1u << (state % 8)));
  }
  constexpr bool Empty() const {
    for (uint8_t byte : FBytes)
      if (byte) return false;
    return true;
  }
  constexpr TInputStates operator+(const TInputStates& other) const {
    TInputStates united;
    for (size_t i = 0; i < FBytes.size(); ++i) united.FBytes[i] = FBytes[i] | other.FBytes[i];
    return united;
  }
  constexpr bool operator==(const TInputStates&) const = default;

  const std::array<uint8_t, 5>& Bytes() const { return FBytes; }

 private:
  std::array<uint8_t, 5> FBytes{};
};

// ---- The shared DirectInput instance ----

// A counted reference to the one DirectInput object of the process, made on first demand through
// "DInput.dll"; nil when DirectInput cannot be had (a missing library is no error here).
void AcquireDirectInput(ComPtr<IDirectInput>& DI);
// Drops a reference taken by AcquireDirectInput and clears it; the last holder's release frees
// the shared object, and the next acquisition makes a new one.
void ReleaseDirectInput(ComPtr<IDirectInput>& DI);
// The end of the input layer, after every input component is gone: frees the shared
// DirectInput object if anything still holds it.
void DXInputUnitFinalization();
// The start of the input layer: makes TDXInput known to the component stream.
void DXInputUnitInitialization();

class TCustomDXInput;
class TForceFeedbackEffects;
class TJoystick;
class TKeyboard;
class TMouse;

// ---- One device ----

class TCustomInput : public TPersistent {
  ORVALIS_CLASS(TCustomInput, TPersistent)

  // Joins DXInput's device list, which it leaves again when freed.
  explicit TCustomInput(TCustomDXInput* DXInput);
  ~TCustomInput() override;

  // Lets go of the device and its effects and forgets the states. Device classes clear their own
  // readings first, then call this.
  virtual void Finalize();
  // Marks the device initialised and makes its effects. Device classes finalise, make their
  // device and call this last when they succeed.
  virtual void Initialize();
  virtual DWORD GetCooperativeLevel();
  // Reads the device into States; empty unless initialised and, with ActiveOnly, in the
  // foreground.
  virtual void Update() = 0;

  // Acquires the device and restarts its endless effects, unless ActiveOnly holds and the form
  // is not in the foreground.
  void Acquire();
  void SetWindowHandle(HWND Wnd);

  bool BindInputStates() const { return FBindInputStates; }
  void SetBindInputStates(bool Value) { FBindInputStates = Value; }
  Integer ButtonCount() const { return FButtonCount; }
  TForceFeedbackEffects* Effects() const { return FEffects; }
  void SetEffects(TForceFeedbackEffects* Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool ForceFeedback() const { return FForceFeedback; }
  void SetForceFeedback(bool Value);
  bool ForceFeedbackDevice() const { return FForceFeedbackDevice; }
  bool Initialized() const { return FInitialized; }
  TInputStates States() const { return FStates; }
  IDirectInputDevice* Device() const { return FDevice.Get(); }
  IDirectInputDevice2* Device2() const { return FDevice2.Get(); }
  TCustomDXInput* DXInput() const { return FDXInput; }

 protected:
  // Size bytes of the device's state into Data (zeros first); a lost or unacquired device is
  // acquired and read once more. False without a device or when the read fails.
  bool GetDeviceState(DWORD Size, void* Data);
  // Gives the device a data format made of its own objects; FDataFormat's flags and data size
  // are the caller's. True without a device.
  bool SetDataFormat();
  // Reading is allowed: initialised, and in the foreground when ActiveOnly asks for it.
  bool CanRead() const;
  bool DesignTime() const;

  Integer FButtonCount = 0;
  DIDATAFORMAT FDataFormat{};
  ComPtr<IDirectInputDevice> FDevice;
  ComPtr<IDirectInputDevice2> FDevice2;
  bool FForceFeedbackDevice = false;
  TInputStates FStates;

 private:
  static BOOL EnumObjectCallback(const DIDEVICEOBJECTINSTANCE* Object, void* Context);
  bool ReadingSettings() const;

  bool FBindInputStates = true;
  std::array<DIOBJECTDATAFORMAT, 256> FObjects{};
  std::array<GUID, 256> FObjectGuids{};
  TCustomDXInput* FDXInput;
  TForceFeedbackEffects* FEffects = nullptr;
  bool FEnabled = true;
  bool FForceFeedback = false;
  bool FInitialized = false;
  // Set while Acquire restarts the effects: an effect that asks for the device again from there
  // gets the device only, not another round of restarts.
  bool FAcquiringEffects = false;
};

// ---- The component ----

class TCustomDXInput : public TComponent {
  ORVALIS_CLASS(TCustomDXInput, TComponent)

  // Needs a form among its owners, whose messages it watches: raises EDXInputError
  // "Form not found" without one.
  explicit TCustomDXInput(TComponent* AOwner);
  ~TCustomDXInput() override;

  // Finalises, takes DirectInput (when used), initialises every device, binds them to the
  // form's window and polls them once.
  void Initialize();
  void Finalize();
  // Binds every device to the form's window (making the window if there is none yet).
  void SetWindowHandle();
  // Polls every device and latches the edges of their united states into States.
  void Update();

  bool ActiveOnly() const { return FActiveOnly; }
  void SetActiveOnly(bool Value);
  TJoystick* Joystick() const { return FJoystick; }
  void SetJoystick(TJoystick* Value);
  TKeyboard* Keyboard() const { return FKeyboard; }
  void SetKeyboard(TKeyboard* Value);
  TMouse* Mouse() const { return FMouse; }
  void SetMouse(TMouse* Value);
  bool UseDirectInput() const { return FUseDirectInput; }
  void SetUseDirectInput(bool Value);

  // The states the application reads. It may take a state out to consume it (it comes back only
  // after going off and on again) or put one in (it stays until it has come on and gone off).
  TInputStates States() const { return FStates; }
  void SetStates(TInputStates Value) { FStates = Value; }

  IDirectInput* DInput() const { return FDInput.Get(); }
  TCustomForm* Form() const { return FForm; }
  const std::vector<TCustomInput*>& Devices() const { return FDevices; }
  // The form's window is the foreground window.
  bool FormIsForeground() const;

 protected:
  void Loaded() override;

 private:
  friend class TCustomInput;

  void FormWndProc(TMessage& Message, TWndMethod DefWindowProc);
  void AcquireDevices();

  bool FActiveOnly = true;
  std::vector<TCustomInput*> FDevices;
  ComPtr<IDirectInput> FDInput;
  TCustomForm* FForm = nullptr;
  TJoystick* FJoystick = nullptr;
  TKeyboard* FKeyboard = nullptr;
  TMouse* FMouse = nullptr;
  TInputStates FOldStates;
  TInputStates FStates;
  TControlSubClass* FSubClass = nullptr;
  bool FUseDirectInput = true;
};

class TDXInput : public TCustomDXInput {
  ORVALIS_CLASS(TDXInput, TCustomDXInput)

  using TCustomDXInput::TCustomDXInput;
};
