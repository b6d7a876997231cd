#include "platform/host/FramePresenter.h"

#include <utility>

FramePresenter::FramePresenter(FrameDisplay& display)
    : display_(display), thread_([this] { Loop(); }) {}

FramePresenter::~FramePresenter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void FramePresenter::Present(const uint32_t* pixels, int32_t width, int32_t height) {
  filling_.pixels.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height));
  filling_.width = width;
  filling_.height = height;
  {
    std::lock_guard lock(mutex_);
    std::swap(filling_, waiting_);
    frameWaiting_ = true;
  }
  wake_.notify_one();
}

void FramePresenter::Refresh() {
  {
    std::lock_guard lock(mutex_);
    refreshWanted_ = true;
  }
  wake_.notify_one();
}

void FramePresenter::Run(const std::function<void()>& task) {
  Task pending{task, nullptr, false};
  std::unique_lock lock(mutex_);
  taskDone_.wait(lock, [&] { return task_ == nullptr; });
  task_ = &pending;
  wake_.notify_one();
  taskDone_.wait(lock, [&] { return pending.done; });
  if (pending.failure) std::rethrow_exception(pending.failure);
}

void FramePresenter::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return frameWaiting_ || refreshWanted_ || task_ || stopping_; });
    // Frames first: a task or the end comes after every frame handed over before it.
    if (frameWaiting_ || refreshWanted_) {
      if (frameWaiting_) std::swap(shown_, waiting_);
      frameWaiting_ = false;
      refreshWanted_ = false;
      lock.unlock();
      display_.ShowFrame(shown_.pixels.data(), shown_.width, shown_.height);
      lock.lock();
    } else if (task_) {
      Task& task = *std::exchange(task_, nullptr);
      lock.unlock();
      std::exception_ptr failure;
      try {
        task.run();
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      task.failure = failure;
      task.done = true;
      taskDone_.notify_all();
    } else {
      return;
    }
  }
}
