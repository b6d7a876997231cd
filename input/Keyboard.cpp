#include "input/Keyboard.h"

#include <algorithm>

#include "dxbase/DirectX.h"
#include "platform/user/Keyboard.h"
#include "runtime/ComponentStream.h"

namespace {

struct TScanCodeRow {
  Integer FirstScanCode;
  std::initializer_list<Integer> VirtualKeys;  // for this scan code and the ones after it
};

// Scan codes to virtual keys. The punctuation keys give the codes of their unshifted
// characters, which coincide with other keys (the apostrophe's 39 is Right); both keys of each
// Shift, Control and Alt pair give one code. Everything not listed gives 0.
constexpr std::array<Integer, 256> kVirtualKeyOfScanCode = [] {
  const TScanCodeRow rows[] = {
      {1, {27}},
      {2, {49, 50, 51, 52, 53, 54, 55, 56, 57, 48}},
      {13, {61, 8, 9}},
      {16, {81, 87, 69, 82, 84, 89, 85, 73, 79, 80, 91, 93, 13, 17}},
      {30, {65, 83, 68, 70, 71, 72, 74, 75, 76, 59, 39}},
      {42, {16, 92, 90, 88, 67, 86, 66, 78, 77, 44, 46, 47, 16, 42, 18, 32, 20}},
      {59, {112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 144, 145}},
      {71, {103, 104, 105, 109, 100, 101, 102, 107, 97, 98, 99, 96, 110}},
      {87, {122, 123}},
      {156, {13, 17}},
      {181, {111}},
      {184, {18}},
      {199, {36, 38, 33}},
      {203, {37}},
      {205, {39}},
      {207, {35, 40, 34, 45, 46}},
      {219, {91, 92, 93}},
  };
  std::array<Integer, 256> table{};
  for (const TScanCodeRow& row : rows) {
    Integer scanCode = row.FirstScanCode;
    for (Integer virtualKey : row.VirtualKeys) table[scanCode++] = virtualKey;
  }
  return table;
}();

constexpr Integer kKeyDown = 0x80;

}  // namespace

void SetKeyAssign(TKeyAssignTable& Assigns, TInputState State, std::initializer_list<Integer> Keys) {
  TKeyAssign& row = Assigns[State];
  row.fill(0);
  std::copy_n(Keys.begin(), std::min(Keys.size(), row.size()), row.begin());
}

TKeyAssignTable DefaultKeyAssigns() {
  TKeyAssignTable assigns{};
  SetKeyAssign(assigns, StateUp, {'K', VK_UP, VK_NUMPAD0 + 8});
  SetKeyAssign(assigns, StateDown, {'J', VK_DOWN, VK_NUMPAD0 + 2});
  SetKeyAssign(assigns, StateLeft, {'H', VK_LEFT, VK_NUMPAD0 + 4});
  SetKeyAssign(assigns, StateRight, {'L', VK_RIGHT, VK_NUMPAD0 + 6});
  SetKeyAssign(assigns, StateButton1, {'Z', VK_SPACE});
  SetKeyAssign(assigns, StateButton2, {'X', VK_RETURN});
  SetKeyAssign(assigns, StateButton9, {VK_F1 + 1});
  return assigns;
}

Integer DIKToVirtualKey(Integer ScanCode) {
  return ScanCode >= 0 && ScanCode < 256 ? kVirtualKeyOfScanCode[ScanCode] : 0;
}

// ---- TKeyboard ----

const TClassInfo& TKeyboard::StaticClassInfo() {
  static const TClassInfo info = DefineClass<TKeyboard>();
  return info;
}

TKeyboard::TKeyboard(TCustomDXInput* DXInput)
    : TCustomInput(DXInput), FAssigns(DefaultKeyAssigns()) {}

bool TKeyboard::Keys(Integer Key) const {
  return Key >= 1 && Key <= 255 && (FKeyBuffer[Key] & kKeyDown) != 0;
}

void TKeyboard::Finalize() {
  FKeyBuffer.fill(0);
  TCustomInput::Finalize();
}

void TKeyboard::Initialize() {
  Finalize();
  if (!Enabled() || DesignTime()) return;
  if (IDirectInput* directInput = DXInput()->DInput()) {
    // Without its device the keyboard reports nothing until it is initialised again.
    if (directInput->CreateDevice(GUID_SysKeyboard, FDevice.ReleaseAndGetAddressOf(), nullptr) !=
        DI_OK) {
      FDevice.Reset();
      return;
    }
    FDevice->SetDataFormat(&KeyboardDataFormat);
  }
  FButtonCount = 32;
  TCustomInput::Initialize();
}

void TKeyboard::Update() {
  FKeyBuffer.fill(0);
  FStates = {};
  if (!CanRead()) return;
  if (FDevice) {
    std::array<BYTE, 256> scanCodes;
    // A failed read leaves every key up for this frame.
    if (GetDeviceState(scanCodes.size(), scanCodes.data()))
      for (Integer scanCode = 0; scanCode < 256; ++scanCode)
        if (scanCodes[scanCode] & kKeyDown) FKeyBuffer[DIKToVirtualKey(scanCode)] = kKeyDown;
  } else {
    GetKeyboardState(FKeyBuffer.data());
  }
  for (Integer state = 0; state < InputStateCount; ++state)
    if (std::any_of(FAssigns[state].begin(), FAssigns[state].end(),
                    [this](Integer key) { return Keys(key); }))
      FStates.Include(static_cast<TInputState>(state));
}

// ---- Stored form: 36 rows of three little-endian 32-bit codes ----

void TKeyboard::DefineProperties(TFiler& Filer) {
  TCustomInput::DefineProperties(Filer);
  auto read = [this](TStream& stream) { ReadAssigns(stream); };
  Filer.DefineBinaryProperty("Assigns", read, [this](TStream& stream) { WriteAssigns(stream); },
                             true);
  Filer.DefineBinaryProperty("Aissgns", read, nullptr, false);
}

void TKeyboard::ReadAssigns(TStream& Stream) {
  std::array<uint8_t, sizeof(TKeyAssignTable)> bytes;
  // A shorter block raises the stream's read error and leaves the table as it was.
  Stream.ReadBuffer(bytes.data(), bytes.size());
  const uint8_t* code = bytes.data();
  for (TKeyAssign& row : FAssigns)
    for (Integer& key : row) {
      key = static_cast<Integer>(code[0] | code[1] << 8 | code[2] << 16 |
                                 static_cast<uint32_t>(code[3]) << 24);
      code += 4;
    }
}

void TKeyboard::WriteAssigns(TStream& Stream) {
  std::array<uint8_t, sizeof(TKeyAssignTable)> bytes;
  uint8_t* code = bytes.data();
  for (const TKeyAssign& row : FAssigns)
    for (Integer key : row) {
      const auto value = static_cast<uint32_t>(key);
      for (Integer shift = 0; shift < 32; shift += 8) *code++ = static_cast<uint8_t>(value >> shift);
    }
  Stream.WriteBuffer(bytes.data(), bytes.size());
}
