// Runs an action when a scope ends, also when it is left by an exception: the language's
// try/finally for the component layer's unlocks, releases and re-entrance guards.
#pragma once

#include <utility>

template <class Action>
class ScopeExit {
 public:
  explicit ScopeExit(Action action) : FAction(std::move(action)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() { FAction(); }

 private:
  Action FAction;
};
