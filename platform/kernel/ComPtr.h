// A counted reference to a platform interface: AddRef on copy, Release on reset and destruction.
#pragma once

#include <utility>

#include "platform/kernel/WinTypes.h"

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(T* p) : p_(p) {  // takes a new reference of its own
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  // Adopts a reference the caller already holds (as returned by a creating call).
  static ComPtr Attach(T* p) {
    ComPtr result;
    result.p_ = p;
    return result;
  }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }

  // For out-parameters: releases what is held and hands out the slot to fill.
  T** ReleaseAndGetAddressOf() {
    Reset();
    return &p_;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }

 private:
  T* p_ = nullptr;
};
