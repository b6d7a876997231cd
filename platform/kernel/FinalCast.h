// A dynamic_cast to a final class, answered by comparing the object's exact type. GCC does not
// make use of a class being final and searches the class tree for every such cast, which costs
// more than the rest of recording a sprite's quad on some of the paths that cast per sprite.
#pragma once

#include <type_traits>
#include <typeinfo>

template <class Final, class Base>
Final* FinalCast(Base* object) {
  static_assert(std::is_final_v<Final> && std::is_base_of_v<Base, Final>);
  return object && typeid(*object) == typeid(Final) ? static_cast<Final*>(object) : nullptr;
}
