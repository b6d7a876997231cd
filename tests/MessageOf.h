// The message of the exception of class E that an action raises: tests compare it with the
// text the class library or the component layer is meant to raise.
#pragma once

#include <string>

template <class E, class Action>
std::string MessageOf(Action&& action) {
  try {
    action();
  } catch (const E& error) {
    return error.Message();
  }
  return "(nothing raised)";
}
