#include "platform/mmsystem/Joysticks.h"

#include <optional>
#include <utility>
#include <vector>

namespace {

// Slot n holds joystick number n; a free number is an empty slot. No empty slot at the end.
std::vector<std::optional<HostJoystick>>& Slots() {
  static std::vector<std::optional<HostJoystick>> slots;
  return slots;
}

}  // namespace

int32_t AttachHostJoystick(HostJoystick joystick) {
  // Instances are never reused, not even after every joystick is gone.
  static int32_t nextInstance = 1;
  joystick.instance = nextInstance++;
  auto& slots = Slots();
  size_t number = 0;
  while (number < slots.size() && slots[number]) ++number;
  if (number == slots.size()) slots.emplace_back();
  slots[number] = std::move(joystick);
  return static_cast<int32_t>(number);
}

void RemoveHostJoystick(int32_t number) {
  auto& slots = Slots();
  if (number < 0 || static_cast<size_t>(number) >= slots.size()) return;
  slots[number].reset();
  while (!slots.empty() && !slots.back()) slots.pop_back();
}

void RemoveAllHostJoysticks() { Slots().clear(); }

HostJoystick* HostJoystickAt(int32_t number) {
  auto& slots = Slots();
  if (number < 0 || static_cast<size_t>(number) >= slots.size() || !slots[number]) return nullptr;
  return &*slots[number];
}

int32_t HostJoystickNumber(int32_t instance) {
  const auto& slots = Slots();
  for (size_t number = 0; number < slots.size(); ++number)
    if (slots[number] && slots[number]->instance == instance) return static_cast<int32_t>(number);
  return -1;
}

int32_t HostJoystickNumberLimit() { return static_cast<int32_t>(Slots().size()); }
