#include "input/DXInput.h"

#include <cstring>
#include <utility>

#include "dxbase/DXClass.h"
#include "dxbase/DXConsts.h"
#include "dxbase/ScopeExit.h"
#include "input/ForceFeedback.h"
#include "input/Joystick.h"
#include "input/Keyboard.h"
#include "runtime/TypInfo.h"

// ---- The shared DirectInput instance ----

namespace {

IDirectInput* SharedDirectInput = nullptr;
Integer DirectInputHolders = 0;

using TDirectInputCreateA = HRESULT (*)(HINSTANCE, DWORD, IDirectInput**, IUnknown*);

void FreeSharedDirectInput() {
  if (IDirectInput* shared = std::exchange(SharedDirectInput, nullptr)) shared->Release();
}

}  // namespace

void AcquireDirectInput(ComPtr<IDirectInput>& DI) {
  DI.Reset();
  if (SharedDirectInput == nullptr) {
    try {
      auto create = reinterpret_cast<TDirectInputCreateA>(
          LoadLibraryProc("DInput.dll", "DirectInputCreateA"));
      // Whatever the call leaves is taken: nil means there is no DirectInput to be had.
      create(nullptr, DIRECTINPUT_VERSION, &SharedDirectInput, nullptr);
    } catch (...) {
      SharedDirectInput = nullptr;
    }
  }
  DI = SharedDirectInput;
  if (DI) ++DirectInputHolders;
}

void ReleaseDirectInput(ComPtr<IDirectInput>& DI) {
  if (!DI) return;
  DI.Reset();
  if (--DirectInputHolders <= 0) {
    DirectInputHolders = 0;
    FreeSharedDirectInput();
  }
}

void DXInputUnitInitialization() { RegisterClass(&TDXInput::StaticClassInfo()); }

void DXInputUnitFinalization() {
  FreeSharedDirectInput();
  DirectInputHolders = 0;
}

// ---- TCustomInput ----

const TClassInfo& TCustomInput::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCustomInput>({
      Property("BindInputStates", &TCustomInput::BindInputStates, &TCustomInput::SetBindInputStates),
      Property("Effects", &TCustomInput::Effects, &TCustomInput::SetEffects),
      Property("Enabled", &TCustomInput::Enabled, &TCustomInput::SetEnabled),
      Property("ForceFeedback", &TCustomInput::ForceFeedback, &TCustomInput::SetForceFeedback),
  });
  return info;
}

TCustomInput::TCustomInput(TCustomDXInput* DXInput) : FDXInput(DXInput) {
  FDXInput->FDevices.push_back(this);
  FEffects = new TForceFeedbackEffects(this);
}

TCustomInput::~TCustomInput() {
  // Only the device and its effects are left to let go of; what a device class reads into is
  // gone with it.
  TCustomInput::Finalize();
  delete FEffects;
  std::erase(FDXInput->FDevices, this);
}

void TCustomInput::Finalize() {
  if (FDevice) FDevice->Unacquire();
  FInitialized = false;
  FButtonCount = 0;
  FEffects->Finalize();
  FDevice.Reset();
  FDevice2.Reset();
  FForceFeedbackDevice = false;
  FStates = {};
}

void TCustomInput::Initialize() {
  FInitialized = true;
  FEffects->Initialize();
}

DWORD TCustomInput::GetCooperativeLevel() {
  const DWORD access =
      FForceFeedbackDevice && FForceFeedback ? DISCL_EXCLUSIVE : DISCL_NONEXCLUSIVE;
  return access | (FDXInput->ActiveOnly() ? DISCL_FOREGROUND : DISCL_BACKGROUND);
}

void TCustomInput::Acquire() {
  if (FDXInput->ActiveOnly() && !FDXInput->FormIsForeground()) return;
  if (FDevice) FDevice->Acquire();
  if (FAcquiringEffects) return;
  FAcquiringEffects = true;
  const ScopeExit acquired([this] { FAcquiringEffects = false; });
  FEffects->Acquire();
}

void TCustomInput::SetWindowHandle(HWND Wnd) {
  if (FDevice) FDevice->SetCooperativeLevel(Wnd, GetCooperativeLevel());
}

bool TCustomInput::GetDeviceState(DWORD Size, void* Data) {
  std::memset(Data, 0, Size);
  if (!FDevice) return false;
  HRESULT result = FDevice->GetDeviceState(Size, Data);
  if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED) {
    FDevice->Acquire();
    result = FDevice->GetDeviceState(Size, Data);
  }
  return result == DI_OK;
}

bool TCustomInput::SetDataFormat() {
  if (!FDevice) return true;
  FDataFormat.dwSize = 24;
  FDataFormat.dwObjSize = 16;
  FDataFormat.dwNumObjs = 0;
  FDataFormat.rgodf = FObjects.data();
  FDevice->EnumObjects(&TCustomInput::EnumObjectCallback, this, DIDFT_ALL);
  return FDevice->SetDataFormat(&FDataFormat) == DI_OK;
}

BOOL TCustomInput::EnumObjectCallback(const DIDEVICEOBJECTINSTANCE* Object, void* Context) {
  auto* self = static_cast<TCustomInput*>(Context);
  DIDATAFORMAT& format = self->FDataFormat;
  if (Object->guidType == GUID_Unknown || Object->dwOfs >= format.dwDataSize)
    return DIENUM_CONTINUE;
  // The table is full: the objects that fit are the format, the rest go unread.
  if (format.dwNumObjs >= self->FObjects.size()) return DIENUM_STOP;
  const DWORD index = format.dwNumObjs++;
  self->FObjectGuids[index] = Object->guidType;
  self->FObjects[index] = {&self->FObjectGuids[index], Object->dwOfs, Object->dwType, 0};
  return DIENUM_CONTINUE;
}

bool TCustomInput::CanRead() const {
  return FInitialized && !(FDXInput->ActiveOnly() && !FDXInput->FormIsForeground());
}

bool TCustomInput::DesignTime() const {
  return FDXInput->ComponentState().Contains(csDesigning);
}

bool TCustomInput::ReadingSettings() const {
  const TComponentState state = FDXInput->ComponentState();
  return state.Contains(csLoading) || state.Contains(csReading);
}

void TCustomInput::SetEffects(TForceFeedbackEffects* Value) { FEffects->Assign(Value); }

void TCustomInput::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  if (!ReadingSettings()) Initialize();
}

void TCustomInput::SetForceFeedback(bool Value) {
  if (FForceFeedback == Value) return;
  FForceFeedback = Value;
  if (!ReadingSettings()) Initialize();
}

// ---- TCustomDXInput ----

const TClassInfo& TCustomDXInput::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TCustomDXInput>();
  return info;
}

const TClassInfo& TDXInput::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TDXInput>({
      Property("ActiveOnly", &TDXInput::ActiveOnly, &TDXInput::SetActiveOnly),
      Property("Joystick", &TDXInput::Joystick, &TDXInput::SetJoystick),
      Property("Keyboard", &TDXInput::Keyboard, &TDXInput::SetKeyboard),
      Property("Mouse", &TDXInput::Mouse, &TDXInput::SetMouse),
      Property("UseDirectInput", &TDXInput::UseDirectInput, &TDXInput::SetUseDirectInput),
  });
  return info;
}

namespace {

TCustomForm* OwnerForm(TComponent* component) {
  for (TComponent* owner = component->Owner(); owner; owner = owner->Owner())
    if (auto* form = dynamic_cast<TCustomForm*>(owner)) return form;
  return nullptr;
}

}  // namespace

TCustomDXInput::TCustomDXInput(TComponent* AOwner) : TComponent(AOwner) {
  // Looked for before anything is made, so that a refusal leaves nothing behind.
  FForm = OwnerForm(this);
  if (FForm == nullptr) throw EDXInputError(MsgFormNotFound);
  FJoystick = new TJoystick(this);
  FKeyboard = new TKeyboard(this);
  FMouse = new TMouse(this);
  FSubClass = new TControlSubClass(FForm, MakeEvent<&TCustomDXInput::FormWndProc>(this));
}

TCustomDXInput::~TCustomDXInput() {
  Finalize();
  FreeAndNil(FJoystick);
  FreeAndNil(FKeyboard);
  FreeAndNil(FMouse);
  FreeAndNil(FSubClass);
  while (!FDevices.empty()) delete FDevices.back();
}

void TCustomDXInput::Loaded() {
  TComponent::Loaded();
  Initialize();
}

void TCustomDXInput::Initialize() {
  Finalize();
  if (ComponentState().Contains(csDesigning)) return;
  if (FUseDirectInput) {
    ReleaseDirectInput(FDInput);
    AcquireDirectInput(FDInput);
  }
  for (TCustomInput* device : FDevices) device->Initialize();
  SetWindowHandle();
  Update();
}

void TCustomDXInput::Finalize() {
  for (TCustomInput* device : FDevices) device->Finalize();
  ReleaseDirectInput(FDInput);
}

void TCustomDXInput::SetWindowHandle() {
  HWND window = FForm->Handle();
  for (TCustomInput* device : FDevices) device->SetWindowHandle(window);
}

void TCustomDXInput::Update() {
  TInputStates united;
  for (TCustomInput* device : FDevices) {
    device->Update();
    if (device->BindInputStates()) united = united + device->States();
  }
  // Only edges reach States, so a state the application took out or put in stays so until
  // the devices change their mind about it.
  for (Integer i = 0; i < InputStateCount; ++i) {
    const auto state = static_cast<TInputState>(i);
    const bool now = united.Contains(state);
    const bool before = FOldStates.Contains(state);
    if (now && !before) FStates.Include(state);
    if (!now && before) FStates.Exclude(state);
  }
  FOldStates = united;
}

bool TCustomDXInput::FormIsForeground() const {
  return FForm->HandleAllocated() && GetForegroundWindow() == FForm->Handle();
}

void TCustomDXInput::AcquireDevices() {
  for (TCustomInput* device : FDevices) device->Acquire();
}

void TCustomDXInput::FormWndProc(TMessage& Message, TWndMethod DefWindowProc) {
  DefWindowProc(Message);
  switch (Message.Msg) {
    case WM_CREATE:
      SetWindowHandle();
      break;
    case WM_ACTIVATE:
      if (LOWORD(Message.WParam) != WA_INACTIVE) AcquireDevices();
      break;
    case WM_ACTIVATEAPP:
      if (Message.WParam != 0) AcquireDevices();
      break;
    default:
      break;
  }
}

void TCustomDXInput::SetActiveOnly(bool Value) {
  if (FActiveOnly == Value) return;
  FActiveOnly = Value;
  const TComponentState state = ComponentState();
  // The cooperative level depends on it.
  if (!state.Contains(csLoading) && !state.Contains(csReading)) SetWindowHandle();
}

void TCustomDXInput::SetUseDirectInput(bool Value) {
  if (FUseDirectInput == Value) return;
  FUseDirectInput = Value;
  Initialize();
}

void TCustomDXInput::SetJoystick(TJoystick* Value) { FJoystick->Assign(Value); }
void TCustomDXInput::SetKeyboard(TKeyboard* Value) { FKeyboard->Assign(Value); }
void TCustomDXInput::SetMouse(TMouse* Value) { FMouse->Assign(Value); }
